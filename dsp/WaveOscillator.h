#pragma once
// The shape oscillators' engine: a phase accumulator reads a wave table with linear
// interpolation. Pitch as volts per octave or linear frequency, phase modulation, feedback of
// the previous output sample into the phase, oversampling by averaging sub-steps, removal of
// the table's DC offset and a crossfade of 1/60 s whenever a new table is rendered, so that
// shape edits do not click. The module supplies the shape through a WaveSource and decides
// when the oscillator starts.
//
// Init, set, process: init() takes the sample rate; the setters work out the increments and
// scales when a pin changes, so the block call reads them. A new shape is taken and rendered
// inside the block call, at the first sample where no crossfade runs: that is when the shape
// changes audibly, and it bounds the rendering to one table per crossfade. Every call runs on
// the owner's audio thread and none allocates, locks or throws: both tables are members.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "dsp/FastExp2.h"
#include "shapes/Clamp.h"
#include "dsp/WaveBlock.h"

namespace zr::wave {

// Where the oscillator's shape comes from. Both calls run on the audio thread, when no
// crossfade is running (or when the oscillator starts).
class WaveSource {
public:
    // Takes the shape that arrived since the last call; whether the table must be rendered again.
    virtual bool readShape() = 0;
    // Writes one cycle of the shape's normalised height (1.0 = 10 V, nominally -1..+1) into
    // `table`, `size` entries.
    virtual void renderShape(float* table, int32_t size) = 0;

protected:
    ~WaveSource() = default;
};

// The signal inputs of one block; each holds the block's samples.
struct OscillatorInputs {
    float const* pitch;
    float const* phaseMod;
    float const* phaseModDepth;
    float const* feedback;
};

template <int32_t kTableSize>
class WaveOscillator {
    static_assert(kTableSize > 0 && (kTableSize & (kTableSize - 1)) == 0, "the table wraps by a mask");
    static constexpr int32_t kIndexMask = kTableSize - 1;
    static constexpr float kCycle = static_cast<float>(kTableSize); // table entries per cycle
    // 2^8 = 256 sub-steps per sample: far beyond any audible benefit, and a block still costs
    // a bounded time. Larger exponents (and negative ones) are ignored.
    static constexpr int32_t kMaxOversampling = 8;

    // One cycle, then a guard entry repeating entry 0 (see PhaseRun).
    using WaveTable = std::array<float, kTableSize + 1>;

public:
    explicit WaveOscillator(WaveSource& source) : source(source) {}

    // [open time] A usable rate (finite, above 0) sets the increments and the crossfade speed;
    // without one the phase stands and a crossfade completes at once.
    void init(float rate) {
        if (!(rate > 0.0f && std::isfinite(rate)))
            return;
        sampleRate = rate;
        invSampleRate = 1.0f / rate;
        crossfadeStep = 60.0f / rate;
    }

    // [audio thread, on a pin change] A new shape waits for the source's readShape(), a new
    // interpolation for renderShape(); both are taken at the next sample without a crossfade.
    void shapeArrived() { shapePending = true; }
    void renderAgain() { renderPending = true; }
    void resetPhase() { phase = 0.0f; }

    void setRemoveDC(bool on) {
        removeDC = on;
        renderPending = true;
    }

    void setOversampling(int32_t exponent) {
        if (exponent < 0 || exponent > kMaxOversampling)
            return;
        subSteps = 1 << exponent;
        invSubSteps = 1.0f / static_cast<float>(subSteps);
        lastPitch = -1.0f; // recompute the increment at the next sample
    }

    // 0: linear frequency, 10 Hz per unit up to a quarter of the sample rate; anything else:
    // volts per octave.
    void setFrequencyMode(int32_t mode) {
        linearFrequency = mode == 0;
        incrementScale = invSampleRate * kCycle * (linearFrequency ? 10.0f : 440.0f);
        pitchLimit = linearFrequency ? sampleRate * 0.25f : 1.0f;
        lastPitch = -1.0f;
    }

