"""Puts the generated sample files into <state>/files/ when the server starts.

Pictures come from draw_samples.py. Installers are copies of our fake installer (build/bin/fakeinstaller.exe)
under the names the sample configurations and the installer flavour's built-in product use, plus a
ZIP archive that holds one. Copies are refreshed when the built installer changes.
"""
import os
import shutil
import zipfile

import draw_samples

INSTALLER_NAMES = [
    "fakeinstaller.exe",
    "welvane-tester-setup.exe",          # the installer flavour's built-in main product
    "welvane-demo-player-setup.exe",     # the main product of the download-manager samples
    "offer-alpha-setup.exe",
    "offers/offer-beta-setup.exe",       # referred to by a relative name, resolved against /f/
    "offer-delta-setup.exe",
    "offer-epsilon-setup.exe",
    "offer-zeta-setup.exe",
]
# archive name -> name of the installer inside it
ARCHIVES = {"offer-gamma-setup.zip": "gamma-installer.exe"}


def _stale(source, target):
    if not os.path.exists(target):
        return True
    s, t = os.stat(source), os.stat(target)
    return s.st_size != t.st_size or s.st_mtime > t.st_mtime


def prepare(files_dir, installer):
    """Returns a list of warnings (empty when everything is in place)."""
    draw_samples.draw_all(files_dir)
    if not installer or not os.path.isfile(installer):
        return [f"no fake installer at {installer}: the sample installers are not served"]
    for name in INSTALLER_NAMES:
        target = os.path.join(files_dir, name)
        if _stale(installer, target):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(installer, target + ".tmp")
            os.replace(target + ".tmp", target)
    for name, inner in ARCHIVES.items():
        target = os.path.join(files_dir, name)
        if _stale(installer, target):
            with zipfile.ZipFile(target + ".tmp", "w", zipfile.ZIP_DEFLATED) as archive:
                archive.write(installer, inner)
                archive.writestr("readme.txt", "Sample offer packed as a ZIP archive.\r\n")
            shutil.copystat(installer, target + ".tmp")
            os.replace(target + ".tmp", target)
    return []
