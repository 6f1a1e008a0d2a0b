"""hold=N: the body stops after N bytes until the test releases the scenario through the control API."""
import socket
import ssl
import time

from conftest import split_response, start_server, stop_server

WAIT = 20  # seconds; only keeps a broken server from hanging the suite


class Exchange:
    """A raw GET whose answer is read step by step."""

    def __init__(self, server, path):
        sock = socket.create_connection(("127.0.0.1", server.port), timeout=WAIT)
        self.tls = server.context.wrap_socket(sock, server_hostname="localhost", suppress_ragged_eofs=False)
        self.tls.sendall(f"GET {path} HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n".encode())
        self.data = b""

    def body(self):
        return split_response(self.data)[2]

    def read_body(self, size):
        """Reads until `size` body bytes arrived; returns them."""
        while b"\r\n\r\n" not in self.data or len(self.body()) < size:
            chunk = self.tls.recv(65536)
            assert chunk, f"the connection ended after {len(self.body())} body bytes"
            self.data += chunk
        return self.body()

    def read_to_end(self):
        """Reads until the server ends the connection; the exception of an abrupt end, else None."""
        try:
            while chunk := self.tls.recv(65536):
                self.data += chunk
        except (OSError, ssl.SSLError) as e:
            return e
        finally:
            self.tls.close()
        return None


def holds(server):
    return server.control("GET", "holds")[1]["holds"]


def wait_until_held(server, scenario, count=1):
    deadline = time.monotonic() + WAIT
    while holds(server).get(scenario, {}).get("held", 0) < count:
        assert time.monotonic() < deadline, holds(server)
        time.sleep(0.02)


def release(server, scenario):
    status, answer = server.control("POST", "release", {"scenario": scenario})
    assert status == 200
    return answer["held"]


def test_the_body_stops_at_the_hold_and_goes_on_after_the_release(server, scenario):
    whole = server.get("/f/blob-10k.bin")[2]
    exchange = Exchange(server, f"/t/{scenario}/hold=1000/f/blob-10k.bin")
    assert exchange.read_body(1000) == whole[:1000]
    wait_until_held(server, scenario)
    exchange.tls.setblocking(False)
    try:
        exchange.tls.recv(65536)
        raise AssertionError("bytes arrived during the hold")
    except ssl.SSLWantReadError:
        pass
    exchange.tls.setblocking(True)
    exchange.tls.settimeout(WAIT)
    assert release(server, scenario) == 1
    assert exchange.read_to_end() is None
    status, headers, body = split_response(exchange.data)
    assert status == 200 and headers["content-length"] == "10240" and body == whole
    assert scenario not in holds(server)


def test_a_reset_at_the_same_point_comes_after_the_hold(server, scenario):
    # Every byte before the reset is read while the connection is held, so none can be lost.
    exchange = Exchange(server, f"/t/{scenario}/hold=50000,reset=50000/f/blob-1m.bin")
    exchange.read_body(50000)
    wait_until_held(server, scenario)
    release(server, scenario)
    assert exchange.read_to_end() is not None
    assert len(exchange.body()) == 50000


def test_a_release_before_the_hold_is_kept_for_it_and_holds_follow_the_attempts(server, scenario):
    path = f"/t/{scenario}/hold=-:100/f/hello.txt"
    assert server.get(path)[0] == 200  # the first attempt is not held
    assert release(server, scenario) == 0
    assert holds(server)[scenario] == {"held": 0, "released": 1}
    assert server.get(path)[0] == 200  # held, and let go by the release made before
    assert scenario not in holds(server)


def test_a_hold_past_the_end_waits_after_the_body_and_a_scenario_reset_lets_it_go(server, scenario):
    exchange = Exchange(server, f"/t/{scenario}/hold=999999,chunked=16/f/hello.txt")
    exchange.read_body(1)
    wait_until_held(server, scenario)
    server.control("POST", "reset", {"scenario": scenario})
    assert exchange.read_to_end() is None
    assert exchange.data.endswith(b"\r\n0\r\n\r\n")


def test_a_hold_ends_by_itself_after_the_limit(server, tmp_path):
    s = start_server(str(tmp_path / "state"), "--hold-limit", "0.2", certs_from=server.state)
    try:
        status, _, body = s.get("/t/limit/hold=10/f/hello.txt")
        assert status == 200 and body.startswith(b"Hello")
        with open(f"{s.state}/server.log") as f:
            assert "limit: hold ended after 0.2 s without release" in f.read()
    finally:
        stop_server(s)


def test_release_wants_a_scenario(server):
    assert server.control("POST", "release", {})[0] == 400
    assert server.control("POST", "release", {"scenario": "bad id!"})[0] == 400
    assert server.get("/t/x/hold=abc/f/hello.txt")[0] == 400
