#pragma once
// A picture of rendered audio: one lane per channel, with a time axis in seconds and a level
// axis in volts (a sample of 1.0 is 10 V), drawn with cairo into a PNG file.

#include <filesystem>
#include <string>
#include <vector>

namespace zr::cli {

struct PlotSize {
    int width = 1000;
    int height = 400;
};

// Throws std::runtime_error naming the path when the picture cannot be written.
void plotWaveforms(std::filesystem::path const& path, std::vector<std::vector<float>> const& channels,
                   std::vector<std::string> const& names, float sampleRate, PlotSize size = {});

} // namespace zr::cli
