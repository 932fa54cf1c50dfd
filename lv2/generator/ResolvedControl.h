#pragma once
// A control port with everything the Turtle states about it, taken from the pin's description
// (lv2/PluginCatalog.h says which pin) or from the table for the plug-in's own ports.

#include <string>
#include <utility>
#include <vector>

#include "host/ModuleDescriptions.h"
#include "lv2/PluginCatalog.h"

namespace zr::lv2 {

struct ResolvedControl {
    std::string symbol;
    std::string name;
    std::string comment;
    std::string unit;
    double min = 0.0;
    double max = 1.0;
    double defaultValue = 0.0;
    bool toggle = false;
    bool integer = false;
    bool enumeration = false;
    std::vector<std::pair<int32_t, std::string>> labels;
};

// [build time] Every control of `plugin`, in port order. Throws std::runtime_error naming the
// port when its module or pin is unknown, the pin is no control input, or no range is known.
std::vector<ResolvedControl> resolveControls(PluginDefinition const& plugin, host::ModuleDescriptions const& descriptions);

} // namespace zr::lv2
