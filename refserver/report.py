#!/usr/bin/python3
"""Prints what the reference server stored: events per package and event code, and bad signatures.

    python3 refserver/report.py [DB]     (default build/refserver-state/events.sqlite)
"""
import os
import sqlite3
import sys

DEFAULT_DB = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                          "build", "refserver-state", "events.sqlite")


def report(db_path):
    db = sqlite3.connect(f"file:{db_path}?mode=ro", uri=True)
    rows = db.execute("SELECT COALESCE(package, '(none)'), COALESCE(event_code, '(none)'), COUNT(*),"
                      " SUM(signature_ok = 0) FROM events GROUP BY 1, 2 ORDER BY 1, CAST(event_code AS INTEGER), 2"
                      ).fetchall()
    total, bad = db.execute("SELECT COUNT(*), COALESCE(SUM(signature_ok = 0), 0) FROM events").fetchone()
    lines = [f"{'package':<32} {'code':>6} {'count':>6} {'bad sig':>8}"]
    for package, code, count, failed in rows:
        lines.append(f"{(package or '(empty)'):<32} {code:>6} {count:>6} {failed:>8}")
    lines.append(f"events: {total}")
    lines.append(f"signature failures: {bad}")
    return "\n".join(lines)


if __name__ == "__main__":
    path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_DB
    if not os.path.exists(path):
        sys.exit(f"no database at {path}")
    print(report(path))
