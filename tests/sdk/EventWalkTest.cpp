// The audio-side base, driven directly: how a block's events become segments, batches and
// sleep, and what survives a host that breaks its side of the contract.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "host/AudioHost.h"
#include "host/EventQueue.h"
#include "tests/sdk/ProbeModule.h"

namespace {

using Segment = ProbeModule::Segment;
using zr::host::RawEvent;

class EventWalk : public testing::Test {
protected:
    void SetUp() override { attach(); }
    void TearDown() override { module->release(); }

    void attach() {
        EXPECT_EQ(module->setHost(&host), host.hostile().refuseHost ? gmpi::MP_NOSUPPORT : gmpi::MP_OK);
        module->setBuffer(6, input);
        module->setBuffer(7, output);
    }

    template <typename T>
    void set(int32_t pin, int32_t time, T value) {
        queue.add(gmpi::EVENT_PIN_SET, pin, time, &value, sizeof(value));
    }
    void run(int32_t count) {
        module->process(count, queue.build());
        queue.clear();
    }
    // Graph start: the audio output starts streaming and the module's own block function runs.
    void startGraph() {
        queue.add(gmpi::EVENT_GRAPH_START, 0, 0, nullptr, 0);
        run(0);
        module->segments.clear();
        host.clearRecords();
    }

