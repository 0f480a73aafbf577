#!/bin/sh
# The check before a release: README's two commands on a really fresh Debian
# 12. Makes a minimal Debian 12 root with debootstrap in a temporary folder,
# clones this repository's HEAD into it and runs, inside it, exactly as README
# gives them: tools/run.sh until its console window is up (then File, Exit,
# and the log must show the engine started), then tools/test.sh. Reports each
# command's result and time.
#
#   sudo tools/fresh-host-check.sh [FOLDER]
#
# FOLDER (default /var/tmp) holds the root, about 5 GiB, while it runs. Needs
# root and Debian's archive (VELMOR_DEBIAN_MIRROR, default
# http://deb.debian.org/debian). From the host only two things go in: its CA
# bundle and npm's global settings (/etc/npmrc), for hosts that reach the
# registries through a proxy of their own; the script says when it does.
# Not part of tools/test.sh or CI: it takes the better part of an hour.
set -eu
cd "$(dirname "$0")/.."
repo=$(pwd)
[ "$(id -u)" -eq 0 ] || {
    echo "fresh-host-check: run it as root (debootstrap, chroot and mounts need it)" >&2
    exit 2
}
mirror=${VELMOR_DEBIAN_MIRROR:-http://deb.debian.org/debian}
if ! command -v debootstrap >/dev/null 2>&1; then
    echo "Installing debootstrap" >&2
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

base=$(mktemp -d "${1:-/var/tmp}/velmor-fresh.XXXXXX")
root="$base/root"
report="$base/report"
: >"$report"
say() { echo "$*" | tee -a "$report" >&2; }

# Ends everything that runs inside the root, unmounts, and only then removes
# it: a removal through a bind mount of /dev would destroy the host's.
mounted() { awk -v r="$root" 'index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r; }
in_root_pids() {
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && echo "${p#/proc/}"
    done
    return 0
}
cleanup() {
    set +e
    if [ -d "$root/work/velmor" ]; then
        for server in wineserver32 wineserver64; do
            for prefix in build/wineprefix build64/wineprefix; do
                [ -x "$root/usr/lib/wine/$server" ] && [ -d "$root/work/velmor/$prefix" ] &&
                    chroot "$root" env WINEPREFIX="/work/velmor/$prefix" "/usr/lib/wine/$server" -k 2>/dev/null
            done
        done
    fi
    for signal in TERM KILL; do
        pids=$(in_root_pids)
        [ -n "$pids" ] && kill -s "$signal" $pids 2>/dev/null
        sleep 1
    done
    for m in $(mounted); do umount "$m" 2>/dev/null || umount -l "$m"; done
    if [ -n "$(mounted)" ]; then
        echo "fresh-host-check: still mounted under $root, so it is left in place:" >&2
        mounted >&2
        return
    fi
    cp "$report" "/var/tmp/velmor-fresh-report.txt" 2>/dev/null
    rm -rf "$base"
    echo "Report kept in /var/tmp/velmor-fresh-report.txt; the root is removed." >&2
}
trap cleanup EXIT
trap 'exit 130' INT TERM

clock() { date +%s; }
minutes() { echo "$(($1 / 60)) min $(($1 % 60)) s"; }

say "Fresh Debian 12 root in $root (mirror $mirror)"
start=$(clock)
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$base/debootstrap.log" 2>&1 || {
    say "debootstrap failed; see the end of its log:"
    tail -20 "$base/debootstrap.log" >&2
    exit 1
}
say "debootstrap: $(minutes $(($(clock) - start)))"

mount -t proc proc "$root/proc"
mount --bind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount --bind /dev/shm "$root/dev/shm"
[ -s "$root/etc/resolv.conf" ] || cp /etc/resolv.conf "$root/etc/resolv.conf"
if [ -f /etc/ssl/certs/ca-certificates.crt ]; then
    # Also as a local authority: installing Debian's ca-certificates makes the
    # bundle anew from the authorities it knows, local ones among them.
    mkdir -p "$root/etc/ssl/certs" "$root/usr/local/share/ca-certificates"
    cp /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/certs/ca-certificates.crt"
    cp /etc/ssl/certs/ca-certificates.crt "$root/usr/local/share/ca-certificates/host-bundle.crt"
    say "Carried in: the host's CA bundle (/etc/ssl/certs/ca-certificates.crt, also as a local authority)"
fi
if [ -f /etc/npmrc ]; then
    cp /etc/npmrc "$root/etc/npmrc"
    say "Carried in: npm's global settings (/etc/npmrc)"
fi

mkdir -p "$root/work"
git clone -q "$repo" "$root/work/velmor"
say "Cloned $(git -C "$repo" rev-parse --short HEAD) into /work/velmor"

# A command inside the root, from the clone, with a fresh login's environment.
inside() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/sh -c "cd /work/velmor && $1"
}

# tools/run.sh: up when its console window shows on the Xvfb that run.sh
# started inside the root. Then File, Exit, as a user would: the log file is
# complete once the shell has closed it, and must show the engine started.
start=$(clock)
inside "tools/run.sh" >"$base/run.log" 2>&1 &
run=$!
display=""
while kill -0 "$run" 2>/dev/null && [ $(($(clock) - start)) -lt 3600 ]; do
    for socket in "$root"/tmp/.X11-unix/X*; do
        [ -e "$socket" ] || continue
        if inside "DISPLAY=:${socket##*X} xdotool search --name '^Velmor Console\$'" >/dev/null 2>&1; then
            display=":${socket##*X}"
            break 2
        fi
    done
    sleep 5
done
up=$(($(clock) - start))
run_ok=0
if [ -z "$display" ]; then
    say "tools/run.sh: no console window within $(minutes $up)"
    tail -20 "$base/run.log" >&2
else
    inside "DISPLAY=$display xdotool key alt+f x" || true
    waited=0
    while kill -0 "$run" 2>/dev/null && [ "$waited" -lt 60 ]; do
        sleep 1
        waited=$((waited + 1))
    done
    log=$(ls "$root"/work/velmor/build*/dist/System/Velmor.log 2>/dev/null | head -1)
    if [ -n "$log" ] && grep -q '^INIT: ' "$log" && grep -q '^INFO: Log file closed' "$log"; then
        run_ok=1
        say "tools/run.sh: the console was up after $(minutes $up); File, Exit closed it, and the log shows the engine started:"
        grep '^INIT: ' "$log" | head -1 | tee -a "$report" >&2
    else
        say "tools/run.sh: the console was up after $(minutes $up), but the log does not show the engine started and closed"
    fi
fi
for pid in $(in_root_pids); do
    case "$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" in
    *Velmor.exe*) kill "$pid" 2>/dev/null ;;
    esac
done
wait "$run" 2>/dev/null || true

start=$(clock)
test_status=0
inside "tools/test.sh" >"$base/test.log" 2>&1 || test_status=$?
say "tools/test.sh: exit status $test_status, after $(minutes $(($(clock) - start)))"
grep -E '^(Passed|Failed|Skipped|The Win(32|64) tests took)|tests passed|tests failed' "$base/test.log" | tee -a "$report" >&2 || true
[ "$test_status" -eq 0 ] || tail -40 "$base/test.log" >&2

[ "$run_ok" -eq 1 ] && [ "$test_status" -eq 0 ]
