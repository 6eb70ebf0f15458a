#!/usr/bin/env bash
# Makes the two Windows packages in build-windows/:
#   tarnholm-<version>-win64.zip        tarnholm.exe, app.ico, README.txt
#   tarnholm-<version>-win64-setup.exe  the same, installed for all users
# checks that the exe imports only system DLLs, runs the setup program's test
# under wine (tests/win/setup/, against an older setup made for the upgrade),
# then installs the setup silently in a fresh wine prefix, starts the program
# from its Start-menu shortcut on a virtual display (its window must show up
# with its title and close again when asked) and uninstalls it.
#
#   bash scripts/windows-build.sh && bash scripts/windows-package.sh
#
# Environment: BUILD_DIR (default build-windows/); SCREENSHOT=<file.png> also
# saves a picture of the window started from the shortcut.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build-windows}
TITLE="Ostrel Quorvia Camera Update Tool"

if ! in_xvfb; then
    need_packages "${WINDOWS_BUILD_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}" "${WINDOWS_PACKAGE_PACKAGES[@]}"
    cmake --build "$BUILD_DIR" --target tarnholm tst_win_setup
    rm -rf "$BUILD_DIR"/tarnholm-*-win64.zip "$BUILD_DIR"/tarnholm-*-win64-setup.exe "$BUILD_DIR/setup-older"
    (cd "$BUILD_DIR" && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null)
    # The same program under version 0.0.0, for the upgrade test (packed fast, not small).
    (cd "$BUILD_DIR" && cpack -G NSIS -B "$BUILD_DIR/setup-older" -D CPACK_NSIS_COMPRESSOR=zlib \
        -D CPACK_PACKAGE_VERSION=0.0.0 \
        -D CPACK_PACKAGE_VERSION_MAJOR=0 -D CPACK_PACKAGE_VERSION_MINOR=0 \
        -D CPACK_PACKAGE_VERSION_PATCH=0 -D CPACK_PACKAGE_FILE_NAME=tarnholm-0.0.0-win64 >/dev/null)
    rm -rf "$BUILD_DIR/setup-older/_CPack_Packages"
    ls "$BUILD_DIR"/tarnholm-*-win64-setup.exe "$BUILD_DIR"/setup-older/tarnholm-0.0.0-win64-setup.exe >/dev/null
    rerun_under_xvfb 1024x768x24 "${BASH_SOURCE[0]}" "$@"
    exit
fi

zip=$(ls "$BUILD_DIR"/tarnholm-*-win64.zip)
echo "windows-package: $zip"
unzip -l "$zip" | sed -n '4,$p' | grep -v -- '---' | sed 's/^/    /'

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnholm-package.XXXXXX")
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
system_dlls='advapi32|dwmapi|gdi32|imm32|kernel32|msvcrt|netapi32|ole32|oleaut32|shell32|user32|userenv|uxtheme'
system_dlls+='|version|winmm|ws2_32|wtsapi32|comdlg32|setupapi|cfgmgr32|shlwapi|winspool\.drv|crypt32|mpr|rpcrt4'
system_dlls+='|dwrite|d2d1|d3d9|d3d11|dxgi|opengl32'
foreign=$(echo "$imports" | grep -viE "^($system_dlls)(\.dll)?\$" || true)
if [ -n "$foreign" ]; then
    echo "windows-package: tarnholm.exe needs DLLs a plain Windows lacks: $foreign" >&2
    exit 1
fi

echo "windows-package: $(ls "$BUILD_DIR"/tarnholm-*-win64-setup.exe)"
# The setup's own test, in a wine prefix of its own (it prints its totals).
bash "$ROOT/scripts/windows-test.sh" setup

new_wine_prefix "$WORK/prefix"
setup=$(ls "$BUILD_DIR"/tarnholm-*-win64-setup.exe)
(cd "$(dirname "$setup")" && "$WINE" "$(basename "$setup")" /S) >/dev/null 2>&1
installed="$WINEPREFIX/drive_c/Program Files/Tarnholm"
link="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$TITLE.lnk"
for f in "$installed/tarnholm.exe" "$link"; do
    [ -f "$f" ] || { echo "windows-package: the setup left no ${f#"$WINEPREFIX"/}" >&2; exit 1; }
done
# Started from the shortcut, as the Start menu does, on a wine desktop of its
# own, so that the window has a frame with its title and icon.
"$WINE" explorer /desktop=Tarnholm,640x464 start \
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\$TITLE.lnk" >/dev/null 2>&1 &
wait_for_window "$TITLE" 60 >/dev/null
echo "windows-package: the installed program, started from its shortcut, shows \"$TITLE\""
if [ -n "${SCREENSHOT:-}" ]; then
    sleep 2   # let it paint
    id=$(window_id "Tarnholm - Wine desktop")
    import -window "$id" "$SCREENSHOT"
    echo "windows-package: saved $SCREENSHOT"
fi
# taskkill without /f asks politely: WM_CLOSE to the program's windows. It
# sees only the windows of its own desktop, so it runs on the program's.
"$WINE" explorer /desktop=Tarnholm taskkill /im tarnholm.exe >/dev/null 2>&1
for _ in $(seq 1 60); do
    [ -n "$(window_id "$TITLE")" ] || break
    sleep 0.5
done
if [ -n "$(window_id "$TITLE")" ]; then
    echo "windows-package: tarnholm.exe did not close" >&2
    exit 1
fi
"$WINE" "C:\\Program Files\\Tarnholm\\Uninstall.exe" /S >/dev/null 2>&1
for _ in $(seq 1 60); do [ -e "$installed" ] || [ -e "$link" ] || break; sleep 0.5; done
if [ -e "$installed" ] || [ -e "$link" ]; then
    echo "windows-package: the uninstaller left the program or its shortcut behind" >&2
    exit 1
fi
echo "windows-package: installed, started from the shortcut, closed and uninstalled"
