// The module runner and its audio host, driven against an in-process fake module: what the
// module is told, when it is called, and what is recorded of what it sends.

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "host/AudioModule.h"
#include "tests/host/FakeModule.h"

namespace zr::host {
namespace {

using fakes::FakeBehaviour;
using fakes::FakeFactory;
using fakes::fakeModuleId;

// Each switch shows in what the module is told, whichever way it was created; the module
// holds exactly the host references it was handed and gives them all back.
TEST(AudioModule, HostileSwitchesReachTheModule) {
    enum class Iterator { Given, Unwritten, Null };
    struct Case {
        char const* name;
        HostileSwitches hostile;
        bool host, processorHost;
        float sampleRate;
        int32_t countdown;
        Iterator iterator;
    };
    Case const cases[] = {
        {"none", {}, true, true, 44100.0f, 7, Iterator::Given},
        {"host refused", {.refuseHost = true}, false, true, -1.0f, -1, Iterator::Unwritten},
        {"processor host refused", {.refuseProcessorHost = true}, true, false, 44100.0f, 7, Iterator::Given},
        {"countdown unwritten", {.leaveCountdownUnwritten = true}, true, true, 44100.0f, -1, Iterator::Given},
        {"sample rate unwritten", {.leaveSampleRateUnwritten = true}, true, true, -1.0f, 7, Iterator::Given},
        {"iterator unwritten", {.leaveIteratorUnwritten = true}, true, true, 44100.0f, 7, Iterator::Unwritten},
        {"null iterator", {.nullIterator = true}, true, true, 44100.0f, 7, Iterator::Null},
    };
    for (Case const& c : cases) {
        for (bool useCreateInstance2 : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (useCreateInstance2 ? ", createInstance2" : ", createInstance"));
            FakeFactory factory;
            AudioModule::Options options;
            options.hostile = c.hostile;
            options.sampleRate = 44100.0f;
            options.countdown = 7;
            options.iteratorPins = {{0, gmpi::MP_IN, gmpi::MP_BLOB}, {1, gmpi::MP_OUT, gmpi::MP_AUDIO}};
            options.useCreateInstance2 = useCreateInstance2;
            AudioModule module(factory, fakeModuleId, options);
            module.open();
            EXPECT_EQ(factory.seen.host != nullptr, c.host);
            EXPECT_EQ(factory.seen.gotProcessorHost, c.processorHost);
            if (useCreateInstance2) {
                EXPECT_EQ(module.setHostResult(), c.host ? gmpi::MP_OK : gmpi::MP_NOSUPPORT);
            }
            EXPECT_EQ(factory.seen.sampleRate, c.sampleRate);
            EXPECT_EQ(factory.seen.countdown, c.countdown);
            EXPECT_EQ(factory.seen.iterator == nullptr, c.iterator == Iterator::Null);
            EXPECT_EQ(factory.seen.iterator == reinterpret_cast<void*>(1), c.iterator == Iterator::Unwritten);
            EXPECT_EQ(factory.seen.pinCount, c.iterator == Iterator::Given ? 2 : -1);
            EXPECT_EQ(module.host().referenceCount(), int(c.host) + int(c.processorHost));
            module.releaseModule();
            EXPECT_EQ(factory.seen.instancesAlive, 0);
            EXPECT_EQ(module.host().referenceCount(), 0);
        }
    }
}

// A real host stops calling a module that asked to sleep until an event arrives for it.
TEST(AudioModule, SleepingModuleIsNotCalledAndItsOutputsHoldTheirLastSample) {
    FakeBehaviour behaviour;
    behaviour.rampOutputs = {1};
    behaviour.sleepAfterEachBlock = true;
    FakeFactory factory(behaviour);
    AudioModule module(factory, fakeModuleId);
    ASSERT_EQ(module.connectAudio(0, gmpi::MP_IN), gmpi::MP_OK);
    ASSERT_EQ(module.connectAudio(1, gmpi::MP_OUT), gmpi::MP_OK);

    module.process(16); // the module runs once before it can ask to sleep
    EXPECT_EQ(module.buffer(1)[15], 1015.0f);
    ASSERT_TRUE(module.host().asleep());

    std::fill_n(module.buffer(0), 32, 0.75f);
    module.process(32);
    EXPECT_EQ(factory.seen.processCalls, 1);
    for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(module.buffer(1)[i], 1015.0f) << "sample " << i;
        ASSERT_EQ(module.buffer(0)[i], 0.75f) << "input touched at sample " << i;
    }

