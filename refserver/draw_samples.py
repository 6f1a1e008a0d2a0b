#!/usr/bin/python3
"""Draws the sample offer banners and product logos as PNG files (stdlib only).

    python3 refserver/draw_samples.py OUT_DIR

Each picture is a colour gradient with a disc and a label in a blocky 5x7 font, so screenshots show
at a glance which offer a page displays.
"""
import os
import struct
import sys
import zlib

FONT = {
    "A": "01110 10001 10001 11111 10001 10001 10001", "B": "11110 10001 10001 11110 10001 10001 11110",
    "C": "01110 10001 10000 10000 10000 10001 01110", "D": "11110 10001 10001 10001 10001 10001 11110",
    "E": "11111 10000 10000 11110 10000 10000 11111", "F": "11111 10000 10000 11110 10000 10000 10000",
    "G": "01110 10001 10000 10111 10001 10001 01111", "H": "10001 10001 10001 11111 10001 10001 10001",
    "I": "01110 00100 00100 00100 00100 00100 01110", "J": "00111 00010 00010 00010 00010 10010 01100",
    "K": "10001 10010 10100 11000 10100 10010 10001", "L": "10000 10000 10000 10000 10000 10000 11111",
    "M": "10001 11011 10101 10101 10001 10001 10001", "N": "10001 10001 11001 10101 10011 10001 10001",
    "O": "01110 10001 10001 10001 10001 10001 01110", "P": "11110 10001 10001 11110 10000 10000 10000",
    "Q": "01110 10001 10001 10001 10101 10010 01101", "R": "11110 10001 10001 11110 10100 10010 10001",
    "S": "01111 10000 10000 01110 00001 00001 11110", "T": "11111 00100 00100 00100 00100 00100 00100",
    "U": "10001 10001 10001 10001 10001 10001 01110", "V": "10001 10001 10001 10001 10001 01010 00100",
    "W": "10001 10001 10001 10101 10101 10101 01010", "X": "10001 10001 01010 00100 01010 10001 10001",
    "Y": "10001 10001 01010 00100 00100 00100 00100", "Z": "11111 00001 00010 00100 01000 10000 11111",
    "0": "01110 10001 10011 10101 11001 10001 01110", "1": "00100 01100 00100 00100 00100 00100 01110",
    "2": "01110 10001 00001 00010 00100 01000 11111", "3": "11111 00010 00100 00010 00001 10001 01110",
    "4": "00010 00110 01010 10010 11111 00010 00010", "5": "11111 10000 11110 00001 00001 10001 01110",
    "6": "00110 01000 10000 11110 10001 10001 01110", "7": "11111 00001 00010 00100 01000 01000 01000",
    "8": "01110 10001 10001 01110 10001 10001 01110", "9": "01110 10001 10001 01111 00001 00010 01100",
    "-": "00000 00000 00000 11111 00000 00000 00000", " ": "00000 00000 00000 00000 00000 00000 00000",
}

# file name -> (width, height, top colour, bottom colour, label)
PICTURES = {
    "offer-alpha.png": (624, 320, (30, 90, 200), (10, 30, 90), "ALPHA NOTES"),
    "offer-beta.png": (624, 320, (30, 160, 80), (10, 60, 30), "BETA CLEANER"),
    "offer-gamma.png": (624, 320, (200, 110, 20), (90, 40, 10), "GAMMA ZIP"),
    "offer-delta.png": (624, 320, (150, 40, 160), (60, 10, 70), "DELTA"),
    "offer-epsilon.png": (624, 320, (20, 150, 160), (10, 60, 70), "EPSILON"),
    "offer-zeta.png": (624, 320, (180, 40, 40), (70, 10, 10), "ZETA"),
    "welvane-tester-logo.png": (320, 120, (60, 60, 70), (20, 20, 30), "WELVANE TESTER"),
    "welvane-demo-logo.png": (320, 120, (40, 100, 150), (15, 35, 60), "DEMO PLAYER"),
}


def _png(width, height, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def _mix(a, b, t):
    return tuple(int(x + (y - x) * t) for x, y in zip(a, b))


def draw(width, height, top, bottom, label):
    rows = [bytearray(bytes(_mix(top, bottom, y / max(1, height - 1))) * width) for y in range(height)]
    # A pale disc on the left.
    cx, cy, r = height // 2, height // 2, height * 3 // 8
    for y in range(cy - r, cy + r + 1):
        half = int((r * r - (y - cy) ** 2) ** 0.5)
        rows[y][(cx - half) * 3:(cx + half) * 3] = bytes(_mix(top, (255, 255, 255), 0.6)) * (2 * half)
    # The label, scaled to fit right of the disc.
    text = label.upper()
    room = width - 2 * cx
    scale = max(1, min(room // (6 * len(text) + 1), height // 10))
    x0 = 2 * cx + (room - 6 * scale * len(text)) // 2
    y0 = (height - 7 * scale) // 2
    white = bytes((255, 255, 255)) * scale
    for i, ch in enumerate(text):
        glyph = FONT.get(ch, FONT[" "]).split()
        for gy, bits in enumerate(glyph):
            for gx, bit in enumerate(bits):
                if bit == "1":
                    x = x0 + (i * 6 + gx) * scale
                    for y in range(y0 + gy * scale, y0 + (gy + 1) * scale):
                        rows[y][x * 3:(x + scale) * 3] = white
    return _png(width, height, rows)


def draw_all(out_dir, only_missing=True):
    os.makedirs(out_dir, exist_ok=True)
    for name, (w, h, top, bottom, label) in PICTURES.items():
        path = os.path.join(out_dir, name)
        if only_missing and os.path.exists(path):
            continue
        with open(path + ".tmp", "wb") as f:
            f.write(draw(w, h, top, bottom, label))
        os.replace(path + ".tmp", path)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    draw_all(sys.argv[1], only_missing=False)
