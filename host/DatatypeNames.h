#pragma once
// The datatype names that module descriptions use, and the codes pins report.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "sdk/Interfaces.h"

namespace zr::host {

inline constexpr std::array<std::pair<std::string_view, int32_t>, 8> datatypeNames = {{
    {"int", gmpi::MP_INT32},
    {"text", gmpi::MP_STRING},
    {"midi", gmpi::MP_MIDI},
    {"bool", gmpi::MP_BOOL},
    {"audio", gmpi::MP_AUDIO},
    {"float", gmpi::MP_FLOAT32},
    {"enum", gmpi::MP_ENUM},
    {"blob", gmpi::MP_BLOB},
}};

constexpr std::optional<int32_t> datatypeFromName(std::string_view name) {
    for (auto const& [known, code] : datatypeNames)
        if (known == name)
            return code;
    return std::nullopt;
}

constexpr std::string_view datatypeName(int32_t code) {
    for (auto const& [name, known] : datatypeNames)
        if (known == code)
            return name;
    return "unknown";
}

} // namespace zr::host
