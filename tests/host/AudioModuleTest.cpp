// The module runner against an in-process fake module: when it calls it, what it records.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "host/AudioModule.h"
#include "tests/host/FakeModule.h"

namespace zr::host {
namespace {

using fakes::FakeBehaviour;
using fakes::FakeFactory;
using fakes::fakeModuleId;

// A module that asked to sleep is not called until an event arrives; its held value is
// written again for a longer block and after someone was given the output to write into.
TEST(AudioModule, SleepingModuleIsNotCalledAndItsOutputsHoldTheirLastSample) {
    FakeFactory factory{FakeBehaviour{.rampOutputs = {1}, .sleepAfterEachBlock = true}};
    AudioModule module{factory, fakeModuleId};
    ASSERT_EQ(module.connectAudio(0, gmpi::MP_IN), gmpi::MP_OK);
    ASSERT_EQ(module.connectAudio(1, gmpi::MP_OUT), gmpi::MP_OK);
    module.process(16); // the module runs once before it can ask to sleep: it holds 1015
    ASSERT_TRUE(module.host().asleep());
    // Block size, and whether the output is written through buffer() before the block.
    std::pair<int32_t, bool> const steps[] = {
        {8, false}, {8, false}, {4, false}, {48, false}, {16, true}, {48, true}, {48, false}};
    for (auto const& [block, scribble] : steps) {
        SCOPED_TRACE(testing::Message() << "block of " << block << (scribble ? " after a write" : ""));
        if (scribble)
            std::fill_n(module.buffer(1), 64, -3.0f);
        module.process(block);
        for (int32_t i = 0; i < block; ++i)
            ASSERT_EQ(module.samples(1)[i], 1015.0f) << "sample " << i;
    }
    EXPECT_EQ(factory.seen.processCalls, 1);

    module.setFloat(0, 0, 1.0f);
    factory.behaviour.sleepAfterEachBlock = false; // woken, it stays awake
    module.process(8);
    EXPECT_EQ(factory.seen.processCalls, 2);
    EXPECT_EQ(module.buffer(1)[7], 2007.0f);
    module.process(8);
    EXPECT_EQ(factory.seen.processCalls, 3);
    EXPECT_EQ(module.blocksRun(), 10);
    EXPECT_EQ(module.samplesProcessed(), 32) << "the samples of the three calls";
}

// Queued events reach the next block only (processBlocks: its first); each value sent is
// recorded as it was at the call (the module reuses its buffer), stamped with its block.
TEST(AudioModule, EventsReachTheNextBlockOnlyAndSendsAreRecordedAsSent) {
    FakeFactory factory{FakeBehaviour{.rampOutputs = {}, .echoPin = 2, .echoSize = 4}};
    AudioModule module{factory, fakeModuleId};
    module.setFloat(0, 3, 1.0f);
    module.setFloat(0, 0, 2.0f);
    module.process(32);
    module.graphStart();
    module.processBlocks(100, 32);
    EXPECT_EQ(factory.seen.eventsPerCall, (std::vector<std::size_t>{2, 1, 0, 0, 0}));
    EXPECT_EQ(module.samplesProcessed(), 132);

    std::vector<HostRecord> const sent = module.host().pinSets(2);
    ASSERT_EQ(sent.size(), 5u);
    for (std::size_t block = 0; block < sent.size(); ++block) {
        EXPECT_EQ(sent[block].block, static_cast<int64_t>(block));
        EXPECT_EQ(sent[block].bytes, std::vector<uint8_t>(4, static_cast<uint8_t>(block + 1)));
    }
}

} // namespace
} // namespace zr::host
