#!/usr/bin/env python3
"""Draw the application's own artwork and write it into a folder.

Usage: python3 draw_images.py OUTPUT_DIR

Writes download.png, check.png, cross.png (256x256 RGBA badges) and
welvane.ico (16 and 32 px as 32-bit BMP entries with AND mask, 48 px as PNG).
Everything is drawn here from distance functions; no external assets.
Standard library only; output is byte-for-byte deterministic.
"""
import math
import os
import struct
import sys
import zlib

BADGE = 256           # badge image size in pixels (pages show it at 30 to 40 dialog units)
UNIT = BADGE / 512.0  # the glyphs are drawn on a 512x512 grid
RADIUS = 250.0 * UNIT # badge circle radius
STROKE = 26.0 * UNIT  # half width of the white glyph strokes


# ---------------------------------------------------------------- geometry
def grid(*pts):
    """A polyline given on the 512x512 badge grid, at the badge's size."""
    return polyline(*[(x * UNIT, y * UNIT) for x, y in pts])


def polyline(*pts):
    """Turn a list of points into segments (ax, ay, ex, ey, 1/|e|^2)."""
    segs = []
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        ex, ey = bx - ax, by - ay
        segs.append((ax, ay, ex, ey, 1.0 / (ex * ex + ey * ey)))
    return segs


def bbox(segs, pad):
    """Bounding box of the segments, grown by pad."""
    xs = [v for s in segs for v in (s[0], s[0] + s[2])]
    ys = [v for s in segs for v in (s[1], s[1] + s[3])]
    return min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad


def stroke_cov(segs, hw, px, py):
    """Anti-aliased coverage of round-capped strokes of half width hw."""
    best = 1e18
    for ax, ay, ex, ey, il in segs:
        qx, qy = px - ax, py - ay
        t = (qx * ex + qy * ey) * il
        if t < 0.0:
            t = 0.0
        elif t > 1.0:
            t = 1.0
        ux, uy = qx - t * ex, qy - t * ey
        d2 = ux * ux + uy * uy
        if d2 < best:
            best = d2
    c = hw + 0.5 - math.sqrt(best)   # 0.5 - signed distance, clamped below
    return 0.0 if c <= 0.0 else (1.0 if c >= 1.0 else c)


def mix(c0, c1, t):
    """Blend two RGB tuples, t in [0, 1]."""
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def hex_rgb(h):
    return tuple(int(h[i:i + 2], 16) for i in (1, 3, 5))


# ---------------------------------------------------------------- badges
def render_badge(fill, segs):
    """Coloured disc with white strokes; returns RGBA rows (top first)."""
    c = BADGE / 2.0
    white = (255, 255, 255)
    x0b, y0b, x1b, y1b = bbox(segs, STROKE + 1.0)
    rows = []
    for y in range(BADGE):
        row = bytearray(BADGE * 4)            # all zero = fully transparent
        py = y + 0.5
        dy = py - c
        span = (RADIUS + 0.5) ** 2 - dy * dy
        if span > 0.0:
            half = math.sqrt(span)
            in_y = y0b <= py <= y1b
            for x in range(max(0, int(c - half)), min(BADGE, int(c + half) + 1)):
                px = x + 0.5
                a = RADIUS + 0.5 - math.hypot(px - c, dy)   # disc coverage
                if a <= 0.0:
                    continue
                if a > 1.0:
                    a = 1.0
                w = 0.0
                if in_y and x0b <= px <= x1b:
                    w = stroke_cov(segs, STROKE, px, py)
                r, g, b = mix(fill, white, w)
                i = x * 4
                row[i:i + 4] = bytes((int(r + 0.5), int(g + 0.5), int(b + 0.5),
                                      int(a * 255 + 0.5)))
        rows.append(bytes(row))
    return rows


