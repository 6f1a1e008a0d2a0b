"""Offer pages: what Accept and Decline send (a double click included), closing on an offer page, and the
welcome and offer pages in Spanish.

Each test serves a configuration with three offers of its own, walks the wizard as a user would (the
language page's Next, the welcome page's Next) and answers the offer pages. Events are read back from the
reference back end once the wizard has ended: closing waits for every pending delivery of the offers shown
and of the main product, so by then the stored events are complete.
"""

import subprocess
import time
import uuid

import pytest

from install_run import serving
from welvane_ui import DIALOG_CLASS, IDCANCEL, IDOK, page_holding, wait_until

LANGUAGE_COMBO, NEXT_BUTTON = 1000, 1010
WELCOME_TITLE = 1017
ACCEPT_BUTTON, DECLINE_BUTTON = 1021, 1022
TERMS_TEXT = 1042

PRODUCT = "WelvaneOfferTest"
MSG_EXIT = {"English": "Are you sure you want to exit the installer?", "español": "Seguro que desea salir?"}
TEXTS = {"English": ("Accept", "Decline"), "español": ("ACEPTAR", "IGNORAR")}


# --- helpers -------------------------------------------------------------------------------------------------
def three_offers(tag):
    """Three offers of different verticals, all eligible; their ad ids are also their display names."""
    ids = [f"offer-{tag}-{n}" for n in (1, 2, 3)]
    offers = []
    for vertical, ad_id in enumerate(ids, start=1):
        offers.append({"ad": {"o": ad_id, "f": "flow-" + ad_id},
                       "ps": {"i": "offer-alpha.png", "dn": ad_id, "u": "https://127.0.0.1/f/fakeinstaller.exe",
                              "cp": "https://www.example.com/privacy", "ctu": "https://www.example.com/terms",
                              "v": vertical}})
    config = {"l": "US",
              "i": {"ct": PRODUCT, "cu": "https://127.0.0.1/f/welvane-demo-player-setup.exe",
                    "cf": PRODUCT + ".exe", "ch": "web", "cfl": "offer-main",
                    "cl": "https://127.0.0.1/f/welvane-demo-logo.png"},
              "f": {"a": "pub-offer", "m": 3},
              "o": offers}
    return ids, config


def visible(driver, page):
    return page is not None and driver.window_info(page["hwnd"])["visible"]


def offer_pages(driver, wiz):
    """Every offer page (shown or hidden), in creation order."""
    controls = driver.children(wiz.hwnd)
    parents = {c["parent"] for c in controls if c["id"] == DECLINE_BUTTON}
    return [c for c in controls if c["hwnd"] in parents and c["class"] == DIALOG_CLASS and c["parent"] == wiz.hwnd]


def shown_offer_page(driver, wiz, not_in=()):
    """The offer page that is shown now, when it is not one of `not_in` (hwnds); waits for it."""
    def probe():
        shown = [p for p in offer_pages(driver, wiz) if p["hwnd"] not in not_in and visible(driver, p)]
        return shown[0] if shown else None

    page = wait_until(probe, timeout=20, interval=0.2)
    assert page, "no new offer page is shown"
    return page


def reach_welcome(driver, wizard, backend, config, flavour="dlm", spanish=False):
    """Starts the wizard (choosing español first when asked) and loads `config`. Returns (wizard, welcome
    page)."""
    with serving(backend, config):
        wiz = wizard(flavour)
        language = page_holding(driver, wiz.hwnd, LANGUAGE_COMBO)
        if spanish:
            combo = driver.controls_by_id(language["hwnd"])[LANGUAGE_COMBO]["hwnd"]
            items = driver.combo_items(combo)["items"]
            driver.combo_select(combo, items.index("español"))
            assert wait_until(lambda: driver.controls_by_id(language["hwnd"])[NEXT_BUTTON]["text"] == "SIGUIENTE")
        driver.click_id(language["hwnd"], NEXT_BUTTON)
        assert wait_until(lambda: visible(driver, page_holding(driver, wiz.hwnd, WELCOME_TITLE)), timeout=30,
                          interval=0.2), "the welcome page did not come"
    assert len(offer_pages(driver, wiz)) == 3
    return wiz, page_holding(driver, wiz.hwnd, WELCOME_TITLE)


def reach_first_offer(driver, wizard, backend, config, flavour="dlm", spanish=False):
    """reach_welcome, then the welcome page's Next. Returns (wizard, first offer page)."""
    wiz, welcome = reach_welcome(driver, wizard, backend, config, flavour, spanish)
    driver.click_id(welcome["hwnd"], NEXT_BUTTON)
    return wiz, shown_offer_page(driver, wiz)


