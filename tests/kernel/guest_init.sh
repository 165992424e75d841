#!/bin/busybox sh
# The first process of the test guest: loads the USB gadget loopback, whose gadget side
# (/dev/ttyGS0) plays the measuring device and whose host side (/dev/ttyACM0) is the real
# cdc-acm driver; runs the programs against it and reports on the console, one "@@" line per
# finding, for the host to check. Ends by powering the guest off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
ip link set lo up

report() { echo "@@ $*"; }
uptime_s() { cut -d' ' -f1 /proc/uptime; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
wait_for_file() {
    n=0
    while [ ! -e "$1" ] && [ $n -lt 100 ]; do sleep 0.2; n=$((n + 1)); done
    [ -e "$1" ]
}
finish() { report "done"; sync; poweroff -f; }

# In dependency order: there is no modprobe in the guest.
for module in usb-common usbcore udc-core configfs libcomposite u_serial usb_f_acm dummy_hcd \
              cdc-acm g_serial; do
    insmod "/modules/$module.ko" || report "insmod-failed $module"
done
if ! wait_for_file /dev/ttyACM0 || ! wait_for_file /dev/ttyGS0; then
    report "no-loopback"
    finish
fi
report "loopback $(ls /sys/class/udc)"
# What the service's device allow-list goes by: the major numbers the drivers registered.
report "acm-major $(stat -c %t /dev/ttyACM0)"
grep -E ' tty(ACM|USB|S)$' /proc/devices | sed 's/^ */@@ registered /'

# The backend's own hardware test: pulses once a second.
pulse_source /dev/ttyGS0 1 0.1 10 &
source_pid=$!
CYCLARA_HARDWARE_PORT=/dev/ttyACM0 receive_test --gtest_filter='HardwareTest.*' \
    --gtest_brief=1 >/tmp/hardware.out 2>&1
report "hardware-exit $?"
sed 's/^/@@ hardware-out /' /tmp/hardware.out
kill $source_pid 2>/dev/null; wait $source_pid

# The logger to its first CSV row: 600 counted intervals, ten a second.
pulse_source /dev/ttyGS0 1 0.1 8 &
source_pid=$!
cyclara-log --device /dev/ttyACM0 --check --check-seconds 6 >/tmp/check 2>&1
report "check-exit $?"
sed 's/^/@@ check /' /tmp/check
kill $source_pid 2>/dev/null; wait $source_pid

mkdir /tmp/logs
pulse_source /dev/ttyGS0 0.1 0.02 700 /tmp/rises &
source_pid=$!
start=$(uptime_s)
cyclara-log --device /dev/ttyACM0 --log-dir /tmp/logs --count 601 >/tmp/rows 2>/tmp/errors
report "logger-exit $? after $start $(uptime_s)"
sed 's/^/@@ row /' /tmp/rows
sed 's/^/@@ stderr /' /tmp/errors
cat /tmp/logs/*.csv | sed 's/^/@@ csv /'
kill $source_pid 2>/dev/null; wait $source_pid
sed 's/^/@@ rise /' /tmp/rises

# The adapter pulled during a measurement (its gadget driver unloaded), and plugged back.
pulse_source /dev/ttyGS0 0.1 0.02 100000 &
source_pid=$!
cyclara-log --device /dev/ttyACM0 --log-dir /tmp/logs --http 8080 >/tmp/rows 2>/tmp/errors &
logger_pid=$!
sleep 3
kill $source_pid; wait $source_pid
rmmod g_serial
report "pulled $(uptime_s)"
sleep 1
before=$(cpu_ticks $logger_pid)
sleep 4
report "idle-cpu-ticks $before $(cpu_ticks $logger_pid) over 4"
rows_before=$(wc -l </tmp/rows)
insmod /modules/g_serial.ko
wait_for_file /dev/ttyACM0 && wait_for_file /dev/ttyGS0
report "plugged $(uptime_s)"
pulse_source /dev/ttyGS0 0.1 0.02 100000 &
source_pid=$!
sleep 6
report "rows $rows_before $(wc -l </tmp/rows)"
wget -q -O /tmp/state http://127.0.0.1:8080/api/v1/state && report "state $(cat /tmp/state)"
wget -q -O /tmp/page http://127.0.0.1:8080/ && report "page $(head -c 200 /tmp/page | tr -d '\n')"
kill -TERM $logger_pid
wait $logger_pid
report "stop-exit $?"
sed 's/^/@@ stderr /' /tmp/errors
kill $source_pid; wait $source_pid
finish
