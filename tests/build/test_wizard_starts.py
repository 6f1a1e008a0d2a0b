"""The built wizards start under Wine and show their first page: the 32-bit build as shipped wherever this
machine runs 32-bit code (whichever build the other suites test), and the 64-bit build where it was made.

Each architecture runs through its own Wine (scripts/wine-env with that WELVANE_ARCH) in its own prefix, on
an Xvfb display of its own; the UI driver of the same build reads the first page.
"""
import os
import subprocess
import sys
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "gui"))

from welvane_ui import DIALOG_CLASS, FLAVOURS, Driver, page_holding, start_xvfb  # noqa: E402

LANGUAGE_COMBO, NEXT_BUTTON = 1000, 1010
_build64 = os.environ.get("WELVANE_BUILD") if os.environ.get("WELVANE_ARCH") == "x86_64" else None
BUILDS = {"i686": ROOT / "build", "x86_64": Path(_build64 or ROOT / "build-x86_64")}
LOGS = ROOT / "artifacts" / "build"


def _in_wine_env(arch, command, env):
    """Runs a command in the environment scripts/wine-env gives that architecture."""
    script = f'. "{ROOT}/scripts/wine-env" && exec "$@"'
    return subprocess.run(["bash", "-c", script, "wine-env", *command], env=env, capture_output=True,
                          text=True, timeout=600)


def _no_32bit_wine():
    """Why 32-bit Windows programs cannot run here, or None when they can."""
    script = f'. "{ROOT}/scripts/wine32-env"; welvane_wine32_command >/dev/null && exit 0; welvane_no_32bit_reason; exit 1'
    result = subprocess.run(["bash", "-c", script], capture_output=True, text=True)
    return None if result.returncode == 0 else result.stdout.strip()


@pytest.fixture(scope="module")
def display():
    xvfb, name = start_xvfb()
    try:
        yield name
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=10)


@pytest.mark.parametrize("arch", ["i686", "x86_64"])
@pytest.mark.parametrize("flavour", ["dlm", "isv"])
def test_wizard_starts_on_its_language_page(display, arch, flavour):
    build = BUILDS[arch]
    if not (build / "bin" / "uidriver.exe").exists():
        pytest.skip(f"the {arch} build is not here ({build}): only the build this machine runs is made")
    if arch == "i686" and (why := _no_32bit_wine()):
        pytest.skip(f"no 32-bit program runs here: {why}")
    env = {k: v for k, v in os.environ.items() if k not in ("WINEPREFIX", "WELVANE_WINEPREFIX", "WINELOADER")}
    env.update({"WELVANE_ARCH": arch, "WELVANE_BUILD": str(build), "DISPLAY": display,
                "LC_ALL": "en_US.UTF-8", "LANG": "en_US.UTF-8"})
    prefix = _in_wine_env(arch, [str(ROOT / "scripts" / "wine-prefix")], env)
    assert prefix.returncode == 0, prefix.stderr
    wine_env = dict(env)
    for line in _in_wine_env(arch, ["env"], env).stdout.splitlines():
        name, _, value = line.partition("=")
        if name in ("PATH", "WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "WINELOADER"):
            wine_env[name] = value

    LOGS.mkdir(parents=True, exist_ok=True)
    exe, caption = FLAVOURS[flavour]
    # The driver's answer to the wait below may take its whole minute.
    driver = Driver(wine_env, LOGS / f"uidriver-{arch}-{flavour}.stderr", reply_timeout=90, bin_dir=build / "bin")
    wizard = subprocess.Popen(["wine", str(build / "bin" / exe)], env=wine_env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        main = driver.wait_window(DIALOG_CLASS, caption, 60000)
        language_page = page_holding(driver, main, LANGUAGE_COMBO)
        assert language_page and language_page["visible"], "the language page is not shown"
        controls = driver.controls_by_id(language_page["hwnd"])
        assert driver.combo_items(controls[LANGUAGE_COMBO]["hwnd"])["items"] == ["English", "español"]
        assert driver.text(controls[NEXT_BUTTON]["hwnd"]) == "Next"
    finally:
        driver.shutdown()
        _in_wine_env(arch, ["wineserver", "-k"], env)
        try:
            wizard.wait(timeout=30)
        except subprocess.TimeoutExpired:
            wizard.kill()
        _in_wine_env(arch, ["wineserver", "-w"], env)
