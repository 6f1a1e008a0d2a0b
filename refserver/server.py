#!/usr/bin/python3
"""Welvane's reference back end: HTTPS on 127.0.0.1 with /o, /zbd, /f/ and the /_control/ API.

    python3 refserver/server.py [--port 443] [--state build/refserver-state] [--config-set dlm]
                                [--installer build/bin/fakeinstaller.exe] [--hold-limit 120]

--port 0 picks a free port. When it listens, the server writes <state>/server.json with its pid and
port. See README.md for the endpoints, the fault directives and the control API.
"""
import argparse
import json
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading
from http.server import ThreadingHTTPServer

import certs
import samples
from app import App
from handler import Handler

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class TlsServer(ThreadingHTTPServer):
    """Threading HTTP server whose connections do their TLS handshake on their own thread."""
    daemon_threads = True

    def __init__(self, address, context, app):
        self.context = context
        self.app = app
        super().__init__(address, Handler)

    def server_bind(self):
        socketserver.TCPServer.server_bind(self)  # skips HTTPServer's slow reverse lookup
        self.server_name, self.server_port = self.server_address[:2]

    def finish_request(self, request, client_address):
        request.settimeout(120)
        request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)  # no 40 ms Nagle stalls
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as e:
            self.app.note(f"{client_address[0]} TLS handshake failed: {e}")
            return
        try:
            Handler(tls, client_address, self)
        finally:
            tls.close()

    def handle_error(self, request, client_address):
        self.app.note(f"{client_address[0]} connection error: {sys.exc_info()[1]!r}")


class TlsServer6(TlsServer):
    address_family = socket.AF_INET6


def loopback_addresses():
    """127.0.0.1, plus ::1 when this machine resolves localhost to it."""
    found = ["127.0.0.1"]
    try:
        if any(a[4][0] == "::1" for a in socket.getaddrinfo("localhost", None, socket.AF_INET6)):
            found.append("::1")
    except OSError:
        pass
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--state", default=os.path.join(ROOT, "build", "refserver-state"))
    parser.add_argument("--config-set", default="dlm", help="configuration set that answers plain /o")
    build = os.environ.get("WELVANE_BUILD") or os.path.join(ROOT, "build")
    parser.add_argument("--installer", default=os.path.join(build, "bin", "fakeinstaller.exe"))
    parser.add_argument("--hold-limit", type=float, default=120.0,
                        help="seconds after which a connection held by hold= goes on without a release")
    args = parser.parse_args()

    state = os.path.abspath(args.state)
    os.makedirs(state, exist_ok=True)
    cert_dir = certs.ensure(os.path.join(state, "certs"))
    app = App(state, args.config_set, args.hold_limit)
    for warning in samples.prepare(os.path.join(state, "files"), args.installer):
        app.note("warning: " + warning)

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(cert_dir, "server.pem"), os.path.join(cert_dir, "server.key"))

    servers = []
    port = args.port
    for address in loopback_addresses():
        kind = TlsServer6 if ":" in address else TlsServer
        try:
            servers.append(kind((address, port), context, app))
        except OSError as e:
            if not servers:
                raise
            app.note(f"warning: not listening on {address}: {e}")
            continue
        port = servers[0].server_address[1]
    app.port = port

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()

    info_path = os.path.join(state, "server.json")
    with open(info_path + ".tmp", "w") as f:
        json.dump({"pid": os.getpid(), "port": port,
                   "addresses": [s.server_address[0] for s in servers]}, f)
    os.replace(info_path + ".tmp", info_path)
    app.note(f"listening on port {port} ({', '.join(s.server_address[0] for s in servers)}),"
             f" state {state}, configuration set {args.config_set}")
    stop.wait()
    for server in servers:
        server.shutdown()
        server.server_close()
    try:
        with open(info_path) as f:
            if json.load(f).get("pid") == os.getpid():
                os.remove(info_path)
    except (OSError, ValueError):
        pass
    app.note("stopped")


if __name__ == "__main__":
    main()
