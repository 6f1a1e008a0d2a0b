"""The language page: the language list with the user's language preselected (the GUI prefix runs an en-US
user), the splash text, re-texting of every page the moment another language is chosen (the hidden error
page's Close button included), and Enter activating Next."""

import pytest

from welvane_ui import VK_RETURN, page_holding, wait_until

LANGUAGE_COMBO, SPLASH_TEXT, NEXT_BUTTON = 1000, 1012, 1010
ERROR_CLOSE_BUTTON = 1035
LOADING_FRAME, PROGRESS = 1015, 1043

ENGLISH = {
    "next": "Next",
    "splash": 'To continue, please select your preferred language, and click "Next".',
    "close": "Close",
}
SPANISH = {
    "next": "SIGUIENTE",
    "splash": 'Para continuar, selecciona tu idioma preferido y haz clic en "SIGUIENTE".',
    "close": "CERRAR",
}

FLAVOURS = pytest.mark.parametrize("flavour", ["dlm", "isv"])


class Pages:
    """The main dialog's pages that exist before the configuration arrives (the loading and error pages
    are made once the language page is up)."""

    def __init__(self, driver, main_hwnd):
        self.driver = driver
        self.main = main_hwnd
        self.language = page_holding(driver, main_hwnd, LANGUAGE_COMBO)
        wait_until(lambda: page_holding(driver, main_hwnd, ERROR_CLOSE_BUTTON), timeout=10)
        self.error = page_holding(driver, main_hwnd, ERROR_CLOSE_BUTTON)
        self.loading = page_holding(driver, main_hwnd, LOADING_FRAME)
        assert self.language and self.error and self.loading, "a page is missing"
        assert len({self.language["hwnd"], self.error["hwnd"], self.loading["hwnd"]}) == 3

    def control(self, page, control_id):
        return self.driver.controls_by_id(page["hwnd"])[control_id]

    def combo(self):
        return self.control(self.language, LANGUAGE_COMBO)["hwnd"]

    def texts(self):
        return {
            "next": self.control(self.language, NEXT_BUTTON)["text"],
            "splash": self.control(self.language, SPLASH_TEXT)["text"],
            "close": self.control(self.error, ERROR_CLOSE_BUTTON)["text"],
        }

    def visible(self, page):
        return self.driver.window_info(page["hwnd"])["visible"]


def choose_language(driver, pages, index, expected):
    """Selects combo item `index` as a user would and waits until the pages carry the `expected` texts."""
    driver.combo_select(pages.combo(), index)
    wait_until(lambda: pages.texts() == expected, timeout=10)
    assert pages.texts() == expected, f"texts after choosing item {index}"


@FLAVOURS
def test_languages_listed_with_english_preselected(driver, wizard, screenshot, flavour):
    wiz = wizard(flavour)
    pages = Pages(driver, wiz.hwnd)
    combo = driver.combo_items(pages.combo())
    assert combo["items"] == ["English", "español"]
    assert combo["selected"] == 0, "English is preselected for an en-US user"
    assert driver.text(pages.combo()) == "English"
    assert pages.texts() == ENGLISH
    assert pages.visible(pages.language)
    assert not pages.visible(pages.error) and not pages.visible(pages.loading)
    screenshot("english")


@FLAVOURS
def test_choosing_a_language_retexts_pages_at_once(driver, wizard, screenshot, flavour):
    wiz = wizard(flavour)
    pages = Pages(driver, wiz.hwnd)

    choose_language(driver, pages, 1, SPANISH)
    assert driver.combo_items(pages.combo())["selected"] == 1
    # The error page is still hidden: it was re-texted without being shown.
    assert not pages.visible(pages.error)
    assert pages.visible(pages.language)
    screenshot("spanish")

    choose_language(driver, pages, 0, ENGLISH)
    assert driver.combo_items(pages.combo())["selected"] == 0
    assert not pages.visible(pages.error)
    screenshot("english-again")


def test_enter_activates_next(driver, wizard, screenshot):
    wiz = wizard("dlm")
    pages = Pages(driver, wiz.hwnd)
    combo = pages.combo()
    assert driver.focus(wiz.hwnd) == combo, "the language combo box has the focus at start"
    screenshot("before-enter")

    driver.type_key(wiz.hwnd, VK_RETURN)

    assert wait_until(lambda: pages.visible(pages.loading), timeout=15), "Enter did not leave the language page"
    assert not pages.visible(pages.language)
    assert pages.control(pages.loading, PROGRESS)["visible"]
    assert driver.message_box(wiz.pid, timeout_ms=200) is None
    assert wiz.running()
    screenshot("loading")
