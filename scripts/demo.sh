#!/usr/bin/env bash
# Installs what is missing, builds tarnholm-demo and starts it: the tool on a
# simulated camera world.
#   bash scripts/demo.sh
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
packages=("${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}")
headless=
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=1
    packages+=("${HEADLESS_PACKAGES[@]}")
fi
need_packages "${packages[@]}"

BUILD_DIR=${BUILD_DIR:-$ROOT/build}
configure_and_build "$BUILD_DIR" -- tarnholm-demo

# The window icon is read from "app.ico" in the working directory.
cd "$ROOT/app"
if [ -n "$headless" ]; then
    echo "No display: tarnholm-demo runs under Xvfb, out of sight (Ctrl-C ends it)."
    echo "scripts/screenshot.sh takes a picture of it instead."
    exec xvfb-run -a "$BUILD_DIR/tarnholm-demo"
fi
exec "$BUILD_DIR/tarnholm-demo"
