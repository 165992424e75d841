#!/usr/bin/env python3
"""cyclara-log --http as its users reach it, against cyclara-sim at one pulse a second: the
page in a real headless Chromium (Debian's, through its ChromeDriver), the metrics scraped by a
real Prometheus, and the server's answers to requests no browser sends. Every figure is checked
against the per-pulse record the same run wrote.
Usage: live_page_test.py BUILD_DIR"""
import json
import os
import re
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

from harness import (BUILD, LOGGER, SIM, UNDER_WINE, child_pid, end_group, free_port, main,
                     read_bytes, record_table, run, start_server, stop_server, wait_for, written)

# No measuring device's port: a Linux file that is no serial port, a COM port the prefix has not.
NO_DEVICE = ["--port", "9"] if UNDER_WINE else ["--device", "/dev/null"]

SCREENSHOT = os.path.join(BUILD, "live-page.png")
LINE_RGB = (0x0B, 0x6B, 0xCB)  # the frequency's line on the page
DARK_INK_RGB = (0xE6, 0xE8, 0xEB)  # the page's text in dark mode
PHONE = (390, 844)


def chromium(test, width=1100, height=1400, dark=False, phone=False):
    """Debian's headless Chromium through its ChromeDriver, quit when the test ends."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", f"--window-size={width},{height}",
                     "--disable-gpu", "--no-first-run", "--disable-background-networking",
                     "--hide-scrollbars"):
        options.add_argument(argument)
    if phone:
        options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
            "width": PHONE[0], "height": PHONE[1], "pixelRatio": 1}})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    browser = webdriver.Chrome(options=options,
                               service=Service(executable_path="/usr/bin/chromedriver"))
    test.addCleanup(browser.quit)
    if dark:
        browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": "dark"}]})
    return browser


class Meter:
    """cyclara-sim with cyclara-log serving on `port`, recording into `folder`."""

    def __init__(self, folder, port, *sim_args, logger_args=()):
        self.folder, self.port = folder, port
        self.err = open(os.path.join(folder, "stderr"), "ab")
        self.sim = subprocess.Popen(
            [SIM, "--period", "1", "--width", "0.2", *sim_args, "--", *LOGGER, "--port", "5",
             "--log-dir", folder, "--record", os.path.join(folder, "record"), "--quiet",
             "--http", f"127.0.0.1:{port}", *logger_args],
            stdout=subprocess.DEVNULL, stderr=self.err, start_new_session=True)
        wait_for(lambda: self.get("/api/v1/state")[0] == 200, "the live page to answer")

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def get(self, path):
        try:
            with urllib.request.urlopen(self.url(path), timeout=5) as reply:
                return reply.status, reply.read(), reply.headers
        except urllib.error.HTTPError as error:
            return error.code, error.read(), error.headers
        except OSError:
            return None, b"", {}

    def rows(self, at_least=1):
        def measured():
            folder = os.path.join(self.folder, "record")
            rows = [row for row in record_table(folder) if row["frequency_hz"]] \
                if os.path.isdir(folder) else []
            return rows if len(rows) >= at_least else None
        return wait_for(measured, f"{at_least} measured rows in the record", timeout=60)

    def stop(self):
        end_group(self.sim)
        self.err.close()


class PageInChromium(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.meter = Meter(self.folder, free_port())
        self.addCleanup(shutil.rmtree, self.folder)
        self.addCleanup(lambda: self.meter.stop())
        self.browser = chromium(self)

    def shown(self):
        return self.browser.execute_script(
            "return ['count', 'frequency', 'grid-time', 'mean'].map("
            "id => document.getElementById(id).textContent)")

    def count_shown(self):
        count = self.shown()[0]
        return int(count) if count.isdigit() else None

    def test_the_page_shows_the_record_live_draws_it_and_follows_a_restart(self):
        self.meter.rows(at_least=3)
        self.browser.get(self.meter.url("/"))
        first = wait_for(self.count_shown, "the page to show a count")
        with self.subTest("the figures shown are the record's for that count"):
            count, frequency, grid_time, mean = self.shown()
            # No pulse is lost here, so the count is the seconds the record counts.
            row = next(r for r in self.meter.rows() if r["seconds"] == count)
            self.assertEqual(frequency, f"{float(row['frequency_hz']):.3f}")
            self.assertEqual(grid_time, f"{float(row['grid_time_deviation_s']):+.3f}")
            self.assertEqual(mean, f"{float(row['mean_frequency_hz']):.4f}")
        with self.subTest("the meter's line names the timing path the record names"):
            timing = next(r["event"] for r in record_table(os.path.join(self.folder, "record"))
                          if r["event"].startswith("timing"))
            meter = self.browser.find_element("id", "meter").text
            self.assertIn(timing.removeprefix("timing: "), meter)
        with self.subTest("the count advances without a reload"):
            wait_for(lambda: (self.count_shown() or 0) >= first + 2, "the count to advance")
        with self.subTest("the frequency's line is drawn"):
            chart = self.browser.find_element("id", "frequency-chart")
            self.assertGreater(line_pixels(chart.screenshot_as_png), 50)
            self.browser.save_screenshot(SCREENSHOT)
        with self.subTest("after a restart of the logger the stream goes on"):
            before = self.count_shown()
            self.meter.stop()
            self.meter = Meter(self.folder, self.meter.port)
            wait_for(lambda: (self.count_shown() or before) < before, "the new run's count",
                     timeout=60)
            # The history the page draws starts with the record the first run kept.
            history = json.loads(self.meter.get("/api/v1/history?minutes=10")[1])
            recorded = [r for r in self.meter.rows() if r["seconds"] and r["frequency_hz"]]
            self.assertGreaterEqual(len(history["utc_s"]), before)
            self.assertEqual(history["frequency_hz"][0], float(recorded[0]["frequency_hz"]))
        with self.subTest("nothing was asked of another host, and the console has no error"):
            origin = self.meter.url("")
            resources = self.browser.execute_script(
                "return performance.getEntriesByType('resource').map(e => e.name)")
            self.assertTrue(resources)
            self.assertEqual([r for r in resources if not r.startswith(origin)], [])
            errors = [e for e in self.browser.get_log("browser") if e["level"] == "SEVERE"]
            # The restart itself drops the stream once; nothing else may fail.
            self.assertEqual([e for e in errors if "/api/v1/stream" not in e["message"]], [])


class PageAtAGlance(unittest.TestCase):
    """The grid leaves the standard range for good 4 s in: the page, opened after that, leads
    with the state, in light, dark and on a phone; its screenshots are the documentation's."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()
        cls.addClassCleanup(shutil.rmtree, cls.folder)
        profile = written(os.path.join(cls.folder, "profile"),
                          "seconds,hertz\n0,50\n4,50\n4.01,49.9\n100000,49.9\n")
        cls.meter = Meter(cls.folder, free_port(), "--profile", profile)
        cls.addClassCleanup(cls.meter.stop)
        said = os.path.join(cls.folder, "stderr")
        wait_for(lambda: "left the standard range" in read_bytes(said).decode(),
                 "the excursion to be said", timeout=60)
        cls.meter.rows(at_least=10)  # a trend to draw

    def open(self, name, **kind):
        browser = chromium(self, **kind)
        browser.get(self.meter.url("/"))
        wait_for(lambda: texts(browser, "count")["count"].isdigit(), "the page to show a count")
        wait_for(lambda: browser.execute_script(
            "return document.querySelectorAll('#day-chart canvas').length"), "the day's chart")
        browser.save_screenshot(os.path.join(BUILD, f"live-page-{name}.png"))
        return browser

    def test_the_page_leads_with_the_frequency_its_deviation_and_band_and_how_far_to_trust_it(self):
        browser = self.open("light")
        shown = texts(browser, "count", "frequency", "deviation", "band", "trust", "clock",
                      "event", "event-utc", "utc")
        # The shown pulse's row, by its UTC second: after a lost edge (wine's serial layer
        # loses one now and then on a loaded machine) the count and the record's seconds differ.
        row = wait_for(lambda: next((r for r in self.meter.rows()
                                     if r["utc"].replace("T", " ")[:19] == shown["utc"][:19]),
                                    None), "the shown pulse's row in the record")
        with self.subTest("the deviation in mHz is the record's frequency less the nominal"):
            deviation = round((float(row["frequency_hz"]) - float(row["nominal_hz"])) * 1000)
            self.assertEqual(shown["deviation"], f"{deviation:+d} mHz".replace("+0", "0"))
        with self.subTest("the band is the record's excursion, coloured as a warning"):
            self.assertEqual(shown["band"], "outside the standard range (49.950 to 50.050 Hz)")
            self.assertIn("warn", browser.find_element("id", "band").get_attribute("class"))
        with self.subTest("the uncertainty is the record's, the clock's state beside it"):
            # The record keeps it to 10 uHz, the page rounds the full figure to 0.1 mHz.
            recorded = row["frequency_uncertainty_hz"]
            if recorded:
                shown_mhz = float(shown["trust"].removeprefix("±").removesuffix(" mHz"))
                self.assertAlmostEqual(shown_mhz, float(recorded) * 1000, delta=0.06)
            else:
                self.assertEqual(shown["trust"], "–")
            self.assertEqual(shown["clock"], f"clock {row['clock']}")
        with self.subTest("the last event is the one from before the page was opened"):
            self.assertEqual(shown["event"], "left the standard range (49.950 to 50.050 Hz)")
        with self.subTest("times in UTC, 24 hours, dates in ISO 8601 order"):
            for name in ("utc", "event-utc"):
                self.assertRegex(shown[name], r"^\d{4}-\d\d-\d\d [0-2]\d:\d\d:\d\d UTC$")
        with self.subTest("the legend names the band's limits; no empty values"):
            legend = browser.find_element("css selector", "#frequency-chart .u-legend").text
            self.assertIn("49.950 Hz", legend)
            self.assertIn("50.050 Hz", legend)
            self.assertNotIn("--", legend)

    def test_in_dark_mode_the_axes_are_drawn_in_the_pages_ink(self):
        browser = self.open("dark", dark=True)
        canvas = browser.find_element("css selector", "#frequency-chart canvas")
        self.assertGreater(pixels_near(canvas.screenshot_as_png, DARK_INK_RGB, 30), 100)

    def test_a_phone_shows_the_state_and_the_trend_without_scrolling(self):
        browser = self.open("phone", phone=True)
        bottoms = browser.execute_script(
            "return ['band', 'trust', 'frequency-chart'].map("
            "id => document.getElementById(id).getBoundingClientRect().bottom)")
        self.assertEqual(browser.execute_script("return window.innerWidth"), PHONE[0])
        self.assertLessEqual(max(bottoms), PHONE[1], bottoms)


