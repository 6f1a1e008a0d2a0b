"""Writes one HTTP response, bending it as the attempt's Faults ask (body, framing, breaks, holds, pace)."""
import os
import socket
import struct
import time
from dataclasses import dataclass, field

BLOCK = 64 * 1024

FAULT_BODIES = {
    "empty": (b"", "application/json"),
    "text": (b"Service temporarily unavailable, please try again later.\n", "text/plain"),
    "html": (b"<html><body><h1>Down for maintenance</h1></body></html>\n", "text/html"),
    "ws": (b" \t\r\n \n\x0b\x0c ", "application/json"),
    "json-error": (b'{"error":"injected fault"}', "application/json"),
    "binary": (bytes(range(256)) * 4, "application/octet-stream"),
}


@dataclass
class Response:
    status: int = 200
    body: bytes = b""
    content_type: str = "application/json"
    file: str | None = None          # stream this file instead of body
    headers: list = field(default_factory=list)
    offset: int = 0                  # the file's first byte sent (a range)

    def size(self):
        return os.path.getsize(self.file) - self.offset if self.file else len(self.body)

    def blocks(self):
        if not self.file:
            for start in range(0, len(self.body), BLOCK):
                yield self.body[start:start + BLOCK]
            return
        with open(self.file, "rb") as f:
            f.seek(self.offset)
            while block := f.read(BLOCK):
                yield block


class Aborted(Exception):
    """The response ended the connection on purpose (truncate or reset)."""


def _shaped(response, faults):
    """Body blocks after cut (shorter body) and nul (a zero byte inserted at an offset)."""
    pos = 0
    nul = faults.nul
    for block in response.blocks():
        if faults.cut is not None:
            block = block[:max(0, faults.cut - pos)]
            if not block:
                break
        out = block
        if nul is not None and pos <= nul < pos + len(block):
            out = block[:nul - pos] + b"\0" + block[nul - pos:]
            nul = None
        pos += len(block)
        yield out
    if nul is not None and nul == pos:
        yield b"\0"


def shaped_size(response, faults):
    size = response.size()
    if faults.cut is not None:
        size = min(size, faults.cut)
    if faults.nul is not None and faults.nul <= size:
        size += 1
    return size


def apply_status_and_body(response, faults):
    """Status and body replacements: an error status brings a short text body of its own."""
    if faults.status is not None:
        if faults.status >= 400:
            text = f"refserver fault: status {faults.status}\n".encode()
            response = Response(faults.status, text, "text/plain", headers=response.headers)
        else:
            response.status = faults.status
    if faults.body is not None:
        body, ctype = FAULT_BODIES[faults.body]
        response = Response(response.status, body, ctype, headers=response.headers)
    return response


def _announced_length(size, length):
    if length is None:
        return size
    if length == "none":
        return None
    if length[0] in "+-":
        return max(0, size + int(length))
    return int(length)


def _reset(handler):
    """Ends the connection with a TCP reset (linger 0), not an orderly close."""
    sock = handler.connection
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    handler.rfile.close()
    sock.close()


def send(handler, response, faults, hold=None):
    """Sends the response; returns the number of body bytes written.

    hold: called when faults.hold body bytes are out (after the whole body when it is shorter);
    it returns when the connection may go on.
    """
    if faults.delay:
        time.sleep(faults.delay / 1000)
    response = apply_status_and_body(response, faults)
    size = shaped_size(response, faults)
    announced = _announced_length(size, faults.length)
    chunked = faults.chunked
    stop_after = faults.reset if faults.reset is not None else faults.truncate
    closing = faults.length is not None or stop_after is not None

    handler.send_response(response.status)
    handler.send_header("Content-Type", response.content_type)
    for name, value in response.headers:
        handler.send_header(name, value)
    if chunked:
        handler.send_header("Transfer-Encoding", "chunked")
    elif announced is not None:
        handler.send_header("Content-Length", str(announced))
    if closing or (not chunked and announced is None):
        handler.send_header("Connection", "close")
        handler.close_connection = True
    handler.end_headers()
    if handler.command == "HEAD":
        return 0

    pace = faults.rate
    handler.body_bytes_sent = 0
    started = time.monotonic()
    written = 0
    hold_at = faults.hold if hold is not None else None

    def emit(piece):
        # A reset or truncate point inside the piece ends the connection there. At the point
        # itself it ends only with the next byte, so that a hold at the same point comes first.
        nonlocal written
        if stop_after is not None and written + len(piece) > stop_after:
            piece = piece[:stop_after - written]
            _write(handler, piece, chunked)
            written += len(piece)
            handler.body_bytes_sent = written
            _abort(handler, faults)
        _write(handler, piece, chunked)
        written += len(piece)
        handler.body_bytes_sent = written

    def held():
        nonlocal started
        began = time.monotonic()
        hold()
        started += time.monotonic() - began  # the pace resumes where it stopped

    for block in _shaped(response, faults):
        if pace:
            step = max(1, min(BLOCK, pace // 10))
            pieces = [block[i:i + step] for i in range(0, len(block), step)]
        else:
            pieces = [block]
        for piece in pieces:
            if hold_at is not None and written + len(piece) >= hold_at:
                split = hold_at - written
                emit(piece[:split])
                held()
                hold_at, piece = None, piece[split:]
            emit(piece)
            if pace:
                ahead = written / pace - (time.monotonic() - started)
                if ahead > 0:
                    time.sleep(ahead)
    if hold_at is not None:
        held()
    if stop_after is not None:
        _abort(handler, faults)
    if chunked:
        handler.wfile.write(b"0\r\n\r\n")
    return written


def _write(handler, data, chunked):
    if not data:
        return
    if not chunked:
        handler.wfile.write(data)
        return
    for i in range(0, len(data), chunked):
        piece = data[i:i + chunked]
        handler.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))


def _abort(handler, faults):
    handler.close_connection = True
    if faults.reset is not None:
        _reset(handler)
    raise Aborted()
