"""What the end-to-end tests share: a private X display, waiting with a deadline, files."""
import os
import signal
import subprocess
import tempfile
import time


def start_xvfb():
    """Starts Xvfb on a free display; returns the process and the display's name."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x600x24",
                             "-nolisten", "tcp"], pass_fds=[write],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as displays:
        return xvfb, ":" + displays.readline().strip()


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
