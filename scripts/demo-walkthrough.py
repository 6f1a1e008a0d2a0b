#!/usr/bin/env python3
"""Walks the wizard as a user would, under Xvfb, saving a screenshot of each step.

Used by scripts/demo when there is no display. Expects the environment of scripts/wine-env with DISPLAY set,
a warm wineserver, and the reference back end running. Usage: demo-walkthrough.py FLAVOUR OUTPUT_DIR
"""

import os
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "gui"))
from backend import Backend  # noqa: E402
from welvane_ui import BIN, DIALOG_CLASS, FLAVOURS, IDOK, Driver, page_holding, wait_until  # noqa: E402

IDC_LANGUAGE_COMBO, IDC_NEXT_BUTTON, IDC_SPLASH_TEXT, IDC_PROGRESS = 1000, 1010, 1012, 1043
IDC_WELCOME_TITLE, IDC_WELCOME_TEXT = 1017, 1018
IDC_ACCEPT_BUTTON, IDC_DECLINE_BUTTON, IDC_TERMS_TEXT = 1021, 1022, 1042
IDC_CLOSE_BUTTON, IDC_ERROR_TITLE = 1035, 1036
IDC_PROGRESS_TITLE, IDC_FINISH_BUTTON, IDC_FINISH_TITLE = 1025, 1028, 1030
INSTALL_LOG = "C:\\welvane-demo-installs.log"
EVENT_NAMES = {"1": "started", "2": "rejected", "3": "installed", "4": "declined", "5": "left", "-1": "failed"}


def shown_page(driver, main_window, control_id):
    page = page_holding(driver, main_window, control_id)
    return page if page and driver.window_info(page["hwnd"])["visible"] else None


def print_events(backend, since):
    """Prints the events stored after id `since`; returns the last id printed."""
    last = since
    for event in backend.events(since):
        record = event.get("record") or {}
        reason = f" ({record['13']})" if record.get("13") else ""
        name = EVENT_NAMES.get(event["code"], "")
        print(f"    event {event['code']} {name}: {event['package'] or '(main product)'}{reason}")
        last = max(last, event["id"])
    return last


def install_log_path():
    prefix = Path(os.environ.get("WINEPREFIX", Path.home() / ".wine"))
    return prefix / "drive_c" / "welvane-demo-installs.log"


def print_installs():
    """Prints what the test installers recorded: each program started, with its folder and arguments."""
    log = install_log_path()
    lines = log.read_text(encoding="utf-8").splitlines() if log.exists() else []
    starts = [dict(f.split("=", 1) for f in line.split("\t")[1:] if "=" in f) for line in lines]
    starts = [s for s in starts if s.get("event") == "start"]
    if not starts:
        print("    (no installer was started)")
    for s in starts:
        cmd = s["cmd"]
        arguments = cmd[cmd.index('"', 1) + 2:] if cmd.startswith('"') and '"' in cmd[1:] else cmd
        print(f"    {s['exe']}  {arguments}")


