// Successor: ZR_ShapeEnv3 (modules/ShapeEnv3.cpp).
#pragma once
// What the two older envelopes share: the successor's run (sustain hold, 20 ms glides, gain
// match), started and released by the edges of an audio gate. Each owner stages its levels
// when its shape or mode arrives and hands them over at a rising edge, as the successor takes
// a new shape at its next gate on. The levels are clipped to 0..1, as the successor's Clip
// does by default, so the output never exceeds the input.

#include <cstdint>

#include "dsp/EnvelopeRun.h"
#include "sdk/MpBase2.h"

namespace zr::legacy {

class GatedEnvelope : public MpBase2 {
public:
    int32_t open() override;
    // Announces what Out does: static unless a run goes on.
    void onGraphStart() override;

    // Walks the gate: a rising edge starts (or retriggers) the run at its sample, a falling
    // edge releases it. Out streams from the sample a run starts to the sample it ends.
    void subProcess(int32_t sampleFrames);

protected:
    GatedEnvelope();
    // The owner's gate, input and output pins, which it registers in its own pin order.
    void attach(AudioInPin& gate, AudioInPin& input, AudioOutPin& out);
    void setDuration(float milliseconds);

    // At a rising edge, before the run starts: the owner hands over its staged contour with
    // `takeLevels`, `setStartLevel` and `setSustain` / `clearSustain`.
    virtual void prepareRun() = 0;
    // Copies 4096 levels into the run, clipped to 0..1 (a NaN gives 0). A NaN sustain
    // position means no sustain.
    void takeLevels(float const* levels);
    void setStartLevel(float level);
    void setSustain(float position, float level);
    void clearSustain() { run_.clearSustain(); }

private:
    void runUntil(int32_t from, int32_t to);

    EnvelopeRun run_;
    AudioInPin* gate_ = nullptr;
    AudioInPin* input_ = nullptr;
    AudioOutPin* out_ = nullptr;
    float sampleRate_ = 0.0f; // 0 until the host gave a usable rate
    bool gateHigh_ = false;
};

} // namespace zr::legacy
