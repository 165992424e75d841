#!/bin/sh
# The service unit's command line, run as systemd would run it where no systemd runs: its
# specifiers filled in for /dev/ttyUSB0, its options from an environment file, a dynamic user
# in the dialout group with CAP_SYS_NICE as its one (ambient) capability, LimitRTPRIO, no new
# privileges and the unit's own system-call filter, writing to the state folder, against the
# simulated device given to dialout as udev gives serial adapters. service_test.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
unit=$(dirname "$0")/../packaging/cyclara-log@.service
if [ "$(id -u)" -ne 0 ]; then
    echo "changing to the service's user needs root" >&2
    exit 77
fi
state=$(mktemp -d)
chmod 0755 "$state"
trap 'rm -rf "$state"' EXIT
. "$(dirname "$0")/checks.sh"

# The first of DynamicUser's range, which systemd allots users from.
uid=61184
instance=$(systemd-escape --path /dev/ttyUSB0)
folder=$state/cyclara-log/$instance
mkdir -p "$folder"
chown "$uid:$uid" "$folder"

command=$(sed -n 's/^ExecStart=//p' "$unit" |
    sed -e "s|%I|dev/ttyUSB0|g" -e "s|%i|$instance|g" -e "s|%S|$state|g" \
        -e "s|^/usr/bin/cyclara-log|$build/logger/cyclara-log|")
printf 'CYCLARA_LOG_OPTIONS="--count 12 --nominal 60"\n' >"$state/options"

# LimitRTPRIO=: raising it takes CAP_SYS_RESOURCE, which a container's root may lack; the
# service's CAP_SYS_NICE grants the priority without it.
limit="prlimit --rtprio=1:1"
$limit true 2>/dev/null || { limit=""; echo "service: no LimitRTPRIO here; CAP_SYS_NICE alone"; }

# The unit's SystemCallFilter=, its groups expanded by systemd's own list of them.
expand() {
    for item in "$@"; do
        case $item in
            @*) expand $(systemd-analyze syscall-filter "$item" | sed -n 's/^    \([a-z@][a-z0-9_-]*\)$/\1/p') ;;
            *) echo "$item" ;;
        esac
    done
}
expand $(sed -n 's/^SystemCallFilter=//p' "$unit") | sort -u >"$state/syscalls"
filter="$build/tools/syscall-filter $state/syscalls"
check "a call outside the filter is refused" \
    '$filter chroot / true 2>&1 | grep -q "Operation not permitted"'

# The clock's state as the service's user under the filter: read, never changed (no CAP_SYS_TIME).
as_service="setpriv --reuid=$uid --regid=$uid --clear-groups --inh-caps=-all --bounding-set=-all,+sys_nice --no-new-privs"
adjtimex='import ctypes; t = ctypes.create_string_buffer(256); c = ctypes.CDLL(None, use_errno=True)
read = c.adjtimex(t) >= 0; t[0] = 2; print(read, c.adjtimex(t), ctypes.get_errno())'
check "the service reads the clock's state and cannot change its rate" \
    '[ "$($as_service $filter /usr/bin/python3 -c "$adjtimex")" = "True -1 1" ]'

# As the unit says: EnvironmentFile= then ExecStart= with $CYCLARA_LOG_OPTIONS split on spaces.
"$build/simulator/cyclara-sim" --period 0.1 --width 0.02 --group dialout -- $limit \
    setpriv --reuid="$uid" --regid="$uid" --groups="$(getent group dialout | cut -d: -f3)" \
        --inh-caps=-all,+sys_nice --ambient-caps=-all,+sys_nice --bounding-set=-all,+sys_nice \
        --no-new-privs \
    $filter sh -c ". '$state/options' && exec $command" >"$state/rows" 2>"$state/errors" ||
    true
sed 's/^/service: /' "$state/errors"

check "the service's run counts its pulses, summarised for the journal" \
    'grep -q "summary: 12 pulses" "$state/errors"'
check "and writes no row a second there" '[ ! -s "$state/rows" ]'
check "it opens the device through dialout" '! grep -q "does not open" "$state/errors"'
check "the clock's state is read through the filter" \
    'grep -Eq "clock: (not )?synchronised" "$state/errors"'
check "the timestamping thread gets its real-time priority" \
    'grep -q "raised priority granted" "$state/errors"'
check "the CSV log lands in the state folder, the service user's" \
    '[ "$(find "$folder" -maxdepth 1 -name "*.csv" -user "$uid" | wc -l)" -eq 1 ]'
check "the per-pulse record too" '[ -n "$(find "$folder/record" -name "*.csv" -user "$uid")" ]'
exit $failures
