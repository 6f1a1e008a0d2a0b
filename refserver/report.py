#!/usr/bin/python3
"""Prints what the reference server stored: events per package and event code, and bad signatures; or, with
--funnel, one table per run (user and session) showing what became of the main product and of each offer.

    python3 refserver/report.py [--since ID] [--funnel] [DB]     (default build/refserver-state/events.sqlite)

--since ID counts only the events stored after the event with that id.

Funnel columns: shown (the offer reached the user: it got an answer or a close, not a rejection), answer
(accepted: installed or failed on the way; declined: event 4; none: the run ended while it was open or before
its download; the main product has none), installed (event 3) and the event codes in the order they came,
with the rejection reason (field 13) or the failure text (field 12) after the code.
"""
import json
import os
import sqlite3
import sys

EVENT_NAMES = {"1": "started", "2": "rejected", "3": "installed", "4": "declined", "5": "left", "-1": "failed"}

DEFAULT_DB = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                          "build", "refserver-state", "events.sqlite")


def report(db_path, since=0):
    db = sqlite3.connect(f"file:{db_path}?mode=ro", uri=True)
    rows = db.execute("SELECT COALESCE(package, '(none)'), COALESCE(event_code, '(none)'), COUNT(*),"
                      " SUM(signature_ok = 0) FROM events WHERE id > ?"
                      " GROUP BY 1, 2 ORDER BY 1, CAST(event_code AS INTEGER), 2", (since,)).fetchall()
    total, bad = db.execute("SELECT COUNT(*), COALESCE(SUM(signature_ok = 0), 0) FROM events WHERE id > ?",
                            (since,)).fetchone()
    lines = [f"{'package':<32} {'code':>6} {'count':>6} {'bad sig':>8}"]
    for package, code, count, failed in rows:
        lines.append(f"{(package or '(empty)'):<32} {code:>6} {count:>6} {failed:>8}")
    lines.append(f"events: {total}")
    lines.append(f"signature failures: {bad}")
    return "\n".join(lines)


def _runs(db_path, since):
    """{(user, session): [(package, role, code, record)]} in the order the events were stored."""
    db = sqlite3.connect(f"file:{db_path}?mode=ro", uri=True)
    runs = {}
    for package, code, text in db.execute("SELECT package, event_code, record FROM events WHERE id > ? ORDER BY id",
                                          (since,)):
        try:
            record = json.loads(text or "{}")
        except ValueError:
            record = {}
        role = "main" if str(record.get("10")) == "1" else "offer"
        key = (record.get("1", "?"), record.get("2", "?"), record.get("4", ""))
        runs.setdefault(key, []).append((package or "", role, code or "?", record))
    return runs


def _row(role, events):
    codes = [code for code, _ in events]
    shown = role == "offer" and any(c in ("3", "4", "5", "-1") for c in codes)
    if role == "main":
        answer = "-"
    elif "4" in codes:
        answer = "declined"
    elif "3" in codes or "-1" in codes:
        answer = "accepted"
    else:
        answer = "none" if shown else "-"
    described = []
    for code, record in events:
        note = " ".join(str(record.get("13") or record.get("12") or "").split())
        described.append(f"{code} ({note})" if note else code)
    return ("-" if role == "main" else ("yes" if shown else "no"), answer, "yes" if "3" in codes else "no",
            " ".join(described))


def funnel(db_path, since=0):
    lines = []
    for (user, session, installer), events in _runs(db_path, since).items():
        main_title = next((p for p, role, _, _ in events if role == "main" and p), "")
        packages = {}
        for package, role, code, record in events:
            name = (package or main_title) if role == "main" else package
            packages.setdefault((name, role), []).append((code, record))
        lines.append(f"run of {installer or '?'}: user {user}, session {session}")
        lines.append(f"  {'package':<28} {'role':<6} {'shown':<6} {'answer':<9} {'installed':<10} events")
        for (name, role), found in packages.items():
            shown, answer, installed, described = _row(role, found)
            lines.append(f"  {(name or '(main product)'):<28} {role:<6} {shown:<6} {answer:<9} {installed:<10} "
                         f"{described}")
    return "\n".join(lines) if lines else "no events"


if __name__ == "__main__":
    args = sys.argv[1:]
    since, show_funnel = 0, False
    while args[:1] in (["--since"], ["--funnel"]):
        if args[0] == "--funnel":
            show_funnel, args = True, args[1:]
        elif len(args) >= 2:
            since, args = int(args[1]), args[2:]
        else:
            sys.exit("--since needs an event id")
    path = args[0] if args else DEFAULT_DB
    if not os.path.exists(path):
        sys.exit(f"no database at {path}")
    print(funnel(path, since) if show_funnel else report(path, since))