def close_with_yes(driver, wiz, question=MSG_EXIT["English"], timeout=40.0):
    """Closes the main window, expects the exit question `question` (None: answers OK if a question comes),
    answers OK and waits until the process has ended."""
    driver.close(wiz.hwnd)
    box = driver.message_box(wiz.pid, timeout_ms=10000 if question else 2000)
    if question is not None:
        assert box is not None, "no question on closing"
        assert (box["caption"], box["text"]) == ("", question)
        assert sorted(b["id"] for b in box["buttons"]) == [IDOK, IDCANCEL]
    if box is not None:
        driver.answer_box(box, IDOK)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        reply = driver.call("wait-exit", wiz.pid, 5000, check=False)
        if reply.get("exited") or (not reply.get("ok") and not wiz.running()):
            break
    assert not driver.pid_alive(wiz.pid), "the wizard did not end"
    wiz.popen.wait(timeout=10)
    text = wiz.stderr_text()
    assert "Unhandled exception" not in text and "Backtrace" not in text, text[-3000:]


def codes_by_package(backend, since):
    return [(e["package"], e["code"]) for e in backend.events(since)]


# --- Accept and Decline --------------------------------------------------------------------------------------
class TestOfferAnswers:
    def test_decline_sends_one_event_4_and_accept_none(self, driver, wizard, backend, screenshot):
        ids, config = three_offers(uuid.uuid4().hex[:8])
        since = backend.last_event_id()
        wiz, first = reach_first_offer(driver, wizard, backend, config)
        screenshot("first-offer")
        driver.click_id(first["hwnd"], ACCEPT_BUTTON)
        second = shown_offer_page(driver, wiz, not_in={first["hwnd"]})
        driver.click_id(second["hwnd"], DECLINE_BUTTON)
        assert wait_until(lambda: backend.events(since, code=4), timeout=20, interval=0.2), "no event 4"
        third = shown_offer_page(driver, wiz, not_in={first["hwnd"], second["hwnd"]})
        assert third["hwnd"] not in (first["hwnd"], second["hwnd"])
        # Closing waits for every delivery of the offers shown: after it, all their events are stored. Whether
        # the last offer page asks depends on the pages that follow it, so the question is not checked here.
        close_with_yes(driver, wiz, question=None)
        declines = backend.events(since, code=4)
        assert [e["package"] for e in declines] == [ids[1]], codes_by_package(backend, since)
        assert declines[0]["status"] == 200
        assert all(e["code"] != "4" for e in backend.events(since) if e["package"] == ids[0])

    def test_double_click_on_accept_answers_only_its_page(self, driver, wizard, backend, screenshot):
        # The first click accepts the first offer and shows the second offer page, whose Accept lies under
        # the cursor; the second click of the double click lands there and must not answer it. A real click
        # on Decline, once the double-click time has passed, answers whichever page they left shown: the
        # second one, still open. (A press on the new page within that time is refused wherever it lands.)
        ids, config = three_offers(uuid.uuid4().hex[:8])
        since = backend.last_event_id()
        wiz, first = reach_first_offer(driver, wizard, backend, config)
        driver.double_click(driver.controls_by_id(first["hwnd"])[ACCEPT_BUTTON]["hwnd"])
        second = shown_offer_page(driver, wiz, not_in={first["hwnd"]})
        time.sleep(1.0)  # more than the double-click time (500 ms): what follows is a click of its own
        driver.mouse_click(driver.controls_by_id(second["hwnd"])[DECLINE_BUTTON]["hwnd"])
        declined = wait_until(lambda: backend.events(since, code=4), timeout=20, interval=0.2)
        assert [e["package"] for e in declined] == [ids[1]], "the double click answered the second offer page"
        shown_offer_page(driver, wiz, not_in={first["hwnd"], second["hwnd"]})
        screenshot("third-offer")
        close_with_yes(driver, wiz, question=None)
        assert [e["package"] for e in backend.events(since, code=4)] == [ids[1]], codes_by_package(backend, since)
        # Every offer shown gets event 5 on closing, but the declined one, whose event 4 was final.
        finals = [e["package"] for e in backend.events(since) if e["code"] == "5"]
        assert sorted(finals) == sorted([ids[0], ids[2], PRODUCT]), codes_by_package(backend, since)


# --- closing on an offer page --------------------------------------------------------------------------------
class TestClosingOnOfferPage:
    def test_close_on_second_offer_sends_event_5_to_open_offers_then_main(self, driver, wizard, backend,
                                                                         screenshot):
        ids, config = three_offers(uuid.uuid4().hex[:8])
        since = backend.last_event_id()
        wiz, first = reach_first_offer(driver, wizard, backend, config)
        driver.click_id(first["hwnd"], DECLINE_BUTTON)
        assert wait_until(lambda: backend.events(since, code=4), timeout=20, interval=0.2), "no event 4"
        shown_offer_page(driver, wiz, not_in={first["hwnd"]})
        screenshot("second-offer")
        close_with_yes(driver, wiz)
        events = backend.events(since)
        finals = [e for e in events if e["code"] == "5"]
        # The declined offer's event 4 was final; the third offer was never shown.
        assert sorted(e["package"] for e in finals) == sorted([ids[1], PRODUCT]), codes_by_package(backend, since)
        assert all(e["code"] == "5" for e in events[-len(finals):]), "the closing events come last (together)"
        assert [e["package"] for e in events if e["code"] == "4"] == [ids[0]]
        assert all(e["status"] == 200 for e in finals)


