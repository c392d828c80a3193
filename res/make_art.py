#!/usr/bin/python3
"""Draws the program's artwork and writes the files the resource script names.

Output, next to this script:
  skin.png                          450x212 RGBA 8-bit, the window's face (rows 0-210 show)
  link_{normal,hover,pressed}.png   227x27 RGB 8-bit, the web-link button
  minimize_*.png, close_*.png       20x20 RGB 8-bit, the two small buttons, same states
  orvenne.ico                       one 48x48 image, 32 bpp BGRA DIB plus AND mask
  arrow.cur                         one 32x32 image, 24 bpp DIB plus AND mask, hot spot (1, 1)

The buttons are opaque pictures laid over the face, so each state starts from the exact
skin pixels under the button's rectangle and only what it draws on top differs. Shapes are
signed-distance fields in pixel units (pixel centres at n + 0.5), which gives exact,
anti-aliased geometry; text is drawn by FreeType at its own size, hinted. Colours are
worked in floating point and rounded with a fixed ordered dither, so every run writes the
same bytes. PNGs hold only IHDR, IDAT and IEND, with a filter chosen per row.

Run with /usr/bin/python3 (Debian's Pillow and NumPy). After writing, the files are
checked by check_art.py; `--check` checks the files already there without writing."""
import math
import os
import struct
import sys
import zlib

import numpy as np
from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))

SKIN_W, SKIN_H = 450, 212
FACE_H = 211  # the window's client height: the skin's last row never shows
LINK_POS, LINK_SIZE = (113, 168), (227, 27)
# The link counts as hovered over columns 0-30 at any height but only over rows 0-22 right
# of that, and not over the last 4 columns; the visible button keeps to that 223x23 area.
LINK_BODY = (223, 23)
MINIMIZE_POS, CLOSE_POS, SMALL_SIZE = (391, 7), (419, 7), (20, 20)
STATES = ("normal", "hover", "pressed")
SITE_TEXT = "orvenne-labs.example"
TAGLINE = "Small software for sound and pixels, built from first principles."

FONTS = "/usr/share/fonts"
FONT_TITLE = FONTS + "/opentype/urw-base35/URWGothic-Demi.otf"
FONT_TITLE_LIGHT = FONTS + "/opentype/urw-base35/URWGothic-Book.otf"
FONT_TEXT = FONTS + "/truetype/dejavu/DejaVuSans.ttf"

# A deep ink face, a warm amber-to-rose accent, cool light text.
INK_TOP = (27, 33, 48)
INK_BOTTOM = (14, 18, 28)
ACCENT_A = (255, 184, 96)
ACCENT_B = (236, 88, 112)
TEXT_HI = (240, 243, 248)
TEXT_MID = (196, 205, 220)
TEXT_LO = (138, 150, 172)
WHITE = (255, 255, 255)
CLOSE_HOVER = (226, 70, 84)
CLOSE_PRESSED = (168, 44, 58)


# ---------------------------------------------------------------------------------------
# Geometry and paint. Images are float arrays (H, W, 3) in 0..255; masks are (H, W) in 0..1.

def grid(w, h):
    """Pixel-centre coordinates of a w x h image."""
    y, x = np.mgrid[0:h, 0:w].astype(np.float64)
    return x + 0.5, y + 0.5


def sd_circle(x, y, cx, cy, r):
    return np.hypot(x - cx, y - cy) - r


def sd_round_box(x, y, x0, y0, x1, y1, r):
    qx = np.abs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - r)
    qy = np.abs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - r)
    return np.hypot(np.maximum(qx, 0), np.maximum(qy, 0)) + np.minimum(np.maximum(qx, qy), 0) - r


def sd_stroke(x, y, points, width):
    """A polyline of the given width with round caps and joins."""
    d = np.full(x.shape, np.inf)
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
        t = np.clip((px * dx + py * dy) / (dx * dx + dy * dy), 0, 1)
        d = np.minimum(d, np.hypot(px - t * dx, py - t * dy))
    return d - width / 2


def fill(sd):
    """Coverage of a pixel by the inside (sd < 0) of a distance field: a one-pixel ramp."""
    return np.clip(0.5 - sd, 0.0, 1.0)