    zr::host::AudioHost host;
    zr::host::EventQueue queue;
    ProbeModule* module = new ProbeModule;
    float input[512] = {};
    float output[512] = {};
};

TEST_F(EventWalk, SegmentsAndBatchesFollowTimestamps) {
    startGraph();
    set<int32_t>(0, 0, 1);
    set<int32_t>(0, 10, 2);
    set<int32_t>(1, 10, 3);
    set<int32_t>(0, 10, 5); // the same pin twice in one batch: the newest value counts
    run(64);

    EXPECT_EQ(module->segments, (std::vector<Segment>{{0, 10}, {10, 54}}));
    ASSERT_EQ(module->batches.size(), 2u);
    EXPECT_EQ(module->batches[0].position, 0);
    EXPECT_TRUE(module->batches[0].firstUpdated);
    EXPECT_FALSE(module->batches[0].secondUpdated);
    EXPECT_EQ(module->batches[1].position, 10);
    EXPECT_TRUE(module->batches[1].firstUpdated);
    EXPECT_TRUE(module->batches[1].secondUpdated);
    EXPECT_EQ(module->batches[1].firstValue, 5);
    EXPECT_EQ(module->batches[1].secondValue, 3);
}

TEST_F(EventWalk, OnlyValueAndStreamingRunsCallOnSetPins) {
    struct Case {
        char const* name;
        int32_t eventType, pin;
        int batches, graphStarts, midiMessages;
    };
    Case const cases[] = {
        {"MIDI alone", gmpi::EVENT_MIDI, 9, 0, 0, 1},
        {"graph start alone", gmpi::EVENT_GRAPH_START, 0, 0, 1, 0},
        {"value for an unregistered pin", gmpi::EVENT_PIN_SET, 77, 1, 0, 0},
        {"stream start", gmpi::EVENT_PIN_STREAMING_START, 6, 1, 0, 0},
        {"unknown event type", 999, 0, 0, 0, 0},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeModule* fresh = new ProbeModule;
        fresh->setHost(&host);
        fresh->setBuffer(7, output);
        unsigned char const note[3] = {0x90, 60, 100};
        queue.add(c.eventType, c.pin, 5, note, sizeof(note));
        fresh->process(16, queue.build());
        queue.clear();
        EXPECT_EQ(static_cast<int>(fresh->batches.size()), c.batches);
        EXPECT_EQ(fresh->graphStarts, c.graphStarts);
        EXPECT_EQ(static_cast<int>(fresh->midiMessages.size()), c.midiMessages);
        if (c.midiMessages > 0) {
            EXPECT_EQ(fresh->midiMessages[0], (std::vector<unsigned char>{0x90, 60, 100}));
        }
        fresh->release();
    }
}

TEST_F(EventWalk, AudioInputReadsUpdatedUntilItsFirstStreamEvent) {
    startGraph();
    set<int32_t>(0, 0, 1);
    run(8);
    set<int32_t>(0, 0, 2);
    queue.add(gmpi::EVENT_PIN_STREAMING_START, 6, 4, nullptr, 0);
    run(8);
    set<int32_t>(0, 0, 3);
    run(8);
    ASSERT_EQ(module->batches.size(), 4u);
    EXPECT_TRUE(module->batches[0].inputUpdated) << "never reported: reads as updated";
    EXPECT_TRUE(module->batches[1].inputUpdated);
    EXPECT_TRUE(module->batches[2].inputUpdated) << "the batch carrying the stream start";
    EXPECT_FALSE(module->batches[3].inputUpdated);
    EXPECT_TRUE(module->input.isStreaming());
}

TEST_F(EventWalk, PinsAreNumberedInRegistrationOrder) {
    struct Numbered : MpBase2 {
        IntInPin a, b, c, duplicate;
        Numbered() {
            initializePin(a);
            initializePin(b);
            initializePin(3, c);
            initializePin(3, duplicate); // an index registers once: the first pin keeps it
        }
        void OnPinStreamingChange(bool) override {}
        MpPinBase* at(int32_t index) const { return findPin(index); }
    } numbered;
    EXPECT_EQ(numbered.a.getPinId(), 0);
    EXPECT_EQ(numbered.b.getPinId(), 1);
    EXPECT_EQ(numbered.at(3), &numbered.c);
    EXPECT_EQ(numbered.at(2), nullptr);
    EXPECT_EQ(numbered.setBuffer(2, output), gmpi::MP_FAIL);
}

TEST_F(EventWalk, OutputPinsSendOnlyChanges) {
    module->sent.setValue(0);
    EXPECT_TRUE(host.records().empty()) << "the pin already holds 0";
    module->sent.setValue(7, 3);
    module->sent.setValue(7);
    ASSERT_EQ(host.pinSets(8).size(), 1u);
    EXPECT_EQ(host.pinSets(8)[0].asInt(), 7);
    EXPECT_EQ(host.pinSets(8)[0].timestamp, 3);
}

TEST_F(EventWalk, OutputsAnnounceThemselvesAtGraphStart) {
    queue.add(gmpi::EVENT_GRAPH_START, 0, 0, nullptr, 0);
    run(4);
    EXPECT_EQ(host.streamingOf(7), true);
    ASSERT_EQ(host.pinSets(8).size(), 1u) << "a control output sends its current value";
    EXPECT_EQ(host.pinSets(8)[0].asInt(), 0);
    EXPECT_EQ(module->segments, (std::vector<Segment>{{0, 4}}));
}

TEST_F(EventWalk, SleepsAfterTheHostCountdown) {
    host.setCountdown(128);
    startGraph();
    set<bool>(10, 0, true); // the output goes static
    run(64);
    EXPECT_EQ(host.sleepCount(), 0);
    run(64);
    EXPECT_EQ(host.sleepCount(), 1) << "asleep at the end of the second block";
    EXPECT_EQ(module->samplesProcessed(), 128);
    run(64);
    EXPECT_EQ(module->samplesProcessed(), 128) << "a sleeping module computes nothing";

    // A repeated "not streaming" re-sends the state and restarts the countdown.
    set<bool>(10, 0, false);
    set<bool>(10, 1, true);
    run(64);
    EXPECT_EQ(host.streamingChanges(7).size(), 2u);
    EXPECT_EQ(module->samplesProcessed(), 128 + 64);
}

TEST_F(EventWalk, StoppedInputStillComputesOneMoreSample) {
    host.setCountdown(0);
    queue.add(gmpi::EVENT_PIN_STREAMING_START, 6, 0, nullptr, 0);
    run(8);
    module->segments.clear();
    queue.add(gmpi::EVENT_PIN_STREAMING_STOP, 6, 2, nullptr, 0);
    run(8);
    // Two samples before the stop, then one more with the input's final value, then sleep.
    EXPECT_EQ(module->segments, (std::vector<Segment>{{0, 2}, {2, 1}}));
    EXPECT_EQ(host.sleepCount(), 1);
}

// A host countdown of 0 must not cancel that sample when the same batch sets an output
// static: the output would otherwise never show the value it holds from then on.
TEST_F(EventWalk, ACountdownOfZeroStillComputesTheNewStaticValue) {
    host.setCountdown(0);
    startGraph();
    queue.add(gmpi::EVENT_PIN_STREAMING_START, 6, 0, nullptr, 0);
    run(8);
    module->segments.clear();
    queue.add(gmpi::EVENT_PIN_STREAMING_STOP, 6, 2, nullptr, 0);
    set<bool>(10, 2, true); // the output goes static in the same batch
    run(8);
    EXPECT_EQ(module->segments, (std::vector<Segment>{{0, 2}, {2, 1}}));
    EXPECT_EQ(host.sleepCount(), 1);
}

TEST_F(EventWalk, HostileTimestampsNeverRunPastTheBlock) {
    struct Case {
        char const* name;
        std::vector<int32_t> times;
        int32_t count;
        std::vector<int32_t> appliedValues;
    };
    Case const cases[] = {
        {"decreasing: one batch, applied in list order", {10, 5}, 64, {1}},
        {"beyond the block", {0, 200}, 64, {0}},
        {"at the block's end", {0, 64}, 64, {0}},
        {"negative", {-20, 3}, 64, {0, 1}},
        {"extremes", {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}, 64, {0}},
        {"empty block", {0, 5}, 0, {0}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeModule* fresh = new ProbeModule;
        fresh->setHost(&host);
        fresh->setBuffer(7, output);
        queue.add(gmpi::EVENT_GRAPH_START, 0, 0, nullptr, 0);
        fresh->process(0, queue.build());
        queue.clear();
        fresh->segments.clear();

        queue.keepOrderAsGiven(true);
        for (size_t i = 0; i < c.times.size(); ++i) {
            int32_t const value = static_cast<int32_t>(i) + 100;
            queue.add(gmpi::EVENT_PIN_SET, 0, c.times[i], &value, 4);
        }
        fresh->process(c.count, queue.build());
        queue.clear();
        queue.keepOrderAsGiven(false);

        EXPECT_EQ(fresh->samplesProcessed(), c.count);
        std::vector<int32_t> applied;
        for (auto const& batch : fresh->batches)
            applied.push_back(batch.firstValue - 100);
        EXPECT_EQ(applied, c.appliedValues);
        fresh->release();
    }
}

TEST_F(EventWalk, EventSizesAreNeverTrusted) {
    // Events whose declared size disagrees with their data: nothing is read beyond the
    // bytes that exist or written beyond the value.
    struct Case {
        char const* name;
        int32_t size;
        bool withExtraData;
        int32_t expectFirst;       // int pin
        bool expectFlag;           // bool pin, previously true
        size_t expectTextLength;   // text pin
        int32_t expectBlobSize;    // blob pin
    };
    Case const cases[] = {
        {"negative size", -1, false, 0, true, 0, 0},
        {"no bytes", 0, false, 0, true, 0, 0},
        {"two bytes of extra data", 2, true, 0x0201, true, 0, 2},
        {"nine bytes claimed inline", 9, false, 0x04030201, true, 2, 8},
        {"a hundred bytes claimed inline", 100, false, 0x04030201, true, 2, 8},
    };
    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        set<bool>(3, 0, true);
        run(1);
        for (int32_t pin : {0, 3, 4, 5}) {
            RawEvent event;
            event.pin = pin;
            event.size = c.size;
            std::memcpy(&event.parm3, bytes, 8);
            if (c.withExtraData) {
                event.explicitExtraData = true;
                event.extraData = reinterpret_cast<char*>(bytes);
            }
            queue.addRaw(event);
        }
        run(1);
        EXPECT_EQ(static_cast<int32_t>(module->first), c.expectFirst);
        EXPECT_EQ(static_cast<bool>(module->flag), c.expectFlag);
        EXPECT_EQ(module->text.getValue().size(), c.expectTextLength);
        EXPECT_EQ(module->blob.getValue().getSize(), c.expectBlobSize);
    }
}

TEST_F(EventWalk, TextPinRawForm) {
    wchar_t const three[3] = {L'a', L'b', L'c'};
    queue.add(gmpi::EVENT_PIN_SET, 4, 0, three, sizeof(three));
    run(1);
    EXPECT_EQ(module->text.rawSize(), 12);
    char tenBytes[10] = {'x', 0, 0, 0, 'y', 0, 0, 0, 'z', 0};
    queue.add(gmpi::EVENT_PIN_SET, 4, 0, tenBytes, sizeof(tenBytes));
    run(1);
    EXPECT_EQ(module->text.getValue(), L"xy");
}

TEST_F(EventWalk, WithoutAnAudioHostNothingIsCalled) {
    host.hostile().refuseHost = true;
    attach();
    queue.add(gmpi::EVENT_GRAPH_START, 0, 0, nullptr, 0);
    set<bool>(10, 3, true);
    run(64);
    run(64);
    EXPECT_TRUE(host.records().empty());
    EXPECT_GT(module->samplesProcessed(), 0);
}

TEST_F(EventWalk, NullHostIsRefused) {
    EXPECT_EQ(module->setHost(nullptr), gmpi::MP_NOSUPPORT);
    set<int32_t>(0, 0, 4);
    run(16);
    EXPECT_EQ(static_cast<int32_t>(module->first), 4);
}

} // namespace
