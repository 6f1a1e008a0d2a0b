"""The loading page: configuration, eligible offers in configuration order, images, and closing while loading.

Each test uploads its own configuration to the reference back end (a set of its own) and points the
configuration endpoint at it for as long as the wizard loads. The wizard is then walked as a user would: the
language page's Next, the welcome page's Next, and Decline on every offer page, so that the order of the
offer pages can be read back from the decline events (4) the back end stored. Offers the rules reject never
get a page; each has exactly one event 2 whose field "13" is the reason.

One offer rule looks at the prefix's own files: the test creates or removes a file in drive C of the GUI
prefix and the same configuration yields different offers.
"""

import json
import time
import uuid
from contextlib import contextmanager
from pathlib import Path

import pytest

from install_run import run_log
from welvane_ui import DIALOG_CLASS, IDOK, SC_CLOSE, page_holding, screen_pixels, wait_until

LANGUAGE_COMBO, NEXT_BUTTON = 1000, 1010
LOADING_FRAME = 1015
WELCOME_TITLE = 1017
ACCEPT_BUTTON, DECLINE_BUTTON, OFFER_IMAGE = 1021, 1022, 1023
CLOSE_BUTTON, ERROR_TITLE, ERROR_TEXT = 1035, 1036, 1037

FLAVOURS = pytest.mark.parametrize("flavour", ["dlm", "isv"])
CONFIGURATION_ERROR = ("Something went wrong", "Please try to download later")
MARKER_FOLDER = "welvane-gui-offers"


# --- configurations ------------------------------------------------------------------------------------------
def offer(ad_id, vertical=None, image="offer-alpha.png", **rules):
    settings = {"i": image, "dn": ad_id, "u": "https://127.0.0.1/f/fakeinstaller.exe",
                "cp": "https://www.example.com/privacy", "ctu": "https://www.example.com/terms"}
    if vertical is not None:
        settings["v"] = vertical
    settings.update(rules)
    return {"ad": {"o": ad_id, "f": "flow-" + ad_id}, "ps": settings}


def configuration(offers=None, maximum=3, product_url="https://127.0.0.1/f/welvane-demo-player-setup.exe",
                  logo="https://127.0.0.1/f/welvane-demo-logo.png"):
    product = {"ct": "WelvaneLoadTest", "cu": product_url, "cf": "WelvaneLoadTest.exe", "ch": "web",
               "cfl": "load-main"}
    if logo:
        product["cl"] = logo
    config = {"l": "US", "i": product, "f": {"a": "pub-load", "m": maximum}}
    if offers is not None:
        config["o"] = offers
    return config


@contextmanager
def serving(backend, config, faults=None):
    """Serves `config` (a JSON value, or a text sent as it is) as the configuration, with the extra fault
    mappings `faults`, until the block ends."""
    name = "gui-load-" + uuid.uuid4().hex[:12]
    backend._call("POST", "config", {"set": name, "installer": "Orvane_DLM", "lang": "default", "config": config})
    mapping = {"o": f"set={name}", **(faults or {})}
    earlier = backend.faults()
    backend.set_faults(mapping)
    try:
        yield name
    finally:
        backend.set_faults({key: earlier.get(key) for key in mapping})


@pytest.fixture
def marker(wine_env):
    """A file in drive C of the GUI prefix: (its Windows path, its Linux path); removed at the end."""
    name = f"marker-{uuid.uuid4().hex[:12]}.txt"
    folder = Path(wine_env["WINEPREFIX"]) / "drive_c" / MARKER_FOLDER
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / name
    yield f"C:\\{MARKER_FOLDER}\\{name}", path
    path.unlink(missing_ok=True)


# --- walking the wizard --------------------------------------------------------------------------------------
def visible_page(driver, wiz, control_id):
    page = page_holding(driver, wiz.hwnd, control_id)
    return page if page is not None and driver.window_info(page["hwnd"])["visible"] else None


def offer_pages(driver, wiz):
    """Every offer page of the wizard (shown or hidden)."""
    controls = driver.children(wiz.hwnd)
    parents = {c["parent"] for c in controls if c["id"] == DECLINE_BUTTON}
    return [c for c in controls if c["hwnd"] in parents and c["class"] == DIALOG_CLASS and c["parent"] == wiz.hwnd]


