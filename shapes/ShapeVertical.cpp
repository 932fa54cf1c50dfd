// Vertical edits: shift, snap, fit and scale change y only.

#include "shapes/Shape.h"

#include <algorithm>
#include <cmath>

#include "shapes/Clamp.h"

namespace zr {

float scaledAbout(float level, float center, float gain, float low, float high) {
    float const c = clampf(center, low, high);
    return clampf((level - c) * gain + c, low, high);
}

float Shape::lowestY() const {
    float lowest = 1.0f;
    for (int32_t i = 0; i < nodeCount; ++i)
        lowest = nodes[i].y < lowest ? nodes[i].y : lowest;
    return lowest;
}

float Shape::highestY() const {
    float highest = -1.0f;
    for (int32_t i = 0; i < nodeCount; ++i)
        highest = nodes[i].y > highest ? nodes[i].y : highest;
    return highest;
}

bool Shape::shiftVert(float amount) {
    if (amount == 0.0f)
        return false;
    bool moved = false;
    for (int32_t i = 0; i < nodeCount; ++i) {
        float const shifted = clampf(nodes[i].y + amount, -1.0f, 1.0f);
        moved = moved || shifted != nodes[i].y;
        nodes[i].y = shifted;
    }
    if (moved)
        changed = 1;
    return moved;
}

bool Shape::snapVert(float level, bool moveLowest) {
    return shiftVert(level - (moveLowest ? lowestY() : highestY()));
}

bool Shape::fitVert(float bottom, float top) {
    float const a = clampf(bottom, -1.0f, 1.0f);
    float const b = clampf(top, -1.0f, 1.0f);
    auto flattenAt = [this](float level) {
        for (int32_t i = 0; i < nodeCount; ++i)
            nodes[i].y = level;
        changed = 1;
        return true;
    };
    if (a == b)
        return flattenAt(a);
    float const lowest = lowestY();
    float const highest = highestY();
    if (lowest == highest)
        return flattenAt((b + a) * 0.5f);
    // A spread too small to invert (subnormal) counts as flat, so no node becomes inf or NaN.
    float const inverseSpread = 1.0f / (highest - lowest);
    if (!std::isfinite(inverseSpread))
        return flattenAt((b + a) * 0.5f);

    float const levelSpan = b - a;
    float const floorLevel = std::min(a, b);
    float const ceilingLevel = std::max(a, b);
    bool moved = false;
    for (int32_t i = 0; i < nodeCount; ++i) {
        float const y = nodes[i].y;
        // The highest node lands on `top` exactly (the scaled value may miss it by a step);
        // rounding may not carry any node past the levels.
        float const scaled = (y - lowest) * levelSpan * inverseSpread + a;
        float const fitted = y == highest ? b : clampf(scaled, floorLevel, ceilingLevel);
        moved = moved || fitted != y;
        nodes[i].y = fitted;
    }
    if (moved)
        changed = 1;
    return moved;
}

bool Shape::scaleVert(float center, float gain) {
    if (gain == 1.0f)
        return false;
    bool moved = false;
    for (int32_t i = 0; i < nodeCount; ++i) {
        float const scaled = scaledAbout(nodes[i].y, center, gain, -1.0f, 1.0f);
        moved = moved || scaled != nodes[i].y;
        nodes[i].y = scaled;
    }
    if (moved)
        changed = 1;
    return moved;
}

} // namespace zr
