#!/usr/bin/env python3
"""The Linux window run as a user runs it: the real cyclara binary on a private Xvfb, started
by cyclara-sim, driven by the keyboard with xdotool (menu access keys, the port dialog's
lists, Enter for OK and for the Yes answers). What is read back leaves the window as it is:
the CSV bytes, and the lamp's pixels in screenshots taken while the simulator's DSR is known
to be on or off. Usage: window_test.py BUILD_DIR [SCREENSHOT_DIR]"""
import os
import subprocess
import sys
import time
import unittest

from PIL import Image

from harness import (BUILD, SIM, TIMESTAMP_PATH_US, WindowOnSimulator, csv_logs,
                     intervals_sent_us, read_bytes, wait_for)

SHOTS = sys.argv[2] if len(sys.argv) > 2 else None
GRAB = os.path.join(BUILD, "tools", "window_shots")


class WithoutAWorkingDisplay(unittest.TestCase):
    """`make run` and `make demo` say how to measure without a display, never Qt's abort."""

    def test_no_display_or_one_that_does_not_answer_is_one_sentence(self):
        window = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                              "window")
        environment = {k: v for k, v in os.environ.items()
                       if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        for display, said in ((None, "There is no display here"),
                              (":97", "The display :97 does not answer")):
            with self.subTest(display=display):
                env = dict(environment, **({"DISPLAY": display} if display else {}))
                done = subprocess.run([window, "run", BUILD], env=env, capture_output=True,
                                      text=True, timeout=30)
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertIn(said, done.stderr)
                self.assertIn("cyclara-log --port 5", done.stderr)
                self.assertEqual(len(done.stderr.strip().splitlines()), 1, done.stderr)


class WindowAgainstSimulator(WindowOnSimulator):
    def setUp(self):
        self.start(SIM, ["--period", "1", "--width", "0.5", "--frequency", "60", "--events",
                         "events"], os.path.join(BUILD, "cyclara"), QT_QPA_PLATFORM="xcb")
        self.events = os.path.join(self.folder, "events")

    def xdotool(self, *args):
        done = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True)
        return done.stdout.split()

    def window(self, title, other_than=None):
        """A visible window of that title; the message boxes share the main window's."""
        return wait_for(lambda: [w for w in self.xdotool("search", "--onlyvisible", "--name", title)
                                 if w != other_than], title)[0]

    def answer_yes(self, main):
        self.keys(self.window("^Cyclara$", other_than=main), "Return")

    def keys(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "--delay", "150", *keys)

    def last_event(self):
        """The simulator's latest event; its text line follows each fall."""
        with open(self.events) as events:
            lines = events.read().splitlines()
        return lines[-1].split("\t")[1:3] if lines else None

    def lamp_lit(self):
        """Whether the screen shows the lit lamp, and the screenshot, taken while the line
        stayed as the simulator last set it; None if an edge came during the screenshot."""
        before = self.last_event()
        shot = os.path.join(self.folder, "shot.png")
        subprocess.run([GRAB, "--screen", shot], env=self.env, capture_output=True, check=True)
        if self.last_event() != before or before is None:
            return None
        image = Image.open(shot).convert("RGB")
        green = sum(1 for r, g, b in image.getdata() if g > 150 and r < 120 and b < 120)
        return before[0] == "rise", green > 20, image

    def lamp_samples(self, want):
        """Screenshots until one while DSR is on and one while it is off: (line on, lit)."""
        samples = {}
        deadline = time.monotonic() + 30
        while set(samples) != want and time.monotonic() < deadline:
            sample = self.lamp_lit()
            if sample:
                samples[sample[0]] = sample[1:]
            time.sleep(0.15)
        return samples

    def test_open_measure_close_and_exit(self):
        main = self.window("^Cyclara$")
        self.keys(main, "alt+f", "p")  # &Port Open
        dialog = self.window("シリアルポートの条件")
        # The focus starts on OK; Tab reaches the port list, which starts at COM1.
        self.keys(dialog, "Tab", "Tab", "Down", "Down", "Down", "Down", "Return")
        log = wait_for(lambda: csv_logs(self.folder), "the log")[0]
        log = os.path.join(self.folder, log)
        row = wait_for(lambda: read_bytes(log), "a row")

        samples = self.lamp_samples({True, False})
        self.assertEqual({on: lit for on, (lit, _) in samples.items()}, {True: True, False: False})
        if SHOTS:
            samples[True][1].save(os.path.join(SHOTS, "linux-live.png"))

        self.keys(main, "alt+f", "p")  # &Port Close
        self.answer_yes(main)  # to "ポートを閉じますか？"
        time.sleep(1)
        closed = self.lamp_samples({True})
        self.assertEqual(closed[True][0], False, "pulses go on, the closed port shows none")

        self.keys(main, "alt+f", "x")  # E&xit
        self.answer_yes(main)  # to "終了しますか？"
        self.assertEqual(self.sim.wait(timeout=20), 0)

        fields = row.split(b",")
        self.assertEqual(len(fields), 3, row)
        self.assertEqual(fields[1], b"0:00:00")
        self.assertTrue(fields[2].endswith(b"\r\n"))
        # The first interval's difference from one second, as the simulator sent it.
        (sent,) = intervals_sent_us(self.events, 1)
        self.assertAlmostEqual(int(fields[2]), sent - 1_000_000, delta=TIMESTAMP_PATH_US)
        self.assertEqual(read_bytes(log), row)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
