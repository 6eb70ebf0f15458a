#!/usr/bin/env bash
# Counts the system calls of an idle `tarnholm` and of a bare Qt window over
# the same time on one virtual X display, with `strace -f` attached to every
# thread after each window has appeared. Prints the calls per system call.
# (strace 6.1 prints no -c summary when it detaches from a process it
# attached to, so the raw trace is counted here.)
#   bash scripts/idle-wakeups.sh [seconds]     (default 20)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
SECONDS_IDLE=${1:-20}

if [ "${IDLE_INSIDE_XVFB:-}" != 1 ]; then
    source "$ROOT/scripts/packages.sh"
    bash "$ROOT/scripts/ensure-packages.sh" "${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}" \
        "${SCREENSHOT_PACKAGES[@]}" strace
    cmake -S "$ROOT" -B "$BUILD_DIR" >/dev/null
    cmake --build "$BUILD_DIR" -j "${JOBS:-$(nproc)}" --target tarnholm bench_bare_window
    IDLE_INSIDE_XVFB=1 BUILD_DIR="$BUILD_DIR" \
        exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$SECONDS_IDLE"
fi

# Starts $1 from app/ (for "app.ico"), waits for its window titled $2,
# lets it settle, then counts its system calls for SECONDS_IDLE seconds.
measure() {
    local program=$1 title=$2 pid id="" i
    cd "$ROOT/app"
    "$program" 2>/dev/null &
    pid=$!
    for i in $(seq 1 100); do
        id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\":" 'index($0, t) { print $1; exit }')
        [ -n "$id" ] && break
        sleep 0.2
    done
    [ -n "$id" ] || { echo "idle-wakeups: no window '$title'" >&2; kill "$pid"; return 1; }
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
