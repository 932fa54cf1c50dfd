// ZR_ShapeOsc2's blocks that leave out silent offset terms keep the bits of the whole offset.

#include <bit>
#include <random>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kPitch = 6, kPhaseMod = 8, kPhaseModDepth = 9, kFeedback = 10, kOut = 11;

// A Feedback of 1e-30 moves no read position, yet makes every block compute every term.
TEST(ShapeOscillatorFeedbackPath, LeavingOutSilentTermsKeepsTheBitsOfTheWholeOffset) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto lean = running(L"ZR_ShapeOsc2");
    auto whole = running(L"ZR_ShapeOsc2");
    int32_t blockNumber = 0;
    for (bool modulated : {false, true, false, true}) {
        for (int32_t blockSize : {1, 16, 64, 333}) {
            SCOPED_TRACE(testing::Message() << "block " << blockNumber++ << " of " << blockSize << " samples");
            for (int32_t s = 0; s < blockSize; ++s) {
                float const pitch = s % 50 == 0 ? 0.5f + 0.4f * unit(rng) : lean->buffer(kPitch)[s - 1];
                float const phaseMod = modulated ? 1.2f * unit(rng) : 0.0f;
                float const depth = modulated ? unit(rng) : 0.0f;
                for (auto* osc : {lean.get(), whole.get()}) {
                    osc->buffer(kPitch)[s] = pitch;
                    osc->buffer(kPhaseMod)[s] = phaseMod;
                    osc->buffer(kPhaseModDepth)[s] = depth;
                }
                lean->buffer(kFeedback)[s] = s % 2 == 0 ? 0.0f : -0.0f;
                whole->buffer(kFeedback)[s] = 1e-30f;
            }
            lean->process(blockSize);
            whole->process(blockSize);
            for (int32_t s = 0; s < blockSize; ++s)
                ASSERT_EQ(std::bit_cast<uint32_t>(lean->buffer(kOut)[s]), std::bit_cast<uint32_t>(whole->buffer(kOut)[s]))
                    << "sample " << s;
        }
    }
}

} // namespace
} // namespace zr::test
