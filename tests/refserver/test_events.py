"""POST /zbd: signature check, storage in SQLite, the control API read-back and the report."""
import hashlib
import json
import os
import sqlite3
import subprocess
import sys

from conftest import REFSERVER, start_server, stop_server


def record(package, code, user="0f1e2d3c-guid", stamp="20240102030405", **extra):
    fields = {str(i): "" for i in range(23)}
    fields.update({"1": user, "2": stamp, "3": "Orvane", "4": "Orvane_DLM", "5": package, "6": code,
                   "10": 2, "15": 0, "31": "10.0.18362", "38": "1"}, **extra)
    return fields


def envelope(fields):
    data = json.dumps(fields, separators=(",", ":"), sort_keys=True, ensure_ascii=False)
    return json.dumps({"data": data, "table": "zb_analytics"}, separators=(",", ":")).encode()


def signature(user, stamp):
    return "Signature=" + hashlib.sha256((user + stamp).encode()).hexdigest()


def send(server, fields, auth=None, path="/zbd"):
    auth = auth if auth is not None else signature(fields["1"], fields["2"])
    return server.post(path, envelope(fields), headers={"Authorization": auth, "Expect": "100-continue"})


def since(server):
    return server.control("GET", "health")[1]["events"]


def test_good_signature_is_accepted_and_stored(server):
    start = since(server)
    fields = record("ev-good", "3")
    body = envelope(fields)
    status, _, answer = send(server, fields)
    assert status == 200 and json.loads(answer)["ok"] is True
    _, found = server.control("GET", f"events?since={start}")
    event = found["events"][-1]
    assert (event["package"], event["code"], event["signature_ok"], event["status"]) == ("ev-good", "3", True, 200)
    assert event["record"] == fields
    assert event["envelope"].encode() == body
    assert event["data"] == json.loads(body)["data"]


def test_bad_signature_is_stored_flagged_and_answered_401(server):
    start = since(server)
    fields = record("ev-bad", "4")
    status, _, _ = send(server, fields, auth="Signature=" + "0" * 64)
    assert status == 401
    _, found = server.control("GET", f"events?since={start}&package=ev-bad")
    assert [(e["code"], e["signature_ok"], e["status"]) for e in found["events"]] == [("4", False, 401)]


def test_empty_user_id_signs_the_timestamp_alone(server):
    fields = record("ev-noguid", "1", user="")
    assert send(server, fields, auth=signature("", fields["2"]))[0] == 200


def test_broken_envelopes_are_stored_and_answered_400(server):
    start = since(server)
    assert server.post("/zbd", b"{not json", headers={"Authorization": "x"})[0] == 400
    assert server.post("/zbd", b'{"data":"{broken","table":"zb_analytics"}')[0] == 400
    _, found = server.control("GET", f"events?since={start}")
    assert [(e["signature_ok"], e["status"], e["record"]) for e in found["events"]] == \
        [(False, 400, None), (False, 400, None)]


def test_events_are_rows_of_a_real_sqlite_file(server):
    fields = record("ev-sqlite", "-1", **{"12": "DOWNLOAD FAILED: x"})
    send(server, fields)
    db = sqlite3.connect(os.path.join(server.state, "events.sqlite"))
    row = db.execute("SELECT package, event_code, signature_ok, record, envelope FROM events"
                     " WHERE package = 'ev-sqlite'").fetchone()
    assert row[:3] == ("ev-sqlite", "-1", 1)
    assert json.loads(row[3])["12"] == "DOWNLOAD FAILED: x"
    assert bytes(row[4]) == envelope(fields)


def test_faulty_answers_still_store_the_event_with_the_status_sent(server, scenario):
    fields = record("ev-fault", "5")
    statuses = [send(server, fields, path=f"/t/{scenario}/status=500:200/zbd")[0] for _ in range(2)]
    assert statuses == [500, 200]
    _, found = server.control("GET", "events?package=ev-fault")
    assert [e["status"] for e in found["events"]] == [500, 200]
    assert all(e["signature_ok"] for e in found["events"])


def test_event_filters_by_code(server):
    send(server, record("ev-filter", "2", **{"13": "NOT ENOUGH RAM"}))
    send(server, record("ev-filter", "4"))
    _, found = server.control("GET", "events?package=ev-filter&code=2")
    assert [e["record"]["13"] for e in found["events"]] == ["NOT ENOUGH RAM"]


def test_report_counts_per_package_and_code_and_bad_signatures(server, tmp_path):
    s = start_server(str(tmp_path / "state"), certs_from=server.state)
    try:
        for _ in range(2):
            send(s, record("offer-alpha", "3"))
        send(s, record("offer-alpha", "4"))
        send(s, record("Welvane Demo Player", "1"))
        send(s, record("offer-beta", "2"), auth="Signature=wrong")
    finally:
        stop_server(s)
    out = subprocess.run([sys.executable, os.path.join(REFSERVER, "report.py"),
                          os.path.join(s.state, "events.sqlite")], capture_output=True, text=True, check=True).stdout
    rows = [line.split() for line in out.splitlines()]
    assert ["offer-alpha", "3", "2", "0"] in rows
    assert ["offer-alpha", "4", "1", "0"] in rows
    assert ["offer-beta", "2", "1", "1"] in rows
    assert ["Welvane", "Demo", "Player", "1", "1", "0"] in rows
    assert "events: 5" in out
    assert "signature failures: 1" in out


def test_funnel_shows_each_package_of_each_run(server, tmp_path):
    s = start_server(str(tmp_path / "state"), certs_from=server.state)
    try:
        main = {"10": 1}
        send(s, record("", "1", **main))
        send(s, record("offer-rejected", "2", **{"13": "NOT ENOUGH RAM"}))
        send(s, record("offer-declined", "4"))
        send(s, record("offer-failed", "-1", **{"12": "EXEC FAILED193"}))
        send(s, record("offer-installed", "3"))
        send(s, record("Demo Player", "3", **main))
        send(s, record("offer-left", "5", stamp="20240102030999"))  # another run of the same user
    finally:
        stop_server(s)
    out = subprocess.run([sys.executable, os.path.join(REFSERVER, "report.py"), "--funnel",
                          os.path.join(s.state, "events.sqlite")], capture_output=True, text=True, check=True).stdout
    rows = [line.split() for line in out.splitlines()]
    assert ["Demo", "Player", "main", "-", "-", "yes", "1", "3"] in rows, out
    assert ["offer-rejected", "offer", "no", "-", "no", "2", "(NOT", "ENOUGH", "RAM)"] in rows, out
    assert ["offer-declined", "offer", "yes", "declined", "no", "4"] in rows, out
    assert ["offer-failed", "offer", "yes", "accepted", "no", "-1", "(EXEC", "FAILED193)"] in rows, out
    assert ["offer-installed", "offer", "yes", "accepted", "yes", "3"] in rows, out
    assert ["offer-left", "offer", "yes", "none", "no", "5"] in rows, out
    assert sum(line.startswith("run of Orvane_DLM") for line in out.splitlines()) == 2, out
