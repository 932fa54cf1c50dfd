// The waveshaper on the audio thread: once its curve is set, blocks that carry only audio
// and streaming events allocate and lock nothing.

#include <gtest/gtest.h>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/RealtimeProbe.h"

namespace {

using zr::host::RealtimeProbe;

constexpr int32_t kInput = 4, kOut = 5;

TEST(WaveshaperRealtime, AudioAndStreamingBlocksAllocateAndLockNothing) {
    zr::host::Bundle bundle(ZR_BUNDLE_PATH);
    auto const descriptions = zr::host::ModuleDescriptions::load(ZR_METADATA_PATH);
    zr::host::AudioModuleOptions options;
    options.description = *descriptions.find(L"ZR_Waveshaper2");
    zr::host::AudioModule module(bundle, L"ZR_Waveshaper2", options);
    module.connectAudio(kInput);
    module.connectAudio(kOut);
    module.open();
    module.graphStart();
    module.sendDefaults();
    module.startStream(kInput, 0);
    module.process(64); // the first batch renders the curve

    for (int i = 0; i < 512; ++i)
        module.buffer(kInput)[i] = static_cast<float>(i % 100) / 50.0f - 1.0f;

    struct Step {
        char const* name;
        void (*queue)(zr::host::AudioModule&);
        int32_t blockSize;
    };
    Step const steps[] = {
        {"audio only", [](zr::host::AudioModule&) {}, 512},
        {"stream start", [](zr::host::AudioModule& m) { m.startStream(kInput, 17); }, 64},
        {"audio while streaming", [](zr::host::AudioModule&) {}, 64},
        {"stream stop", [](zr::host::AudioModule& m) { m.stopStream(kInput, 3); }, 512},
        {"stream start again", [](zr::host::AudioModule& m) { m.startStream(kInput, 0); }, 16},
    };
    for (auto const& step : steps) {
        SCOPED_TRACE(step.name);
        step.queue(module);
        RealtimeProbe::Region region;
        module.process(step.blockSize);
        auto const counts = region.counts();
        EXPECT_EQ(counts.allocations, 0);
        EXPECT_EQ(counts.frees, 0);
        EXPECT_EQ(counts.locks, 0);
    }
    EXPECT_EQ(module.processCalls(), 6) << "every block reached the module";
}

} // namespace
