#!/usr/bin/env bash
# Runs one whole firmware update in the demo (started with the README's first
# command, scripts/demo.sh) on a virtual X display, the way an operator would:
# types a sample image's path into the path field, presses Update, waits for
# the result box and saves a picture of the screen to docs/update-demo.png (or
# the path given as the first argument).
#   bash scripts/demo-screenshot.sh [output.png]
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
OUT=$(realpath -m "${1:-$ROOT/docs/update-demo.png}")
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
SAMPLE=${SAMPLE:-$ROOT/samples/ostrel-2.2.0.bin}
TITLE="Ostrel Quorvia Camera Update Tool"

if ! in_xvfb; then
    need_packages "${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}" xdotool
    configure_and_build "$BUILD_DIR" -- tarnholm-demo >/dev/null
    mkdir -p "$(dirname "$OUT")"
    BUILD_DIR="$BUILD_DIR" SAMPLE="$SAMPLE" rerun_under_xvfb 1100x520x24 "$0" "$OUT"
    echo "saved $OUT ($(identify -format '%wx%h' "$OUT"))"
    exit
fi

# demo.sh finds the display, builds nothing new and execs tarnholm-demo, so
# $pid ends up being the demo itself.
BUILD_DIR="$BUILD_DIR" bash "$ROOT/scripts/demo.sh" >/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

win=$(wait_for_window "$TITLE" 120 "$pid")
sleep 1
# The path field, then Update (positions in the window's fixed 618x424 form).
xdotool mousemove --window "$win" 350 60 click 1
xdotool type --delay 5 "$SAMPLE"
xdotool mousemove --window "$win" 50 173 click 1
# Flash and reboot take about 15 s in the demo; the result box ends it.
wait_for_window "Info" 60 "$pid" >/dev/null
sleep 1
import -window root -crop 1080x430+0+0 +repage "$OUT"
