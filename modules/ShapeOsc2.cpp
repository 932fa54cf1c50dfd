// ZR_ShapeOsc2: plays one cycle of a shape as a periodic waveform. The shape is rendered into
// a wave table of 1024 entries that a phase accumulator reads with linear interpolation; a new
// table fades in over 1/60 s so that shape edits do not click. While Gate is on the oscillator
// runs from phase 0; while it is off the output is silent and static.

#include <algorithm>
#include <array>
#include <cmath>

#include "modules/FastExp2.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"
#include "shapes/Clamp.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

namespace {

constexpr int32_t kTableSize = 1024;
constexpr int32_t kIndexMask = kTableSize - 1;
constexpr float kCycle = static_cast<float>(kTableSize); // table entries per cycle
// 2^8 = 256 sub-steps per sample: far beyond any audible benefit, and a block still costs a
// bounded time. Larger exponents (and negative ones) are ignored.
constexpr int32_t kMaxOversampling = 8;

using WaveTable = std::array<float, kTableSize>;

// A read position brought into 0..1024 by an exact remainder. For positions below 2048 this
// equals subtracting one cycle, and it ends for any value, however far the phase ran.
float wrapToCycle(float position) {
    if (position >= 0.0f && position < kCycle)
        return position;
    position = std::fmod(position, kCycle);
    return position < 0.0f ? position + kCycle : position;
}

float readTable(float const* table, int32_t a, int32_t b, float fraction) {
    return table[a] + fraction * (table[b] - table[a]);
}

// The sub-steps of one output sample: each reads the table(s) at offset + phase and advances
// the phase by the increment.
struct SubSteps {
    float const* current;
    float const* previous; // the table fading out
    int32_t count;
    float phase;
    float increment;

    // offset + phase in 0..1024, or the phase itself should the sum not be a number.
    float readPosition(float offset) const {
        float const position = wrapToCycle(offset + phase);
        return position >= 0.0f && position <= kCycle ? position : phase;
    }

    // With no offset at all the read position is the phase itself, which advance() keeps in
    // 0..1024: wrapToCycle(0 + phase) returns it unchanged.
    template <bool kOffset>
    float positionFor(float offset) const {
        if constexpr (kOffset)
            return readPosition(offset);
        else
            return phase;
    }

    void advance() {
        phase += increment;
        if (phase >= kCycle)
            phase = std::fmod(phase, kCycle);
        // An increment that overflowed (an extreme linear pitch) restarts the cycle rather
        // than leaving a phase that is no table position.
        if (!std::isfinite(phase))
            phase = 0.0f;
    }

    template <bool kOffset>
    float sum(float offset) {
        float total = 0.0f;
        for (int32_t k = 0; k < count; ++k) {
            float const position = positionFor<kOffset>(offset);
            auto const index = static_cast<int32_t>(position);
            float const fraction = position - static_cast<float>(index);
            total += readTable(current, index & kIndexMask, (index + 1) & kIndexMask, fraction);
            advance();
        }
        return total;
    }

    // sum() with a count of 1, without the loop around it (the total still starts at 0).
    template <bool kOffset>
    float single(float offset) {
        float const position = positionFor<kOffset>(offset);
        auto const index = static_cast<int32_t>(position);
        float const fraction = position - static_cast<float>(index);
        float const total = 0.0f + readTable(current, index & kIndexMask, (index + 1) & kIndexMask, fraction);
        advance();
        return total;
    }

    template <bool kOffset>
    float sumCrossfaded(float offset, float fade) {
        float total = 0.0f;
        for (int32_t k = 0; k < count; ++k) {
            float const position = positionFor<kOffset>(offset);
            auto const index = static_cast<int32_t>(position);
            float const fraction = position - static_cast<float>(index);
            int32_t const a = index & kIndexMask;
            int32_t const b = (index + 1) & kIndexMask;
            total += readTable(previous, a, b, fraction) * (1.0f - fade) + readTable(current, a, b, fraction) * fade;
            advance();
        }
        return total;
    }
};

} // namespace

class ZR_ShapeOsc2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BoolInPin pinGate;          // on: restart from phase 0 and run; off: silence
    BlobInPin pinShape;         // blob image of one cycle
    IntInPin pinInterpolation;  // 0, 10, 20 or 30
    BoolInPin pinRemoveDC;      // subtract the table's mean
    IntInPin pinOversampling;   // exponent k: 2^k sub-steps averaged per sample
    IntInPin pinFrequencyMode;  // 0: linear frequency, else volts per octave
    AudioInPin pinPitch;
    BoolInPin pinResetPhase;    // on: phase 0
    AudioInPin pinPhaseMod;
    AudioInPin pinPhaseModDepth;
    AudioInPin pinFeedback;
    AudioOutPin pinOut;

    zr::Shape::Interpolator interpolator{zr::Shape(L"(-5,-5)(5,5)"), kTableSize};
    std::array<WaveTable, 2> waveTables{}; // the current one and the one fading out
    bool linearFrequency = false;
    bool removeDC = false;
    // One sub-step until Oversampling arrives, so an early block never divides by zero.
    int32_t subSteps = 1;
    float invSubSteps = 1.0f;
    float lastPitch = 0.0f;  // the Pitch sample the increment was computed for
    float phase = 0.0f;      // table entries, 0 <= phase < 1024
    float increment = 0.0f;  // phase advance per sub-step
    float lastOut = 0.0f;    // the previous output sample, for Feedback
    float crossfade = 0.0f;  // weight of the current table, 0..1
    int32_t currentTable = 0;
    bool shapePending = false;
    bool renderPending = false;
    float sampleRate = 0.0f; // 0 until the host gave a usable rate
    float invSampleRate = 0.0f;
    float pitchLimit = 0.0f;
    float incrementScale = 0.0f;
    // Without a sample rate a crossfade completes at once.
    float crossfadeStep = 1.0f;

