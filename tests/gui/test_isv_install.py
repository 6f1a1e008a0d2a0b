"""The installer flavour's download-and-install page: the main product's installer runs alone and is waited for,
then the accepted offers' installers start; its failures; and a close while the main installer runs.

The main product is the flavour's own (https://localhost/f/welvane-tester-setup.exe, started with
/APP=I_AM_A_FAKE_PRODUCT_SETUP); tests bend what that path serves through the back end's fault mapping. Our test
installer sleeps WELVANE_SLEEP_APP ms when started with /APP=, so the main installer can be made to take a while.
"""

import uuid
from contextlib import contextmanager

from install_run import FILES, PROGRESS_TITLE, Run, arguments_of, configuration, offer, shown
from test_download_and_finish import codes, events_of, wait_for_codes
from welvane_ui import IDCANCEL, IDOK, wait_until

MAIN = "Welvane Tester"
MAIN_ARGUMENTS = "/APP=I_AM_A_FAKE_PRODUCT_SETUP"
MAIN_PATH = "f/welvane-tester-setup.exe"
PBS_MARQUEE = 0x08
PROGRESS_BAR = 1043
PROGRESS_QUIT = ("Some installer processes are already running in the background and will finish momentarily. "
                 "Are you sure you would like to exit?")


@contextmanager
def main_product_served_as(backend, directives):
    """The flavour's product path answers as `directives` say (e.g. a redirect to another file)."""
    backend.set_faults({MAIN_PATH: directives})
    try:
        yield
    finally:
        backend.set_faults({MAIN_PATH: None})


def two_offers(t):
    ids = [f"isv{n}-{t}" for n in (1, 2)]
    return ids, [offer(ids[0], FILES + "offer-alpha-setup.exe", "/TAG=1"),
                 offer(ids[1], FILES + "offer-gamma-setup.zip", "/TAG=2")]


def is_main(row):
    return arguments_of(row) == MAIN_ARGUMENTS


class TestMainInstallerFirst:
    def test_main_installer_runs_alone_and_is_waited_for(self, driver, wizard, wine_env, backend, screenshot):
        t = uuid.uuid4().hex[:8]
        ids, offers = two_offers(t)
        since = backend.last_event_id()
        run = Run(driver, wizard, wine_env, "isv", env={"WELVANE_SLEEP_APP": "6000"})
        run.walk(backend, configuration(f"P{t}", offers), [True, True])
        # While the main installer runs: the bar is indeterminate and a close asks PROGRESS_QUIT first.
        assert wait_until(lambda: [r for r in run.installs() if is_main(r)], timeout=60, interval=0.2)
        page = shown(driver, run.wiz, PROGRESS_TITLE)
        assert page, "the download page is shown while the main installer runs"
        bar = driver.controls_by_id(page["hwnd"])[PROGRESS_BAR]["hwnd"]
        assert driver.window_info(bar)["style"] & PBS_MARQUEE
        screenshot("main-installer-running")
        driver.close(run.wiz.hwnd)
        box = driver.message_box(run.wiz.pid, timeout_ms=10000)
        assert box and box["text"] == PROGRESS_QUIT, box
        driver.answer_box(box, IDCANCEL)

        assert run.finish_page(timeout=60), codes(backend, since)
        # Started programs log their start themselves, a moment after they were started.
        assert wait_until(lambda: len(run.installs()) == 3, timeout=20), run.installs()
        rows = run.installs(None)
        order = [("main" if is_main(r) else arguments_of(r), r["event"]) for r in rows]
        assert order[:2] == [("main", "start"), ("main", "end")], order
        assert sorted(o for o in order[2:] if o[1] == "start") == [("/TAG=1", "start"), ("/TAG=2", "start")], order
        assert wait_until(lambda: len([e for e in backend.events(since) if e["code"] == "3"]) == 3, timeout=30)
        threes = [e["package"] for e in backend.events(since) if e["code"] == "3"]
        assert threes[0] == MAIN and sorted(threes[1:]) == sorted(ids), threes
        temp = run.unix_path(rows[0]["exe"]).parent.parent
        driver.click_id(run.finish_page()["hwnd"], 1028)
        run.wait_ended()
        assert wait_until(lambda: not temp.exists(), timeout=10), "Finish removes the run's folder"
        log = run.run_log()
        for step in [", ISV, ", f"{MAIN_ARGUMENTS} (process ", "ended with exit code 0", "/TAG=1 (process ",
                     "Event 3 of the main product", "The user pressed Finish", "The run ended"]:
            assert step in log, (step, log)

    def test_main_product_as_a_zip_is_unpacked_started_and_waited_for(self, driver, wizard, wine_env, backend):
        since = backend.last_event_id()
        with main_product_served_as(backend, "redirect=1,to=%2Ff%2Fzipped%2Fproduct-setup.zip"):
            run = Run(driver, wizard, wine_env, "isv", env={"WELVANE_SLEEP_APP": "2000"})
            run.walk(backend, configuration("P", []), [])
            assert run.finish_page(timeout=60), codes(backend, since)
        rows = run.installs(None)
        assert [(r["event"], arguments_of(r)) for r in rows] == [("start", MAIN_ARGUMENTS), ("end", MAIN_ARGUMENTS)]
        assert rows[0]["exe"].lower().endswith("\\unpacked\\product-installer.exe")
        wait_for_codes(backend, since, MAIN, {"3"})
        driver.click_id(run.finish_page()["hwnd"], 1028)
        run.wait_ended()


