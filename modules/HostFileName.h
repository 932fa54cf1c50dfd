#pragma once
// Turns the short file name on a loader's or saver's pin into the full path the host gives
// for it.

#include <array>
#include <cwchar>
#include <string>

#include "sdk/GuiInterfaces.h"

namespace zr {

// Asks `host` to resolve `name` into a buffer of 500 characters. The buffer is zeroed and one
// character longer than the host is told, so a host that writes nothing gives an empty name
// (nothing is loaded or saved) and one that writes no terminator still ends inside it.
// Without a host the name stays as it is.
inline std::wstring resolveFileName(gmpi::IMpUserInterfaceHost* host, std::wstring const& name) {
    if (host == nullptr)
        return name;
    constexpr int32_t kCapacity = 500;
    std::array<wchar_t, kCapacity + 1> fullName{};
    host->resolveFilename(name.c_str(), kCapacity, fullName.data());
    return std::wstring(fullName.data(), std::wcslen(fullName.data()));
}

} // namespace zr