# --- Spanish -------------------------------------------------------------------------------------------------
PRIVACY_LINK, TERMS_LINK, SDK_LINK, PRODUCT_TITLE, WELCOME_TEXT = 1039, 1040, 1041, 1008, 1018
WELCOME_ES = {
    "dlm": {WELCOME_TITLE: "Bienvenido a", PRODUCT_TITLE: PRODUCT,
            WELCOME_TEXT: f'Esta acción descarga el {PRODUCT} en su equipo. Haga clic en "SIGUIENTE" para continuar.',
            NEXT_BUTTON: "SIGUIENTE", PRIVACY_LINK: "Política de Privacidad",
            TERMS_LINK: "Acuerdo de licencia de usuario final", SDK_LINK: "Licencia de SDK"},
    "isv": {WELCOME_TITLE: "Bienvenido a", PRODUCT_TITLE: "Welvane Tester",
            WELCOME_TEXT: 'Esto instalará el Welvane Tester en su ordenador. Presione "SIGUIENTE" para continuar.',
            NEXT_BUTTON: "SIGUIENTE", PRIVACY_LINK: "Política de Privacidad",
            TERMS_LINK: "Acuerdo de licencia de usuario final"},
}


class TestOfferPageLanguage:
    @pytest.mark.parametrize("flavour", ["dlm", "isv"])
    def test_welcome_and_offer_pages_in_spanish(self, driver, wizard, backend, screenshot, flavour):
        _, config = three_offers(uuid.uuid4().hex[:8])
        wiz, welcome = reach_welcome(driver, wizard, backend, config, flavour=flavour, spanish=True)
        screenshot("welcome")
        controls = driver.controls_by_id(welcome["hwnd"])
        assert {key: controls[key]["text"] for key in WELCOME_ES[flavour]} == WELCOME_ES[flavour]
        # The installer's tables have no SDK link: a link without a text is not shown.
        assert controls[SDK_LINK]["visible"] == (flavour == "dlm")
        driver.click_id(welcome["hwnd"], NEXT_BUTTON)
        first = shown_offer_page(driver, wiz)
        screenshot("first-offer")
        controls = driver.controls_by_id(first["hwnd"])
        assert (controls[ACCEPT_BUTTON]["text"], controls[DECLINE_BUTTON]["text"]) == TEXTS["español"]
        # The consent text is not translated: it still names the English button.
        assert "ACCEPT" in controls[TERMS_TEXT]["text"]
        close_with_yes(driver, wiz, MSG_EXIT["español"])


# --- links from the keyboard ---------------------------------------------------------------------------------
@pytest.fixture
def browser(wine_env, tmp_path):
    """Wine's browser launcher made to record each address it is asked to open; yields the record's path."""
    record = tmp_path / "opened.txt"
    script = tmp_path / "browser.sh"
    script.write_text(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{record}"\n')
    script.chmod(0o755)
    key = r"HKCU\Software\Wine\WineBrowser"
    subprocess.run(["wine", "reg", "add", key, "/v", "Browsers", "/d", str(script), "/f"], env=wine_env,
                   check=True, capture_output=True)
    try:
        yield record
    finally:
        subprocess.run(["wine", "reg", "delete", key, "/v", "Browsers", "/f"], env=wine_env, check=False,
                       capture_output=True)


def test_welcome_links_work_from_the_keyboard(driver, wizard, backend, browser):
    # Tab goes from Next to each link in turn; Enter and Space open the focused one (Enter does not press Next).
    _, config = three_offers(uuid.uuid4().hex[:8])
    config["i"].update({"cp": "https://127.0.0.1/privacy-by-key", "ctu": "https://127.0.0.1/terms-by-key"})
    wiz, welcome = reach_welcome(driver, wizard, backend, config)
    controls = driver.controls_by_id(welcome["hwnd"])
    focused = []
    for key in (0x0D, None, 0x20):  # Enter on the privacy link, nothing on the terms, Space on the SDK link
        before = driver.focus(wiz.hwnd)
        driver.type_key(wiz.hwnd, 0x09)  # Tab
        assert wait_until(lambda: driver.focus(wiz.hwnd) != before, timeout=5)
        focused.append(driver.focus(wiz.hwnd))
        if key:
            driver.type_key(wiz.hwnd, key)
    assert focused == [controls[i]["hwnd"] for i in (PRIVACY_LINK, TERMS_LINK, SDK_LINK)]
    assert wait_until(lambda: browser.exists() and len(browser.read_text().split()) == 2, timeout=20)
    assert sorted(browser.read_text().split()) == ["https://127.0.0.1/privacy-by-key",
                                                    "https://sdk.welvane.com/privacy/"]
    assert visible(driver, welcome), "the welcome page is still shown"
    close_with_yes(driver, wiz)