class TricklingClients(unittest.TestCase):
    def test_connections_that_trickle_a_head_are_closed_at_its_deadline_and_others_answered(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        meter = Meter(folder, free_port(), logger_args=["--http-head-seconds", "2"])
        self.addCleanup(meter.stop)
        before = len(meter.rows())
        # Every connection the server takes, each sending a byte of an endless head twice a
        # second: none is ever idle long enough for an idle limit.
        trickling = [socket.create_connection(("127.0.0.1", meter.port)) for _ in range(256)]
        self.addCleanup(lambda: [t.close() for t in trickling])
        stop = threading.Event()

        def trickle():
            head = b"GET / HTTP/1.1\r\nX-Slow: " + b"a" * 100
            for n in range(len(head)):
                for connection in trickling:
                    try:
                        connection.send(head[n:n + 1])
                    except OSError:
                        pass
                if stop.wait(0.5):
                    return
        worker = threading.Thread(target=trickle)
        worker.start()
        self.addCleanup(worker.join)
        self.addCleanup(stop.set)

        def closed_by_the_server():
            readable, _, _ = select.select(trickling, [], [], 0)
            for connection in readable:
                try:
                    if connection.recv(1) == b"":
                        trickling.remove(connection)
                        connection.close()
                except OSError:
                    trickling.remove(connection)
                    connection.close()
            return not trickling
        wait_for(closed_by_the_server, "every trickling connection to be closed", timeout=60)
        self.assertEqual(meter.get("/api/v1/state")[0], 200)
        rows = meter.rows(at_least=before + 3)
        seconds = [int(r["seconds"]) for r in rows if r["seconds"]]
        self.assertEqual(seconds, list(range(seconds[0], seconds[-1] + 1)), "no pulse lost")


def texts(browser, *ids):
    return dict(zip(ids, browser.execute_script(
        "return arguments[0].map(id => document.getElementById(id).textContent)", list(ids))))


def pixels_near(png, rgb, within):
    from io import BytesIO
    from PIL import Image
    image = Image.open(BytesIO(png)).convert("RGB")
    return sum(1 for pixel in image.getdata()
               if all(abs(a - b) < within for a, b in zip(pixel, rgb)))


def line_pixels(png):
    return pixels_near(png, LINE_RGB, 40)


class MetricsInPrometheus(unittest.TestCase):
    def test_a_real_prometheus_scrapes_the_frequency_and_the_excursion_the_record_holds(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        # The grid leaves the standard range for four seconds.
        profile = written(os.path.join(folder, "profile"),
                          "seconds,hertz\n0,50\n4,50\n4.01,49.9\n7.99,49.9\n8,50\n")
        meter = Meter(folder, free_port(), "--profile", profile)
        self.addCleanup(meter.stop)
        status, metrics, _ = meter.get("/metrics")
        check = subprocess.run(["promtool", "check", "metrics"], input=metrics,
                               capture_output=True)
        self.assertEqual((status, check.returncode, check.stdout + check.stderr), (200, 0, b""))
        prometheus_port = free_port()
        written(os.path.join(folder, "prometheus.yml"),
                "scrape_configs:\n  - job_name: cyclara\n    scrape_interval: 1s\n"
                f"    static_configs:\n      - targets: ['127.0.0.1:{meter.port}']\n")
        prometheus = start_server(
            ["prometheus", f"--config.file={folder}/prometheus.yml",
             f"--storage.tsdb.path={folder}/tsdb", f"--web.listen-address=127.0.0.1:{prometheus_port}"])
        self.addCleanup(stop_server, prometheus)

        def scraped(metric="cyclara_frequency_hertz"):
            query = urllib.parse.urlencode({"query": metric})
            try:
                with urllib.request.urlopen(
                        f"http://127.0.0.1:{prometheus_port}/api/v1/query?{query}",
                        timeout=2) as reply:
                    result = json.load(reply)["data"]["result"]
            except OSError:
                return None
            return float(result[0]["value"][1]) if result else None
        frequency = wait_for(scraped, "Prometheus to have scraped a frequency", timeout=60)
        recorded = {float(row["frequency_hz"]) for row in meter.rows()}
        self.assertIn(frequency, recorded)
        wait_for(lambda: scraped('cyclara_events_total{kind="excursion"}') == 1,
                 "the excursion to be counted", timeout=60)
        wait_for(lambda: scraped('cyclara_band_outside{band="standard_range"}') == 0,
                 "the excursion to end", timeout=30)
        with open(os.path.join(folder, "record", "events.csv")) as events:
            self.assertEqual([row.split(",")[3] for row in events.read().splitlines()[1:]],
                             ["standard range"])


def resident_kib(meter):
    """The logger's resident memory: the simulator's child."""
    with open(f"/proc/{child_pid(meter.sim)}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def raw_request(port, data, read_timeout=5):
    """What the server answers to bytes no client library would send: its status code."""
    with socket.create_connection(("127.0.0.1", port), timeout=read_timeout) as connection:
        connection.sendall(data)
        reply = b""
        while b"\r\n" not in reply:
            chunk = connection.recv(4096)
            if not chunk:
                break
            reply += chunk
    match = re.match(rb"HTTP/1\.[01] (\d{3})", reply)
    return int(match.group(1)) if match else None


@unittest.skipIf(UNDER_WINE, "the demo is the Linux build's")
class TheReadmesDemo(unittest.TestCase):
    """`make demo-events` as a newcomer runs it from a clean clone: its page answers with a
    frequency from the simulated grid, whatever else listens on 8080."""

    def test_the_demos_page_answers_with_a_frequency(self):
        demo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                            "demo-events")
        with tempfile.TemporaryDirectory() as folder, socket.socket() as taken:
            try:
                taken.bind(("127.0.0.1", 8080))
                taken.listen(1)
            except OSError:
                pass  # something else has it: the demo must step past it all the same
            process = subprocess.Popen([demo, BUILD], stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, text=True,
                                       start_new_session=True,
                                       env=dict(os.environ, TMPDIR=folder))
            try:
                port = int(re.search(r"127\.0\.0\.1:(\d+)/", process.stdout.readline())[1])
                self.assertNotEqual(port, 8080)

                def frequency():
                    try:
                        with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/v1/state",
                                                    timeout=5) as reply:
                            return json.loads(reply.read()).get("frequency_hz")
                    except OSError:
                        return None
                hertz = wait_for(frequency, "the demo's page to show a frequency", timeout=60)
                self.assertAlmostEqual(hertz, 50, delta=0.3)
            finally:
                end_group(process)
                process.wait(timeout=30)


class WhereItListens(unittest.TestCase):
    """The page opens before the device (no measuring device's port: /dev/null, or a COM port
    the wine prefix has not), so what it says of its address comes first."""

    def test_a_port_in_use_is_named_and_a_host_name_is_looked_up(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen(1)
            port = taken.getsockname()[1]
            code, _, errors = run([*LOGGER, *NO_DEVICE, "--quiet", "--http",
                                   f"127.0.0.1:{port}"], 30)
        self.assertEqual(code, 1, "a runtime failure, which the service unit tries again")
        self.assertIn(f"the live page cannot listen on 127.0.0.1:{port}: ", errors)
        port = free_port()
        code, _, errors = run([*LOGGER, *NO_DEVICE, "--quiet", "--http", f"localhost:{port}"], 30)
        self.assertIn(f"live page: http://localhost:{port}/", errors)
        self.assertNotEqual(code, 0, errors)


class Requests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()
        cls.meter = Meter(cls.folder, free_port())

    @classmethod
    def tearDownClass(cls):
        cls.meter.stop()
        shutil.rmtree(cls.folder)

    def test_only_fixed_routes_are_served_with_their_guards(self):
        for path in ("/", "/app.js", "/style.css", "/uPlot.iife.min.js", "/api/v1/state",
                     "/api/v1/history?minutes=5", "/metrics"):
            with self.subTest(path):
                status, _, headers = self.meter.get(path)
                self.assertEqual(status, 200)
                self.assertEqual(headers["Content-Security-Policy"], "default-src 'self'")
                self.assertEqual(headers["X-Content-Type-Options"], "nosniff")

    def test_the_day_view_holds_each_minutes_extremes_and_mean_of_the_seconds(self):
        self.meter.rows(at_least=3)

        def between_pulses():  # both views of the same seconds: no pulse came between
            seconds = self.meter.get("/api/v1/history?minutes=1440")[1]
            minutes = self.meter.get("/api/v1/minutes?hours=24")[1]
            return seconds == self.meter.get("/api/v1/history?minutes=1440")[1] and \
                (json.loads(seconds), json.loads(minutes))
        seconds, minutes = wait_for(between_pulses, "two answers between pulses")
        by_minute = {}
        for utc, hertz in zip(seconds["utc_s"], seconds["frequency_hz"]):
            by_minute.setdefault(int(utc // 60) * 60, []).append(hertz)
        for utc, lowest, mean, highest in zip(minutes["utc_s"], minutes["lowest_hz"],
                                              minutes["mean_hz"], minutes["highest_hz"]):
            inside = by_minute.pop(int(utc))
            self.assertEqual((lowest, highest), (min(inside), max(inside)))
            self.assertAlmostEqual(mean, sum(inside) / len(inside), places=9)
        self.assertEqual(by_minute, {})

    def test_requests_no_browser_sends_get_a_4xx(self):
        port = self.meter.port
        cases = {
            "another method": (b"POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n",
                               405),
            "a path out of the routes": (b"GET /../../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 404),
            "an unknown route": (b"GET /record HTTP/1.1\r\nHost: x\r\n\r\n", 404),
            "a history of no number": (b"GET /api/v1/history?minutes=x HTTP/1.1\r\nHost: x\r\n\r\n",
                                       400),
            "a day of no number": (b"GET /api/v1/minutes?hours= HTTP/1.1\r\nHost: x\r\n\r\n", 400),
            "a broken request line": (b"GET / HTTP/1.1 x\r\nHost: x\r\n\r\n", 400),
            "a header line without a name": (b"GET / HTTP/1.1\r\nno colon\r\n\r\n", 400),
            "an unknown version": (b"GET / HTTP/7.0\r\nHost: x\r\n\r\n", 505),
            # No method, target and version at all: the connection is closed, unanswered.
            "a line that is no request": (b"GARBAGE\r\n\r\n", None),
            "a 1 MB header": (b"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * (1 << 20) +
                              b"\r\n\r\n", 431),
        }
        for name, (request, status) in cases.items():
            with self.subTest(name):
                self.assertEqual(raw_request(port, request), status)

    def test_streams_scrapes_and_slow_clients_together_hold_up_no_pulse_nor_request(self):
        port, stop = self.meter.port, threading.Event()
        streams = [socket.create_connection(("127.0.0.1", port)) for _ in range(32)]
        slow = [socket.create_connection(("127.0.0.1", port)) for _ in range(64)]
        self.addCleanup(lambda: [s.close() for s in streams + slow])
        for stream in streams:
            stream.sendall(b"GET /api/v1/stream HTTP/1.1\r\nHost: x\r\n\r\n")

        def scrape():  # /metrics 100 times a second
            while not stop.wait(0.01):
                self.meter.get("/metrics")

        def dribble():  # a byte a second on each slow connection
            for n in range(10):
                for connection in slow:
                    try:
                        connection.send(b"GET / HTTP/1.1\r\n"[n:n + 1])
                    except OSError:
                        pass
                stop.wait(1)
        before = len(self.meter.rows())
        workers = [threading.Thread(target=scrape), threading.Thread(target=dribble)]
        for worker in workers:
            worker.start()
        # Every request answered (within the client's own 5 s), none refused; how fast is the
        # benchmark's to say, not a test's on a loaded machine.
        started, answers = time.monotonic(), []
        while time.monotonic() - started < 10:
            answers.append(self.meter.get("/api/v1/state")[0])
            time.sleep(0.5)
        stop.set()
        for worker in workers:
            worker.join()
        self.assertEqual(set(answers), {200})
        # Every pulse of the ten seconds reached the record.
        rows = self.meter.rows(at_least=before + 9)
        seconds = [int(r["seconds"]) for r in rows if r["seconds"]]
        self.assertEqual(seconds[before:], list(range(seconds[before], seconds[-1] + 1)))
        self.assertLess(resident_kib(self.meter), 64 * 1024)

    def test_a_stream_beyond_the_cap_gets_503_and_the_open_ones_keep_going(self):
        streams = [socket.create_connection(("127.0.0.1", self.meter.port)) for _ in range(32)]
        self.addCleanup(lambda: [s.close() for s in streams])
        for stream in streams:
            stream.sendall(b"GET /api/v1/stream HTTP/1.1\r\nHost: x\r\n\r\n")
        for stream in streams:
            stream.settimeout(5)
            self.assertIn(b"200", stream.recv(4096).split(b"\r\n")[0])
        self.assertEqual(raw_request(self.meter.port,
                                     b"GET /api/v1/stream HTTP/1.1\r\nHost: x\r\n\r\n"), 503)
        streams[0].settimeout(5)
        self.assertIn(b"data: ", streams[0].recv(65536) + streams[0].recv(65536))


if __name__ == "__main__":
    main()
