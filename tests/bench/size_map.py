"""What takes the space in a linked wizard: its sections, and the libraries and objects that fill them,
read from the linker's map (only what the link kept). Used by scripts/bench-size."""
import collections
import re
import subprocess
import sys

OUR_LIBRARY = "libwelvane_core.a"
SECTION_LINE = re.compile(r"^ (\.(text|rdata|eh_frame|data)\S*)(?:\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+))?\s*$")
CONTINUED = re.compile(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)\s*$")


def kept_parts(map_text):
    """{(library or object, section kind): bytes} for the input sections the link kept."""
    kept = map_text[map_text.find("Linker script and memory map"):]
    sizes = collections.Counter()
    pending = None
    for line in kept.split("\n"):
        found = SECTION_LINE.match(line)
        if found and found.group(3) is None:
            pending = found.group(2)
            continue
        if found:
            kind, size, source = found.group(2), int(found.group(3), 16), found.group(4)
        else:
            rest = CONTINUED.match(line)
            if not (rest and pending):
                continue
            kind, size, source = pending, int(rest.group(1), 16), rest.group(2)
        pending = None
        name = source.rsplit("/", 1)[-1]
        library = re.match(r"(.*\.a)\((.*)\)", name)
        sizes[(library.group(1) if library else name, kind)] += size
        if library and library.group(1) == OUR_LIBRARY:
            sizes[(library.group(2), "ours")] += size
    return sizes


def sections(exe, objdump):
    rows = subprocess.run([objdump, "-h", exe], capture_output=True, text=True, check=True).stdout.splitlines()
    found = []
    for row in rows:
        fields = row.split()
        if len(fields) > 3 and fields[0].isdigit() and fields[1].startswith("."):
            found.append((fields[1], int(fields[2], 16)))
    return found


def main():
    exe, map_path, objdump = sys.argv[1:4]
    print("sections:", ", ".join(f"{name} {size / 1024:.0f} KB" for name, size in sections(exe, objdump)))
    with open(map_path, errors="replace") as handle:
        parts = kept_parts(handle.read())
    totals = collections.Counter()
    ours = collections.Counter()
    for (library, kind), size in parts.items():
        if kind == "ours":
            ours[library] += size
        else:
            totals[library] += size
    print("largest parts (code, read-only data, unwind tables):")
    for library, size in totals.most_common(10):
        detail = ", ".join(f"{kind} {parts[(library, kind)] / 1024:.0f}" for kind in ("text", "rdata", "eh_frame"))
        print(f"  {size / 1024:6.0f} KB  {library}  ({detail})")
    print(f"largest objects of {OUR_LIBRARY}:")
    for name, size in ours.most_common(8):
        print(f"  {size / 1024:6.0f} KB  {name}")


if __name__ == "__main__":
    main()
