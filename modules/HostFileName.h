#pragma once
// Turns the short file name on a loader's or saver's pin into the full path the host gives
// for it. Both generations of loaders and savers resolve alike; they differ only in what they
// take from a host that answers that it could not resolve the name.

#include <array>
#include <cwchar>
#include <string>

#include "sdk/GuiInterfaces.h"

namespace zr {

// What a loader or saver takes as the name when the host's answer is not MP_OK (our host
// answers so for a full name that it had to cut short to fit the buffer).
enum class RefusedName {
    AsWritten, // whatever the host left in the buffer (ZR_ShapeLoader3, ZR_ShapeSaver3)
    Empty,     // no name, so nothing is loaded or saved (ZR_ShapeLoader2, ZR_ShapeSaver2)
};

// [ui thread] Asks `host` (either UI host interface: both resolve alike) to resolve `name`
// into a buffer of 500 characters. The buffer is zeroed and one character longer than the
// host is told, so a host that writes nothing gives an empty name (nothing is loaded or saved)
// and one that writes no terminator still ends inside it. Without a host the name stays as
// it is.
template <typename UiHost>
std::wstring resolveFileName(UiHost* host, std::wstring const& name, RefusedName onRefusal) {
    if (host == nullptr)
        return name;
    constexpr int32_t kCapacity = 500;
    std::array<wchar_t, kCapacity + 1> fullName{};
    int32_t const answer = host->resolveFilename(name.c_str(), kCapacity, fullName.data());
    if (answer != gmpi::MP_OK && onRefusal == RefusedName::Empty)
        return {};
    return std::wstring(fullName.data(), std::wcslen(fullName.data()));
}

} // namespace zr
