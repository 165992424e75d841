#!/usr/bin/env python3
"""cyclara-log writing to a real InfluxDB 1.x (Debian's influxd, started here on free loopback
ports with its data in the test's folder), read back through its HTTP query endpoint: the
points against the per-pulse record, exactly, and a server that goes away and comes back.
Usage: influx_test.py BUILD_DIR [tools/wine-run CYCLARA_LOG_EXE] for the Windows build's."""
import json
import os
import subprocess
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

from harness import (UNDER_WINE, LoopbackServer, free_port, logger_on_simulator, main,
                     record_table, run, written)

DEVICE = "\\\\.\\COM5" if UNDER_WINE else "/dev/ttyUSB0"  # what port 5 names


class InfluxServer(LoopbackServer):
    def __init__(self, folder):
        self.port = free_port()
        self.config = written(os.path.join(folder, "influxdb.conf"), f"""reporting-disabled = true
bind-address = "127.0.0.1:{free_port()}"
[meta]
  dir = "{folder}/meta"
[data]
  dir = "{folder}/data"
  wal-dir = "{folder}/wal"
  query-log-enabled = false
[http]
  bind-address = "127.0.0.1:{self.port}"
  log-enabled = false
[monitor]
  store-enabled = false
""")
        super().__init__(["influxd", "-config", self.config], self.answers)
        self.query("CREATE DATABASE grid", post=True)

    def answers(self):
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/ping", timeout=1) as reply:
                return reply.status == 204
        except OSError:
            return False

    def query(self, text, post=False):
        data = urllib.parse.urlencode({"q": text, "db": "grid", "epoch": "ns"}).encode()
        url = f"http://127.0.0.1:{self.port}/query"
        request = urllib.request.Request(url, data=data) if post else \
            urllib.request.Request(url + "?" + data.decode())
        with urllib.request.urlopen(request, timeout=10) as reply:
            return json.load(reply)

    def points(self):
        series = self.query("SELECT * FROM cyclara")["results"][0].get("series", [])
        if not series:
            return []
        columns = series[0]["columns"]
        return [dict(zip(columns, values)) for values in series[0]["values"]]

    def write_url(self):
        return f"http://127.0.0.1:{self.port}/write?db=grid"


def logger_command(folder, url, *extra, count=40):
    return logger_on_simulator(folder, "--influx", url, *extra, count=count)


class InfluxAgainstInfluxd(unittest.TestCase):
    def setUp(self):
        self.dir = self.enterContext(tempfile.TemporaryDirectory())
        self.server = InfluxServer(self.dir)
        self.addCleanup(self.server.stop)

    def test_points_match_the_record_exactly(self):
        record = os.path.join(self.dir, "record")
        code, _, errors = run(logger_command(self.dir, self.server.write_url(), "--count", "5",
                                             "--record", record), 60)
        self.assertEqual(code, 0, errors)
        rows = record_table(record)
        points = self.server.points()
        self.assertEqual(len(points), len(rows),
                         "the epoch's start, the reference, 5 pulses and the stop")
        self.assertEqual(len([p for p in points if p["difference_us"] is not None]), 5)
        for point, row in zip(points, rows):
            self.assertEqual(time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(point["time"] // 10**9))
                             + f".{point['time'] // 1000 % 10**6:06d}Z", row["utc"])
            self.assertEqual((point["event"] or ""), row["event"])
            self.assertEqual((point["host"].lower(), point["device"]),
                             (os.uname().nodename.lower(), DEVICE))
            if row["seconds"]:
                self.assertEqual(point["elapsed"], int(row["seconds"]))
                self.assertEqual(f"{point['grid_time_deviation']:+.6f}",
                                 row["grid_time_deviation_s"])
            if row["interval_us"]:
                # The record keeps the digits the counter resolves: 0.1 us on Windows.
                self.assertEqual(point["interval_us"], float(row["interval_us"]))

    def test_a_server_away_and_back_gets_every_point(self):
        # Credentials in the URL, which the server (without authentication) ignores.
        url = self.server.write_url() + "&u=meter&p=secret"
        # Away from the start, so the first batch (sent at once; later ones every 10 s) fails.
        self.server.stop()
        sim = subprocess.Popen(logger_command(self.dir, url, "--count", "80",
                                              count="90"), start_new_session=True,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        time.sleep(3)
        self.server.start()
        out, errors = sim.communicate(timeout=60)
        self.assertEqual(sim.returncode, 0, errors)
        self.assertEqual(errors.count("InfluxDB at"), 1, "the failure is said once")
        self.assertNotIn("secret", errors)
        self.assertEqual(len(out.splitlines()), 80)
        measured = [p for p in self.server.points() if p["difference_us"] is not None]
        self.assertEqual(len(measured), 80)

    def test_a_refused_batch_is_dropped_not_sent_again(self):
        # The text field as an integer first, now, in the shard the run's points go to: every
        # point that carries the device's text conflicts, which no retry can mend.
        urllib.request.urlopen(self.server.write_url(), data=b"cyclara frequency_text=1i",
                               timeout=10).close()
        code, _, errors = run(logger_command(self.dir, self.server.write_url(), "--count", "20"),
                              60)
        self.assertEqual(code, 0, errors)
        self.assertEqual(errors.count("refused"), 2, "the first refusal, and the count at the end")
        self.assertIn("field type conflict", errors)
        self.assertNotIn("trying again", errors)

if __name__ == "__main__":
    main()
