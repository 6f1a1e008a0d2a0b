"""The download manager's download page and finish page: what lands in Downloads, which installers start (from
where, with which arguments), the events of each package, the failures, and Finish or Close at the end.

Each test serves a configuration of its own and walks the real wizard through it. The offers' installers are
copies of our test installer, which logs every start (and end) into a log file of the test's own.
"""

import time
import uuid
import zipfile
from pathlib import Path

from backend import STATE
from install_run import (FILES, FINISH_BUTTON, MAIN_FILE, OPEN_FOLDER_RADIO, PROGRESS_TITLE, Run, arguments_of,
                         configuration, offer, shown)
from welvane_ui import IDCANCEL, IDOK, SC_CLOSE, wait_until

SERVED = STATE / "files"
WS_MINIMIZEBOX = 0x20000


def tag():
    return uuid.uuid4().hex[:8]


def events_of(backend, since, package):
    return [e for e in backend.events(since) if e["package"] == package]


def codes(backend, since):
    return [(e["package"], e["code"], (e.get("record") or {}).get("12")) for e in backend.events(since)]


def wait_for_codes(backend, since, package, wanted, timeout=30):
    """Waits until `package` has events with every code of `wanted`; returns its events."""
    found = wait_until(lambda: {e["code"] for e in events_of(backend, since, package)} >= set(wanted),
                       timeout=timeout, interval=0.3)
    assert found, (package, codes(backend, since))
    return events_of(backend, since, package)


class TestAcceptedOffersAreInstalled:
    def test_product_saved_and_each_accepted_offer_started_from_its_own_folder(
            self, driver, wizard, wine_env, backend, screenshot):
        t = tag()
        product = f"Product{t}"
        ids = {name: f"{name}-{t}" for name in ("plain", "bare", "zipped", "same1", "same2", "declined")}
        offers = [offer(ids["plain"], FILES + "offer-alpha-setup.exe", "/TAG=plain /D=\"C:\\a b\""),
                  offer(ids["bare"], "offer-delta-setup.exe", "/TAG=bare"),  # a bare name: from the files URL
                  offer(ids["zipped"], FILES + "offer-gamma-setup.zip", "/TAG=zipped"),
                  offer(ids["same1"], FILES + "same/one/setup.exe", "/TAG=same1"),
                  offer(ids["same2"], FILES + "same/two/setup.exe", "/TAG=same2"),
                  offer(ids["declined"], FILES + "offer-epsilon-setup.exe", "/TAG=declined")]
        since = backend.last_event_id()
        run = Run(driver, wizard, wine_env)
        users_file = run.downloads() / f"{product}.exe"  # a file of the user's with the product's name
        users_file.write_bytes(b"the user's own file")
        run.walk(backend, configuration(product, offers), [True] * 5 + [False])
        assert wait_until(lambda: shown(driver, run.wiz, PROGRESS_TITLE) or run.finish_page(timeout=0), 20)
        finish = run.finish_page()
        assert finish, codes(backend, since)
        screenshot("finish")
        assert not driver.window_info(run.wiz.hwnd)["style"] & WS_MINIMIZEBOX, "the finish page keeps no minimize box"
        assert [i["id"] for i in driver.system_menu(run.wiz.hwnd)].count(SC_CLOSE) == 1, "Close is back"

        saved = run.downloads() / f"{product} (1).exe"
        saved_windows = "C:\\users\\" + saved.parent.parent.name + "\\Downloads\\" + saved.name
        assert saved.read_bytes() == (SERVED / MAIN_FILE).read_bytes()
        assert users_file.read_bytes() == b"the user's own file", "the user's file is never replaced"

        # Started programs log their start themselves, a moment after they were started.
        assert wait_until(lambda: len(run.installs()) >= 5, timeout=20), run.installs()
        starts = {arguments_of(row).split()[0]: row for row in run.installs()}
        assert sorted(starts) == sorted(["/TAG=plain", "/TAG=bare", "/TAG=zipped", "/TAG=same1", "/TAG=same2"])
        assert len(run.installs()) == 5, "one start per accepted offer"
        assert arguments_of(starts["/TAG=plain"]) == "/TAG=plain /D=\"C:\\a b\""
        folders = {name: Path(row["exe"].replace("\\", "/")).parent.as_posix().lower() for name, row in starts.items()}
        assert len(set(folders.values())) == 5, f"each offer runs from a folder of its own: {folders}"
        assert starts["/TAG=zipped"]["exe"].lower().endswith("\\unpacked\\gamma-installer.exe")
        # The two installers named setup.exe are different programs; each ran its own.
        assert int(starts["/TAG=same1"]["size"]) == (SERVED / "same/one/setup.exe").stat().st_size
        assert int(starts["/TAG=same2"]["size"]) == (SERVED / "same/two/setup.exe").stat().st_size

        for package in [product] + [ids[n] for n in ("plain", "bare", "zipped", "same1", "same2")]:
            assert [e["code"] for e in wait_for_codes(backend, since, package, {"3"})].count("3") == 1, package
        assert "3" not in {e["code"] for e in events_of(backend, since, ids["declined"])}

        # Finish with the default choice launches the saved product and removes the run's folder.
        temp = run.unix_path(starts["/TAG=plain"]["exe"]).parent.parent
        assert temp.is_dir()
        driver.click_id(finish["hwnd"], FINISH_BUTTON)
        run.wait_ended()
        launched = wait_until(lambda: [r for r in run.installs() if r["exe"].lower() == saved_windows.lower()],
                              timeout=30, interval=0.3)
        assert launched and arguments_of(launched[0]) == "", run.installs()
        assert wait_until(lambda: not temp.exists(), timeout=10), f"{temp} is still there"

        # The run's log names each step, and never the events' signature.
        log = run.run_log()
        for step in ["Language: English (", "Configuration request to https://", ", attempt 1: status 200",
                     f"Offer {ids['declined']}: declined by the user", f"Offer {ids['plain']}: accepted by the user",
                     f"Download of {FILES}{MAIN_FILE} over WinHTTP: ", f"saved as {saved_windows}",
                     "Unpacked ", '/TAG=plain /D="C:\\a b" (process ', f"Event 3 of offer {ids['zipped']}: taken",
                     "The user pressed Finish", "The run ended"]:
            assert step in log, (step, log)
        assert "Signature" not in log


