#include "sdk/MpBlob.h"

#include <cstring>

MpBlob::MpBlob(MpBlob const& other) { setValueRaw(other.size_, other.data_); }

MpBlob& MpBlob::operator=(MpBlob const& other) {
    setValueRaw(other.size_, other.data_);
    return *this;
}

MpBlob::~MpBlob() { delete[] data_; }

void MpBlob::setValueRaw(size_t size, void const* bytes) {
    if (bytes == nullptr)
        size = 0;
    if (size > capacity_) {
        // Copy before freeing: the source may lie inside the old array.
        char* fresh = new char[size];
        std::memcpy(fresh, bytes, size);
        delete[] data_;
        data_ = fresh;
        capacity_ = size;
        size_ = size;
        return;
    }
    if (size > 0 && bytes != data_)
        std::memmove(data_, bytes, size);
    size_ = size;
}

void MpBlob::resize(int32_t size) {
    size_t const newSize = size > 0 ? static_cast<size_t>(size) : 0;
    if (newSize > capacity_) {
        delete[] data_;
        data_ = nullptr;
        capacity_ = 0;
        data_ = new char[newSize];
        capacity_ = newSize;
    }
    size_ = newSize;
}

bool MpBlob::compare(char const* bytes, int32_t size) const {
    if (size < 0 || static_cast<uint64_t>(size) != size_)
        return false;
    if (size_ == 0)
        return true;
    return bytes != nullptr && std::memcmp(bytes, data_, size_) == 0;
}
