# Debian 12 packages, by purpose. Sourced by the scripts in this folder.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake make g++ qtbase5-dev qtbase5-dev-tools)
# The demo on a desktop needs nothing more; without a display it runs under Xvfb.
HEADLESS_PACKAGES=(xvfb xauth)
SCREENSHOT_PACKAGES=(xvfb xauth x11-utils imagemagick)
WINDOWS_GATE_PACKAGES=(git)
# The cross build for Windows and its tests under wine.
WINDOWS_BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64 xz-utils)
# Building the static Qt for Windows from Debian's source (scripts/build-win-qt.sh).
WINDOWS_QT_BUILD_PACKAGES=(make perl python3 dpkg-dev xz-utils g++-mingw-w64-x86-64)
WINDOWS_TEST_PACKAGES=(wine64 wine xvfb xauth)
WINDOWS_PACKAGE_PACKAGES=(unzip x11-utils imagemagick nsis)
# Sanitizer build and libFuzzer targets (scripts/reliability.sh).
RELIABILITY_PACKAGES=(clang libclang-rt-14-dev cmake make qtbase5-dev qtbase5-dev-tools)
# Every build on Linux: the native backend finds devices through libudev.
LINUX_BUILD_PACKAGES=(pkg-config libudev-dev)
# Its tests: umockdev test beds, mkfs.ext4 for a loop mount, a private D-Bus,
# libfuse3 for the drive that fails on command.
LINUX_TEST_PACKAGES=(umockdev libumockdev-dev e2fsprogs dbus-daemon fuse3 libfuse3-dev)
# Building the .deb (dpkg-shlibdeps works out its dependencies).
DEB_PACKAGES=(dpkg-dev file)