class TestFailures:
    def test_each_failing_offer_costs_only_itself(self, driver, wizard, wine_env, backend):
        t = tag()
        product = f"Product{t}"
        scenario = f"downgrade-{t}"
        ids = {name: f"{name}-{t}" for name in ("ok", "missing", "crafted", "sevenz", "notprogram", "downgrade")}
        offers = [offer(ids["missing"], FILES + f"no-such-file-{t}.exe", "/TAG=missing"),
                  offer(ids["crafted"], FILES + "crafted/offer-crafted.zip", "/TAG=crafted"),
                  offer(ids["sevenz"], FILES + "odd/offer-7z-signature.exe", "/TAG=sevenz"),
                  offer(ids["notprogram"], FILES + "odd/not-a-program.exe", "/TAG=notprogram"),
                  offer(ids["downgrade"], f"https://127.0.0.1/t/{scenario}/redirect=1,to=http%3A%2F%2F127.0.0.1"
                                          f"%3A9%2Ff%2Foffer-alpha-setup.exe/f/x.exe", "/TAG=downgrade"),
                  offer(ids["ok"], FILES + "offer-alpha-setup.exe", "/TAG=ok")]
        temp_root = None
        since = backend.last_event_id()
        run = Run(driver, wizard, wine_env)
        run.walk(backend, configuration(product, offers), [True] * len(offers))
        assert run.finish_page(), codes(backend, since)

        assert wait_until(run.installs, timeout=20)
        assert [arguments_of(r) for r in run.installs()] == ["/TAG=ok"], "only the sound offer starts"
        wait_for_codes(backend, since, ids["ok"], {"3"})
        wait_for_codes(backend, since, product, {"3"})
        for name, prefix in (("missing", "DOWNLOAD FAILED: "), ("downgrade", "DOWNLOAD FAILED: "),
                             ("crafted", "EXEC FAILED"), ("sevenz", "EXEC FAILED"), ("notprogram", "EXEC FAILED")):
            events = wait_for_codes(backend, since, ids[name], {"-1"})
            payload = [e["record"]["12"] for e in events if e["code"] == "-1"][0]
            assert payload.startswith(prefix), (name, payload)
            assert "3" not in {e["code"] for e in events}, (name, codes(backend, since))
            if prefix == "EXEC FAILED":
                assert payload[len(prefix):].isdigit() and payload != "EXEC FAILED0", payload
        downgrade = [e for e in events_of(backend, since, ids["downgrade"]) if e["code"] == "-1"][0]
        assert "Refused a redirect from HTTPS" in downgrade["record"]["12"], downgrade["record"]["12"]

        # The crafted archive wrote nothing anywhere: not in its folder, not next to it, not above.
        temp_root = run.unix_path(run.installs()[0]["exe"]).parent.parent.parent
        assert not list(temp_root.rglob("escaped*.exe")), list(temp_root.rglob("escaped*.exe"))
        driver.click_id(run.finish_page()["hwnd"], FINISH_BUTTON)
        run.wait_ended()

    def test_product_404_ends_on_the_error_page(self, driver, wizard, wine_env, backend, screenshot):
        t = tag()
        product = f"Product{t}"
        ids = [f"offer{n}-{t}" for n in (1, 2)]
        offers = [offer(ids[0], FILES + "offer-alpha-setup.exe", "/TAG=1"),
                  offer(ids[1], FILES + "offer-delta-setup.exe", "/TAG=2")]
        since = backend.last_event_id()
        run = Run(driver, wizard, wine_env)
        users_file = run.downloads() / f"{product}.exe"
        users_file.write_bytes(b"the user's own file")
        before = sorted(p.name for p in run.downloads().iterdir())
        try:
            run.walk(backend, configuration(product, offers, product_url=FILES + f"missing-{t}.exe"), [True, True])
            assert run.error_page(), codes(backend, since)
            screenshot("error")
            main = wait_for_codes(backend, since, product, {"-1"})
            assert [e["record"]["12"] for e in main if e["code"] == "-1"][0].startswith("DOWNLOAD FAILED: ")
            for package in ids:
                events = wait_for_codes(backend, since, package, {"-1"})
                assert [e["record"]["12"] for e in events][0].startswith("MAIN PRODUCT DOWNLOAD FAILED: ")
            assert run.installs() == [], "nothing is started"
            assert users_file.read_bytes() == b"the user's own file"
            assert sorted(p.name for p in run.downloads().iterdir()) == before, "nothing is left in Downloads"
            driver.close(run.wiz.hwnd)
            run.wait_ended()
            # What the user saw, and why, can be found in the run's log.
            log = run.run_log()
            assert "Error page shown: Error in downloading / Please try to download later" in log, log
            assert f"DOWNLOAD FAILED: [WINHTTP] " in log and "The user closed the wizard on ErrorPage" in log, log
        finally:
            users_file.unlink(missing_ok=True)


