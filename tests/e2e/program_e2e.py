"""The whole program on an X display, as a user meets it: its face is the skin with the
three buttons in place, the buttons show their hover and pressed pictures, the link starts
the browser with the site's address, the close button ends it with code 0, and what it
played while open is the module's rendering, bit for bit.

Usage: program_e2e.py <orvenne> <xm2wav> <res dir> <output dir>
Needs DISPLAY (a desktop with a window manager and no compositor, so that the screen holds
the window's own pixels) and the tools of xdesktop.py.
"""
import os
import stat
import subprocess
import sys
import tempfile
import time
import unittest

from xdesktop import OPAQUE_230, geometry, image_pixels, opacity, run, screenshot, wait_for, windows_titled

ORVENNE, XM2WAV, RES, OUT = sys.argv[1:5]
SITE = "http://orvenne-labs.example"
# Buttons: client position and the files of their normal, hover and pressed pictures.
BUTTONS = {
    "link": ((113, 168), "link"),
    "minimize": ((391, 7), "minimize"),
    "close": ((419, 7), "close"),
}
WAV_HEADER = 44


def picture(name, state):
    return image_pixels(os.path.join(RES, "%s_%s.png" % (name, state)))


class Program(unittest.TestCase):
    """One run of the program, step by step; the close comes last."""

    @classmethod
    def setUpClass(cls):
        assert not windows_titled(), "an Orvenne Labs window is already open"
        cls.temp = tempfile.TemporaryDirectory()
        # A stand-in Firefox, first on PATH: the registry then names Firefox, and the shell
        # starts this script, which notes its argument.
        cls.browser_log = os.path.join(cls.temp.name, "browser.log")
        browser = os.path.join(cls.temp.name, "firefox")
        with open(browser, "w") as f:
            f.write('#!/bin/sh\necho "$@" >> "%s"\n' % cls.browser_log)
        os.chmod(browser, stat.S_IRWXU)
        cls.played = os.path.join(OUT, "played.wav")
        env = dict(os.environ, PATH=cls.temp.name + os.pathsep + os.environ["PATH"], ORVENNE_WAVE="virtual",
                   ORVENNE_WAVE_RECORD=cls.played)
        run("xdotool", "mousemove", "0", "0")
        cls.process = subprocess.Popen([ORVENNE], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        cls.window = wait_for("the window", lambda: (windows_titled() or [None])[0])
        wait_for("opacity 230", lambda: opacity(cls.window) == OPAQUE_230)
        cls.origin = geometry(cls.window)[:2]

    @classmethod
    def tearDownClass(cls):
        if cls.process.poll() is None:
            cls.process.kill()
            cls.process.wait()
        cls.temp.cleanup()

    def shot(self, x, y, width, height, name):
        return screenshot(self.origin[0] + x, self.origin[1] + y, width, height, os.path.join(OUT, name))

    def button_shot(self, name):
        (x, y), _ = BUTTONS[name]
        size = (227, 27) if name == "link" else (20, 20)
        return self.shot(x, y, size[0], size[1], "button_%s.png" % name)

    def move(self, x, y):
        run("xdotool", "mousemove", str(self.origin[0] + x), str(self.origin[1] + y))
        time.sleep(0.3)

    def browser_starts(self):
        try:
            with open(self.browser_log) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def test_1_face_is_the_skin_with_the_buttons_in_place(self):
        expected = image_pixels(os.path.join(RES, "skin.png"))[:211]
        for name, ((x, y), prefix) in BUTTONS.items():
            for row, line in enumerate(picture(prefix, "normal")):
                expected[y + row][x:x + len(line)] = line
        shown = self.shot(0, 0, 450, 211, "face.png")
        wrong = [(col, row) for row in range(1, 210) for col in range(1, 449) if shown[row][col] != expected[row][col]]
        self.assertEqual(wrong[:10], [], "%d pixels differ inside the frame" % len(wrong))
        self.assertTrue(all(shown[0][col] == (0, 0, 0) for col in range(450)), "black frame")

    def test_2_hover_and_press_change_the_pictures(self):
        for name in BUTTONS:
            (x, y), prefix = BUTTONS[name]
            self.move(x + 8, y + 8)
            self.move(x + 9, y + 8)
            self.assertEqual(self.button_shot(name), picture(prefix, "hover"), name + " hovered")
            self.move(x - 20, y + 40)
            self.assertEqual(self.button_shot(name), picture(prefix, "normal"), name + " left")
        (x, y), _ = BUTTONS["link"]
        self.move(x + 50, y + 10)
        run("xdotool", "mousedown", "1")
        time.sleep(0.3)
        self.assertEqual(self.button_shot("link"), picture("link", "pressed"))
        self.move(x + 50, y - 60)  # off the button, still pressed
        self.assertEqual(self.button_shot("link"), picture("link", "pressed"))
        run("xdotool", "mouseup", "1")
        time.sleep(0.3)
        self.assertEqual(self.button_shot("link"), picture("link", "normal"))
        self.assertEqual(self.browser_starts(), [], "a release outside is no click")

    def test_3_link_starts_the_browser_once_per_click(self):
        (x, y), _ = BUTTONS["link"]
        for clicks in (1, 2):
            self.move(x + 60, y + 12)
            run("xdotool", "click", "1")
            wait_for("the browser", lambda: len(self.browser_starts()) == clicks)
        self.assertEqual(self.browser_starts(), [SITE, SITE])
        self.assertIsNone(self.process.poll())

    def test_4_close_button_fades_out_and_ends_with_zero(self):
        (x, y), _ = BUTTONS["close"]
        self.move(x + 10, y + 10)
        run("xdotool", "click", "1")
        self.assertEqual(self.process.wait(timeout=10), 0)
        self.assertEqual(windows_titled(), [])

    def test_5_what_it_played_is_the_module_rendered(self):
        self.assertIsNotNone(self.process.poll(), "runs after the close")
        with open(self.played, "rb") as f:
            played = f.read()[WAV_HEADER:]
        seconds = len(played) // 192000 + 1
        self.assertGreater(seconds, 2, "it played while the window was open")
        rendered_path = os.path.join(OUT, "rendered.wav")
        run(XM2WAV, os.path.join(RES, "music.xm"), rendered_path, "--seconds", str(seconds))
        with open(rendered_path, "rb") as f:
            rendered = f.read()[WAV_HEADER:]
        self.assertEqual(len(played) % 4, 0)
        first_difference = next((i for i in range(len(played)) if played[i] != rendered[i]), None)
        self.assertIsNone(first_difference, "played %d bytes" % len(played))


if __name__ == "__main__":
    if not os.environ.get("DISPLAY"):
        print("program_e2e: DISPLAY is not set; these tests need an X display", file=sys.stderr)
        sys.exit(1)
    unittest.main(argv=[sys.argv[0], "-v"])
