// The oscillator, envelope, stereo waveshaper and amplifier on the audio thread: once set up,
// their blocks allocate and lock nothing, whether they carry audio only, gates, new shapes of
// a known size, or value changes.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/RealtimeProbe.h"

namespace {

using zr::host::AudioModule;
using zr::host::RealtimeProbe;

std::vector<uint8_t> image(float y0, float yMiddle, float y1) {
    float const words[] = {0.0f, y0, 0.5f, yMiddle, 1.0f, y1};
    std::vector<uint8_t> bytes(8 + sizeof words);
    uint32_t const magic = 0x53484150;
    int32_t const count = 3;
    std::memcpy(bytes.data(), &magic, 4);
    std::memcpy(bytes.data() + 4, &count, 4);
    std::memcpy(bytes.data() + 8, words, sizeof words);
    return bytes;
}

struct Step {
    char const* name;
    std::function<void(AudioModule&)> queue;
    int32_t blockSize;
};

struct ModuleCase {
    std::wstring id;
    std::function<void(AudioModule&)> setUp; // runs before the counted blocks, may allocate
    std::vector<Step> steps;
};

void expectNoAllocationOrLock(ModuleCase const& c) {
    static zr::host::Bundle bundle(ZR_BUNDLE_PATH);
    static auto const descriptions = zr::host::ModuleDescriptions::load(ZR_METADATA_PATH);
    zr::host::AudioModuleOptions options;
    options.description = *descriptions.find(c.id);
    AudioModule module(bundle, c.id, options);
    for (auto const& pin : options.description->pins)
        if (pin.isAudio())
            module.connectAudio(pin.index, pin.direction);
    module.open();
    module.graphStart();
    module.sendDefaults();
    c.setUp(module);
    module.process(512);

    for (auto const& step : c.steps) {
        SCOPED_TRACE(step.name);
        step.queue(module);
        RealtimeProbe::Region region;
        module.process(step.blockSize);
        auto const counts = region.counts();
        EXPECT_EQ(counts.allocations, 0);
        EXPECT_EQ(counts.frees, 0);
        EXPECT_EQ(counts.locks, 0);
    }
}

auto nothing = [](AudioModule&) {};

TEST(AudioModulesRealtime, ShapeOsc2) {
    constexpr int32_t kGate = 0, kShape = 1, kInterpolation = 2, kOversampling = 4, kPitch = 6, kResetPhase = 7;
    expectNoAllocationOrLock({L"ZR_ShapeOsc2",
                              [](AudioModule& m) {
                                  std::fill_n(m.buffer(kPitch), 4096, 0.55f);
                                  m.setBytes(kShape, 0, image(-1.0f, 1.0f, -1.0f));
                              },
                              {
                                  {"audio only", nothing, 1024},
                                  {"new shape: a table renders and fades in", [](AudioModule& m) { m.setBytes(kShape, 9, image(0.5f, -1.0f, 0.5f)); }, 512},
                                  {"new mode during the fade", [](AudioModule& m) { m.setInt(kInterpolation, 3, 30); }, 1024},
                                  {"oversampling", [](AudioModule& m) { m.setInt(kOversampling, 0, 3); }, 256},
                                  {"phase reset", [](AudioModule& m) { m.setBool(kResetPhase, 30, true); }, 64},
                                  {"gate off", [](AudioModule& m) { m.setBool(kGate, 5, false); }, 256},
                                  {"gate on with a new shape", [](AudioModule& m) {
                                       m.setBytes(kShape, 0, image(0.1f, 0.2f, 0.3f));
                                       m.setBool(kGate, 0, true);
                                   }, 256},
                              }});
}

TEST(AudioModulesRealtime, ShapeEnv3) {
    constexpr int32_t kGate = 0, kShape = 1, kDuration = 3, kSustainNode = 4, kInput = 5, kClip = 6;
    expectNoAllocationOrLock({L"ZR_ShapeEnv3",
                              [](AudioModule& m) {
                                  std::fill_n(m.buffer(kInput), 4096, 0.5f);
                                  m.setBytes(kShape, 0, image(-1.0f, 1.0f, -1.0f));
                                  m.setInt(kSustainNode, 0, 1);
                                  m.setFloat(kDuration, 0, 20.0f);
                              },
                              {
                                  {"gate on: renders and fills the table", [](AudioModule& m) { m.setBool(kGate, 3, true); }, 512},
                                  {"holding", nothing, 1024},
                                  {"retrigger with a new shape", [](AudioModule& m) {
                                       m.setBytes(kShape, 0, image(0.0f, 0.5f, -1.0f));
                                       m.setBool(kGate, 0, true);
                                   }, 512},
                                  {"duration while running", [](AudioModule& m) { m.setFloat(kDuration, 7, 5.0f); }, 256},
                                  {"release", [](AudioModule& m) { m.setBool(kGate, 0, false); }, 1024},
                                  {"clip and gate", [](AudioModule& m) {
                                       m.setBool(kClip, 0, false);
                                       m.setBool(kGate, 1, true);
                                   }, 2048},
                                  {"silent", nothing, 1024},
                              }});
}

TEST(AudioModulesRealtime, Waveshaper2ST) {
    constexpr int32_t kRangeLow = 2, kInputLeft = 4, kInputRight = 5;
    expectNoAllocationOrLock({L"ZR_Waveshaper2ST",
                              [](AudioModule& m) {
                                  for (int32_t i = 0; i < 4096; ++i)
                                      m.buffer(kInputLeft)[i] = m.buffer(kInputRight)[i] = static_cast<float>(i % 100) / 50.0f - 1.0f;
                                  m.startStream(kInputLeft, 0);
                              },
                              {
                                  {"audio only", nothing, 1024},
                                  {"right starts", [](AudioModule& m) { m.startStream(kInputRight, 17); }, 256},
                                  {"range", [](AudioModule& m) { m.setFloat(kRangeLow, 40, -2.0f); }, 256},
                                  {"both stop", [](AudioModule& m) {
                                       m.stopStream(kInputLeft, 0);
                                       m.stopStream(kInputRight, 0);
                                   }, 512},
                                  {"asleep, woken by a range", [](AudioModule& m) { m.setFloat(kRangeLow, 0, -3.0f); }, 512},
                              }});
}

TEST(AudioModulesRealtime, ShapeAmp2) {
    constexpr int32_t kShape = 0, kCenter = 1, kGain = 2;
    expectNoAllocationOrLock({L"ZR_ShapeAmp2",
                              [](AudioModule& m) { m.setBytes(kShape, 0, image(-1.0f, 1.0f, -1.0f)); },
                              {
                                  {"gain", [](AudioModule& m) { m.setFloat(kGain, 3, 0.5f); }, 64},
                                  {"center", [](AudioModule& m) { m.setFloat(kCenter, 0, 1.5f); }, 64},
                                  {"a shape of the same size", [](AudioModule& m) { m.setBytes(kShape, 0, image(0.2f, 0.1f, 0.0f)); }, 64},
                              }});
}

// The older generation: table fills, lookups, pulses and rewritten texts of a known length.
TEST(AudioModulesRealtime, LegacyWaveshaper) {
    constexpr int32_t kShape = 0, kInput1 = 1, kMode = 3;
    expectNoAllocationOrLock({L"ZR_Waveshaper",
                              [](AudioModule& m) {
                                  m.setText(kShape, 0, L"(-5,-5)(0,5)(5,-5)");
                                  for (int32_t i = 0; i < 1024; ++i)
                                      m.buffer(kInput1)[i] = static_cast<float>(i % 100) / 50.0f - 1.0f;
                                  m.startStream(kInput1, 0);
                              },
                              {
                                  {"audio only", nothing, 1024},
                                  {"a text of the same length", [](AudioModule& m) { m.setText(kShape, 5, L"(-5,-4)(0,4)(5,-4)"); }, 256},
                                  {"mode 1", [](AudioModule& m) { m.setInt(kMode, 0, 1); }, 256},
                                  {"mode 2", [](AudioModule& m) { m.setInt(kMode, 9, 2); }, 256},
                              }});
}

TEST(AudioModulesRealtime, LegacyPulser) {
    constexpr int32_t kShape = 0, kDuration = 1, kGate = 2, kMode = 3;
    expectNoAllocationOrLock({L"ZR_ShapePulser",
                              [](AudioModule& m) {
                                  m.setText(kShape, 0, L"(-5,-5)(0,5)(5,-5)");
                                  for (int32_t i = 0; i < 1024; ++i) {
                                      m.buffer(kGate)[i] = (i / 100) % 2 == 0 ? 1.0f : 0.0f;
                                      m.buffer(kDuration)[i] = 0.1f + static_cast<float>(i % 7) * 0.01f;
                                  }
                                  m.startStream(kGate, 0);
                                  m.startStream(kDuration, 0);
                              },
                              {
                                  {"pulses", nothing, 1024},
                                  {"impulses", [](AudioModule& m) { m.setInt(kMode, 0, 3); }, 1024},
                                  {"a text of the same length", [](AudioModule& m) { m.setText(kShape, 5, L"(-5,-4)(0,4)(5,-4)"); }, 512},
                              }});
}

TEST(AudioModulesRealtime, LegacyShapeAmp) {
    constexpr int32_t kShape = 0, kCenter = 1, kGain = 2;
    expectNoAllocationOrLock({L"ZR_ShapeAmp",
                              [](AudioModule& m) {
                                  m.setText(kShape, 0, L"(-5,-5)(0,5)(5,-5)");
                                  m.setFloat(kGain, 0, 0.123f);
                              },
                              {
                                  {"gain", [](AudioModule& m) { m.setFloat(kGain, 3, 2.0f); }, 64},
                                  {"center", [](AudioModule& m) { m.setFloat(kCenter, 0, 1.0f); }, 64},
                              }});
}

} // namespace
