#pragma once
// The events a runner queues for a module's next block, and the linked list it hands to
// process(). Values of up to 8 bytes travel inline in parm3/parm4; larger ones in storage the
// queue owns, pointed to by extraData.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/Interfaces.h"

namespace zr::host {

// An event exactly as a test wants it sent, including ones no well-behaved host would send.
struct RawEvent {
    int32_t timeDelta = 0;
    int32_t eventType = gmpi::EVENT_PIN_SET;
    int32_t pin = 0;                 // parm1
    int32_t size = 0;                // parm2, sent as given (any value, also negative)
    int32_t parm3 = 0;
    int32_t parm4 = 0;
    std::vector<uint8_t> payload;    // if not empty, extraData points to a copy of it
    bool explicitExtraData = false;  // send `extraData` below as given, even null
    char* extraData = nullptr;
};

class EventQueue {
public:
    // Storage for this many events is set aside at once; more still work.
    explicit EventQueue(std::size_t expectedEventsPerBlock = 256);

    EventQueue(EventQueue const&) = delete;
    EventQueue& operator=(EventQueue const&) = delete;

    // An event of `eventType` carrying `size` bytes of `data` (none when size is 0).
    void add(int32_t eventType, int32_t pin, int32_t timeDelta, void const* data, std::size_t size);
    void addRaw(RawEvent event);

    // When set, build() links the events in the order they were queued instead of sorting
    // them by time, so that a test can hand a module an out-of-order list.
    void keepOrderAsGiven(bool keep) { keepOrder_ = keep; }

    bool empty() const { return queued_.empty(); }
    std::size_t size() const { return queued_.size(); }

    // Links the queued events, stably sorted by timeDelta unless the order is kept; null when
    // nothing is queued. The list and its data stay valid until clear().
    gmpi::MpEvent const* build();
    void clear();

private:
    struct QueuedEvent {
        gmpi::MpEvent event{};
        std::vector<uint8_t> payload;
        bool extraDataIsPayload = false;
    };

    std::vector<QueuedEvent> queued_;
    std::vector<gmpi::MpEvent> list_;
    bool keepOrder_ = false;
};

} // namespace zr::host
