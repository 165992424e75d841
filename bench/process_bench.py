#!/usr/bin/env python3
"""Figures for the programs as processes, each beside its baseline in the same run: start-up
to ready and resident memory (the window against a Qt 6 program showing one empty dialog,
cyclara-log against a C++ program that opens a pty), and the cost of measuring: CPU time an
hour at one pulse a second and wake-ups a second, for the worker threads and the whole
process. Prints one line per figure; asserts nothing. Usage: process_bench.py BUILD_DIR"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import end_group, start_xvfb, wait_for  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
SIM = os.path.join(BUILD, "simulator", "cyclara-sim")
RUNS = 7
MEASURE_SECONDS = 30


def task_figures(pid):
    """CPU nanoseconds and context switches of each thread: {tid: (cpu_ns, switches)}."""
    figures = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as schedstat:
                cpu = int(schedstat.read().split()[0])
            with open(f"/proc/{pid}/task/{tid}/status") as status:
                switches = sum(int(line.split()[1]) for line in status
                               if line.startswith(("voluntary_ctxt", "nonvoluntary_ctxt")))
        except (FileNotFoundError, ProcessLookupError):
            continue
        figures[int(tid)] = (cpu, switches)
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
    """Median seconds from starting to ready, and median resident KiB once ready."""
    seconds, kib = [], []
    for _ in range(RUNS):
        session = Session(command, ["--period", "3600"], display)
        ready(session)
        seconds.append(time.monotonic() - session.started)
        kib.append(resident_kib(session.pid))
        session.close()
    return statistics.median(seconds), statistics.median(kib)


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
    figures = {}
    for name, period in (("one pulse a second", "1"), ("idle", "3600")):
        session = Session(command, ["--period", period], display)
        ready(session)
        time.sleep(3)  # past the warm-up
        figures[name] = cost(session, MEASURE_SECONDS if period == "1" else 10)
        session.close()
    return figures


def print_cost(program, figures):
    (worker, whole) = figures["one pulse a second"]
    (idle_worker, idle_whole) = figures["idle"]
    print(f"cost of measuring, {program}: CPU an hour at one pulse a second {worker[0]:.0f} ms "
          f"(worker threads), {whole[0]:.0f} ms (whole process); wake-ups a second "
          f"{worker[1]:.1f} / {whole[1]:.1f} at one pulse a second, "
          f"{idle_worker[1]:.2f} / {idle_whole[1]:.2f} idle")


def print_start_up(program, figures, baseline, baseline_figures):
    print(f"start-up and memory, {program}: {figures[0] * 1e3:.0f} ms to ready, "
          f"{figures[1] / 1024:.1f} MiB resident; {baseline} {baseline_figures[0] * 1e3:.0f} ms, "
          f"{baseline_figures[1] / 1024:.1f} MiB; ratios {figures[0] / baseline_figures[0]:.2f} "
          f"and {figures[1] / baseline_figures[1]:.2f}")


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
        print(f"plot of a day (86,400 rows, PNG): median {statistics.median(times):.2f} s of "
              f"{RUNS} runs, start-up included")


def publishing_figures(logger, logger_ready):
    """The same two figures with every pulse published to a local broker and database."""
    from influx_test import InfluxServer
    from mqtt_test import Broker
    with tempfile.TemporaryDirectory() as folder:
        broker = Broker(folder)
        influx = InfluxServer(folder)
        try:
            subprocess.run([os.path.join(BUILD, "bench", "serial_bench"), "--publishing",
                            broker.url(), influx.write_url()], check=True)
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
