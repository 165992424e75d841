#!/usr/bin/env python3
"""cyclara-compare run as a user runs it on two files: an operator's one-second file and a
meter's whose clock is 3 s ahead, both made here from one wandering grid. What the figures
make of them the unit tests check exactly; here the files are read, the JSON and the verdict
are written, and what cannot be read is named. Usage: compare_test.py BUILD"""
import json
import os
import random
import subprocess
import sys
import tempfile
import unittest

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
COMPARE = os.path.join(BUILD, "compare", "cyclara-compare")
START = 1796601600  # 2026-12-07T00:00:00Z


def grid(seconds):
    wander, hertz = 0.0, []
    rng = random.Random(7)
    for _ in range(seconds + 20):
        wander += rng.uniform(-0.002, 0.002)
        hertz.append(50 + wander)
    return hertz


class CompareFiles(unittest.TestCase):
    def test_a_meter_three_seconds_ahead_and_one_millihertz_low_is_told_so(self):
        hertz = grid(1800)
        with tempfile.TemporaryDirectory() as folder:
            operator = os.path.join(folder, "operator.csv")
            meter = os.path.join(folder, "meter.csv")
            with open(operator, "w") as file:
                file.write("time,hertz\n" + "".join(
                    f"{START + t},{hertz[t + 10]:.5f}\n" for t in range(1800)))
            with open(meter, "w") as file:  # deviations in mHz, its labels 3 s ahead
                file.write("".join(
                    f"{START + t + 3},{(hertz[t + 10] - 50) * 1e3 - 1.0:.3f}\n"
                    for t in range(1800)))
            done = subprocess.run([COMPARE, operator, meter, "--nominal", "50", "--json"],
                                  capture_output=True, text=True, timeout=60)
            text = subprocess.run([COMPARE, operator, meter, "--nominal", "50"],
                                  capture_output=True, text=True, timeout=60)
            missing = subprocess.run([COMPARE, operator, os.path.join(folder, "none.csv")],
                                     capture_output=True, text=True, timeout=60)
            pictures = [os.path.join(BUILD, "compare." + kind) for kind in ("png", "svg")]
            drawn = [subprocess.run([COMPARE, operator, meter, "--nominal", "50", "--picture",
                                     picture], capture_output=True, text=True, timeout=60,
                                    env=dict(os.environ, XDG_RUNTIME_DIR=""))
                     for picture in pictures]
        self.assertEqual(done.returncode, 0, done.stderr)
        (pair,) = json.loads(done.stdout)
        self.assertAlmostEqual(pair["lag_s"], 3.0, delta=0.15)
        self.assertAlmostEqual(pair["at_lag"]["mean_difference_mhz"], -1.0, delta=0.01)
        self.assertTrue(pair["same_area"])
        self.assertIn("time,hertz, 50 Hz, time labels at each second's start", done.stderr)
        self.assertIn("one-second deviations in mHz", done.stderr)
        self.assertEqual(text.returncode, 0, text.stderr)
        self.assertIn("after shifting " + meter + " by -3.0 s; " + meter + " reads 1.0 mHz low",
                      text.stdout)
        self.assertEqual(missing.returncode, 1)
        self.assertIn("none.csv", missing.stderr)
        for picture, run in zip(pictures, drawn):
            with self.subTest(picture):
                self.assertEqual((run.returncode, run.stderr.count("QStandardPaths")), (0, 0),
                                 run.stderr)
                with open(picture, "rb") as file:
                    start = file.read(512)
                self.assertTrue(start.startswith(b"\x89PNG") or b"<svg" in start, start[:40])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
