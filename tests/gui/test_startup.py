"""Starting the wizard: captions, the main dialog's controls, the About box, single instance, unknown wizard
type, minimise/restore and closing."""

import subprocess
from pathlib import Path

import pytest

from welvane_ui import (DIALOG_CLASS, IDM_ABOUTBOX, IDOK, SC_MINIMIZE, SC_RESTORE, VK_RETURN, close_wizard,
                        wait_until)

TOP_LINE, HEADER_LINE, PRODUCT_LOGO, PRODUCT_TITLE, PAGE_AREA = 1004, 1006, 1007, 1008, 1014
ABOUT_VERSION_LABEL = 1045
ABOUT_CAPTION = "About Welvane"


def _crop(rect):
    width, height = rect["right"] - rect["left"], rect["bottom"] - rect["top"]
    return f"{width}x{height}+{max(rect['left'], 0)}+{max(rect['top'], 0)}"


def distinct_colours(png, rect):
    """How many colours the screenshot has inside a window's rectangle."""
    out = subprocess.run(["convert", str(png), "-crop", _crop(rect), "+repage", "-format", "%k", "info:"],
                         check=True, capture_output=True, text=True).stdout
    return int(out.strip())


def differing_share(png_a, png_b, rect):
    """The share of pixels inside rect that differ noticeably between two screenshots."""
    crop = _crop(rect)
    result = subprocess.run(["compare", "-metric", "AE", "-fuzz", "10%",
                             "(", str(png_a), "-crop", crop, "+repage", ")",
                             "(", str(png_b), "-crop", crop, "+repage", ")", "null:"],
                            capture_output=True, text=True)
    width, height = rect["right"] - rect["left"], rect["bottom"] - rect["top"]
    return float(result.stderr.split()[0]) / (width * height)


class TestMainDialog:
    @pytest.mark.parametrize("flavour, caption", [("dlm", "Setup"), ("isv", "Welvane Tester ")], ids=["dlm", "isv"])
    def test_caption(self, driver, wizard, screenshot, flavour, caption):
        wiz = wizard(flavour)
        assert driver.text(wiz.hwnd) == caption
        assert driver.window_info(wiz.hwnd)["class"] == DIALOG_CLASS
        screenshot("main")

    def test_dlm_controls(self, driver, wizard):
        wiz = wizard("dlm")
        controls = driver.controls_by_id(wiz.hwnd)
        for control_id in (TOP_LINE, HEADER_LINE, PRODUCT_LOGO, PRODUCT_TITLE, PAGE_AREA):
            assert control_id in controls, f"control {control_id} is missing"
        assert not controls[PRODUCT_TITLE]["visible"]
        for control_id in (TOP_LINE, HEADER_LINE, PRODUCT_LOGO, PAGE_AREA):
            assert controls[control_id]["visible"], f"control {control_id} is hidden"

    def test_isv_hides_logo_and_header_line(self, driver, wizard):
        wiz = wizard("isv")
        controls = driver.controls_by_id(wiz.hwnd)
        for control_id in (TOP_LINE, HEADER_LINE, PRODUCT_LOGO, PRODUCT_TITLE, PAGE_AREA):
            assert control_id in controls, f"control {control_id} is missing"
        for control_id in (PRODUCT_TITLE, PRODUCT_LOGO, HEADER_LINE):
            assert not controls[control_id]["visible"], f"control {control_id} is shown"
        for control_id in (TOP_LINE, PAGE_AREA):
            assert controls[control_id]["visible"], f"control {control_id} is hidden"


class TestAboutBox:
    def test_system_menu_ends_with_about_entry(self, driver, wizard):
        wiz = wizard("dlm")
        items = driver.system_menu(wiz.hwnd)
        about = [i for i, item in enumerate(items) if item["id"] == IDM_ABOUTBOX]
        assert len(about) == 1, items
        index = about[0]
        assert items[index]["text"] == "&About Welvane..."
        assert index > 0 and items[index - 1]["separator"], "the About entry follows a separator"

    def open_about(self, driver, wiz):
        driver.syscommand(wiz.hwnd, IDM_ABOUTBOX)
        return driver.wait_window(DIALOG_CLASS, ABOUT_CAPTION, 10000, wiz.pid)

    def test_about_box_shows_version_and_ok_closes_it(self, driver, wizard, screenshot):
        wiz = wizard("dlm")
        about = self.open_about(driver, wiz)
        controls = driver.controls_by_id(about)
        assert controls[ABOUT_VERSION_LABEL]["text"] == "Welvane, Version 3.0.9.1"
        assert driver.message_box(wiz.pid, timeout_ms=200) is None, "the About box is no message box"
        screenshot("about")
        driver.click_id(about, IDOK)
        driver.wait_gone(about)
        assert driver.find_window(DIALOG_CLASS, ABOUT_CAPTION, wiz.pid) is None
        assert wiz.running()
        assert driver.window_info(wiz.hwnd)["visible"]
        screenshot("after-about")

    def test_enter_closes_about_box(self, driver, wizard):
        wiz = wizard("isv")
        about = self.open_about(driver, wiz)
        driver.key(about, VK_RETURN)
        driver.wait_gone(about)
        assert wiz.running()
        assert driver.text(wiz.hwnd) == "Welvane Tester "