public:
    ZR_ShapeOsc2() {
        initializePin(pinGate);
        initializePin(pinShape);
        initializePin(pinInterpolation);
        initializePin(pinRemoveDC);
        initializePin(pinOversampling);
        initializePin(pinFrequencyMode);
        initializePin(pinPitch);
        initializePin(pinResetPhase);
        initializePin(pinPhaseMod);
        initializePin(pinPhaseModDepth);
        initializePin(pinFeedback);
        initializePin(pinOut);
        // Until the first gate the output announced at graph start holds zeros.
        setSubProcess(&ZR_ShapeOsc2::subProcessSilence);
    }

    int32_t open() override {
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        if (sampleRate > 0.0f) {
            invSampleRate = 1.0f / sampleRate;
            crossfadeStep = 60.0f / sampleRate;
        }
        return MpBase2::open();
    }

    void onSetPins() override {
        if (pinShape.isUpdated())
            shapePending = true;
        if (pinInterpolation.isUpdated() && interpolator.shape.setInterpolation(pinInterpolation))
            renderPending = true;
        if (pinResetPhase.isUpdated() && pinResetPhase)
            phase = 0.0f;
        if (pinRemoveDC.isUpdated()) {
            removeDC = pinRemoveDC;
            renderPending = true;
        }
        if (pinOversampling.isUpdated())
            setOversampling(pinOversampling);
        if (pinFrequencyMode.isUpdated())
            setFrequencyMode(pinFrequencyMode);
        if (!pinGate.isUpdated())
            return;
        if (pinGate)
            startFromPhaseZero();
        else
            stop();
    }

    // Terms of the read offset that a block has to compute. A silent Feedback input adds
    // previousOut x 0 = 0 to every offset (previousOut is always a finite table value), and a
    // silent phase modulation adds a zero product, so loops without those terms give the same
    // results; without the feedback term no sample waits for the previous one's table read.
    void subProcess(int32_t sampleFrames) {
        float const* feedback = pinFeedback.getBuffer();
        float const* phaseMod = pinPhaseMod.getBuffer();
        float const* phaseModDepth = pinPhaseModDepth.getBuffer();
        bool const feedbackSilent = std::all_of(feedback, feedback + sampleFrames, [](float v) { return v == 0.0f; });
        bool modulationSilent = true;
        for (int32_t s = 0; s < sampleFrames; ++s)
            modulationSilent &= modulationAt(phaseMod[s], phaseModDepth[s]) == 0.0f;
        if (!feedbackSilent)
            run<OffsetTerms::modulationAndFeedback>(sampleFrames);
        else if (!modulationSilent)
            run<OffsetTerms::modulation>(sampleFrames);
        else
            run<OffsetTerms::none>(sampleFrames);
    }

    void subProcessSilence(int32_t sampleFrames) { std::fill_n(pinOut.getBuffer(), sampleFrames, 0.0f); }

