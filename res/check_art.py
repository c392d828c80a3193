#!/usr/bin/python3
"""Checks the artwork files against what the program needs of them.

- Every file the resource script names for ids 200, 300 and 500-703 exists, in its format:
  PNGs hold exactly IHDR, IDAT, IEND with good CRCs, 8-bit, not interlaced, RGBA for the
  skin and RGB (colour type 2) for the buttons, in the sizes the window uses; Pillow's
  decoding of each equals the picture as drawn.
- Regenerating gives the same bytes twice and the same bytes as the files: the script is
  deterministic and the checked-in files are current.
- The skin is opaque and shows more than its ground. Each button state leaves its margins exactly equal to the skin
  under the button, draws something visible, and differs clearly from its other states.
- The icon is one 48x48 32-bit BMP-format image whose AND mask is set exactly where its
  alpha is 0; the cursor is one 32x32 24-bit image, hot spot (1, 1) on an opaque pixel,
  black where transparent, and a real arrow rather than a square. Both are decoded by a
  reader of their own below and compared with Pillow's reading where Pillow has one.
Prints each problem and returns 1 if any; run through make_art.py."""
import io
import os
import re
import struct
import sys
import zlib

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))

PNG_FORMATS = {  # id: (width, height, colour type)
    500: (450, 212, 6),
    **{i: (227, 27, 2) for i in (501, 502, 503)},
    **{i: (20, 20, 2) for i in (601, 602, 603, 701, 702, 703)},
}
BUTTONS = {  # name: (top-left on the face, ids, margins the states must leave as skin)
    "link": ((113, 168), (501, 502, 503), (np.s_[23:, :], np.s_[:, 223:])),
    "minimize": ((391, 7), (601, 602, 603), (np.s_[0, :], np.s_[-1, :], np.s_[:, 0], np.s_[:, -1])),
    "close": ((419, 7), (701, 702, 703), (np.s_[0, :], np.s_[-1, :], np.s_[:, 0], np.s_[:, -1])),
}
# A pixel counts as changed when some channel moved by this much. A state must change at
# least DRAWN_SHARE of its button against the skin (the normal minimize glyph alone is about
# 5%), and a quarter of it against each other state: a new plate or fill, not a glyph
# nudged by a pixel (about 15%).
VISIBLE_STEP = 24
DRAWN_SHARE = 0.03
STATE_SHARE = 0.25
# The mark, title and tagline cover about 9% of the face; a blank ground covers none.
FACE_SHARE = 0.05


def resource_files(res_dir):
    """{id: file name} for the icon, cursor and raw-data entries of the resource script."""
    text = open(os.path.join(res_dir, "resources.rc"), encoding="ascii").read()
    found = re.findall(r'^(\d+)\s+(?:RCDATA|ICON|CURSOR)\s+"([^"]+)"', text, re.M)
    return {int(i): name for i, name in found}


