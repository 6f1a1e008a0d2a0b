"""Fault directives in /t/<scenario>/<directives>/<endpoint>: every kind, checked on the wire."""
import json
import time

import pytest

from conftest import dechunk, split_response

HELLO = b"Hello from the Welvane reference server.\n"


def test_status_sequence_then_repeat_last(server, scenario):
    path = f"/t/{scenario}/status=503:500:200/f/hello.txt"
    seen = [server.get(path) for _ in range(4)]
    assert [s for s, _, _ in seen] == [503, 500, 200, 200]
    assert seen[0][2] == b"refserver fault: status 503\n"
    assert seen[2][2] == HELLO
    assert [h["x-refserver-attempt"] for _, h, _ in seen] == ["1", "2", "3", "4"]


def test_configuration_503_with_text_then_200(server, scenario):
    path = f"/t/{scenario}/status=503:200/o"
    first = server.post(path, {"i": "Orvane_DLM", "l": "en"})
    second = server.post(path, {"i": "Orvane_DLM", "l": "en"})
    assert first[0] == 503 and first[1]["content-type"] == "text/plain"
    assert second[0] == 200 and b'"ct"' in second[2]


def test_counters_are_per_path_and_reset_per_scenario(server, scenario):
    a, b = f"/t/{scenario}/status=500:200/f/hello.txt", f"/t/{scenario}/status=500:200/f/empty.png"
    assert [server.get(a)[0], server.get(b)[0], server.get(a)[0]] == [500, 500, 200]
    _, snap = server.control("GET", "scenarios")
    assert snap["scenarios"][scenario] == {"status=500:200/f/hello.txt": 2, "status=500:200/f/empty.png": 1}
    server.control("POST", "reset", {"scenario": scenario})
    assert server.get(a)[0] == 500


def test_delay_and_switching_a_directive_off(server, scenario):
    path = f"/t/{scenario}/delay=600:-/f/hello.txt"
    started = time.monotonic()
    assert server.get(path)[0] == 200
    assert time.monotonic() - started >= 0.6
    started = time.monotonic()
    assert server.get(path)[0] == 200
    assert time.monotonic() - started < 0.5


@pytest.mark.parametrize("kind,expected", [
    ("empty", b""), ("text", b"Service temporarily unavailable, please try again later.\n"),
    ("json-error", b'{"error":"injected fault"}'), ("ws", b" \t\r\n \n\x0b\x0c "),
])
def test_body_replacements(server, scenario, kind, expected):
    status, headers, body = server.post(f"/t/{scenario}/body={kind}/o", {"i": "Orvane_DLM"})
    assert (status, body) == (200, expected)
    assert headers["content-length"] == str(len(expected))


def test_html_and_binary_bodies(server, scenario):
    assert server.get(f"/t/{scenario}/body=html/o")[2].startswith(b"<html>")
    binary = server.get(f"/t/{scenario}/status=200,body=binary/f/hello.txt")[2]
    assert len(binary) == 1024 and b"\0" in binary


def test_cut_gives_a_shorter_but_well_framed_body(server, scenario):
    status, headers, body = server.post(f"/t/{scenario}/cut=20/o", {"i": "Orvane_DLM"})
    assert status == 200 and len(body) == 20 and headers["content-length"] == "20"
    with pytest.raises(ValueError):
        json.loads(body)


def test_nul_inserts_a_zero_byte(server, scenario):
    _, headers, body = server.get(f"/t/{scenario}/nul=5/f/hello.txt")
    assert body == HELLO[:5] + b"\0" + HELLO[5:]
    assert headers["content-length"] == str(len(HELLO) + 1)


def test_zero_byte_inside_a_chunk(server, scenario):
    data, error = server.raw_get(f"/t/{scenario}/chunked=16,nul=20/f/hello.txt")
    status, headers, raw_body = split_response(data)
    assert headers["transfer-encoding"] == "chunked" and "content-length" not in headers
    body, complete = dechunk(raw_body)
    assert complete and body == HELLO[:20] + b"\0" + HELLO[20:]
    assert raw_body.startswith(b"10\r\n" + HELLO[:16] + b"\r\n10\r\n" + HELLO[16:20] + b"\0")


