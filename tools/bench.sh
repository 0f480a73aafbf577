#!/bin/sh
# Runs the benchmark suite: builds everything, runs the bench driver under Wine
# (and a private Xvfb when there is no display), prints the table of figures
# and draws the tick intervals with gnuplot.
#
#   tools/bench.sh [driver options]     e.g. --seconds 20 --only tick,startup
#
# Results: build/bench/results.csv and build/bench/tick-intervals.png. The
# driver's options are listed in bench/driver/Options.h. VELMOR_BUILD names
# another build directory (default build); VELMOR_BENCH_NO_BUILD=1 runs what
# is built. The figures are only as quiet as the machine: the load is printed
# before and after.
set -eu
cd "$(dirname "$0")/.."
build="${VELMOR_BUILD:-build}"
if [ -z "${VELMOR_BENCH_NO_BUILD:-}" ]; then
    tools/setup.sh
    if [ "$build" = build ]; then
        tools/build.sh
    else
        ninja -C "$build"
    fi
fi

# A fresh wineserver for the build's prefix: a shell ended by force (by a test
# or an earlier run) leaves its class registered with OLE, and a client would
# be sent to the dead process.
WINEPREFIX="$(cd "$build" && pwd)/wineprefix" wineserver -k 2>/dev/null || true
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
