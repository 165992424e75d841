"""What the end-to-end tests share: the programs under test, servers of their own on loopback,
a private X display, waiting with a deadline, files. Each test is given the build's folder."""
import calendar
import csv
import ctypes
import gzip
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest


BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
SIM = os.path.join(BUILD, "simulator", "cyclara-sim")
# A Windows build's logger runs as RUNNER PROGRAM: tools/wine-run, with the simulator's pty as
# COM5 of the prefix, and the .exe.
UNDER_WINE = len(sys.argv) > 3 and os.path.basename(sys.argv[2]) == "wine-run"
LOGGER = sys.argv[2:4] if len(sys.argv) > 3 else [os.path.join(BUILD, "logger", "cyclara-log")]
# Wine's serial layer loses an edge that comes while no wait is pending: slower pulses there.
PERIOD = "0.3" if UNDER_WINE else "0.1"
PR_SET_PDEATHSIG = 1


def end_with_this_process():
    """Run in a child before it starts its program: the kernel ends the child when the test's
    process ends, however it ends."""
    ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def start_xvfb():
    """Starts Xvfb on a free display; returns the process and the display's name."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x600x24",
                             "-nolisten", "tcp"], pass_fds=[write],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            preexec_fn=end_with_this_process)
    os.close(write)
    with os.fdopen(read) as displays:
        return xvfb, ":" + displays.readline().strip()


def free_port():
    """A loopback port nothing listens on now, for a server a test starts."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def pulse_timing(period=PERIOD):
    """The simulator's options for a pulse every `period` seconds, high for a fifth of it."""
    return ["--period", period, "--width", str(float(period) / 5)]


def logger_on_simulator(folder, *logger_args, period=PERIOD, count=None, sim=()):
    """cyclara-log's command line on the simulator's port, its CSV logs in `folder`."""
    counted = ["--count", str(count)] if count else []
    return [SIM, *pulse_timing(period), *counted, *sim, "--", *LOGGER, "--port", "5",
            "--log-dir", folder, "--nominal", "50", *logger_args]


def answers_on(port):
    """Whether something listens on that loopback port."""
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


class LoopbackServer:
    """A server of the test's own, started until `answers` holds; stop() may come twice."""

    def __init__(self, command, answers, timeout=30):
        self.command, self.answers, self.timeout = command, answers, timeout
        self.start()

    def start(self):
        self.process = start_server(self.command)
        wait_for(self.answers, f"{self.command[0]} to answer", self.timeout, interval=0.05)

    def stop(self):
        stop_server(self.process)


def child_pid(process):
    """The program a simulator started, by its parent: a pattern could match another test's."""
    return int(subprocess.run(["pgrep", "-P", str(process.pid)], capture_output=True, text=True,
                              check=True).stdout.split()[0])


def utc_seconds(utc):
    """Seconds since 1970 of the programs' "2026-12-08T11:52:20.123456Z"."""
    whole, _, fraction = utc.rstrip("Z").partition(".")
    return calendar.timegm(time.strptime(whole, "%Y-%m-%dT%H:%M:%S")) + float("0." + fraction)


def main():
    """Runs the module's tests, or the classes CYCLARA_E2E_CLASSES names, so that a long
    module can run as parts side by side; a Windows build's end with 77 where wine cannot run
    it."""
    if UNDER_WINE:
        exit_unless_wine_runs(*LOGGER)
    classes = os.environ.get("CYCLARA_E2E_CLASSES", "").split()
    unittest.main(argv=sys.argv[:1] + classes, verbosity=2)


def exit_unless_wine_runs(wine_run, program):
    """Ends the run with 77, which CTest reads as skipped, where this machine cannot run
    `program` (a 32-bit one on a kernel without 32-bit support); wine-run says why."""
    if subprocess.run([wine_run, "--check", program]).returncode == 77:
        sys.exit(77)


# How far a reported interval may lie from the one the program was shown: the emulation notes
# when the program's wait returned with each change, and the program reads its counter next,
# so the two differ by a few instructions' time. Wine learns of the change, then tells the
# Windows program through its server, at a priority of its own.
TIMESTAMP_PATH_US = 200
WINE_TIMESTAMP_PATH_US = 15_000


def event_fields(events):
    """The simulator's events, each as its tab-separated fields: nanoseconds, what, pulse..."""
    return [line.split("\t") for line in events.splitlines()]


def seen_by_pulse(events):
    """When the program learnt of each pulse's rise, by the pulse's number, from the
    simulator's events file: with the fall when the pulse was over before the program looked."""
    seen = {}
    for ns, what, pulse, *detail in event_fields(events):
        if what == "seen" and detail != ["reference"]:
            seen.setdefault(int(pulse), int(ns))
    return seen


