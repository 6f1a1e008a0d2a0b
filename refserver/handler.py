"""The HTTP request handler: reads the request, finds scenario and directives, answers the endpoint."""
import email.utils
import hashlib
import json
import os
import re
import ssl
import urllib.parse
from http.server import BaseHTTPRequestHandler

import analytics
import control
import transmit
from faults import SCENARIO_RE, Directives, FaultError, Faults
from files import content_type
from transmit import Response

MAX_BODY = 64 * 1024 * 1024
PLAIN = "plain"


def json_response(status, value):
    return Response(status, json.dumps(value).encode(), "application/json")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def version_string(self):
        return "refserver/1.0"

    def handle_expect_100(self):
        # Never send an interim "100 Continue": WinHTTP then fails with 12019. Answer directly instead.
        return True

    def do_GET(self):
        self._dispatch()

    do_POST = do_PUT = do_HEAD = do_DELETE = do_GET

    def log_message(self, fmt, *args):
        self.server.app.note(f"{self.client_address[0]} {fmt % args}")

    # --- reading -------------------------------------------------------------------------------

    def _read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            parts = []
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(parts)
                parts.append(self.rfile.read(size))
                self.rfile.readline()
        length = int(self.headers.get("Content-Length") or 0)
        if length < 0 or length > MAX_BODY:
            raise ValueError("bad Content-Length")
        return self.rfile.read(length) if length else b""

    # --- dispatching ---------------------------------------------------------------------------

    def _dispatch(self):
        app = self.server.app
        try:
            body = self._read_body()
        except ValueError as e:
            self.close_connection = True
            return self._send(json_response(400, {"error": str(e)}))
        path, _, query = self.path.partition("?")
        if path.startswith("/_control/"):
            return self._send(control.handle(app, self.command, path[len("/_control/"):], query, body))
        app.log_request(self.command, self.path, list(self.headers.items()), body)

        segments = path.split("/")
        if len(segments) >= 5 and segments[1] == "t":
            scenario, directive_text, endpoint = segments[2], segments[3], "/".join(segments[4:])
            if not SCENARIO_RE.match(scenario):
                return self._send(json_response(400, {"error": f"bad scenario id {scenario!r}"}))
        else:
            scenario, endpoint = PLAIN, path.lstrip("/")
            directive_text = app.plain_faults(endpoint)
        try:
            directives = Directives(directive_text)
        except FaultError as e:
            return self._send(json_response(400, {"error": f"bad directives: {e}"}))
        attempt = app.scenarios.hit(scenario, f"{directive_text}/{endpoint}")
        faults = directives.for_attempt(attempt)
        extra = [("X-Refserver-Attempt", str(attempt))]

        if faults.redirect:
            location = self._location(scenario, directives, endpoint, faults)
            code = int(faults.rcode or 302)
            response = Response(code, f"see {location}\n".encode(), "text/plain",
                                headers=[("Location", location)] + extra)
            return self._send(response, Faults(delay=faults.delay))

        if endpoint == "o":
            response = self._config(app, body, faults)
        elif endpoint == "zbd":
            response = self._event(app, body, faults)
        elif endpoint.startswith("f/"):
            response = self._file(app, endpoint[2:], faults)
        else:
            response = json_response(404, {"error": f"no endpoint {endpoint!r}"})
        response.headers += extra
        self._send(response, faults, lambda: self._hold(app, scenario, faults.hold))
        if endpoint.startswith("f/") and self.command == "GET":
            sent = getattr(self, "body_bytes_sent", 0)
            app.note(f"{self.client_address[0]} {scenario}: sent {sent} body bytes of {endpoint}")

    def _send(self, response, faults=None, hold=None):
        try:
            transmit.send(self, response, faults or Faults(), hold)
        except transmit.Aborted:
            pass
        except (OSError, ssl.SSLError):
            self.close_connection = True

    def _hold(self, app, scenario, offset):
        who = f"{self.client_address[0]} {scenario}"
        app.note(f"{who}: holding after {offset} body bytes")
        if app.holds.wait(scenario):
            app.note(f"{who}: released")
        else:
            app.note(f"{who}: hold ended after {app.holds.limit:g} s without release")

    # --- endpoints -----------------------------------------------------------------------------

    def _config(self, app, body, faults):
        if self.command != "POST":
            return json_response(405, {"error": "POST a JSON request to /o"})
        try:
            request = json.loads(body.decode("utf-8"))
            if not isinstance(request, dict):
                raise ValueError("not an object")
        except ValueError as e:
            return json_response(400, {"error": f"request is not a JSON object: {e}"})
        installer, lang = str(request.get("i", "")), str(request.get("l", ""))
        set_name = faults.set or app.config_set
        chosen = app.configs.select(set_name, installer, lang)
        if chosen is None:
            return json_response(404, {"error": f"no configuration in set {set_name!r}"})
        name, data = chosen
        return Response(200, self._with_hashes(app, data), "application/json", headers=[("X-Refserver-Config", name)])

    @staticmethod
    def _with_hashes(app, data):
        """"{sha256:NAME}" in a configuration becomes the SHA-256 of the file /f/NAME serves (left as it is
        when there is no such file), so configurations can name the hashes of files made at build time."""
        def digest(match):
            path = app.files.find(match.group(1).decode())
            if path is None:
                return match.group(0)
            with open(path, "rb") as f:
                return hashlib.file_digest(f, "sha256").hexdigest().encode()
        return re.sub(rb"\{sha256:([A-Za-z0-9_./-]+)\}", digest, data)

    def _event(self, app, body, faults):
        if self.command != "POST":
            return json_response(405, {"error": "POST an analytics envelope to /zbd"})
        envelope = analytics.parse(body)
        authorization = self.headers.get("Authorization")
        signature_ok = envelope.signature_ok(authorization)
        if envelope.error:
            status, answer = 400, {"error": envelope.error}
        elif not signature_ok:
            status, answer = 401, {"error": "bad signature"}
        else:
            status, answer = 200, {"ok": True}
        answered = faults.status if faults.status is not None else status
        answer["id"] = app.store.add_event(self.path, envelope.package, envelope.code, signature_ok,
                                           authorization, answered, envelope.record_text, body)
        return json_response(status, answer)

    def _file(self, app, name, faults):
        path = app.files.find(name)
        if path is None:
            return json_response(404, {"error": f"no file {name!r}"})
        stat = os.stat(path)
        etag = f'"{stat.st_size:x}-{stat.st_mtime_ns:x}"'
        modified = email.utils.formatdate(stat.st_mtime, usegmt=True)
        headers = [("ETag", etag), ("Last-Modified", modified)]
        if faults.ranges == "off":
            return Response(200, content_type=content_type(path), file=path, headers=headers)
        headers.append(("Accept-Ranges", "bytes"))
        # "bytes=N-" only, the one form a resuming client asks for; If-Range must name this file.
        match = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", "").strip())
        if_range = self.headers.get("If-Range")
        if match and int(match.group(1)) < stat.st_size and if_range in (None, etag, modified):
            start = int(match.group(1))
            headers.append(("Content-Range", f"bytes {start}-{stat.st_size - 1}/{stat.st_size}"))
            return Response(206, content_type=content_type(path), file=path, headers=headers, offset=start)
        return Response(200, content_type=content_type(path), file=path, headers=headers)

    def _location(self, scenario, directives, endpoint, faults):
        remaining = faults.redirect - 1
        if remaining == 0 and faults.to:
            target = faults.to
        else:
            target = f"/t/{scenario}/{directives.next_hop(remaining)}/{endpoint}"
        if faults.loc == "rel" or not target.startswith("/"):
            return target
        host = self.headers.get("Host") or f"localhost:{self.server.app.port}"
        if faults.host:  # another host name, same port
            port = urllib.parse.urlsplit("//" + host).port
            name = f"[{faults.host}]" if ":" in faults.host else faults.host
            host = name + (f":{port}" if port else "")
        return "https://" + host + target
