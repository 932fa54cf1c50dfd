// ZR_ShapeAmp2 through the bundle: the exact image it sends for each batch of events.

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;
using Nodes = std::vector<std::pair<float, float>>;

constexpr int32_t kShape = 0, kCenter = 1, kGain = 2, kShapeOut = 3;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class ShapeAmplifier : public testing::Test {
protected:
    void SetUp() override {
        amp = zr::test::makeModule(L"ZR_ShapeAmp2");
        amp->open();
        amp->graphStart();
        amp->sendDefaults();
        amp->process(16);
    }

    // The images sent in one block of 16 samples with the events queued.
    std::vector<zr::host::HostRecord> sendsOfNextBlock() {
        amp->host().clearRecords();
        amp->process(16);
        return amp->host().pinSets(kShapeOut);
    }

    std::unique_ptr<zr::host::AudioModule> amp;
};

TEST_F(ShapeAmplifier, FirstBatchSendsTheDefaultShape) {
    auto const sent = amp->host().pinSets(kShapeOut);
    ASSERT_EQ(sent.size(), 2u) << "the first update at graph start, then the first batch";
    EXPECT_EQ(sent[0].size, 0);
    EXPECT_EQ(sent[1].bytes, shapeImage({{0.0f, 0.0f}, {1.0f, 0.0f}}));
}

TEST_F(ShapeAmplifier, ScalesHeightsAroundTheCenter) {
    Nodes const input = {{0.0f, -0.5f}, {0.25f, 0.25f}, {0.5f, 0.75f}, {1.0f, 0.0f}};
    struct Case {
        char const* name;
        float centerVolts, gain;
        Nodes expected; // normalised; x never changes
    };
    Case const cases[] = {
        {"gain 1: unchanged", 2.0f, 1.0f, input},
        {"gain 2 around 0", 0.0f, 2.0f, {{0.0f, -1.0f}, {0.25f, 0.5f}, {0.5f, 1.0f}, {1.0f, 0.0f}}},
        {"gain 0: flat at the center", 2.5f, 0.0f, {{0.0f, 0.5f}, {0.25f, 0.5f}, {0.5f, 0.5f}, {1.0f, 0.5f}}},
        {"gain -1: mirrored around the center", 1.25f, -1.0f,
         {{0.0f, 1.0f}, {0.25f, 0.25f}, {0.5f, -0.25f}, {1.0f, 0.5f}}},
        {"center beyond +5 V acts as +5 V", 20.0f, 0.0f, {{0.0f, 1.0f}, {0.25f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
        {"center beyond -5 V acts as -5 V", -7.5f, 0.5f,
         {{0.0f, -0.75f}, {0.25f, -0.375f}, {0.5f, -0.125f}, {1.0f, -0.5f}}},
        {"NaN gain clips to the top", 0.0f, kNaN, {{0.0f, 1.0f}, {0.25f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        amp->setBytes(kShape, 3, shapeImage(input));
        amp->setFloat(kCenter, 3, c.centerVolts);
        amp->setFloat(kGain, 3, c.gain);
        auto const sent = sendsOfNextBlock();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].timestamp, 3);
        EXPECT_EQ(sent[0].bytes, shapeImage(c.expected));
    }
}

TEST_F(ShapeAmplifier, SendsOncePerBatchThatChangesSomething) {
    amp->setBytes(kShape, 0, shapeImage({{0.0f, 0.5f}, {1.0f, -0.5f}}));
    amp->setFloat(kGain, 0, 2.0f);
    ASSERT_EQ(sendsOfNextBlock().size(), 1u);

    struct Step {
        char const* name;
        void (*queue)(zr::host::AudioModule&);
        size_t sends;
        Nodes lastImage;
    };
    Step const steps[] = {
        {"nothing", [](zr::host::AudioModule&) {}, 0, {}},
        {"the same center", [](zr::host::AudioModule& m) { m.setFloat(kCenter, 0, 0.0f); }, 0, {}},
        {"the same shape", [](zr::host::AudioModule& m) { m.setBytes(kShape, 0, shapeImage({{0.0f, 0.5f}, {1.0f, -0.5f}})); }, 0, {}},
        {"the same gain", [](zr::host::AudioModule& m) { m.setFloat(kGain, 0, 2.0f); }, 1, {{0.0f, 1.0f}, {1.0f, -1.0f}}},
        {"a new center", [](zr::host::AudioModule& m) { m.setFloat(kCenter, 0, 2.5f); }, 1, {{0.0f, 0.5f}, {1.0f, -1.0f}}},
        {"a rejected image with a gain", [](zr::host::AudioModule& m) {
             m.setBytes(kShape, 0, {1, 2, 3});
             m.setFloat(kGain, 0, 1.0f);
         }, 1, {{0.0f, 0.5f}, {1.0f, -0.5f}}},
        {"shape, center and gain at once", [](zr::host::AudioModule& m) {
             m.setBytes(kShape, 5, shapeImage({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}));
             m.setFloat(kCenter, 5, 0.0f);
             m.setFloat(kGain, 5, 0.5f);
         }, 1, {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}}},
    };
    for (auto const& step : steps) {
        SCOPED_TRACE(step.name);
        step.queue(*amp);
        auto const sent = sendsOfNextBlock();
        ASSERT_EQ(sent.size(), step.sends);
        if (step.sends > 0) {
            EXPECT_EQ(sent.back().bytes, shapeImage(step.lastImage));
        }
    }
}

} // namespace
