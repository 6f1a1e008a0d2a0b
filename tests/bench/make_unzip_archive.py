#!/usr/bin/env python3
"""Writes the archive scripts/bench-unzip unpacks: a few thousand files of mixed sizes in nested
folders, half text that deflate shrinks and half random bytes (some of those stored), until the
archive reaches the size asked for. The same seed gives the same archive.

    make_unzip_archive.py <archive.zip> [MiB, default 200]

Prints one line: "files=<n> bytes=<unpacked bytes> archive_bytes=<archive size>".
"""
import os
import random
import sys
import zipfile


def text_pool(rng, size):
    words = ("install setup package offer folder archive program window page welcome finish download "
             "progress error value registry version machine product vendor license update file name").split()
    out = []
    length = 0
    while length < size:
        line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 14))) + f" {rng.randint(0, 99999)}\n"
        out.append(line)
        length += len(line)
    return "".join(out).encode()[:size]


def file_size(rng):
    roll = rng.random()
    if roll < 0.85:
        return rng.randint(1 << 10, 32 << 10)
    if roll < 0.98:
        return rng.randint(32 << 10, 512 << 10)
    return rng.randint(1 << 20, 8 << 20)


def main():
    path = sys.argv[1]
    target = int(sys.argv[2] if len(sys.argv) > 2 else 200) << 20
    rng = random.Random(20261209)
    pool = text_pool(rng, 16 << 20)
    files = unpacked = 0
    with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        while archive.fp.tell() < target:
            size = file_size(rng)
            folder = f"bench/d{rng.randrange(40):02d}/s{rng.randrange(8)}"
            # A few names outside ASCII: zipfile flags those as UTF-8.
            name = f"{folder}/{'café-' if files % 50 == 0 else 'f'}{files:05d}"
            if rng.random() < 0.5:
                start = rng.randrange(len(pool) - size)
                archive.writestr(name + ".txt", pool[start:start + size])
            else:
                method = zipfile.ZIP_STORED if rng.random() < 0.5 else zipfile.ZIP_DEFLATED
                archive.writestr(name + ".bin", rng.randbytes(size), compress_type=method)
            files += 1
            unpacked += size
    print(f"files={files} bytes={unpacked} archive_bytes={os.path.getsize(path)}")


if __name__ == "__main__":
    main()
