#!/usr/bin/env python3
"""Two builds side by side in one run, taking turns so that both meet the same machine: the
serial figures (timestamp latency, the per-pulse record's cost) and cyclara-log's cost of
measuring at one pulse a second. Prints "figure<TAB>values<TAB>method" lines, each figure once
per build, each number its median and range over the rounds. For a change's own figures
beside the landed build's. Usage: beside.py BUILD_BEFORE BUILD_AFTER [ROUNDS]"""
import os
import subprocess
import sys
import tempfile

import process_bench
from spread import main as spread_over_runs, spread

WINDOWS = 2


def logger_cost(build):
    """(worker threads, whole process) CPU ms an hour, per window of one session."""
    logger = [os.path.join(build, "logger", "cyclara-log"), "--port", "5"]
    session = process_bench.Session(logger, ["--period", "1"])
    try:
        process_bench.said("cyclara-log: log:")(session)
        process_bench.time.sleep(process_bench.SETTLE_SECONDS)
        return [process_bench.cost(session, process_bench.WINDOW_SECONDS)
                for _ in range(WINDOWS)]
    finally:
        session.close()


def main():
    builds = [os.path.abspath(path) for path in sys.argv[1:3]]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    names = ("before", "after")
    with tempfile.TemporaryDirectory() as folder:
        serial = {name: [] for name in names}
        costs = {name: [] for name in names}
        for round_number in range(rounds):
            for name, build in zip(names, builds):
                path = os.path.join(folder, f"{name}.{round_number}")
                with open(path, "w") as output:
                    subprocess.run([os.path.join(build, "bench", "serial_bench")],
                                   stdout=output, check=True)
                serial[name].append(path)
                costs[name] += logger_cost(build)
        for name, build in zip(names, builds):
            print(f"--- {name}: {build}")
            spread_over_runs(serial[name])
            print(f"cost of measuring, cyclara-log\tCPU an hour at one pulse a second "
                  f"{spread([c[0][0] for c in costs[name]])} ms (worker threads), "
                  f"{spread([c[1][0] for c in costs[name]])} ms (whole process)"
                  f"\tthe sum of every thread's /proc/PID/task/*/schedstat run time, {WINDOWS} "
                  f"windows of {process_bench.WINDOW_SECONDS} s in each of {rounds} rounds, "
                  f"{process_bench.SETTLE_SECONDS} s after the program was ready")


if __name__ == "__main__":
    main()
