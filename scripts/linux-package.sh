#!/usr/bin/env bash
# Builds the Debian package of tarnholm and tarnholm-demo (prefix /usr),
# installs it with apt-get and checks that the installed files are in place.
#   bash scripts/linux-package.sh
# The package goes to PACKAGE_BUILD_DIR (default: build-package/).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib.sh"
need_packages "${BUILD_PACKAGES[@]}" "${LINUX_BUILD_PACKAGES[@]}" "${DEB_PACKAGES[@]}"

BUILD_DIR=${PACKAGE_BUILD_DIR:-$ROOT/build-package}
configure_and_build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -- tarnholm tarnholm-demo
(cd "$BUILD_DIR" && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/tarnholm_*.deb)
echo "== $deb"
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Depends|Suggests):'

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
# apt-get pulls in the declared dependencies; waits for another install's lock.
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=900 \
    install -y --no-install-recommends "$deb"
for f in /usr/bin/tarnholm /usr/bin/tarnholm-demo /usr/share/tarnholm/app.ico \
         /usr/share/applications/tarnholm.desktop; do
    [ -e "$f" ] || { echo "linux-package: $f is missing after the install" >&2; exit 1; }
done
grep -qx 'Path=/usr/share/tarnholm' /usr/share/applications/tarnholm.desktop
# Every library the installed program needs is present.
if ldd /usr/bin/tarnholm | grep -q 'not found'; then
    ldd /usr/bin/tarnholm | grep 'not found' >&2
    exit 1
fi
echo "linux-package: installed $(dpkg-query -W -f='${Package} ${Version}' tarnholm)"
