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
// the owner's audio thread and none allocates, locks or throws: both tables and the scratch
// positions are members.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

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
    // Read positions computed ahead of the table reads, per stretch of samples.
    static constexpr int32_t kStretch = 256;

    using WaveTable = std::array<float, kTableSize>;

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

    // Terms of the read offset that a block has to compute. A silent Feedback input adds
    // previousOut x 0 = 0 to every offset (previousOut is always a finite table value), and a
    // silent phase modulation adds a zero product, so loops without those terms give the same
    // results; without the feedback term no sample waits for the previous one's table read.
    // [audio thread, per block] `out` receives `sampleFrames` samples; the inputs hold as many.
    void process(OscillatorInputs const& in, float* out, int32_t sampleFrames) {
        if (!allZero(in.feedback, sampleFrames))
            run<OffsetTerms::modulationAndFeedback>(in, out, sampleFrames);
        else if (!modulationSilent(in.phaseMod, in.phaseModDepth, sampleFrames))
            run<OffsetTerms::modulation>(in, out, sampleFrames);
        else
            run<OffsetTerms::none>(in, out, sampleFrames);
    }

private:
    enum class OffsetTerms { none, modulation, modulationAndFeedback };

    // A read position brought into 0..cycle by an exact remainder, which ends for any value,
    // however far the phase ran. A modulated position lies within a cycle of the phase, where
    // the remainder is the position itself (less than a cycle below 0) or the position less a
    // cycle (exact, less than two cycles up), so those take no library call.
    static float wrapToCycle(float position) {
        if (position >= 0.0f && position < kCycle)
            return position;
        if (position >= kCycle && position < 2.0f * kCycle)
            return position - kCycle;
        if (position < 0.0f && position > -kCycle)
            return position + kCycle;
        position = std::fmod(position, kCycle);
        return position < 0.0f ? position + kCycle : position;
    }

    // The sub-steps of one output sample: each reads the table(s) at offset + phase and
    // advances the phase by the increment.
    struct SubSteps {
        float const* current;
        float const* previous; // the table fading out
        int32_t count;
        float phase;
        float increment;

        // offset + phase in 0..cycle, or the phase itself should the sum not be a number.
        float readPosition(float offset) const {
            float const position = wrapToCycle(offset + phase);
            return position >= 0.0f && position <= kCycle ? position : phase;
        }

        // With no offset at all the read position is the phase itself, which advance() keeps
        // in 0..cycle: wrapToCycle(0 + phase) returns it unchanged.
        template <bool kOffset>
        float positionFor(float offset) const {
            if constexpr (kOffset)
                return readPosition(offset);
            else
                return phase;
        }

        // The increment is never negative, so the phase stays at or above 0 and one compare
        // tells whether it left the cycle. The wrap itself is off the per-sample path.
        void advance() {
            phase += increment;
            if (!(phase < kCycle))
                phase = wrapAdvanced(phase);
        }

        // The exact remainder (one subtraction below two cycles gives the same number). An
        // increment that overflowed (an extreme linear pitch) restarts the cycle rather than
        // leaving a phase that is no table position.
        [[gnu::noinline]] static float wrapAdvanced(float advanced) {
            if (advanced >= kCycle)
                advanced = advanced < 2.0f * kCycle ? advanced - kCycle : std::fmod(advanced, kCycle);
            return std::isfinite(advanced) ? advanced : 0.0f;
        }

        template <bool kOffset>
        float sum(float offset) {
            float total = 0.0f;
            for (int32_t k = 0; k < count; ++k) {
                total += readAt(current, kIndexMask, positionFor<kOffset>(offset));
                advance();
            }
            return total;
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

    static float modulationAt(float phaseMod, float depth) {
        return zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f);
    }

    // The block loop, computing only the offset terms that are not silent.
    template <OffsetTerms kTerms>
    void run(OscillatorInputs const& in, float* out, int32_t sampleFrames) {
        float const* pitch = in.pitch;
        // Running values live in locals for the block, so that writes to the output cannot be
        // taken to change them.
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
                offset = (modulationAt(in.phaseMod[s], in.phaseModDepth[s]) + previousOut * zr::clampf(in.feedback[s], -1.0f, 1.0f)) * kCycle;
            else if constexpr (kTerms == OffsetTerms::modulation)
                offset = modulationAt(in.phaseMod[s], in.phaseModDepth[s]) * kCycle;
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
            float const sum = fade == 1.0f ? steps.template sum<kOffset>(offset) : steps.template sumCrossfaded<kOffset>(offset, fade);
            previousOut = sum * average;
            out[s] = previousOut;
            fade = std::min(1.0f, fade + crossfadeStep);
        }
        // Then the current table alone. The fade stays at 1 (1 + a positive step is clamped
        // back to 1), so its update is left out: it would be one more chain of dependent
        // operations through every sample.
        if constexpr (kTerms != OffsetTerms::modulationAndFeedback) {
            // No sample depends on the one before except through the phase: first the read
            // positions of a stretch (the phase accumulator alone), then all its table reads
            // at once. One sub-step averages with 1, which leaves every sum as it is.
            if (steps.count == 1 && s < sampleFrames) {
                while (s < sampleFrames) {
                    int32_t const length = std::min(sampleFrames - s, kStretch);
                    for (int32_t i = 0; i < length;) {
                        followPitch(s + i);
                        // The samples after it at the same pitch leave the increment as it is.
                        int32_t const end = i + 1 + leadingEqual(pitch + s + i + 1, length - i - 1, pitchSeen);
                        for (; i < end; ++i) {
                            readPositions[static_cast<size_t>(i)] = steps.template positionFor<kOffset>(offsetAt(s + i));
                            steps.advance();
                        }
                    }
                    readBlock(steps.current, kIndexMask, readPositions.data(), out + s, length);
                    s += length;
                }
                previousOut = out[sampleFrames - 1];
            }
        } else if (steps.count == 1) {
            for (; s < sampleFrames; ++s) {
                followPitch(s);
                previousOut = steps.template single<kOffset>(offsetAt(s)) * average;
                out[s] = previousOut;
            }
        }
        for (; s < sampleFrames; ++s) {
            followPitch(s);
            previousOut = steps.template sum<kOffset>(offsetAt(s)) * average;
            out[s] = previousOut;
        }
        phase = steps.phase;
        increment = steps.increment;
        lastOut = previousOut;
        crossfade = fade;
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
        source.renderShape(target.data(), kTableSize);
        float sum = 0.0f;
        for (float& entry : target) {
            entry = zr::clampf(0.5f * entry, -1.0f, 1.0f);
            sum += entry;
        }
        if (!removeDC)
            return;
        float const mean = sum * (1.0f / kCycle);
        for (float& entry : target)
            entry -= mean;
    }

    WaveSource& source;
    std::array<WaveTable, 2> waveTables{}; // the current one and the one fading out
    std::array<float, kStretch> readPositions{};
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
