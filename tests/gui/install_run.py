"""Whole runs of either wizard for the install tests: a configuration of the test's own, the walk
through the offer pages with an answer per offer, and what the run left behind (the test installers' log,
the Downloads folder, the run's temporary folder), read from the GUI prefix."""

import time
import uuid
from contextlib import contextmanager
from pathlib import Path

from welvane_ui import DIALOG_CLASS, page_holding, wait_until

LANGUAGE_COMBO, NEXT_BUTTON, WELCOME_TITLE = 1000, 1010, 1017
ACCEPT_BUTTON, DECLINE_BUTTON = 1021, 1022
PROGRESS_TITLE, FINISH_BUTTON, LAUNCH_RADIO, OPEN_FOLDER_RADIO = 1025, 1028, 1031, 1034
ERROR_TITLE = 1036
FILES = "https://127.0.0.1/f/"
MAIN_FILE = "welvane-demo-player-setup.exe"


def offer(ad_id, url, arguments=""):
    return {"ad": {"o": ad_id, "f": "flow-" + ad_id},
            "ps": {"i": "offer-alpha.png", "dn": ad_id, "u": url, "p": arguments,
                   "cp": "https://www.example.com/privacy", "ctu": "https://www.example.com/terms", "v": 1}}


def configuration(product, offers, product_url=FILES + MAIN_FILE):
    """A configuration for product `product` (its title, also its saved file's name) with `offers` in
    order, each of a vertical of its own (one offer per vertical is shown); no limit on their number."""
    for vertical, element in enumerate(offers, start=1):
        element["ps"]["v"] = vertical
    return {"l": "US",
            "i": {"ct": product, "cu": product_url, "cf": product + ".exe", "ch": "web", "cfl": "main-" + product,
                  "cl": FILES + "welvane-demo-logo.png"},
            "f": {"a": "pub-install", "m": len(offers)},
            "o": offers}


@contextmanager
def serving(backend, config):
    """Serves `config` as the configuration until the block ends."""
    name = "gui-install-" + uuid.uuid4().hex[:12]
    backend._call("POST", "config", {"set": name, "installer": "Orvane_DLM", "lang": "default", "config": config})
    earlier = backend.faults().get("o")
    backend.set_faults({"o": f"set={name}"})
    try:
        yield
    finally:
        backend.set_faults({"o": earlier})


def shown(driver, wiz, control_id):
    page = page_holding(driver, wiz.hwnd, control_id)
    return page if page and driver.window_info(page["hwnd"])["visible"] else None


def run_log(prefix, pid):
    """The text of the run log that the wizard with Windows process id `pid` wrote ("" when there is none).
    Process ids come again in a later session of the prefix: the newest log of that id (names carry the
    date and time) is this run's."""
    logs = sorted(Path(prefix).glob(f"drive_c/users/*/AppData/Local/Welvane/Logs/welvane-*-{pid}.log"))
    return logs[-1].read_text(encoding="utf-8") if logs else ""


class Run:
    """One wizard run: its process, its install log and the prefix's folders."""

    def __init__(self, driver, wizard, wine_env, flavour="dlm", env=None, program=None):
        self.driver = driver
        self.prefix = Path(wine_env["WINEPREFIX"])
        self.log_name = f"welvane-gui-installs-{uuid.uuid4().hex[:8]}.log"
        self.log = self.prefix / "drive_c" / self.log_name
        self.wiz = wizard(flavour, env={"WELVANE_INSTALL_LOG": "C:\\" + self.log_name, **(env or {})},
                          program=program)

    def walk(self, backend, config, answers):
        """Loads `config` and answers the offer pages: answers[i] True accepts, False declines."""
        driver, wiz = self.driver, self.wiz
        with serving(backend, config):
            driver.click_id(page_holding(driver, wiz.hwnd, LANGUAGE_COMBO)["hwnd"], NEXT_BUTTON)
            assert wait_until(lambda: shown(driver, wiz, WELCOME_TITLE) or shown(driver, wiz, ERROR_TITLE),
                              timeout=60, interval=0.2), "loading did not end"
        welcome = shown(driver, wiz, WELCOME_TITLE)
        assert welcome, "the configuration did not load"
        driver.click_id(welcome["hwnd"], NEXT_BUTTON)
        answered = set()
        for accept in answers:
            page = wait_until(lambda: self._open_offer_page(answered), timeout=20, interval=0.1)
            assert page, f"offer page {len(answered) + 1} did not come"
            answered.add(page["hwnd"])
            driver.click_id(page["hwnd"], ACCEPT_BUTTON if accept else DECLINE_BUTTON)

    def _open_offer_page(self, answered):
        controls = self.driver.children(self.wiz.hwnd)
        pages = {c["parent"] for c in controls if c["id"] == DECLINE_BUTTON}
        for c in controls:
            if (c["hwnd"] in pages and c["hwnd"] not in answered and c["class"] == DIALOG_CLASS
                    and self.driver.window_info(c["hwnd"])["visible"]):
                return c
        return None

    def finish_page(self, timeout=120):
        return wait_until(lambda: shown(self.driver, self.wiz, FINISH_BUTTON), timeout=timeout, interval=0.2)

    def error_page(self, timeout=120):
        return wait_until(lambda: shown(self.driver, self.wiz, ERROR_TITLE), timeout=timeout, interval=0.2)

    def wait_ended(self, timeout=60):
        deadline = time.monotonic() + timeout
        while self.wiz.running() and time.monotonic() < deadline:
            time.sleep(0.2)
        assert not self.wiz.running(), "the wizard did not end"
        text = self.wiz.stderr_text()
        assert "Unhandled exception" not in text and "Backtrace" not in text, text[-3000:]

    # --- what the run left behind -------------------------------------------------------------------------
    def run_log(self):
        return run_log(self.prefix, self.wiz.pid)

    def installs(self, event="start"):
        """The test installers' log lines of `event` ("start", "end", or None for all in order), as dicts
        (event, exe, cmd, size, ...)."""
        if not self.log.exists():
            return []
        rows = []
        for line in self.log.read_text(encoding="utf-8").splitlines():
            fields = dict(f.split("=", 1) for f in line.split("\t")[1:] if "=" in f)
            if event is None or fields.get("event") == event:
                rows.append(fields)
        return rows

    def unix_path(self, windows_path):
        """The Linux path of a C:\\ path of the prefix."""
        assert windows_path[:3].lower() == "c:\\", windows_path
        parts = windows_path[3:].split("\\")
        path = self.prefix / "drive_c"
        for part in parts:  # Wine's folders keep their case, but look for them without regard to it
            match = [p for p in path.iterdir() if p.name.lower() == part.lower()] if path.is_dir() else []
            path = match[0] if match else path / part
        return path

    def downloads(self):
        return downloads_folder(self.prefix)


def downloads_folder(prefix):
    """The Downloads folder of the prefix's user."""
    users = sorted((Path(prefix) / "drive_c" / "users").glob("*/Downloads"))
    users = [u for u in users if u.parent.name.lower() != "public"]
    assert users, "no Downloads folder in the prefix"
    return users[0]


def arguments_of(row):
    """The arguments of a logged start: what follows the quoted program path and one blank."""
    cmd = row["cmd"]
    assert cmd.startswith('"'), cmd
    return cmd[cmd.index('"', 1) + 2:]
