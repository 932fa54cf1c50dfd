#pragma once
// A render's levels as the file holds them, where 1.0 is full scale (10 V): the peak and how
// many samples lie beyond full scale, which an integer format clips.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zr::cli {

class LevelMeter {
public:
    // Counts `count` samples of any channels. NaN counts as neither peak nor beyond.
    void add(float const* samples, std::size_t count);

    float peak() const { return peak_; }
    // Samples with |sample| > 1.0.
    int64_t beyondFullScale() const { return beyondFullScale_; }

private:
    float peak_ = 0.0f;
    int64_t beyondFullScale_ = 0;
};

// The factor a change of `decibels` multiplies by.
double gainOfDecibels(double decibels);
// A peak as "-3.2 dBFS", "+1.5 dBFS" or, for silence, "-inf dBFS".
std::string decibelsFullScale(double peak);

} // namespace zr::cli
