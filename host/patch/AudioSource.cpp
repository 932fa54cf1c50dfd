#include "host/patch/AudioSource.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace zr::host {
namespace {

constexpr float kVoltsToLevel = 0.1f;

// Noise from the sample index alone, so that any block of it can be made on its own and a
// render is the same every time.
float noiseAt(uint32_t seed, int64_t sample) {
    uint64_t x = static_cast<uint64_t>(sample) * 0x9E3779B97F4A7C15ull + seed;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<float>(static_cast<double>(x >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0);
}

// `samples` at `fromRate` made into the same signal at `toRate`, as long as it lasts there.
std::vector<float> resampled(std::vector<float> const& samples, int fromRate, double toRate, std::filesystem::path const& path) {
    double const ratio = toRate / fromRate;
    std::vector<float> converted(static_cast<size_t>(std::ceil(static_cast<double>(samples.size()) * ratio)) + 1);
    SRC_DATA data{};
    data.data_in = samples.data();
    data.input_frames = static_cast<long>(samples.size());
    data.data_out = converted.data();
    data.output_frames = static_cast<long>(converted.size());
    data.src_ratio = ratio;
    data.end_of_input = 1;
    if (int const error = src_simple(&data, SRC_SINC_BEST_QUALITY, 1); error != 0)
        throw std::runtime_error("audio file " + path.string() + " could not be converted from " + std::to_string(fromRate) +
                                 " Hz: " + src_strerror(error));
    converted.resize(static_cast<size_t>(data.output_frames_gen));
    return converted;
}

} // namespace

AudioSource AudioSource::constant(float volts) {
    AudioSource source;
    source.level = volts;
    return source;
}

void AudioSource::fill(float* buffer, int64_t startSample, int32_t count, float sampleRate) const {
    if (kind == Kind::Constant) { // every block of every constant input: no time to work out
        std::fill_n(buffer, count, level * kVoltsToLevel);
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        int64_t const n = startSample + i;
        double const t = static_cast<double>(n) / sampleRate;
        float volts = level;
        switch (kind) {
        case Kind::Constant:
            break;
        case Kind::Sine:
            volts = level + amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency * t));
            break;
        case Kind::Noise:
            volts = amplitude * noiseAt(seed, n);
            break;
        case Kind::Ramp:
            volts = seconds <= 0.0 || t >= seconds ? to
                                                   : from + (to - from) * static_cast<float>(t / seconds);
            break;
        case Kind::File:
            buffer[i] = n < static_cast<int64_t>(samples.size()) ? samples[static_cast<size_t>(n)] : 0.0f;
            continue;
        case Kind::External:
            volts = 0.0f;
            break;
        }
        buffer[i] = volts * kVoltsToLevel;
    }
}

std::vector<float> readWavChannel(std::filesystem::path const& path, int channel, float sampleRate, int* fileSampleRate) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored))
        throw std::runtime_error("cannot read audio file " + path.string() + ": no such file");
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        throw std::runtime_error("cannot read audio file " + path.string() + ": " + sf_strerror(nullptr));
    std::string problem;
    if (channel < 0 || channel >= info.channels)
        problem = "has " + std::to_string(info.channels) + " channel(s); channel " + std::to_string(channel) +
                  " does not exist (channels count from 0)";
    std::vector<float> frames;
    if (problem.empty()) {
        frames.resize(static_cast<size_t>(info.frames * info.channels));
        sf_count_t const read = sf_readf_float(file, frames.data(), info.frames);
        frames.resize(static_cast<size_t>(std::max<sf_count_t>(read, 0) * info.channels));
    }
    sf_close(file);
    if (!problem.empty())
        throw std::runtime_error("audio file " + path.string() + " " + problem);
    std::vector<float> picked;
    for (size_t i = static_cast<size_t>(channel); i < frames.size(); i += static_cast<size_t>(info.channels))
        picked.push_back(frames[i]);
    if (fileSampleRate)
        *fileSampleRate = info.samplerate;
    if (static_cast<float>(info.samplerate) == sampleRate)
        return picked;
    return resampled(picked, info.samplerate, sampleRate, path);
}

} // namespace zr::host
