"""Puts the generated sample files into <state>/files/ when the server starts.

Pictures come from draw_samples.py. Installers are copies of our fake installer (build/bin/fakeinstaller.exe)
under the names the sample configurations and the installer flavour's built-in product use, plus ZIP
archives that hold one, and the odd files the install tests need: a crafted archive whose entries
point outside their folder, a file with the 7z signature, a file that is no program, and two
different installers that share the file name setup.exe. Copies are refreshed when the built
installer changes.
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
ARCHIVES = {"offer-gamma-setup.zip": "gamma-installer.exe",
            "zipped/product-setup.zip": "product-installer.exe"}
# archive name -> entry names, each holding the installer; entries that must never be written
CRAFTED_ARCHIVES = {"crafted/offer-crafted.zip": ["setup.exe", "../escaped.exe", "sub/../../escaped2.exe"]}
SEVEN_ZIP_SIGNATURE = b"7z\xbc\xaf\x27\x1c"
# name -> bytes: files that are not programs
ODD_FILES = {"odd/offer-7z-signature.exe": SEVEN_ZIP_SIGNATURE + b"\x00\x04" + bytes(64),
             "odd/not-a-program.exe": b"This is a text file, not a program.\r\n"}
# Two installers that share their file name; the second is one page longer, so the log tells them apart.
SAME_NAMED = {"same/one/setup.exe": b"", "same/two/setup.exe": bytes(4096)}


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
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with zipfile.ZipFile(target + ".tmp", "w", zipfile.ZIP_DEFLATED) as archive:
                archive.write(installer, inner)
                archive.writestr("readme.txt", "Sample offer packed as a ZIP archive.\r\n")
            shutil.copystat(installer, target + ".tmp")
            os.replace(target + ".tmp", target)
    with open(installer, "rb") as f:
        program = f.read()
    for name, entries in CRAFTED_ARCHIVES.items():
        target = os.path.join(files_dir, name)
        if _stale(installer, target):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with zipfile.ZipFile(target + ".tmp", "w", zipfile.ZIP_DEFLATED) as archive:
                for entry in entries:
                    archive.writestr(zipfile.ZipInfo(entry), program)  # ZipInfo keeps ".." as written
            shutil.copystat(installer, target + ".tmp")
            os.replace(target + ".tmp", target)
    for name, data in ODD_FILES.items():
        _write(os.path.join(files_dir, name), data)
    for name, padding in SAME_NAMED.items():
        target = os.path.join(files_dir, name)
        if _stale(installer, target):
            _write(target, program + padding)
            shutil.copystat(installer, target)
    return []


def _write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)
