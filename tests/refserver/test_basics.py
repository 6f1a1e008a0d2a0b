"""TLS, HTTP/1.1 and the rule that no interim "100 Continue" is ever sent."""
import json
import ssl
import socket

import pytest

from conftest import split_response


def test_health_answers_over_tls_for_both_names(server):
    for host in ("localhost", "127.0.0.1"):
        status, _, body = server.get("/_control/health", host=host)
        assert status == 200
        assert json.loads(body)["port"] == server.port


def test_certificate_names_localhost_and_the_loopback_address(server):
    certificate = None
    with socket.create_connection(("127.0.0.1", server.port)) as sock:
        with server.context.wrap_socket(sock, server_hostname="127.0.0.1") as tls:
            certificate = tls.getpeercert()
    names = certificate["subjectAltName"]
    assert ("DNS", "localhost") in names
    assert ("DNS", "127.0.0.1") in names
    assert ("IP Address", "127.0.0.1") in names


def test_an_untrusted_client_fails_the_handshake(server):
    with socket.create_connection(("127.0.0.1", server.port)) as sock:
        with pytest.raises(ssl.SSLCertVerificationError):
            ssl.create_default_context().wrap_socket(sock, server_hostname="localhost")


def _post_with_expect(server, pause):
    body = json.dumps({"i": "Orvane_DLM", "l": "en"}).encode()
    request = (f"POST /o HTTP/1.1\r\nHost: localhost\r\nExpect: 100-continue\r\n"
               f"Content-Type: application/json\r\nContent-Length: {len(body)}\r\n"
               f"Connection: close\r\n\r\n").encode() + body
    return server.raw(request, pause_after_headers=pause)


def test_expect_100_continue_gets_the_final_answer_directly(server):
    data, error = _post_with_expect(server, pause=None)
    assert error is None
    assert not data.startswith(b"HTTP/1.1 100")
    assert b"100 Continue" not in data
    status, _, _ = split_response(data)
    assert status == 200


def test_no_interim_answer_while_the_client_holds_back_the_body(server):
    data, error = _post_with_expect(server, pause=0.4)
    assert error is None
    assert data.startswith(b"HTTP/1.1 200 ")
    assert b"100 Continue" not in data


def test_keep_alive_serves_several_requests_on_one_connection(server):
    import http.client
    conn = http.client.HTTPSConnection("localhost", server.port, context=server.context)
    for _ in range(3):
        conn.request("GET", "/f/hello.txt")
        response = conn.getresponse()
        assert response.status == 200
        assert response.read().startswith(b"Hello")
    conn.close()


def test_unknown_paths_answer_404(server):
    assert server.get("/nothing-here")[0] == 404
    assert server.get("/_control/nothing")[0] == 404
