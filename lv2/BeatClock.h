#pragma once
// The host's musical position as time:Position messages tell it, advanced sample by sample
// between messages, and where the next whole beat falls.

#include <cmath>
#include <cstdint>
#include <optional>

namespace zr::lv2 {

class BeatClock {
public:
    static constexpr double kDefaultTempo = 120.0;
    // Far less than one sample's step at any tempo and rate.
    static constexpr double kRoundingSlack = 1e-9;

    explicit BeatClock(double sampleRate) : sampleRate_(sampleRate) {}

    // [audio thread] What a position message says; a value not given (nullopt) or not finite
    // keeps the one before. A tempo must be above 0.
    void update(std::optional<double> barBeat, std::optional<double> beatsPerMinute, std::optional<double> speed) {
        if (barBeat && std::isfinite(*barBeat))
            beat_ = *barBeat;
        if (beatsPerMinute && std::isfinite(*beatsPerMinute) && *beatsPerMinute > 0.0)
            tempo_ = *beatsPerMinute;
        if (speed && std::isfinite(*speed))
            speed_ = *speed;
        known_ = known_ || barBeat.has_value();
    }

    // Samples from now to the next whole beat (0 when now is one), if it falls within `frames`
    // and the transport rolls forward. A caller that plays a beat advances at least one sample
    // before asking again, so the beat is not found twice.
    std::optional<uint32_t> nextBeatWithin(uint32_t frames) const {
        double const step = beatsPerSample();
        if (!known_ || step <= 0.0)
            return std::nullopt;
        // A beat that the sum of many steps passed by a rounding error is still due now.
        double const ahead = std::ceil(beat_ - kRoundingSlack) - beat_;
        double const samples = std::ceil(ahead / step - kRoundingSlack);
        if (samples >= static_cast<double>(frames))
            return std::nullopt;
        return static_cast<uint32_t>(std::fmax(samples, 0.0));
    }

    void advance(uint32_t frames) { beat_ += beatsPerSample() * frames; }

    double tempo() const { return tempo_; }
    double beat() const { return beat_; }

private:
    double beatsPerSample() const { return tempo_ / 60.0 / sampleRate_ * speed_; }

    double sampleRate_;
    double beat_ = 0.0;
    double tempo_ = kDefaultTempo;
    double speed_ = 0.0;
    bool known_ = false;
};

} // namespace zr::lv2
