#!/usr/bin/env python3
"""Draws the driver dialogs' pictures (logo, error, information) as 24-bit
BMP files into driver_dialogs/pictures/. Run it again after changing a
picture; the build embeds the committed files."""
import math
import pathlib
import struct

FACE = (192, 192, 192)  # the forms' face colour, so the icons sit on it


def write_bmp(path, width, height, pixel):
    row_size = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    path.write_bytes(header + info + rows)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def disc_icon(size, colour, mark):
    """A shaded disc on the face colour with a white mark drawn by mark(x, y)."""
    centre = (size - 1) / 2
    radius = size / 2 - 1.5

    def pixel(x, y):
        d = math.hypot(x - centre, y - centre)
        if d > radius + 0.5:
            return FACE
        shade = mix(colour, (255, 255, 255), max(0.0, 0.35 - d / radius * 0.35))
        inside = mix(FACE, shade, min(1.0, radius + 0.5 - d))
        return (255, 255, 255) if d < radius - 1 and mark(x - centre, y - centre) else inside

    return pixel


def error_mark(dx, dy):
    return abs(abs(dx) - abs(dy)) < 2.2 and abs(dx) < 7.5


def information_mark(dx, dy):
    dot = math.hypot(dx, dy + 7) < 2.3
    stem = abs(dx) < 2.0 and -3 <= dy <= 9
    return dot or stem


def logo(x, y, size=96):
    """Two panels joined by a flow of dots: a server feeding a kernel."""
    top, bottom = (28, 64, 120), (70, 130, 190)
    back = mix(top, bottom, y / (size - 1))
    for left in (10, 58):
        if left <= x < left + 28 and 22 <= y < 74:
            edge = x in (left, left + 27) or y in (22, 73)
            if edge:
                return (230, 236, 245)
            if 28 <= y < 70 and (y - 28) % 10 < 4 and left + 5 <= x < left + 23:
                return (250, 200, 60) if left == 10 else (120, 220, 140)
            return (40, 56, 84)
    for i, cx in enumerate((43, 48, 53)):
        if math.hypot(x - cx, y - 48) < 1.8 + i * 0.3:
            return (255, 255, 255)
    return back


def main():
    folder = pathlib.Path(__file__).resolve().parent.parent / "driver_dialogs" / "pictures"
    folder.mkdir(exist_ok=True)
    write_bmp(folder / "Logo.bmp", 96, 96, logo)
    write_bmp(folder / "Error.bmp", 32, 32, disc_icon(32, (200, 30, 30), error_mark))
    write_bmp(folder / "Information.bmp", 32, 32, disc_icon(32, (30, 80, 200), information_mark))


if __name__ == "__main__":
    main()
