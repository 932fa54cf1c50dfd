#pragma once
// What the module fuzz targets share: the bundle's code is linked into the program and its
// factory is reached through MP_GetFactory, as a host would; the module an input drives is
// picked by its first bytes; broken properties are listed one a line.

#include <cstddef>
#include <string>
#include <vector>

#include "host/ModuleDescriptions.h"
#include "testing/hostile/Choices.h"
#include "sdk/Interfaces.h"

namespace zr::fuzz {

inline gmpi::IMpFactory2& linkedFactory() {
    static gmpi::IMpFactory2* const instance = [] {
        void* unknown = nullptr;
        MP_GetFactory(&unknown);
        void* factory2 = nullptr;
        static_cast<gmpi::IMpUnknown*>(unknown)->queryInterface(MP_IID_FACTORY2, &factory2);
        return static_cast<gmpi::IMpFactory2*>(factory2);
    }();
    return *instance;
}

// The modules `side` picks from the descriptions, loaded once.
template <auto side>
std::vector<host::ModuleDescription> const& sideModules() {
    static auto const modules = side(host::ModuleDescriptions::load(ZR_METADATA_PATH));
    return modules;
}

// The module an input drives, picked by `choices` (its first bytes) from `side`'s modules;
// null for an empty input or a side without modules.
template <auto side>
host::ModuleDescription const* pickModule(hostile::Choices& choices, std::size_t size) {
    if (size == 0 || sideModules<side>().empty())
        return nullptr;
    return &choices.pick(sideModules<side>());
}

inline std::string joined(std::vector<std::string> const& lines) {
    std::string text;
    for (std::string const& line : lines)
        text += "\n  " + line;
    return text;
}

} // namespace zr::fuzz
