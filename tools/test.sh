#!/bin/sh
# Builds both trees and runs the test suite under Wine (and Xvfb when there
# is no display) once for each architecture this host can run, each in its
# build's own Wine prefix. VELMOR_ARCHS=win64 (or win32) runs one suite only.
# Exits non-zero when a suite that ran failed, or when none could run.
set -eu
cd "$(dirname "$0")/.."
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
    status=0
    tools/with-display.sh ctest --test-dir "$dir" --output-on-failure || status=$?
    arch_wineserver_kill "$arch"
    echo "The $name tests took $(($(date +%s) - start)) s." >&2
    ran="$ran $name"
    [ "$status" -eq 0 ] || failed="$failed $name"
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
