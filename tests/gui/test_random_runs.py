"""Randomized whole runs of both flavours: offers drawn from the sample installers, each accepted or declined at
random (a fixed seed per case, so a failure can be replayed). Whatever the answers, the installers started are
exactly the accepted offers plus the main product, never one more."""

import random

import pytest

from install_run import FILES, FINISH_BUTTON, Run, arguments_of, configuration, offer
from test_download_and_finish import codes
from welvane_ui import wait_until

POOL = ["offer-alpha-setup.exe", "offer-delta-setup.exe", "offer-gamma-setup.zip", "offer-epsilon-setup.exe",
        "offer-zeta-setup.exe", "same/one/setup.exe"]
MAIN_ARGUMENTS = "/APP=I_AM_A_FAKE_PRODUCT_SETUP"


@pytest.mark.parametrize("flavour", ["dlm", "isv"])
@pytest.mark.parametrize("seed", [11, 22, 33, 44, 55])
def test_only_accepted_offers_are_installed(driver, wizard, wine_env, backend, flavour, seed):
    rng = random.Random(f"{flavour}-{seed}")
    files = rng.sample(POOL, rng.randint(1, len(POOL)))
    tags = [f"/TAG={flavour}{seed}-{n}" for n in range(len(files))]
    answers = [rng.random() < 0.5 for _ in files]
    product = f"Random{flavour}{seed}x{rng.randrange(10 ** 6)}"
    offers = [offer(f"{product}-{n}", FILES + name, tag) for n, (name, tag) in enumerate(zip(files, tags))]
    since = backend.last_event_id()
    run = Run(driver, wizard, wine_env, flavour)
    run.walk(backend, configuration(product, offers), answers)
    finish = run.finish_page()
    assert finish, (seed, codes(backend, since))
    driver.click_id(finish["hwnd"], FINISH_BUTTON)  # the download manager launches its product now
    run.wait_ended()

    accepted = {tag for tag, yes in zip(tags, answers) if yes}
    product_start = (lambda r: arguments_of(r) == "") if flavour == "dlm" else (lambda r: arguments_of(r) == MAIN_ARGUMENTS)
    expected = len(accepted) + 1
    assert wait_until(lambda: len(run.installs()) >= expected, timeout=30), (files, answers, run.installs())
    starts = run.installs()
    assert sorted(arguments_of(r) for r in starts if not product_start(r)) == sorted(accepted), (files, answers)
    assert len([r for r in starts if product_start(r)]) == 1, starts
    assert len(starts) == expected, starts
