#pragma once
// `zrhost demo`: the main job with no arguments.

#include <filesystem>

namespace zr::cli {

struct BundleFiles {
    std::filesystem::path bundle;
    std::filesystem::path descriptions;
};

// Shapes a test signal through the waveshaper, prints input and output levels, and writes
// the signals as CSV into `outputDirectory`. Returns the process exit code.
int runDemo(BundleFiles const& files, std::filesystem::path const& outputDirectory);

} // namespace zr::cli
