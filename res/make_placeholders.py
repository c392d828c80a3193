#!/usr/bin/python3
"""Writes a simple stand-in for the program's music until the real module replaces it.
(The pictures, icon and cursor are drawn by make_art.py.)

XM: a small valid module (one pattern, one instrument with a looped sample)."""
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def out(name):
    return os.path.join(HERE, name)


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
    music()
    sys.exit(0)
