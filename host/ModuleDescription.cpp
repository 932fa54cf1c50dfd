#include "host/ModuleDescription.h"

#include <array>
#include <charconv>
#include <stdexcept>

#include "host/TextConversion.h"

namespace zr::host {

std::string numberText(double value) {
    std::array<char, 32> digits{};
    auto const written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), written.ptr);
}

std::string PinRange::text() const {
    return (min ? numberText(*min) : "") + ".." + (max ? numberText(*max) : "");
}

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

PinDescription const* ModuleDescription::repeatablePin() const {
    if (pins.empty() || !pins.back().repeatable)
        return nullptr;
    return &pins.back();
}

ModuleDescription ModuleDescription::withRepeatedPin(int32_t copies) const {
    PinDescription const* repeated = repeatablePin();
    if (!repeated)
        throw std::invalid_argument(idText() + " has no repeatable pin");
    if (copies < 0)
        throw std::invalid_argument(idText() + ": " + std::to_string(copies) + " copies of pin '" + repeated->name +
                                    "'");
    ModuleDescription instance = *this;
    PinDescription const original = instance.pins.back();
    instance.pins.pop_back();
    for (int32_t n = 1; n <= copies; ++n) {
        PinDescription copy = original;
        copy.repeatable = false; // an instance has a fixed number of pins
        copy.index = original.index + n - 1;
        if (n > 1)
            copy.name = original.name + " " + std::to_string(n);
        instance.pins.push_back(std::move(copy));
    }
    return instance;
}

std::vector<IteratorPin> ModuleDescription::iteratorPins() const {
    std::vector<IteratorPin> iterated;
    iterated.reserve(pins.size());
    for (PinDescription const& described : pins)
        iterated.push_back({described.index, described.direction, described.datatype});
    return iterated;
}

std::string ModuleDescription::idText() const { return utf8FromWide(id); }

char const* shapeFormName(ShapeForm form) {
    switch (form) {
    case ShapeForm::image:
        return "a blob image";
    case ShapeForm::text:
        return "a shape text";
    case ShapeForm::none:
        break;
    }
    return "no shape";
}

} // namespace zr::host
