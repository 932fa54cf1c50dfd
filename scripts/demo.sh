#!/usr/bin/env bash
# The main job: builds the bundle and our host, then runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target zr_shapes zrhost
./build/zrhost demo -o out
