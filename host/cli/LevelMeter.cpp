#include "host/cli/LevelMeter.h"

#include <cmath>
#include <cstdio>

namespace zr::cli {

void LevelMeter::add(float const* samples, std::size_t count) {
    float peak = peak_;
    int64_t beyond = 0;
    for (std::size_t i = 0; i < count; ++i) {
        float const level = std::fabs(samples[i]);
        peak = level > peak ? level : peak; // a NaN compares false and is passed over
        beyond += level > 1.0f;
    }
    peak_ = peak;
    beyondFullScale_ += beyond;
}

double gainOfDecibels(double decibels) {
    return std::pow(10.0, decibels / 20.0);
}

std::string decibelsFullScale(double peak) {
    if (peak <= 0.0)
        return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dBFS", 20.0 * std::log10(peak));
    return text;
}

} // namespace zr::cli
