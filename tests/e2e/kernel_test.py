#!/usr/bin/env python3
"""cyclara-log and the serial backend against a real kernel driver: Debian's own kernel boots
under qemu with the USB gadget loopback, whose host side is the cdc-acm driver that USB
serial adapters use. The guest's first process (tests/kernel/guest_init.sh) plays the device
and runs the programs; this side builds the guest and checks what it reports. Under software
emulation the guest's timing scatters by milliseconds, so the logger's intervals are checked
against the ones the source actually made. The guest also shows what the service's device
allow-list goes by and serves the live page from the real driver's measurement.
Usage: kernel_test.py BUILD_DIR"""
import glob
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import unittest

from harness import run

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
HERE = os.path.dirname(os.path.abspath(__file__))
GUEST_INIT = os.path.join(HERE, "..", "kernel", "guest_init.sh")
SERVICE_UNIT = os.path.join(HERE, "..", "..", "packaging", "cyclara-log@.service")
KERNEL_CACHE = os.path.join(BUILD, "kernel")
MODULES = ["usb-common", "usbcore", "udc-core", "configfs", "libcomposite", "u_serial",
           "usb_f_acm", "dummy_hcd", "cdc-acm", "g_serial"]
PROGRAMS = [os.path.join(BUILD, "logger", "cyclara-log"),
            os.path.join(BUILD, "tests", "receive_test"),
            os.path.join(BUILD, "tests", "pulse_source")]
ROW = re.compile(r"^@@ row (\d+):(\d\d):(\d\d)\t(\d+)\t([-+]?\d+)\t(\S+)\t")
CSV_ROW = re.compile(r"^@@ csv \d{4}/\d\d/\d\d \d\d:\d\d:\d\d,(\d+:\d\d:\d\d),([-+ ]\d+)$")


def unavailable(reason):
    """Skips where the kernel or qemu cannot be had; in CI, where they must be, fails."""
    print("real-driver test not run: " + reason, file=sys.stderr)
    sys.exit(1 if os.environ.get("CI") else 77)


def fetch_kernel():
    """Debian's current kernel package, unpacked once into the build folder (not installed);
    returns the unpacked root."""
    root = os.path.join(KERNEL_CACHE, "root")
    if glob.glob(os.path.join(root, "boot", "vmlinuz-*")):
        return root
    depends = subprocess.run(["apt-cache", "depends", "linux-image-amd64"],
                             capture_output=True, text=True).stdout
    image = re.search(r"Depends: (linux-image-\S+)", depends)
    if not image:
        unavailable("apt knows no linux-image-amd64 (run apt-get update)")
    os.makedirs(KERNEL_CACHE, exist_ok=True)
    fetched = subprocess.run(["apt-get", "download", image[1]], cwd=KERNEL_CACHE,
                             capture_output=True, text=True)
    packages = glob.glob(os.path.join(KERNEL_CACHE, image[1] + "_*.deb"))
    if fetched.returncode != 0 or not packages:
        unavailable("apt-get download %s failed: %s" % (image[1], fetched.stderr.strip()))
    subprocess.run(["dpkg-deb", "-x", packages[0], root + ".part"], check=True)
    os.rename(root + ".part", root)
    os.remove(packages[0])
    return root


def copy_with_libraries(program, guest):
    """Copies a program into the guest's /bin, and the shared libraries it loads to the same
    paths as here."""
    shutil.copy(program, os.path.join(guest, "bin"))
    listing = subprocess.run(["ldd", program], capture_output=True, text=True, check=True)
    for library in re.findall(r"(/\S+) \(0x", listing.stdout):
        target = guest + library
        if not os.path.exists(target):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy(library, target)


def build_initramfs(kernel_root, folder):
    guest = os.path.join(folder, "guest")
    for sub in ("bin", "modules", "proc", "sys", "dev", "tmp"):
        os.makedirs(os.path.join(guest, sub))
    shutil.copy("/bin/busybox", os.path.join(guest, "bin", "busybox"))
    shutil.copy(GUEST_INIT, os.path.join(guest, "init"))
    for program in PROGRAMS:
        copy_with_libraries(program, guest)
    for module in MODULES:
        found = glob.glob(os.path.join(kernel_root, "lib", "modules", "*", "kernel", "**",
                                       module + ".ko"), recursive=True)
        if not found:
            unavailable("the kernel package has no module " + module)
        shutil.copy(found[0], os.path.join(guest, "modules"))
    image = os.path.join(folder, "initramfs.cpio")
    files = subprocess.run(["find", "."], cwd=guest, capture_output=True, check=True).stdout
    with open(image, "wb") as out:
        subprocess.run(["cpio", "-o", "-H", "newc", "--quiet"], cwd=guest, input=files,
                       stdout=out, check=True)
    return image


def boot(kernel_root, initramfs):
    """Runs the guest to its power-off; returns its console's "@@" lines."""
    kernel = glob.glob(os.path.join(kernel_root, "boot", "vmlinuz-*"))[0]
    code, console, errors = run(
        ["qemu-system-x86_64", "-machine", "q35", "-accel", "tcg", "-m", "512", "-nographic",
         "-no-reboot", "-kernel", kernel, "-initrd", initramfs,
         "-append", "console=ttyS0 quiet loglevel=3 panic=-1"], timeout=400)
    if code != 0:
        raise AssertionError("qemu ended with %d: %s" % (code, errors))
    return [line.rstrip("\r") for line in console.splitlines() if line.startswith("@@ ")]


