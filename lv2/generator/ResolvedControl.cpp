#include "lv2/generator/ResolvedControl.h"

#include <sstream>
#include <stdexcept>

#include "host/TextConversion.h"

namespace zr::lv2 {
namespace {

[[noreturn]] void refuse(ControlSpec const& spec, std::string const& reason) {
    throw std::runtime_error(std::string("control '") + spec.symbol + "': " + reason);
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

ResolvedControl ownControl(ControlSpec const& spec) {
    ResolvedControl control;
    control.symbol = spec.symbol;
    control.name = spec.name ? spec.name : spec.symbol;
    control.unit = spec.unit ? spec.unit : "";
    control.min = spec.min;
    control.max = spec.max;
    control.defaultValue = spec.defaultValue;
    control.toggle = spec.toggle;
    control.integer = spec.integer;
    control.labels = ownLabels(spec.labels);
    control.enumeration = !control.labels.empty();
    return control;
}

double numberOf(nlohmann::json const& value) { return value.is_boolean() ? (value.get<bool>() ? 1.0 : 0.0) : value.get<double>(); }

void takeRange(ResolvedControl& control, ControlSpec const& spec, host::PinDescription const& pin) {
    if (spec.hasRange) {
        control.min = spec.min;
        control.max = spec.max;
    } else if (pin.range.min && pin.range.max) {
        control.min = *pin.range.min;
        control.max = *pin.range.max;
    } else if (!pin.labels.empty()) {
        control.min = pin.labels.front().first;
        control.max = pin.labels.back().first;
    } else if (!control.toggle) {
        refuse(spec, "the description gives no range; the table must");
    }
}

ResolvedControl pinControl(ControlSpec const& spec, host::ModuleDescriptions const& descriptions) {
    host::ModuleDescription const* module = descriptions.find(host::wideFromUtf8(spec.moduleId));
    if (!module)
        refuse(spec, std::string("no module ") + spec.moduleId + " is described");
    host::PinDescription const* pin = module->findPin(spec.pinName);
    if (!pin)
        refuse(spec, std::string(spec.moduleId) + " has no pin " + spec.pinName);
    if (!pin->isInput() || pin->isAudio() || !pin->defaultValue)
        refuse(spec, std::string(spec.pinName) + " is no control input with a default");
    ResolvedControl control;
    control.symbol = spec.symbol;
    control.name = spec.name ? spec.name : pin->name;
    control.comment = pin->meaning;
    control.unit = pin->unit;
    control.toggle = pin->datatype == gmpi::MP_BOOL;
    control.integer = pin->datatype == gmpi::MP_INT32 || pin->datatype == gmpi::MP_ENUM;
    control.defaultValue = numberOf(*pin->defaultValue);
    takeRange(control, spec, *pin);
    // Labels that name every accepted value make a menu; others mark single values.
    control.enumeration = pin->datatype == gmpi::MP_INT32 && !pin->labels.empty() && !pin->range.isSet();
    for (auto const& [value, label] : pin->labels)
        control.labels.emplace_back(value, shortLabel(label));
    return control;
}

} // namespace

std::vector<ResolvedControl> resolveControls(PluginSpec const& plugin, host::ModuleDescriptions const& descriptions) {
    std::vector<ResolvedControl> controls;
    for (ControlSpec const& spec : plugin.controls)
        controls.push_back(spec.moduleId ? pinControl(spec, descriptions) : ownControl(spec));
    return controls;
}

} // namespace zr::lv2
