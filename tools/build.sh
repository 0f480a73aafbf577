#!/bin/sh
# Configures and builds the Win32 tree build/ and the Win64 tree build64/ (the
# runnable trees are build/dist and build64/dist). VELMOR_ARCHS=win32 or
# win64 builds one of them only. Both trees are built side by side; each
# one's output goes to its build.log, which is shown when its build fails.
set -eu
cd "$(dirname "$0")/.."
. tools/archs.sh

for arch in $VELMOR_ARCHS; do
    dir=$(arch_dir "$arch")
    [ -f "$dir/build.ninja" ] && continue
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$(pwd)/$(arch_toolchain "$arch")" >/dev/null
done

pids=""
for arch in $VELMOR_ARCHS; do
    dir=$(arch_dir "$arch")
    echo "Building $(arch_name "$arch") in $dir/" >&2
    ninja -C "$dir" >"$dir/build.log" 2>&1 &
    pids="$pids $!:$arch"
done
status=0
for entry in $pids; do
    arch=${entry#*:}
    dir=$(arch_dir "$arch")
    if wait "${entry%%:*}"; then
        echo "$(arch_name "$arch") built: $dir/dist" >&2
    else
        status=1
        tail -n 60 "$dir/build.log" >&2
        echo "The $(arch_name "$arch") build failed: the whole output is in $dir/build.log" >&2
    fi
done
exit $status