    // Runs from phase 0 with the latest shape and no crossfade.
    void start() {
        if (shapePending) {
            shapePending = false;
            renderPending |= source.readShape();
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
    }

    // Terms of the read offset that a block has to compute (see offsetTermsOf()): without the
    // feedback term no sample waits for the previous one's table read.
    // [audio thread, per block] `out` receives `sampleFrames` samples; the inputs hold as many.
    void process(OscillatorInputs const& in, float* out, int32_t sampleFrames) {
        switch (offsetTermsOf(in.feedback, in.phaseMod, in.phaseModDepth, sampleFrames)) {
        case OffsetTerms::none: run<OffsetTerms::none>(in, out, sampleFrames); break;
        case OffsetTerms::modulation: run<OffsetTerms::modulation>(in, out, sampleFrames); break;
        case OffsetTerms::modulationAndFeedback: run<OffsetTerms::modulationAndFeedback>(in, out, sampleFrames); break;
        }
    }

private:
    // The sub-steps of one output sample: each reads the table(s) at offset + phase and
    // advances the phase by the increment.
    struct SubSteps {
        float const* current;
        float const* previous; // the table fading out
        int32_t count;
        float phase;
        float increment;

        template <bool kOffset>
        float positionFor(float offset) const {
            if constexpr (kOffset)
                return readPosition(offset, phase, kCycle);
            else
                return phase;
        }

        void advance() { phase = advancePhase(phase, increment, kCycle); }

        template <bool kOffset>
        float sum(float offset) {
            return sumOfSubSteps<kOffset>(current, kIndexMask, count, increment, offset, phase);
        }

        // sum() with a count of 1, without the loop around it (the total still starts at 0).
        template <bool kOffset>
        float single(float offset) {
            float const total = 0.0f + readAt(current, kIndexMask, positionFor<kOffset>(offset));
            advance();
            return total;
        }

        template <bool kOffset>
        float sumCrossfaded(float offset, float fade) {
            float total = 0.0f;
            for (int32_t k = 0; k < count; ++k) {
                float const position = positionFor<kOffset>(offset);
                total += readAt(previous, kIndexMask, position) * (1.0f - fade) + readAt(current, kIndexMask, position) * fade;
                advance();
            }
            return total;
        }
    };

    // The running values of a per-sample loop. They live in locals for the block, so that
    // writes to the output cannot be taken to change them.
    struct Running {
        SubSteps steps;
        float pitchSeen;   // the Pitch sample the increment belongs to
        float previousOut; // the last output sample
    };

    Running running() const {
        return {{waveTables[currentTable].data(), waveTables[1 - currentTable].data(), subSteps, phase, increment},
                lastPitch,
                lastOut};
    }

    void keep(Running const& values) {
        phase = values.steps.phase;
        increment = values.steps.increment;
        lastPitch = values.pitchSeen;
        lastOut = values.previousOut;
    }

    // A Pitch sample other than the one followed (a NaN always differs) sets the increment.
    void followPitch(float pitch, float& pitchSeen, float& stepIncrement) const {
        if (pitch != pitchSeen) {
            stepIncrement = incrementFor(pitch);
            pitchSeen = pitch;
        }
    }

    template <OffsetTerms kTerms>
    static float offsetAt(OscillatorInputs const& in, int32_t s, float previousOut) {
        if constexpr (kTerms == OffsetTerms::modulationAndFeedback)
            return (modulationAt(in.phaseMod[s], in.phaseModDepth[s]) + previousOut * zr::clampf(in.feedback[s], -1.0f, 1.0f)) * kCycle;
        else if constexpr (kTerms == OffsetTerms::modulation)
            return modulationAt(in.phaseMod[s], in.phaseModDepth[s]) * kCycle;
        else
            return 0.0f;
    }

    // The block: while a table fades in or waits, sample by sample; then the current table
    // alone. The fade stays at 1 from then on (1 + a positive step is clamped back to 1), so
    // its update is left out: it would be one more chain of dependent operations through
    // every sample.
    template <OffsetTerms kTerms>
    void run(OscillatorInputs const& in, float* out, int32_t sampleFrames) {
        int32_t s = 0;
        if (shapePending || renderPending || crossfade != 1.0f)
            s = playFading<kTerms>(in, out, sampleFrames);
        if (s == sampleFrames)
            return;
        if constexpr (kTerms == OffsetTerms::modulationAndFeedback)
            playFedBack(in, out, s, sampleFrames);
        else
            playRuns<kTerms == OffsetTerms::modulation>(in, out, s, sampleFrames);
    }

    // From the first sample while a table fades in or waits: one table or two, by the fade.
    // Returns the sample where the fade ended.
    template <OffsetTerms kTerms>
    int32_t playFading(OscillatorInputs const& in, float* out, int32_t sampleFrames) {
        constexpr bool kOffset = kTerms != OffsetTerms::none;
        Running values = running();
        SubSteps& steps = values.steps;
        float fade = crossfade;
        bool pending = shapePending || renderPending;
        float const average = invSubSteps;
        int32_t s = 0;
        for (; s < sampleFrames && (pending || fade != 1.0f); ++s) {
            followPitch(in.pitch[s], values.pitchSeen, values.steps.increment);
            if (pending && fade == 1.0f) {
                fade = takePendingShape();
                pending = shapePending || renderPending;
                steps.current = waveTables[currentTable].data();
                steps.previous = waveTables[1 - currentTable].data();
            }
            float const offset = offsetAt<kTerms>(in, s, values.previousOut);
            float const sum = fade == 1.0f ? steps.template sum<kOffset>(offset) : steps.template sumCrossfaded<kOffset>(offset, fade);
            values.previousOut = sum * average;
            out[s] = values.previousOut;
            fade = std::min(1.0f, fade + crossfadeStep);
        }
        keep(values);
        crossfade = fade;
        return s;
    }

    // Samples `s` on with the feedback term: each waits for the previous one's table read.
    void playFedBack(OscillatorInputs const& in, float* out, int32_t s, int32_t sampleFrames) {
        constexpr OffsetTerms kTerms = OffsetTerms::modulationAndFeedback;
        Running values = running();
        float const average = invSubSteps;
        if (values.steps.count == 1) {
            for (; s < sampleFrames; ++s) {
                followPitch(in.pitch[s], values.pitchSeen, values.steps.increment);
                values.previousOut = values.steps.template single<true>(offsetAt<kTerms>(in, s, values.previousOut)) * average;
                out[s] = values.previousOut;
            }
        } else {
            for (; s < sampleFrames; ++s) {
                followPitch(in.pitch[s], values.pitchSeen, values.steps.increment);
                values.previousOut = values.steps.template sum<true>(offsetAt<kTerms>(in, s, values.previousOut)) * average;
                out[s] = values.previousOut;
            }
        }
        keep(values);
    }

    // Samples `s` on without the feedback term: no sample depends on the one before except
    // through the phase. Each stretch at one pitch is one run of the block player, which
    // reads the table beside the phase accumulator's chain and ends the run where the pitch
    // changes.
    template <bool kModulated>
    void playRuns(OscillatorInputs const& in, float* out, int32_t s, int32_t sampleFrames) {
        float const* const table = waveTables[currentTable].data();
        float runPhase = phase;
        float pitchSeen = lastPitch;
        float runIncrement = increment;
        RunEnd end{0, lastOut}; // each run stores its last sample straight into lastOut
        while (s < sampleFrames) {
            followPitch(in.pitch[s], pitchSeen, runIncrement);
            RunInputs inputs{in.pitch + s};
            if constexpr (kModulated)
                inputs = {in.pitch + s, in.phaseMod + s, in.phaseModDepth + s};
            PhaseRun const run{table, kIndexMask, subSteps, invSubSteps, pitchSeen, runIncrement};
            runPhase = playRun(run, runPhase, inputs, out + s, sampleFrames - s, end);
            s += end.played;
        }
        phase = runPhase;
        increment = runIncrement;
        lastPitch = pitchSeen;
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
            renderPending |= source.readShape();
        }
        if (!renderPending)
            return 1.0f;
        renderPending = false;
        currentTable = 1 - currentTable;
        renderInto(waveTables[currentTable]);
        return 0.0f;
    }

