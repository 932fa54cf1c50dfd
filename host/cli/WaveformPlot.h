#pragma once
// A picture of rendered audio: one lane per channel, with a time axis in seconds and a level
// axis in volts (a sample of 1.0 is 10 V), drawn with cairo as PNG, SVG or PDF from the
// min/max envelope kept while the render streamed.

#include <filesystem>
#include <string>
#include <vector>

namespace zr::cli {

class OutputFile;
class WaveformEnvelope;

enum class PictureFormat { Png, Svg, Pdf };

struct PlotSize {
    int width = 1000;
    int height = 400;
};

// The format named by the extension (.png, .svg, .pdf, in any case); "-" takes PNG. Throws
// std::invalid_argument naming the known extensions.
PictureFormat pictureFormatOf(std::filesystem::path const& path);

// The size of a plot of `channels` lanes: the default, taller when lanes would get thin.
PlotSize plotSizeFor(int channels);
// How many pixel columns the waveforms take in a picture of `size`: the envelope's columns.
int plotColumns(PlotSize size);

// Draws `envelope` (made with plotColumns(size) columns) into `output`. Throws
// std::runtime_error as OutputFile::fail does when the picture cannot be written.
void plotWaveforms(OutputFile& output, PictureFormat format, WaveformEnvelope const& envelope,
                   std::vector<std::string> const& names, float sampleRate, PlotSize size = {});

} // namespace zr::cli
