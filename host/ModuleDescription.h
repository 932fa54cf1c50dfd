#pragma once
// What the host knows about a module's pins: the bundle carries none of it, the host reads
// it from the module descriptions file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/HostPinIterator.h"

namespace zr::host {

// The span a number pin's values are meant to lie in; either end may be open.
struct PinRange {
    std::optional<double> min;
    std::optional<double> max;

    bool isSet() const { return min || max; }
    bool contains(double value) const { return (!min || value >= *min) && (!max || value <= *max); }
    // "min..max", an open end left empty ("0..", "..100"); numbers in their shortest form.
    std::string text() const;
};

// The shortest decimal text that reads back as `value`: "5", "0.25", "-1e+30".
std::string numberText(double value);

// How a pin carries a shape: as its text form or as its blob image. A text pin may carry the
// image, its bytes packed into the characters.
enum class ShapeForm { none, text, image };

// "a blob image", "a shape text" or "no shape", for messages.
char const* shapeFormName(ShapeForm form);

struct PinDescription {
    int32_t index = 0;
    std::string name;
    int32_t datatype = gmpi::MP_INT32;  // gmpi::PinDatatype code
    int32_t direction = gmpi::MP_IN;    // gmpi::PinDirection code
    std::optional<nlohmann::json> defaultValue;  // absent for audio and MIDI pins
    // The host may give an instance more copies of this pin (see withRepeatedPin).
    bool repeatable = false;
    // What a person needs to set the pin: all optional in the file; the description check
    // reports a pin without a meaning.
    std::string unit;                                     // "V", "ms", "Hz", ...; empty: none
    PinRange range;
    std::vector<std::pair<int32_t, std::string>> labels;  // value -> label, ascending values
    std::string meaning;                                  // one sentence
    ShapeForm shapeForm = ShapeForm::none;

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

    // The pin a host may repeat, or null. Only the last pin, an input, can be repeatable.
    PinDescription const* repeatablePin() const;
    // The description of an instance that has `copies` copies of the repeatable pin (1 gives
    // this description's pins). None of the instance's pins is repeatable. The added copies continue the indices after it, one each, and take
    // its datatype, direction and default; copy n (from 2) is named "<name> <n>", so a
    // morpher with three shape inputs has "Shape", "Shape 2" and "Shape 3" at 2, 3 and 4.
    // With 0 copies the pin is left out. Throws std::invalid_argument naming the module when
    // it has no repeatable pin or `copies` is negative.
    ModuleDescription withRepeatedPin(int32_t copies) const;

    // The pins as the host's pin iterator reports them.
    std::vector<IteratorPin> iteratorPins() const;
    std::string idText() const;
};

} // namespace zr::host
