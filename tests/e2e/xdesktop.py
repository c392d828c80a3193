"""Helpers of the end-to-end tests: the program's windows on the X display, their
properties and geometry, screenshots, and waiting for a condition.
Needs xdotool, xprop, xwininfo and ImageMagick (import, convert)."""
import re
import subprocess
import time

TITLE = "Orvenne Labs"
OPAQUE_230 = 230 * 0x01010101  # _NET_WM_WINDOW_OPACITY for alpha 230


def run(*args, check=True):
    return subprocess.run(args, capture_output=True, text=True, check=check).stdout


def wait_for(what, condition, seconds=5.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def windows_titled():
    out = subprocess.run(["xdotool", "search", "--name", "^" + TITLE + "$"], capture_output=True, text=True).stdout
    return [int(w) for w in out.split()]


def prop(window, name):
    return run("xprop", "-id", str(window), name, check=False)


def geometry(window):
    info = run("xwininfo", "-id", str(window))
    field = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
    return field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")


def opacity(window):
    match = re.search(r"= (\d+)", prop(window, "_NET_WM_WINDOW_OPACITY"))
    return int(match.group(1)) if match else None


def wm_state(window):
    match = re.search(r"window state: (\w+)", prop(window, "WM_STATE"))
    return match.group(1) if match else None


def screenshot(x, y, width, height, path):
    """The screen's pixels in a rectangle, as rows of (r, g, b); also saved as PNG."""
    run("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage", path)
    return image_pixels(path)


def image_pixels(path):
    """A picture file's pixels as rows of (r, g, b)."""
    size = run("identify", "-format", "%w %h", path)
    width, height = map(int, size.split())
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return [[tuple(data[(row * width + col) * 3:(row * width + col) * 3 + 3]) for col in range(width)]
            for row in range(height)]
