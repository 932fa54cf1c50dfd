#pragma once
// The events a runner queues for a module's next block, and the linked list it hands to
// process(). Values of up to 8 bytes travel inline in parm3/parm4; larger ones in a byte store
// the queue owns, pointed to by extraData.
//
// Storage is kept between blocks: once reserve() has set aside room for a block's events and
// their bytes, queueing, building and clearing allocate nothing. A queue made fixed refuses
// what does not fit instead of growing, so that the audio thread never allocates.

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

    // [load time] Sets aside room for `events` events per block carrying `payloadBytes` bytes
    // in all. With `fixed`, add() refuses what goes beyond instead of allocating.
    void reserve(std::size_t events, std::size_t payloadBytes, bool fixed);

    // An event of `eventType` carrying `size` bytes of `data` (none when size is 0). False,
    // and nothing queued, when a fixed queue has no room left for it. Throws
    // std::invalid_argument for a size beyond parm2.
    bool add(int32_t eventType, int32_t pin, int32_t timeDelta, void const* data, std::size_t size);
    void addRaw(RawEvent event);

    // When set, build() links the events in the order they were queued instead of sorting
    // them by time, so that a test can hand a module an out-of-order list.
    void keepOrderAsGiven(bool keep) { keepOrder_ = keep; }

    bool empty() const { return queued_.empty(); }
    std::size_t size() const { return queued_.size(); }
    // Events a fixed queue refused since it was made.
    int64_t refused() const { return refused_; }

    // Links the queued events, stably sorted by timeDelta unless the order is kept; null when
    // nothing is queued. The list and its data stay valid until clear().
    gmpi::MpEvent const* build();
    // Forgets the queued events, keeping the storage.
    void clear();

private:
    enum class ExtraData { None, Stored, Given };
    struct QueuedEvent {
        gmpi::MpEvent event{};
        ExtraData extraData = ExtraData::None;
        std::size_t storedAt = 0; // ExtraData::Stored: offset in bytes_
    };

    void sortByTime();
    bool hasRoomFor(std::size_t size) const;

    std::vector<QueuedEvent> queued_;
    std::vector<uint8_t> bytes_;
    std::vector<gmpi::MpEvent> list_;
    bool keepOrder_ = false;
    bool fixed_ = false;
    int64_t refused_ = 0;
};

} // namespace zr::host
