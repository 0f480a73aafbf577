#!/bin/sh
# Builds the shell and runs it on the bundled stand-in engine, from build/dist
# (the shell works in build/dist/System and writes Velmor.log there).
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
echo "Log file: $(pwd)/build/dist/System/Velmor.log" >&2
cd build/dist
exec ../../tools/with-display.sh ../wine-run.sh System/Velmor.exe "$@"
