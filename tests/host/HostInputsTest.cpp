// What our host feeds a module: event lists (where the data travels, in which order events
// arrive) and the signals on unwired audio inputs (1.0 = 10 V), the same in any split of blocks;
// the module runner against an in-process fake module: when it calls it, what it records.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/AudioModule.h"
#include "host/EventQueue.h"
#include "host/drawing/CountedObject.h"
#include "host/patch/AudioSource.h"
#include "sdk/Interfaces.h"

namespace zr::host {
namespace {

std::vector<uint8_t> countingBytes(std::size_t size, uint8_t first) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// Inline bytes beyond the value are zero: a module may read all of parm3 for a 1-byte value.
TEST(EventQueue, DataUpToEightBytesTravelsInlineLargerInExtraData) {
    for (std::size_t size : {0u, 1u, 4u, 8u, 9u, 808u}) {
        SCOPED_TRACE("size " + std::to_string(size));
        EventQueue queue;
        std::vector<uint8_t> const sent = countingBytes(size, 0xF1);
        queue.add(gmpi::EVENT_PIN_SET, 3, 5, sent.data(), sent.size());
        gmpi::MpEvent const* event = queue.build();
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->parm2, static_cast<int32_t>(size));
        EXPECT_EQ(event->extraData == nullptr, size <= 8);
        std::vector<uint8_t> inlineBytes(8, 0);
        std::copy_n(sent.begin(), std::min<std::size_t>(size, 8), inlineBytes.begin());
        auto const* data = event->extraData ? reinterpret_cast<uint8_t const*>(event->extraData)
                                            : reinterpret_cast<uint8_t const*>(&event->parm3);
        EXPECT_EQ(std::vector<uint8_t>(data, data + std::max<std::size_t>(size, 8)), size <= 8 ? inlineBytes : sent);
    }
}

// Large values queued out of time order into a queue that must grow: stably sorted by time
// (or kept as queued), each event's data following it.
TEST(EventQueue, SortsStablyByTimeAndDataFollowsItsEvent) {
    for (bool keepOrder : {false, true}) {
        SCOPED_TRACE(keepOrder ? "order kept" : "sorted");
        EventQueue queue(2);
        queue.keepOrderAsGiven(keepOrder);
        auto const timeOf = [](int32_t pin) { return (pin * 7) % 5; };
        for (int32_t pin = 0; pin < 50; ++pin) {
            std::vector<uint8_t> const bytes = countingBytes(16, static_cast<uint8_t>(pin));
            queue.add(gmpi::EVENT_PIN_SET, pin, timeOf(pin), bytes.data(), bytes.size());
        }
        std::vector<int32_t> pins;
        for (gmpi::MpEvent const* event = queue.build(); event; event = event->next) {
            pins.push_back(event->parm1);
            EXPECT_EQ(event->timeDelta, timeOf(event->parm1));
            EXPECT_EQ(std::vector<uint8_t>(event->extraData, event->extraData + 16),
                      countingBytes(16, static_cast<uint8_t>(event->parm1)));
        }
        std::vector<int32_t> expected(50);
        std::iota(expected.begin(), expected.end(), 0); // as queued
        if (!keepOrder) {
            expected.clear(); // by time, and in queue order within a time
            for (int32_t time = 0; time < 5; ++time)
                for (int32_t pin = 0; pin < 50; ++pin)
                    if (timeOf(pin) == time)
                        expected.push_back(pin);
        }
        EXPECT_EQ(pins, expected);
    }
}

constexpr float kRate = 100.0f;

std::vector<float> samples(AudioSource const& source, int64_t start, int32_t count) {
    std::vector<float> made(static_cast<size_t>(count));
    source.fill(made.data(), start, count, kRate);
    return made;
}

TEST(AudioSource, SignalsAtTheirSamples) {
    using Kind = AudioSource::Kind;
    // A quarter period of the sine is one sample at 100 Hz; the ramp lasts 50 samples.
    AudioSource const sine{.kind = Kind::Sine, .level = 1.0f, .amplitude = 4.0f, .frequency = 25.0, .samples = {}, .externalName = {}};
    AudioSource const ramp{.kind = Kind::Ramp, .from = -5.0f, .to = 5.0f, .seconds = 0.5, .samples = {}, .externalName = {}};
    AudioSource const file{.kind = Kind::File, .samples = {0.25f, -0.5f}, .externalName = {}};
    std::tuple<char const*, AudioSource, int64_t, float> const cases[] = { // name, source, sample, expected
        {"constant in volts", AudioSource::constant(4.0f), 123, 0.4f},
        {"sine at its offset", sine, 0, 0.1f},
        {"sine at its peak", sine, 1, 0.5f},
        {"sine at its trough", sine, 3, -0.3f},
        {"ramp start", ramp, 0, -0.5f},
        {"ramp middle", ramp, 25, 0.0f},
        {"ramp holds its end", ramp, 1000, 0.5f},
        {"file samples as they are", file, 1, -0.5f},
        {"file ends in silence", file, 2, 0.0f},
    };
    for (auto const& [name, source, sample, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_NEAR(samples(source, sample, 1)[0], expected, 1e-6f);
    }
}

TEST(AudioSource, NoiseStaysInRangeAndDoesNotDependOnTheBlocks) {
    AudioSource noise{.kind = AudioSource::Kind::Noise, .amplitude = 2.0f, .samples = {}, .externalName = {}};
    std::vector<float> const whole = samples(noise, 0, 1000);
    std::vector<float> joined = samples(noise, 0, 333);
    std::vector<float> const rest = samples(noise, 333, 667);
    joined.insert(joined.end(), rest.begin(), rest.end());
    EXPECT_EQ(whole, joined);
    float low = 1.0f, high = -1.0f, sum = 0.0f;
    for (float sample : whole) {
        low = std::min(low, sample);
        high = std::max(high, sample);
        sum += sample;
    }
    EXPECT_GE(low, -0.2f);
    EXPECT_LE(high, 0.2f);
    EXPECT_LT(low, -0.15f) << "spread over the range";
    EXPECT_GT(high, 0.15f);
    EXPECT_NEAR(sum / 1000.0f, 0.0f, 0.02f);
    noise.seed = 2;
    EXPECT_NE(samples(noise, 0, 1000), whole) << "another seed, another noise";
}

// An in-process stand-in for a bundle: one audio-side module whose behaviour the test chooses
// and which notes what the host hands it, for tests of the host's own logic.
constexpr wchar_t const* fakeModuleId = L"ZR_Fake";

// Read by the module while it runs, so a test may change it between blocks.
struct FakeBehaviour {
    std::vector<int32_t> rampOutputs;   // each block: sample i = 1000 x (process call) + i
    bool sleepAfterEachBlock = false;
    int32_t echoPin = -1;               // each block: send `echoSize` bytes, each the call number
    int32_t echoSize = 0;
};

struct FakeObservations {
    int processCalls = 0;
    std::vector<std::size_t> eventsPerCall;
};

class FakeModule final : public drawing::CountedObject<gmpi::IMpPlugin2> {
public:
    FakeModule(FakeBehaviour const& behaviour, FakeObservations& seen)
        : CountedObject({MP_IID_PLUGIN2}), behaviour_(behaviour), seen_(seen) {}

    int32_t setHost(gmpi::IMpUnknown* host) override {
        void* audioHost = nullptr;
        int32_t const result = host->queryInterface(MP_IID_HOST, &audioHost);
        host_ = static_cast<gmpi::IMpHost*>(audioHost);
        return result;
    }
    int32_t open() override { return gmpi::MP_OK; }
    int32_t setBuffer(int32_t pinIndex, float* buffer) override {
        buffers_[pinIndex] = buffer;
        return gmpi::MP_OK;
    }

    int32_t process(int32_t count, gmpi::MpEvent const* events) override {
        ++seen_.processCalls;
        std::size_t received = 0;
        for (gmpi::MpEvent const* event = events; event; event = event->next)
            ++received;
        seen_.eventsPerCall.push_back(received);
        if (behaviour_.echoPin >= 0 && host_) {
            std::memset(echoBytes_, seen_.processCalls, sizeof echoBytes_);
            host_->setPin(0, behaviour_.echoPin, std::min<int32_t>(behaviour_.echoSize, sizeof echoBytes_), echoBytes_);
        }
        for (int32_t pin : behaviour_.rampOutputs)
            for (int32_t i = 0; i < count; ++i)
                buffers_.at(pin)[i] = static_cast<float>(1000 * seen_.processCalls + i);
        if (behaviour_.sleepAfterEachBlock && host_)
            host_->sleep();
        return gmpi::MP_OK;
    }

    int32_t receiveMessageFromGui(int32_t, int32_t, void const*) override { return gmpi::MP_OK; }

private:
    ~FakeModule() override {
        if (host_)
            host_->release();
    }

    FakeBehaviour const& behaviour_;
    FakeObservations& seen_;
    gmpi::IMpHost* host_ = nullptr;
    std::map<int32_t, float*> buffers_;
    uint8_t echoBytes_[256] = {};
};

// Makes FakeModule under fakeModuleId and the audio sub-type; nothing else.
class FakeFactory final : public gmpi::IMpFactory2 {
public:
    explicit FakeFactory(FakeBehaviour behaviour = {}) : behaviour(std::move(behaviour)) {}

    FakeBehaviour behaviour;
    FakeObservations seen;

    int32_t queryInterface(gmpi::MpGuid const&, void** returnInterface) override {
        *returnInterface = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t getSdkInformation(int32_t&, int32_t, wchar_t*) override { return gmpi::MP_NOSUPPORT; }
    int32_t createInstance(wchar_t const* id, int32_t subType, gmpi::IMpUnknown* host, void** created) override {
        int32_t const result = createInstance2(id, subType, created);
        if (result == gmpi::MP_OK)
            static_cast<gmpi::IMpPlugin2*>(*created)->setHost(host);
        return result;
    }
    int32_t createInstance2(wchar_t const* id, int32_t subType, void** created) override {
        bool const known = std::wstring(id) == fakeModuleId && subType == 0;
        *created = known ? static_cast<gmpi::IMpPlugin2*>(new FakeModule(behaviour, seen)) : nullptr;
        return known ? gmpi::MP_OK : gmpi::MP_NOSUPPORT;
    }
};

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