def findings(lines, name):
    return [line[len("@@ " + name) + 1:] for line in lines if line.startswith("@@ " + name + " ")]


def intervals_sent(rises, widths):
    """The source's intervals, in microseconds, that the logger's `widths` span: the logger
    starts after the source, so the run of intervals that matches them best."""
    sent = [(int(later) - int(earlier)) / 1000 for earlier, later in zip(rises, rises[1:])]
    def mismatch(start):
        return sum(abs(w - s) for w, s in zip(widths, sent[start:]))
    start = min(range(len(sent) - len(widths) + 1), key=mismatch)
    return sent[start:start + len(widths)]


class LoggerOnRealDriver(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for tool in ("qemu-system-x86_64", "cpio"):
            if not shutil.which(tool):
                unavailable(tool + " is not installed")
        if not os.path.exists("/bin/busybox"):
            unavailable("busybox-static is not installed")
        kernel_root = fetch_kernel()
        with tempfile.TemporaryDirectory() as folder:
            cls.lines = boot(kernel_root, build_initramfs(kernel_root, folder))
        print("\n".join(line for line in cls.lines
                         if not line.startswith(("@@ row ", "@@ csv "))), file=sys.stderr)

    def test_the_guest_ran_to_its_end(self):
        self.assertEqual(findings(self.lines, "insmod-failed"), [])
        self.assertEqual(self.lines[-1], "@@ done")

    def test_the_hardware_test_passes_on_the_driver(self):
        self.assertEqual(findings(self.lines, "hardware-exit"), ["0"],
                         "\n".join(findings(self.lines, "hardware-out")))

    def test_the_check_names_the_driver_and_sees_the_pulses(self):
        report = "\n".join(findings(self.lines, "check"))
        # The guest's clock is not synchronised, which the check counts against accuracy.
        self.assertEqual(findings(self.lines, "check-exit"), ["1"], report)
        self.assertIn("  device       opens; cdc_acm: a USB adapter", report)
        self.assertRegex(report, r"  DSR +\d+ rising edges in 6 s")
        self.assertIn("! clock        not synchronised", report)

    def test_the_logger_counts_ten_minutes_and_logs_its_row(self):
        self.assertTrue(findings(self.lines, "logger-exit")[0].startswith("0 "))
        rows = [ROW.match(line) for line in self.lines if line.startswith("@@ row ")]
        rows = [m for m in rows if m]
        self.assertEqual(len(rows), 601)
        widths = [int(m[4]) for m in rows]
        # The rows are the source's intervals, one each: together they span as many of them,
        # give or take the delays of the two end edges through the emulated link, which a
        # loaded machine makes long, but never half an interval; an edge lost or made on the
        # way would put a whole interval between the two. The figures are checked exactly in
        # virtual time.
        sent = intervals_sent(findings(self.lines, "rise"), widths)
        self.assertLess(abs(sum(widths) - sum(sent)), statistics.median(sent) / 2, widths)
        self.assertEqual({m[6] for m in rows}, {"60"}, "the frequency column")
        csv = [CSV_ROW.match(line) for line in self.lines if line.startswith("@@ csv ")]
        self.assertEqual([m and m[1] for m in csv], ["0:00:00", "0:10:00"])
        # The log's ten-minute row is the mean deviation the display showed at that row.
        tenth_minute = next(m for m in rows if (m[1], m[2], m[3]) == ("0", "10", "00"))
        self.assertEqual(int(csv[1][2]), int(tenth_minute[5]))

    def test_the_services_device_allow_list_admits_the_real_cdc_acm_device(self):
        # systemd resolves "char-ttyACM" to the majors /proc/devices lists under that name.
        registered = dict(line.split()[::-1] for line in findings(self.lines, "registered"))
        major = int(findings(self.lines, "acm-major")[0], 16)
        self.assertEqual(int(registered["ttyACM"]), major)
        with open(SERVICE_UNIT) as unit:
            self.assertIn("DeviceAllow=char-ttyACM rw", unit.read().splitlines())

    def test_the_live_page_serves_the_real_drivers_measurement(self):
        state = json.loads(findings(self.lines, "state")[0])
        self.assertTrue(state["meter"]["device_up"], state)
        self.assertEqual(state["meter"]["timing"], "driver wait (TIOCMIWAIT); real-time priority")
        self.assertIn("<html", findings(self.lines, "page")[0].lower())

    def test_a_pulled_cable_is_reported_waited_for_without_spinning_and_measured_again(self):
        errors = "\n".join(findings(self.lines, "stderr"))
        self.assertIn("stopped answering; waiting for it to come back", errors)
        self.assertIn("is back; a new measurement starts", errors)
        before, after, _, seconds = findings(self.lines, "idle-cpu-ticks")[0].split()
        # Clock ticks are hundredths of a second: under 2% of one processor while waiting.
        self.assertLess(int(after) - int(before), 2 * int(seconds))
        rows_before, rows_after = map(int, findings(self.lines, "rows")[0].split())
        self.assertGreater(rows_after, rows_before + 20, "measuring resumed after the replug")
        self.assertEqual(findings(self.lines, "stop-exit"), ["0"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
