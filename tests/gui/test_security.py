"""An elevated wizard started from the user's Downloads must not be turned against its user: DLLs planted
beside it never run."""
import shutil
import uuid

from install_run import FILES, MAIN_FILE, Run, configuration, downloads_folder, offer
from welvane_ui import BIN, wait_until

# The system DLLs the wizard uses that Windows does not protect as KnownDLLs. VERSION is one of them too,
# but Wine's own GDI32 imports it as the process starts, from the program's folder first when native
# DLLs come first (on Windows GDI32 is a KnownDLL, whose imports come from the system folder): no
# program can keep that one out under Wine.
PLANTED = ("winhttp", "wininet")


def test_dlls_planted_beside_the_wizard_never_run(driver, wizard, wine_env, backend):
    t = uuid.uuid4().hex[:8]
    folder = downloads_folder(wine_env["WINEPREFIX"]) / f"planted-{t}"
    folder.mkdir()
    try:
        shutil.copy(BIN / "welvane-dlm.exe", folder)
        for name in PLANTED:
            shutil.copy(BIN / "planted.dll", folder / f"{name}.dll")
        # Native first, as Windows treats a DLL in the program's folder.
        env = {"WINEDLLOVERRIDES": ",".join(PLANTED) + "=n,b"}
        run = Run(driver, wizard, wine_env, env=env, program=folder / "welvane-dlm.exe")
        # The product's first transport fails (six redirects), so the fallback one is loaded too.
        product_url = f"https://127.0.0.1/t/planted-{t}/redirect=6:-/f/{MAIN_FILE}"
        run.walk(backend, configuration(f"Planted{t}", [offer(f"planted-{t}", FILES + "offer-delta-setup.exe")],
                                        product_url=product_url), [True])
        assert run.finish_page(), "the run did not reach its end"
        ran = sorted(p.name for p in folder.glob("*.ran"))
        assert ran == [], f"planted DLLs ran: {ran}"
        driver.close(run.wiz.hwnd)
        run.wait_ended()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
