#include "host/realtime/HeldNotes.h"

#include <algorithm>

namespace zr::host {

void HeldNotes::press(uint8_t note) {
    release(note);
    if (note < order_.size())
        order_[static_cast<size_t>(count_++)] = note;
}

void HeldNotes::release(uint8_t note) {
    auto const end = order_.begin() + count_;
    auto const found = std::find(order_.begin(), end, note);
    if (found == end)
        return;
    std::copy(found + 1, end, found);
    --count_;
}

std::optional<uint8_t> HeldNotes::sounding() const {
    if (count_ == 0)
        return std::nullopt;
    return order_[static_cast<size_t>(count_ - 1)];
}

} // namespace zr::host
