#include "host/EventQueue.h"

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/HostBookkeeping.h"

namespace zr::host {
namespace {

constexpr std::size_t inlineCapacity = sizeof(int32_t) * 2;

void storeInline(gmpi::MpEvent& event, void const* data, std::size_t size) {
    uint8_t inlineBytes[inlineCapacity] = {};
    if (size > 0)
        std::memcpy(inlineBytes, data, size);
    std::memcpy(&event.parm3, inlineBytes, sizeof(int32_t));
    std::memcpy(&event.parm4, inlineBytes + sizeof(int32_t), sizeof(int32_t));
}

} // namespace

EventQueue::EventQueue(std::size_t expectedEventsPerBlock) {
    queued_.reserve(expectedEventsPerBlock);
    list_.reserve(expectedEventsPerBlock);
}

void EventQueue::reserve(std::size_t events, std::size_t payloadBytes, bool fixed) {
    queued_.reserve(events);
    list_.reserve(events);
    bytes_.reserve(payloadBytes);
    fixed_ = fixed;
}

bool EventQueue::hasRoomFor(std::size_t size) const {
    if (!fixed_)
        return true;
    bool const stored = size > inlineCapacity;
    return queued_.size() < queued_.capacity() && (!stored || bytes_.size() + size <= bytes_.capacity());
}

bool EventQueue::add(int32_t eventType, int32_t pin, int32_t timeDelta, void const* data, std::size_t size) {
    HostBookkeeping bookkeeping;
    if (size > static_cast<std::size_t>(INT32_MAX))
        throw std::invalid_argument("event data of " + std::to_string(size) + " bytes does not fit parm2");
    if (!hasRoomFor(size)) {
        ++refused_;
        return false;
    }
    QueuedEvent& queued = queued_.emplace_back();
    queued.event.timeDelta = timeDelta;
    queued.event.eventType = eventType;
    queued.event.parm1 = pin;
    queued.event.parm2 = static_cast<int32_t>(size);
    if (size <= inlineCapacity) {
        storeInline(queued.event, data, size);
        return true;
    }
    auto const* bytes = static_cast<uint8_t const*>(data);
    queued.storedAt = bytes_.size();
    queued.extraData = ExtraData::Stored;
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    return true;
}

void EventQueue::addRaw(RawEvent raw) {
    HostBookkeeping bookkeeping;
    QueuedEvent& queued = queued_.emplace_back();
    queued.event.timeDelta = raw.timeDelta;
    queued.event.eventType = raw.eventType;
    queued.event.parm1 = raw.pin;
    queued.event.parm2 = raw.size;
    queued.event.parm3 = raw.parm3;
    queued.event.parm4 = raw.parm4;
    if (raw.explicitExtraData) {
        queued.event.extraData = raw.extraData;
        queued.extraData = ExtraData::Given;
    } else if (!raw.payload.empty()) {
        queued.storedAt = bytes_.size();
        queued.extraData = ExtraData::Stored;
        bytes_.insert(bytes_.end(), raw.payload.begin(), raw.payload.end());
    }
}

// A stable insertion sort: it needs no buffer, unlike std::stable_sort, and a block's events
// mostly arrive in time order already, which it passes through in one sweep.
void EventQueue::sortByTime() {
    for (std::size_t i = 1; i < queued_.size(); ++i) {
        QueuedEvent const moving = queued_[i];
        std::size_t j = i;
        for (; j > 0 && queued_[j - 1].event.timeDelta > moving.event.timeDelta; --j)
            queued_[j] = queued_[j - 1];
        queued_[j] = moving;
    }
}

gmpi::MpEvent const* EventQueue::build() {
    HostBookkeeping bookkeeping;
    if (queued_.empty())
        return nullptr;
    if (!keepOrder_)
        sortByTime();
    list_.resize(queued_.size());
    for (std::size_t i = 0; i < queued_.size(); ++i) {
        list_[i] = queued_[i].event;
        if (queued_[i].extraData == ExtraData::Stored)
            list_[i].extraData = reinterpret_cast<char*>(bytes_.data() + queued_[i].storedAt);
        list_[i].next = i + 1 < queued_.size() ? &list_[i + 1] : nullptr;
    }
    return list_.data();
}

void EventQueue::clear() {
    HostBookkeeping bookkeeping;
    queued_.clear();
    list_.clear();
    bytes_.clear();
}

} // namespace zr::host
