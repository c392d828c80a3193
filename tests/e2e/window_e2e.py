"""The real orvenne on an X display: its window, fade, drag, single instance and close.

Usage: window_e2e.py <orvenne> <x_close> <output dir>
Needs DISPLAY (a desktop with an EWMH window manager), xdotool, xprop, xwininfo and
ImageMagick's import. The screenshot of the window is left in the output directory.
"""
import os
import subprocess
import sys
import time
import unittest

from xdesktop import OPAQUE_230, TITLE, geometry, opacity, prop, run, screenshot, wait_for, windows_titled, wm_state

ORVENNE, X_CLOSE, OUT = sys.argv[1:4]


class Window(unittest.TestCase):
    """One run of the program, checked step by step in order; the close comes last."""

    @classmethod
    def setUpClass(cls):
        assert not windows_titled(), "an Orvenne Labs window is already open"
        cls.started = time.monotonic()
        cls.process = subprocess.Popen([ORVENNE], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        cls.window = wait_for("the window", lambda: (windows_titled() or [None])[0])

    @classmethod
    def tearDownClass(cls):
        if cls.process.poll() is None:
            cls.process.kill()
            cls.process.wait()

    def test_1_title_size_centre_and_above_others(self):
        self.assertIn('"%s"' % TITLE, prop(self.window, "WM_NAME"))
        self.assertIn('"%s"' % TITLE, prop(self.window, "_NET_WM_NAME"))
        screen_w, screen_h = map(int, run("xdotool", "getdisplaygeometry").split())
        x, y, w, h = wait_for("the final position", lambda: geometry(self.window)[0] == (screen_w - 450) // 2
                              and geometry(self.window))
        self.assertEqual((w, h), (450, 211))
        self.assertEqual((x, y), ((screen_w - 450) // 2, (screen_h - 211) // 2))
        self.assertIn("_NET_WM_STATE_ABOVE", prop(self.window, "_NET_WM_STATE"))
        self.assertIn("0x2, 0x0, 0x0", prop(self.window, "_MOTIF_WM_HINTS"), "no frame")

    def test_2_opacity_rises_to_230_and_stays(self):
        seen = []
        def reached():
            value = opacity(self.window)
            if value is not None and (not seen or seen[-1] != value):
                seen.append(value)
            return value == OPAQUE_230
        wait_for("opacity 230", reached, 5.0)
        self.assertEqual(seen, sorted(seen), "the opacity only rises")
        for value in seen:
            self.assertEqual(value % (10 * 0x01010101), 0, "steps of 10: %#x" % value)
        time.sleep(1.0)
        self.assertEqual(opacity(self.window), OPAQUE_230)

    def test_3_screenshot_shows_the_face_and_its_black_frame(self):
        x, y, w, h = geometry(self.window)
        pixels = screenshot(x, y, w, h, os.path.join(OUT, "window.png"))
        black = (0, 0, 0)
        for col in range(w):
            self.assertEqual(pixels[0][col], black, "top edge at %d" % col)
            self.assertEqual(pixels[h - 1][col], black, "bottom edge at %d" % col)
        for row in range(h):
            self.assertEqual(pixels[row][0], black, "left edge at %d" % row)
            self.assertEqual(pixels[row][w - 1], black, "right edge at %d" % row)
        inside = [p for row in pixels[1:h - 1] for p in row[1:w - 1]]
        lit = sum(1 for p in inside if p != black)
        self.assertGreater(lit, len(inside) // 2, "the face is drawn inside the frame")

    def test_4_drag_moves_by_exactly_the_cursor_movement(self):
        x, y, _, _ = geometry(self.window)
        start = (x + 200, y + 100)  # on the face, clear of the buttons
        run("xdotool", "mousemove", str(start[0]), str(start[1]))
        time.sleep(0.2)
        run("xdotool", "mousedown", "1")
        path = [(start[0] + 17, start[1] + 9), (start[0] + 60, start[1] + 45), (3, 2), (start[0] - 33, start[1] + 21)]
        for point in path:
            run("xdotool", "mousemove", str(point[0]), str(point[1]))
            time.sleep(0.1)
        run("xdotool", "mouseup", "1")
        end = path[-1]
        expected = (x + end[0] - start[0], y + end[1] - start[1])
        try:
            wait_for("the window to follow", lambda: geometry(self.window)[:2] == expected, 3.0)
        except AssertionError:
            self.fail("window at %s, expected %s" % (geometry(self.window)[:2], expected))
        run("xdotool", "mousemove", str(end[0] + 40), str(end[1] + 40))
        time.sleep(0.3)
        self.assertEqual(geometry(self.window)[:2], expected, "no drag after the release")

    def test_5_second_copy_restores_the_first_and_exits_zero(self):
        run("xdotool", "windowminimize", str(self.window))
        wait_for("iconified", lambda: wm_state(self.window) == "Iconic")
        second = subprocess.run([ORVENNE], capture_output=True, text=True, timeout=20)
        self.assertEqual(second.returncode, 0, second.stderr)
        wait_for("restored", lambda: wm_state(self.window) == "Normal")
        self.assertEqual(windows_titled(), [self.window], "still one window")
        self.assertIsNone(self.process.poll(), "the first copy still runs")

    def test_6_close_from_the_desktop_ends_with_zero_at_once(self):
        run(X_CLOSE, str(self.window))
        code = self.process.wait(timeout=2)
        self.assertEqual(code, 0)
        self.assertEqual(windows_titled(), [])


class Buttons(unittest.TestCase):
    """The minimize and close buttons, clicked as a person would."""

    def test_minimize_then_close_fades_out_and_exits_zero(self):
        process = subprocess.Popen([ORVENNE], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            window = wait_for("the window", lambda: (windows_titled() or [None])[0])
            wait_for("opacity 230", lambda: opacity(window) == OPAQUE_230)
            x, y, _, _ = geometry(window)
            run("xdotool", "mousemove", str(x + 391 + 10), str(y + 7 + 10), "click", "1")
            wait_for("iconified by the minimize button", lambda: wm_state(window) == "Iconic")
            run("xdotool", "windowactivate", str(window))
            wait_for("restored", lambda: wm_state(window) == "Normal")
            time.sleep(0.3)
            seen = []
            run("xdotool", "mousemove", str(x + 419 + 10), str(y + 7 + 10), "click", "1")
            end = time.monotonic() + 5
            while process.poll() is None and time.monotonic() < end:
                value = opacity(window)
                if value is not None and (not seen or seen[-1] != value):
                    seen.append(value)
                time.sleep(0.01)
            self.assertEqual(process.wait(timeout=1), 0)
            self.assertGreaterEqual(len(seen), 2, "the fade-out was seen")
            self.assertEqual(seen, sorted(seen, reverse=True), "the opacity only falls")
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()


class NoDisplay(unittest.TestCase):
    def test_without_a_display_it_says_so_and_fails(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        result = subprocess.run([ORVENNE], capture_output=True, text=True, env=env, timeout=20)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("display", result.stderr)


if __name__ == "__main__":
    if not os.environ.get("DISPLAY"):
        print("window_e2e: DISPLAY is not set; these tests need an X display", file=sys.stderr)
        sys.exit(1)
    unittest.main(argv=[sys.argv[0], "-v"])
