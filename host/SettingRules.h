#pragma once
// What the modules read from their setting pins beyond the datatype: interpolation modes,
// legacy modes, the oversampling exponent, on/off choices stored as numbers, node indices
// and editor colours, each as the module's source reads it. A host checks what a person
// sets against these before sending it, so that no value is quietly ignored or turned into
// another: a value the module would ignore is refused; a value the module takes by design
// but reads as something else (a 2 read as 1, a node past the shape read as none) is
// warned about. Both messages state the range.

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "host/ModuleDescription.h"

namespace zr::host {

struct SettingVerdict {
    enum class Kind { Fine, Warn, Refuse };
    Kind kind = Kind::Fine;
    std::string message; // empty when Fine; otherwise what the module does and the range
};

// [any thread] Checks `value` (as JSON, before encoding) for `pin` of `module`. `nodeCount`
// is the number of nodes of the module's own shape when the host knows it (node indices
// are then checked against it). Values of the wrong JSON type are left to the encoder.
SettingVerdict checkSetting(ModuleDescription const& module, PinDescription const& pin, nlohmann::json const& value,
                            std::optional<int32_t> nodeCount = {});

// [any thread] Whether `pin` of `module` picks a node of the module's shape, which the loader
// then checks against the shape it knows.
bool isNodeIndexPin(ModuleDescription const& module, PinDescription const& pin);

// [any thread] Whether `pin` of `module` takes the shape core's modes 0, 10, 20 and 30 (a
// shape file's ITP line names one of them).
bool takesInterpolationModes(ModuleDescription const& module, PinDescription const& pin);

} // namespace zr::host
