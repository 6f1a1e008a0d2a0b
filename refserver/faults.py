"""Fault directives carried in the request path, and the per-scenario attempt counters.

A faulty request looks like  /t/<scenario>/<directives>/<endpoint>  (see README.md):
  <directives> is "-" (none) or a comma-separated list of  key  or  key=value ;
  a value may be a colon-separated sequence, one element per attempt (the last one repeats),
  and an element "-" switches the directive off for that attempt;
  elements are percent-decoded after splitting.
Connections held by a hold directive wait here too, until a test releases their scenario.
"""
import re
import threading
import urllib.parse
from collections import deque
from dataclasses import dataclass

SCENARIO_RE = re.compile(r"^[A-Za-z0-9_.-]{1,64}$")
BODY_KINDS = ("empty", "text", "html", "ws", "json-error", "binary")


class FaultError(ValueError):
    """A directive list that cannot be understood; answered with 400."""


def _int(lo, hi):
    def parse(text):
        if not re.fullmatch(r"\d+", text) or not lo <= int(text) <= hi:
            raise FaultError(f"expected a number {lo}..{hi}, got {text!r}")
        return int(text)
    return parse


def _choice(*allowed):
    def parse(text):
        if text not in allowed:
            raise FaultError(f"expected one of {', '.join(allowed)}, got {text!r}")
        return text
    return parse


def _length(text):
    if text == "none" or re.fullmatch(r"[+-]?\d+", text):
        return text
    raise FaultError(f"length wants N, +N, -N or none, got {text!r}")


def _name(text):
    if not re.fullmatch(r"[A-Za-z0-9_.-]{1,64}", text):
        raise FaultError(f"bad name {text!r}")
    return text


def _any(text):
    return text


MAX = 1 << 40
# key -> (parser, value used when the key is given without "=value")
DIRECTIVES = {
    "status": (_int(100, 599), None),
    "delay": (_int(0, 600000), None),
    "body": (_choice(*BODY_KINDS), None),
    "cut": (_int(0, MAX), None),
    "nul": (_int(0, MAX), 0),
    "truncate": (_int(0, MAX), None),
    "length": (_length, None),
    "reset": (_int(0, MAX), 0),
    "hold": (_int(0, MAX), 0),
    "chunked": (_int(1, 1 << 24), 1024),
    "rate": (_int(1, 1 << 32), None),
    "redirect": (_int(0, 100), 1),
    "rcode": (_choice("301", "302", "303", "307", "308"), None),
    "loc": (_choice("abs", "rel"), None),
    "host": (_any, None),
    "to": (_any, None),
    "set": (_name, None),
    "ranges": (_choice("on", "off"), None),
}


@dataclass
class Faults:
    """The directives that apply to one attempt; None means "not asked for"."""
    status: int | None = None
    delay: int | None = None
    body: str | None = None
    cut: int | None = None
    nul: int | None = None
    truncate: int | None = None
    length: str | None = None
    reset: int | None = None
    hold: int | None = None
    chunked: int | None = None
    rate: int | None = None
    redirect: int | None = None
    rcode: str | None = None
    loc: str | None = None
    host: str | None = None
    to: str | None = None
    set: str | None = None
    ranges: str | None = None


class Directives:
    """A parsed directive list: ordered (key, raw sequence element texts)."""

    def __init__(self, text):
        self.items = []
        if text in ("", "-"):
            return
        for part in text.split(","):
            key, eq, value = part.partition("=")
            if key not in DIRECTIVES:
                raise FaultError(f"unknown directive {key!r}")
            parser, default = DIRECTIVES[key]
            if not eq:
                if default is None:
                    raise FaultError(f"directive {key!r} needs a value")
                value = str(default)
            elements = [urllib.parse.unquote(e) for e in value.split(":")]
            for element in elements:
                if element != "-":
                    parser(element)
            self.items.append((key, elements))

    def for_attempt(self, attempt):
        """The Faults of the 1-based attempt number."""
        faults = Faults()
        for key, elements in self.items:
            element = elements[min(attempt, len(elements)) - 1]
            if element != "-":
                setattr(faults, key, DIRECTIVES[key][0](element))
        return faults

    def next_hop(self, remaining):
        """Directive text for the next redirect hop: redirect=<remaining>, or without it at 0."""
        parts = []
        for key, elements in self.items:
            if key == "redirect":
                if remaining > 0:
                    parts.append(f"redirect={remaining}")
                continue
            parts.append(key + "=" + ":".join(urllib.parse.quote(e, safe="") for e in elements))
        return ",".join(parts) or "-"


class Scenarios:
    """Attempt counters: each distinct (scenario, path after the scenario) counts its own requests."""

    def __init__(self):
        self._lock = threading.Lock()
        self._counts = {}

    def hit(self, scenario, rest):
        with self._lock:
            per = self._counts.setdefault(scenario, {})
            per[rest] = per.get(rest, 0) + 1
            return per[rest]

    def snapshot(self):
        with self._lock:
            return {s: dict(per) for s, per in self._counts.items()}

    def reset(self, scenario=None):
        with self._lock:
            if scenario is None:
                self._counts.clear()
            else:
                self._counts.pop(scenario, None)


class Holds:
    """Connections that a hold directive stopped mid-body, each waiting for a release of its scenario.

    A release lets the oldest held connection of the scenario go on; when none is held, it is kept
    for the next hold of that scenario, so a test may release as soon as it has seen what it waited
    for, even if the server has not quite reached the hold yet. A hold that no release reaches ends
    by itself after `limit` seconds.
    """

    def __init__(self, limit):
        self.limit = limit
        self._cond = threading.Condition()
        self._held = {}      # scenario -> deque of waiters ([released] lists), oldest first
        self._pending = {}   # scenario -> releases that no hold has used yet

    def wait(self, scenario):
        """Blocks until released; True, or False when the limit ended the hold."""
        with self._cond:
            if self._pending.get(scenario):
                self._take_pending(scenario)
                return True
            waiter = [False]
            queue = self._held.setdefault(scenario, deque())
            queue.append(waiter)
            try:
                return self._cond.wait_for(lambda: waiter[0], timeout=self.limit)
            finally:
                queue.remove(waiter)
                if not queue and self._held.get(scenario) is queue:
                    del self._held[scenario]

    def release(self, scenario):
        """Lets one hold of the scenario go on; returns how many were held before."""
        with self._cond:
            waiting = [w for w in self._held.get(scenario, ()) if not w[0]]
            if waiting:
                waiting[0][0] = True
                self._cond.notify_all()
            else:
                self._pending[scenario] = self._pending.get(scenario, 0) + 1
            return len(waiting)

    def snapshot(self):
        with self._cond:
            names = set(self._held) | set(self._pending)
            return {s: {"held": sum(1 for w in self._held.get(s, ()) if not w[0]),
                        "released": self._pending.get(s, 0)} for s in sorted(names)}

    def reset(self, scenario=None):
        """Lets every held connection (of the scenario) go on and forgets unused releases."""
        with self._cond:
            for name, queue in self._held.items():
                if scenario in (None, name):
                    for waiter in queue:
                        waiter[0] = True
            if scenario is None:
                self._pending.clear()
            else:
                self._pending.pop(scenario, None)
            self._cond.notify_all()

    def _take_pending(self, scenario):
        self._pending[scenario] -= 1
        if not self._pending[scenario]:
            del self._pending[scenario]
