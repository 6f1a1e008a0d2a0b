"""Reading an analytics envelope and checking its signature.

Envelope: {"data": "<record JSON text>", "table": "zb_analytics"}. The Authorization header must be
"Signature=" + lowercase hex SHA-256 of record["1"] immediately followed by record["2"].
"""
import hashlib
import json
from dataclasses import dataclass


def signature_for(user_id, session_timestamp):
    digest = hashlib.sha256((user_id + session_timestamp).encode("utf-8")).hexdigest()
    return "Signature=" + digest


@dataclass
class Envelope:
    record_text: str | None = None   # envelope member "data"
    record: dict | None = None       # that text parsed
    error: str | None = None         # why the envelope is unusable, None when fine

    @property
    def package(self):
        return _field(self.record, "5")

    @property
    def code(self):
        return _field(self.record, "6")

    def signature_ok(self, authorization):
        if self.record is None:
            return False
        user, stamp = self.record.get("1", ""), self.record.get("2", "")
        if not isinstance(user, str) or not isinstance(stamp, str):
            return False
        return authorization == signature_for(user, stamp)


def _field(record, key):
    if record is None or key not in record:
        return None
    value = record[key]
    return value if isinstance(value, str) else json.dumps(value)


def parse(body):
    """Parses the raw request body; never raises."""
    try:
        envelope = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as e:
        return Envelope(error=f"envelope is not JSON: {e}")
    if not isinstance(envelope, dict) or not isinstance(envelope.get("data"), str):
        return Envelope(error='envelope has no string member "data"')
    text = envelope["data"]
    try:
        record = json.loads(text)
    except ValueError as e:
        return Envelope(record_text=text, error=f"data is not JSON: {e}")
    if not isinstance(record, dict):
        return Envelope(record_text=text, error="data is not a JSON object")
    if envelope.get("table") != "zb_analytics":
        return Envelope(record_text=text, record=record, error='table is not "zb_analytics"')
    return Envelope(record_text=text, record=record)
