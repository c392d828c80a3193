#!/usr/bin/python3
"""Composes the window as the program shows it, to judge the artwork by eye.

Reads the files make_art.py wrote and builds, in the directory given (default ./out):
  preview_light.png, preview_dark.png  the 450x211 window (skin rows 0-210, buttons at
      their places, one-pixel black frame) at opacity 230/255 over a light and a dark
      desktop, once per button state, enlarged 2x
  preview_parts.png  every button state, the icon and the cursor, enlarged 8x, the icon
      and cursor over a checkerboard so transparency shows
Not part of the build; run with /usr/bin/python3."""
import os
import sys

import numpy as np
from PIL import Image

import check_art

HERE = os.path.dirname(os.path.abspath(__file__))
WIN_W, WIN_H = 450, 211
OPACITY = 230
BUTTONS = (("link", (113, 168)), ("minimize", (391, 7)), ("close", (419, 7)))
STATES = ("normal", "hover", "pressed")


def load(name):
    return np.asarray(Image.open(os.path.join(HERE, name)))


def window(state):
    face = load("skin.png")[:WIN_H, :, :3].copy()
    for name, (x, y) in BUTTONS:
        pic = load("%s_%s.png" % (name, state))
        face[y:y + pic.shape[0], x:x + pic.shape[1]] = pic
    face[0, :] = face[-1, :] = 0
    face[:, 0] = face[:, -1] = 0
    return face


def desktop(w, h, light):
    y, x = np.mgrid[0:h, 0:w].astype(np.float64)
    if light:
        base = np.stack([232 - y / h * 20, 236 - y / h * 16, 240 - x / w * 10], axis=2)
        stripes = ((x // 40 + y // 40) % 2) * 10.0
    else:
        base = np.stack([40 - y / h * 20, 44 - y / h * 18, 52 - y / h * 14], axis=2)
        stripes = ((x // 40 + y // 40) % 2) * 8.0
    return base - stripes[..., None]


def scene(light):
    margin = 24
    panels = []
    for state in STATES:
        bg = desktop(WIN_W + 2 * margin, WIN_H + 2 * margin, light)
        a = OPACITY / 255.0
        area = bg[margin:margin + WIN_H, margin:margin + WIN_W]
        area[:] = window(state) * a + area * (1 - a)
        panels.append(np.clip(np.round(bg), 0, 255).astype(np.uint8))
    img = Image.fromarray(np.concatenate(panels, axis=0))
    return img.resize((img.width * 2, img.height * 2), Image.NEAREST)


def read_picture(name):
    """Colour (RGB) and opacity (0..1) of the single image of an .ico or .cur file."""
    _, _, _, pixels, clear = check_art.read_group(open(os.path.join(HERE, name), "rb").read())
    opacity = pixels[..., 3] / 255.0 if pixels.shape[2] == 4 else (~clear).astype(np.float64)
    return pixels[..., :3], opacity


def checker(h, w):
    y, x = np.mgrid[0:h, 0:w]
    return np.where(((x // 4 + y // 4) % 2)[..., None] == 0, 200.0, 120.0) * np.ones(3)


def parts():
    """Button states in rows (link at 4x, small ones at 8x), then icon and cursor at 8x."""
    rows = []
    for name, _ in BUTTONS:
        scale = 4 if name == "link" else 8
        rows.append([(load("%s_%s.png" % (name, s)).astype(np.float64), scale) for s in STATES])
    pics = []
    for name in ("orvenne.ico", "arrow.cur"):
        rgb, a = read_picture(name)
        pics.append((rgb * a[..., None] + checker(*a.shape) * (1 - a[..., None]), 8))
    rows = [[r] for r in rows[0]] + rows[1:] + [pics]
    gap = 16
    width = max(sum(t.shape[1] * k + gap for t, k in row) for row in rows)
    height = sum(max(t.shape[0] * k for t, k in row) + gap for row in rows)
    canvas = Image.new("RGB", (width, height), (60, 60, 60))
    y = 0
    for row in rows:
        x = 0
        for t, k in row:
            im = Image.fromarray(np.clip(np.round(t), 0, 255).astype(np.uint8))
            canvas.paste(im.resize((im.width * k, im.height * k), Image.NEAREST), (x, y))
            x += im.width * k + gap
        y += max(t.shape[0] * k for t, k in row) + gap
    return canvas


def main(argv):
    if len(argv) > 1 or (argv and argv[0].startswith("-")):
        print("usage: preview_art.py [output directory, default ./out]", file=sys.stderr)
        return 2
    dest = argv[0] if argv else "out"
    os.makedirs(dest, exist_ok=True)
    scene(True).save(os.path.join(dest, "preview_light.png"))
    scene(False).save(os.path.join(dest, "preview_dark.png"))
    parts().save(os.path.join(dest, "preview_parts.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