def run_folders(wine_env):
    """The temporary folders wizards made in the prefix's user temp folder ("ISVxxxx.tmp")."""
    return set(Path(wine_env["WINEPREFIX"]).glob("drive_c/users/*/AppData/Local/Temp/ISV*.tmp"))


class TestSingleInstance:
    def test_second_dlm_is_refused(self, driver, wizard, screenshot, wine_env):
        first = wizard("dlm")
        folders_before = run_folders(wine_env)
        second = wizard("dlm", wait_window=False)
        assert second.pid is not None and second.pid != first.pid
        box = driver.message_box(second.pid, timeout_ms=15000)
        assert box is not None, "no message box from the second copy"
        assert box["caption"] == "Error"
        assert box["text"] == "Another setup is already running, please close it and try again"
        # While the box is up the second copy shows nothing else.
        assert [w["hwnd"] for w in driver.windows_of(second.pid)] == [box["hwnd"]]
        screenshot("refused")
        driver.answer_box(box, IDOK)
        assert driver.wait_exit(second.pid, 15000) is not None, "the second copy did not end"
        second.wait()
        # The refused copy leaves no temporary folder of its own behind.
        assert run_folders(wine_env) == folders_before
        assert driver.find_windows(DIALOG_CLASS, "Setup") == [
            {"hwnd": first.hwnd, "class": DIALOG_CLASS, "title": "Setup", "pid": first.pid, "visible": True}]
        assert first.running()
        assert driver.window_info(first.hwnd)["visible"]

    def test_dlm_and_isv_run_side_by_side(self, driver, wizard, screenshot):
        dlm = wizard("dlm")
        isv = wizard("isv")
        assert driver.find_window(DIALOG_CLASS, "Setup", dlm.pid) == dlm.hwnd
        assert driver.find_window(DIALOG_CLASS, "Welvane Tester ", isv.pid) == isv.hwnd
        assert driver.message_box(timeout_ms=500) is None
        screenshot("both")


def test_unknown_wizard_type_ends_after_two_messages(driver, wizard):
    wiz = wizard("unknown", wait_window=False)
    assert wiz.pid is not None, "welvane-unknown.exe did not start"

    first = driver.message_box(wiz.pid, timeout_ms=15000)
    assert first is not None
    assert (first["caption"], first["text"]) == ("Welvane", "Unknown wizard type")
    driver.answer_box(first, IDOK)

    second = driver.message_box(wiz.pid, timeout_ms=15000)
    assert second is not None
    assert second["text"] == "Invalid wizard type"
    assert [w["hwnd"] for w in driver.windows_of(wiz.pid)] == [second["hwnd"]], "only the box is shown"
    driver.answer_box(second, IDOK)

    assert driver.wait_exit(wiz.pid, 15000) is not None, "the process did not end"
    wiz.wait()
    assert driver.windows_of(wiz.pid) == []


def test_minimise_and_restore(driver, wizard, screenshot):
    wiz = wizard("dlm")
    shown = screenshot("shown")
    rect = driver.window_info(wiz.hwnd)["rect"]
    assert distinct_colours(shown, rect) > 1

    driver.syscommand(wiz.hwnd, SC_MINIMIZE)
    assert wait_until(lambda: driver.window_info(wiz.hwnd)["iconic"]), "the window did not minimise"
    screenshot("minimised")

    driver.syscommand(wiz.hwnd, SC_RESTORE)
    assert wait_until(lambda: not driver.window_info(wiz.hwnd)["iconic"]), "the window did not restore"
    info = driver.window_info(wiz.hwnd)
    assert info["visible"] and wiz.running()
    assert info["rect"] == rect
    restored = screenshot("restored")
    # Painted again: the dialog's area shows what it showed before minimising.
    assert distinct_colours(restored, rect) > 1
    assert differing_share(shown, restored, rect) < 0.02


@pytest.mark.parametrize("flavour", ["dlm", "isv"])
def test_closing_main_window_ends_process(driver, wizard, flavour):
    wiz = wizard(flavour)
    close_wizard(driver, wiz)
    assert not wiz.running()
    assert driver.find_window(DIALOG_CLASS, wiz.caption, wiz.pid) is None