def visible_offer_page(driver, wiz):
    shown = [page for page in offer_pages(driver, wiz) if driver.window_info(page["hwnd"])["visible"]]
    return shown[0] if shown else None


def start_loading(driver, wizard, flavour):
    wiz = wizard(flavour)
    language = page_holding(driver, wiz.hwnd, LANGUAGE_COMBO)
    driver.click_id(language["hwnd"], NEXT_BUTTON)
    return wiz


def wait_after_loading(driver, wiz, timeout=30):
    """The welcome page or the error page, whichever comes up after loading: ("welcome"|"error", page)."""
    found = []

    def probe():
        for kind, marker_id in (("welcome", WELCOME_TITLE), ("error", CLOSE_BUTTON)):
            page = visible_page(driver, wiz, marker_id)
            if page:
                found[:] = [kind, page]
                return True
        return False

    assert wait_until(probe, timeout=timeout, interval=0.2), "loading did not end"
    return tuple(found)


def decline_every_offer(driver, wiz, backend, since, timeout=20):
    """From the welcome page on: Next, then Decline on each offer page in turn. Returns the ad ids of the
    declined offers in the order their pages came."""
    welcome = visible_page(driver, wiz, WELCOME_TITLE)
    count = len(offer_pages(driver, wiz))
    driver.click_id(welcome["hwnd"], NEXT_BUTTON)
    shown, seen = [], set()
    for index in range(count):
        page = wait_until(lambda: (lambda p: p if p and p["hwnd"] not in seen else None)(
            visible_offer_page(driver, wiz)), timeout=timeout)
        assert page, f"offer page {index + 1} of {count} is not shown"
        seen.add(page["hwnd"])
        driver.click_id(page["hwnd"], DECLINE_BUTTON)
        declined = wait_until(lambda: len(backend.events(since, code=4)) >= index + 1, timeout=timeout,
                              interval=0.2)
        assert declined, f"no decline event for offer page {index + 1}"
        shown = [e["package"] for e in backend.events(since, code=4)]
    assert len(shown) == count, shown
    return shown


def rejections(backend, since):
    return sorted((e["package"], e["record"].get("13")) for e in backend.events(since, code=2))


def close_and_wait(driver, wiz, timeout=15.0):
    """Closes the main window, says OK to a question if one comes, and waits for the process to end.
    Returns the Windows exit code (None when it could not be read)."""
    driver.close(wiz.hwnd)
    box = driver.message_box(wiz.pid, timeout_ms=2000)
    if box:
        driver.answer_box(box, IDOK)
    deadline = time.monotonic() + timeout
    code = None
    while time.monotonic() < deadline:
        left_ms = int(min(5.0, max(deadline - time.monotonic(), 0.1)) * 1000)
        reply = driver.call("wait-exit", wiz.pid, left_ms, check=False)
        if reply.get("exited"):
            code = reply.get("exit_code")
            break
        if not reply.get("ok") and not wiz.running():
            break
    assert not driver.pid_alive(wiz.pid), "the wizard did not end"
    wiz.popen.wait(timeout=10)
    return code


def assert_no_crash(wiz, code):
    text = wiz.stderr_text()
    assert "Unhandled exception" not in text and "Backtrace" not in text, text[-3000:]
    assert code in (0, None), f"exit code {code:#x}"


# --- offers in configuration order ---------------------------------------------------------------------------
def rule_offers(marker_path):
    """Eight offers, limit 3: which are shown depends on the marker file (see the expectations below)."""
    return [
        offer("load-a", 1),
        offer("load-b", 1),                                   # vertical 1 is taken by load-a
        offer("load-c", 2, image="offer-beta.png", fe=[marker_path]),      # rejected when the marker exists
        offer("load-d", 3, image="offer-gamma.png", ife=[marker_path]),    # rejected when it does not
        offer("load-e", 4, exc=True),                         # exclusive after an accepted offer
        offer("load-f", 5, image="offer-zeta.png"),
        offer("load-g", 6),                                   # the limit: not looked at, no event
        offer("load-h", 7),
    ]


