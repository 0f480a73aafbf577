#!/bin/sh
# Installs what building and testing the shell need on Debian 12: the mingw-w64
# cross compiler, widl and windres, 32-bit Wine, Xvfb, GoogleTest's sources,
# CMake and Ninja. Packages already present are left alone.
set -eu

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

PACKAGES="cmake ninja-build g++-mingw-w64-i686-posix mingw-w64-tools wine wine32:i386 \
libwine-dev xvfb xauth x11-utils xdotool imagemagick googletest gnuplot-nox"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
