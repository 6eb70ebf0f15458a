#!/usr/bin/env bash
# Packs tarnholm.exe, app.ico and the operator's note into
# build-windows/tarnholm-<version>-win64.zip, checks that the exe imports only
# system DLLs, and starts the packaged exe under wine on a virtual display:
# its window must show up with its title, and close again when asked.
#
#   bash scripts/windows-build.sh && bash scripts/windows-package.sh
#
# Environment: BUILD_DIR (default build-windows/); SCREENSHOT=<file.png> also
# saves a picture of the window.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build-windows}
TITLE="Ostrel Quorvia Camera Update Tool"

if [ -z "${WINDOWS_PACKAGE_IN_XVFB:-}" ]; then
    source "$ROOT/scripts/packages.sh"
    bash "$ROOT/scripts/ensure-packages.sh" "${WINDOWS_BUILD_PACKAGES[@]}" \
        "${WINDOWS_TEST_PACKAGES[@]}" "${WINDOWS_PACKAGE_PACKAGES[@]}"
    cmake --build "$BUILD_DIR" --target tarnholm
    rm -f "$BUILD_DIR"/tarnholm-*-win64.zip
    (cd "$BUILD_DIR" && cpack -G ZIP >/dev/null)
    export WINDOWS_PACKAGE_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" "$@"
fi

zip=$(ls "$BUILD_DIR"/tarnholm-*-win64.zip)
echo "windows-package: $zip"
unzip -l "$zip" | sed -n '4,$p' | grep -v -- '---' | sed 's/^/    /'

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnholm-package.XXXXXX")
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
cleanup() { wineserver -k >/dev/null 2>&1; rm -rf "$WORK"; }
trap cleanup EXIT
unzip -q "$zip" -d "$WORK"
dir=$(find "$WORK" -mindepth 1 -maxdepth 1 -type d -name 'tarnholm-*')
for f in tarnholm.exe app.ico README.txt; do
    [ -f "$dir/$f" ] || { echo "windows-package: $f missing from the package" >&2; exit 1; }
done

# Only DLLs every Windows has: no C++ runtime, no Qt.
imports=$(x86_64-w64-mingw32-objdump -p "$dir/tarnholm.exe" | sed -n 's/^\tDLL Name: //p')
echo "windows-package: tarnholm.exe imports $(echo $imports)"
foreign=$(echo "$imports" | grep -viE '^(advapi32|dwmapi|gdi32|imm32|kernel32|msvcrt|netapi32|ole32|oleaut32|shell32|user32|userenv|uxtheme|version|winmm|ws2_32|wtsapi32|comdlg32|setupapi|shlwapi|winspool\.drv|crypt32|mpr|rpcrt4|dwrite|d2d1|d3d9|d3d11|dxgi|opengl32)(\.dll)?$' || true)
if [ -n "$foreign" ]; then
    echo "windows-package: tarnholm.exe needs DLLs a plain Windows lacks: $foreign" >&2
    exit 1
fi

"$WINE" wineboot -i >/dev/null 2>&1
wineserver -w
# Started from its own folder, as a double-click does.
(cd "$dir" && exec "$WINE" tarnholm.exe) >/dev/null 2>&1 &
exe_pid=$!
shown=""
for _ in $(seq 1 120); do
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$TITLE\""; then shown=1; break; fi
    kill -0 "$exe_pid" 2>/dev/null || break
    sleep 0.5
done
if [ -z "$shown" ]; then
    echo "windows-package: no window titled \"$TITLE\" appeared" >&2
    exit 1
fi
echo "windows-package: the packaged exe shows \"$TITLE\""
if [ -n "${SCREENSHOT:-}" ]; then
    sleep 2   # let it paint
    id=$(xwininfo -root -tree | grep -F "\"$TITLE\"" | head -n 1 | awk '{print $1}')
    import -window "$id" "$SCREENSHOT"
    echo "windows-package: saved $SCREENSHOT"
fi
# taskkill without /f asks politely: WM_CLOSE to the program's windows.
"$WINE" taskkill /im tarnholm.exe >/dev/null 2>&1
for _ in $(seq 1 60); do kill -0 "$exe_pid" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$exe_pid" 2>/dev/null; then
    echo "windows-package: tarnholm.exe did not close" >&2
    exit 1
fi
wait "$exe_pid" && code=0 || code=$?
echo "windows-package: tarnholm.exe closed (exit code $code)"
[ "$code" -eq 0 ]