def png_chunks(data):
    """[(type, payload)] of a PNG; raises ValueError on a bad signature, length or CRC."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    chunks, pos = [], 8
    while pos < len(data):
        if pos + 12 > len(data):
            raise ValueError("truncated chunk at %d" % pos)
        length, kind = struct.unpack_from(">I4s", data, pos)
        if pos + 12 + length > len(data):
            raise ValueError("chunk %r runs past the end" % kind)
        payload = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack_from(">I", data, pos + 8 + length)
        if crc != zlib.crc32(kind + payload):
            raise ValueError("bad CRC in %r" % kind)
        chunks.append((kind, payload))
        pos += 12 + length
    return chunks


def check_png(name, data, expected):
    width, height, colour_type = expected
    try:
        chunks = png_chunks(data)
    except ValueError as e:
        return ["%s: %s" % (name, e)]
    kinds = [k for k, _ in chunks]
    if kinds != [b"IHDR", b"IDAT", b"IEND"]:
        return ["%s: chunks %s, want IHDR IDAT IEND only" % (name, b" ".join(kinds).decode())]
    got = struct.unpack(">IIBBBBB", chunks[0][1])
    want = (width, height, 8, colour_type, 0, 0, 0)
    if got != want:
        return ["%s: IHDR %s, want %s" % (name, got, want)]
    return []


def read_group(data):
    """Decodes a one-image .ico or .cur file: (kind, directory entry fields, DIB header
    fields, pixels top-down as RGB or RGBA, transparency from the AND mask)."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind not in (1, 2) or count != 1:
        raise ValueError("header %s, want one image of an icon or cursor" % ((reserved, kind, count),))
    entry = struct.unpack_from("<BBBBHHII", data, 6)
    size, offset = entry[6], entry[7]
    if offset + size != len(data):
        raise ValueError("image at %d of %d bytes does not end the file of %d" % (offset, size, len(data)))
    dib = struct.unpack_from("<IiiHHIIiiII", data, offset)
    _, w, h2, planes, bits, compression = dib[:6]
    if compression != 0 or planes != 1 or bits not in (24, 32) or h2 % 2:
        raise ValueError("DIB header %s is not an uncompressed 24/32-bit icon image" % (dib,))
    h, n = h2 // 2, bits // 8
    stride, mask_stride = (w * n + 3) & ~3, ((w + 31) // 32) * 4
    if 40 + stride * h + mask_stride * h != size:
        raise ValueError("image is %d bytes, colour rows and mask need %d"
                         % (size, 40 + (stride + mask_stride) * h))
    colour = np.frombuffer(data, np.uint8, stride * h, offset + 40).reshape(h, stride)[::-1]
    pixels = colour[:, :w * n].reshape(h, w, n)[..., [2, 1, 0, 3][:n]]
    mask = np.frombuffer(data, np.uint8, mask_stride * h, offset + 40 + stride * h)
    clear = np.unpackbits(mask.reshape(h, mask_stride), axis=1)[::-1, :w].astype(bool)
    return kind, entry, dib, pixels, clear


def check_icon(data, drawn):
    kind, entry, dib, rgba, clear = read_group(data)
    problems = []
    if kind != 1 or entry[:6] != (48, 48, 0, 0, 1, 32) or dib[1:3] != (48, 96):
        problems.append("orvenne.ico: entry %s / DIB %s, want a 48x48 32-bit icon" % (entry, dib))
    if not np.array_equal(rgba, drawn):
        problems.append("orvenne.ico: pixels differ from the icon as drawn")
    if not np.array_equal(clear, rgba[..., 3] == 0):
        problems.append("orvenne.ico: AND mask is not set exactly where alpha is 0")
    if not 0 < clear.mean() < 0.5:
        problems.append("orvenne.ico: %.0f%% transparent, want a solid mark" % (100 * clear.mean()))
    theirs = np.asarray(Image.open(io.BytesIO(data)).convert("RGBA"))
    opaque = rgba[..., 3] > 0
    if not np.array_equal(theirs[opaque], rgba[opaque]):
        problems.append("orvenne.ico: Pillow reads other pixels")
    return problems


def check_cursor(data, drawn_rgb, drawn_clear):
    kind, entry, dib, rgb, clear = read_group(data)
    problems = []
    if kind != 2 or entry[:6] != (32, 32, 0, 0, 1, 1) or dib[1:5] != (32, 64, 1, 24):
        problems.append("arrow.cur: entry %s / DIB %s, want 32x32 24-bit, hot spot (1, 1)" % (entry, dib))
    if not (np.array_equal(rgb, drawn_rgb) and np.array_equal(clear, drawn_clear)):
        problems.append("arrow.cur: pixels or mask differ from the arrow as drawn")
    if clear[1, 1]:
        problems.append("arrow.cur: the hot spot (1, 1) is transparent")
    if rgb[clear].any():
        problems.append("arrow.cur: transparent pixels are not black, they would tint the screen")
    ink = rgb[~clear]
    if not np.all((ink == 0).all(axis=1) | (ink == 255).all(axis=1)):
        problems.append("arrow.cur: drawn pixels are not pure black or white")
    # An arrow: a small part of the square, with both a black edge and a white body, and
    # nothing left of its left edge or above its tip.
    if not 0.05 < (~clear).mean() < 0.3 or not (ink == 255).any() or not (ink == 0).any():
        problems.append("arrow.cur: drawn area %.0f%%, not an outlined arrow" % (100 * (~clear).mean()))
    if not clear[0].all() or not clear[:, 0].all():
        problems.append("arrow.cur: pixels drawn above or left of the tip")
    return problems


def check_buttons(pics):
    problems = []
    skin = pics[500]
    for name, ((x, y), ids, margins) in BUTTONS.items():
        states = [pics[i].astype(int) for i in ids]
        h, w = states[0].shape[:2]
        under = skin[y:y + h, x:x + w, :3].astype(int)
        for i, pic in zip(ids, states):
            for m in margins:
                if not np.array_equal(pic[m], under[m]):
                    problems.append("%d: margin differs from the skin under the button" % i)
            share = (np.abs(pic - under).max(axis=2) >= VISIBLE_STEP).mean()
            if share < DRAWN_SHARE:
                problems.append("%d: only %.1f%% of the button stands out from the skin" % (i, 100 * share))
        for a in range(3):
            for b in range(a + 1, 3):
                share = (np.abs(states[a] - states[b]).max(axis=2) >= VISIBLE_STEP).mean()
                if share < STATE_SHARE:
                    problems.append("%d and %d: only %.1f%% of pixels tell them apart"
                                    % (ids[a], ids[b], 100 * share))
    return problems


def check(res_dir=HERE):
    sys.path.insert(0, res_dir)
    import make_art

    problems = []
    files = resource_files(res_dir)
    for rid in [200, 300] + sorted(PNG_FORMATS):
        if rid not in files:
            problems.append("resources.rc names no file for %d" % rid)
    if problems:
        return report(problems)

    fresh = make_art.artwork()
    if fresh != make_art.artwork():
        problems.append("two runs of the drawing give different bytes")
    on_disk = {}
    for rid, name in files.items():
        if rid == 200 or rid == 300 or rid in PNG_FORMATS:
            path = os.path.join(res_dir, name)
            if not os.path.exists(path):
                problems.append("%s is missing" % name)
                continue
            on_disk[rid] = open(path, "rb").read()
            if fresh.get(name) != on_disk[rid]:
                problems.append("%s differs from what make_art.py draws now" % name)
    if problems:
        return report(problems)

    drawn = make_art.pictures()
    pics = {}
    for rid, expected in PNG_FORMATS.items():
        name = files[rid]
        bad = check_png(name, on_disk[rid], expected)
        if bad:
            problems += bad
            continue
        pics[rid] = np.asarray(Image.open(io.BytesIO(on_disk[rid])))
        if not np.array_equal(pics[rid], drawn[name]):
            problems.append("%s: Pillow decodes other pixels than were drawn" % name)
    if problems:
        return report(problems)
    if not (pics[500][..., 3] == 255).all():
        problems.append("skin.png: not opaque everywhere")
    face = pics[500][:211, :, :3].astype(int)  # the rows the window shows
    drawn = (np.abs(face - np.median(face.reshape(-1, 3), axis=0)).max(axis=2) >= VISIBLE_STEP).mean()
    if drawn < FACE_SHARE:
        problems.append("skin.png: only %.1f%% of the face stands out from its ground" % (100 * drawn))
    problems += check_buttons(pics)
    problems += check_icon(on_disk[200], make_art.make_icon())
    problems += check_cursor(on_disk[300], *make_art.make_cursor())
    return report(problems)


def report(problems):
    for p in problems:
        print("check_art: " + p, file=sys.stderr)
    if not problems:
        print("check_art: all artwork files check out")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(check(sys.argv[1] if len(sys.argv) > 1 else HERE))
