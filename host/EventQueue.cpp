#include "host/EventQueue.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

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

void EventQueue::add(int32_t eventType, int32_t pin, int32_t timeDelta, void const* data, std::size_t size) {
    HostBookkeeping bookkeeping;
    if (size > static_cast<std::size_t>(INT32_MAX))
        throw std::invalid_argument("event data of " + std::to_string(size) + " bytes does not fit parm2");
    QueuedEvent& queued = queued_.emplace_back();
    queued.event.timeDelta = timeDelta;
    queued.event.eventType = eventType;
    queued.event.parm1 = pin;
    queued.event.parm2 = static_cast<int32_t>(size);
    if (size <= inlineCapacity) {
        storeInline(queued.event, data, size);
        return;
    }
    auto const* bytes = static_cast<uint8_t const*>(data);
    queued.payload.assign(bytes, bytes + size);
    queued.extraDataIsPayload = true;
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
    } else if (!raw.payload.empty()) {
        queued.payload = std::move(raw.payload);
        queued.extraDataIsPayload = true;
    }
}

gmpi::MpEvent const* EventQueue::build() {
    HostBookkeeping bookkeeping;
    if (queued_.empty())
        return nullptr;
    if (!keepOrder_)
        std::stable_sort(queued_.begin(), queued_.end(), [](QueuedEvent const& a, QueuedEvent const& b) {
            return a.event.timeDelta < b.event.timeDelta;
        });
    list_.resize(queued_.size());
    for (std::size_t i = 0; i < queued_.size(); ++i) {
        list_[i] = queued_[i].event;
        if (queued_[i].extraDataIsPayload)
            list_[i].extraData = reinterpret_cast<char*>(queued_[i].payload.data());
        list_[i].next = i + 1 < queued_.size() ? &list_[i + 1] : nullptr;
    }
    return list_.data();
}

void EventQueue::clear() {
    HostBookkeeping bookkeeping;
    queued_.clear();
    list_.clear();
}

} // namespace zr::host
