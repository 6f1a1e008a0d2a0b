"""What the build produces: the wizards as shipped are 32-bit GUI executables with their manifest,
stripped; the 64-bit build (on machines that cannot run 32-bit programs) is the same for amd64. Every
function the wizards and the unit test program import resolves to something, and the system DLLs that
the program's own folder could supply are not in the wizards' import tables.

Reads the PE headers, the import tables and the resource directory of the built files directly: nothing
is run, so the 32-bit build is checked on every machine.
"""
import os
from pathlib import Path

import pytest

from pe import Pe, unresolved_imports

ROOT = Path(__file__).resolve().parents[2]
_build64 = os.environ.get("WELVANE_BUILD") if os.environ.get("WELVANE_ARCH") == "x86_64" else None
BUILDS = {"i686": ROOT / "build" / "bin", "x86_64": Path(_build64 or ROOT / "build-x86_64") / "bin"}
MACHINE = {"i686": 0x014C, "x86_64": 0x8664}
OPTIONAL_MAGIC = {"i686": 0x10B, "x86_64": 0x20B}
MANIFEST_ARCH = {"i686": 'processorArchitecture="x86"', "x86_64": 'processorArchitecture="amd64"'}
SUBSYSTEM_GUI = 2
RT_MANIFEST = 24


# Not KnownDLLs: an import table naming them would be resolved from the program's folder first.
LOADED_FROM_THE_SYSTEM_FOLDER = {"winhttp.dll", "wininet.dll", "version.dll", "comctl32.dll"}


def built(arch):
    folder = BUILDS[arch]
    if not (folder / "welvane-dlm.exe").exists():
        pytest.skip(f"the {arch} build is not here ({folder}): only the build this machine runs is made")
    return folder


@pytest.mark.parametrize("arch", ["i686", "x86_64"])
@pytest.mark.parametrize("flavour", ["dlm", "isv"])
def test_wizard_is_a_gui_executable_with_its_manifest(arch, flavour):
    exe = Pe(built(arch) / f"welvane-{flavour}.exe")
    assert exe.machine == MACHINE[arch]
    assert exe.magic == OPTIONAL_MAGIC[arch]
    assert exe.subsystem == SUBSYSTEM_GUI
    assert (exe.symbol_table, exe.symbols) == (0, 0), "release executables are stripped"
    manifests = list(exe.resources(RT_MANIFEST))
    assert len(manifests) == 1
    manifest = manifests[0].decode("utf-8")
    assert 'level="requireAdministrator"' in manifest
    assert 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' in manifest
    assert MANIFEST_ARCH[arch] in manifest
    assert manifest.count("<supportedOS ") == 5


@pytest.mark.parametrize("arch", ["i686", "x86_64"])
@pytest.mark.parametrize("program", ["welvane-dlm.exe", "welvane-isv.exe", "welvane-unit-tests.exe"])
def test_every_imported_function_resolves(arch, program):
    exe = Pe(built(arch) / program)
    assert unresolved_imports(exe) == []
    if program != "welvane-unit-tests.exe":  # the tests call WinHTTP and the common controls directly
        named = {dll.lower() for dll, _, _ in exe.imports()}
        assert not named & LOADED_FROM_THE_SYSTEM_FOLDER
        assert not exe.delay_descriptors(), "the wizards load these DLLs themselves, nothing is delay-loaded"


@pytest.mark.parametrize("arch", ["i686", "x86_64"])
def test_an_empty_import_slot_is_found(arch, tmp_path):
    exe = Pe(built(arch) / "welvane-dlm.exe")
    dll, entries, _ = next(exe.imports())
    rva = exe.directories[1][0]
    address = int.from_bytes(exe.data[exe.offset(rva) + 16:exe.offset(rva) + 20], "little")
    broken = bytearray(exe.data)
    at = exe.offset(address)
    broken[at:at + exe.pointer_size] = bytes(exe.pointer_size)
    (tmp_path / "broken.exe").write_bytes(broken)
    problems = unresolved_imports(Pe(tmp_path / "broken.exe"))
    assert len(problems) == 1 and problems[0].startswith(f"{dll}!{exe.function_name(entries[0][0])}: address slot 0x0")
