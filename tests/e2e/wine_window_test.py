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
        self.assertEqual(code, 0, out + errors)
        return out.rstrip("\r\n").split("\t")

    def counted(self):
        """The fields once three intervals or more are counted, read at once, and their count:
        a probe under a busy wine may take longer than a pulse to start."""
        fields = self.drive("fields")
        self.last_fields = fields
        if not fields[1].strip():
            return None  # no pulse counted yet
        hours, minutes, seconds = map(int, fields[1].split(":"))
        count = hours * 3600 + minutes * 60 + seconds
        return (fields, count) if count >= 3 else None

    def test_open_measure_close_and_exit(self):
        checks = self.drive("check")[0].splitlines()
        self.assertTrue(checks and all(line.startswith("ok ") for line in checks), checks)
        self.drive("open", PORT)
        self.last_fields = None
        try:
            (frequency, elapsed, width, difference), count = wait_for(
                self.counted, "three counted intervals", timeout=60)
        except AssertionError as timeout:
            raise AssertionError(f"{timeout}; the fields said {self.last_fields}") from None
        self.assertEqual(frequency, "60")
        self.assertRegex(elapsed, r"^    0:00:\d\d$")
        # The last interval and the mean of all, as the simulator sent them.
        sent = intervals_sent_us(os.path.join(self.folder, "events"), count)
        self.assertAlmostEqual(int(width), sent[-1], delta=WINE_TIMESTAMP_PATH_US)
        self.assertRegex(difference, r"^[-+ ]\d+$")
        self.assertAlmostEqual(int(difference.replace(" ", "")), sum(sent) / count - 1_000_000,
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
