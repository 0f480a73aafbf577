#!/bin/sh
# Runs check-layers.sh on a small tree with one of each kind of violation and
# checks that it fails and names each one, and lets the allowed ones pass.
set -eu
check="$(cd "$(dirname "$0")" && pwd)/check-layers.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cd "$tree"
mkdir app console camera automation log engine framework res tools
touch app/VelmorApp.h app/Local.h console/Local.h console/Pane.h log/Log.h engine/vmserver.h \
    framework/Window.h res/resource.h automation/dispids.h
printf '#include "console/Pane.h"\n#include "engine/vmserver.h"\n' >log/Log.cpp
printf '#include "VelmorApp.h"\n' >console/Bare.cpp
printf '#include "Local.h"\n#include "Window.h"\n#include "resource.h"\n#include <windows.h>\n' >console/Own.cpp
printf '#include "log/Log.h"\n' >engine/Fill.cpp
printf '#include "console/Pane.h"\n#include "automation/dispids.h"\n' >camera/Camera.cpp
printf 'void f() {\n    // pServerTick() is the tick\n    pServerTick();\n}\n' >console/Tick.cpp
printf 'void g() { edsrvProcess(65535, 0, "x"); }\n' >automation/Server.cpp
printf 'void h() { pInitAll(0); }\n' >engine/Calls.cpp
cat >tools/layer-exceptions <<'LIST'
# allowed
camera/Camera.cpp -> automation/dispids.h
automation/Server.cpp -> engine entry points
console/Gone.cpp -> app/VelmorApp.h
LIST

status=0
sh "$check" . 2>errors || status=$?
fail=0
expect() {
    if ! grep -qF "$1" errors; then
        echo "not reported: $1" >&2
        fail=1
    fi
}
refuse() {
    if grep -qF "$1" errors; then
        echo "wrongly reported: $1" >&2
        fail=1
    fi
}
[ "$status" -eq 1 ] || { echo "check-layers.sh exited $status, not 1" >&2; fail=1; }
expect 'log/Log.cpp: includes "console/Pane.h" (console/Pane.h): console/ is above log/'
expect 'console/Bare.cpp: includes "VelmorApp.h" (app/VelmorApp.h): app/ is above console/'
expect 'engine/Fill.cpp: includes "log/Log.h" (log/Log.h): log/ is beside engine/'
expect 'camera/Camera.cpp: includes "console/Pane.h" (console/Pane.h): console/ is beside camera/'
expect 'console/Tick.cpp:3: calls the engine library'
expect '"console/Gone.cpp -> app/VelmorApp.h" no longer happens'
refuse 'vmserver.h'
refuse 'Own.cpp'
refuse 'dispids.h'
refuse 'Server.cpp'
refuse 'Calls.cpp'
refuse 'Tick.cpp:2'
[ "$(wc -l <errors)" -eq 6 ] || { echo "expected 6 lines, got:" >&2; fail=1; }
[ "$fail" -eq 0 ] || { cat errors >&2; exit 1; }
echo "check-layers.sh reports every violation of the test tree and nothing else."
