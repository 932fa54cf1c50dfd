#pragma once
// The lenient parser of the older module generation. Unlike zr::Shape::setString it ends
// quietly at the first thing that is not a node (so a trailing "\nITP=" line is ignored),
// clamps y instead of rejecting it, and maps the nodes into the caller's rectangle.

#include <cstdint>
#include <string>

#include "shapes/Shape.h"
#include "shapes/Volts.h"

namespace zr::shapes {

using Node = zr::Node;

inline constexpr int32_t kMaxLegacyNodes = 100;

// Reads "(x,y)(x,y)..." in volts into `out` (room for kMaxLegacyNodes), mapping x from
// -5..5 onto xMin..xMax and y from -5..5 onto yMin..yMax with mapFromVolts (shapes/Volts.h).
// Returns the node count, or 0 when the text is refused: fewer than 2 nodes, a first x other
// than -5, an x outside -5..5 (NaN included) or not above the one before, or a last x other
// than 5. At most 100 nodes are read; whatever follows the 100th is ignored. The text is only
// read, never copied, and `out` is written only when the text is accepted.
int32_t parseNodes(std::wstring const& text, float xMin, float xMax, float yMin, float yMax, Node* out);

} // namespace zr::shapes
