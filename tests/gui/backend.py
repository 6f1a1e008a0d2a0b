"""The reference back end (refserver) as the GUI tests see it: its control API over TLS.

The wizard's endpoints are fixed to https://localhost/..., so the server the tests read is the one on port 443
that `refserver/start` runs. Other runs may use the same server at the same time, so the tests never reset
it: they note the last event id first and read only later events, and they tell their own events apart by
field "1", the MachineGuid of the GUI tests' Wine prefix.
"""

import json
import re
import ssl
import urllib.request
from pathlib import Path

from welvane_ui import ROOT

STATE = ROOT / "build" / "refserver-state"
BASE_URL = "https://localhost"


class Backend:
    """Client of the control API. `machine` is the MachineGuid that marks the events of our own prefix."""

    def __init__(self, machine=None, state=STATE, base_url=BASE_URL):
        self.machine = machine
        self._context = ssl.create_default_context(cafile=str(Path(state) / "certs" / "ca.pem"))
        self._base = base_url

    def _call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode("utf-8")
        request = urllib.request.Request(self._base + "/_control/" + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, context=self._context, timeout=10) as response:
            return json.loads(response.read().decode("utf-8"))

    def health(self):
        return self._call("GET", "health")

    def last_event_id(self):
        return self.health()["events"]

    def events(self, since, code=None, all_machines=False):
        """Events stored after id `since`, oldest first: only those of `code`, when given, and (unless
        all_machines) only those whose record's field "1" is our `machine`."""
        query = f"events?since={int(since)}" + (f"&code={code}" if code is not None else "")
        found = self._call("GET", query)["events"]
        if not all_machines and self.machine is not None:
            found = [e for e in found if (e.get("record") or {}).get("1") == self.machine]
        return found

    def reset_scenario(self, scenario):
        """Lets the scenario's held answers go on and restarts its attempt counts."""
        return self._call("POST", "reset", {"scenario": scenario})

    def faults(self):
        return self._call("GET", "faults")["faults"]

    def set_faults(self, mapping):
        """mapping: endpoint ("o", "zbd", "f/<name>", "f/*") -> directive text; None removes one."""
        return self._call("POST", "faults", mapping)["faults"]


def machine_guid(prefix):
    """The MachineGuid of a Wine prefix (64-bit registry view), read from its system.reg."""
    text = (Path(prefix) / "system.reg").read_text(encoding="utf-8", errors="replace")
    section = re.search(r'^\[Software\\\\Microsoft\\\\Cryptography\][^\n]*\n(.*?)(?:\n\n|\Z)', text,
                        re.MULTILINE | re.DOTALL)
    if section:
        value = re.search(r'^"MachineGuid"="([^"]*)"', section.group(1), re.MULTILINE)
        if value:
            return value.group(1)
    return None
