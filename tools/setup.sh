#!/bin/sh
# Installs what building and testing the shell need on Debian 12: the 32-bit
# and 64-bit mingw-w64 cross compilers, widl and windres, 32-bit and 64-bit
# Wine with Wine's fonts, Xvfb, GoogleTest's sources, CMake and Ninja;
# Halibut and Python 3 for the help; Node.js and npm for the remote
# console's test clients; Prometheus (prometheus, promtool) for the metrics'
# tests.
# Packages already present are left alone. The 32-bit Wine is installed also
# on a host that cannot run it: the scripts find that out by trying it.
set -eu

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

PACKAGES="cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools \
wine wine32:i386 wine64 fonts-wine \
libwine-dev xvfb xauth x11-utils xdotool imagemagick googletest gnuplot-nox \
halibut python3 prometheus"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# Node.js and npm by command: a host may have them from elsewhere than
# Debian (whose npm package would then conflict); a fresh Debian 12 has neither.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    missing="$missing nodejs npm"
fi
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
# A mirror caught mid-sync fails an update now and then ("File has unexpected
# size"); without the index it failed to fetch, the 32-bit packages may not
# resolve. Such a failure is tried again a few times; if the install still
# fails, it is done once more from the main archive alone (security updates
# left out for this install only), whose two architectures always agree.
retry() {
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -lt 3 ] || return 1
        echo "retrying in $((tries * 30)) s: $*" >&2
        sleep $((tries * 30))
    done
}
install_all() {
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get "$@" install -y -qq --no-install-recommends $missing
}
retry $SUDO apt-get update -qq || echo "apt-get update failed; installing from what was fetched" >&2
if ! install_all; then
    main_only=$(mktemp -d)
    trap 'rm -rf "$main_only"' EXIT
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        # deb822 stanzas are separated by blank lines.
        awk 'BEGIN { RS = ""; ORS = "\n\n" } !/debian-security/' "$f" >"$main_only/$(basename "$f")"
    done
    if [ -e /etc/apt/sources.list ]; then
        grep -v debian-security /etc/apt/sources.list >"$main_only/main.list" || true
    fi
    echo "installing from the main archive alone" >&2
    set -- -o Dir::Etc::SourceParts="$main_only" -o Dir::Etc::SourceList=/dev/null
    retry $SUDO apt-get "$@" update -qq
    install_all "$@"
fi
