#pragma once
// The value of a blob pin: a size and an owned byte array. Copies are deep; an allocation
// that fails throws std::bad_alloc. The array grows to the largest value held and is kept, so
// a value no larger than an earlier one is stored without allocating: once a pin has held its
// largest value, the block functions that set it stay allocation-free.

#include <cstddef>
#include <cstdint>

class MpBlob {
public:
    MpBlob() = default;
    MpBlob(MpBlob const& other);
    MpBlob& operator=(MpBlob const& other);
    ~MpBlob();

    // Replaces the contents with `size` bytes copied from `bytes`. A null source counts as no
    // bytes. The source may point into this blob's own array. When the allocation fails the
    // blob keeps its contents.
    void setValueRaw(size_t size, void const* bytes);
    // Sets the size; growing discards the contents (the new bytes are unset), shrinking keeps
    // the first bytes; a negative size counts as 0.
    void resize(int32_t size);

    int32_t getSize() const { return static_cast<int32_t>(size_); }
    // The blob's own bytes, valid until it changes; may be null when empty.
    char* getData() const { return data_; }

    bool operator==(MpBlob const& other) const { return compare(other.data_, other.getSize()); }
    bool operator!=(MpBlob const& other) const { return !(*this == other); }
    // True when the blob holds exactly these bytes (despite the name, true means equal).
    bool compare(char const* bytes, int32_t size) const;

private:
    uint64_t size_ = 0;
    uint64_t capacity_ = 0; // bytes allocated at data_
    char* data_ = nullptr;
};
