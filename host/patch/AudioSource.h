#pragma once
// What feeds an audio input that no wire feeds: a constant level, a sine, noise, a ramp, the
// samples of a WAV file, or an input port of the audio server when the patch plays live.
// Levels are in volts (a sample of 1.0 is 10 V); the samples of a file or a port are taken as
// they are.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zr::host {

struct AudioSource {
    enum class Kind { Constant, Sine, Noise, Ramp, File, External };
    Kind kind = Kind::Constant;
    float level = 0.0f;      // Constant: volts; Sine: offset in volts
    float amplitude = 0.0f;  // Sine, Noise: peak volts
    double frequency = 0.0;  // Sine: Hz
    float from = 0.0f;       // Ramp: volts at the start
    float to = 0.0f;         // Ramp: volts at the end, held afterwards
    double seconds = 0.0;    // Ramp: its length
    uint32_t seed = 1;       // Noise
    std::vector<float> samples; // File: one channel, converted to the patch's sample rate
    std::string externalName;   // External: the input port's name; offline it is silent

    // Whether the signal changes over time: the input is then announced as streaming.
    bool varies() const { return kind != Kind::Constant; }
    // Samples startSample .. startSample + count - 1 of the signal (silence for External,
    // whose samples the live player copies in itself).
    void fill(float* buffer, int64_t startSample, int32_t count, float sampleRate) const;

    static AudioSource constant(float volts);
};

// One channel of a WAV file (from 0) at `sampleRate`: a file at another rate is converted
// (libsamplerate, its best sinc converter), and `fileSampleRate`, when given, receives the
// file's own rate. Throws std::runtime_error naming the file for a missing or unreadable
// file, a channel it lacks or a failed conversion.
std::vector<float> readWavChannel(std::filesystem::path const& path, int channel, float sampleRate,
                                  int* fileSampleRate = nullptr);

} // namespace zr::host
