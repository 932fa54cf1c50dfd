// The event lists our host builds: where the data travels, and in which order events arrive.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "host/EventQueue.h"

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

} // namespace
} // namespace zr::host
