#!/bin/sh
# Configures and builds everything into build/ (the runnable tree is build/dist).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C build