def seen_rises_ns(events):
    """seen_by_pulse of each rise the simulator sent, in order; a rise nobody saw is left out."""
    seen = seen_by_pulse(events)
    rises = [int(fields[2]) for fields in event_fields(events) if fields[1] == "rise"]
    return [seen[pulse] for pulse in rises if pulse in seen]


def seen_intervals_us(events):
    """The intervals between the rises a program was shown, from the first on."""
    rises = seen_rises_ns(events)
    return [(later - earlier) / 1000 for earlier, later in zip(rises, rises[1:])]


def measured_intervals_us(events, count):
    """The `count` intervals a program counts from its first pulse on, as it was shown them:
    two pulses warm up and the third is the reference, so the first closes on the fourth."""
    return seen_intervals_us(events)[2:2 + count]


def intervals_sent_us(events_path, count, timeout=10):
    """measured_intervals_us of a simulator still running, which writes when the program
    learnt of a change only at its next change: waits until it has written `count`."""
    def complete():
        sent = measured_intervals_us(read_bytes(events_path).decode(errors="replace"), count)
        return sent if len(sent) == count else None
    return wait_for(complete, f"{count} intervals in the simulator's events", timeout=timeout,
                    interval=0.05)


def wait_for(condition, what, timeout=30, interval=0.1):
    """Polls `condition` until it gives a true value, which it returns."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(interval)
    raise AssertionError("timed out waiting for " + what)


def written(path, text):
    """A new file at `path` holding `text`; returns the path."""
    with open(path, "w") as file:
        file.write(text)
    return path


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


def record_table(folder):
    """Every row of the per-pulse record's day files (not its events.csv), in day order, as a
    dict by the header's column names; the layout's version line and each day's header are not
    rows. A run across UTC midnight compresses the day before, as a reader must expect."""
    rows = []
    for day in sorted(name for name in os.listdir(folder) if name[:4].isdigit()):
        text = read_bytes(os.path.join(folder, day))
        if day.endswith(".gz"):
            text = gzip.decompress(text)
        lines = [line for line in text.decode().splitlines() if not line.startswith("#")]
        rows += list(csv.DictReader(lines))
    return rows


def csv_logs(folder):
    return [name for name in os.listdir(folder) if name.endswith(".csv")]


def run(command, timeout, **options):
    """Runs a command to its end; returns (exit code, standard output, standard error).
    The output goes through files, not pipes: a wineserver that a wine program starts inherits
    them and would hold a pipe open after the program ended. On a time-out the command's whole
    process group is ended, programs it started included."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen(command, stdout=out, stderr=err, start_new_session=True,
                                   **options)
        try:
            code = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            end_group(process)
            raise
        out.seek(0)
        err.seek(0)
        return code, out.read().decode(errors="replace"), err.read().decode(errors="replace")


def start_server(command, stdout=subprocess.DEVNULL):
    """Starts a server or client a test uses, which ends with the test's process: a test that
    fails or is killed by its time-out leaves nothing running."""
    return subprocess.Popen(command, stdout=stdout, stderr=subprocess.DEVNULL,
                            preexec_fn=end_with_this_process)


def stop_server(process):
    """Stops a server from start_server, if it still runs; safe to call twice."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def end_group(process):
    """Ends a process started with start_new_session, and everything it started."""
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


class WindowOnSimulator(unittest.TestCase):
    """A window program started by cyclara-sim on a private Xvfb, from a copy in a folder of
    its own, so that its logs go there and not into the build."""

    def start(self, sim, sim_args, program, command=(), prepare=None, **environment):
        """`prepare`, when given, runs first on the display (a wine server's restart)."""
        self.xvfb, display = start_xvfb()
        self.folder = tempfile.mkdtemp()
        copy = shutil.copy(program, self.folder)
        # A file, not a pipe: nobody reads the messages until the end, and a full pipe
        # would stop the program that writes to it.
        self.messages = open(os.path.join(self.folder, "messages"), "w")
        self.env = dict(os.environ, DISPLAY=display, **environment)
        if prepare:
            subprocess.run(prepare, env=self.env, check=True)
        self.sim = subprocess.Popen([sim, *sim_args, "--", *command, copy], env=self.env,
                                    cwd=self.folder, stderr=self.messages,
                                    start_new_session=True)

    def tearDown(self):
        end_group(self.sim)
        self.xvfb.kill()
        self.xvfb.wait()
        self.messages.close()
        shutil.rmtree(self.folder)
