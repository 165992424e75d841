#!/usr/bin/env python3
"""The pipeline's throughput on a recording: DAYS days (365 by default, a year) of this
program's plain record, made once by tools/sample-record, replayed by cyclara-log --replay
through the figures, the plain record on local disk, the statistics and the events, RUNS times
(3); and the same with the finished days compressed, as a run keeps them. Prints
"figure<TAB>values<TAB>method" lines, each number the median with its range.
Usage: replay_bench.py BUILD [DAYS] [RUNS]"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import time

from spread import spread

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "tools", "sample-record")


def make_days(folder, days):
    first = datetime.date(2026, 1, 1)
    for day in range(days):
        subprocess.run([sys.executable, SAMPLE, folder,
                        (first + datetime.timedelta(days=day)).isoformat()],
                       check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(folder, os.listdir(folder)[0])) as day:
        return (sum(1 for _ in day) - 1) * days  # the header is no pulse


def replay(logger, recording, out):
    shutil.rmtree(out, ignore_errors=True)
    started = time.monotonic()
    subprocess.run([logger, "--replay", recording, "--record", out, "--quiet"], check=True,
                   stderr=subprocess.DEVNULL)
    return time.monotonic() - started


def main():
    build = os.path.abspath(sys.argv[1])
    days = int(sys.argv[2]) if len(sys.argv) > 2 else 365
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    logger = os.path.join(build, "logger", "cyclara-log")
    with tempfile.TemporaryDirectory() as folder:
        plain = os.path.join(folder, "plain")
        os.mkdir(plain)
        pulses = make_days(plain, days)
        compressed = os.path.join(folder, "compressed")
        shutil.copytree(plain, compressed)
        subprocess.run(["gzip", "-q", *[os.path.join(compressed, name)
                                        for name in os.listdir(compressed)]], check=True)
        out = os.path.join(folder, "out")
        for name, recording in (("plain", plain), ("compressed", compressed)):
            seconds = [replay(logger, recording, out) for _ in range(runs)]
            rates = [pulses / s / 1e3 for s in seconds]
            print(f"replay of {days} days ({pulses / 1e6:.1f} million pulses), {name} record\t"
                  f"{spread(seconds, 1)} s, {spread(rates)} thousand pulses a second\t"
                  f"cyclara-log --replay through the figures, the record, statistics and "
                  f"events on local disk, {runs} runs")


if __name__ == "__main__":
    main()
