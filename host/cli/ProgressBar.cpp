#include "host/cli/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "host/cli/Messages.h"

namespace zr::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// "0:07", "12:34" or "1:02:03".
std::string clockTime(double seconds) {
    long const whole = static_cast<long>(std::max(seconds, 0.0) + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void drawLine(int64_t done, int64_t total, double elapsed, float sampleRate) {
    int const filled = total == 0 ? kBarWidth : static_cast<int>(done * kBarWidth / total);
    int const percent = static_cast<int>(done * 100 / std::max<int64_t>(total, 1));
    double const speed = elapsed > 0.0 ? static_cast<double>(done) / sampleRate / elapsed : 0.0;
    std::string const left = done > 0 ? clockTime(elapsed * static_cast<double>(total - done) / static_cast<double>(done)) : "?";
    std::fprintf(stderr, "\rrendering [%.*s%*s] %3d%%  %s elapsed  %.1fx real time  %s left   ", filled,
                 "##############################", kBarWidth - filled, "", percent, clockTime(elapsed).c_str(), speed,
                 left.c_str());
    if (done >= total)
        std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

} // namespace

host::RenderProgress progressBar(float sampleRate) {
    if (verbosity() == Verbosity::Quiet || !::isatty(STDERR_FILENO))
        return {};
    Clock::time_point const start = Clock::now();
    return [start, sampleRate, drawn = Clock::time_point{}](int64_t done, int64_t total) mutable {
        Clock::time_point const now = Clock::now();
        if (now - drawn < kRedrawInterval && done < total)
            return;
        drawn = now;
        drawLine(done, total, std::chrono::duration<double>(now - start).count(), sampleRate);
    };
}

} // namespace zr::cli