    module.setFloat(0, 0, 1.0f);
    factory.behaviour.sleepAfterEachBlock = false; // woken, it stays awake
    module.process(8);
    EXPECT_EQ(factory.seen.processCalls, 2);
    EXPECT_EQ(module.buffer(1)[7], 2007.0f);
    module.process(8);
    EXPECT_EQ(factory.seen.processCalls, 3);
    EXPECT_EQ(module.blocksRun(), 4);
    EXPECT_EQ(module.samplesProcessed(), 32);
}

// The held value is written once per sleep, again only for a longer block, and again after
// someone was given the output to write into.
TEST(AudioModule, HeldOutputsSurviveBlocksOfAnyLengthAndWritesThroughBuffer) {
    FakeBehaviour behaviour;
    behaviour.rampOutputs = {1};
    behaviour.sleepAfterEachBlock = true;
    FakeFactory factory(behaviour);
    AudioModule module(factory, fakeModuleId);
    ASSERT_EQ(module.connectAudio(0, gmpi::MP_IN), gmpi::MP_OK);
    ASSERT_EQ(module.connectAudio(1, gmpi::MP_OUT), gmpi::MP_OK);
    module.process(16);
    ASSERT_TRUE(module.host().asleep());

    struct Step {
        int32_t block;
        bool scribble; // write into the output through buffer() before the block
    } const steps[] = {{8, false}, {8, false}, {4, false}, {48, false}, {16, true}, {48, true}, {48, false}};
    for (Step const step : steps) {
        SCOPED_TRACE(testing::Message() << "block of " << step.block << (step.scribble ? " after a write" : ""));
        if (step.scribble)
            std::fill_n(module.buffer(1), 64, -3.0f);
        module.process(step.block);
        float const* out = module.samples(1);
        for (int32_t i = 0; i < step.block; ++i)
            ASSERT_EQ(out[i], 1015.0f) << "sample " << i;
    }
    EXPECT_EQ(factory.seen.processCalls, 1);
}

// Queued events reach the next block only, processBlocks hands them to its first block, and
// each value the module sends is recorded as it was at the call (the module reuses its
// buffer), stamped with its block.
TEST(AudioModule, EventsReachTheNextBlockOnlyAndSendsAreRecordedAsSent) {
    FakeBehaviour behaviour;
    behaviour.echoPin = 2;
    behaviour.echoSize = 4;
    FakeFactory factory(behaviour);
    AudioModule module(factory, fakeModuleId);
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

// What a pin cannot take, a block larger than the buffers and a pin of unknown direction are
// refused, and nothing refused is queued; described defaults go to inputs only. (The value
// encodings themselves are checked on description defaults.)
TEST(AudioModule, RefusesWhatItCannotDeliver) {
    FakeFactory factory;
    AudioModule::Options options;
    options.description = fakes::fakeDescription();
    options.maxBlockSize = 64;
    AudioModule module(factory, fakeModuleId, options);
    for (auto const& [pin, value] : {std::pair<char const*, nlohmann::json>{"Levle", 1.0}, {"Peak", 1.0},
                                     {"Input", 0.5}, {"Level", "x"}}) {
        EXPECT_THROW(module.setByName(pin, 0, value), std::invalid_argument) << pin;
    }
    EXPECT_THROW(module.process(65), std::invalid_argument);
    EXPECT_THROW(module.connectAudio(9), std::invalid_argument);
    EXPECT_THROW(module.buffer(1), std::out_of_range);
    module.process(8);
    module.sendDefaults();
    module.process(8);
    EXPECT_EQ(factory.seen.eventsPerCall, (std::vector<std::size_t>{0, 1}));
}

} // namespace
} // namespace zr::host
