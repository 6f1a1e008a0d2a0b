"""Closing the wizard before the configuration has arrived, the system menu, and the main product's events.

Closing the window (WM_CLOSE, the system menu's Close, Esc) on the language page or the loading page asks
MSG_EXIT in a message box with an empty caption and OK/Cancel; Cancel keeps the wizard, OK ends it. Leaving
the language page creates the main product's package and sends its event 1; closing afterwards sends its
event 5 and the process ends only once that delivery has ended. The events are read back from the reference
back end's database.

Still to be tested when those pages exist: the system menu's Close item is removed on the download page
and added again on the finish page (and with the error page); no question on the finish page or after the
error page; PROGRESS_QUIT while installers run.
"""

import json
import re
import time

import pytest

from welvane_ui import IDCANCEL, IDM_ABOUTBOX, IDOK, SC_CLOSE, VK_ESCAPE, page_holding, wait_until

LANGUAGE_COMBO, NEXT_BUTTON = 1000, 1010
LOADING_FRAME, PROGRESS = 1015, 1043

MSG_EXIT = {"English": "Are you sure you want to exit the installer?", "español": "Seguro que desea salir?"}

FLAVOURS = pytest.mark.parametrize("flavour", ["dlm", "isv"])


# --- helpers -------------------------------------------------------------------------------------------------
@pytest.fixture
def configuration_held(backend):
    """Holds the back end's answer to the configuration request for the test, so that the loading page
    stays; the held answer is let go at the end (the wizard has gone by then)."""
    earlier = backend.faults().get("o")
    backend.set_faults({"o": "hold"})
    try:
        yield
    finally:
        backend.set_faults({"o": earlier})
        if backend._call("GET", "holds")["holds"].get("plain", {}).get("held"):
            backend._call("POST", "release", {"scenario": "plain"})


def page_shown(driver, wiz, marker_id):
    page = page_holding(driver, wiz.hwnd, marker_id)
    return page is not None and driver.window_info(page["hwnd"])["visible"]


def leave_language_page(driver, wiz):
    """Clicks Next on the language page and waits until the loading page is shown."""
    language = page_holding(driver, wiz.hwnd, LANGUAGE_COMBO)
    driver.click_id(language["hwnd"], NEXT_BUTTON)
    assert wait_until(lambda: page_shown(driver, wiz, LOADING_FRAME), timeout=15), "the loading page is not shown"
    assert not page_shown(driver, wiz, LANGUAGE_COMBO)


def ask_to_close(driver, wiz, how="close"):
    """Closes the main window `how` ("close": WM_CLOSE, "syscommand": the system menu's Close, "escape": the
    Esc key) and returns the message box that comes up (None if none does)."""
    if how == "close":
        driver.close(wiz.hwnd)
    elif how == "syscommand":
        driver.syscommand(wiz.hwnd, SC_CLOSE)
    elif how == "escape":
        driver.type_key(wiz.hwnd, VK_ESCAPE)
    else:
        raise ValueError(how)
    return driver.message_box(wiz.pid, timeout_ms=10000)


def assert_exit_question(box, language="English"):
    assert box is not None, "no question"
    assert box["caption"] == ""
    assert box["text"] == MSG_EXIT[language]
    assert sorted(b["id"] for b in box["buttons"]) == [IDOK, IDCANCEL]


