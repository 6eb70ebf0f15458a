# What the scripts in this folder share. Each one starts with
#   ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
#   source "$ROOT/scripts/lib.sh"
# shellcheck shell=bash
source "$ROOT/scripts/packages.sh"
JOBS=${JOBS:-$(nproc)}
# The `wine` wrapper looks for a 32-bit loader that is not installed.
WINE=/usr/lib/wine/wine64

# Installs those of the given Debian packages that are missing.
need_packages() {
    bash "$ROOT/scripts/ensure-packages.sh" "$@"
}

# Configures the repository into build folder $1 (further arguments up to "--"
# go to cmake) and builds the targets after "--", or everything.
configure_and_build() {
    local dir=$1 configure=() targets=()
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
    [ $# -eq 0 ] || { shift; targets=("$@"); }
    cmake -S "$ROOT" -B "$dir" "${configure[@]}"
    if [ ${#targets[@]} -eq 0 ]; then
        cmake --build "$dir" -j "$JOBS"
    else
        cmake --build "$dir" -j "$JOBS" --target "${targets[@]}"
    fi
}

# True inside the virtual X display that rerun_under_xvfb started.
in_xvfb() {
    [ "${TARNHOLM_IN_XVFB:-}" = 1 ]
}

# Runs script $2 again with the remaining arguments on a virtual X display
# of size $1 (such as 1024x768x24) and returns its exit status.
rerun_under_xvfb() {
    local size=$1 script=$2
    shift 2
    TARNHOLM_IN_XVFB=1 xvfb-run -a -s "-screen 0 $size" bash "$script" "$@"
}

# The id of a mapped window titled exactly $1, or nothing.
window_id() {
    local id
    id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\":" 'index($0, t) { print $1; exit }')
    [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && echo "$id"
    return 0
}

# Waits up to $2 seconds for a window titled exactly $1 and prints its id;
# fails at once when process $3 (if given) has ended.
wait_for_window() {
    local title=$1 seconds=$2 pid=${3:-} id i
    for i in $(seq 1 $((seconds * 5))); do
        id=$(window_id "$title")
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
            echo "$(basename "$0"): the program ended before its window '$title' showed" >&2
            return 1
        fi
        sleep 0.2
    done
    echo "$(basename "$0"): no window '$title' within $seconds s" >&2
    return 1
}

# Makes a private wine prefix in folder $1 (a new temporary one when empty),
# exports it and boots it. Wine's own messages stay out of the output.
new_wine_prefix() {
    export WINEDEBUG=-all WINEPREFIX=${1:-}
    [ -n "$WINEPREFIX" ] || WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tarnholm-wine.XXXXXX")
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1
    wineserver -w
}
