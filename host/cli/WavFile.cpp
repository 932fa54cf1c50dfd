#include "host/cli/WavFile.h"

#include <sndfile.h>

#include <stdexcept>
#include <string>

namespace zr::cli {
namespace {

std::vector<float> interleaved(std::vector<std::vector<float>> const& channels) {
    size_t const frames = channels.empty() ? 0 : channels.front().size();
    std::vector<float> samples(frames * channels.size());
    for (size_t c = 0; c < channels.size(); ++c)
        for (size_t i = 0; i < frames; ++i)
            samples[i * channels.size() + c] = channels[c][i];
    return samples;
}

} // namespace

void writeWav(std::filesystem::path const& path, std::vector<std::vector<float>> const& channels, int sampleRate) {
    if (channels.empty())
        throw std::runtime_error("could not write " + path.string() + ": no channels");
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        throw std::runtime_error("could not write " + path.string() + ": " + sf_strerror(nullptr));
    // Without clipping a float above full scale would wrap around in the integer format.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::vector<float> const samples = interleaved(channels);
    auto const frames = static_cast<sf_count_t>(channels.front().size());
    sf_count_t const written = sf_writef_float(file, samples.data(), frames);
    std::string const reason = written == frames ? "" : sf_strerror(file);
    if (sf_close(file) != 0 && reason.empty())
        throw std::runtime_error("could not finish " + path.string());
    if (!reason.empty())
        throw std::runtime_error("could not write " + path.string() + ": " + reason);
}

} // namespace zr::cli
