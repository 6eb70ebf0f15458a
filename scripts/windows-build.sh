#!/usr/bin/env bash
# Cross-builds every target for 64-bit Windows into build-windows/, with
# mingw-w64 and the static Qt 5 for Windows.
#
#   bash scripts/windows-build.sh
#
# Environment:
#   TARNHOLM_WIN_QT  an unpacked Qt for Windows (a folder) or its .tar.xz; an
#                    archive is unpacked once into the cache folder, keyed by
#                    its checksum. Without it the script builds the static Qt
#                    itself, once, into the cache folder (scripts/build-win-qt.sh,
#                    about 35 minutes on 2 cores).
#   BUILD_DIR        default build-windows/ in the repository
#   JOBS             parallel compile jobs (default: the number of cores)
#   WERROR=0         lets warnings pass (by default they are errors)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
need_packages "${WINDOWS_BUILD_PACKAGES[@]}"

BUILD_DIR=${BUILD_DIR:-$ROOT/build-windows}
CACHE_ROOT=${XDG_CACHE_HOME:-$HOME/.cache}/tarnholm
QT_SOURCE=${TARNHOLM_WIN_QT:-}
if [ -z "$QT_SOURCE" ]; then
    QT_SOURCE=$CACHE_ROOT/qt-win64-built/qt5-mingw64
    if [ ! -f "$CACHE_ROOT/qt-win64-built/.built" ]; then
        echo "windows-build: no Qt for Windows given (TARNHOLM_WIN_QT); building it into $QT_SOURCE"
        rm -rf "$CACHE_ROOT/qt-win64-built"
        bash "$ROOT/scripts/build-win-qt.sh" "$QT_SOURCE"
        touch "$CACHE_ROOT/qt-win64-built/.built"
    fi
fi

if [ -d "$QT_SOURCE" ]; then
    QT_DIR=$(cd "$QT_SOURCE" && pwd)
elif [ -f "$QT_SOURCE" ]; then
    sum=$(sha256sum "$QT_SOURCE" | cut -c1-16)
    CACHE=$CACHE_ROOT/qt-win64-$sum
    if [ ! -f "$CACHE/.unpacked" ]; then
        echo "windows-build: unpacking $QT_SOURCE into $CACHE"
        rm -rf "$CACHE"
        mkdir -p "$CACHE"
        tar -xJf "$QT_SOURCE" -C "$CACHE"
        touch "$CACHE/.unpacked"
    fi
    # The archive holds one top folder.
    QT_DIR=$(find "$CACHE" -mindepth 1 -maxdepth 1 -type d | head -n 1)
else
    echo "windows-build: no Qt for Windows at '$QT_SOURCE' (set TARNHOLM_WIN_QT)" >&2
    exit 2
fi
if [ ! -f "$QT_DIR/lib/cmake/Qt5/Qt5Config.cmake" ]; then
    echo "windows-build: $QT_DIR holds no Qt 5 CMake package" >&2
    exit 2
fi

echo "windows-build: Qt $QT_DIR"
configure_and_build "$BUILD_DIR" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_PREFIX_PATH="$QT_DIR" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DCMAKE_CXX_FLAGS="$([ "${WERROR:-1}" = 0 ] || echo -Werror)"