def wait_process_end(driver, wiz, timeout=15.0):
    """True once the wizard's process has ended (checked in slices: the driver answers within 30 s)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        left_ms = int(min(5.0, max(deadline - time.monotonic(), 0.1)) * 1000)
        reply = driver.call("wait-exit", wiz.pid, left_ms, check=False)
        if reply.get("exited") or (not reply.get("ok") and not wiz.running()):
            wiz.popen.wait(timeout=10)
            return True
        if not reply.get("ok"):
            time.sleep(0.1)
    return False


def answer_ok_and_wait_end(driver, wiz, box, timeout=15.0):
    driver.answer_box(box, IDOK)
    assert wait_process_end(driver, wiz, timeout), "the wizard did not end after OK"


def keeps_running_after_cancel(driver, wiz, box, page_marker):
    driver.answer_box(box, IDCANCEL)
    assert driver.message_box(wiz.pid, timeout_ms=300) is None
    assert wiz.running() and driver.pid_alive(wiz.pid)
    assert driver.window_info(wiz.hwnd)["visible"]
    assert page_shown(driver, wiz, page_marker), "the page changed after Cancel"


# --- the close question --------------------------------------------------------------------------------------
class TestCloseQuestion:
    @FLAVOURS
    def test_language_page_asks_and_cancel_keeps_the_wizard(self, driver, wizard, screenshot, flavour):
        wiz = wizard(flavour)
        box = ask_to_close(driver, wiz, "close")
        assert_exit_question(box)
        screenshot("question")
        keeps_running_after_cancel(driver, wiz, box, LANGUAGE_COMBO)
        screenshot("after-cancel")

        box = ask_to_close(driver, wiz, "syscommand")
        assert_exit_question(box)
        keeps_running_after_cancel(driver, wiz, box, LANGUAGE_COMBO)

        box = ask_to_close(driver, wiz, "escape")
        assert_exit_question(box)
        answer_ok_and_wait_end(driver, wiz, box)
        assert driver.find_window("*", wiz.caption, wiz.pid) is None
        screenshot("ended")

    def test_loading_page_asks(self, driver, wizard, screenshot, configuration_held):
        wiz = wizard("dlm")
        leave_language_page(driver, wiz)
        box = ask_to_close(driver, wiz, "close")
        assert_exit_question(box)
        screenshot("question")
        keeps_running_after_cancel(driver, wiz, box, LOADING_FRAME)
        assert page_holding(driver, wiz.hwnd, LOADING_FRAME) is not None
        assert driver.controls_by_id(page_holding(driver, wiz.hwnd, LOADING_FRAME)["hwnd"])[PROGRESS]["visible"]

        box = ask_to_close(driver, wiz, "syscommand")
        assert_exit_question(box)
        answer_ok_and_wait_end(driver, wiz, box)

    def test_question_in_spanish(self, driver, wizard, screenshot):
        wiz = wizard("dlm")
        language = page_holding(driver, wiz.hwnd, LANGUAGE_COMBO)
        combo = driver.controls_by_id(language["hwnd"])[LANGUAGE_COMBO]["hwnd"]
        driver.combo_select(combo, 1)
        assert wait_until(lambda: driver.controls_by_id(language["hwnd"])[NEXT_BUTTON]["text"] == "SIGUIENTE")
        box = ask_to_close(driver, wiz, "close")
        assert_exit_question(box, "español")
        screenshot("question")
        answer_ok_and_wait_end(driver, wiz, box)


# --- system menu ---------------------------------------------------------------------------------------------
class TestSystemMenu:
    @staticmethod
    def check_menu(items):
        close = [item for item in items if item["id"] == SC_CLOSE]
        assert len(close) == 1, items
        assert not close[0]["state"] & 0x3, "Close is neither disabled nor greyed"
        about = [item for item in items if item["id"] == IDM_ABOUTBOX]
        assert len(about) == 1 and about[0]["text"] == "&About Welvane...", items

    def test_language_and_loading_pages_offer_close_and_about(self, driver, wizard, screenshot, configuration_held):
        wiz = wizard("dlm")
        self.check_menu(driver.system_menu(wiz.hwnd))
        leave_language_page(driver, wiz)
        self.check_menu(driver.system_menu(wiz.hwnd))
        screenshot("loading")
        # Ended here, not by the fixture: its events are all in before the next test counts events.
        answer_ok_and_wait_end(driver, wiz, ask_to_close(driver, wiz, "syscommand"))


# --- events of the main product ------------------------------------------------------------------------------
BASE_KEYS = {str(i) for i in range(23)} | {"31", "38"}
ALWAYS_EMPTY = ("0", "8", "9", "11", "12", "13", "14", "16", "17", "18", "20")
PRODUCT_TITLE_BEFORE_CONFIGURATION = {"dlm": "", "isv": "Welvane Tester"}


def wait_events(backend, since, code, count=1, timeout=20.0):
    """Our events of `code` after id `since`, once there are `count` of them (or whatever is there after
    timeout)."""
    found = []

    def probe():
        found[:] = backend.events(since, code=code)
        return len(found) >= count

    wait_until(probe, timeout=timeout, interval=0.2)
    return found


def check_main_product_record(record, flavour, machine, code):
    assert set(record) == BASE_KEYS, sorted(record)
    assert record["6"] == str(code)
    assert record["10"] == 1 and type(record["10"]) is int, "field 10 is the JSON number 1"
    assert record["15"] == 0 and type(record["15"]) is int, "field 15 is the JSON number 0"
    assert record["1"] == machine and len(record["1"]) == 36
    assert re.fullmatch(r"\d{14}", record["2"]), record["2"]
    assert record["3"] == "Orvane"
    assert record["4"] == "Orvane_DLM"
    assert record["7"] == "3.0.9.1"
    # Made before the configuration has arrived: flow and channel are empty, the title is the built-in one.
    title = PRODUCT_TITLE_BEFORE_CONFIGURATION[flavour]
    assert (record["22"], record["5"], record["19"], record["21"]) == (title, title, "", "")
    assert re.fullmatch(r"\d+\.\d+\.\d+", record["31"]), record["31"]
    assert record["38"] == "1", "the 32-bit wizard runs under WOW64 in the 64-bit prefix"
    for key in ALWAYS_EMPTY:
        assert record[key] == "", key


def check_delivery(event):
    assert event["signature_ok"] is True
    assert event["status"] == 200
    assert event["path"] == "/zbd"
    assert event["package"] == event["record"]["5"]
    assert event["code"] == event["record"]["6"]
    # The envelope: "data" (the record as compact JSON text, keys in byte order), then "table".
    envelope = json.loads(event["envelope"], object_pairs_hook=list)
    assert [key for key, _ in envelope] == ["data", "table"]
    assert dict(envelope)["table"] == "zb_analytics"
    data = dict(envelope)["data"]
    assert data == event["data"]
    keys = [key for key, _ in json.loads(data, object_pairs_hook=list)]
    assert keys == sorted(keys)
    assert data == json.dumps(json.loads(data), separators=(",", ":"), ensure_ascii=False, sort_keys=True)


class TestMainProductEvents:
    @FLAVOURS
    def test_leaving_language_page_sends_event_1_and_closing_event_5(self, driver, wizard, backend, screenshot,
                                                                     flavour, configuration_held):
        since = backend.last_event_id()
        wiz = wizard(flavour)
        leave_language_page(driver, wiz)
        first = wait_events(backend, since, 1)
        assert len(first) == 1, first
        event1 = first[0]
        check_main_product_record(event1["record"], flavour, backend.machine, 1)
        check_delivery(event1)
        screenshot("loading")

        box = ask_to_close(driver, wiz, "close")
        assert_exit_question(box)
        answer_ok_and_wait_end(driver, wiz, box)
        # The process ends only after event 5 was delivered: it is stored by now.
        events = backend.events(since)
        assert [e["code"] for e in events] == ["1", "5"], [(e["id"], e["code"], e["status"]) for e in events]
        event5 = events[1]
        check_main_product_record(event5["record"], flavour, backend.machine, 5)
        check_delivery(event5)
        assert event5["id"] > event1["id"]
        assert {k: v for k, v in event5["record"].items() if k != "6"} == \
            {k: v for k, v in event1["record"].items() if k != "6"}, "same session and package fields"

    def test_closing_on_language_page_sends_nothing(self, driver, wizard, backend):
        since = backend.last_event_id()
        wiz = wizard("dlm")
        box = ask_to_close(driver, wiz, "close")
        assert_exit_question(box)
        answer_ok_and_wait_end(driver, wiz, box)
        assert backend.events(since) == []

    def test_closing_ends_although_back_end_answers_500(self, driver, wizard, backend, screenshot,
                                                        configuration_held):
        since = backend.last_event_id()
        wiz = wizard("dlm")
        leave_language_page(driver, wiz)
        first = wait_events(backend, since, 1)
        assert len(first) == 1 and first[0]["status"] == 200, first

        earlier = backend.faults().get("zbd")
        backend.set_faults({"zbd": "status=500"})
        try:
            box = ask_to_close(driver, wiz, "close")
            assert_exit_question(box)
            driver.answer_box(box, IDOK)
            screenshot("closing")
            # Two attempts, each followed by a 5-second pause: a generous limit, not a measurement.
            assert wait_process_end(driver, wiz, timeout=40), "the wizard did not end"
        finally:
            backend.set_faults({"zbd": earlier})
        assert not wiz.running()
        finals = backend.events(first[0]["id"], code=5)
        assert [e["status"] for e in finals] == [500, 500], "two attempts, both answered 500"
        for event in finals:
            check_main_product_record(event["record"], "dlm", backend.machine, 5)
            assert event["signature_ok"] is True
