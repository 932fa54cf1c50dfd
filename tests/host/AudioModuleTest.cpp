// The module runner: creation and hand-over, block and sleep handling, and values set by
// pin name. Driven against an in-process fake module.

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "host/AudioModule.h"
#include "host/ModuleDescriptions.h"
#include "tests/host/FakeModule.h"

namespace zr::host {
namespace {

using fakes::FakeBehaviour;
using fakes::FakeFactory;
using fakes::fakeModuleId;

template <typename T>
T decoded(fakes::ReceivedEvent const& event) {
    EXPECT_EQ(event.data.size(), sizeof(T));
    T value{};
    std::memcpy(&value, event.data.data(), std::min(sizeof(T), event.data.size()));
    return value;
}

TEST(AudioModule, BothCreationPathsHandTheHostOverOnceAndGiveItBack) {
    for (bool useCreateInstance2 : {false, true}) {
        SCOPED_TRACE(useCreateInstance2 ? "createInstance2" : "createInstance");
        FakeFactory factory;
        AudioModule::Options options;
        options.useCreateInstance2 = useCreateInstance2;
        AudioModule module(factory, fakeModuleId, options);
        EXPECT_EQ(factory.seen.setHostCalls, 1);
        EXPECT_EQ(factory.seen.host, static_cast<gmpi::IMpHost*>(&module.host()));
        EXPECT_TRUE(factory.seen.gotProcessorHost);
        EXPECT_EQ(module.setHostResult().has_value(), useCreateInstance2);
        EXPECT_EQ(module.host().referenceCount(), 2);

        module.releaseModule();
        EXPECT_EQ(factory.seen.instancesAlive, 0);
        EXPECT_EQ(module.host().referenceCount(), 0);
    }
}

TEST(AudioModule, UnknownIdentifierThrowsNamingIt) {
    FakeFactory factory;
    try {
        AudioModule module(factory, L"ZR_Nowhere");
        FAIL() << "no exception";
    } catch (std::runtime_error const& e) {
        EXPECT_NE(std::string(e.what()).find("ZR_Nowhere"), std::string::npos) << e.what();
    }
    EXPECT_EQ(factory.seen.instancesAlive, 0);
}

TEST(AudioModule, HostileSwitchesReachTheModule) {
    FakeFactory factory;
    AudioModule::Options options;
    options.hostile.refuseHost = true;
    options.useCreateInstance2 = true;
    AudioModule refused(factory, fakeModuleId, options);
    EXPECT_EQ(factory.seen.host, nullptr);
    EXPECT_EQ(refused.setHostResult(), std::optional<int32_t>(gmpi::MP_NOSUPPORT));

    FakeFactory silentFactory;
    AudioModule::Options silent;
    silent.hostile.leaveSampleRateUnwritten = true;
    silent.hostile.leaveCountdownUnwritten = true;
    silent.hostile.nullIterator = true;
    AudioModule module(silentFactory, fakeModuleId, silent);
    module.open();
    EXPECT_EQ(silentFactory.seen.sampleRate, -1.0f);
    EXPECT_EQ(silentFactory.seen.countdown, -1);
    EXPECT_EQ(silentFactory.seen.iterator, nullptr);
}

TEST(AudioModule, ValuesArriveWithTheirTypeAndBytes) {
    FakeFactory factory;
    AudioModule module(factory, fakeModuleId);
    module.setInt(0, 1, -5);
    module.setFloat(1, 2, 0.5f);
    module.setBool(2, 3, true);
    module.setText(3, 4, L"abc");
    module.setBytes(4, 5, {9, 8, 7});
    module.midi(5, 6, {0x90, 60, 100});
    module.startStream(6, 7);
    module.stopStream(6, 8);
    module.graphStart(9);
    module.process(16);

    std::vector<fakes::ReceivedEvent> const& got = factory.seen.events;
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(decoded<int32_t>(got[0]), -5);
    EXPECT_EQ(decoded<float>(got[1]), 0.5f);
    EXPECT_EQ(decoded<uint8_t>(got[2]), 1);
    EXPECT_EQ(got[3].size, 12);
    EXPECT_TRUE(got[3].hadExtraData);
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t const*>(got[3].data.data()), 3), L"abc");
    EXPECT_EQ(got[4].data, (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(got[5].eventType, gmpi::EVENT_MIDI);
    EXPECT_EQ(got[5].data, (std::vector<uint8_t>{0x90, 60, 100}));
    EXPECT_EQ(got[6].eventType, gmpi::EVENT_PIN_STREAMING_START);
    EXPECT_EQ(got[7].eventType, gmpi::EVENT_PIN_STREAMING_STOP);
    EXPECT_EQ(got[8].eventType, gmpi::EVENT_GRAPH_START);
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].timeDelta, static_cast<int32_t>(i) + 1);
}

