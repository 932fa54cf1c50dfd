// The event lists our host builds: where the data travels, and in which order events arrive.

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "host/EventQueue.h"

namespace zr::host {
namespace {

std::vector<gmpi::MpEvent const*> walk(gmpi::MpEvent const* head) {
    std::vector<gmpi::MpEvent const*> events;
    for (gmpi::MpEvent const* event = head; event; event = event->next)
        events.push_back(event);
    return events;
}

std::vector<uint8_t> dataOf(gmpi::MpEvent const& event) {
    auto const* bytes = event.extraData ? reinterpret_cast<uint8_t const*>(event.extraData)
                                        : reinterpret_cast<uint8_t const*>(&event.parm3);
    return {bytes, bytes + event.parm2};
}

std::vector<uint8_t> countingBytes(std::size_t size, uint8_t first) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

TEST(EventQueue, DataUpToEightBytesTravelsInlineLargerInExtraData) {
    for (std::size_t size : {0u, 1u, 4u, 8u, 9u, 12u, 808u}) {
        SCOPED_TRACE("size " + std::to_string(size));
        EventQueue queue;
        std::vector<uint8_t> const sent = countingBytes(size, 1);
        queue.add(gmpi::EVENT_PIN_SET, 3, 5, sent.data(), sent.size());
        gmpi::MpEvent const* event = queue.build();
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->parm1, 3);
        EXPECT_EQ(event->timeDelta, 5);
        EXPECT_EQ(event->parm2, static_cast<int32_t>(size));
        EXPECT_EQ(event->extraData == nullptr, size <= 8);
        EXPECT_EQ(dataOf(*event), sent);
        EXPECT_EQ(event->next, nullptr);
    }
}

TEST(EventQueue, InlineBytesBeyondTheValueAreZero) {
    EventQueue queue;
    uint8_t const byte = 0xFF;
    queue.add(gmpi::EVENT_PIN_SET, 0, 0, &byte, 1);
    gmpi::MpEvent const* event = queue.build();
    EXPECT_EQ(event->parm3, 0xFF);
    EXPECT_EQ(event->parm4, 0);
}

TEST(EventQueue, SortsByTimeAndKeepsQueueOrderWithinATime) {
    struct Case {
        char const* name;
        bool keepOrder;
        std::vector<int32_t> expectedPins;
    };
    std::vector<int32_t> const times = {10, 0, 10, 5, 0};  // queued for pins 0..4
    for (Case const& c : {Case{"sorted", false, {1, 4, 3, 0, 2}}, Case{"kept", true, {0, 1, 2, 3, 4}}}) {
        SCOPED_TRACE(c.name);
        EventQueue queue;
        queue.keepOrderAsGiven(c.keepOrder);
        for (int32_t pin = 0; pin < static_cast<int32_t>(times.size()); ++pin)
            queue.add(gmpi::EVENT_PIN_SET, pin, times[pin], nullptr, 0);
        std::vector<int32_t> pins;
        for (gmpi::MpEvent const* event : walk(queue.build())) {
            pins.push_back(event->parm1);
            EXPECT_EQ(event->timeDelta, times[event->parm1]);
        }
        EXPECT_EQ(pins, c.expectedPins);
    }
}

// Many large values queued in reverse time order: sorting and growing the storage must not
// leave an event pointing at another event's bytes, or at freed ones.
TEST(EventQueue, ExtraDataFollowsItsEventThroughGrowthAndSorting) {
    EventQueue queue(2);
    constexpr int32_t eventCount = 50;
    for (int32_t pin = 0; pin < eventCount; ++pin) {
        std::vector<uint8_t> const bytes = countingBytes(16, static_cast<uint8_t>(pin));
        queue.add(gmpi::EVENT_PIN_SET, pin, eventCount - pin, bytes.data(), bytes.size());
    }
    std::vector<gmpi::MpEvent const*> const events = walk(queue.build());
    ASSERT_EQ(events.size(), static_cast<std::size_t>(eventCount));
    for (gmpi::MpEvent const* event : events) {
        SCOPED_TRACE("pin " + std::to_string(event->parm1));
        EXPECT_EQ(dataOf(*event), countingBytes(16, static_cast<uint8_t>(event->parm1)));
    }
    EXPECT_EQ(events.front()->parm1, eventCount - 1);
}

TEST(EventQueue, RawEventsArriveAsGiven) {
    char marker = 'x';
    enum class Data { None, QueueCopy, Marker };
    struct Case {
        char const* name;
        RawEvent raw;
        Data expected;
    };
    RawEvent bigWithoutData{.timeDelta = 3, .eventType = gmpi::EVENT_PIN_SET, .pin = 1, .size = 100,
                            .parm3 = 7, .parm4 = 8, .payload = {}, .explicitExtraData = true, .extraData = nullptr};
    RawEvent negativeSize{.timeDelta = 0, .eventType = gmpi::EVENT_PIN_SET, .pin = 2, .size = -1,
                          .parm3 = 0, .parm4 = 0, .payload = {1, 2, 3}, .explicitExtraData = false,
                          .extraData = nullptr};
    RawEvent foreignPointer{.timeDelta = -4, .eventType = 999, .pin = -1, .size = 1,
                            .parm3 = 0, .parm4 = 0, .payload = {}, .explicitExtraData = true, .extraData = &marker};
    for (Case const& c : {Case{"100 bytes, no data", bigWithoutData, Data::None},
                          Case{"negative size with payload", negativeSize, Data::QueueCopy},
                          Case{"odd type, given pointer", foreignPointer, Data::Marker}}) {
        SCOPED_TRACE(c.name);
        EventQueue queue;
        queue.addRaw(c.raw);
        gmpi::MpEvent const* event = queue.build();
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->timeDelta, c.raw.timeDelta);
        EXPECT_EQ(event->eventType, c.raw.eventType);
        EXPECT_EQ(event->parm1, c.raw.pin);
        EXPECT_EQ(event->parm2, c.raw.size);
        EXPECT_EQ(event->parm3, c.raw.parm3);
        EXPECT_EQ(event->parm4, c.raw.parm4);
        switch (c.expected) {
        case Data::None:
            EXPECT_EQ(event->extraData, nullptr);
            break;
        case Data::QueueCopy:
            ASSERT_NE(event->extraData, nullptr);
            EXPECT_EQ(std::vector<uint8_t>(event->extraData, event->extraData + 3), c.raw.payload);
            break;
        case Data::Marker:
            EXPECT_EQ(event->extraData, &marker);
            break;
        }
    }
}

} // namespace
} // namespace zr::host