class TestEndOfRun:
    def test_finish_while_an_installer_runs_keeps_its_folder(self, driver, wizard, wine_env, backend):
        t = tag()
        product = f"Product{t}"
        # The slow one is an archive: the files it unpacked, which the installer may still need, stay too.
        offers = [offer(f"slow-{t}", FILES + "offer-gamma-setup.zip", "/SLEEP=20000 /TAG=slow"),
                  offer(f"quick-{t}", FILES + "offer-delta-setup.exe", "/TAG=quick")]
        run = Run(driver, wizard, wine_env)
        run.walk(backend, configuration(product, offers), [True, True])
        finish = run.finish_page()
        assert finish
        # The quick installer has ended (its process gone, not only its last log line) before Finish.
        quick_end = wait_until(lambda: [r for r in run.installs("end") if "/TAG=quick" in r["cmd"]], timeout=30)
        assert quick_end, run.installs(None)
        assert wait_until(lambda: not driver.pid_alive(int(quick_end[0]["pid"])), timeout=30)
        driver.click_id(finish["hwnd"], OPEN_FOLDER_RADIO)
        driver.click_id(finish["hwnd"], FINISH_BUTTON)
        run.wait_ended()
        assert wait_until(lambda: len(run.installs()) == 2, timeout=20), run.installs()
        starts = {arguments_of(r).split()[-1]: r for r in run.installs()}
        slow = run.unix_path(starts["/TAG=slow"]["exe"])
        quick = run.unix_path(starts["/TAG=quick"]["exe"])
        assert not [r for r in run.installs("end") if "/TAG=slow" in r["cmd"]], "the slow installer still runs"
        assert slow.exists() and (slow.parent / "readme.txt").exists(), "the running installer's folder stays"
        assert not quick.parent.exists(), "the rest of the run's folder goes"
        # Open Folder launched nothing.
        assert not [r for r in run.installs() if r["exe"].lower().endswith(f"\\{product.lower()}.exe")]

    def test_nothing_starts_while_the_quit_question_is_open(self, driver, wizard, wine_env, backend):
        t = tag()
        offers = [offer(f"paused-{t}", FILES + "offer-alpha-setup.exe", "/TAG=paused")]
        product_url = f"https://127.0.0.1/t/pause-{t}/rate=400000:-/f/blob-1m.bin"  # about 2.5 s
        run = Run(driver, wizard, wine_env)
        run.walk(backend, configuration(f"Product{t}", offers, product_url=product_url), [True])
        assert wait_until(lambda: shown(driver, run.wiz, PROGRESS_TITLE), timeout=20)
        driver.close(run.wiz.hwnd)
        box = driver.message_box(run.wiz.pid, timeout_ms=10000)
        assert box and box["text"] == "Are you sure you want to exit the installer?", box
        # The product's download ends meanwhile; the offer would be fetched and started a moment later.
        time.sleep(6)
        assert run.installs() == [], "an installer started while the user was asked whether to quit"
        driver.answer_box(box, IDCANCEL)
        assert run.finish_page(timeout=60), "the run did not go on after Cancel"
        assert wait_until(lambda: len(run.installs()) == 1, timeout=20), run.installs()
        driver.close(run.wiz.hwnd)
        run.wait_ended()

    def test_close_during_the_download(self, driver, wizard, wine_env, backend):
        t = tag()
        product = f"Product{t}"
        ids = [f"offer{n}-{t}" for n in (1, 2)]
        offers = [offer(ids[0], FILES + "offer-alpha-setup.exe", "/TAG=1"),
                  offer(ids[1], FILES + "offer-delta-setup.exe", "/TAG=2")]
        # The product's download stalls after 64 KiB: the server sends nothing more until released.
        slow = f"https://127.0.0.1/t/slow-{t}/hold=65536:-/f/blob-2m.bin"
        users = Path(wine_env["WINEPREFIX"]) / "drive_c" / "users"

        def run_folders():  # the temporary folders of runs, wherever this prefix keeps %TEMP%
            return {p for pattern in ("*/Temp/*.tmp", "*/AppData/Local/Temp/*.tmp") for p in users.glob(pattern)}

        before = run_folders()
        since = backend.last_event_id()
        run = Run(driver, wizard, wine_env)
        downloads_before = sorted(p.name for p in run.downloads().iterdir())
        run.walk(backend, configuration(product, offers, product_url=slow), [True, True])
        assert wait_until(lambda: shown(driver, run.wiz, PROGRESS_TITLE), timeout=20)
        assert len(run_folders() - before) == 1, "the run has a temporary folder"
        assert SC_CLOSE not in [i["id"] for i in driver.system_menu(run.wiz.hwnd)], "no Close while downloading"
        time.sleep(1)
        driver.close(run.wiz.hwnd)
        box = driver.message_box(run.wiz.pid, timeout_ms=10000)
        assert box and box["text"] == "Are you sure you want to exit the installer?", box
        driver.answer_box(box, IDOK)
        # Well below the 30 s a silent connection takes to time out: the close does not wait for it.
        try:
            run.wait_ended(timeout=20)
        finally:
            backend.reset_scenario(f"slow-{t}")
        assert sorted(p.name for p in run.downloads().iterdir()) == downloads_before, "nothing is left in Downloads"
        assert run.installs() == [], "nothing is started after a close"
        finals = [e["package"] for e in backend.events(since) if e["code"] == "5"]
        assert sorted(finals) == sorted(ids + [product]), codes(backend, since)  # sent together
        assert all(e["code"] not in ("3", "-1") for e in backend.events(since)), codes(backend, since)
        assert run_folders() - before == set(), f"the run's folder stays: {run_folders() - before}"

    def test_close_while_the_offers_are_started(self, driver, wizard, wine_env, backend):
        # The second offer's archive holds thousands of small files: its unpacking is still going when the
        # first offer's installer has started. Closing then stops the unpacking; the started offer has its
        # event 3 and no event 5, the other its event 5.
        t = tag()
        ids = [f"started-{t}", f"unpacking-{t}"]
        archive = SERVED / f"many-{t}.zip"
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as z:
            z.write(SERVED / "offer-alpha-setup.exe", "setup.exe")
            for n in range(30000):
                z.writestr(f"data/{n // 1000}/{n}.txt", "x")
        offers = [offer(ids[0], FILES + "offer-alpha-setup.exe", "/TAG=1"), offer(ids[1], FILES + archive.name, "/TAG=2")]
        since = backend.last_event_id()
        run = Run(driver, wizard, wine_env)
        try:
            run.walk(backend, configuration(f"Product{t}", offers), [True, True])
            assert wait_until(lambda: len(run.installs()) == 1, timeout=60), "the first offer did not start"
            driver.close(run.wiz.hwnd)
            box = driver.message_box(run.wiz.pid, timeout_ms=10000)
            assert box, "no question while installers are being started"
            driver.answer_box(box, IDOK)
            run.wait_ended(timeout=30)
        finally:
            archive.unlink()
        assert [arguments_of(row) for row in run.installs()] == ["/TAG=1"], "nothing starts after the close"
        wait_for_codes(backend, since, ids[0], ["3"])
        wait_for_codes(backend, since, ids[1], ["5"])
        assert "5" not in {e["code"] for e in events_of(backend, since, ids[0])}, codes(backend, since)
        assert "3" not in {e["code"] for e in events_of(backend, since, ids[1])}, codes(backend, since)
