"""The control API: health, read-back with since, full reset, and the server's start options."""
from conftest import start_server, stop_server
from test_events import record, send


def test_full_reset_clears_everything_but_ids_keep_growing(server, tmp_path):
    s = start_server(str(tmp_path / "state"), "--config-set", "isv", certs_from=server.state)
    try:
        assert s.control("GET", "config-set")[1]["set"] == "isv"
        send(s, record("ctl-a", "1"))
        s.control("POST", "config-set", {"set": "dlm"})
        s.control("POST", "faults", {"o": "status=500"})
        s.control("POST", "config", {"set": "mine", "config": {"l": "x"}})
        s.get("/t/ctl/status=500/f/hello.txt")
        status, answer = s.control("POST", "reset")
        assert status == 200 and answer["events"] == 1
        assert s.control("GET", "events")[1] == {"events": [], "last_id": 1}
        assert s.control("GET", "scenarios")[1]["scenarios"] == {}
        assert s.control("GET", "faults")[1]["faults"] == {}
        assert s.control("GET", "config-set")[1]["set"] == "isv"  # back to the start option
        assert "mine" not in s.control("GET", "config-set")[1]["sets"]
        send(s, record("ctl-b", "3"))
        events = s.control("GET", "events?since=0")[1]["events"]
        assert [(e["id"], e["package"]) for e in events] == [(2, "ctl-b")]
    finally:
        stop_server(s)


def test_events_since_returns_only_newer_ones(server):
    first = send(server, record("ctl-since", "1"))
    last = server.control("GET", "health")[1]["events"]
    send(server, record("ctl-since", "3"))
    events = server.control("GET", f"events?since={last}")[1]["events"]
    assert [e["code"] for e in events] == ["3"]
    assert first[0] == 200


def test_control_rejects_bad_bodies(server):
    assert server.request("POST", "/_control/faults", body=b"[1]")[0] == 400
    assert server.request("POST", "/_control/config", body=b"{}")[0] == 400
    assert server.control("POST", "config", {"set": "../x", "config": {}})[0] == 400
