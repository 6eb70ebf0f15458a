#!/usr/bin/env bash
# Windows source gate: after the cross build (scripts/windows-build.sh), checks
# what that build cannot tell by itself.
#
#   bash scripts/windows-build.sh && bash scripts/windows-compile-gate.sh
#
# - Every C or C++ source in the repository is accounted for: either the
#   Windows build compiled it (it is in build-windows/compile_commands.json)
#   or it is named in NOT_ON_WINDOWS with the reason. So a new folder or file
#   that CMake's globs miss cannot slip through.
# - Every Windows-only header (platform/win/*.h) compiles on its own, with
#   the build's own flags, without a warning.
# The build itself compiles everything else with warnings as errors.
#
# Environment: BUILD_DIR (default build-windows/).

set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
BUILD_DIR=${BUILD_DIR:-$ROOT/build-windows}
DB=$BUILD_DIR/compile_commands.json

# Sources a Windows build leaves out, each with its reason.
NOT_ON_WINDOWS=(
    'platform/linux/*.cpp'   # the Linux backend; CMake picks platform/win instead
    'fuzz/*.cpp'             # libFuzzer targets, built with clang only (TARNHOLM_FUZZ)
    'tests/linux/*.cpp' 'tests/linux/standin/*.cpp'   # tests of the Linux backend
    'tests/fuse/*.cpp'       # the FUSE drive that fails on command and its sweep (libfuse3)
)
# Windows-only headers, each also compiled on its own.
WINDOWS_HEADERS=('platform/win/*.h')
# The source whose compile command the headers are checked with.
FLAGS_FROM=platform/win/win_notifier.cpp

if [ ! -f "$DB" ]; then
    echo "windows-compile-gate: $DB missing (run scripts/windows-build.sh first)" >&2
    exit 2
fi

shopt -s nullglob
expand() { local p; for p in "$@"; do compgen -G "$p" || true; done | sort -u; }

# CMake writes one "command" line and then one "file" line per unit.
mapfile -t compiled < <(sed -n 's|^ *"file": "'"$ROOT"'/\(.*\)"$|\1|p' "$DB" | grep -v "^build" | sort -u)
mapfile -t skipped < <(expand "${NOT_ON_WINDOWS[@]}")
mapfile -t win_headers < <(expand "${WINDOWS_HEADERS[@]}")
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t all_sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.cc' '*.cxx' '*.c' | sort -u)
else
    mapfile -t all_sources < <(find . \( -name '*.cpp' -o -name '*.cc' -o -name '*.cxx' -o -name '*.c' \) \
        -not -path './.git/*' -not -path './build*' -printf '%P\n' | sort -u)
fi

status=0
for f in "${all_sources[@]}"; do
    [ -f "$f" ] || continue
    if ! printf '%s\n' "${compiled[@]}" "${skipped[@]}" | grep -qxF -- "$f"; then
        echo "FAIL $f (not compiled by the Windows build nor listed in NOT_ON_WINDOWS;" \
             "classify it in scripts/windows-compile-gate.sh)"
        status=1
    fi
done
for f in "${skipped[@]}"; do
    if printf '%s\n' "${compiled[@]}" | grep -qxF -- "$f"; then
        echo "FAIL $f (listed in NOT_ON_WINDOWS, yet the Windows build compiles it)"
        status=1
    fi
done

# The compile command of FLAGS_FROM, minus its output and input.
command=$(grep -B1 -F "\"file\": \"$ROOT/$FLAGS_FROM\"" "$DB" | sed -n 's/^ *"command": "\(.*\)",$/\1/p' | head -n 1)
if [ -z "$command" ]; then
    echo "FAIL no compile command for $FLAGS_FROM in $DB"
    exit 1
fi
command=$(printf '%s' "$command" | sed -e 's/\\"/"/g' -e 's/ -o [^ ]*//' -e 's/ -c [^ ]*$//')
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
for h in "${win_headers[@]}"; do
    stub="$TMP/$(echo "${h%.h}" | tr '/' '_').cpp"
    printf '#include "%s"\n' "$h" > "$stub"
    # shellcheck disable=SC2086
    if out=$(cd "$BUILD_DIR" && eval "$command -fsyntax-only -Werror $stub" 2>&1) && [ -z "$out" ]; then
        echo "OK   $h (on its own)"
    else
        echo "FAIL $h (on its own)"
        printf '%s\n' "$out" | sed 's/^/     /'
        status=1
    fi
done

echo "windows-compile-gate: ${#all_sources[@]} sources, ${#compiled[@]} compiled for Windows," \
     "${#skipped[@]} left out, ${#win_headers[@]} headers alone"
if [ $status -ne 0 ]; then
    echo "windows-compile-gate: FAILED"
else
    echo "windows-compile-gate: all passed"
fi
exit $status
