// Our audio host's own logic: what it answers, what it records, and its pin iterator.

#include <gtest/gtest.h>

#include <stdexcept>

#include "host/AudioHost.h"

namespace zr::host {
namespace {

TEST(AudioHost, AnswersOnlyTheInterfacesItIsNotToldToRefuse) {
    struct Case {
        char const* name;
        gmpi::MpGuid iid;
        HostileSwitches hostile;
        bool answered;
    };
    HostileSwitches refuseHost;
    refuseHost.refuseHost = true;
    HostileSwitches refuseProcessorHost;
    refuseProcessorHost.refuseProcessorHost = true;
    for (Case const& c : {Case{"host", MP_IID_HOST, {}, true},
                          Case{"processor host", MP_IID_PROCESSOR_HOST, {}, true},
                          Case{"unknown", MP_IID_UNKNOWN, {}, true},
                          Case{"factory", MP_IID_FACTORY2, {}, false},
                          Case{"refused host", MP_IID_HOST, refuseHost, false},
                          Case{"host, processor host refused", MP_IID_HOST, refuseProcessorHost, true},
                          Case{"refused processor host", MP_IID_PROCESSOR_HOST, refuseProcessorHost, false}}) {
        SCOPED_TRACE(c.name);
        AudioHost host;
        host.hostile() = c.hostile;
        void* answer = reinterpret_cast<void*>(1);
        int32_t const result = host.queryInterface(c.iid, &answer);
        EXPECT_EQ(result, c.answered ? gmpi::MP_OK : gmpi::MP_NOSUPPORT);
        EXPECT_EQ(answer, c.answered ? static_cast<void*>(static_cast<gmpi::IMpHost*>(&host)) : nullptr);
        EXPECT_EQ(host.referenceCount(), c.answered ? 1 : 0);
    }
}

TEST(AudioHost, HostileHostLeavesOutParametersAsTheyWere) {
    AudioHost host;
    host.setSampleRate(44100.0f);
    host.setCountdown(128);
    host.hostile().leaveSampleRateUnwritten = true;
    host.hostile().leaveCountdownUnwritten = true;
    host.hostile().leaveIteratorUnwritten = true;
    float rate = -1.0f;
    int32_t countdown = -1;
    void* iterator = &rate;
    EXPECT_EQ(host.getSampleRate(&rate), gmpi::MP_OK);
    EXPECT_EQ(host.getSleepCountdown(&countdown), gmpi::MP_OK);
    EXPECT_EQ(host.createPinIterator(&iterator), gmpi::MP_OK);
    EXPECT_EQ(rate, -1.0f);
    EXPECT_EQ(countdown, -1);
    EXPECT_EQ(iterator, &rate);

    host.hostile() = {};
    EXPECT_EQ(host.getSampleRate(&rate), gmpi::MP_OK);
    EXPECT_EQ(host.getSleepCountdown(&countdown), gmpi::MP_OK);
    EXPECT_EQ(rate, 44100.0f);
    EXPECT_EQ(countdown, 128);
    EXPECT_EQ(host.sampleRateQueries(), 2);
    EXPECT_EQ(host.countdownQueries(), 2);
}

// A module may reuse its output buffer right after sending: the record must hold the bytes
// as they were at the call.
TEST(AudioHost, RecordsCopyTheBytesAndStampTheBlock) {
    AudioHost host;
    float value = 0.25f;
    host.setPin(0, 2, sizeof value, &value);
    host.enterBlock(7);
    value = 0.5f;
    host.setPin(12, 2, sizeof value, &value);
    value = -1.0f;
    host.setPinStreaming(3, 4, 1);
    host.leaveBlock();

    std::vector<HostRecord> const sent = host.pinSets(2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].block, outsideAnyBlock);
    EXPECT_EQ(sent[0].asFloat(), 0.25f);
    EXPECT_EQ(sent[1].block, 7);
    EXPECT_EQ(sent[1].timestamp, 12);
    EXPECT_EQ(host.lastPinSet(2)->asFloat(), 0.5f);
    EXPECT_FALSE(host.lastPinSet(4).has_value());
    EXPECT_EQ(host.streamingOf(4), std::optional<bool>(true));
    EXPECT_FALSE(host.streamingOf(2).has_value());
}

template <typename Decode>
bool decodes(Decode decode) {
    try {
        decode();
        return true;
    } catch (std::runtime_error const&) {
        return false;
    }
}

TEST(HostRecord, DecodersRejectValuesOfTheWrongSize) {
    struct Case {
        char const* name;
        std::size_t size;
        bool fourByteFits, boolFits, textFits;
    };
    for (Case const& c : {Case{"0 bytes", 0, false, false, true}, Case{"1 byte", 1, false, true, false},
                          Case{"2 bytes", 2, false, false, false}, Case{"4 bytes", 4, true, false, true},
                          Case{"6 bytes", 6, false, false, false}, Case{"8 bytes", 8, false, false, true}}) {
        SCOPED_TRACE(c.name);
        HostRecord record;
        record.pin = 9;
        record.bytes.assign(c.size, 0);
        EXPECT_EQ(decodes([&] { record.asInt(); }), c.fourByteFits);
        EXPECT_EQ(decodes([&] { record.asFloat(); }), c.fourByteFits);
        EXPECT_EQ(decodes([&] { record.asBool(); }), c.boolFits);
        EXPECT_EQ(decodes([&] { record.asText(); }), c.textFits);
    }
}

TEST(HostPinIterator, WalksThePinsAndStopsPastTheEnd) {
    using Pins = std::vector<IteratorPin>;
    for (Pins const& pins : {Pins{}, Pins{{0, gmpi::MP_OUT, gmpi::MP_AUDIO}},
                             Pins{{0, gmpi::MP_IN, gmpi::MP_BLOB}, {1, gmpi::MP_IN, gmpi::MP_FLOAT32},
                                  {2, gmpi::MP_OUT, gmpi::MP_ENUM}}}) {
        SCOPED_TRACE(std::to_string(pins.size()) + " pins");
        AudioHost host;
        host.setIteratorPins(pins);
        void* made = nullptr;
        ASSERT_EQ(host.createPinIterator(&made), gmpi::MP_OK);
        auto* iterator = static_cast<gmpi::IMpPinIterator*>(made);
        int32_t count = -1;
        iterator->getCount(&count);
        EXPECT_EQ(count, static_cast<int32_t>(pins.size()));

        Pins walked;
        for (int32_t onPin = iterator->first(); onPin == 0; onPin = iterator->next()) {
            IteratorPin& pin = walked.emplace_back();
            EXPECT_EQ(iterator->getPinId(&pin.id), gmpi::MP_OK);
            EXPECT_EQ(iterator->getPinDirection(&pin.direction), gmpi::MP_OK);
            EXPECT_EQ(iterator->getPinDatatype(&pin.datatype), gmpi::MP_OK);
            ASSERT_LE(walked.size(), pins.size());
        }
        ASSERT_EQ(walked.size(), pins.size());
        for (std::size_t i = 0; i < pins.size(); ++i) {
            EXPECT_EQ(walked[i].id, pins[i].id);
            EXPECT_EQ(walked[i].direction, pins[i].direction);
            EXPECT_EQ(walked[i].datatype, pins[i].datatype);
        }

        EXPECT_NE(iterator->next(), 0);
        int32_t untouched = -7;
        EXPECT_NE(iterator->getPinId(&untouched), gmpi::MP_OK);
        EXPECT_EQ(untouched, -7);
        iterator->release();  // the last reference: a leak or a double delete shows under ASan
    }
}

} // namespace
} // namespace zr::host
