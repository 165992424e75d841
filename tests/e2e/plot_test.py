#!/usr/bin/env python3
"""cyclara-plot drawing a simulated day of the per-pulse record (tools/sample-record: a step
that leaves the standard range, a lost pulse, ten minutes without the device): the picture's
size, and the marks a reader looks for, found by their colours. Usage: plot_test.py BUILD_DIR"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build/linux"
PLOT = os.path.join(BUILD, "plot", "cyclara-plot")
SAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "sample-record")
# The colours grid_charts.h names.
BAND, GAP, LOST = (0xD6, 0xEE, 0xD6), (0xC8, 0xC8, 0xC8), (0xE0, 0x00, 0x00)
BAND_LINE, EVENT = (0x2E, 0x7D, 0x32), (0xE6, 0x51, 0x00)
DAY, BEFORE = (0, 70, 160), (160, 175, 200)  # the shapes' lines


class PlotOfADay(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.before, cls.day = (subprocess.run([sys.executable, SAMPLE, cls.folder.name, day],
                                              check=True, capture_output=True,
                                              text=True).stdout.strip()
                               for day in ("2026-12-06", "2026-12-07"))
        # A desktop whose numbers have decimal commas, compiled here from Debian's sources.
        locales = os.path.join(cls.folder.name, "locales")
        os.mkdir(locales)
        subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8",
                        os.path.join(locales, "de_DE.UTF-8")], check=True)
        cls.german = dict(os.environ, LOCPATH=locales, LC_ALL="de_DE.UTF-8")

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def plot(self, name, *options, env=None, files=None):
        picture = os.path.join(self.folder.name, name)
        started = time.monotonic()
        # As from a cron job: no session's runtime folder, and still not a word on stderr.
        environment = {k: v for k, v in (env or os.environ).items() if k != "XDG_RUNTIME_DIR"}
        drawn = subprocess.run([PLOT, *(files or [self.day]), "-o", picture, *options],
                               check=True, env=environment, capture_output=True, text=True)
        self.assertEqual(drawn.stderr, "")
        print(f"{name}: drawn in {time.monotonic() - started:.2f} s", file=sys.stderr)
        return picture

    def test_the_png_shows_the_band_the_gap_and_the_lost_pulse_in_any_locale(self):
        for name, env in (("day.png", None), ("day-de.png", self.german)):
            with self.subTest(name), Image.open(
                    self.plot(name, "--width", "1000", "--height", "700", env=env)) as image:
                self.assertEqual(image.size, (1000, 700))
                counts = {colour: 0 for colour in (BAND, GAP, LOST, BAND_LINE, EVENT)}
                for colour in image.convert("RGB").getdata():
                    if colour in counts:
                        counts[colour] += 1
                self.assertGreater(counts[BAND], 100_000, "the band fills most of the top")
                self.assertGreater(counts[GAP], 1_000, "the ten minutes without the device")
                self.assertGreater(counts[LOST], 20, "the lost pulse's mark")
                self.assertGreater(counts[BAND_LINE], 1_000, "the standard range's limits")
                self.assertGreater(counts[EVENT], 20, "the mark where it was left")

    def test_an_svg_and_the_stability_are_written_when_asked_for(self):
        with open(self.plot("day.svg"), encoding="utf-8") as svg:
            self.assertIn("<svg", svg.read(4096))
        with Image.open(self.plot("stability.png", "--stability", "--width", "800")) as image:
            self.assertEqual(image.size, (800, 800))
            # The two curves, drawn in the charts' line colour.
            blue = sum(1 for r, g, b in image.convert("RGB").getdata() if b > 150 and r < 100)
            self.assertGreater(blue, 1000)

    def test_the_histogram_shows_the_day_beside_the_day_before_over_the_profile(self):
        # The day before as the logger keeps a completed day: compressed.
        subprocess.run(["gzip", "-k", self.before], check=True)
        with Image.open(self.plot("shapes.png", "--histogram", "--profile",
                                  files=[self.before + ".gz", self.day])) as image:
            self.assertEqual(image.size, (1200, 800))
            pixels = list(image.convert("RGB").getdata())
            upper, lower = pixels[:len(pixels) // 2], pixels[len(pixels) // 2:]
            for name, colour, half in (("the day", DAY, upper), ("the day before", BEFORE, upper),
                                       ("the profile", DAY, lower)):
                self.assertGreater(half.count(colour), 200, name)

    def test_a_picture_that_cannot_be_written_is_an_error(self):
        for name in ("day.png", "day.svg"):
            with self.subTest(name):
                result = subprocess.run([PLOT, self.day, "-o", os.path.join("/no/such", name)],
                                        capture_output=True, text=True)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("cannot write the picture", result.stderr)

    def test_files_that_are_no_record_are_named_and_never_crash(self):
        header = "utc,seconds,interval_us,frequency_hz,mean_frequency_hz,grid_time_deviation_s,event"
        row = "2026-12-07T00:00:01.000000Z,1,1000010.000,{},49.99950,{},"
        cases = (  # name, bytes, exit code, what standard error says
            ("empty", b"", 1, "empty.csv: it is empty"),
            ("not a record", b"a,b,c\n1,2,3\n", 1, "line 1 is not a record's header"),
            ("a header only", header.encode() + b"\n", 1, "a header and no rows"),
            ("no readable row", f"{header}\ntorn\n".encode(), 1, "line 2 is the first"),
            ("CR LF", f"{header}\r\n{row.format('49.99950', '-0.000010')}\r\n".encode(), 0,
             ""),
            ("infinite", f"{header}\n{row.format('inf', 'nan')}\n{row.format('50', '0')}\n"
             .encode(), 0, "line 2, and any other"),
            ("too large", None, 1, "too large for a record"))
        for name, content, code, said in cases:
            with self.subTest(name):
                path = os.path.join(self.folder.name, name.replace(" ", "-") + ".csv")
                with open(path, "wb") as file:
                    if content is None:
                        file.truncate(300 << 20)  # sparse: no disk is filled
                    else:
                        file.write(content)
                result = subprocess.run([PLOT, path, "-o", path + ".png"], capture_output=True,
                                        text=True)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertIn(said, result.stderr)
                if said:
                    self.assertIn(path, result.stderr, "the file is named")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
