#!/usr/bin/python3
"""Writes simple stand-ins for the program's pictures, icon, cursor and music, in exactly
the sizes and formats the program expects, until the real artwork replaces them.

PNG: skin 450x212 RGBA 8-bit; link button 227x27 RGB 8-bit; small buttons 20x20 RGB 8-bit.
ICO: one 48x48 32-bit image. CUR: one 32x32 24-bit arrow, hot spot (1, 1).
XM: a small valid module (one pattern, one instrument with a looped sample)."""
import math
import os
import struct
import sys

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))


def out(name):
    return os.path.join(HERE, name)


def pictures():
    skin = Image.new("RGBA", (450, 212), (24, 32, 48, 255))
    d = ImageDraw.Draw(skin)
    d.text((20, 20), "Orvenne Labs", fill=(230, 230, 240, 255))
    skin.save(out("skin.png"))
    for state, colour in (("normal", (60, 90, 140)), ("hover", (80, 120, 180)), ("pressed", (40, 60, 100))):
        Image.new("RGB", (227, 27), colour).save(out("link_%s.png" % state))
        Image.new("RGB", (20, 20), colour).save(out("minimize_%s.png" % state))
        Image.new("RGB", (20, 20), colour).save(out("close_%s.png" % state))


def dib(width, height, bits, pixel):
    """A DIB as icons and cursors hold it: header with doubled height, bottom-up colour
    rows, then the 1-bit AND mask (all 0: every pixel drawn)."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    stride = (width * bits // 8 + 3) & ~3
    rows = b""
    for y in range(height - 1, -1, -1):
        row = b"".join(pixel(x, y) for x in range(width))
        rows += row + b"\0" * (stride - len(row))
    mask_stride = ((width + 31) // 32) * 4
    return header + rows + b"\0" * (mask_stride * height)


def icon_file(kind, width, height, bits, image, hotspot=(0, 0)):
    planes_or_x, bits_or_y = (1, bits) if kind == 1 else hotspot
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, planes_or_x, bits_or_y, len(image), 22)
    return struct.pack("<HHH", 0, kind, 1) + entry + image


def icon_and_cursor():
    def icon_pixel(x, y):
        inside = (x - 23.5) ** 2 + (y - 23.5) ** 2 < 22 ** 2
        return bytes((160, 110, 40, 255)) if inside else bytes((0, 0, 0, 0))

    with open(out("orvenne.ico"), "wb") as f:
        f.write(icon_file(1, 48, 48, 32, dib(48, 48, 32, icon_pixel)))

    def arrow_pixel(x, y):
        # A plain arrow whose tip is at (1, 1); black outline, white body, rest transparent-ish black.
        if x >= 1 and y >= 1 and x - 1 <= (y - 1) * 0.6 and y <= 20:
            edge = x == 1 or x - 1 >= int((y - 1) * 0.6) or y == 20
            return bytes((0, 0, 0)) if edge else bytes((255, 255, 255))
        return bytes((0, 0, 0))

    with open(out("arrow.cur"), "wb") as f:
        f.write(icon_file(2, 32, 32, 24, dib(32, 32, 24, arrow_pixel), hotspot=(1, 1)))


def music():
    channels, rows = 8, 64
    header = b"Extended Module: " + b"placeholder".ljust(20, b"\0") + b"\x1a" + b"rescript".ljust(20, b"\0")
    header += struct.pack("<H", 0x0104)
    orders = bytes([0]) + bytes(255)
    header += struct.pack("<IHHHHHHHH", 276, 1, 0, channels, 1, 1, 1, 6, 125) + orders
    cells = b""
    for r in range(rows):
        for c in range(channels):
            if c == 0 and r % 16 == 0:
                cells += bytes([0x80 | 0x03, 49 + (r // 16) * 4, 1])
            else:
                cells += b"\x80"
    pattern = struct.pack("<IBHH", 9, 0, rows, len(cells)) + cells
    length = 64
    wave = [int(100 * math.sin(2 * math.pi * i / length)) for i in range(length)]
    deltas, prev = bytearray(), 0
    for v in wave:
        deltas.append((v - prev) & 0xFF)
        prev = v
    inst = struct.pack("<I22sBHI", 263, b"sine", 0, 1, 40)
    inst += bytes(96)  # keymap: every note plays sample 0
    env = struct.pack("<12H", 0, 64, 10, 48, 40, 0, *([0] * 6)) + bytes(24)
    inst += env + bytes(48)
    inst += bytes([3, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0]) + struct.pack("<H", 256)
    inst += bytes(263 - len(inst))
    sample = struct.pack("<IIIBbBBbB22s", length, 0, length, 48, 0, 1, 128, 0, 0, b"sine")
    with open(out("music.xm"), "wb") as f:
        f.write(header + pattern + inst + sample + bytes(deltas))


if __name__ == "__main__":
    pictures()
    icon_and_cursor()
    music()
    sys.exit(0)
