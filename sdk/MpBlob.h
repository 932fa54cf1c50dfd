#pragma once
// The value of a blob pin: a size and an owned byte array.

#include <cstddef>
#include <cstdint>

class MpBlob {
public:
    MpBlob() = default;
    MpBlob(MpBlob const& other);
    MpBlob& operator=(MpBlob const& other);
    ~MpBlob();

    // Replaces the contents with `size` bytes from `bytes`. A null source counts as no bytes.
    // The source may point into this blob's own array.
    void setValueRaw(size_t size, void const* bytes);
    // Sets the size; growing discards the contents, shrinking keeps the first bytes.
    void resize(int32_t size);

    int32_t getSize() const { return static_cast<int32_t>(size_); }
    char* getData() const { return data_; }

    bool operator==(MpBlob const& other) const { return compare(other.data_, other.getSize()); }
    bool operator!=(MpBlob const& other) const { return !(*this == other); }
    // True when the blob holds exactly these bytes (despite the name, true means equal).
    bool compare(char const* bytes, int32_t size) const;

private:
    uint64_t size_ = 0;
    char* data_ = nullptr;
};
