#pragma once
// Where zrhost looks for the bundle, its module descriptions and the examples when no option
// names them. An installed zrhost finds them relative to its own executable (the install
// layout puts the bundle in ../lib/zr-shapes and the examples in ../share/zr-shapes/examples
// beside bin/), so a prefix can be moved or unpacked anywhere; a zrhost run from the build
// tree falls back to the build tree's paths compiled into it.

#include <filesystem>

#include "host/cli/DemoCommand.h"

namespace zr::cli {

struct DefaultPaths {
    BundleFiles files;
    std::filesystem::path examples; // the folder holding shape-demo.json
};

// [main thread, start-up] Reads /proc/self/exe; never throws. Each of the two places (the
// bundle with its descriptions, the examples) is taken from the install layout when the
// bundle file or the examples folder is there, from the build tree otherwise.
DefaultPaths defaultPaths();

} // namespace zr::cli
