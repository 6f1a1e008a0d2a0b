"""The reference server's SQLite file: analytics events and a log of every request.

Ids only grow (AUTOINCREMENT), also across resets, so "since=<id>" stays meaningful.
"""
import json
import sqlite3
import threading
from datetime import datetime, timezone

SCHEMA = """
CREATE TABLE IF NOT EXISTS events (
  id            INTEGER PRIMARY KEY AUTOINCREMENT,
  received      TEXT NOT NULL,     -- UTC, ISO 8601 with milliseconds
  path          TEXT NOT NULL,     -- request path, scenario and directives included
  package       TEXT,              -- record field "5" (ad id, or the main product's title)
  event_code    TEXT,              -- record field "6"
  signature_ok  INTEGER NOT NULL,  -- 1 when Authorization matched the record's fields "1" and "2"
  authorization TEXT,              -- the Authorization header as received
  status        INTEGER,           -- the status we answered with
  record        TEXT,              -- the record JSON text (envelope member "data"), as sent
  envelope      BLOB NOT NULL      -- the request body, byte for byte
);
CREATE TABLE IF NOT EXISTS requests (
  id       INTEGER PRIMARY KEY AUTOINCREMENT,
  received TEXT NOT NULL,
  method   TEXT NOT NULL,
  path     TEXT NOT NULL,
  headers  TEXT NOT NULL,          -- JSON list of [name, value]
  body     BLOB NOT NULL
);
"""


def now():
    return datetime.now(timezone.utc).isoformat(timespec="milliseconds")


class Store:
    def __init__(self, path):
        self._lock = threading.Lock()
        self._db = sqlite3.connect(path, check_same_thread=False, isolation_level=None)
        self._db.execute("PRAGMA journal_mode=WAL")
        self._db.executescript(SCHEMA)

    def add_event(self, path, package, code, signature_ok, authorization, status, record, envelope):
        with self._lock:
            cur = self._db.execute(
                "INSERT INTO events (received, path, package, event_code, signature_ok, authorization,"
                " status, record, envelope) VALUES (?,?,?,?,?,?,?,?,?)",
                (now(), path, package, code, int(signature_ok), authorization, status, record, envelope))
            return cur.lastrowid

    def add_request(self, method, path, headers, body):
        with self._lock:
            cur = self._db.execute(
                "INSERT INTO requests (received, method, path, headers, body) VALUES (?,?,?,?,?)",
                (now(), method, path, json.dumps(headers), body))
            return cur.lastrowid

    def events(self, since=0, package=None, code=None):
        sql = ("SELECT id, received, path, package, event_code, signature_ok, authorization, status,"
               " record, envelope FROM events WHERE id > ?")
        args = [since]
        if package is not None:
            sql += " AND package = ?"
            args.append(package)
        if code is not None:
            sql += " AND event_code = ?"
            args.append(code)
        with self._lock:
            rows = self._db.execute(sql + " ORDER BY id", args).fetchall()
        return [_event_json(r) for r in rows]

    def requests(self, since=0, path_prefix=""):
        with self._lock:
            rows = self._db.execute(
                "SELECT id, received, method, path, headers, body FROM requests"
                " WHERE id > ? AND substr(path, 1, ?) = ? ORDER BY id",
                (since, len(path_prefix), path_prefix)).fetchall()
        return [{"id": r[0], "received": r[1], "method": r[2], "path": r[3],
                 "headers": json.loads(r[4]), "body": bytes(r[5]).decode("utf-8", "replace")}
                for r in rows]

    def last_ids(self):
        with self._lock:
            rows = dict(self._db.execute("SELECT name, seq FROM sqlite_sequence").fetchall())
        return {t: rows.get(t, 0) for t in ("events", "requests")}

    def clear(self):
        with self._lock:
            self._db.execute("DELETE FROM events")
            self._db.execute("DELETE FROM requests")


def _event_json(row):
    record = None
    if row[8] is not None:
        try:
            record = json.loads(row[8])
        except ValueError:
            pass
    return {"id": row[0], "received": row[1], "path": row[2], "package": row[3], "code": row[4],
            "signature_ok": bool(row[5]), "authorization": row[6], "status": row[7],
            "record": record, "data": row[8], "envelope": bytes(row[9]).decode("utf-8", "replace")}
