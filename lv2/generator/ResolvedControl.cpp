#include "lv2/generator/ResolvedControl.h"

#include <sstream>
#include <stdexcept>

#include "host/TextConversion.h"

namespace zr::lv2 {
namespace {

[[noreturn]] void refuse(ControlDefinition const& definition, std::string const& reason) {
    throw std::runtime_error(std::string("control '") + definition.symbol + "': " + reason);
}

// A label up to its first ':' ("none: the end nodes ..." gives "none"): scale points are short.
std::string shortLabel(std::string const& label) { return label.substr(0, label.find(':')); }

std::vector<std::pair<int32_t, std::string>> ownLabels(char const* labels) {
    std::vector<std::pair<int32_t, std::string>> parsed;
    std::istringstream items(labels ? labels : "");
    for (std::string item; std::getline(items, item, ';');) {
        size_t const equals = item.find('=');
        parsed.emplace_back(std::stoi(item.substr(0, equals)), item.substr(equals + 1));
    }
    return parsed;
}

ResolvedControl ownControl(ControlDefinition const& definition) {
    ResolvedControl control;
    control.symbol = definition.symbol;
    control.name = definition.name ? definition.name : definition.symbol;
    control.unit = definition.unit ? definition.unit : "";
    control.min = definition.min;
    control.max = definition.max;
    control.defaultValue = definition.defaultValue;
    control.toggle = definition.toggle;
    control.integer = definition.integer;
    control.labels = ownLabels(definition.labels);
    control.enumeration = !control.labels.empty();
    return control;
}

double numberOf(nlohmann::json const& value) { return value.is_boolean() ? (value.get<bool>() ? 1.0 : 0.0) : value.get<double>(); }

void takeRange(ResolvedControl& control, ControlDefinition const& definition, host::PinDescription const& pin) {
    if (definition.hasRange) {
        control.min = definition.min;
        control.max = definition.max;
    } else if (pin.range.min && pin.range.max) {
        control.min = *pin.range.min;
        control.max = *pin.range.max;
    } else if (!pin.labels.empty()) {
        control.min = pin.labels.front().first;
        control.max = pin.labels.back().first;
    } else if (!control.toggle) {
        refuse(definition, "the description gives no range; the table must");
    }
}

ResolvedControl pinControl(ControlDefinition const& definition, host::ModuleDescriptions const& descriptions) {
    host::ModuleDescription const* module = descriptions.find(host::wideFromUtf8(definition.moduleId));
    if (!module)
        refuse(definition, std::string("no module ") + definition.moduleId + " is described");
    host::PinDescription const* pin = module->findPin(definition.pinName);
    if (!pin)
        refuse(definition, std::string(definition.moduleId) + " has no pin " + definition.pinName);
    if (!pin->isInput() || pin->isAudio() || !pin->defaultValue)
        refuse(definition, std::string(definition.pinName) + " is no control input with a default");
    ResolvedControl control;
    control.symbol = definition.symbol;
    control.name = definition.name ? definition.name : pin->name;
    control.comment = pin->meaning;
    control.unit = pin->unit;
    control.toggle = pin->datatype == gmpi::MP_BOOL;
    control.integer = pin->datatype == gmpi::MP_INT32 || pin->datatype == gmpi::MP_ENUM;
    control.defaultValue = numberOf(*pin->defaultValue);
    takeRange(control, definition, *pin);
    // Labels that name every accepted value make a menu; others mark single values.
    control.enumeration = pin->datatype == gmpi::MP_INT32 && !pin->labels.empty() && !pin->range.isSet();
    for (auto const& [value, label] : pin->labels)
        control.labels.emplace_back(value, shortLabel(label));
    return control;
}

} // namespace

std::vector<ResolvedControl> resolveControls(PluginDefinition const& plugin, host::ModuleDescriptions const& descriptions) {
    std::vector<ResolvedControl> controls;
    for (ControlDefinition const& definition : plugin.controls)
        controls.push_back(definition.moduleId ? pinControl(definition, descriptions) : ownControl(definition));
    return controls;
}

} // namespace zr::lv2