EXPECTED = {
    True: (["load-a", "load-d", "load-f"],
           [("load-b", "SAME VERTICAL OFFER ALREADY PRESENT"), ("load-c", "FILE EXISTS"),
            ("load-e", "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT")]),
    False: (["load-a", "load-c", "load-f"],
            [("load-b", "SAME VERTICAL OFFER ALREADY PRESENT"), ("load-d", "NONE OF THE FILES EXISTS"),
             ("load-e", "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT")]),
}


class TestEligibleOffers:
    @FLAVOURS
    @pytest.mark.parametrize("marker_exists", [True, False], ids=["marker", "no-marker"])
    def test_offer_pages_are_the_eligible_offers_in_order(self, driver, wizard, backend, marker, screenshot,
                                                          flavour, marker_exists):
        windows_path, linux_path = marker
        if marker_exists:
            linux_path.write_text("present")
        shown_expected, rejected_expected = EXPECTED[marker_exists]
        since = backend.last_event_id()
        with serving(backend, configuration(rule_offers(windows_path))):
            wiz = start_loading(driver, wizard, flavour)
            kind, _ = wait_after_loading(driver, wiz)
        assert kind == "welcome"
        screenshot("welcome")
        assert len(offer_pages(driver, wiz)) == len(shown_expected)
        shown = decline_every_offer(driver, wiz, backend, since)
        screenshot("last-offer")
        assert shown == shown_expected
        # One event 2 per rejected offer, with its reason; none for the offers after the limit.
        assert wait_until(lambda: len(backend.events(since, code=2)) >= len(rejected_expected), timeout=10)
        assert rejections(backend, since) == rejected_expected
        for event in backend.events(since, code=2):
            assert event["record"]["10"] == 2 and event["status"] == 200
        assert_no_crash(wiz, close_and_wait(driver, wiz))

    @pytest.mark.parametrize("case", ["exclusive-first", "limit-zero", "no-offers", "offers-off"])
    def test_lists_that_end_early(self, driver, wizard, backend, case):
        if case == "exclusive-first":
            config = configuration([offer("load-x", 1, exc=True), offer("load-y", 2)])
            expected = ["load-x"]
        elif case == "limit-zero":
            config = configuration([offer("load-x", 1), offer("load-y", 2)], maximum=0)
            expected = []
        elif case == "no-offers":
            config = configuration(None)
            expected = []
        else:
            config = configuration([offer("load-x", 1)])
            config["i"]["ch"] = "00xA"
            expected = []
        since = backend.last_event_id()
        with serving(backend, config):
            wiz = start_loading(driver, wizard, "dlm")
            kind, _ = wait_after_loading(driver, wiz)
        assert kind == "welcome"
        assert len(offer_pages(driver, wiz)) == len(expected)
        assert decline_every_offer(driver, wiz, backend, since) == expected
        assert backend.events(since, code=2) == [], "an offer that ends the list rejects nothing after it"
        assert_no_crash(wiz, close_and_wait(driver, wiz))

    def test_the_run_log_of_many_offers_stays_small(self, driver, wizard, backend, wine_env):
        # 200 offers of one vertical: one is shown, 199 are rejected, each with its event 2 and its line.
        offers = [offer(f"many-{n:03}", 1) for n in range(200)]
        since = backend.last_event_id()
        with serving(backend, configuration(offers)):
            wiz = start_loading(driver, wizard, "dlm")
            kind, _ = wait_after_loading(driver, wiz, timeout=60)
        assert kind == "welcome"
        assert wait_until(lambda: len(backend.events(since, code=2)) == 199, timeout=60)
        assert_no_crash(wiz, close_and_wait(driver, wiz, timeout=30))
        log = run_log(wine_env["WINEPREFIX"], wiz.pid)
        assert "Offer many-000: eligible, shown as offer 1" in log
        assert "Offer many-199: not shown: SAME VERTICAL OFFER ALREADY PRESENT" in log
        assert "Event 2 of offer many-199: taken by the back end (status 200)" in log
        size = len(log.encode("utf-8"))
        print(f"run log of 200 offers: {size} bytes")
        assert size < 64 * 1024, size

    def test_product_logo_and_title_after_loading(self, driver, wizard, backend):
        with serving(backend, configuration([offer("load-a", 1)])):
            wiz = start_loading(driver, wizard, "dlm")
            kind, _ = wait_after_loading(driver, wiz)
        assert kind == "welcome"
        assert driver.text(wiz.hwnd) == "WelvaneLoadTest Setup"
        assert_no_crash(wiz, close_and_wait(driver, wiz))


