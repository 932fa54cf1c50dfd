#pragma once
// How `zrhost list` shows module descriptions: a line per pin for the overview, every field
// of every pin for one module, and the same fields as JSON. The markdown page of all modules
// is ModulesMarkdown.h.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/ModuleDescription.h"

namespace zr::cli {

// "text", "blob", ... and, for a pin that carries a shape, its form: "text (shape image)".
std::string datatypeText(host::PinDescription const& pin);
// "text" or "blob image" for a shape pin, "" otherwise.
std::string shapeFormText(host::ShapeForm form);
// The default as JSON writes it, or "-" for a pin without one (audio and MIDI pins).
std::string defaultText(host::PinDescription const& pin);

// The module's heading line and one line per pin: index, name, datatype with shape form,
// direction, unit, default. `problems` follow, one MISMATCH line each.
std::string overviewText(host::ModuleDescription const& module, std::vector<std::string> const& problems);
// The module's heading, its summary, and every field of every pin, the meaning wrapped.
std::string fullText(host::ModuleDescription const& module, std::vector<std::string> const& problems);
// The module with every field of every pin, whether it was confirmed, and its mismatches.
nlohmann::ordered_json moduleJson(host::ModuleDescription const& module, std::vector<std::string> const& problems);

} // namespace zr::cli