def download_glyph():
    # shaft, arrow head (chevron) and an open tray underneath
    return (grid((256, 104), (256, 296)) +
            grid((180, 222), (256, 298), (332, 222)) +
            grid((134, 300), (134, 384), (378, 384), (378, 300)))


def check_glyph():
    return grid((146, 262), (218, 334), (368, 184))


def cross_glyph():
    return grid((170, 170), (342, 342)) + grid((342, 170), (170, 342))


# ---------------------------------------------------------------- png
def write_png(path, width, height, rows):
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, rows))


# ---------------------------------------------------------------- icon
def render_icon(s):
    """Rounded teal square with a white stroked "W"; RGBA rows, top first."""
    top, bottom = hex_rgb("#17A9A4"), hex_rgb("#0B6F78")   # soft gradient
    half = s / 2.0 - s / 32.0            # half extent of the square
    rad = s * 0.22                       # corner radius
    hw = max(s * 0.068, 0.95)            # stroke half width
    k = s / 100.0                        # glyph drawn on a 100x100 grid
    w_pts = [(20, 30), (35, 73), (50, 42), (65, 73), (80, 30)]
    segs = polyline(*[(x * k, y * k) for x, y in w_pts])
    c = s / 2.0
    rows = []
    for y in range(s):
        py = y + 0.5
        row = bytearray(s * 4)
        for x in range(s):
            px = x + 0.5
            # signed distance to the rounded square
            qx = abs(px - c) - (half - rad)
            qy = abs(py - c) - (half - rad)
            d = (math.hypot(max(qx, 0.0), max(qy, 0.0)) +
                 min(max(qx, qy), 0.0) - rad)
            a = 0.5 - d
            if a <= 0.0:
                continue
            a = min(a, 1.0)
            base = mix(top, bottom, py / s)
            r, g, b = mix(base, (255, 255, 255), stroke_cov(segs, hw, px, py))
            row[x * 4:x * 4 + 4] = bytes((int(r + 0.5), int(g + 0.5),
                                          int(b + 0.5), int(a * 255 + 0.5)))
        rows.append(bytes(row))
    return rows


def png_bytes(width, height, rows):
    """The bytes of an 8-bit RGBA PNG (filter 0 on every scanline)."""
    def chunk(tag, data):
        crc = zlib.crc32(tag + data) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", crc)

    raw = b"".join(b"\x00" + r for r in rows)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def write_ico(path, sizes, png_from):
    """.ico: 32-bit BGRA DIB entries plus 1-bit AND mask; entries of png_from pixels and more
    are PNG-compressed instead (Windows Vista and later read those)."""
    images = []
    for s in sizes:
        rows = render_icon(s)
        if s >= png_from:
            images.append((s, png_bytes(s, s, rows)))
            continue
        xor = bytearray()
        mask = bytearray()
        mask_stride = ((s + 31) // 32) * 4
        for row in reversed(rows):                     # DIBs are bottom-up
            bits = bytearray(mask_stride)
            for x in range(s):
                r, g, b, a = row[x * 4:x * 4 + 4]
                xor += bytes((b, g, r, a))
                if a == 0:                             # transparent -> mask 1
                    bits[x >> 3] |= 0x80 >> (x & 7)
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, s, 2 * s, 1, 32, 0,
                             len(xor) + len(mask), 0, 0, 0, 0)
        images.append((s, header + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in images:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(d for _, d in images))


# ---------------------------------------------------------------- main
def main():
    if len(sys.argv) != 2:
        sys.exit("usage: draw_images.py OUTPUT_DIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    badges = [("download.png", "#1E73D8", download_glyph()),
              ("check.png", "#2EA043", check_glyph()),
              ("cross.png", "#D93025", cross_glyph())]
    for name, colour, segs in badges:
        rows = render_badge(hex_rgb(colour), segs)
        write_png(os.path.join(out, name), BADGE, BADGE, rows)
    write_ico(os.path.join(out, "welvane.ico"), (16, 32, 48), png_from=48)


if __name__ == "__main__":
    main()
