#!/usr/bin/python3
"""Writes the bitmap each PngSuite image should decode to, as a .bmp file, from Debian's
Pillow (python3-pil) and the decoder's conversion rules, independently of our decoder.

Rules applied: top-down DIB (negative height); bit count 1/4/8/24/32 by kind; grey ramps
of 2, 4, 16 or 256 levels (biClrUsed = levels); PNG palette in a 2^bits table, unset entries
black; 16-bit samples cut to their high byte; grey alpha dropped, RGBA alpha kept; BGR order.
The .bmp holds the file header, the 40-byte info header, the colour table and the rows.

Run: /usr/bin/python3 tests/png/make_pngsuite_expected.py <pngsuite dir> <output dir>
"""
import io
import os
import struct
import sys
import zlib

from PIL import Image


def chunks(data):
    pos = 8
    while pos + 12 <= len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        yield data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += length + 12


def with_fixed_crcs(data):
    """The decoder checks no CRC; Pillow does, so hand it the same file with good CRCs."""
    out = bytearray(data[:8])
    for kind, body in chunks(data):
        out += struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    return bytes(out)


def bit_count(colour, depth):
    return {2: 24, 6: 32, 4: 8}.get(colour, {2: 4, 16: 8}.get(depth, depth))


def colour_table(colour, depth, bits, palette):
    if colour in (0, 4):
        levels = 256 if depth == 16 else 4 if depth == 2 else 1 << bits
        return [(i * 255 // (levels - 1),) * 3 for i in range(levels)], levels
    if colour == 3:
        entries = [(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]) for i in range(len(palette) // 3)]
        entries = entries[:1 << bits]
        return entries + [(0, 0, 0)] * ((1 << bits) - len(entries)), 0
    return [], 0


def pixel_values(image, colour, depth):
    """One row of values per image row: indices/grey levels, or (b, g, r[, a]) tuples."""
    w, h = image.size
    px = image.load()
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            v = px[x, y]
            if colour == 0:
                if depth == 1:
                    v = 1 if v else 0
                elif depth in (2, 4):
                    v = v // (255 // ((1 << depth) - 1))
                elif depth == 16:
                    v = v >> 8
            elif colour == 4:
                v = v[0]
            elif colour == 2:
                v = (v[2], v[1], v[0])
            elif colour == 6:
                v = (v[2], v[1], v[0], v[3])
            row.append(v)
        rows.append(row)
    return rows


def pack_row(row, bits, stride):
    out = bytearray(stride)
    if bits >= 8:
        flat = [c for v in row for c in (v if isinstance(v, tuple) else (v,))]
        out[:len(flat)] = bytes(flat)
    else:
        per_byte = 8 // bits
        for x, v in enumerate(row):
            out[x // per_byte] |= v << (8 - bits * (x % per_byte + 1))
    return bytes(out)


def expected_bmp(data):
    ihdr = next(body for kind, body in chunks(data) if kind == b"IHDR")
    width, height, depth, colour = struct.unpack(">IIBB", ihdr[:10])
    palette = next((body for kind, body in chunks(data) if kind == b"PLTE"), b"")
    image = Image.open(io.BytesIO(with_fixed_crcs(data)))
    image.load()
    bits = bit_count(colour, depth)
    table, used = colour_table(colour, depth, bits, palette)
    stride = (width * bits + 31) // 32 * 4
    pixels = b"".join(pack_row(r, bits, stride) for r in pixel_values(image, colour, depth))
    table_bytes = b"".join(bytes((b, g, r, 0)) for (r, g, b) in table)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height, 1, bits, 0, 0, 0, 0, used, 0)
    offset = 14 + len(info) + len(table_bytes)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + table_bytes + pixels


def main():
    source, target = sys.argv[1], sys.argv[2]
    for name in sorted(os.listdir(source)):
        # x* files are corrupt; the two whose only fault is a CRC decode all the same.
        if not name.endswith(".png") or (name.startswith("x") and name not in ("xcsn0g01.png", "xhdn0g08.png")):
            continue
        with open(os.path.join(source, name), "rb") as f:
            bmp = expected_bmp(f.read())
        with open(os.path.join(target, name[:-4] + ".bmp"), "wb") as f:
            f.write(bmp)


if __name__ == "__main__":
    main()
