#!/bin/sh
# Installs the Linux build under a scratch prefix and checks what a desktop needs of it: the
# program, a valid desktop entry that starts it, its icons, and the help page where the
# program looks for it. install_test.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

. "$(dirname "$0")/checks.sh"
# Width and height from a PNG's header, as "W H".
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4, $7 * 256 + $8 }'
}

entry=$prefix/share/applications/cyclara.desktop
check "the program is installed" '[ -x "$prefix/bin/cyclara" ]'
check "the desktop entry is valid" 'desktop-file-validate "$entry"'
check "the entry starts the program by name" 'grep -qx "Exec=cyclara" "$entry"'
check "the entry names the theme icon" 'grep -qx "Icon=cyclara" "$entry"'
for size in 16 32; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/cyclara.png
    check "the ${size}x${size} icon is a PNG of that size" \
        '[ -f "$icon" ] && [ "$(png_size "$icon")" = "$size $size" ]'
done
check "the help page lies where the program looks, beside it in ../share/doc/cyclara" \
    '[ -f "$prefix/bin/../share/doc/cyclara/cyclara.html" ]'
exit "$failures"
