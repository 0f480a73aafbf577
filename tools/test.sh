#!/bin/sh
# Builds both trees and runs the test suite under Wine (and Xvfb when there
# is no display) once for each architecture this host can run, each in its
# build's own Wine prefix. VELMOR_ARCHS=win64 (or win32) runs one suite only.
# Exits non-zero when a suite that ran failed, or when none could run.
#
#   tools/test.sh --repeat N    runs each suite N times in a row, every run
#                               whole, and names the tests that failed in each
#
# --repeat may stand anywhere; every other argument goes to ctest (for example
# -L fast, -R console). A filter that matches no test is an error, not a pass.
set -eu
cd "$(dirname "$0")/.."
usage() {
    echo "usage: tools/test.sh [--repeat N] [ctest arguments]" >&2
    exit 2
}
repeat=1
count=$#
while [ "$count" -gt 0 ]; do
    arg=$1
    shift
    count=$((count - 1))
    if [ "$arg" = --repeat ]; then
        [ "$count" -gt 0 ] || usage
        repeat=$1
        shift
        count=$((count - 1))
        case "$repeat" in
        '' | *[!0-9]* | 0) usage ;;
        esac
    else
        set -- "$@" "$arg"
    fi
done
tools/setup.sh
tools/npm-clients.sh
tools/build.sh
. tools/archs.sh

ran=""
skipped=""
failed=""
for arch in win32 win64; do
    case " $VELMOR_ARCHS " in
    *" $arch "*) ;;
    *) echo "VELMOR_ARCHS=$VELMOR_ARCHS: the $(arch_name "$arch") tests are left out." >&2 ;;
    esac
done
for arch in $VELMOR_ARCHS; do
    name=$(arch_name "$arch")
    if ! arch_runs "$arch"; then
        echo "This host cannot run $(arch_bits "$arch")-bit programs: the $name tests are skipped." >&2
        skipped="$skipped $name"
        continue
    fi
    dir=$(arch_dir "$arch")
    echo "Running the $name tests ($dir/)" >&2
    start=$(date +%s)
    bad=0
    run=1
    while [ "$run" -le "$repeat" ]; do
        status=0
        tools/with-display.sh ctest --test-dir "$dir" --output-on-failure --no-tests=error "$@" || status=$?
        arch_wineserver_kill "$arch"
        if [ "$repeat" -gt 1 ]; then
            if [ "$status" -eq 0 ]; then
                echo "$name run $run of $repeat: passed." >&2
            else
                # ctest keeps the names of the tests that failed in its last run.
                echo "$name run $run of $repeat: failed:" \
                    "$(cut -d: -f2 "$dir/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | tr '\n' ' ')" >&2
            fi
        fi
        [ "$status" -eq 0 ] || bad=$((bad + 1))
        run=$((run + 1))
    done
    echo "The $name tests took $(($(date +%s) - start)) s." >&2
    [ "$repeat" -eq 1 ] || echo "$name: $bad of $repeat runs failed." >&2
    ran="$ran $name"
    [ "$bad" -eq 0 ] || failed="$failed $name"
done

[ -z "$skipped" ] || echo "Skipped:$skipped (this host cannot run them)." >&2
if [ -z "$ran" ]; then
    echo "No test suite could run on this host (VELMOR_ARCHS: $VELMOR_ARCHS)." >&2
    exit 1
fi
if [ -n "$failed" ]; then
    echo "Failed:$failed. Ran:$ran." >&2
    exit 1
fi
echo "Passed:$ran." >&2