def over(dst, colour, alpha):
    """Paints `colour` (an RGB triple or an image) over `dst` with per-pixel `alpha`."""
    a = np.clip(alpha, 0.0, 1.0)[..., None]
    dst[:] = dst * (1.0 - a) + np.asarray(colour, dtype=np.float64) * a


def mix(c0, c1, t):
    t = np.asarray(t, dtype=np.float64)[..., None]
    return np.asarray(c0, dtype=np.float64) * (1 - t) + np.asarray(c1, dtype=np.float64) * t


def accent(x, y, x0, y0, x1, y1):
    """The accent gradient along the line from (x0, y0) to (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)
    return mix(ACCENT_A, ACCENT_B, np.clip(t, 0, 1))


def text_mask(w, h, x, y, text, font, size, anchor="ls"):
    img = Image.new("L", (w, h), 0)
    ImageDraw.Draw(img).text((x, y), text, font=ImageFont.truetype(font, size), fill=255,
                             anchor=anchor)
    return np.asarray(img, dtype=np.float64) / 255.0


def text_width(text, font, size):
    return ImageFont.truetype(font, size).getlength(text)


BAYER4 = (np.array([[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]) + 0.5) / 16


def quantize(img):
    """Rounds to 8 bits through an ordered dither, so the dark gradients show no bands.
    Whole values stay as they are, which keeps the skin under a button exact."""
    h, w = img.shape[:2]
    d = np.tile(BAYER4, (h // 4 + 1, w // 4 + 1))[:h, :w, None]
    return np.clip(np.floor(img + d), 0, 255).astype(np.uint8)


# ---------------------------------------------------------------------------------------
# The mark: a rounded tile in the accent gradient holding a ring, the O, with a wave of
# liquid in it: a round flask for the lab, a sine for the sound.

def mark_layers(x, y, ox, oy, size):
    """[(colour, alpha), ...] that paint the mark of `size` pixels with its top-left
    corner at (ox, oy), over coordinates x, y."""
    tile = fill(sd_round_box(x, y, ox, oy, ox + size, oy + size, size * 0.24))
    sheen = np.clip(1.0 - (y - oy) / (size * 0.55), 0, 1) ** 2 * 0.18
    cx, cy = ox + size / 2, oy + size / 2
    ring_r, stroke = size * 0.30, max(size * 0.075, 1.5)
    ring = fill(np.abs(sd_circle(x, y, cx, cy, ring_r - stroke / 2)) - stroke / 2)
    inner_r = ring_r - stroke - max(size * 0.045, 1.0)
    # Below one period of a sine across the inner disc; the distance to the surface is
    # divided by the slope's length so the edge keeps an even one-pixel ramp.
    k = 2 * math.pi / (2 * inner_r)
    amp = inner_r * 0.14
    phase = k * (x - (cx - inner_r))
    surface = cy + inner_r * 0.15 - amp * np.sin(phase)
    slope = -amp * k * np.cos(phase)
    liquid = fill(np.maximum((surface - y) / np.sqrt(1 + slope * slope),
                             sd_circle(x, y, cx, cy, inner_r)))
    return [
        (accent(x, y, ox, oy, ox + size, oy + size), tile),
        (WHITE, tile * sheen),
        (WHITE, tile * np.maximum(ring, liquid)),
    ]


# ---------------------------------------------------------------------------------------
# The face

MARK_SIZE, MARK_TOP = 64, 46
TITLE_SIZE, TITLE_GAP = 40, 18
CONTENT_CX = LINK_POS[0] + LINK_BODY[0] / 2  # everything centres on the link button
TAGLINE_BASE = 140


def face():
    w, h = SKIN_W, SKIN_H
    x, y = grid(w, h)
    img = mix(INK_TOP, INK_BOTTOM, np.clip(y / FACE_H * 0.8 + x / w * 0.2, 0, 1))

    bold, light = "Orvenne", " Labs"
    wb = text_width(bold, FONT_TITLE, TITLE_SIZE)
    wl = text_width(light, FONT_TITLE_LIGHT, TITLE_SIZE)
    mx = round(CONTENT_CX - (MARK_SIZE + TITLE_GAP + wb + wl) / 2)
    my = MARK_TOP
    # A faint warm glow behind the mark, and an accent hairline inside the frame's top.
    glow = np.exp(-(((x - mx - MARK_SIZE / 2) / 120) ** 2 + ((y - my - MARK_SIZE / 2) / 70) ** 2))
    over(img, ACCENT_B, glow * 0.07)
    hairline = ((y > 1) & (y < 2) & (x > 1) & (x < w - 1)).astype(np.float64)
    over(img, accent(x, y, 0, 0, w, 0), hairline * 0.85)

    for colour, alpha in mark_layers(x, y, mx, my, MARK_SIZE):
        over(img, colour, alpha)

    tx = mx + MARK_SIZE + TITLE_GAP
    base = round(my + MARK_SIZE / 2 + TITLE_SIZE * 0.36)
    over(img, TEXT_HI, text_mask(w, h, tx, base, bold, FONT_TITLE, TITLE_SIZE))
    over(img, TEXT_MID, text_mask(w, h, round(tx + wb), base, light, FONT_TITLE_LIGHT, TITLE_SIZE))
    over(img, TEXT_LO, text_mask(w, h, round(CONTENT_CX), TAGLINE_BASE, TAGLINE, FONT_TEXT, 12,
                                 anchor="ms"))
    return img


def make_skin():
    """The face as RGBA, fully opaque: the window shows the skin through a pattern brush
    and applies one opacity to the whole window, so per-pixel alpha would mean nothing."""
    rgb = quantize(face())
    return np.concatenate([rgb, np.full((SKIN_H, SKIN_W, 1), 255, dtype=np.uint8)], axis=2)


# ---------------------------------------------------------------------------------------
# Buttons

def under(skin, pos, size):
    (x, y), (w, h) = pos, size
    return skin[y:y + h, x:x + w, :3].astype(np.float64)


LINK_LOOK = {  # pill fill, pill edge, text, badge arrow, text underline
    "normal": (0.00, 0.40, TEXT_MID, (30, 24, 34), 0.0),
    "hover": (0.16, 0.95, TEXT_HI, WHITE, 0.55),
    "pressed": (0.30, 0.85, TEXT_HI, WHITE, 0.0),
}


def link_state(skin, state):
    """A pill with a badge pointing out of the window and the site's address; hovering
    lights it and underlines the address, pressing fills it deeper and sinks its content
    by a pixel."""
    w, h = LINK_SIZE
    bw, bh = LINK_BODY
    img = under(skin, LINK_POS, LINK_SIZE)
    x, y = grid(w, h)
    fill_a, edge_a, ink, arrow_ink, underline = LINK_LOOK[state]
    dy = 1 if state == "pressed" else 0

    pill = sd_round_box(x, y, 0.5, 0.5, bw - 0.5, bh - 0.5, (bh - 1) / 2)
    colour = accent(x, y, 0, 0, bw, 0)
    over(img, colour, fill(pill) * fill_a)
    over(img, colour, fill(np.abs(pill + 0.5) - 0.5) * edge_a)

    cx, cy, r = 11.5, 11.5 + dy, 8.0
    disc = fill(sd_circle(x, y, cx, cy, r))
    over(img, accent(x, y, cx - r, cy - r, cx + r, cy + r), disc)
    a = 3.2
    arrow = np.minimum(sd_stroke(x, y, [(cx - a, cy + a), (cx + a, cy - a)], 1.6),
                       sd_stroke(x, y, [(cx - a + 1.2, cy - a), (cx + a, cy - a), (cx + a, cy + a - 1.2)], 1.6))
    over(img, arrow_ink, fill(arrow) * disc)

    size = 13
    tw = text_width(SITE_TEXT, FONT_TEXT, size)
    tx = round(2 * cx + (bw - 2 * cx - tw) / 2 - 4)
    base = 16 + dy
    over(img, ink, text_mask(w, h, tx, base, SITE_TEXT, FONT_TEXT, size))
    rule = ((y > base + 2) & (y < base + 3) & (x > tx) & (x < tx + tw)).astype(np.float64)
    over(img, ink, rule * underline)
    return quantize(img)


SMALL_LOOK = {  # per glyph and state: plate colour and alpha, glyph ink
    ("minimize", "normal"): (WHITE, 0.0, TEXT_MID),
    ("minimize", "hover"): (WHITE, 0.16, WHITE),
    ("minimize", "pressed"): (ACCENT_B, 0.45, WHITE),
    ("close", "normal"): (WHITE, 0.0, TEXT_MID),
    ("close", "hover"): (CLOSE_HOVER, 1.0, WHITE),
    ("close", "pressed"): (CLOSE_PRESSED, 1.0, WHITE),
}


def small_state(skin, pos, glyph, state):
    """A bare glyph that gains a rounded plate under the pointer (red for close); pressing
    dims the plate and sinks the glyph by a pixel."""
    w, h = SMALL_SIZE
    img = under(skin, pos, SMALL_SIZE)
    x, y = grid(w, h)
    plate_colour, plate_a, ink = SMALL_LOOK[(glyph, state)]
    over(img, plate_colour, fill(sd_round_box(x, y, 1, 1, 19, 19, 5)) * plate_a)
    c, dy = 10.0, (1 if state == "pressed" else 0)
    if glyph == "close":
        a = 3.5
        sd = np.minimum(sd_stroke(x, y, [(c - a, c - a + dy), (c + a, c + a + dy)], 1.5),
                        sd_stroke(x, y, [(c - a, c + a + dy), (c + a, c - a + dy)], 1.5))
    else:
        sd = sd_round_box(x, y, c - 4.5, c + 2 + dy, c + 4.5, c + 3.5 + dy, 0.75)
    over(img, ink, fill(sd))
    return quantize(img)


# ---------------------------------------------------------------------------------------
# Icon and cursor

ICON_SIZE = 48
CURSOR_SIZE = 32
CURSOR_HOTSPOT = (1, 1)


def make_icon():
    """48x48 RGBA with straight alpha: the mark with a one-pixel transparent margin."""
    n = ICON_SIZE
    x, y = grid(n, n)
    rgb, alpha = np.zeros((n, n, 3)), np.zeros((n, n))
    for colour, a in mark_layers(x, y, 1, 1, n - 2):
        # "over" onto a transparent start, keeping colour unpremultiplied
        out_a = a + alpha * (1 - a)
        weight = np.where(out_a > 0, out_a, 1)[..., None]
        rgb = (np.asarray(colour, dtype=np.float64) * a[..., None]
               + rgb * (alpha * (1 - a))[..., None]) / weight
        alpha = out_a
    a8 = np.clip(np.round(alpha * 255), 0, 255).astype(np.uint8)
    rgb8 = np.clip(np.round(rgb), 0, 255).astype(np.uint8)
    rgb8[a8 == 0] = 0
    return np.concatenate([rgb8, a8[..., None]], axis=2)


# The arrow, pixel by pixel: "X" black, "." white, blank transparent. A cursor mask has no
# partial pixels, so the edges are laid by hand in even 45-degree and 2:1 steps. The tip,
# column 1 of row 1, is the hot spot.
ARROW = [
    "",
    " X",
    " XX",
    " X.X",
    " X..X",
    " X...X",
    " X....X",
    " X.....X",
    " X......X",
    " X.......X",
    " X........X",
    " X.........X",
    " X..........X",
    " X......XXXXXX",
    " X...X..X",
    " X..XX..X",
    " X.X  X..X",
    " XX   X..X",
    " X     X..X",
    "       X..X",
    "        X..X",
    "         XX",
]


def make_cursor():
    """32x32 RGB arrow and its transparency (True where the screen shows through)."""
    n = CURSOR_SIZE
    rgb = np.zeros((n, n, 3), dtype=np.uint8)
    clear = np.ones((n, n), dtype=bool)
    for y, row in enumerate(ARROW):
        for x, c in enumerate(row):
            if c != " ":
                clear[y, x] = False
                rgb[y, x] = 255 if c == "." else 0
    return rgb, clear


def dib(pixels, transparent):
    """The image of an icon or cursor: BITMAPINFOHEADER with the height doubled for the
    mask, colour rows bottom-up in BGR(A) padded to 4 bytes, then the 1-bit AND mask,
    bottom-up, most significant bit leftmost, set where the screen shows through.
    Transparent pixels hold black so that the XOR step leaves the screen unchanged."""
    h, w, n = pixels.shape
    bgr = pixels[..., [2, 1, 0, 3][:n]].copy()
    bgr[transparent] = 0
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, n * 8, 0, 0, 0, 0, 0, 0)
    stride, mask_stride = (w * n + 3) & ~3, ((w + 31) // 32) * 4
    colour = b"".join(bgr[y].tobytes().ljust(stride, b"\0") for y in range(h - 1, -1, -1))
    mask = b"".join(np.packbits(transparent[y].astype(np.uint8)).tobytes().ljust(mask_stride, b"\0")
                    for y in range(h - 1, -1, -1))
    return header + colour + mask


def group_file(kind, w, h, image, a, b):
    """An .ico (kind 1; a, b = planes, bits per pixel) or .cur file (kind 2; a, b = hot
    spot x, y) holding one image right after its 22-byte header and directory entry."""
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, a, b, len(image), 6 + 16)
    return struct.pack("<HHH", 0, kind, 1) + entry + image


def icon_bytes():
    rgba = make_icon()
    return group_file(1, ICON_SIZE, ICON_SIZE, dib(rgba, rgba[..., 3] == 0), 1, 32)


def cursor_bytes():
    rgb, clear = make_cursor()
    return group_file(2, CURSOR_SIZE, CURSOR_SIZE, dib(rgb, clear), *CURSOR_HOTSPOT)


# ---------------------------------------------------------------------------------------
# PNG: only the critical chunks, so the bytes depend on nothing but the pixels.

def png_filter_rows(pixels):
    """Each row behind the filter whose residues have the smallest sum of magnitudes, the
    usual heuristic; the pictures end up using Sub, Up, Average and Paeth rows."""
    h, w, n = pixels.shape
    rows = pixels.reshape(h, w * n).astype(np.int32)
    prev = np.zeros(w * n, dtype=np.int32)
    out = []
    for cur in rows:
        left = np.concatenate([np.zeros(n, np.int32), cur[:-n]])
        upleft = np.concatenate([np.zeros(n, np.int32), prev[:-n]])
        p = left + prev - upleft
        pa, pb, pc = np.abs(p - left), np.abs(p - prev), np.abs(p - upleft)
        paeth = np.where((pa <= pb) & (pa <= pc), left, np.where(pb <= pc, prev, upleft))
        residues = [(cur - pred) & 0xFF for pred in (0, left, prev, (left + prev) // 2, paeth)]
        cost = [int(np.minimum(r, 256 - r).sum()) for r in residues]
        kind = cost.index(min(cost))
        out.append(bytes([kind]) + residues[kind].astype(np.uint8).tobytes())
        prev = cur
    return b"".join(out)


def png_bytes(pixels):
    h, w, n = pixels.shape

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", w, h, 8, {3: 2, 4: 6}[n], 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(png_filter_rows(pixels), 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------------------

def pictures():
    """Every picture as an array, by output file name."""
    skin = make_skin()
    pics = {"skin.png": skin}
    for state in STATES:
        pics["link_%s.png" % state] = link_state(skin, state)
        pics["minimize_%s.png" % state] = small_state(skin, MINIMIZE_POS, "minimize", state)
        pics["close_%s.png" % state] = small_state(skin, CLOSE_POS, "close", state)
    return pics


def artwork():
    """Every output file name with its bytes."""
    files = {name: png_bytes(p) for name, p in pictures().items()}
    files["orvenne.ico"] = icon_bytes()
    files["arrow.cur"] = cursor_bytes()
    return files


def main(argv):
    if argv not in ([], ["--check"]):
        print("usage: make_art.py [--check]", file=sys.stderr)
        return 2
    if not argv:
        for name, data in artwork().items():
            with open(os.path.join(HERE, name), "wb") as f:
                f.write(data)
    import check_art
    return check_art.check(HERE)


if __name__ == "__main__":
    sys.path.insert(0, HERE)
    sys.exit(main(sys.argv[1:]))
