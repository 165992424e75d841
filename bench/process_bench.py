#!/usr/bin/env python3
"""Figures for the programs as processes, each beside its baseline in the same run: start-up
to ready and resident memory (the window against a Qt 6 program showing one empty dialog,
cyclara-log against a C++ program that opens a pty), and the cost of measuring: CPU time an
hour at one pulse a second and wake-ups a second, for the worker threads and the whole
process. Prints one line per figure, "figure<TAB>values<TAB>method", each value the median
with its range over the runs; asserts nothing. Usage: process_bench.py BUILD_DIR"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import end_group, start_xvfb, wait_for  # noqa: E402
from spread import main as spread_over_runs, spread  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
SIM = os.path.join(BUILD, "simulator", "cyclara-sim")
RUNS = 7
# The cost of measuring: after the measurement's own start (its log opened, its first rows),
# windows long enough to hold whole pulses, the same in number for every program.
SETTLE_SECONDS = 10
WINDOWS = 5
WINDOW_SECONDS = 12
PUBLISHING_RUNS = 3


def task_figures(pid):
    """CPU nanoseconds, context switches and name of each thread:
    {tid: (cpu_ns, switches, name)}."""
    figures = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as schedstat:
                cpu = int(schedstat.read().split()[0])
            with open(f"/proc/{pid}/task/{tid}/status") as status:
                lines = status.read().splitlines()
        except (FileNotFoundError, ProcessLookupError):
            continue
        switches = sum(int(line.split()[1]) for line in lines
                       if line.startswith(("voluntary_ctxt", "nonvoluntary_ctxt")))
        name = next(line.split(maxsplit=1)[1] for line in lines if line.startswith("Name:"))
        figures[int(tid)] = (cpu, switches, name)
    return figures


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS"))


# Start-up is timed to a millisecond or so: every wait polls that often.
POLL = 0.001


def child_of(pid):
    return wait_for(lambda: subprocess.run(["pgrep", "-P", str(pid)], capture_output=True,
                                           text=True).stdout.split(), "the child",
                    interval=POLL)[0]


class Session:
    """A program started by the simulator, in its own folder, on a private display."""

    def __init__(self, command, sim_args=(), display=None):
        self.folder = tempfile.mkdtemp()
        self.errors = open(os.path.join(self.folder, "errors"), "w+")
        env = dict(os.environ, QT_QPA_PLATFORM="xcb")
        if display:
            env["DISPLAY"] = display
        self.env = env
        self.started = time.monotonic()
        self.sim = subprocess.Popen([SIM, *sim_args, "--", *command], env=env, cwd=self.folder,
                                    stdout=subprocess.DEVNULL, stderr=self.errors,
                                    start_new_session=True)
        self.pid = int(child_of(self.sim.pid))

    def stderr_has(self, text):
        self.errors.seek(0)
        return text in self.errors.read()

    def close(self):
        end_group(self.sim)
        self.errors.close()
        shutil.rmtree(self.folder)


def start_up(command, ready, display=None):
    """Seconds from starting to ready, and resident KiB once ready, of each run."""
    seconds, kib = [], []
    for _ in range(RUNS):
        session = Session(command, ["--period", "3600"], display)
        ready(session)
        seconds.append(time.monotonic() - session.started)
        kib.append(resident_kib(session.pid))
        session.close()
    return seconds, kib


def window_shown(title):
    def ready(session):
        wait_for(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                                        env=session.env, capture_output=True).stdout,
                 title, interval=POLL)
    return ready


def said(text):
    return lambda session: wait_for(lambda: session.stderr_has(text), text, interval=POLL)


def open_port_in_window(session):
    def keys(title, *keys):
        window = wait_for(lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", title], env=session.env,
            capture_output=True, text=True).stdout.split(), title)[0]
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=session.env)
        subprocess.run(["xdotool", "key", "--delay", "150", *keys], env=session.env)
    keys("^Cyclara$", "alt+f", "p")
    keys("シリアルポートの条件", "Tab", "Tab", "Down", "Down", "Down", "Down", "Return")


def cost(session, seconds):
    """(worker, whole process) as (CPU ms an hour, wake-ups a second) over `seconds`."""
    before = task_figures(session.pid)
    time.sleep(seconds)
    after = task_figures(session.pid)

    def over(tids):
        cpu = sum(after[t][0] - before[t][0] for t in tids if t in before)
        switches = sum(after[t][1] - before[t][1] for t in tids if t in before)
        return cpu / 1e6 * 3600 / seconds, switches / seconds
    workers = [t for t in after if t != session.pid]
    return over(workers), over(list(after))


def measuring_cost(command, ready, display=None):
    """For one pulse a second and idle: the cost of each window, in one session each."""
    figures = {}
    for name, period in (("one pulse a second", "1"), ("idle", "3600")):
        session = Session(command, ["--period", period], display)
        ready(session)
        time.sleep(SETTLE_SECONDS)
        figures[name] = [cost(session, WINDOW_SECONDS) for _ in range(WINDOWS)]
        session.close()
    return figures


COST_METHOD = (f"the sum of every thread's /proc/PID/task/*/schedstat run time and context "
               f"switches, {WINDOWS} windows of {WINDOW_SECONDS} s each, "
               f"{SETTLE_SECONDS} s after the program was ready, against cyclara-sim")


def print_cost(program, figures):
    def column(name, which, what):
        return [window[which][what] for window in figures[name]]
    pulses, idle = "one pulse a second", "idle"
    print(f"cost of measuring, {program}\tCPU an hour at one pulse a second "
          f"{spread(column(pulses, 0, 0))} ms (worker threads), "
          f"{spread(column(pulses, 1, 0))} ms (whole process); wake-ups a second "
          f"{spread(column(pulses, 0, 1), 1)} / {spread(column(pulses, 1, 1), 1)} at one pulse "
          f"a second, {spread(column(idle, 0, 1), 2)} / {spread(column(idle, 1, 1), 2)} idle"
          f"\t{COST_METHOD}")


def print_start_up(program, figures, baseline, baseline_figures):
    (seconds, kib), (base_seconds, base_kib) = figures, baseline_figures
    print(f"start-up and memory, {program}\t{spread([s * 1e3 for s in seconds])} ms to ready, "
          f"{spread([k / 1024 for k in kib], 1)} MiB resident; {baseline} "
          f"{spread([s * 1e3 for s in base_seconds])} ms, "
          f"{spread([k / 1024 for k in base_kib], 1)} MiB; ratios of medians "
          f"{statistics.median(seconds) / statistics.median(base_seconds):.2f} and "
          f"{statistics.median(kib) / statistics.median(base_kib):.2f}\t{RUNS} starts each, "
          f"timed to the first sign of readiness, VmRSS then")


def print_plot_time():
    """cyclara-plot drawing a simulated day: 86,400 one-second rows."""
    with tempfile.TemporaryDirectory() as folder:
        sample = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools",
                              "sample-record")
        day = subprocess.run([sys.executable, sample, folder], check=True, capture_output=True,
                             text=True).stdout.strip()
        times = []
        for _ in range(RUNS):
            started = time.monotonic()
            subprocess.run([os.path.join(BUILD, "plot", "cyclara-plot"), day, "-o",
                            os.path.join(folder, "day.png")], check=True,
                           stderr=subprocess.DEVNULL)
            times.append(time.monotonic() - started)
        print(f"plot of a day (86,400 rows, PNG)\t{spread(times, 2)} s\t{RUNS} runs of "
              f"cyclara-plot on tools/sample-record's day, start-up included")


def publishing_figures(logger, logger_ready):
    """The same two figures with every pulse published to a local broker and database."""
    from influx_test import InfluxServer
    from mqtt_test import Broker
    with tempfile.TemporaryDirectory() as folder:
        broker = Broker(folder)
        influx = InfluxServer(folder)
        try:
            outputs = []
            for run in range(PUBLISHING_RUNS):
                outputs.append(os.path.join(folder, f"publishing.{run}"))
                with open(outputs[-1], "w") as output:
                    subprocess.run([os.path.join(BUILD, "bench", "serial_bench"),
                                    "--publishing", broker.url(), influx.write_url()],
                                   stdout=output, check=True)
            spread_over_runs(outputs)
            print_cost("cyclara-log publishing to MQTT and InfluxDB",
                       measuring_cost(logger + ["--mqtt", broker.url(), "--influx",
                                                influx.write_url(), "--nominal", "50"],
                                      logger_ready))
        finally:
            broker.stop()
            influx.stop()


def main():
    print_plot_time()
    logger = [os.path.join(BUILD, "logger", "cyclara-log"), "--port", "5"]
    logger_ready = said("cyclara-log: log:")
    print_start_up("cyclara-log", start_up(logger, logger_ready), "minimal pty program",
                   start_up([os.path.join(BUILD, "bench", "minimal_pty"), "/dev/ttyUSB0"],
                            said("minimal_pty: ready")))
    print_cost("cyclara-log", measuring_cost(logger, logger_ready))
    publishing_figures(logger, logger_ready)

    xvfb, display = start_xvfb()
    try:
        window = [os.path.join(BUILD, "cyclara")]
        print_start_up("cyclara window", start_up(window, window_shown("^Cyclara$"), display),
                       "minimal Qt dialog",
                       start_up([os.path.join(BUILD, "bench", "minimal_dialog")],
                                window_shown("^Minimal$"), display))

        def window_measuring(session):
            window_shown("^Cyclara$")(session)
            open_port_in_window(session)
        print_cost("cyclara window", measuring_cost(window, window_measuring, display))
    finally:
        xvfb.kill()
        xvfb.wait()


if __name__ == "__main__":
    main()