TEST(AudioModule, EventsGoToTheNextBlockOnly) {
    FakeFactory factory;
    AudioModule module(factory, fakeModuleId);
    module.setFloat(0, 0, 1.0f);
    module.setFloat(0, 3, 2.0f);
    module.process(32);
    module.process(32);
    EXPECT_EQ(factory.seen.eventsPerCall, (std::vector<std::size_t>{2, 0}));
}

// A real host stops calling a module that asked to sleep until an event arrives for it.
TEST(AudioModule, SleepingModuleIsNotCalledAndItsOutputsHoldTheirLastSample) {
    FakeBehaviour behaviour;
    behaviour.registeredPins = 2;
    behaviour.rampOutputs = {1};
    behaviour.sleepAfterEachBlock = true;
    FakeFactory factory(behaviour);
    AudioModule module(factory, fakeModuleId);
    ASSERT_EQ(module.connectAudio(0, gmpi::MP_IN), gmpi::MP_OK);
    ASSERT_EQ(module.connectAudio(1, gmpi::MP_OUT), gmpi::MP_OK);

    module.process(16);  // the module runs once before it can ask to sleep
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
    module.process(8);
    EXPECT_EQ(factory.seen.processCalls, 2);
    EXPECT_EQ(module.buffer(1)[7], 2007.0f);
    EXPECT_EQ(module.blocksRun(), 3);
    EXPECT_EQ(module.processCalls(), 2);
    EXPECT_EQ(module.samplesProcessed(), 24);
}

TEST(AudioModule, ProcessBlocksSplitsTheTotalAndSendsEventsOnce) {
    FakeFactory factory;
    AudioModule module(factory, fakeModuleId);
    module.graphStart();
    module.processBlocks(100, 32);
    EXPECT_EQ(module.blocksRun(), 4);
    EXPECT_EQ(module.samplesProcessed(), 100);
    EXPECT_EQ(factory.seen.eventsPerCall, (std::vector<std::size_t>{1, 0, 0, 0}));
}

TEST(AudioModule, BlocksLargerThanTheBuffersAreRefused) {
    FakeFactory factory;
    AudioModule::Options options;
    options.maxBlockSize = 64;
    AudioModule module(factory, fakeModuleId, options);
    EXPECT_THROW(module.process(65), std::invalid_argument);
    EXPECT_THROW(module.connectAudio(0), std::invalid_argument);  // direction unknown
}

constexpr char const* describedFake = R"({ "modules": [ { "id": "ZR_Fake", "subType": 0, "pins": [
    { "index": 0, "name": "Shape", "datatype": "blob", "direction": "in", "default": "50414853" },
    { "index": 1, "name": "Mode", "datatype": "enum", "direction": "in", "default": 10 },
    { "index": 2, "name": "Level", "datatype": "float", "direction": "in", "default": -5 },
    { "index": 3, "name": "Gate", "datatype": "bool", "direction": "in" },
    { "index": 4, "name": "Label", "datatype": "text", "direction": "in", "default": "h\u00e9" },
    { "index": 5, "name": "Input", "datatype": "audio", "direction": "in" },
    { "index": 6, "name": "Result", "datatype": "float", "direction": "out", "default": 1.0 }
] } ] })";

AudioModule::Options describedOptions() {
    AudioModule::Options options;
    options.description = *ModuleDescriptions::parse(describedFake).find(fakeModuleId);
    return options;
}

