#pragma once
// `zrhost demo`: the main job with no arguments.

#include <filesystem>

namespace zr::cli {

struct BundleFiles {
    std::filesystem::path bundle;
    std::filesystem::path descriptions;
};

// Renders the demo patch (examples/shape-demo.json unless `patch` names another) into
// `outputDirectory`: shape-demo.wav, its waveform picture shape-demo.png, and the editor's
// picture of the waveshaper's curve as the morph left it, shape-demo-shape.png. Says where
// they are. Returns the process exit code.
int runDemo(BundleFiles const& files, std::filesystem::path const& outputDirectory, std::filesystem::path const& patch);

} // namespace zr::cli
