"""What the build produces: the wizards as shipped are 32-bit GUI executables with their manifest,
stripped; the 64-bit build (on machines that cannot run 32-bit programs) is the same for amd64.

Reads the PE headers and the resource directory of the built files directly.
"""
import os
import struct
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
_build64 = os.environ.get("WELVANE_BUILD") if os.environ.get("WELVANE_ARCH") == "x86_64" else None
BUILDS = {"i686": ROOT / "build" / "bin", "x86_64": Path(_build64 or ROOT / "build-x86_64") / "bin"}
MACHINE = {"i686": 0x014C, "x86_64": 0x8664}
OPTIONAL_MAGIC = {"i686": 0x10B, "x86_64": 0x20B}
MANIFEST_ARCH = {"i686": 'processorArchitecture="x86"', "x86_64": 'processorArchitecture="amd64"'}
SUBSYSTEM_GUI = 2
RT_MANIFEST = 24


class Pe:
    def __init__(self, path):
        self.data = path.read_bytes()
        assert self.data[:2] == b"MZ", f"{path} is no executable"
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        assert self.data[pe:pe + 4] == b"PE\0\0"
        (self.machine, sections, _, self.symbol_table, self.symbols, optional_size, _) = \
            struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", self.data, directories + 2 * 8)[0]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + i * 40
            size, rva, raw_size, raw = struct.unpack_from("<IIII", self.data, at + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise AssertionError(f"RVA {rva:#x} is in no section")

    def resources(self, type_id):
        """The data of every resource of a numeric type."""
        base = self.offset(self.resource_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, directory + 16 + i * 8)
                yield name, target

        def leaves(target):
            if target & 0x80000000:
                for _, child in entries(base + (target & 0x7FFFFFFF)):
                    yield from leaves(child)
            else:
                rva, size = struct.unpack_from("<II", self.data, base + target)
                yield self.data[self.offset(rva):self.offset(rva) + size]

        for name, target in entries(base):
            if name == type_id:
                yield from leaves(target)


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
