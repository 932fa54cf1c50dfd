#pragma once
// How each pin value type is read from and written as raw bytes. Sizes come from the host
// and are never trusted: nothing reads or writes beyond the value or the given bytes. The
// given bytes are read only during the call; data() points into the value, valid until it
// changes. Texts and blobs that grow may throw std::bad_alloc.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "sdk/MpBlob.h"

namespace gmpi::raw {

// Ints and floats: the host sends exactly 4 bytes; fewer fill a zeroed value, more are cut.
template <typename T>
    requires(sizeof(T) == 4)
void assign(T& value, int32_t size, void const* data) {
    T received{};
    if (data != nullptr && size > 0)
        std::memcpy(&received, data, std::min<size_t>(static_cast<size_t>(size), sizeof(T)));
    value = received;
}

// Bools: a 4-byte value is an int32 (non-zero = true), any other size gives its first byte,
// and no bytes at all keep the value.
inline void assign(bool& value, int32_t size, void const* data) {
    if (data == nullptr || size <= 0)
        return;
    if (size == 4) {
        int32_t word;
        std::memcpy(&word, data, 4);
        value = word != 0;
        return;
    }
    value = *static_cast<unsigned char const*>(data) != 0;
}

// Texts: 32-bit wide characters, no terminator; a trailing partial character is dropped.
inline void assign(std::wstring& value, int32_t size, void const* data) {
    size_t const characters = data != nullptr && size > 0 ? static_cast<size_t>(size) / sizeof(wchar_t) : 0;
    value.resize(characters);
    if (characters > 0)
        std::memcpy(value.data(), data, characters * sizeof(wchar_t));
}

inline void assign(MpBlob& value, int32_t size, void const* data) {
    value.setValueRaw(size > 0 ? static_cast<size_t>(size) : 0, data);
}

template <typename T>
int32_t size(T const&) { return sizeof(T); }
inline int32_t size(bool const&) { return 1; }
inline int32_t size(std::wstring const& value) { return static_cast<int32_t>(value.size() * sizeof(wchar_t)); }
inline int32_t size(MpBlob const& value) { return value.getSize(); }

template <typename T>
void const* data(T const& value) { return &value; }
inline void const* data(std::wstring const& value) { return value.data(); }
inline void const* data(MpBlob const& value) { return value.getData(); }

} // namespace gmpi::raw
