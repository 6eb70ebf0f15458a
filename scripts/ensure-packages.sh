#!/usr/bin/env bash
# Installs the Debian packages given as arguments that are not installed yet.
#   bash scripts/ensure-packages.sh PACKAGE...
# The other scripts run it through need_packages (scripts/lib.sh). Needs root,
# or sudo when not root.
set -euo pipefail

missing=()
for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        as_root=(sudo)
    else
        echo "ensure-packages: missing ${missing[*]}; run as root or install sudo" >&2
        exit 1
    fi
fi
echo "ensure-packages: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another install may hold the package lock for a while; wait for it.
lock=(-o DPkg::Lock::Timeout=900)
"${as_root[@]}" apt-get "${lock[@]}" update
"${as_root[@]}" apt-get "${lock[@]}" install -y --no-install-recommends "${missing[@]}"