def test_chunked_body_reads_back_whole(server, scenario):
    status, headers, body = server.get(f"/t/{scenario}/chunked=7/f/hello.txt")
    assert status == 200 and body == HELLO and headers["transfer-encoding"] == "chunked"
    status, headers, body = server.get(f"/t/{scenario}/chunked/f/blob-3000.bin")
    assert status == 200 and len(body) == 3000


def test_truncate_announces_the_full_length_and_closes_early(server, scenario):
    data, _ = server.raw_get(f"/t/{scenario}/truncate=10/f/hello.txt")
    status, headers, body = split_response(data)
    assert headers["content-length"] == str(len(HELLO)) and headers["connection"] == "close"
    assert body == HELLO[:10]


@pytest.mark.parametrize("directive,announced", [("length=1000", "1000"), ("length=+5", str(len(HELLO) + 5)),
                                             ("length=-5", str(len(HELLO) - 5))])
def test_wrong_content_length_sends_the_real_body_then_closes(server, scenario, directive, announced):
    data, _ = server.raw_get(f"/t/{scenario}/{directive}/f/hello.txt")
    _, headers, body = split_response(data)
    assert headers["content-length"] == announced and headers["connection"] == "close"
    assert body == HELLO


def test_missing_content_length_ends_with_the_connection(server, scenario):
    data, error = server.raw_get(f"/t/{scenario}/length=none/f/hello.txt")
    _, headers, body = split_response(data)
    assert "content-length" not in headers and "transfer-encoding" not in headers
    assert body == HELLO


def test_incomplete_body_is_an_error_for_a_normal_client(server, scenario):
    import http.client
    with pytest.raises(http.client.IncompleteRead):
        server.get(f"/t/{scenario}/length=+100/f/hello.txt")


def test_reset_mid_body(server, scenario):
    data, error = server.raw_get(f"/t/{scenario}/reset=50000/f/blob-1m.bin")
    _, headers, body = split_response(data)
    assert headers["content-length"] == str(1024 * 1024)
    assert len(body) <= 50000
    assert error is not None  # a reset, not an orderly end: ConnectionResetError or SSLEOFError


def test_truncate_is_an_orderly_close(server, scenario):
    data, error = server.raw_get(f"/t/{scenario}/truncate=50000/f/blob-1m.bin")
    assert error is None and len(split_response(data)[2]) == 50000


def test_rate_limits_the_body(server, scenario):
    started = time.monotonic()
    status, _, body = server.get(f"/t/{scenario}/rate=20000/f/blob-10k.bin")
    assert status == 200 and len(body) == 10240
    assert 0.4 <= time.monotonic() - started < 3


def test_directives_combine_with_sequences(server, scenario):
    path = f"/t/{scenario}/status=503:200,body=text:-/o"
    status, headers, body = server.post(path, {"i": "Orvane_DLM"})
    assert (status, headers["content-type"]) == (503, "text/plain") and body.startswith(b"Service")
    status, _, body = server.post(path, {"i": "Orvane_DLM"})
    assert status == 200 and b'"ct"' in body


@pytest.mark.parametrize("directive", ["bogus=1", "status=abc", "status", "body=weird", "chunked=0",
                                  "length=x", "rcode=200"])
def test_bad_directives_answer_400(server, scenario, directive):
    status, _, body = server.get(f"/t/{scenario}/{directive}/f/hello.txt")
    assert status == 400 and b"bad directives" in body


def test_bad_scenario_id_answers_400(server):
    assert server.get("/t/bad!id/-/f/hello.txt")[0] == 400


def test_plain_paths_take_faults_from_the_control_api(server):
    try:
        status, answer = server.control("POST", "faults", {"o": "status=503:200", "f/*": "delay=0"})
        assert status == 200 and answer["faults"]["o"] == "status=503:200"
        assert server.control("POST", "faults", {"zbd": "nonsense"})[0] == 400
        assert server.post("/o", {"i": "Orvane_DLM"})[0] == 503
        assert server.post("/o", {"i": "Orvane_DLM"})[0] == 200
        assert server.get("/f/hello.txt")[0] == 200
    finally:
        server.control("POST", "faults", {"o": None, "f/*": None})
    assert server.control("GET", "faults")[1]["faults"] == {}
