#!/bin/sh
# make install into a prefix of its own, as a user installs under /usr/local: the service unit
# runs the program installed there and reads the options file installed with it.
# install_test.sh BUILD
set -eu
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
. "$(dirname "$0")/checks.sh"

DESTDIR="$root" cmake --install "$build" --prefix /usr/local >/dev/null
unit="$root/usr/local/lib/systemd/system/cyclara-log@.service"
check "the unit is installed under the prefix" '[ -f "$unit" ]'
program=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
check "the unit runs the program installed with it ($program)" \
    '[ "$program" = /usr/local/bin/cyclara-log ] && "$root$program" --version >/dev/null'
options=$(sed -n 's/^EnvironmentFile=-\(.*default.*\)/\1/p' "$unit")
check "the unit reads the options file installed with it ($options)" \
    '[ "$options" = /usr/local/etc/default/cyclara-log ] && [ -f "$root$options" ]'
exit $failures
