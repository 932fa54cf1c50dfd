// The audio-side base driven directly: events become segments, batches and sleep.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <tuple>

#include "testing/RecordedValues.h"
#include "host/AudioHost.h"
#include "host/EventQueue.h"
#include "sdk/MpBase2.h"

namespace {

using zr::host::RawEvent;
constexpr int32_t kFirst = 0, kSecond = 1, kFlag = 2, kText = 3, kBlob = 4, kInput = 5, kOut = 6, kSent = 7, kMidi = 8,
                  kStopOutput = 9;

// A module that records what the framework does to it: block segments and onSetPins batches.
class ProbeModule : public MpBase2 {
public:
    IntInPin first, second;
    BoolInPin flag;
    StringInPin text;
    BlobInPin blob;
    AudioInPin input;
    AudioOutPin out;
    IntOutPin sent;
    MidiInPin midi;
    BoolInPin stopOutput; // true sets `out` to not streaming

    using Segment = std::pair<int32_t, int32_t>; // block position, frames
    struct Batch {
        int32_t position;
        bool firstUpdated, secondUpdated;
        int32_t firstValue, secondValue;
    };
    std::vector<Segment> segments;
    std::vector<Batch> batches;
    int32_t samplesProcessed = 0;

    ProbeModule() {
        for (MpPinBase* pin : std::initializer_list<MpPinBase*>{&first, &second, &flag, &text, &blob, &input, &out, &sent, &midi, &stopOutput})
            initializePin(*pin);
        setSubProcess(&ProbeModule::subProcess);
    }
    void subProcess(int32_t frames) {
        segments.emplace_back(blockPosition_, frames);
        samplesProcessed += frames;
    }
    void onSetPins() override {
        batches.push_back({blockPosition_, first.isUpdated(), second.isUpdated(), first, second});
        if (stopOutput.isUpdated() && stopOutput)
            out.setStreaming(false);
    }
};
using Segment = ProbeModule::Segment;

class EventWalk : public testing::Test {
protected:
    void SetUp() override { fresh(); }
    void TearDown() override { module->release(); }

    // A new module on `host`; with `started`, past its graph start with the records cleared.
    void fresh(bool started = true) {
        if (module != nullptr)
            module->release();
        module = new ProbeModule;
        EXPECT_EQ(module->setHost(&host), gmpi::MP_OK);
        module->setBuffer(kInput, input);
        module->setBuffer(kOut, output);
        if (started) {
            queue.add(gmpi::EVENT_GRAPH_START, 0, 0, nullptr, 0);
            run(0);
            module->segments.clear();
            host.clearRecords();
        }
    }
    template <typename T>
    void set(int32_t pin, int32_t time, T value) {
        queue.add(gmpi::EVENT_PIN_SET, pin, time, &value, sizeof(value));
    }
    void run(int32_t count) {
        module->process(count, queue.build());
        queue.clear();
    }

