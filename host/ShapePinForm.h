#pragma once
// The form in which a pin carries a shape, which its datatype alone does not tell: a blob
// pin carries the blob image, but a text pin may carry the text form (the older modules, the
// text converters, an editor's reset shape) or the blob image as raw bytes (the waveshapers'
// shape pins). Hosts convert between the forms, or refuse, by this.

#include "host/ModuleDescription.h"

namespace zr::host {

enum class ShapeForm {
    None,  // the pin carries no shape
    Image, // the blob image: magic, node count, nodes
    Text,  // the text form "(-5,0)(5,0)" in volts
};

// [any thread] The form of `pin` of `module`; None for every pin that carries no shape.
ShapeForm shapeFormOf(ModuleDescription const& module, PinDescription const& pin);

// "a blob image" or "a shape text", for messages.
char const* shapeFormName(ShapeForm form);

} // namespace zr::host
