#!/usr/bin/env python3
"""Draws the window icon (16x16) and the program icon (32x32) as PNG files,
and the Windows icon (16, 32, 48 and 256 pixels) that the disc shows there.

The design: the six capitals T A V / E L O in yellow on black, olive bands;
the large icon outlines its letters in teal. Colours are from the standard
16-colour palette. Run from the repository root; writes app/icons/*.png.
"""
import struct
import zlib

BLACK, OLIVE, TEAL, YELLOW = (0, 0, 0), (128, 128, 0), (0, 128, 128), (255, 255, 0)

# 4 x 5 capitals.
GLYPHS = {
    "T": ["####", ".##.", ".##.", ".##.", ".##."],
    "A": [".##.", "#..#", "####", "#..#", "#..#"],
    "V": ["#..#", "#..#", "#..#", ".##.", ".##."],
    "E": ["####", "#...", "###.", "#...", "####"],
    "L": ["#...", "#...", "#...", "#...", "####"],
    "O": [".##.", "#..#", "#..#", "#..#", ".##."],
}


def png_bytes(pixels):
    h, w = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def png(path, pixels):
    with open(path, "wb") as f:
        f.write(png_bytes(pixels))


def scaled(pixels, k):
    """Each pixel as k x k: the letters stay sharp at the larger sizes."""
    return [[px for px in row for _ in range(k)] for row in pixels for _ in range(k)]


def ico(path, images):
    """An icon file of PNG-compressed images (Windows Vista and later read
    them at every size)."""
    head = struct.pack("<HHH", 0, 1, len(images))
    blobs = [png_bytes(img) for img in images]
    offset = len(head) + 16 * len(images)
    entries = b""
    for img, blob in zip(images, blobs):
        side = len(img)
        entries += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(head + entries + b"".join(blobs))


def small():
    img = [[BLACK] * 16 for _ in range(16)]
    for r in (0, 14, 15):          # rows 1, 15, 16
        img[r] = [OLIVE] * 16
    for line, word in ((2, "TAV"), (8, "ELO")):   # rows 3-7 and 9-13
        for i, ch in enumerate(word):
            x0 = 1 + i * 5
            for dy, row in enumerate(GLYPHS[ch]):
                for dx, bit in enumerate(row):
                    if bit == "#":
                        img[line + dy][x0 + dx] = YELLOW
    return img


def large():
    img = [[BLACK] * 32 for _ in range(32)]
    for r in (0, 28, 30):          # rows 1, 29, 31
        img[r] = [OLIVE] * 32
    for top, word in ((2, "TAV"), (15, "ELO")):   # rows 3-14 and 16-27
        for i, ch in enumerate(word):
            x0 = 1 + i * 10
            # Each glyph pixel becomes 2 x 2, one pixel lower for the outline.
            cells = set()
            for dy, row in enumerate(GLYPHS[ch]):
                for dx, bit in enumerate(row):
                    if bit == "#":
                        for a in range(2):
                            for b in range(2):
                                cells.add((top + 1 + dy * 2 + a, x0 + 1 + dx * 2 + b))
            for (y, x) in cells:
                for ny in (y - 1, y, y + 1):
                    for nx in (x - 1, x, x + 1):
                        if (ny, nx) not in cells and top <= ny < top + 12 and 0 <= nx < 32:
                            img[ny][nx] = TEAL
            for (y, x) in cells:
                img[y][x] = YELLOW
    return img


if __name__ == "__main__":
    png("app/icons/window16.png", small())
    png("app/icons/program32.png", large())
    ico("app/icons/tavelo.ico", [small(), large(), scaled(small(), 3), scaled(large(), 8)])
