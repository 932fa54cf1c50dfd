// Edits of single nodes and the horizontal shift, all bound by the rule that x stays strictly
// increasing with the ends at 0 and 1.

#include "shapes/Shape.h"

#include <algorithm>
#include <cmath>

#include "shapes/Clamp.h"

namespace zr {

bool Shape::placeNodeXBetweenNeighbours(int32_t index, float offsetX) {
    if (index < 1 || index >= nodeCount - 1)
        return false;
    float const lowest = std::nextafter(nodes[index - 1].x + kXOffset, 2.0f);
    float const highest = std::nextafter(nodes[index + 1].x + kXOffset, 0.0f);
    // Neighbours closer than two float steps (or a NaN among them) leave no place strictly
    // between them; a NaN request has no place at all. The node then keeps its x.
    if (!(lowest <= highest) || std::isnan(offsetX))
        return false;
    float const placed = offsetX < lowest ? lowest : std::min(highest, offsetX);
    if (placed == nodes[index].x + kXOffset)
        return false;
    nodes[index].x = placed - kXOffset;
    changed = 1;
    return true;
}

bool Shape::xStrictlyIncreasing() const {
    for (int32_t i = 1; i < nodeCount && i < kMaxNodes; ++i)
        if (!(nodes[i - 1].x < nodes[i].x))
            return false;
    return true;
}

bool Shape::setNodeY(int32_t index, float y) {
    if (index < 0 || index >= nodeCount)
        return false;
    float const clamped = clampf(y, -1.0f, 1.0f);
    if (!(clamped != nodes[index].y))
        return false;
    nodes[index].y = clamped;
    changed = 1;
    return true;
}

bool Shape::insertNode(Node node) {
    if (nodeCount >= kMaxNodes || !(node.x > 0.0f && node.x < 1.0f))
        return false;
    Node* const end = nodes + nodeCount;
    if (std::any_of(nodes, end, [&node](Node const& n) { return n.x == node.x; }))
        return false;
    // Before the first node right of it; the last node stays last whatever its x.
    Node const* position = std::find_if(nodes + 1, end - 1, [&node](Node const& n) { return n.x > node.x; });
    return insertNode(static_cast<int32_t>(position - nodes), {node.x, clampf(node.y, -1.0f, 1.0f)});
}

bool Shape::shiftHoriz(float amount) {
    if (nodeCount == kMinNodes)
        return false;
    float const shift = amount + kXOffset;
    if (shift == kXOffset)
        return false;
    // Each node is clamped against its neighbours as they are at that moment, so the side
    // the nodes move toward goes first.
    bool moved = false;
    int32_t const lastInterior = nodeCount - 2;
    if (shift < kXOffset) {
        for (int32_t i = 1; i <= lastInterior; ++i)
            moved |= placeNodeXBetweenNeighbours(i, shift + nodes[i].x);
    } else {
        for (int32_t i = lastInterior; i >= 1; --i)
            moved |= placeNodeXBetweenNeighbours(i, shift + nodes[i].x);
    }
    return moved;
}

} // namespace zr
