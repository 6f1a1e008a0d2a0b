"""Starts a real reference server (TLS, SQLite) on a free port in a temporary state folder."""
import http.client
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import time
import uuid

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
REFSERVER = os.path.join(ROOT, "refserver")
FAKE_INSTALLER = b"MZ" + b"fake installer for the refserver tests" * 10


class Server:
    def __init__(self, state, process, port):
        self.state = state
        self.process = process
        self.port = port
        self.context = ssl.create_default_context(cafile=os.path.join(state, "certs", "ca.pem"))

    # --- plain HTTP requests over TLS ----------------------------------------------------------

    def request(self, method, path, body=None, headers=None, host="localhost"):
        """Returns (status, headers dict with lower-case names, body bytes)."""
        conn = http.client.HTTPSConnection(host, self.port, context=self.context, timeout=20)
        try:
            conn.request(method, path, body=body, headers=headers or {})
            response = conn.getresponse()
            data = response.read()
            return response.status, {k.lower(): v for k, v in response.getheaders()}, data
        finally:
            conn.close()

    def get(self, path, **kw):
        return self.request("GET", path, **kw)

    def post(self, path, body, **kw):
        if not isinstance(body, bytes):
            body = json.dumps(body).encode()
        return self.request("POST", path, body=body, **kw)

    def control(self, method, name, value=None):
        body = None if value is None else json.dumps(value).encode()
        status, _, data = self.request(method, "/_control/" + name, body=body)
        return status, json.loads(data)

    # --- raw exchanges, for answers that break HTTP framing ------------------------------------

    def raw(self, request_bytes, timeout=10, pause_after_headers=None):
        """Sends bytes, reads until the server closes; returns (received bytes, exception or None)."""
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
        tls = self.context.wrap_socket(sock, server_hostname="localhost", suppress_ragged_eofs=False)
        received, error = b"", None
        try:
            if pause_after_headers is not None:
                head, _, rest = request_bytes.partition(b"\r\n\r\n")
                tls.sendall(head + b"\r\n\r\n")
                time.sleep(pause_after_headers)
                tls.settimeout(0.01)
                try:
                    received += tls.recv(65536)  # anything here would be an interim answer
                except (socket.timeout, ssl.SSLWantReadError):
                    pass
                tls.settimeout(timeout)
                tls.sendall(rest)
            else:
                tls.sendall(request_bytes)
            while True:
                chunk = tls.recv(65536)
                if not chunk:
                    break
                received += chunk
        except (OSError, ssl.SSLError) as e:
            error = e
        finally:
            tls.close()
        return received, error

    def raw_get(self, path, **kw):
        return self.raw(f"GET {path} HTTP/1.1\r\nHost: localhost:{self.port}\r\nConnection: close\r\n\r\n"
                        .encode(), **kw)


def split_response(data):
    """(status, headers dict, body) of one raw HTTP/1.1 response (body not de-chunked)."""
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return int(lines[0].split()[1]), headers, body


def dechunk(body):
    out, rest = b"", body
    while rest:
        size_line, _, rest = rest.partition(b"\r\n")
        size = int(size_line, 16)
        if size == 0:
            return out, True
        out, rest = out + rest[:size], rest[size + 2:]
    return out, False


def start_server(state, *args, certs_from=None):
    """Starts server.py; certs_from (another state folder) saves making new certificates."""
    installer = os.path.join(state, "fake-installer.exe")
    os.makedirs(state, exist_ok=True)
    if certs_from:
        shutil.copytree(os.path.join(certs_from, "certs"), os.path.join(state, "certs"))
    with open(installer, "wb") as f:
        f.write(FAKE_INSTALLER)
    log = open(os.path.join(state, "server.log"), "ab")
    process = subprocess.Popen(
        [sys.executable, os.path.join(REFSERVER, "server.py"), "--port", "0", "--state", state,
         "--installer", installer, *args], stdout=log, stderr=log)
    info = os.path.join(state, "server.json")
    for _ in range(200):
        if os.path.exists(info):
            with open(info) as f:
                return Server(state, process, json.load(f)["port"])
        if process.poll() is not None:
            break
        time.sleep(0.05)
    process.kill()
    raise RuntimeError("reference server did not start: " + open(os.path.join(state, "server.log")).read())


def stop_server(server):
    server.process.terminate()
    server.process.wait(timeout=10)


@pytest.fixture(scope="session")
def server(tmp_path_factory):
    s = start_server(str(tmp_path_factory.mktemp("refserver")))
    yield s
    stop_server(s)


@pytest.fixture
def scenario():
    """A fresh scenario id, so that attempt counters start at 1."""
    return "s" + uuid.uuid4().hex[:12]
