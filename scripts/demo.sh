#!/usr/bin/env bash
# The main job: builds the bundle and our host, then runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target zr_shapes zrhost
./build/zrhost demo -o out
# The shape editor as a host shows it (the README's picture is this command with -o docs/shape-editor.png).
./build/zrhost draw --editor ZR_ShapeEditor5cc --shape "(-5,-4)(-3,2.5)(-0.5,-1)(2,3.5)(5,-2)" --mode 30 \
  --width 480 --height 240 --pin ActiveNode=3 --pin NodeSize=9 -o out/shape-editor.png
# A shape file from examples/ in the other forms a user meets, and as the editor shows it.
./build/zrhost shape convert examples/shapes/soft-saturation.shp out/soft-saturation.blob
./build/zrhost shape convert out/soft-saturation.blob out/soft-saturation.txt
./build/zrhost draw --shape-file examples/shapes/soft-saturation.shp -o out/soft-saturation.png