TEST(AudioModule, SendDefaultsSendsEachDescribedInputDefaultOnce) {
    FakeFactory factory;
    AudioModule module(factory, fakeModuleId, describedOptions());
    module.sendDefaults(4);
    module.process(16);

    std::vector<fakes::ReceivedEvent> const& got = factory.seen.events;
    ASSERT_EQ(got.size(), 4u);  // no default: Gate, Input; outputs get none
    EXPECT_EQ(got[0].pin, 0);
    EXPECT_EQ(got[0].data, (std::vector<uint8_t>{0x50, 0x41, 0x48, 0x53}));
    EXPECT_EQ(decoded<int32_t>(got[1]), 10);
    EXPECT_EQ(decoded<float>(got[2]), -5.0f);
    EXPECT_EQ(got[3].size, 8);
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t const*>(got[3].data.data()), 2), L"h\u00e9");
    for (fakes::ReceivedEvent const& event : got)
        EXPECT_EQ(event.timeDelta, 4);
}

TEST(AudioModule, SetByNameRefusesWhatThePinCannotTake) {
    FakeFactory factory;
    AudioModule module(factory, fakeModuleId, describedOptions());
    struct Case {
        char const* name;
        char const* pin;
        nlohmann::json value;
    };
    for (Case const& c : {Case{"unknown pin", "Levle", 1.0}, Case{"output", "Result", 1.0},
                          Case{"audio", "Input", 0.5}, Case{"text for float", "Level", "x"},
                          Case{"fraction for enum", "Mode", 1.5}, Case{"number for bool", "Gate", 1},
                          Case{"odd hex digits", "Shape", "504"}, Case{"byte out of range", "Shape", {1, 256}}}) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(module.setByName(c.pin, 0, c.value), std::invalid_argument);
    }
    module.setByName("Gate", 2, true);
    module.process(8);
    ASSERT_EQ(factory.seen.events.size(), 1u);
    EXPECT_EQ(factory.seen.events[0].pin, 3);
    EXPECT_EQ(decoded<uint8_t>(factory.seen.events[0]), 1);
}

TEST(AudioModule, DescribedAudioPinsKnowTheirDirection) {
    FakeBehaviour behaviour;
    behaviour.registeredPins = 7;
    FakeFactory factory(behaviour);
    AudioModule module(factory, fakeModuleId, describedOptions());
    EXPECT_EQ(module.connectAudio(5), gmpi::MP_OK);
    EXPECT_THROW(module.buffer(4), std::out_of_range);
}

// "A module with five shape inputs": the iterator lists the copies, and they take values by name.
TEST(AudioModule, RepeatedPinsReachTheIteratorAndTakeValuesByName) {
    ModuleDescription const described = *ModuleDescriptions::parse(R"({ "modules": [ { "id": "ZR_Fake", "subType": 0,
        "pins": [ { "index": 0, "name": "Out", "datatype": "float", "direction": "out" },
                  { "index": 1, "name": "Height", "datatype": "float", "direction": "in", "default": 1.5,
                    "repeatable": true } ] } ] })").find(fakeModuleId);
    FakeFactory factory;
    AudioModule::Options options;
    options.description = described;
    options.repeatedPins = 5;
    AudioModule module(factory, fakeModuleId, options);
    module.open();
    ASSERT_EQ(factory.seen.iteratedPins.size(), 6u);
    for (int32_t i = 1; i <= 5; ++i) {
        EXPECT_EQ(factory.seen.iteratedPins[i].id, i);
        EXPECT_EQ(factory.seen.iteratedPins[i].direction, gmpi::MP_IN);
        EXPECT_EQ(factory.seen.iteratedPins[i].datatype, gmpi::MP_FLOAT32);
    }

    module.sendDefaults();
    module.setByName("Height 5", 1, 2.5f);
    EXPECT_THROW(module.setByName("Height 6", 1, 2.5f), std::invalid_argument);
    module.process(4);
    ASSERT_EQ(factory.seen.events.size(), 6u);
    EXPECT_EQ(factory.seen.events[4].pin, 5);
    EXPECT_EQ(decoded<float>(factory.seen.events[4]), 1.5f);
    EXPECT_EQ(factory.seen.events[5].pin, 5);
    EXPECT_EQ(decoded<float>(factory.seen.events[5]), 2.5f);

    options.description.reset();
    EXPECT_THROW(AudioModule(factory, fakeModuleId, options), std::invalid_argument) << "copies without a description";
}

} // namespace
} // namespace zr::host
