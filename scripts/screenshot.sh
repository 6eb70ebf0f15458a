#!/usr/bin/env bash
# Starts tarnholm-demo on a virtual X display and saves a picture of its
# window to docs/window.png (or the path given as the first argument).
#   bash scripts/screenshot.sh [output.png]
# PROGRAM=tarnholm takes the tool on the native backend instead.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
OUT=$(realpath -m "${1:-$ROOT/docs/window.png}")
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
PROGRAM=${PROGRAM:-tarnholm-demo}
TITLE="Ostrel Quorvia Camera Update Tool"

if ! in_xvfb; then
    need_packages "${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"
    configure_and_build "$BUILD_DIR" -- "$PROGRAM" >/dev/null
    mkdir -p "$(dirname "$OUT")"
    BUILD_DIR="$BUILD_DIR" PROGRAM="$PROGRAM" rerun_under_xvfb 1024x768x24 "$0" "$OUT"
    echo "saved $OUT ($(identify -format '%wx%h' "$OUT"))"
    exit
fi

# Inside the virtual display: start the program from app/ (for "app.ico"),
# wait for its window, capture just that window, stop the program.
cd "$ROOT/app"
"$BUILD_DIR/$PROGRAM" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
id=$(wait_for_window "$TITLE" 20 "$pid")
sleep 1   # let the first paint finish
import -window "$id" "$OUT"
