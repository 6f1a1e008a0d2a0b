"""A PE image read from its bytes: headers, sections, resources, the import tables and the COFF symbols.

unresolved_imports(pe) lists every imported function of the image that would resolve to nothing when the
program calls it. Nothing of it runs the image, so it works for either architecture on any machine.
"""
import re
import struct

IMAGE_SYM_ABSOLUTE = 0xFFFF  # section number -1
IMAGE_SYM_CLASS_EXTERNAL = 2
DIRECTORY_IMPORT, DIRECTORY_RESOURCE, DIRECTORY_DELAY_IMPORT = 1, 2, 13
# grAttrs of a delay-load descriptor whose fields are RVAs, as the linker and dlltool write them.
DELAY_ATTRIBUTES_RVA = 1
DLL_NAME = re.compile(rb"[A-Za-z0-9_.-]{1,64}\.dll\0", re.IGNORECASE)


class Pe:
    def __init__(self, path):
        self.path = path
        self.data = path.read_bytes()
        assert self.data[:2] == b"MZ", f"{path} is no executable"
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        assert self.data[pe:pe + 4] == b"PE\0\0"
        (self.machine, sections, _, self.symbol_table, self.symbols, optional_size, _) = \
            struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        self.pointer_size = 4 if self.magic == 0x10B else 8
        self.image_base = struct.unpack_from("<I" if self.pointer_size == 4 else "<Q", self.data,
                                             optional + (28 if self.pointer_size == 4 else 24))[0]
        self.image_size = struct.unpack_from("<I", self.data, optional + 56)[0]
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        directories = optional + (96 if self.pointer_size == 4 else 112)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(16)]
        self.resource_rva = self.directories[DIRECTORY_RESOURCE][0]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + i * 40
            size, rva, raw_size, raw = struct.unpack_from("<IIII", self.data, at + 8)
            self.sections.append((rva, max(size, raw_size), raw, raw_size))

    def offset(self, rva):
        for start, size, raw, _ in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise AssertionError(f"RVA {rva:#x} is in no section")

    def in_image(self, rva):
        return 0 < rva < self.image_size

    def pointer(self, rva):
        return struct.unpack_from("<I" if self.pointer_size == 4 else "<Q", self.data, self.offset(rva))[0]

    def c_string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

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

    def thunks(self, rva):
        """The pointer-sized entries of a thunk array, up to its terminating 0."""
        while True:
            value = self.pointer(rva)
            if value == 0:
                return
            yield rva, value
            rva += self.pointer_size

    def function_name(self, entry):
        """What an import lookup entry names: "#ordinal" or the name of its hint/name entry."""
        if entry >> (8 * self.pointer_size - 1):
            return f"#{entry & 0xFFFF}"
        return self.c_string(entry + 2)

    def imports(self):
        """(dll, [(lookup entry, address slot value)]) of each ordinary import descriptor."""
        rva = self.directories[DIRECTORY_IMPORT][0]
        while rva:
            lookup, _, _, name, address = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if (lookup, name, address) == (0, 0, 0):
                return
            entries = list(self.thunks(lookup or address))
            slots = [self.pointer(address + i * self.pointer_size) for i in range(len(entries) + 1)]
            yield self.c_string(name), [(value, slots[i]) for i, (_, value) in enumerate(entries)], slots[-1]
            rva += 20

    def delay_descriptors(self):
        """RVAs of delay-load descriptors: those of the delay import directory, and any dlltool-made one
        the linker did not enter there, found by its shape (RVA attributes, a DLL name, all RVAs inside)."""
        found = set()
        rva, size = self.directories[DIRECTORY_DELAY_IMPORT]
        while rva and size and self.in_image(rva):
            if struct.unpack_from("<8I", self.data, self.offset(rva)) == (0,) * 8:
                break
            found.add(rva)
            rva += 32
        for start, _, raw, raw_size in self.sections:
            for at in range(raw, raw + raw_size - 31, 4):
                attributes, name, module, table, names = struct.unpack_from("<5I", self.data, at)
                if attributes != DELAY_ATTRIBUTES_RVA or not all(map(self.in_image, (name, module, table, names))):
                    continue
                try:
                    if DLL_NAME.match(self.data, self.offset(name)):
                        found.add(start + at - raw)
                except AssertionError:
                    continue
        return sorted(found)

    def coff_symbols(self):
        """(name, value, section number, storage class) of each COFF symbol (none in a stripped image)."""
        if not self.symbol_table:
            return
        strings = self.symbol_table + 18 * self.symbols
        index = 0
        while index < self.symbols:
            at = self.symbol_table + 18 * index
            raw_name, value, section, _, storage, aux = struct.unpack_from("<8sIHHBB", self.data, at)
            if raw_name[:4] == b"\0\0\0\0":
                offset = strings + struct.unpack_from("<I", raw_name, 4)[0]
                name = self.data[offset:self.data.index(b"\0", offset)]
            else:
                name = raw_name.rstrip(b"\0")
            yield name.decode("latin-1"), value, section, storage
            index += 1 + aux


def unresolved_imports(pe):
    """Every imported function of `pe` that a call would find resolved to nothing, as readable lines:
    - an ordinary import whose address slot is empty, names nothing, or disagrees with its lookup entry;
    - a delay-load descriptor with an empty or outside address slot (the first call jumps there);
    - in an image with symbols: a function whose import pointer (__imp_X) exists but whose own symbol X
      the linker made an absolute 0, which is where the call's thunk then points."""
    problems = []
    for dll, entries, terminator in pe.imports():
        if not entries:
            problems.append(f"{dll}: an import descriptor with no function")
        if terminator != 0:
            problems.append(f"{dll}: the address table runs past its lookup table")
        for lookup, slot in entries:
            name = pe.function_name(lookup)
            if slot != lookup:
                problems.append(f"{dll}!{name}: address slot {slot:#x} differs from its lookup entry {lookup:#x}")
            elif not name:
                problems.append(f"{dll}: an import names no function")
    base, end = pe.image_base, pe.image_base + pe.image_size
    for descriptor in pe.delay_descriptors():
        _, name, _, table, names = struct.unpack_from("<5I", pe.data, pe.offset(descriptor))
        dll = pe.c_string(name)
        entries = list(pe.thunks(names))
        if not entries:
            problems.append(f"{dll} (delay-loaded): a descriptor with no function")
        for i, (_, lookup) in enumerate(entries):
            slot = pe.pointer(table + i * pe.pointer_size)
            if not base <= slot < end:
                problems.append(f"{dll}!{pe.function_name(lookup)} (delay-loaded): address slot holds {slot:#x}, "
                                f"outside the image")
    symbols = list(pe.coff_symbols())
    imported = {name[len("__imp_"):] for name, _, _, _ in symbols if name.startswith("__imp_")}
    for name, value, section, storage in symbols:
        if (name in imported and section == IMAGE_SYM_ABSOLUTE and value == 0
                and storage == IMAGE_SYM_CLASS_EXTERNAL):
            problems.append(f"{name}: an imported function resolved to the absolute address 0")
    return problems
