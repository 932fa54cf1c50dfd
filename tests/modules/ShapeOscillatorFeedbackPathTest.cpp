// ZR_ShapeOsc2 leaves the Feedback term out of blocks in which that input is silent. The
// output must stay bit-identical to the full per-sample formula, which a reference model here
// computes for every sample, feedback term included, from a table rendered by the shape core.

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "modules/FastExp2.h"
#include "shapes/Clamp.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"
#include "tests/modules/ShapeModuleSupport.h"

namespace {

constexpr int32_t kPitch = 6, kPhaseMod = 8, kPhaseModDepth = 9, kFeedback = 10, kOut = 11;

// The formula of one output sample with one sub-step, as the oscillator first computed it.
struct ReferenceOscillator {
    std::vector<float> table;
    float phase = 0.0f, increment = 0.0f, lastPitch = -1.0f, lastOut = 0.0f;

    ReferenceOscillator() {
        zr::Shape::Interpolator interpolator(zr::Shape(L"(-5,-5)(5,5)"), 1024);
        interpolator.render();
        for (int32_t i = 0; i < 1024; ++i)
            table.push_back(zr::clampf(0.5f * interpolator.readNext(), -1.0f, 1.0f));
    }

    float next(float pitch, float phaseMod, float depth, float feedback) {
        if (pitch != lastPitch) {
            float const v = pitch > 0.0f ? std::min(pitch, 1.0f) : 0.0f;
            float const scale = 1.0f / 48000.0f * 1024.0f * 440.0f;
            increment = zr::fastExp2(zr::clampf(v * 10.0f + (-5.0f), -127.0f, 128.0f)) * 1.0f * scale;
            lastPitch = pitch;
        }
        float const offset = (zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f) +
                              lastOut * zr::clampf(feedback, -1.0f, 1.0f)) * 1024.0f;
        float position = offset + phase;
        if (!(position >= 0.0f && position < 1024.0f)) {
            position = std::fmod(position, 1024.0f);
            position = position < 0.0f ? position + 1024.0f : position;
        }
        if (!(position >= 0.0f && position <= 1024.0f))
            position = phase;
        auto const index = static_cast<int32_t>(position);
        float const fraction = position - static_cast<float>(index);
        float const a = table[static_cast<size_t>(index & 1023)], b = table[static_cast<size_t>((index + 1) & 1023)];
        float const sample = (a + fraction * (b - a)) * 1.0f;
        phase += increment;
        if (phase >= 1024.0f)
            phase = std::fmod(phase, 1024.0f);
        lastOut = sample;
        return sample;
    }
};

enum class FeedbackKind { notStreaming, streamingZeros, streamingValues, mixed };

TEST(ShapeOscillatorFeedbackPath, OutputIsBitIdenticalToTheFullFormulaWhateverTheFeedback) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto osc = zr::test::running(L"ZR_ShapeOsc2"); // gate on, the default ramp, one sub-step, volts per octave
    ReferenceOscillator reference;

    FeedbackKind const blocks[] = {FeedbackKind::notStreaming, FeedbackKind::streamingValues, FeedbackKind::streamingZeros,
                                   FeedbackKind::mixed, FeedbackKind::notStreaming, FeedbackKind::streamingValues,
                                   FeedbackKind::mixed, FeedbackKind::streamingZeros};
    bool streaming = false;
    int32_t blockNumber = 0;
    for (FeedbackKind kind : blocks) {
        for (int32_t blockSize : {1, 16, 64, 333}) {
            SCOPED_TRACE(testing::Message() << "block " << blockNumber++ << " of " << blockSize << " samples");
            bool const wantStreaming = kind != FeedbackKind::notStreaming;
            if (wantStreaming != streaming) {
                wantStreaming ? osc->startStream(kFeedback, 0) : osc->stopStream(kFeedback, 0);
                streaming = wantStreaming;
            }
            float* pitch = osc->buffer(kPitch);
            float* phaseMod = osc->buffer(kPhaseMod);
            float* depth = osc->buffer(kPhaseModDepth);
            float* feedback = osc->buffer(kFeedback);
            for (int32_t s = 0; s < blockSize; ++s) {
                pitch[s] = s % 50 == 0 ? 0.5f + 0.4f * unit(rng) : (s > 0 ? pitch[s - 1] : 0.6f);
                phaseMod[s] = 1.2f * unit(rng);
                depth[s] = unit(rng);
                feedback[s] = kind == FeedbackKind::streamingValues ? 1.2f * unit(rng)
                              : kind == FeedbackKind::mixed && s % 3 == 0 ? unit(rng)
                              : (s % 2 == 0 ? 0.0f : -0.0f);
            }
            osc->process(blockSize);
            float const* out = osc->buffer(kOut);
            for (int32_t s = 0; s < blockSize; ++s) {
                float const expected = reference.next(pitch[s], phaseMod[s], depth[s], feedback[s]);
                ASSERT_EQ(std::bit_cast<uint32_t>(out[s]), std::bit_cast<uint32_t>(expected)) << "sample " << s;
            }
        }
    }
}

} // namespace