    // Table values are half the shape's normalised height (1.0 = 10 V), clipped to -1..+1
    // against spline overshoot (a NaN height becomes +1).
    void renderInto(WaveTable& target) {
        std::span<float, kTableSize> const cycle(target.data(), kTableSize);
        source.renderShape(cycle.data(), kTableSize);
        float sum = 0.0f;
        for (float& entry : cycle) {
            entry = zr::clampf(0.5f * entry, -1.0f, 1.0f);
            sum += entry;
        }
        if (removeDC) {
            float const mean = sum * (1.0f / kCycle);
            for (float& entry : cycle)
                entry -= mean;
        }
        target[kTableSize] = target[0];
    }

    WaveSource& source;
    std::array<WaveTable, 2> waveTables{}; // the current one and the one fading out
    bool linearFrequency = false;
    bool removeDC = false;
    // One sub-step until Oversampling arrives, so an early block never divides by zero.
    int32_t subSteps = 1;
    float invSubSteps = 1.0f;
    float lastPitch = 0.0f;  // the Pitch sample the increment was computed for
    float phase = 0.0f;      // table entries, 0 <= phase < cycle
    float increment = 0.0f;  // phase advance per sub-step, never negative
    float lastOut = 0.0f;    // the previous output sample, for Feedback
    float crossfade = 0.0f;  // weight of the current table, 0..1
    int32_t currentTable = 0;
    bool shapePending = false;
    bool renderPending = false;
    float sampleRate = 0.0f; // 0 until the host gave a usable rate
    float invSampleRate = 0.0f;
    float pitchLimit = 0.0f;
    float incrementScale = 0.0f;
    float crossfadeStep = 1.0f; // without a sample rate a crossfade completes at once
};

} // namespace zr::wave
