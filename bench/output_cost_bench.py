#!/usr/bin/env python3
"""The CPU cyclara-log spends an hour at one pulse a second, with no output and with every
output at once (the per-pulse record, MQTT, InfluxDB, the live page with one event stream
open and /metrics scraped every 15 s), side by side in one run, and that second figure broken
down by thread: each output's thread is named for it, the local files share one. Prints lines
"figure<TAB>values<TAB>method", each value the median with its range over the windows;
asserts nothing. Usage: output_cost_bench.py BUILD_DIR"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import end_group, free_port, wait_for  # noqa: E402
from influx_test import InfluxServer  # noqa: E402
from mqtt_test import Broker  # noqa: E402
from process_bench import task_figures  # noqa: E402
from spread import spread  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
SIM = os.path.join(BUILD, "simulator", "cyclara-sim")
LOGGER = os.path.join(BUILD, "logger", "cyclara-log")
WARM_UP_SECONDS = 15
WINDOWS = 5
WINDOW_SECONDS = int(os.environ.get("CYCLARA_BENCH_WINDOW_SECONDS", "60"))
SCRAPE_SECONDS = 15


def threads_cpu_ns(pid):
    """CPU nanoseconds by thread name, summed over the threads of that name."""
    by_name = {}
    for cpu, _, name in task_figures(pid).values():
        by_name[name] = by_name.get(name, 0) + cpu
    return by_name


def child_pid(sim):
    return int(wait_for(lambda: subprocess.run(["pgrep", "-P", str(sim.pid)],
                                               capture_output=True, text=True).stdout.split(),
                        "the logger")[0])


def windows(pids):
    """Each window's CPU ms an hour, by thread name, for each process, measured together."""
    results = [[] for _ in pids]
    for _ in range(WINDOWS):
        before = [threads_cpu_ns(pid) for pid in pids]
        time.sleep(WINDOW_SECONDS)
        after = [threads_cpu_ns(pid) for pid in pids]
        for result, early, late in zip(results, before, after):
            result.append({name: (late[name] - early.get(name, 0)) / 1e6 * 3600 / WINDOW_SECONDS
                           for name in late})
    return results


def start(device, folder, logger_args):
    return subprocess.Popen([SIM, "--period", "1", "--width", "0.2", "--as", device, "--",
                             LOGGER, "--device", device, "--nominal", "50", "--quiet",
                             "--log-dir", folder, *logger_args],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)


def run_side_by_side(every_args, port):
    """The logger with no output and with every output, on two simulators at once, so that
    both figures come from the same windows of the same machine."""
    folders = [tempfile.mkdtemp(), tempfile.mkdtemp()]
    sims = []
    try:
        sims.append(start("/dev/ttyUSB0", folders[0], []))
        sims.append(start("/dev/ttyUSB3", folders[1], every_args(folders[1])))
        pids = [child_pid(sim) for sim in sims]
        stop = threading.Event()
        clients = page_clients(port, stop)
        time.sleep(WARM_UP_SECONDS)
        figures = windows(pids)
        stop.set()
        for client in clients:
            client.join()
        return figures
    finally:
        for sim in sims:
            end_group(sim)
        for folder in folders:
            shutil.rmtree(folder)


def page_clients(port, stop):
    """One event stream read throughout, and /metrics scraped every 15 s, as Prometheus does."""
    def stream():
        while not stop.is_set():
            try:
                with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/v1/stream",
                                            timeout=5) as events:
                    while not stop.is_set():
                        events.readline()
            except OSError:
                stop.wait(0.5)

    def scrape():
        while not stop.wait(SCRAPE_SECONDS):
            try:
                urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=5).read()
            except OSError:
                pass
    clients = [threading.Thread(target=stream, daemon=True), threading.Thread(target=scrape)]
    for client in clients:
        client.start()
    return clients[1:]  # the stream ends with the logger


def total(window):
    return sum(window.values())


def main():
    with tempfile.TemporaryDirectory() as servers:
        broker, influx = Broker(servers), InfluxServer(servers)
        try:
            port = free_port()
            none, every = run_side_by_side(
                lambda folder: ["--record", os.path.join(folder, "record"), "--mqtt",
                                broker.url(), "--influx", influx.write_url(), "--http",
                                f"127.0.0.1:{port}"], port)
        finally:
            broker.stop()
            influx.stop()
    names = sorted({name for window in every for name in window},
                   key=lambda name: -statistics.median(w.get(name, 0) for w in every))
    breakdown = ", ".join(f"{name} {spread([w.get(name, 0) for w in every])}" for name in names)
    method = (f"the sum of every thread's /proc/PID/task/*/schedstat run time over {WINDOWS} "
              f"windows of {WINDOW_SECONDS} s, {WARM_UP_SECONDS} s after the start, the two "
              f"loggers side by side on two cyclara-sim at one pulse a second; by "
              f"/proc/PID/task/*/comm, where cyclara-log is the main and receive threads and "
              f"the libraries' own")
    print(f"CPU an hour, no output beside every output\tno output "
          f"{spread([total(w) for w in none])} ms; every output (record, MQTT, InfluxDB, the "
          f"live page with a stream open and /metrics scraped every {SCRAPE_SECONDS} s) "
          f"{spread([total(w) for w in every])} ms, of which {breakdown}\t{method}")


if __name__ == "__main__":
    main()
