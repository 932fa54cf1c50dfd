#pragma once
// `zrhost demo`: the main job with no arguments.

#include <filesystem>

namespace zr::cli {

struct BundleFiles {
    std::filesystem::path bundle;
    std::filesystem::path descriptions;
};

// Plays an arpeggio through a patch of the bundle's modules (an oscillator playing a shape,
// through a waveshaper, under an envelope), writes it as shape-demo.wav into
// `outputDirectory` and says where. Returns the process exit code.
int runDemo(BundleFiles const& files, std::filesystem::path const& outputDirectory);

} // namespace zr::cli
