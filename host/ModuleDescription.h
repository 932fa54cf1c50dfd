#pragma once
// What the host knows about a module's pins: the bundle carries none of it, the host reads
// it from the module descriptions file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/HostPinIterator.h"

namespace zr::host {

struct PinDescription {
    int32_t index = 0;
    std::string name;
    int32_t datatype = gmpi::MP_INT32;  // gmpi::PinDatatype code
    int32_t direction = gmpi::MP_IN;    // gmpi::PinDirection code
    std::optional<nlohmann::json> defaultValue;  // absent for audio and MIDI pins

    bool isInput() const { return direction == gmpi::MP_IN; }
    bool isAudio() const { return datatype == gmpi::MP_AUDIO; }
};

struct ModuleDescription {
    std::wstring id;
    int32_t subType = 0;
    std::string summary;
    std::vector<PinDescription> pins;  // ordered by index, indices 0..n-1

    // Both throw std::out_of_range naming the module when there is no such pin.
    PinDescription const& pinByName(std::string_view name) const;
    PinDescription const& pin(int32_t index) const;
    PinDescription const* findPin(std::string_view name) const;

    // The pins as the host's pin iterator reports them.
    std::vector<IteratorPin> iteratorPins() const;
    std::string idText() const;
};

} // namespace zr::host
