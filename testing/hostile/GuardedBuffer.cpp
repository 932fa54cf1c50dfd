#include "testing/hostile/GuardedBuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zr::hostile {
namespace {

// A signalling NaN with a payload that arithmetic never produces.
constexpr uint32_t kMarkerBits = 0x7FA5A5A5u;

bool isMarker(float sample) { return std::bit_cast<uint32_t>(sample) == kMarkerBits; }

} // namespace

GuardedBuffer::GuardedBuffer(int32_t capacity) : storage_(static_cast<std::size_t>(capacity + 2 * kGuard)) { mark(); }

void GuardedBuffer::mark() { std::fill(storage_.begin(), storage_.end(), std::bit_cast<float>(kMarkerBits)); }

bool GuardedBuffer::unwritten(int32_t i) const { return isMarker(data()[i]); }

bool GuardedBuffer::untouchedOutside(int32_t count) const {
    auto const firstOfBlock = storage_.begin() + kGuard;
    return std::all_of(storage_.begin(), firstOfBlock, isMarker) &&
           std::all_of(firstOfBlock + count, storage_.end(), isMarker);
}

} // namespace zr::hostile