# --- offer images --------------------------------------------------------------------------------------------
# Top and bottom colours of the back end's banners (refserver/draw_samples.py): a vertical gradient, with a disc
# on the left and a label in the middle, so the right edge shows the gradient alone.
BANNERS = {"offer-alpha.png": ((30, 90, 200), (10, 30, 90)), "offer-beta.png": ((30, 160, 80), (10, 60, 30))}


def picture(pixels):
    """What an image area shows: None when it is one plain colour, else the colours near the top and the bottom
    of its right edge."""
    if len({colour for row in pixels for colour in row}) == 1:
        return None
    height, width = len(pixels), len(pixels[0])
    x = width * 97 // 100
    return pixels[height * 3 // 100][x], pixels[height * 97 // 100][x]


def looks_like(shown, banner, tolerance=16):
    return shown is not None and all(abs(a - b) <= tolerance for got, want in zip(shown, BANNERS[banner])
                                     for a, b in zip(got, want))


class TestOfferImages:
    def test_image_shown_where_it_downloaded(self, driver, wizard, backend, display, screenshot):
        missing = f"missing-{uuid.uuid4().hex[:12]}.png"  # not among the back end's files: 404
        config = configuration([offer("load-a", 1), offer("load-b", 2, image=missing),
                                offer("load-c", 3, image="offer-beta.png")])
        since = backend.last_event_id()
        with serving(backend, config):
            wiz = start_loading(driver, wizard, "dlm")
            kind, welcome = wait_after_loading(driver, wiz)
        assert kind == "welcome"
        driver.click_id(welcome["hwnd"], NEXT_BUTTON)
        seen = set()
        for ad_id, banner in (("load-a", "offer-alpha.png"), ("load-b", None), ("load-c", "offer-beta.png")):
            page = wait_until(lambda: (lambda p: p if p and p["hwnd"] not in seen else None)(
                visible_offer_page(driver, wiz)), timeout=20)
            assert page, f"no offer page for {ad_id}"
            seen.add(page["hwnd"])
            area = driver.controls_by_id(page["hwnd"])[OFFER_IMAGE]["rect"]
            shown = []

            def painted():
                shown.append(picture(screen_pixels(display, area)))
                return shown[-1] is None if banner is None else looks_like(shown[-1], banner)

            # Until the page has been painted the screen may still show the page before it.
            ok = wait_until(painted, timeout=15, interval=0.3)
            screenshot(ad_id)
            assert ok, f"{ad_id}: the image area shows {shown[-1]}, expected {banner or 'no image'}"
            driver.click_id(page["hwnd"], DECLINE_BUTTON)
            assert wait_until(lambda: ad_id in [e["package"] for e in backend.events(since, code=4)],
                              timeout=20, interval=0.2), f"{ad_id} was not declined"
        assert_no_crash(wiz, close_and_wait(driver, wiz))


# --- configurations that cannot be used ----------------------------------------------------------------------
class TestConfigurationErrors:
    @FLAVOURS
    def test_empty_product_url(self, driver, wizard, backend, screenshot, flavour):
        # No offers: the installer, which has a product of its own, goes on to the welcome page without any.
        since = backend.last_event_id()
        with serving(backend, configuration(None, product_url="")):
            wiz = start_loading(driver, wizard, flavour)
            kind, page = wait_after_loading(driver, wiz)
        screenshot("after-loading")
        if flavour == "dlm":
            assert kind == "error"
            controls = driver.controls_by_id(page["hwnd"])
            assert (controls[ERROR_TITLE]["text"], controls[ERROR_TEXT]["text"]) == CONFIGURATION_ERROR
            assert visible_page(driver, wiz, WELCOME_TITLE) is None
            assert [i["id"] for i in driver.system_menu(wiz.hwnd)].count(SC_CLOSE) == 1, "one Close item"
        else:
            assert kind == "welcome"
        assert offer_pages(driver, wiz) == []
        assert backend.events(since, code=2) == []
        assert_no_crash(wiz, close_and_wait(driver, wiz))

    @FLAVOURS
    def test_empty_product_url_reads_no_offer(self, driver, wizard, backend, flavour):
        config = configuration([offer("load-a", 1), offer("load-b", 1)], product_url="")
        since = backend.last_event_id()
        with serving(backend, config):
            wiz = start_loading(driver, wizard, flavour)
            kind, _ = wait_after_loading(driver, wiz)
        if flavour == "dlm":
            assert kind == "error"
            assert offer_pages(driver, wiz) == []
            time.sleep(1)  # an offer read by mistake would have sent its event 2 by now
            assert backend.events(since, code=2) == []
        else:
            # The product member is the download manager's: the installer reads the offers as usual.
            assert kind == "welcome"
            assert decline_every_offer(driver, wiz, backend, since) == ["load-a"]
        assert_no_crash(wiz, close_and_wait(driver, wiz))

    @FLAVOURS
    def test_malformed_offer(self, driver, wizard, backend, flavour):
        # The second offer has neither image nor URL: the whole configuration is unusable.
        config = configuration([offer("load-a", 1), {"ad": {"o": "load-bad"}, "ps": {"dn": "bad"}}])
        with serving(backend, config):
            wiz = start_loading(driver, wizard, flavour)
            kind, page = wait_after_loading(driver, wiz)
        if flavour == "dlm":
            assert kind == "error"
            controls = driver.controls_by_id(page["hwnd"])
            assert (controls[ERROR_TITLE]["text"], controls[ERROR_TEXT]["text"]) == CONFIGURATION_ERROR
        else:
            assert kind == "welcome", "the installer carries on without offers"
            assert offer_pages(driver, wiz) == []
        assert_no_crash(wiz, close_and_wait(driver, wiz))

    @pytest.mark.parametrize("flavour, statuses", [("dlm", "503"), ("isv", "503"), ("dlm", "503:503:200")],
                             ids=["dlm-fails", "isv-fails", "dlm-third-answers"])
    def test_configuration_request_failing(self, driver, wizard, backend, flavour, statuses):
        # Three attempts, five seconds apart: when all three fail, the last answer (a text) cannot be read.
        with serving(backend, configuration([offer("load-a", 1)])) as name:
            directives = f"set={name},status={statuses}"  # the set makes the attempt counter the test's own
            backend.set_faults({"o": directives})
            wiz = start_loading(driver, wizard, flavour)
            kind, page = wait_after_loading(driver, wiz, timeout=60)
            attempts = backend._call("GET", "scenarios")["scenarios"]["plain"][f"{directives}/o"]
        assert attempts == 3
        if statuses.endswith("200"):
            assert kind == "welcome" and len(offer_pages(driver, wiz)) == 1
        elif flavour == "dlm":
            assert kind == "error"
            controls = driver.controls_by_id(page["hwnd"])
            assert (controls[ERROR_TITLE]["text"], controls[ERROR_TEXT]["text"]) == CONFIGURATION_ERROR
        else:
            assert kind == "welcome", "the installer carries on without offers"
            assert offer_pages(driver, wiz) == []
        assert_no_crash(wiz, close_and_wait(driver, wiz))

    @FLAVOURS
    def test_answer_that_is_not_json(self, driver, wizard, backend, flavour):
        with serving(backend, "this is not a configuration"):
            wiz = start_loading(driver, wizard, flavour)
            kind, _ = wait_after_loading(driver, wiz)
        assert kind == ("error" if flavour == "dlm" else "welcome")
        assert offer_pages(driver, wiz) == []
        assert_no_crash(wiz, close_and_wait(driver, wiz))


# --- closing while images are downloading --------------------------------------------------------------------
def wait_requests(backend, since, paths, timeout=20):
    def probe():
        got = backend._call("GET", f"requests?since={since}")["requests"]
        seen = {r["path"] for r in got}
        return all(p in seen for p in paths)

    return wait_until(probe, timeout=timeout, interval=0.2)


class TestClosingWhileImagesDownload:
    @FLAVOURS
    def test_close_during_delayed_images(self, driver, wizard, backend, screenshot, flavour):
        # The image (and for the download manager the logo) are held back far longer than the close may take.
        image = f"blob-{uuid.uuid4().int % 900000 + 100000}.bin"
        scenario = "load-" + uuid.uuid4().hex[:10]
        logo = f"https://127.0.0.1/t/{scenario}/delay=45000/f/welvane-demo-logo.png"
        config = configuration([offer("load-a", 1, image=image)], logo=logo)
        since_requests = backend.health()["requests"]
        with serving(backend, config, faults={f"f/{image}": "delay=45000"}):
            wiz = start_loading(driver, wizard, flavour)
            paths = [f"/f/{image}"] + ([f"/t/{scenario}/delay=45000/f/welvane-demo-logo.png"]
                                       if flavour == "dlm" else [])
            assert wait_requests(backend, since_requests, paths), "the downloads did not start"
            assert visible_page(driver, wiz, LOADING_FRAME), "loading ended although its downloads are held"
            screenshot("loading")
            code = close_and_wait(driver, wiz, timeout=15)
        assert_no_crash(wiz, code)

    @FLAVOURS
    def test_close_while_the_configuration_is_awaited(self, driver, wizard, backend, flavour):
        # The back end holds its answer far longer than the close may take: the worker still waits for it
        # when the window goes, and the process does not wait for the worker.
        since_requests = backend.health()["requests"]
        with serving(backend, configuration([offer("load-a", 1)])) as name:
            backend.set_faults({"o": f"set={name},hold"})
            try:
                wiz = start_loading(driver, wizard, flavour)
                assert wait_until(lambda: any(r["path"] == "/o" for r in backend._call(
                    "GET", f"requests?since={since_requests}")["requests"]), timeout=20), "no configuration request"
                assert visible_page(driver, wiz, LOADING_FRAME)
                code = close_and_wait(driver, wiz, timeout=15)
            finally:
                backend._call("POST", "release", {"scenario": "plain"})
        assert_no_crash(wiz, code)

    def test_download_ends_after_the_window_is_gone(self, driver, wizard, backend):
        # The process outlives its dialog while analytics events are still on their way: here the rejection
        # of the second offer is answered 12 s late, the image arrives after 4 s, and the wizard is closed as
        # soon as the image has been asked for. The image's download thus ends after the page, the dialog
        # and the host are gone, and before the process ends.
        image = f"blob-{uuid.uuid4().int % 900000 + 100000}.bin"
        unique = uuid.uuid4().hex[:12]
        config = configuration([offer("load-a", 1, image=image), offer("load-b", 1)], logo=None)
        since = backend.last_event_id()
        with serving(backend, config, faults={f"f/{image}": "delay=4000"}) as name:
            # The configuration waits until the first event has gone through undelayed.
            backend.set_faults({"o": f"set={name},hold"})
            wiz = start_loading(driver, wizard, "dlm")
            assert wait_until(lambda: backend.events(since, code=1), timeout=20), "no event 1"
            backend.set_faults({"zbd": f"delay=12000:0,set={unique}"})  # a path of its own: attempt 1 is late
            try:
                since_requests = backend.health()["requests"]
                backend._call("POST", "release", {"scenario": "plain"})
                assert wait_requests(backend, since_requests, [f"/f/{image}"]), "the download did not start"
                assert visible_page(driver, wiz, LOADING_FRAME), "loading ended although its image is delayed"
                code = close_and_wait(driver, wiz, timeout=40)
            finally:
                backend.set_faults({"zbd": None})
        assert_no_crash(wiz, code)
        assert rejections(backend, since) == [("load-b", "SAME VERTICAL OFFER ALREADY PRESENT")]
