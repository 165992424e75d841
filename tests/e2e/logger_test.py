#!/usr/bin/env python3
"""cyclara-log run as a user runs it, against cyclara-sim: the rows it prints, the CSV log it
writes, its exit codes and messages. Pulses come every 100 ms (300 ms under wine, whose serial
layer loses an edge that comes while no wait is pending): the window's arithmetic does not care
that the period is short, though the grid figures call each such edge a glitch; they are checked
at one-second intervals. Each width is checked against the interval the simulator actually sent, and the
figures exactly against the program's own record. Usage: logger_test.py BUILD_DIR [RUNNER
CYCLARA_LOG_EXE], where RUNNER is tools/wine-run for a Windows build or qemu-user for a board's
build."""
import concurrent.futures
import csv
import fcntl
import os
import re
import resource
import shlex
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import unittest

from harness import (LOGGER, SIM, UNDER_WINE, child_pid, csv_logs,
                     end_group, main, pulse_timing, read_bytes, record_table, run,
                     seen_intervals_us, written)

# The checks' runs at one pulse a second, the same in every build, are the plain build's: a
# build under wine, qemu-user or ThreadSanitizer (CYCLARA_E2E_QUICK) leaves them out.
QUICK = UNDER_WINE or os.environ.get("CYCLARA_E2E_QUICK") == "1"
ONE_SECOND_RUNS = "checks at one pulse a second; the plain build runs them"
SAMPLE_RECORD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                             "sample-record")
SIM_TIMING = pulse_timing()
ROW = re.compile(r"^(\d+):(\d\d):(\d\d)\t(-?\d+)\t([-+]?\d+)\t(\S+)\t(-|\d+\.\d{5})\t"
                 r"([-+]\d+\.\d{6})$")
F_SETPIPE_SZ = 1031
CSV_ROW = re.compile(rb"^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,(\d+:\d\d:\d\d),([-+ ])(\d+)\r\n$")


def run_logged(sim_args, logger_args, timeout=60, timing=SIM_TIMING):
    """Runs the logger under the simulator; returns (exit code, rows, stderr, CSV bytes,
    the simulator's events)."""
    with tempfile.TemporaryDirectory() as folder:
        events = os.path.join(folder, "events")
        command = [SIM, *timing, "--events", events, *sim_args, "--",
                   *LOGGER, "--port", "5", "--log-dir", folder, *logger_args]
        code, out, errors = run(command, timeout)
        logs = csv_logs(folder)
        csv = read_bytes(os.path.join(folder, logs[0])) if len(logs) == 1 else None
        return code, out.splitlines(), errors, csv, read_bytes(events).decode()


def one_second_run(folder, sim_args, logger_args, timeout=60, **options):
    """The logger at one pulse a second, quiet, recording into folder/record: (exit code,
    standard output, standard error, the record's rows, the simulator's events)."""
    record, events = os.path.join(folder, "record"), os.path.join(folder, "events")
    code, out, errors = run([SIM, "--period", "1", "--events", events, *sim_args, "--", *LOGGER,
                             "--port", "5", "--log-dir", folder, "--record", record, "--nominal",
                             "50", "--quiet", *logger_args], timeout, **options)
    return code, out, errors, record_table(record), read_bytes(events).decode()


def csv_rows(*path):
    with open(os.path.join(*path)) as file:
        return list(csv.DictReader(file))


def parse_rows(lines):
    rows = [ROW.match(line) for line in lines]
    return [(int(m[1]) * 3600 + int(m[2]) * 60 + int(m[3]), int(m[4]), int(m[5]), m[6])
            for m in rows if m]


