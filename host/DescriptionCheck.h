#pragma once
// Confirms a module description against a freshly created module, through the module
// interfaces only: the pins the description lists are the pins the module registers once
// opened, and (on the audio side) at graph start each output sends what its datatype says. A
// module with a repeatable pin is checked as described and again with three copies of that pin.

#include <string>
#include <vector>

#include "host/ModuleDescription.h"
#include "sdk/Interfaces.h"

namespace zr::host {

class Bundle;

// Whether checkDescription examines this module: audio-side (sub-type 0) and GUI-side
// (sub-type 2) modules are; any other sub-type is not checked yet.
bool isCheckedByDescriptionCheck(ModuleDescription const& description);

// The description's own consistency, without the module: every pin has a meaning; a range
// sits on a number pin (int, float, enum or audio), its min is not above its max and the
// default and every labelled value lie inside it; labels sit on int or enum pins; a shape
// form sits on a text pin, or for the image also on a blob pin. One line per problem, in the
// form checkDescription reports.
std::vector<std::string> checkPinFields(ModuleDescription const& description);

// One human-readable line per mismatch; empty when the module matches. The lines of
// checkPinFields come first. A module that is not
// checked gives the single line "<id>: not checked yet (...)".
std::vector<std::string> checkDescription(Bundle& bundle, ModuleDescription const& description);
std::vector<std::string> checkDescription(gmpi::IMpFactory2& factory, ModuleDescription const& description);

} // namespace zr::host
