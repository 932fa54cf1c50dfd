#include "dsp/EnvelopeRun.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "shapes/Clamp.h"

namespace zr {
namespace {

constexpr float kContourEnd = static_cast<float>(EnvelopeRun::kTableSize); // reading here or later gives 0
// The host's countdown lengthens the run past the contour's end; this bound keeps the table
// modest and every position exact in single precision, whatever the host answers.
constexpr int32_t kMaxCountdown = 1 << 20;
constexpr float kLargest = std::numeric_limits<float>::max();

} // namespace

EnvelopeRun::EnvelopeRun() : table_(kTableSize + 2, 0.0f) {}

void EnvelopeRun::init(float sampleRate, int32_t countdown) {
    if (sampleRate > 0.0f)
        glideFactor_ = 1.0f / (sampleRate * 20.0f * 0.001f);
    endLimit_ = kTableSize + std::clamp(countdown, 0, kMaxCountdown);
    // Keeps a contour already filled in; the entries after it are zeros either way.
    table_.resize(static_cast<size_t>(endLimit_) + 2, 0.0f);
    positionLimit_ = std::min(positionLimit_, static_cast<float>(endLimit_));
    position_ = std::min(position_, positionLimit_);
}

void EnvelopeRun::setDuration(float milliseconds, float sampleRate) {
    float const ms = milliseconds > 1.0f ? milliseconds : 1.0f; // a NaN counts as 1 ms
    rate_ = sampleRate > 0.0f ? kContourEnd / (ms * sampleRate * 0.001f) : 0.0f;
}

void EnvelopeRun::setSustain(float position, float level) {
    sustained_ = true;
    sustainPosition_ = clampf(position, 0.0f, kContourEnd - 1.0f);
    sustainLevel_ = level;
}

void EnvelopeRun::clearSustain() {
    sustained_ = false;
    sustainPosition_ = -1.0f;
    sustainLevel_ = 0.0f;
}

bool EnvelopeRun::gateOn() {
    gain_ = 1.0f;
    glideStep_ = 0.0f;
    positionLimit_ = sustained_ ? sustainPosition_ : static_cast<float>(endLimit_);
    bool const retrigger = running_;
    if (retrigger) {
        // Glide to the first node's level, then restart.
        glideTarget_ = startLevel_;
        glideStep_ = (startLevel_ - level_) * glideFactor_;
    }
    running_ = true;
    position_ = 0.0f;
    return !retrigger;
}

void EnvelopeRun::gateOff() {
    if (!running_ || !sustained_)
        return;
    positionLimit_ = static_cast<float>(endLimit_); // the hold is released
    // Holding at the node continues from there; past it the release already runs.
    if (position_ >= sustainPosition_)
        return;
    // Released before the node: continue from the node without a jump, by scaling the rest
    // of the contour down to the current level or by gliding to the node's. Only a scale of
    // magnitude below 1 is taken: a level near 0 (or below it) would make a tiny or negative
    // node level a huge factor.
    if (std::fabs(level_) < sustainLevel_) {
        gain_ = level_ / sustainLevel_;
    } else {
        glideTarget_ = sustainLevel_;
        glideStep_ = (sustainLevel_ - level_) * glideFactor_;
    }
    position_ = sustainPosition_;
}

void EnvelopeRun::stop() {
    running_ = false;
    level_ = 0.0f;
    glideStep_ = 0.0f;
}

int32_t EnvelopeRun::process(float const* input, float* out, int32_t count) {
    int32_t const unchecked = samplesThatCannotEnd(count);
    int32_t ran = runSamples<false>(input, out, 0, unchecked);
    ran = runSamples<true>(input, out, ran, count);
    if (ran < count)
        stop();
    return ran;
}

int32_t EnvelopeRun::samplesThatCannotEnd(int32_t count) const {
    if (!(position_ < kContourEnd))
        return 0;
    // Held below the end, or not moving: the position cannot reach it in this call.
    if (positionLimit_ < kContourEnd || !(rate_ > 0.0f))
        return count;
    // Each step adds the rate plus at most half a float step of rounding (a whole step at the
    // end is allowed for): the first `bound` samples all read before the end.
    constexpr float kRoundingAllowance = 1.0f / 2048.0f;
    float const bound = (kContourEnd - position_) / (rate_ + kRoundingAllowance) - 1.0f;
    return bound >= static_cast<float>(count) ? count : std::max(0, static_cast<int32_t>(bound));
}

template <bool checkEnd>
int32_t EnvelopeRun::runSamples(float const* input, float* out, int32_t from, int32_t to) {
    float const* table = table_.data();
    // Running values live in locals, so that writes to `out` cannot be taken to change them.
    float position = position_;
    float level = level_;
    float glideStep = glideStep_;
    float const step = rate_;
    float const limit = positionLimit_;
    float const target = glideTarget_;
    float const gain = gain_;
    int32_t s = from;
    for (; s < to; ++s) {
        if (glideStep != 0.0f) {
            // The position waits while the level glides, up or down, to its target.
            level += glideStep;
            if (glideStep > 0.0f ? !(level < target) : !(level > target))
                glideStep = 0.0f;
        } else {
            if (checkEnd && position >= kContourEnd)
                break;
            auto const index = static_cast<int32_t>(position);
            float const fraction = position - static_cast<float>(index);
            level = ((1.0f - fraction) * table[index] + fraction * table[index + 1]) * gain;
            position = clampf(position + step, 0.0f, limit);
        }
        // A level above 1 (a contour not clipped) amplifies: the largest inputs saturate
        // instead of overflowing.
        out[s] = clampf(input[s] * level, -kLargest, kLargest);
    }
    position_ = position;
    level_ = level;
    glideStep_ = glideStep;
    return s;
}

} // namespace zr
