"""Session set-up for the GUI tests: an X server, the Wine prefix, a warm wineserver, one UI driver.

The GUI tests use their own prefix (build/wineprefix-gui, or $WELVANE_GUI_WINEPREFIX) so that ending every
Wine process at the end of the session, and the wizards' single-instance rule, never touch a demo or another
run that uses build/wineprefix. $WELVANE_DISPLAY names an X display to use instead of starting Xvfb.

The reference back end (refserver on https://localhost) is started once per session when it is not running
yet (and stopped again at the end only then), and the GUI prefix is made to trust its CA.
"""

import os
import re
import subprocess
import sys
import time
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

from backend import STATE as REFSERVER_STATE, Backend, machine_guid  # noqa: E402
from welvane_ui import BIN, BUILD, DIALOG_CLASS, FLAVOURS, ROOT, Driver, Wizard, start_xvfb  # noqa: E402

ARTIFACTS = ROOT / "artifacts" / "gui"
LOGS = ARTIFACTS / "logs"


@pytest.fixture(scope="session")
def display():
    given = os.environ.get("WELVANE_DISPLAY")
    if given:
        yield given
        return
    xvfb, name = start_xvfb()
    try:
        yield name
    finally:
        xvfb.terminate()
        try:
            xvfb.wait(timeout=10)
        except subprocess.TimeoutExpired:
            xvfb.kill()


@pytest.fixture(scope="session")
def wine_env(display):
    for exe in ("uidriver.exe", "uidriver-hook.dll", "welvane-dlm.exe", "welvane-isv.exe", "welvane-unknown.exe"):
        if not (BIN / exe).exists():
            pytest.exit(f"{BIN / exe} is missing: run scripts/build first", returncode=2)
    prefix = Path(os.environ.get("WELVANE_GUI_WINEPREFIX", BUILD / "wineprefix-gui"))
    env = dict(os.environ)
    env.update({
        "DISPLAY": display,
        "WINEPREFIX": str(prefix),
        "WELVANE_WINEPREFIX": str(prefix),  # read by scripts/wine-env
        "WINEARCH": "win64",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
    })
    # Wine takes the user's locale from the Unix one: the tests expect an en-US user (English preselected).
    if _has_locale("en_US.UTF-8"):
        env.update({"LC_ALL": "en_US.UTF-8", "LANG": "en_US.UTF-8"})
    subprocess.run([str(ROOT / "scripts" / "wine-prefix")], env=env, check=True)
    subprocess.run(["wineserver", "-p"], env=env, check=True)
    try:
        yield env
    finally:
        # Ends every process of our prefix, including any a failed test left behind.
        subprocess.run(["wineserver", "-k"], env=env, check=False)
        subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=30)


def _has_locale(name):
    wanted = name.lower().replace("utf-8", "utf8")
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True, check=False).stdout
    return wanted in {line.strip().lower().replace("utf-8", "utf8") for line in out.splitlines()}


def _refserver_running():
    pid_file = REFSERVER_STATE / "server.pid"
    try:
        os.kill(int(pid_file.read_text().strip()), 0)
    except (OSError, ValueError):
        return False
    try:
        Backend().health()
    except Exception:
        return False
    return True


@pytest.fixture(scope="session")
def backend(wine_env):
    """The reference back end, running and trusted by the GUI prefix; a Backend client for its control API.

    `refserver/start` is idempotent and trusts the CA in the default test prefix; `refserver/trust-ca` then
    trusts it in the GUI prefix (it follows WINEPREFIX/WELVANE_WINEPREFIX of wine_env). A server that was
    already running is left running at the end.
    """
    LOGS.mkdir(parents=True, exist_ok=True)
    was_running = _refserver_running()
    with open(LOGS / "refserver-start.log", "wb") as log:
        subprocess.run([str(ROOT / "refserver" / "start")], stdout=log, stderr=subprocess.STDOUT, check=True,
                       timeout=300)
        subprocess.run([str(ROOT / "refserver" / "trust-ca")], env=wine_env, stdout=log,
                       stderr=subprocess.STDOUT, check=True, timeout=300)
    client = Backend(machine=machine_guid(wine_env["WINEPREFIX"]))
    assert client.machine, "no MachineGuid in the GUI prefix's registry"
    try:
        yield client
    finally:
        if not was_running:
            subprocess.run([str(ROOT / "refserver" / "stop")], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False, timeout=60)


@pytest.fixture(scope="session")
def driver(wine_env):
    LOGS.mkdir(parents=True, exist_ok=True)
    ui = Driver(wine_env, LOGS / "uidriver.stderr")
    try:
        yield ui
    finally:
        ui.shutdown()


def _artifact_name(node_name):
    return re.sub(r"[^A-Za-z0-9_.-]+", "_", node_name).strip("_")


@pytest.fixture
def screenshot(request, display):
    """screenshot("state") saves the whole screen as artifacts/gui/<test>-<state>.png and returns the path."""
    ARTIFACTS.mkdir(parents=True, exist_ok=True)

    def take(state):
        path = ARTIFACTS / f"{_artifact_name(request.node.name)}-{state}.png"
        subprocess.run(["import", "-display", display, "-window", "root", str(path)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        return path

    return take


@pytest.fixture
def wizard(request, driver, wine_env, backend):
    """Factory: wizard("dlm"|"isv"|"unknown", env={...}, wait_window=True) starts a wizard under Wine.

    With wait_window it returns once the main dialog is shown (Wizard.hwnd). Extra environment such as
    {"WINEDEBUG": "+debugstr"} puts OutputDebugString text into Wizard.stderr_text(). Every process started
    here is ended when the test ends.
    """
    started = []

    def start(flavour, env=None, wait_window=True, timeout_ms=20000, program=None):
        """program: a copy of the flavour's executable (same name) to start instead of the built one."""
        exe, caption = FLAVOURS[flavour]
        before = {p["pid"] for p in driver.processes(exe)}
        LOGS.mkdir(parents=True, exist_ok=True)
        stderr_path = LOGS / f"{_artifact_name(request.node.name)}-{flavour}-{len(started)}.stderr"
        with open(stderr_path, "wb") as stderr:
            popen = subprocess.Popen(["wine", str(program or BIN / exe)], env={**wine_env, **(env or {})}, cwd=ROOT,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=stderr)
        wiz = Wizard(flavour=flavour, popen=popen, stderr_path=stderr_path, caption=caption)
        started.append(wiz)
        # The Windows pid: the process of that executable that was not there before.
        deadline = time.monotonic() + timeout_ms / 1000
        while wiz.pid is None and time.monotonic() < deadline:
            new = [p["pid"] for p in driver.processes(exe) if p["pid"] not in before]
            if new:
                wiz.pid = new[0]
            elif popen.poll() is not None:
                break
            else:
                time.sleep(0.05)
        if wait_window:
            assert wiz.pid is not None, f"{exe} did not start"
            wiz.hwnd = driver.wait_window(DIALOG_CLASS, caption, timeout_ms, wiz.pid)
        return wiz

    yield start

    for wiz in started:
        if wiz.popen.poll() is None:
            if wiz.pid is not None:
                driver.terminate(wiz.pid)
            try:
                wiz.popen.wait(timeout=10)
            except subprocess.TimeoutExpired:
                wiz.popen.kill()
                wiz.popen.wait()
