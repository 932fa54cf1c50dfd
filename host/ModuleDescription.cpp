#include "host/ModuleDescription.h"

#include <stdexcept>

#include "host/TextConversion.h"

namespace zr::host {

PinDescription const* ModuleDescription::findPin(std::string_view name) const {
    for (PinDescription const& described : pins)
        if (described.name == name)
            return &described;
    return nullptr;
}

PinDescription const& ModuleDescription::pinByName(std::string_view name) const {
    if (PinDescription const* found = findPin(name))
        return *found;
    throw std::out_of_range(idText() + " has no pin named '" + std::string(name) + "'");
}

PinDescription const& ModuleDescription::pin(int32_t index) const {
    for (PinDescription const& described : pins)
        if (described.index == index)
            return described;
    throw std::out_of_range(idText() + " has no pin " + std::to_string(index));
}

std::vector<IteratorPin> ModuleDescription::iteratorPins() const {
    std::vector<IteratorPin> iterated;
    iterated.reserve(pins.size());
    for (PinDescription const& described : pins)
        iterated.push_back({described.index, described.direction, described.datatype});
    return iterated;
}

std::string ModuleDescription::idText() const { return utf8FromWide(id); }

} // namespace zr::host
