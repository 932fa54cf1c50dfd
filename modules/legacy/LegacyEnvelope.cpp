// Successor: ZR_ShapeEnv3 (modules/ShapeEnv3.cpp).
// The gate walk and level hand-over of the two older envelopes.

#include "modules/legacy/LegacyEnvelope.h"

#include <algorithm>
#include <cmath>

#include "sdk/SampleRate.h"
#include "shapes/Clamp.h"

namespace zr::legacy {
namespace {

float unitLevel(float level) { return std::isnan(level) ? 0.0f : clampf(level, 0.0f, 1.0f); }

} // namespace

GatedEnvelope::GatedEnvelope() { setSubProcess(&GatedEnvelope::subProcess); }

void GatedEnvelope::attach(AudioInPin& gate, AudioInPin& input, AudioOutPin& out) {
    gate_ = &gate;
    input_ = &input;
    out_ = &out;
}

int32_t GatedEnvelope::open() {
    sampleRate_ = gmpi::askSampleRate(*this, sampleRate_);
    int32_t countdown = 0;
    if (gmpi::IMpHost* host = getHost())
        host->getSleepCountdown(&countdown);
    run_.init(sampleRate_, countdown);
    return MpBase2::open();
}

void GatedEnvelope::onGraphStart() { out_->setStreaming(run_.isRunning()); }

void GatedEnvelope::setDuration(float milliseconds) {
    sampleRate_ = gmpi::askSampleRate(*this, sampleRate_);
    run_.setDuration(milliseconds, sampleRate_);
}

void GatedEnvelope::takeLevels(float const* levels) {
    float* target = run_.levels();
    for (int32_t i = 0; i < EnvelopeRun::kTableSize; ++i)
        target[i] = unitLevel(levels[i]);
}

void GatedEnvelope::setStartLevel(float level) { run_.setStartLevel(unitLevel(level)); }

void GatedEnvelope::setSustain(float position, float level) {
    if (std::isnan(position))
        run_.clearSustain();
    else
        run_.setSustain(position, unitLevel(level));
}

void GatedEnvelope::subProcess(int32_t sampleFrames) {
    float const* gate = gate_->getBuffer();
    int32_t from = 0;
    for (int32_t s = 0; s < sampleFrames; ++s) {
        bool const high = gate[s] > 0.0f;
        if (high == gateHigh_)
            continue;
        runUntil(from, s);
        from = s;
        gateHigh_ = high;
        if (!high) {
            run_.gateOff();
            continue;
        }
        prepareRun();
        if (run_.gateOn())
            out_->setStreaming(true, blockPosition_ + s);
    }
    runUntil(from, sampleFrames);
}

// Out from sample `from` up to `to`: the run while it goes on, then 0.
void GatedEnvelope::runUntil(int32_t from, int32_t to) {
    float* out = out_->getBuffer();
    int32_t ran = 0;
    if (run_.isRunning()) {
        ran = run_.process(input_->getBuffer() + from, out + from, to - from);
        if (!run_.isRunning())
            out_->setStreaming(false, blockPosition_ + from + ran);
    }
    std::fill(out + from + ran, out + to, 0.0f);
}

} // namespace zr::legacy
