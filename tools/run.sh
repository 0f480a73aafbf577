#!/bin/sh
# Builds the shell and runs it on the bundled stand-in engine, from the
# runnable tree (the shell works in its System folder and writes Velmor.log
# there): the Win32 shell where this host runs 32-bit programs, else the
# Win64 one. VELMOR_ARCHS=win64 picks the Win64 shell on any host.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh
. tools/archs.sh
arch=$(arch_first_runnable)
if [ -z "$arch" ]; then
    echo "This host can run neither build (VELMOR_ARCHS: $VELMOR_ARCHS)." >&2
    exit 1
fi
if [ "$arch" = win64 ] && ! arch_runs win32 && [ "$VELMOR_ARCHS" != win64 ]; then
    echo "This host cannot run 32-bit programs: running the Win64 shell." >&2
else
    echo "Running the $(arch_name "$arch") shell." >&2
fi
VELMOR_ARCHS=$arch tools/build.sh
dir=$(arch_dir "$arch")
echo "Log file: $(pwd)/$dir/dist/System/Velmor.log" >&2
cd "$dir/dist"
exec ../../tools/with-display.sh ../wine-run.sh System/Velmor.exe "$@"
