#!/usr/bin/python3
"""Prints what the reference server stored: events per package and event code, and bad signatures.

    python3 refserver/report.py [--since ID] [DB]     (default build/refserver-state/events.sqlite)

--since ID counts only the events stored after the event with that id.
"""
import os
import sqlite3
import sys

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


if __name__ == "__main__":
    args = sys.argv[1:]
    since = 0
    if args[:1] == ["--since"] and len(args) >= 2:
        since = int(args[1])
        args = args[2:]
    path = args[0] if args else DEFAULT_DB
    if not os.path.exists(path):
        sys.exit(f"no database at {path}")
    print(report(path, since))
