#!/usr/bin/env bash
# Starts tarnholm-demo on a virtual X display and saves a picture of its
# window to docs/window.png (or the path given as the first argument).
#   bash scripts/screenshot.sh [output.png]
# PROGRAM=tarnholm takes the tool on the native backend instead.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=$(realpath -m "${1:-$ROOT/docs/window.png}")
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
PROGRAM=${PROGRAM:-tarnholm-demo}
if [ "${SCREENSHOT_INSIDE_XVFB:-}" != 1 ]; then
    source "$ROOT/scripts/packages.sh"
    bash "$ROOT/scripts/ensure-packages.sh" "${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"
    cmake -S "$ROOT" -B "$BUILD_DIR" >/dev/null
    cmake --build "$BUILD_DIR" -j "${JOBS:-$(nproc)}" --target "$PROGRAM"
    mkdir -p "$(dirname "$OUT")"
fi

# Runs inside the virtual display: start the demo from app/ (for "app.ico"),
# wait for its window to be mapped, capture just that window, stop the demo.
capture() {
    local title="Ostrel Quorvia Camera Update Tool" id="" pid i
    cd "$ROOT/app"
    "$BUILD_DIR/$PROGRAM" &
    pid=$!
    for i in $(seq 1 100); do
        id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\":" 'index($0, t) { print $1; exit }')
        [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && break
        id=""
        kill -0 "$pid" 2>/dev/null || { echo "screenshot: $PROGRAM ended early" >&2; return 1; }
        sleep 0.2
    done
    if [ -z "$id" ]; then
        echo "screenshot: no window titled '$title' appeared" >&2
        kill "$pid"; wait "$pid" || true
        return 1
    fi
    sleep 1   # let the first paint finish
    import -window "$id" "$OUT"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
if [ "${SCREENSHOT_INSIDE_XVFB:-}" = 1 ]; then
    capture
    exit
fi
SCREENSHOT_INSIDE_XVFB=1 BUILD_DIR="$BUILD_DIR" PROGRAM="$PROGRAM" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$ROOT/scripts/screenshot.sh" "$OUT"
echo "saved $OUT ($(identify -format '%wx%h' "$OUT"))"
