#pragma once
// An audio buffer with guard samples on both sides, all holding a marker that no module
// computes, so a test sees which samples a block function wrote and whether it wrote outside
// the samples of the block.

#include <cstdint>
#include <vector>

namespace zr::hostile {

class GuardedBuffer {
public:
    static constexpr int32_t kGuard = 64;

    explicit GuardedBuffer(int32_t capacity);

    // The first sample of the block; the module gets this pointer.
    float* data() { return storage_.data() + kGuard; }
    float const* data() const { return storage_.data() + kGuard; }

    // Every sample, guards included, back to the marker.
    void mark();
    // Whether sample i of the block still holds the marker (the module did not write it).
    bool unwritten(int32_t i) const;
    // Whether everything outside samples 0..count-1 still holds the marker.
    bool untouchedOutside(int32_t count) const;

    // The whole storage, guards included, to compare an input before and after a block.
    std::vector<float> const& storage() const { return storage_; }

private:
    std::vector<float> storage_;
};

} // namespace zr::hostile
