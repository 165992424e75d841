#!/bin/sh
# The Debian package as a system would take it: lintian's errors, an installation into a
# throwaway root (dpkg --root), the programs, what a desktop needs (the entry, the icons, the
# help page where the program looks), the manual pages and the service unit from there, and a
# removal that leaves nothing behind. The package is made from the install rules, so this
# checks `make install` too.
# package_test.sh PACKAGE.deb
set -eu
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

. "$(dirname "$0")/checks.sh"
# Width and height from a PNG's header, as "W H".
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4, $7 * 256 + $8 }'
}

lintian --tag-display-limit 0 "$deb" >"$root.lintian" 2>&1 || true
sed 's/^/lintian: /' "$root.lintian"
check "lintian reports no error" '! grep -q "^E:" "$root.lintian"'
rm -f "$root.lintian"

mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-script-chrootless -i "$deb" >/dev/null 2>&1
check "cyclara-log runs from the package" \
    '[ "$("$root/usr/bin/cyclara-log" --version)" = "cyclara-log 1.0.0.1" ]'
check "the window runs from the package" '[ -x "$root/usr/bin/cyclara" ]'
entry=$root/usr/share/applications/cyclara.desktop
check "the desktop entry is valid" 'desktop-file-validate "$entry"'
check "the entry starts the program by name" 'grep -qx "Exec=cyclara" "$entry"'
check "the entry names the theme icon" 'grep -qx "Icon=cyclara" "$entry"'
for size in 16 32; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/cyclara.png
    check "the ${size}x${size} icon is a PNG of that size" \
        '[ -f "$icon" ] && [ "$(png_size "$icon")" = "$size $size" ]'
done
check "the help page lies where the program looks, beside it in ../share/doc/cyclara" \
    '[ -f "$root/usr/bin/../share/doc/cyclara/cyclara.html" ]'
for page in cyclara cyclara-log cyclara-sim cyclara-plot cyclara-compare; do
    file=$root/usr/share/man/man1/$page.1.gz
    check "man renders $page(1) without a warning" \
        '[ -f "$file" ] && [ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)" ]'
done
check "cyclara-log(1) gives the service, its files and its exit codes" \
    '[ "$(zcat "$root/usr/share/man/man1/cyclara-log.1.gz" | grep -cE "^\.SH (SERVICE|FILES|\"EXIT STATUS\")")" = 3 ]'
check "the service unit verifies" \
    'systemd-analyze verify --man=no --recursive-errors=no --root="$root" "cyclara-log@dev-ttyUSB0.service"'
check "the emulation lies where cyclara-sim looks" \
    '[ -f "$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cyclara/libcyclara_modem.so" ]'
dpkg --root="$root" --force-script-chrootless --purge cyclara >/dev/null
check "the removal leaves nothing behind" \
    '[ -z "$(find "$root" -path "$root/var" -prune -o -type f -print)" ]'
exit $failures