def main():
    flavour, out = sys.argv[1], Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    exe, caption = FLAVOURS[flavour]

    def shot(step, note):
        path = out / f"{flavour}-{step}.png"
        subprocess.run(["import", "-window", "root", str(path)], check=False)
        print(f"  {note}: {path}")

    backend = Backend()
    since = backend.last_event_id()
    install_log_path().unlink(missing_ok=True)
    os.environ["WELVANE_INSTALL_LOG"] = INSTALL_LOG  # the test installers write here
    driver = Driver(env=None, log_path=out / "uidriver.log")
    wizard = subprocess.Popen(["wine", str(BIN / exe)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        main_window = driver.wait_window(DIALOG_CLASS, caption, timeout_ms=30000)
        time.sleep(1)
        page = page_holding(driver, main_window, IDC_LANGUAGE_COMBO)["hwnd"]
        controls = driver.controls_by_id(page)
        combo = controls[IDC_LANGUAGE_COMBO]["hwnd"]
        print(f"Language page: {driver.text(controls[IDC_SPLASH_TEXT]['hwnd'])!r}")
        shot("1-language", "language page")

        spanish = driver.combo_items(combo)["items"].index("español")
        driver.combo_select(combo, spanish)
        time.sleep(0.5)
        print(f"After choosing español: {driver.text(controls[IDC_SPLASH_TEXT]['hwnd'])!r}")
        shot("2-language-es", "language page in Spanish")
        driver.combo_select(combo, 0)
        time.sleep(0.3)

        driver.click(controls[IDC_NEXT_BUTTON]["hwnd"])
        loading = wait_until(lambda: (page_holding(driver, main_window, IDC_PROGRESS) or {}).get("visible"), 10)
        shot("3-loading", "loading page" if loading else "after Next")

        after = wait_until(lambda: shown_page(driver, main_window, IDC_WELCOME_TITLE)
                           or shown_page(driver, main_window, IDC_CLOSE_BUTTON), 60)
        time.sleep(0.5)
        since = print_events(backend, since)
        if after and page_holding(driver, main_window, IDC_WELCOME_TITLE) == after:
            welcome = driver.controls_by_id(after["hwnd"])
            print(f"Welcome page: {driver.text(welcome[IDC_WELCOME_TITLE]['hwnd'])!r} "
                  f"(caption {driver.text(main_window)!r})")
            shot("4-welcome", "welcome page")
            driver.click_id(after["hwnd"], IDC_NEXT_BUTTON)
            # Accept the first offer, decline the second, and so on.
            answered, answered_pages = 0, set()

            def next_offer_page():
                controls = driver.children(main_window)
                pages = {c["parent"] for c in controls if c["id"] == IDC_DECLINE_BUTTON}
                shown = [c for c in controls if c["hwnd"] in pages and c["hwnd"] not in answered_pages
                         and driver.window_info(c["hwnd"])["visible"]]
                return shown[0] if shown else None

            # The page after the last offer page comes later; until then the last one stays shown.
            while offer := wait_until(next_offer_page, 5):
                answered_pages.add(offer["hwnd"])
                terms = driver.controls_by_id(offer["hwnd"])[IDC_TERMS_TEXT]["hwnd"]
                accept = answered % 2 == 0
                print(f"Offer page {answered + 1}: {driver.text(terms)!r} -> {'Accept' if accept else 'Decline'}")
                shot(f"5-offer-{answered + 1}", f"offer page {answered + 1}")
                driver.click_id(offer["hwnd"], IDC_ACCEPT_BUTTON if accept else IDC_DECLINE_BUTTON)
                answered += 1
                time.sleep(1)
                since = print_events(backend, since)
            if answered == 0:
                print("No offer was eligible.")
            # The download manager downloads the product and the accepted offers, starts the offers'
            # installers and ends on the finish page.
            if wait_until(lambda: shown_page(driver, main_window, IDC_PROGRESS_TITLE), 10):
                print("Download page: downloading the product and the accepted offers")
                shot("6-download", "download page")
            finish = wait_until(lambda: shown_page(driver, main_window, IDC_FINISH_BUTTON), 120)
            if finish:
                title = driver.controls_by_id(finish["hwnd"])[IDC_FINISH_TITLE]["hwnd"]
                print(f"Finish page: {driver.text(title)!r}")
                shot("7-finish", "finish page")
                time.sleep(1)
                since = print_events(backend, since)
                driver.click_id(finish["hwnd"], IDC_FINISH_BUTTON)
                print("Finish: the downloaded product is launched.")
        elif after:
            error = driver.controls_by_id(after["hwnd"])
            print(f"Error page: {driver.text(error[IDC_ERROR_TITLE]['hwnd'])!r}")
            shot("4-error", "error page")
        else:
            print("Loading did not end within a minute.")

        box = None
        if driver.exists(main_window):
            driver.close(main_window)
            box = driver.message_box(timeout_ms=10000)
        if box:
            print(f"Closing asks: {box['text']!r}")
            shot("4-close-question", "close question")
            driver.answer_box(box, IDOK)
        wizard.wait(timeout=60)
        print("The wizard has ended.")
        time.sleep(2)
        print_events(backend, since)
        print("Installers started (as recorded by the test installers):")
        print_installs()
    finally:
        if wizard.poll() is None:
            wizard.kill()
        driver.shutdown()


if __name__ == "__main__":
    main()
