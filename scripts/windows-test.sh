#!/usr/bin/env bash
# Runs every Windows test program of build-windows/ under wine, in a private
# wine prefix, and prints one line of totals. Fails on any failed row and on
# a program that reports no totals at all.
#
#   bash scripts/windows-build.sh && bash scripts/windows-test.sh
#
# Platform-neutral tests run on Qt's offscreen platform. The programs in
# tests/win/ need real Win32 windows (window handles, window messages) and
# run on the windows platform, on a virtual X display.
#
# `bash scripts/windows-test.sh setup` runs tests/win/setup/ instead: the setup
# program's test, which scripts/windows-package.sh runs once it has made it.
#
# Environment: BUILD_DIR (default build-windows/), KEEP_PREFIX=1 keeps the
# wine prefix for a look afterwards.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build-windows}

if ! in_xvfb; then
    need_packages "${WINDOWS_TEST_PACKAGES[@]}" || exit 2
    # One virtual display for the whole run; offscreen programs ignore it.
    rerun_under_xvfb 1280x1024x24 "${BASH_SOURCE[0]}" "$@"
    exit
fi

RESULTS=$(mktemp -d "${TMPDIR:-/tmp}/tarnholm-results.XXXXXX")
new_wine_prefix
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "${KEEP_PREFIX:-}" ] && echo "windows-test: wine prefix kept in $WINEPREFIX" || rm -rf "$WINEPREFIX"
    rm -rf "$RESULTS"
}
trap cleanup EXIT
# Drive T: is a plain folder, for the worker's copy through a drive letter.
# Wine reads its drive mappings when it starts, so before any program.
mkdir -p "$RESULTS/drive-t"
touch "$RESULTS/drive-t/tarnholm-test-drive"
ln -s "$RESULTS/drive-t" "$WINEPREFIX/dosdevices/t:"

shopt -s nullglob
if [ "${1:-}" = setup ]; then
    neutral=() native_dir=win/setup
    native=("$BUILD_DIR"/tests/win/setup/tst_*.exe)
    [ ${#native[@]} -ne 0 ] || { echo "windows-test: no setup test in $BUILD_DIR/tests/win/setup" >&2; exit 2; }
else
    neutral=("$BUILD_DIR"/tests/tst_*.exe) native_dir=win
    native=("$BUILD_DIR"/tests/win/tst_*.exe)
fi
if [ ${#neutral[@]} -eq 0 ] && [ "${1:-}" != setup ]; then
    echo "windows-test: no test programs in $BUILD_DIR/tests (run scripts/windows-build.sh)" >&2
    exit 2
fi

passed=0 failed=0 skipped=0 programs=0 silent=0 status=0
run() {   # program, platform, its source
    local exe=$1 platform=$2 source=$3 name out line p f s args=()
    name=$(basename "$exe" .exe)
    out="$RESULTS/$name.txt"
    # A program whose source is gone was left by an earlier build.
    if [ ! -f "$source" ]; then
        echo "windows-test: $name skipped, left over from an earlier build (no $source)"
        return
    fi
    # The platform reaches a program only as an argument (not through the
    # environment), and only one with a GUI application takes it.
    grep -qs 'QTEST_MAIN' "$source" && args=(-platform "$platform") || platform=none
    # QtTest's standard output does not come back through wine: use a file.
    # Programs start in their own folder, as the tool does.
    (cd "$(dirname "$exe")" && timeout 600 "$WINE" "$exe" "${args[@]}" -o "$(basename "$out")_,txt" >/dev/null 2>&1)
    local code=$?
    mv -f "$(dirname "$exe")/$(basename "$out")_" "$out" 2>/dev/null
    line=$(grep -a '^Totals:' "$out" 2>/dev/null | tail -n 1)
    programs=$((programs + 1))
    if [ -z "$line" ]; then
        echo "FAIL $name: reported nothing (exit code $code)"
        silent=$((silent + 1)) status=1
        return
    fi
    read -r p f s < <(echo "$line" | sed -E 's/Totals: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped.*/\1 \2 \3/')
    passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
    if [ "$f" -ne 0 ] || [ "$code" -ne 0 ]; then
        echo "FAIL $name ($platform): $line"
        grep -a -A4 '^FAIL!' "$out" | grep -av '^SKIP' | sed 's/^/     /'
        status=1
    else
        echo "ok   $name ($platform): $p passed, $s skipped"
    fi
    grep -a '^SKIP' "$out" | sed 's/^/     /'
}

for exe in "${neutral[@]}"; do run "$exe" offscreen "$ROOT/tests/$(basename "$exe" .exe).cpp"; done
for exe in "${native[@]}"; do run "$exe" windows "$ROOT/tests/$native_dir/$(basename "$exe" .exe).cpp"; done

nothing=$([ $silent -eq 0 ] || echo ", $silent reported nothing")
echo "windows-test: $passed passed, $failed failed, $skipped skipped in $programs programs under wine$nothing"
exit $status
