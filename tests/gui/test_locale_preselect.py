"""The language list preselects the user's language.

Wine takes the user's default locale (GetUserDefaultLocaleName) from the Unix locale of the wine
process: LC_ALL, else LANG. Each case runs the unit-test program's LocalePreselectChild test in a
fresh wine process under one Unix locale and tells it, through WELVANE_EXPECTED_LANGUAGE
(percent-encoded UTF-8), which language display name must be selected, and through
WELVANE_EXPECTED_USER_LOCALE which user locale Wine must report.

LANG alone (without LC_ALL) works only for Unix locales that exist (scripts/setup generates them);
those cases are skipped when the locale is missing.

Self-contained: needs the built welvane-unit-tests.exe of the build under test and runs it in the unit tests' Wine
prefix; the hidden combo box needs an X display ($WELVANE_DISPLAY, else an Xvfb of its own).
"""
import os
import subprocess
import urllib.parse
from pathlib import Path

import pytest

from welvane_ui import start_xvfb

ROOT = Path(__file__).resolve().parents[2]
UNIT_TESTS = Path(os.environ.get("WELVANE_BUILD") or ROOT / "build") / "bin" / "welvane-unit-tests.exe"
WINERUN = ROOT / "scripts" / "winerun"

# Unix locale, the user locale Wine must report, the language that must be preselected.
CASES = [
    ("en_US.UTF-8", "en-US", "English"),
    ("en_GB.UTF-8", "en-GB", "English"),
    ("es_ES.UTF-8", "es-ES", "español"),
    ("es_MX.UTF-8", "es-MX", "español"),
    ("fr_FR.UTF-8", "fr-FR", "English"),  # no French document: the first entry stays selected
]

pytestmark = pytest.mark.skipif(not UNIT_TESTS.exists(), reason="build first: scripts/build")


def installed_locales():
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True, check=False).stdout
    return {line.strip().lower().replace("utf-8", "utf8") for line in out.splitlines()}


@pytest.fixture(scope="module")
def x_display():
    if os.environ.get("WELVANE_DISPLAY"):
        yield os.environ["WELVANE_DISPLAY"]
        return
    server, name = start_xvfb()
    try:
        yield name
    finally:
        server.terminate()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


def end_prefix_processes(env):
    """Ends every process of the unit tests' prefix. A Wine desktop process left from an earlier run on
    another (since closed) display would make window creation fail in the next one."""
    subprocess.run(["bash", "-c", f'. "{ROOT}/scripts/wine-env" && wineserver -k; wineserver -w'],
                   env=env, check=False, timeout=60)


def run_child(display, locale_env, user_locale, language):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE")}
    env.update(locale_env)
    env["DISPLAY"] = display
    end_prefix_processes(env)
    env["WELVANE_EXPECTED_LANGUAGE"] = urllib.parse.quote(language)
    env["WELVANE_EXPECTED_USER_LOCALE"] = user_locale
    result = subprocess.run([str(WINERUN), str(UNIT_TESTS), "--gtest_filter=LocalePreselectChild.*"],
                            env=env, capture_output=True, text=True, errors="replace", timeout=180)
    output = result.stdout + result.stderr
    assert result.returncode == 0, output
    assert "[  PASSED  ] 1 test." in output, output
    assert "SKIPPED" not in output, output
    assert f"user locale: {user_locale}" in output, output


@pytest.mark.parametrize("unix_locale,user_locale,language", CASES)
def test_preselected_language_with_lc_all(x_display, unix_locale, user_locale, language):
    run_child(x_display, {"LC_ALL": unix_locale, "LANG": unix_locale}, user_locale, language)


@pytest.mark.parametrize("unix_locale,user_locale,language", CASES)
def test_preselected_language_with_lang_alone(x_display, unix_locale, user_locale, language):
    if unix_locale.lower().replace("utf-8", "utf8") not in installed_locales():
        pytest.skip(f"Unix locale {unix_locale} is not generated (scripts/setup generates it)")
    run_child(x_display, {"LANG": unix_locale}, user_locale, language)