private:
    enum class OffsetTerms { none, modulation, modulationAndFeedback };

    static float modulationAt(float phaseMod, float depth) {
        return zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f);
    }

    // The block loop, computing only the offset terms that are not silent.
    template <OffsetTerms kTerms>
    void run(int32_t sampleFrames) {
        float const* pitch = pinPitch.getBuffer();
        [[maybe_unused]] float const* phaseMod = pinPhaseMod.getBuffer();
        [[maybe_unused]] float const* phaseModDepth = pinPhaseModDepth.getBuffer();
        [[maybe_unused]] float const* feedback = pinFeedback.getBuffer();
        float* out = pinOut.getBuffer();
        // Running values live in locals for the block, so that writes to Out cannot be taken
        // to change them.
        SubSteps steps{waveTables[currentTable].data(), waveTables[1 - currentTable].data(), subSteps, phase, increment};
        float previousOut = lastOut;
        float fade = crossfade;
        float pitchSeen = lastPitch;
        bool pending = shapePending || renderPending;
        float const average = invSubSteps;
        auto const followPitch = [&](int32_t s) {
            if (pitch[s] != pitchSeen) { // a NaN always differs
                steps.increment = incrementFor(pitch[s]);
                pitchSeen = pitch[s];
            }
        };
        auto const offsetAt = [&](int32_t s) {
            float offset = 0.0f;
            if constexpr (kTerms == OffsetTerms::modulationAndFeedback)
                offset = (modulationAt(phaseMod[s], phaseModDepth[s]) + previousOut * zr::clampf(feedback[s], -1.0f, 1.0f)) * kCycle;
            else if constexpr (kTerms == OffsetTerms::modulation)
                offset = modulationAt(phaseMod[s], phaseModDepth[s]) * kCycle;
            return offset;
        };
        constexpr bool kOffset = kTerms != OffsetTerms::none;
        int32_t s = 0;
        // While a table fades in or waits: one table or two, by the fade.
        for (; s < sampleFrames && (pending || fade != 1.0f); ++s) {
            followPitch(s);
            if (pending && fade == 1.0f) {
                fade = takePendingShape();
                pending = shapePending || renderPending;
                steps.current = waveTables[currentTable].data();
                steps.previous = waveTables[1 - currentTable].data();
            }
            float const offset = offsetAt(s);
            float const sum = fade == 1.0f ? steps.sum<kOffset>(offset) : steps.sumCrossfaded<kOffset>(offset, fade);
            previousOut = sum * average;
            out[s] = previousOut;
            fade = std::min(1.0f, fade + crossfadeStep);
        }
        // Then the current table alone. The fade stays at 1 (1 + a positive step is clamped
        // back to 1), so its update is left out: it would be one more chain of dependent
        // operations through every sample.
        if (steps.count == 1) {
            for (; s < sampleFrames; ++s) {
                followPitch(s);
                previousOut = steps.single<kOffset>(offsetAt(s)) * average;
                out[s] = previousOut;
            }
        }
        for (; s < sampleFrames; ++s) {
            followPitch(s);
            previousOut = steps.sum<kOffset>(offsetAt(s)) * average;
            out[s] = previousOut;
        }
        phase = steps.phase;
        increment = steps.increment;
        lastOut = previousOut;
        crossfade = fade;
        lastPitch = pitchSeen;
    }

    void setOversampling(int32_t exponent) {
        if (exponent < 0 || exponent > kMaxOversampling)
            return;
        subSteps = 1 << exponent;
        invSubSteps = 1.0f / static_cast<float>(subSteps);
        lastPitch = -1.0f; // recompute the increment at the next sample
    }

    void setFrequencyMode(int32_t mode) {
        linearFrequency = mode == 0;
        incrementScale = invSampleRate * kCycle * (linearFrequency ? 10.0f : 440.0f);
        pitchLimit = linearFrequency ? sampleRate * 0.25f : 1.0f;
        lastPitch = -1.0f;
    }

    void startFromPhaseZero() {
        if (shapePending) {
            shapePending = false;
            readShape();
        }
        // Only a new rendering moves playback to the first table; otherwise the current
        // table, which holds the latest shape, keeps playing.
        if (renderPending) {
            renderPending = false;
            renderInto(waveTables[0]);
            currentTable = 0;
        }
        lastPitch = -1.0f;
        phase = 0.0f;
        lastOut = 0.0f;
        crossfade = 1.0f;
        pinOut.setStreaming(true);
        setSubProcess(&ZR_ShapeOsc2::subProcess);
    }

    void stop() {
        pinOut.setStreaming(false);
        setSubProcess(&ZR_ShapeOsc2::subProcessSilence);
    }

    void readShape() {
        MpBlob const& image = pinShape;
        if (interpolator.shape.readBlob(image.getData(), image.getSize()))
            renderPending = true;
    }

    // Volts per octave: 440 x 2^(10 v - 5) Hz for v in 0..1; linear: 10 v Hz up to a quarter
    // of the sample rate. Below 0, and for a NaN, the lowest frequency.
    float incrementFor(float pitch) const {
        float const v = pitch > 0.0f ? std::min(pitch, pitchLimit) : 0.0f;
        float const factor = linearFrequency ? v : zr::fastExp2(zr::clampf(v * 10.0f + (-5.0f), -127.0f, 128.0f));
        return factor * invSubSteps * incrementScale;
    }

    // Called only when no crossfade runs: at most one new table per crossfade period. Returns
    // the crossfade position: 0 when a new table starts fading in.
    float takePendingShape() {
        if (shapePending) {
            shapePending = false;
            readShape();
        }
        if (!renderPending)
            return 1.0f;
        renderPending = false;
        currentTable = 1 - currentTable;
        renderInto(waveTables[currentTable]);
        return 0.0f;
    }

    // Table values are half the shape's normalised height (1.0 = 10 V), clipped to -1..+1
    // against spline overshoot; after the rendered values (or for an empty rendering) 0.
    void renderInto(WaveTable& target) {
        interpolator.render();
        float sum = 0.0f;
        for (float& entry : target) {
            entry = zr::clampf(0.5f * interpolator.readNext(), -1.0f, 1.0f);
            sum += entry;
        }
        if (!removeDC)
            return;
        float const mean = sum * (1.0f / kCycle);
        for (float& entry : target)
            entry -= mean;
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeOsc2>::withId(L"ZR_ShapeOsc2");
}
