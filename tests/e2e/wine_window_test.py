#!/usr/bin/env python3
"""Cyclara.exe under wine on a private Xvfb, started by cyclara-sim with the simulator's pty as
COM5 of the prefix, driven from outside by a small Win32 probe that checks the window and the
port dialog, opens the port, reads the fields back with WM_GETTEXT, closes the port and exits as
a user would. Usage: wine_window_test.py HOST_BUILD_DIR WINE_RUN CYCLARA_EXE PROBE_EXE"""
import os
import sys
import unittest

from harness import (SIM, WINE_TIMESTAMP_PATH_US, WindowOnSimulator, csv_logs,
                     exit_unless_wine_runs, intervals_sent_us, read_bytes, run, wait_for)

WINE_RUN, PROGRAM, PROBE = sys.argv[2:5]
PORT = "5"


class WineWindowAgainstSimulator(WindowOnSimulator):
    def setUp(self):
        self.start(SIM, ["--period", "1", "--width", "0.5", "--frequency", "60", "--events",
                         "events"], PROGRAM, [WINE_RUN],
                   prepare=[WINE_RUN, "--restart", PROGRAM])

    def drive(self, *step):
        code, out, errors = run([WINE_RUN, PROBE, *step], 120, env=self.env)
        self.assertEqual(code, 0, errors)
        return out.rstrip("\r\n").split("\t")

    def test_open_measure_close_and_exit(self):
        checks = self.drive("check")[0].splitlines()
        self.assertTrue(checks and all(line.startswith("ok ") for line in checks), checks)
        self.drive("open", PORT)
        frequency, elapsed, width, difference = wait_for(
            lambda: (lambda f: f if f[1].strip() == "0:00:03" else None)(self.drive("fields")),
            "three counted pulses", timeout=60)
        self.assertEqual(frequency, "60")
        self.assertEqual(elapsed, "    0:00:03")
        # The third interval and the mean of three, as the simulator sent them.
        sent = intervals_sent_us(os.path.join(self.folder, "events"), 3)
        self.assertAlmostEqual(int(width), sent[-1], delta=WINE_TIMESTAMP_PATH_US)
        self.assertRegex(difference, r"^[-+ ]\d+$")
        self.assertAlmostEqual(int(difference.replace(" ", "")), sum(sent) / 3 - 1_000_000,
                               delta=WINE_TIMESTAMP_PATH_US)

        self.drive("close")
        self.drive("exit")
        self.assertEqual(self.sim.wait(timeout=30), 0)
        (log,) = csv_logs(self.folder)
        self.assertRegex(read_bytes(os.path.join(self.folder, log)).decode(),
                         r"^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,0:00:00,[-+ ]\d+\r\n$")


if __name__ == "__main__":
    exit_unless_wine_runs(WINE_RUN, PROGRAM)
    unittest.main(argv=sys.argv[:1], verbosity=2)
