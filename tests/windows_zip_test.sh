#!/bin/sh
# The Windows download as a user takes it: unpacked, each cyclara-log.exe answers --version
# under wine (in a prefix of the test's own in its build), each program has its help page beside it, and the
# x86_64 Cyclara.exe starts, measures and exits as the window test drives it.
# windows_zip_test.sh BUILD_ROOT
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A relative output path, as make package gives it.
(cd "$work" && "$here/tools/windows-zip" "$build" cyclara.zip >/dev/null)
(cd "$work" && /usr/bin/python3 -m zipfile -e cyclara.zip .)
echo "cyclara.zip: $(wc -c <"$work/cyclara.zip") bytes"
failures=0
for arch in x86_64:win64 i686:win32; do
    folder=$(echo "$work"/cyclara-*-windows/"${arch%%:*}")
    for file in Cyclara.exe cyclara-log.exe Cyclara.html; do
        [ -f "$folder/$file" ] || { echo "FAIL ${arch%%:*}/$file is missing"; failures=$((failures + 1)); }
    done
    # Through a file: in a pipe, the status would be the last command's, and wine-run's skip
    # would read as an empty answer.
    status=0
    CYCLARA_WINEPREFIX="$build/${arch##*:}/wineprefix-zip" \
        "$here/tools/wine-run" "$folder/cyclara-log.exe" --version >"$work/version" || status=$?
    version=$(tr -d '\r' <"$work/version")
    if [ "$status" -eq 77 ]; then
        echo "skipped ${arch%%:*}: this machine runs no 32-bit programs"
    elif [ "$version" = "cyclara-log 1.0.0.1" ]; then
        echo "ok ${arch%%:*}/cyclara-log.exe --version"
        # MQTT and the page are in the download's program, not marked as another build's.
        CYCLARA_WINEPREFIX="$build/${arch##*:}/wineprefix-zip" \
            "$here/tools/wine-run" "$folder/cyclara-log.exe" --help >"$work/help"
        for option in --mqtt --http; do
            if grep -q -- "^  $option .*(Linux)" "$work/help" || ! grep -q -- "^  $option " "$work/help"; then
                echo "FAIL ${arch%%:*}/cyclara-log.exe --help: $option is missing or Linux's"
                failures=$((failures + 1))
            fi
        done
    else
        echo "FAIL ${arch%%:*}/cyclara-log.exe --version said '$version' ($status)"
        failures=$((failures + 1))
    fi
done
CYCLARA_WINEPREFIX="$build/win64/wineprefix-zip" /usr/bin/python3 "$here/tests/e2e/wine_window_test.py" \
    "$build/linux" "$here/tools/wine-run" "$(echo "$work"/cyclara-*-windows/x86_64/Cyclara.exe)" \
    "$build/win64/tests/win_window_probe.exe" || failures=$((failures + 1))
exit $failures