    zr::host::AudioHost host;
    zr::host::EventQueue queue;
    ProbeModule* module = nullptr;
    float input[512] = {};
    float output[512] = {};
};

TEST_F(EventWalk, SegmentsAndBatchesFollowTimestamps) {
    set<int32_t>(kFirst, 0, 1);
    set<int32_t>(kFirst, 10, 2);
    set<int32_t>(kSecond, 10, 3);
    set<int32_t>(kFirst, 10, 5); // the same pin twice in one batch: the newest value counts
    run(64);
    EXPECT_EQ(module->segments, (std::vector<Segment>{{0, 10}, {10, 54}}));
    ASSERT_EQ(module->batches.size(), 2u);
    auto const& [first, second] = std::pair(module->batches[0], module->batches[1]);
    EXPECT_TRUE(first.firstUpdated && !first.secondUpdated);
    EXPECT_TRUE(second.position == 10 && second.firstUpdated && second.secondUpdated);
    EXPECT_EQ(second.firstValue, 5);
}

TEST_F(EventWalk, OnlyValueAndStreamingEventsCallOnSetPins) {
    std::tuple<char const*, int32_t, int32_t, int> const cases[] = { // name, event type, pin, batches
        {"MIDI", gmpi::EVENT_MIDI, kMidi, 0},        {"graph start", gmpi::EVENT_GRAPH_START, 0, 0},
        {"value for an unregistered pin", gmpi::EVENT_PIN_SET, 77, 1},
        {"stream start", gmpi::EVENT_PIN_STREAMING_START, kInput, 1}, {"unknown event type", 999, 0, 0},
    };
    for (auto const& [name, eventType, pin, batches] : cases) {
        SCOPED_TRACE(name);
        fresh(false);
        unsigned char const note[3] = {0x90, 60, 100};
        queue.add(eventType, pin, 5, note, sizeof(note));
        run(16);
        EXPECT_EQ(static_cast<int>(module->batches.size()), batches);
    }
}

TEST_F(EventWalk, OutputsAnnounceThemselvesAtGraphStartThenSendOnlyChanges) {
    fresh(false);
    queue.add(gmpi::EVENT_GRAPH_START, 0, 0, nullptr, 0);
    run(4);
    EXPECT_EQ(host.streamingOf(kOut), true);
    module->sent.setValue(0);
    module->sent.setValue(7, 3);
    module->sent.setValue(7);
    auto const sends = host.pinSets(kSent);
    ASSERT_EQ(sends.size(), 2u) << "its current value at graph start, then one change";
    EXPECT_EQ(intOf(sends[0]), 0);
    EXPECT_EQ(intOf(sends[1]), 7);
    EXPECT_EQ(sends[1].timestamp, 3);
}

TEST_F(EventWalk, SleepsAfterTheHostCountdown) {
    host.setCountdown(128);
    fresh();
    set<bool>(kStopOutput, 0, true); // the output goes static
    run(64);
    EXPECT_EQ(host.sleepCount(), 0);
    run(64);
    EXPECT_EQ(host.sleepCount(), 1) << "asleep at the end of the second block";
    run(64);
    EXPECT_EQ(module->samplesProcessed, 128) << "a sleeping module computes nothing";
    // A repeated "not streaming" re-sends the state and restarts the countdown.
    set<bool>(kStopOutput, 0, false);
    set<bool>(kStopOutput, 1, true);
    run(64);
    EXPECT_EQ(host.streamingChanges(kOut).size(), 2u);
    EXPECT_EQ(module->samplesProcessed, 128 + 64);
}

// A stopped input computes one more sample with its final value, then sleeps; a countdown of
// 0 must not cancel it when the same batch sets an output static, which would never show it.
TEST_F(EventWalk, AStoppedInputComputesOneMoreSampleEvenWithACountdownOfZero) {
    host.setCountdown(0);
    for (bool outputGoesStatic : {false, true}) {
        SCOPED_TRACE(outputGoesStatic ? "the output goes static in the same batch" : "the input alone stops");
        fresh(outputGoesStatic); // without a graph start the output never announced streaming
        queue.add(gmpi::EVENT_PIN_STREAMING_START, kInput, 0, nullptr, 0);
        run(8);
        module->segments.clear();
        queue.add(gmpi::EVENT_PIN_STREAMING_STOP, kInput, 2, nullptr, 0);
        if (outputGoesStatic)
            set<bool>(kStopOutput, 2, true);
        run(8);
        EXPECT_EQ(module->segments, (std::vector<Segment>{{0, 2}, {2, 1}}));
        EXPECT_EQ(host.sleepCount(), 1);
    }
}

// That no timestamp runs the block past its count is checked in every module's stress run.
TEST_F(EventWalk, HostileTimestampsDecideWhichValuesApply) {
    // Name, event times, block size, the values applied (as indices of the events).
    std::tuple<char const*, std::vector<int32_t>, int32_t, std::vector<int32_t>> const cases[] = {
        {"decreasing: one batch, applied in list order", {10, 5}, 64, {1}},
        {"beyond the block", {0, 200}, 64, {0}}, {"at the block's end", {0, 64}, 64, {0}}, {"negative", {-20, 3}, 64, {0, 1}},
        {"extremes", {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}, 64, {0}},
        {"empty block", {0, 5}, 0, {0}},
    };
    queue.keepOrderAsGiven(true);
    for (auto const& [name, times, count, appliedValues] : cases) {
        SCOPED_TRACE(name);
        fresh();
        for (size_t i = 0; i < times.size(); ++i)
            set<int32_t>(kFirst, times[i], static_cast<int32_t>(i) + 100);
        run(count);
        std::vector<int32_t> applied;
        for (auto const& batch : module->batches)
            applied.push_back(batch.firstValue - 100);
        EXPECT_EQ(applied, appliedValues);
    }
}

TEST_F(EventWalk, EventSizesAreNeverTrusted) {
    // Declared sizes that disagree with the data: nothing read beyond the bytes, nor written
    // beyond the value (the flag, set before, keeps its true).
    struct Case {
        char const* name;
        int32_t size;
        bool withExtraData;
        int32_t expectFirst, expectBlobSize;
        size_t expectTextLength;
    } const cases[] = {
        {"negative size", -1, false, 0, 0, 0},        {"no bytes", 0, false, 0, 0, 0},
        {"two bytes of extra data", 2, true, 0x0201, 2, 0},
        {"nine bytes claimed inline", 9, false, 0x04030201, 8, 2},
        {"a hundred bytes claimed inline", 100, false, 0x04030201, 8, 2},
    };
    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        set<bool>(kFlag, 0, true);
        run(1);
        for (int32_t pin : {kFirst, kFlag, kText, kBlob}) {
            RawEvent event;
            event.pin = pin;
            event.size = c.size;
            std::memcpy(&event.parm3, bytes, 8);
            event.explicitExtraData = c.withExtraData;
            event.extraData = c.withExtraData ? reinterpret_cast<char*>(bytes) : nullptr;
            queue.addRaw(event);
        }
        run(1);
        EXPECT_EQ(static_cast<int32_t>(module->first), c.expectFirst);
        EXPECT_TRUE(module->flag);
        EXPECT_EQ(module->text.getValue().size(), c.expectTextLength);
        EXPECT_EQ(module->blob.getValue().getSize(), c.expectBlobSize);
    }
    char const tenBytes[10] = {'x', 0, 0, 0, 'y', 0, 0, 0, 'z', 0};
    queue.add(gmpi::EVENT_PIN_SET, kText, 0, tenBytes, sizeof(tenBytes));
    run(1);
    EXPECT_EQ(module->text.getValue(), L"xy") << "only whole characters";
}

// Unknown pins beyond the registered ones are refused in every module's stress run.
TEST_F(EventWalk, ANegativePinAndAMissingHostAreRefused) {
    EXPECT_EQ(module->setBuffer(-1, output), gmpi::MP_FAIL);
    EXPECT_EQ(module->setHost(nullptr), gmpi::MP_NOSUPPORT);
}

} // namespace
