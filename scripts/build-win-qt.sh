#!/usr/bin/env bash
# Builds the static Qt 5 for 64-bit Windows that scripts/windows-build.sh needs
# when it is given none: Debian 12's own qtbase source package, compiled with
# mingw-w64's posix-thread compilers. About 35 minutes on 2 cores; done once.
#
#   bash scripts/build-win-qt.sh PREFIX
#
# PREFIX receives the Qt installation (bin/, lib/cmake/Qt5, plugins/); the
# folder is relocatable. Needs root or sudo for apt-get.
set -euo pipefail

PREFIX=${1:?usage: build-win-qt.sh PREFIX}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
need_packages "${WINDOWS_QT_BUILD_PACKAGES[@]}"

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
# The source package comes from the same archive as the binary ones.
if ! grep -rqs '^\(Types: \)\?deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            | "${as_root[@]}" tee /etc/apt/sources.list.d/tarnholm-src.sources >/dev/null
    else
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
            | "${as_root[@]}" tee /etc/apt/sources.list.d/tarnholm-src.list >/dev/null
    fi
    "${as_root[@]}" apt-get update
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
apt-get source --download-only qtbase-opensource-src
mkdir src
tar -xf qtbase-opensource-src_*.orig.tar.xz -C src --strip-components=1

# Qt's mkspec calls x86_64-w64-mingw32-g++: point that name at the posix-thread
# compilers, whose runtime has std::thread.
mkdir bin
for tool in gcc g++ c++ cpp; do
    ln -s "/usr/bin/x86_64-w64-mingw32-$tool-posix" "bin/x86_64-w64-mingw32-$tool"
done
export PATH=$WORK/bin:$PATH

# Debian's source drops the Wacom tablet header: build the Windows platform
# plugin without tablet support.
win=src/src/plugins/platforms/windows
sed -i 's/#if QT_CONFIG(tabletevent)/#if 0/' "$win/qwindowscontext.cpp"
sed -i 's/^qtConfig(tabletevent) {/false {/' "$win/windows.pri"

cd src
./configure -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
    -prefix "$PREFIX" -static -static-runtime -release -opensource -confirm-license \
    -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-openssl \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
    -no-sql-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql \
    -no-feature-printer -no-feature-bearermanagement -no-feature-dnslookup \
    -no-feature-networkdiskcache
make -j"$JOBS"
make install
