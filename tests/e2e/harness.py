"""What the end-to-end tests share: a private X display, waiting with a deadline, files."""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest


def start_xvfb():
    """Starts Xvfb on a free display; returns the process and the display's name."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x600x24",
                             "-nolisten", "tcp"], pass_fds=[write],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as displays:
        return xvfb, ":" + displays.readline().strip()


def free_port():
    """A loopback port nothing listens on now, for a server a test starts."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def exit_unless_wine_runs(wine_run, program):
    """Ends the run with 77, which CTest reads as skipped, where this machine cannot run
    `program` (a 32-bit one on a kernel without 32-bit support); wine-run says why."""
    if subprocess.run([wine_run, "--check", program]).returncode == 77:
        sys.exit(77)


def wait_for(condition, what, timeout=30, interval=0.1):
    """Polls `condition` until it gives a true value, which it returns."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(interval)
    raise AssertionError("timed out waiting for " + what)


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


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