class TestMainProductFailures:
    def test_main_product_that_is_no_program(self, driver, wizard, wine_env, backend, screenshot):
        t = uuid.uuid4().hex[:8]
        ids, offers = two_offers(t)
        since = backend.last_event_id()
        with main_product_served_as(backend, "redirect=1,to=%2Ff%2Fodd%2Fnot-a-program.exe"):
            run = Run(driver, wizard, wine_env, "isv")
            run.walk(backend, configuration(f"P{t}", offers), [True, True])
            assert run.error_page(timeout=60), codes(backend, since)
        screenshot("error")
        main = [e for e in wait_for_codes(backend, since, MAIN, {"-1"}) if e["code"] == "-1"]
        payload = main[0]["record"]["12"]
        assert payload.startswith("EXEC FAILED") and payload[len("EXEC FAILED"):].isdigit(), payload
        for package in ids:
            events = wait_for_codes(backend, since, package, {"-1"})
            assert [e["record"]["12"] for e in events if e["code"] == "-1"] == ["MAIN PRODUCT INSTALLATION FAILED"]
        assert run.installs() == [], "no offer is started"
        assert not [e for e in backend.events(since) if e["code"] == "3"]
        driver.close(run.wiz.hwnd)
        run.wait_ended()

    def test_main_product_404(self, driver, wizard, wine_env, backend):
        t = uuid.uuid4().hex[:8]
        ids, offers = two_offers(t)
        since = backend.last_event_id()
        with main_product_served_as(backend, "status=404"):
            run = Run(driver, wizard, wine_env, "isv")
            run.walk(backend, configuration(f"P{t}", offers), [True, True])
            assert run.error_page(timeout=60), codes(backend, since)
        main = [e for e in wait_for_codes(backend, since, MAIN, {"-1"}) if e["code"] == "-1"]
        assert main[0]["record"]["12"].startswith("DOWNLOAD FAILED: ")
        for package in ids:
            events = wait_for_codes(backend, since, package, {"-1"})
            assert [e["record"]["12"] for e in events if e["code"] == "-1"][0].startswith("MAIN PRODUCT DOWNLOAD FAILED: ")
        assert run.installs() == []
        driver.close(run.wiz.hwnd)
        run.wait_ended()
        assert "Error page shown: Error occurred while downloading / Please try to download later" in run.run_log()


class TestCloseWhileMainInstallerRuns:
    def test_close_leaves_the_installer_running(self, driver, wizard, wine_env, backend):
        t = uuid.uuid4().hex[:8]
        ids, offers = two_offers(t)
        since = backend.last_event_id()
        run = Run(driver, wizard, wine_env, "isv", env={"WELVANE_SLEEP_APP": "15000"})
        run.walk(backend, configuration(f"P{t}", offers), [True, False])
        assert wait_until(lambda: [r for r in run.installs() if is_main(r)], timeout=60, interval=0.2)
        driver.close(run.wiz.hwnd)
        box = driver.message_box(run.wiz.pid, timeout_ms=10000)
        assert box and box["text"] == PROGRESS_QUIT, box
        driver.answer_box(box, IDOK)
        run.wait_ended(timeout=30)
        assert not run.installs("end"), "the user's installer is left running"
        main = run.unix_path(run.installs()[0]["exe"])
        assert main.exists(), "the running installer's folder stays"
        assert [r for r in run.installs() if not is_main(r)] == [], "no offer is started"
        finals = [e["package"] for e in backend.events(since) if e["code"] == "5"]
        assert sorted(finals) == sorted([ids[0], MAIN]), codes(backend, since)  # sent together
        assert wait_until(lambda: run.installs("end"), timeout=30), "the installer ends by itself"
