#pragma once
// The module descriptions file the host reads beside the bundle:
//   { "modules": [ { "id": "ZR_Waveshaper2", "subType": 0, "summary": "...",
//                    "pins": [ { "index": 0, "name": "Shape", "datatype": "text",
//                                "direction": "in", "default": "" }, ... ] } ] }
// datatype is one of int, text, midi, bool, audio, float, enum, blob; direction "in" or "out";
// "default" is written as PinValueEncoding.h says and is absent for audio and MIDI pins.
// "repeatable": true (optional, default false) marks a pin that a host may add to an
// instance again and again, like more shapes to morph; only the last pin, an input, may carry
// it. Added copies continue the indices one by one after it and are named "<name> 2",
// "<name> 3", ... (ModuleDescription::withRepeatedPin).
// What each pin means to a person, all optional here (the description check wants a meaning
// on every pin and checks that the rest agrees with the datatype and the default):
//   "unit": "V"                         the unit of its values ("V", "ms", "Hz", "px", ...)
//   "range": { "min": -5, "max": 5 }    the span its values are meant for; one end may be left out
//   "labels": { "0": "none", ... }      names of int or enum values, keyed by the value
//   "meaning": "..."                    one sentence: what the pin does
//   "shapeForm": "text" | "image"       the pin carries a shape as its text form or its blob image
// Pin indices are stored in users' patches: a module's pins are listed 0..n-1, append only.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "host/ModuleDescription.h"

namespace zr::host {

class ModuleDescriptions {
public:
    // Both throw std::runtime_error naming the source, the module and the pin at fault.
    static ModuleDescriptions load(std::filesystem::path const& path);
    static ModuleDescriptions parse(std::string_view jsonText, std::string const& sourceName = "module descriptions");

    ModuleDescription const* find(std::wstring_view id) const;
    std::vector<ModuleDescription> const& all() const { return modules_; }

private:
    std::vector<ModuleDescription> modules_;
};

} // namespace zr::host
