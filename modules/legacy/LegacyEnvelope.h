// Successor: ZR_ShapeEnv3 (modules/ShapeEnvelope3.cpp).
#pragma once
// The run of the two older envelopes: a rising gate starts the
// contour from its left end; it runs to the right end in the set duration, waits at the
// sustain position while the gate stays on, and continues when it goes off. After the end the
// level is 0, as the successor reads past its table.

#include <cstdint>

#include "modules/legacy/LegacyShape.h"

namespace zr::legacy {

class EnvelopeRun {
public:
    // Duration in ms (below 1 counts as 1) at a sample rate; no usable rate stops the run.
    void setDuration(float milliseconds, float sampleRate) {
        float const limited = milliseconds > 1.0f ? milliseconds : 1.0f; // NaN counts as 1
        rate = sampleRate > 0.0f ? static_cast<float>(kLastEntry) / (limited * sampleRate * 0.001f) : 0.0f;
    }
    // A table position to wait at, or a negative value for none.
    void setSustain(float position) { sustain = position; }

    // One sample: the level read from `levels` (kTableSize entries) for a gate sample.
    float next(float const* levels, float gateSample) {
        bool const gate = gateSample > 0.0f;
        if (gate && !previousGate) {
            position = 0.0f;
            running = true;
        }
        previousGate = gate;
        if (!running)
            return 0.0f;
        float const level = read(levels);
        bool const holding = gate && sustain >= 0.0f && position >= sustain;
        if (holding)
            position = sustain;
        else
            position += rate;
        if (!(position <= static_cast<float>(kLastEntry))) // a NaN ends the run too
            running = false;
        return level;
    }

    bool isRunning() const { return running; }

private:
    float read(float const* levels) const {
        auto const index = static_cast<int32_t>(position);
        if (index >= kLastEntry)
            return levels[kLastEntry];
        float const fraction = position - static_cast<float>(index);
        return levels[index] + fraction * (levels[index + 1] - levels[index]);
    }

    float rate = 0.0f;
    float sustain = -1.0f;
    float position = 0.0f;
    bool running = false;
    bool previousGate = false;
};

} // namespace zr::legacy
