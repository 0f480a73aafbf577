#!/bin/sh
# Builds everything and runs the tests under Wine (and Xvfb when there is no
# display), in the build's own Wine prefix.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
status=0
tools/with-display.sh ctest --test-dir build --output-on-failure || status=$?
WINEPREFIX="$(pwd)/build/wineprefix" wineserver -k 2>/dev/null || true
exit $status
