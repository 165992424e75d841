#!/usr/bin/env python3
"""cyclara-compare run as a user runs it on two files: an operator's one-second file and a
meter's whose clock is 3 s ahead, both made here from one wandering grid. What the figures
make of them the unit tests check exactly; here the files are read, the JSON and the verdict
are written, and what cannot be read is named. Live, against a real mosquitto: meters' states
published to it reach the comparison's API, page and metrics. Usage: compare_test.py BUILD"""
import json
import os
import random
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

from harness import (LOGGER, SIM, end_group, free_port, pulse_timing, start_server, stop_server,
                     wait_for)
from mqtt_test import Broker

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


def states(hertz, start, clock, after_s=0.0, offset_hz=0.0):
    """A meter's state messages, one a second from `start` (its pulses `after_s` later), as
    mosquitto_pub -l takes them."""
    lines = []
    for t, value in enumerate(hertz):
        micro = round(after_s * 1e6) % 1_000_000
        second = start + t + (round(after_s * 1e6) // 1_000_000)
        utc = time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(second)) + f".{micro:06d}Z"
        lines.append(json.dumps({"utc": utc, "frequency_hz": round(value + offset_hz, 5),
                                 "clock": clock, "frequency_uncertainty_hz": 0.0002}))
    return "\n".join(lines) + "\n"


class CompareLive(unittest.TestCase):
    def test_meters_publishing_to_a_broker_are_compared_and_a_stale_clock_is_marked(self):
        with tempfile.TemporaryDirectory() as folder:
            broker = Broker(folder)
            port = free_port()
            live = start_server([COMPARE, "--live", broker.url(), "--http", str(port)])
            try:
                wait_for(lambda: self.fetch(port, "/api/v1/pairs") is not None, "the page")
                hertz = grid(200)[:200]
                start = int(time.time()) - 200
                # Two GPS-timed meters, B's pulses 1 ms after A's and 1 mHz low, and a third
                # whose clock is not kept.
                for meter, text in (("cyclara/a", states(hertz, start, "reference")),
                                    ("cyclara/b", states(hertz, start, "reference", 0.001,
                                                         -0.001)),
                                    ("cyclara/c", states(hertz, start, "unsynchronised"))):
                    subprocess.run(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(broker.port),
                                    "-t", meter + "/state", "-l"], input=text, text=True,
                                   check=True, timeout=30)
                view = wait_for(lambda: self.compared(port), "the pair compared")
                metrics = self.fetch(port, "/metrics")
                page = self.fetch(port, "/")
                live.send_signal(signal.SIGTERM)
                code = live.wait(timeout=10)
            finally:
                stop_server(live)
                broker.stop()
        self.assertEqual(code, 0)
        self.assertEqual([m["state"] for m in view["meters"]], ["live", "live", "unsynchronised"])
        (ab,) = [p for p in view["pairs"] if (p["a"], p["b"]) == ("cyclara/a", "cyclara/b")]
        self.assertEqual(ab["at_lag"]["paired_seconds"], 200)
        self.assertAlmostEqual(ab["at_lag"]["mean_difference_mhz"], -1.0, delta=0.01)
        self.assertAlmostEqual(ab["phase_degrees"], 18.0, delta=0.1)
        self.assertEqual([p["why_not"] for p in view["pairs"] if "cyclara/c" in (p["a"], p["b"])],
                         ["cyclara/c's clock is not kept to UTC"] * 2)
        self.assertIn('cyclara_compare_meter_up{meter="cyclara/c"} 0', metrics)
        self.assertIn('cyclara_compare_phase_degrees{a="cyclara/a",b="cyclara/b"}', metrics)
        self.assertIn("cyclara/b against cyclara/a", page)

    def test_two_simulated_meters_publishing_through_their_loggers_are_seen_live(self):
        with tempfile.TemporaryDirectory() as folder:
            broker = Broker(folder)
            port = free_port()
            live = start_server([COMPARE, "--live", broker.url(), "--http", str(port)])
            sims = []
            try:
                for device in ("ttyUSB0", "ttyUSB1"):
                    sims.append(subprocess.Popen(
                        [SIM, *pulse_timing(), "--as", f"/dev/{device}", "--", *LOGGER,
                         "--device", f"/dev/{device}", "--nominal", "50", "--quiet",
                         "--record", os.path.join(folder, device), "--mqtt", broker.url()],
                        start_new_session=True, stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL))

                def both_seen():
                    text = self.fetch(port, "/api/v1/pairs")
                    view = json.loads(text) if text else {"meters": []}
                    return view if len(view["meters"]) == 2 and all(
                        m["seconds_in_window"] >= 3 for m in view["meters"]) else None
                view = wait_for(both_seen, "two meters' readings")
            finally:
                for sim in sims:
                    end_group(sim)
                stop_server(live)
                broker.stop()
        # Live where the machine's clock is kept to UTC; marked where it is not.
        for meter in view["meters"]:
            kept = meter["clock"] in ("synchronised", "slewing", "reference")
            self.assertEqual(meter["state"], "live" if kept else "unsynchronised", meter)
        (pair,) = view["pairs"]
        self.assertRegex(pair["why_not"], "seconds paired yet|clock is not kept to UTC")

    @staticmethod
    def fetch(port, route):
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{port}{route}", timeout=5) as answer:
                return answer.read().decode()
        except OSError:
            return None

    def compared(self, port):
        text = self.fetch(port, "/api/v1/pairs")
        view = json.loads(text) if text else None
        return view if view and any("at_lag" in pair for pair in view["pairs"]) else None


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
