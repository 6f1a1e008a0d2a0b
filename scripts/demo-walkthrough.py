#!/usr/bin/env python3
"""Walks the wizard as a user would, under Xvfb, saving a screenshot of each step.

Used by scripts/demo when there is no display. Expects the environment of scripts/wine-env with DISPLAY set,
a warm wineserver, and the reference back end running. Usage: demo-walkthrough.py FLAVOUR OUTPUT_DIR
"""

import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "gui"))
from welvane_ui import BIN, DIALOG_CLASS, FLAVOURS, IDOK, Driver, page_holding, wait_until  # noqa: E402

IDC_LANGUAGE_COMBO, IDC_NEXT_BUTTON, IDC_SPLASH_TEXT, IDC_PROGRESS = 1000, 1010, 1012, 1043


def main():
    flavour, out = sys.argv[1], Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    exe, caption = FLAVOURS[flavour]

    def shot(step, note):
        path = out / f"{flavour}-{step}.png"
        subprocess.run(["import", "-window", "root", str(path)], check=False)
        print(f"  {note}: {path}")

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
        time.sleep(1)
        shot("3-loading", "loading page" if loading else "after Next")

        driver.close(main_window)
        box = driver.message_box(timeout_ms=10000)
        if box:
            print(f"Closing asks: {box['text']!r}")
            shot("4-close-question", "close question")
            driver.answer_box(box, IDOK)
        wizard.wait(timeout=60)
        print("The wizard has ended.")
    finally:
        if wizard.poll() is None:
            wizard.kill()
        driver.shutdown()


if __name__ == "__main__":
    main()
