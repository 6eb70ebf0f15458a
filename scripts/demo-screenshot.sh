#!/usr/bin/env bash
# Runs one whole firmware update in the demo (started with the README's first
# command, scripts/demo.sh) on a virtual X display, the way an operator would: types a sample image's path into the path field,
# presses Update, waits for the result box and saves a picture of the screen
# to docs/update-demo.png (or the path given as the first argument).
#   bash scripts/demo-screenshot.sh [output.png]
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=$(realpath -m "${1:-$ROOT/docs/update-demo.png}")
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
SAMPLE=${SAMPLE:-$ROOT/samples/ostrel-2.2.0.bin}
TITLE="Ostrel Quorvia Camera Update Tool"

if [ "${DEMO_INSIDE_XVFB:-}" != 1 ]; then
    if [ -f "$ROOT/scripts/packages.sh" ]; then
        source "$ROOT/scripts/packages.sh"
        bash "$ROOT/scripts/ensure-packages.sh" "${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}" xvfb xauth x11-utils imagemagick xdotool
    fi
    cmake -S "$ROOT" -B "$BUILD_DIR" >/dev/null
    cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target tarnholm-demo
    mkdir -p "$(dirname "$OUT")"
    DEMO_INSIDE_XVFB=1 BUILD_DIR="$BUILD_DIR" SAMPLE="$SAMPLE" \
        xvfb-run -a -s "-screen 0 1100x520x24" bash "$0" "$OUT"
    echo "saved $OUT ($(identify -format '%wx%h' "$OUT"))"
    exit
fi

# Waits up to $2 seconds for a viewable window named exactly $1; prints its id.
wait_window() {
    local id i
    for i in $(seq 1 $(($2 * 5))); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        kill -0 "$pid" 2>/dev/null || { echo "demo-screenshot: tarnholm-demo ended early" >&2; return 1; }
        sleep 0.2
    done
    echo "demo-screenshot: no window '$1' within $2 s" >&2
    return 1
}

# demo.sh finds the display, builds nothing new and execs tarnholm-demo, so
# $pid ends up being the demo itself.
BUILD_DIR="$BUILD_DIR" bash "$ROOT/scripts/demo.sh" >/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

win=$(wait_window "$TITLE" 120)
sleep 1
# The path field, then Update (positions in the window's fixed 618x424 form).
xdotool mousemove --window "$win" 350 60 click 1
xdotool type --delay 5 "$SAMPLE"
xdotool mousemove --window "$win" 50 173 click 1
# Flash and reboot take about 15 s in the demo; the result box ends it.
wait_window "Info" 60 >/dev/null
sleep 1
import -window root -crop 1080x430+0+0 +repage "$OUT"
