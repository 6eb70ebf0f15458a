#!/usr/bin/env bash
# Counts the system calls of an idle `tarnholm` and of a bare Qt window over
# the same time on one virtual X display, with `strace -f` attached to every
# thread after each window has appeared. Prints the calls per system call.
# (strace 6.1 prints no -c summary when it detaches from a process it
# attached to, so the raw trace is counted here.)
#   bash scripts/idle-wakeups.sh [seconds]     (default 20)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
SECONDS_IDLE=${1:-20}

if ! in_xvfb; then
    need_packages "${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}" strace
    configure_and_build "$BUILD_DIR" -- tarnholm bench_bare_window >/dev/null
    BUILD_DIR="$BUILD_DIR" rerun_under_xvfb 1024x768x24 "$0" "$SECONDS_IDLE"
    exit
fi

# Starts $1 from app/ (for "app.ico"), waits for its window titled $2,
# lets it settle, then counts its system calls for SECONDS_IDLE seconds.
measure() {
    local program=$1 title=$2 pid
    cd "$ROOT/app"
    "$program" 2>/dev/null &
    pid=$!
    wait_for_window "$title" 20 "$pid" >/dev/null || { kill "$pid" 2>/dev/null; return 1; }
    sleep 2
    echo "== $(basename "$program"), idle for $SECONDS_IDLE s"
    local trace
    trace=$(mktemp)
    timeout -s INT "$SECONDS_IDLE" strace -f -qq -p "$pid" -o "$trace" || true
    # One line per call; a call that blocked shows as "unfinished" and "resumed".
    awk '$2 !~ /^</ { sub(/\(.*/, "", $2); n[$2]++; total++ }
         END { for (c in n) printf "%8d  %s\n", n[c], c; printf "%8d  total\n", total }' "$trace" | sort -n
    rm -f "$trace"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
measure "$BUILD_DIR/tarnholm" "Ostrel Quorvia Camera Update Tool"
measure "$BUILD_DIR/bench/bench_bare_window" "Bare Qt window"
