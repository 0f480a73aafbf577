#!/bin/sh
# Runs the benchmark suite: builds everything, runs the bench driver under Wine
# (and a private Xvfb when there is no display), prints the table of figures
# and draws the tick intervals with gnuplot.
#
#   tools/bench.sh [driver options]     e.g. --seconds 20 --only tick,startup
#
# It benchmarks one build, with floors built for the same architecture: the
# Win32 build (build/) where this host runs 32-bit programs, else the Win64
# one (build64/). VELMOR_ARCHS=win64 (or win32) picks one; VELMOR_BUILD names
# a build directory of either kind instead. Results: <build>/bench/results.csv
# and <build>/bench/tick-intervals.png. The driver's options are listed in
# bench/driver/Options.h. VELMOR_BENCH_NO_BUILD=1 runs what is built. The
# figures are only as quiet as the machine: the load is printed before and
# after.
set -eu
cd "$(dirname "$0")/.."
[ -n "${VELMOR_BENCH_NO_BUILD:-}" ] || tools/setup.sh
. tools/archs.sh
if [ -n "${VELMOR_BUILD:-}" ]; then
    build=$VELMOR_BUILD
    arch=win32
    grep -q 'WINEARCH="win64"' "$build/wine-run.sh" 2>/dev/null && arch=win64
else
    arch=$(arch_first_runnable)
    if [ -z "$arch" ]; then
        echo "This host can run neither build (VELMOR_ARCHS: $VELMOR_ARCHS)." >&2
        exit 1
    fi
    build=$(arch_dir "$arch")
fi
echo "Benchmarking the $(arch_name "$arch") build in $build/" >&2
if [ -z "${VELMOR_BENCH_NO_BUILD:-}" ]; then
    if [ -z "${VELMOR_BUILD:-}" ]; then
        VELMOR_ARCHS=$arch tools/build.sh
    else
        ninja -C "$build"
    fi
    # Not part of the default build: the driver and the floors it runs.
    ninja -C "$build" bench_driver
fi

# A fresh wineserver for the build's prefix: a shell ended by force (by a test
# or an earlier run) leaves its class registered with OLE, and a client would
# be sent to the dead process.
WINEPREFIX="$(cd "$build" && pwd)/wineprefix" "$(arch_wineserver "$arch")" -k 2>/dev/null || true
rm -f "$build"/bench/results.csv "$build"/bench/tick-*.dat "$build"/bench/tick-intervals.gp \
    "$build"/bench/tick-intervals.png
echo "Load before: $(cat /proc/loadavg) on $(nproc) cores"
status=0
tools/with-display.sh "$build/wine-run.sh" "$build/bench/driver.exe" "$@" || status=$?
echo "Load after: $(cat /proc/loadavg)"

if [ -f "$build/bench/tick-intervals.gp" ]; then
    (cd "$build/bench" && gnuplot tick-intervals.gp) && echo "Plot: $build/bench/tick-intervals.png"
fi
[ -f "$build/bench/results.csv" ] && echo "Table: $build/bench/results.csv"
exit $status
