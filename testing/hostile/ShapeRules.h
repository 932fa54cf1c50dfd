#pragma once
// The node rules every producer of a shape keeps (the blob reader itself trusts them): x from
// exactly 0 to exactly 1, strictly increasing; y finite and within -1..+1.

#include <cmath>
#include <cstdint>

#include "shapes/Shape.h"

namespace zr::hostile {

inline bool keepsNodeRules(zr::Shape const& shape) {
    int32_t const n = shape.nodeCount;
    if (n < zr::Shape::kMinNodes || n > zr::Shape::kMaxNodes)
        return false;
    if (!(shape.nodes[0].x == 0.0f && shape.nodes[n - 1].x == 1.0f) || !shape.xStrictlyIncreasing())
        return false;
    for (int32_t i = 0; i < n; ++i) {
        float const y = shape.nodes[i].y;
        if (!std::isfinite(y) || !(y >= -1.0f && y <= 1.0f))
            return false;
    }
    return true;
}

// Whether the nodes stay apart where the shape's own edits move them, in x + kXOffset, and so
// through every edit and the text form in volts. The node rules alone allow gaps of one
// subnormal step, which no edit produces and which those forms cannot keep apart.
inline bool keepsEditableSpacing(zr::Shape const& shape) {
    for (int32_t i = 1; i < shape.nodeCount && i < zr::Shape::kMaxNodes; ++i)
        if (!(shape.nodes[i].x + zr::Shape::kXOffset > shape.nodes[i - 1].x + zr::Shape::kXOffset))
            return false;
    return true;
}

} // namespace zr::hostile