class LoggerAgainstSimulator(unittest.TestCase):
    def assert_widths_sent(self, widths, events, spans):
        """Each width spans a whole number of the intervals sent (`spans` of them, natively):
        each row is the time between two rises. The widths' figures are checked exactly in
        virtual time; here a loaded machine's late timestamp changes nothing. Wine's serial
        layer compares the lines with what they were when its wait began, so an edge that
        comes before the wait is pending again is never reported: there a width may span more
        intervals, but never part of one."""
        typical = statistics.median(seen_intervals_us(events))
        found = [round(width / typical) for width in widths]
        for width, span in zip(widths, found):
            self.assertLess(abs(width - span * typical), typical / 4, (widths, typical))
        if not UNDER_WINE:
            self.assertEqual(found, spans, widths)

    def test_rows_and_log_of_a_run(self):
        # Pulse 11 is skipped: the eighth interval is two; each text line comes 20 ms before
        # its edge, and delays none.
        code, lines, errors, csv, events = run_logged(
            ["--offset-ppm", "5000", "--frequency", "60", "--noise", "24", "--count", "40",
             "--skip", "11", "--line-lead", "0.02"], ["--count", "20", "--speed", "19200"])
        self.assertEqual(code, 0, errors)
        self.assertIn("\tsettings\t0\t19200 8N1\n", events, "the line as the device sees it")
        self.assertNotIn("by force", errors, "the stop was acknowledged")
        rows = parse_rows(lines)
        self.assertEqual(len(lines), 20, "nothing but rows on standard output")
        self.assertEqual([r[0] for r in rows], list(range(1, 21)))
        self.assertEqual({r[3] for r in rows}, {"60"})
        self.assert_widths_sent([r[1] for r in rows], events, [1] * 7 + [2] + [1] * 12)
        self.assertIn("timing: driver wait (", errors)
        self.assertIsNotNone(csv, "one log file")
        row = CSV_ROW.match(csv)
        self.assertIsNotNone(row, csv)
        self.assertEqual(row[1], b"0:00:00")
        self.assertEqual(row[2] + row[3], b"-" + str(-rows[0][2]).encode())

    def test_a_removed_device_ends_the_run_with_exit_1(self):
        code, lines, errors, csv, events = run_logged(["--remove-after", "8"],
                                                      ["--no-reconnect"])
        self.assertEqual(code, 1, errors)
        self.assertIn("stopped answering", errors)
        # Every pulse before the removal is a row; under wine, which may lose an edge, a row
        # may span two, and the edge just before the removal may never be told.
        rows = parse_rows(lines)
        self.assert_widths_sent([r[1] for r in rows], events, [1] * len(rows))
        if not UNDER_WINE:
            self.assertEqual(len(rows), 5)
        self.assertIsNotNone(CSV_ROW.match(csv))

    def test_a_device_pulled_out_twice_is_waited_for_and_every_opening_recorded(self):
        # Five pulses an opening: two warm-up, the reference, two rows; the third opening ends
        # after one row. Every pulse must be seen, so under wine, whose serial layer loses an
        # edge that comes before its wait is pending again (on a loaded machine, also at
        # 300 ms), they come a second apart.
        with tempfile.TemporaryDirectory() as record:
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            code, lines, errors, _, events = run_logged(
                ["--remove-after", "5", "--back-after", "1.5", "--count", "14"],
                ["--count", "5", "--record", record, "--nominal", "50"], timeout=90,
                timing=pulse_timing("1") if UNDER_WINE else SIM_TIMING)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            self.assertEqual(code, 0, errors)
            self.assertEqual([r[0] for r in parse_rows(lines)], [1, 2, 1, 2, 1], lines)
            self.assertEqual(events.count("\tback\t"), 2)
            # Each opening says how it timestamps, then counts from its reference pulse; the
            # grid time and the bands are the clock's and the readings' to say, left out here
            # (under wine a reading's timing path alone can leave the standard range).
            openings = ("timing", "start", "device lost", "device back", "stop")
            happened = [row["event"].partition(":")[0] for row in record_table(record)]
            self.assertEqual([e for e in happened if e in openings],
                             ["timing", "start", "device lost", "device back"] * 2 +
                             ["timing", "start", "stop"])
            cpu = (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)
            print(f"reconnection twice: {cpu:.2f} s CPU for the simulator and the logger",
                  file=sys.stderr)
            self.assertLess(cpu, 2.0, "nothing spins while the device is away")

    @unittest.skipIf(UNDER_WINE, "wine delivers no signal to the Windows program")
    def test_a_stop_signal_exits_0_with_the_log_and_the_record_complete(self):
        for stop_signal in (signal.SIGTERM, signal.SIGHUP):
            with self.subTest(stop_signal.name), tempfile.TemporaryDirectory() as folder:
                record = os.path.join(folder, "record")
                logs = os.path.join(folder, "logs")  # not there yet: the logger makes it
                sim = subprocess.Popen([SIM, *SIM_TIMING, "--", *LOGGER, "--port", "5",
                                        "--log-dir", logs, "--record", record],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                for _ in range(3):
                    sim.stdout.readline()
                os.kill(child_pid(sim), stop_signal)
                _, errors = sim.communicate(timeout=10)
                self.assertEqual(sim.returncode, 0, errors)
                (log,) = csv_logs(logs)
                self.assertIsNotNone(CSV_ROW.match(read_bytes(os.path.join(logs, log))))
                self.assertEqual(record_table(record)[-1]["event"], "stop")

    @unittest.skipIf(UNDER_WINE, "wine's own processes take the signals")
    def test_a_logger_stopped_and_continued_goes_on_counting(self):
        # As a suspended machine: the simulator goes on pulsing while its program is stopped.
        with tempfile.TemporaryDirectory() as folder:
            sim = subprocess.Popen([SIM, *SIM_TIMING, "--count", "60", "--", *LOGGER, "--port",
                                    "5", "--log-dir", folder, "--count", "30"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                   start_new_session=True)
            try:
                sim.stdout.readline()
                logger = child_pid(sim)
                os.kill(logger, signal.SIGSTOP)
                time.sleep(1)
                os.kill(logger, signal.SIGCONT)
                out, errors = sim.communicate(timeout=30)
            finally:
                end_group(sim)
        self.assertEqual(sim.returncode, 0, errors)
        self.assertEqual(len(out.splitlines()), 29, "the first row was read before the stop")

    @unittest.skipIf(UNDER_WINE, "a Linux FIFO")
    def test_a_fifo_given_as_the_anchor_file_is_said_and_holds_up_no_stop(self):
        # Its open would block the main thread, which looks at the file every 5 s, and with it
        # the stop after --count.
        with tempfile.TemporaryDirectory() as folder:
            fifo = os.path.join(folder, "anchor")
            os.mkfifo(fifo)
            code, out, errors = run([SIM, *SIM_TIMING, "--count", "90", "--", *LOGGER, "--port",
                                     "5", "--log-dir", folder, "--count", "80",
                                     "--grid-time-anchor-file", fifo], 60)
        self.assertEqual(code, 0, errors)
        self.assertEqual(len(out.splitlines()), 80)
        self.assertEqual(errors.count(f"{fifo} is not a file"), 1, errors)

    @unittest.skipIf(UNDER_WINE, "a pipe between a Windows and a Linux program is wine's")
    def test_a_closed_output_ends_the_run_cleanly(self):
        with tempfile.TemporaryDirectory() as folder:
            shell = f"set -o pipefail; {shlex.join(LOGGER)} --port 5 --log-dir {folder} | head -n 2"
            code, out, errors = run([SIM, *SIM_TIMING, "--", "bash", "-c", shell], 30)
        self.assertEqual(code, 0, errors)
        self.assertEqual(len(out.splitlines()), 2)

    @unittest.skipUnless(UNDER_WINE, "the plain build's run above measures it exactly")
    def test_a_reference_on_dcd_is_followed_until_it_is_lost(self):
        # The port's wait reports DCD as well; wine's timing path is too coarse to measure
        # the rate closely, so this run checks only that the seconds follow the reference.
        with tempfile.TemporaryDirectory() as folder:
            code, _, errors, rows, _ = one_second_run(
                folder, ["--count", "22", "--reference", "--reference-count", "14"],
                ["--count", "17", "--reference", "dcd"], 90)
        self.assertEqual(code, 0, errors)
        self.assertEqual([r["event"] for r in rows if r["event"].startswith("reference")],
                         ["reference on", "reference lost"])
        self.assertIn("reference", {r["clock"] for r in rows})

    @unittest.skipIf(UNDER_WINE, "a pipe between a Windows and a Linux program is wine's")
    def test_a_reader_that_stops_reading_holds_up_nothing_else(self):
        # Standard output a pipe of one page that nobody reads: full after some 90 rows.
        read, write = os.pipe()
        self.addCleanup(os.close, read)
        fcntl.fcntl(write, F_SETPIPE_SZ, 4096)
        with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryFile() as err:
            record = os.path.join(folder, "record")
            code = subprocess.run([SIM, "--period", "0.05", "--width", "0.01", "--count", "150",
                                   "--", *LOGGER, "--port", "5", "--log-dir", folder,
                                   "--count", "140", "--record", record],
                                  stdout=write, stderr=err, timeout=60).returncode
            os.close(write)
            err.seek(0)
            errors = err.read().decode()
            rows = record_table(record)
        self.assertEqual(code, 0, errors)
        self.assertEqual(len([r for r in rows if r["interval_us"]]), 140,
                         "every pulse recorded")
        self.assertIn("standard output did not finish", errors)
        self.assertRegex(errors, r"\d+ records were not delivered to standard output")


class Replay(unittest.TestCase):
    """A recording analysed at full speed: what the figures make of it the pipeline's scenarios
    check; here the program reads the file and writes a run's files with the file's times."""

    def test_a_time_hertz_file_becomes_a_record_with_its_times_and_an_excursion(self):
        # Ten minutes at 50 Hz with 20 s at 49.75 Hz from 100 s in.
        start = 1796601600  # 2026-12-07T00:00:00Z
        lines = "".join(f"{start + second},{49.75 if 100 <= second < 120 else 50.0:.3f}\n"
                        for second in range(600))
        with tempfile.TemporaryDirectory() as folder:
            recording = written(os.path.join(folder, "grid.csv"), "time,hertz\n" + lines)
            record = os.path.join(folder, "replayed")
            code, out, errors = run([*LOGGER, "--replay", recording, "--record", record,
                                     "--quiet"], 60)
            rows = [r for r in record_table(record) if r["seconds"]]
            excursions = csv_rows(record, "events.csv")
            own, _, own_errors = run([*LOGGER, "--replay", recording, "--record", folder,
                                      "--quiet"], 60)
        self.assertEqual(code, 0, errors)
        self.assertEqual(out, "")
        self.assertIn("replaying " + recording + ": time,hertz, 50 Hz", errors)
        self.assertIn("replayed 600 readings", errors)
        self.assertEqual([r["utc"] for r in rows],
                         [time.strftime("%Y-%m-%dT%H:%M:%S.000000Z", time.gmtime(start + s))
                          for s in range(600)])
        self.assertEqual({r["clock"] for r in rows}, {"not measured"})
        self.assertEqual(rows[0]["event"], "start")
        # An excursion starts at its first reading outside, confirmed by the second.
        self.assertEqual([(e["band"], e["start_utc"][11:19]) for e in excursions
                          if e["band"] == "full reserve activation"],
                         [("full reserve activation", "00:01:40")])
        self.assertEqual(own, 2, "a replay never writes into the recording's own folder")
        self.assertIn("must not be the recording's own", own_errors)

    def test_a_folder_of_days_plays_in_date_order_until_a_day_that_is_no_recording(self):
        # Each day is read while the one before plays; the third is read but never played.
        # Each sample day is a run of its own, from midnight into the next day's first seconds.
        with tempfile.TemporaryDirectory() as folder:
            days = os.path.join(folder, "days")
            for day in ("2026-01-02", "2026-01-01"):
                subprocess.run([sys.executable, SAMPLE_RECORD, days, day], check=True,
                               stdout=subprocess.DEVNULL)
            subprocess.run(["gzip", os.path.join(days, "2026-01-02.csv")], check=True)
            broken = written(os.path.join(days, "2026-01-03.csv"), "utc,seconds\nnonsense\n")
            record = os.path.join(folder, "replayed")
            code, _, errors = run([*LOGGER, "--replay", days, "--record", record, "--quiet"],
                                  120)
            utc = [r["utc"] for r in record_table(record) if r["seconds"]]
        self.assertEqual(code, 1, errors)
        # The folder's own separator, which is Windows' under wine.
        played = [re.split(r"[\\/]", line.split(": ")[1])[-1] for line in errors.splitlines()
                  if ": replaying " in line]
        self.assertEqual(played, ["2026-01-01.csv", "2026-01-02.csv.gz"])
        self.assertIn(os.path.basename(broken) + " holds no reading", errors)
        self.assertEqual(sorted({moment[:10] for moment in utc}), ["2026-01-01", "2026-01-02"])


class ServiceManager(unittest.TestCase):
    # Linux's notification socket; a run of its own of 15 s, which the plain build makes.
    @unittest.skipIf(UNDER_WINE or QUICK, "systemd's notification socket, in the plain build")
    def test_it_is_ready_once_it_measures_and_the_watchdog_starves_when_the_pulses_stop(self):
        with tempfile.TemporaryDirectory() as folder, \
                socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as notify:
            notify.bind(os.path.join(folder, "notify"))
            notify.settimeout(0.5)
            # Three pulses, then the device stays there and sends none.
            sim = subprocess.Popen(
                [SIM, *SIM_TIMING, "--count", "3", "--", *LOGGER, "--port", "5", "--quiet",
                 "--log-dir", folder], stderr=subprocess.PIPE, start_new_session=True,
                env=dict(os.environ, NOTIFY_SOCKET=os.path.join(folder, "notify")))
            told, deadline = [], time.monotonic() + 20
            while time.monotonic() < deadline and not any("no pulses" in m for m in told):
                try:
                    told.append(notify.recv(4096).decode())
                except socket.timeout:
                    pass
            time.sleep(2.5)
            sim.send_signal(signal.SIGTERM)
            told += drain(notify)
            errors = sim.communicate(timeout=20)[1].decode()
        self.assertTrue(told[0].startswith("READY=1\nSTATUS=measuring on "), told)
        quiet = next(i for i, m in enumerate(told) if m.startswith("STATUS=no pulses from "))
        self.assertIn("WATCHDOG=1", told[:quiet])
        self.assertNotIn("WATCHDOG=1", told[quiet:], "fed while nothing moves")
        self.assertEqual(told[-1], "STOPPING=1")
        self.assertIn("no pulses from COM5 (/dev/ttyUSB0) for 10 s, though it is there", errors)


def drain(receiver):
    messages = []
    try:
        while True:
            messages.append(receiver.recv(4096).decode())
    except socket.timeout:
        return messages


@unittest.skipIf(QUICK, ONE_SECOND_RUNS)
class Check(unittest.TestCase):
    def test_each_fault_is_found_with_its_remedy_and_a_healthy_line_passes(self):
        synchronised = ["--clock", "synchronised:+3"]
        cases = (  # the simulator's options, the exit code, what the report says
            ("healthy", ["--period", "1", *synchronised], 0, "  DSR"),
            ("no DSR", ["--period", "3600", *synchronised], 1, "! DSR          never moved"),
            ("no text", ["--period", "1", "--line-every", "0", *synchronised], 1,
             "! text         no line arrived"),
            ("polling", ["--period", "1", "--polling-only", *synchronised], 1,
             "! timing path  1 ms polling"),
            ("unsynchronised", ["--period", "1", "--clock", "unsynchronised"], 1,
             "! clock        not synchronised"))

        def check(case):
            return run([SIM, *case[1], "--", *LOGGER, "--port", "5", "--check",
                        "--check-seconds", "6"], 60)
        with concurrent.futures.ThreadPoolExecutor(len(cases)) as pool:
            results = list(pool.map(check, cases))
        for (name, _, code, says), (exit_code, out, errors) in zip(cases, results):
            with self.subTest(name):
                self.assertEqual(exit_code, code, out + errors)
                self.assertIn(says, out)
                self.assertEqual("! " in out, code == 1, out)
        code, out, _ = run([*LOGGER, "--device", "/dev/cyclara-no-such-device", "--check"], 30)
        self.assertEqual(code, 1, out)
        self.assertIn("! device       does not open", out)


class CommandLine(unittest.TestCase):
    def logger(self, *args):
        return run([*LOGGER, *args], 60)

    def test_usage_errors_are_one_line_and_exit_2(self):
        for args in (["--bogus"], ["--port"], [], ["--port", "21"], ["--port", "5", "--count", "0"],
                     ["--speed", "1234", "--port", "5"], ["--port", "5", "--device", "/dev/null"],
                     ["--port", "5", "--band", "mine:50.1:49.9"],
                     ["--port", "5", "--grid-time-anchor", "1.5"], ["--port", "5", "--http", "99999"],
                     ["--port", "5", "--http", "127.0.0.1:0"], ["--replay", "day.csv"]):
            with self.subTest(args=args):
                code, out, errors = self.logger(*args)
                self.assertEqual(code, 2)
                self.assertEqual(out, "")
                self.assertEqual(len(errors.strip().splitlines()), 1, errors)
                self.assertIn("--help", errors)

    def test_help_and_version_on_standard_output(self):
        code, out, _ = self.logger("--help")
        self.assertEqual(code, 0)
        for option in ("--port", "--device", "--speed", "--log-dir", "--count", "--version"):
            self.assertIn(option, out)
        code, out, _ = self.logger("--version")
        self.assertEqual((code, out.strip()), (0, "cyclara-log 1.0.0.1"))

    @unittest.skipIf(UNDER_WINE, "a Linux device")
    def test_a_device_without_modem_lines_is_named_and_ends_the_run_with_exit_3(self):
        # A pseudo-terminal of the test's own: a device every build's run may hold at once,
        # as four tests at a time do.
        leader, follower = os.openpty()
        device = os.ttyname(follower)
        try:
            with tempfile.TemporaryDirectory() as folder:
                code, _, errors = self.logger("--device", device, "--log-dir", folder)
                logs = csv_logs(folder)
        finally:
            os.close(follower)
            os.close(leader)
        self.assertEqual(code, 3, errors)
        self.assertIn(device + " has no modem lines", errors)
        self.assertEqual(logs, [], "a run that measured nothing leaves no empty log")

    def test_a_port_that_does_not_open_names_it_and_the_reason(self):
        device = "\\\\.\\COM99" if UNDER_WINE else "/dev/cyclara-no-such-device"
        code, _, errors = self.logger("--device", device)
        self.assertEqual(code, 1)
        self.assertIn(device + " does not open: ", errors)
        self.assertGreater(len(errors.split("does not open: ")[1].strip()), 3)


if __name__ == "__main__":
    main()
