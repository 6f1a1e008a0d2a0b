"""What every request handler of one server shares: storage, configurations, files and fault state."""
import json
import os
import shutil
import sys
import threading

from configs import ConfigStore
from faults import Directives, Holds, Scenarios
from files import Files
from store import Store, now

HERE = os.path.dirname(os.path.abspath(__file__))


class App:
    def __init__(self, state_dir, config_set="dlm", hold_limit=120.0):
        self.state_dir = state_dir
        self.default_set = config_set
        self.config_set = config_set
        self.store = Store(os.path.join(state_dir, "events.sqlite"))
        self.configs = ConfigStore(os.path.join(HERE, "configs"), os.path.join(state_dir, "configs"))
        self.files = Files(os.path.join(state_dir, "files"), os.path.join(HERE, "files"))
        self.scenarios = Scenarios()
        self.holds = Holds(hold_limit)
        self.port = 0
        self._lock = threading.Lock()
        self._plain_faults = {}
        self._request_log = open(os.path.join(state_dir, "requests.log"), "a", encoding="utf-8")

    def plain_faults(self, endpoint):
        """Directive text that applies to a request without /t/ (set through the control API)."""
        with self._lock:
            if endpoint in self._plain_faults:
                return self._plain_faults[endpoint]
            if endpoint.startswith("f/"):
                return self._plain_faults.get("f/*", "-")
            return "-"

    def set_plain_faults(self, mapping):
        """mapping: endpoint ("o", "zbd", "f/<name>" or "f/*") -> directive text; "" or None removes."""
        for endpoint, text in mapping.items():
            Directives(text or "-")  # raises FaultError for bad text
        with self._lock:
            for endpoint, text in mapping.items():
                if text in (None, "", "-"):
                    self._plain_faults.pop(endpoint, None)
                else:
                    self._plain_faults[endpoint] = text
            return dict(self._plain_faults)

    def get_plain_faults(self):
        with self._lock:
            return dict(self._plain_faults)

    def log_request(self, method, path, headers, body):
        """Keeps the request in the database and in requests.log (one JSON object per line)."""
        request_id = self.store.add_request(method, path, headers, body)
        line = json.dumps({"id": request_id, "received": now(), "method": method, "path": path,
                           "headers": headers, "body": body.decode("utf-8", "replace")})
        with self._lock:
            self._request_log.write(line + "\n")
            self._request_log.flush()
        return request_id

    def reset(self):
        """Back to the state after start: no events, requests, counters, holds, fault routes or uploads."""
        shutil.rmtree(os.path.join(self.state_dir, "configs"), ignore_errors=True)
        self.store.clear()
        self.scenarios.reset()
        self.holds.reset()
        with self._lock:
            self._plain_faults.clear()
            self.config_set = self.default_set

    def note(self, text):
        # One write per line, so that lines of connections running side by side do not mix.
        print(f"[{now()}] {text}\n", end="", file=sys.stderr, flush=True)
