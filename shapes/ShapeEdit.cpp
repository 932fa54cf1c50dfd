// Node edits shared by the editor and the modules that reshape a shape on command.

#include <cmath>
#include <cstring>
#include <utility>

#include "shapes/Shape.h"

namespace zr {

namespace {

// 1 - x rounds below 0.5, so nodes a float step apart can mirror onto one x. Each interior
// node that no longer lies above the node before it moves one float step above it; nodes
// pushed against the last node then step back below it, so x increases strictly again.
void separateInteriorNodes(Node* nodes, int32_t count) {
    for (int32_t i = 1; i < count - 1; ++i)
        if (!(nodes[i].x > nodes[i - 1].x))
            nodes[i].x = std::nextafter(nodes[i - 1].x, 2.0f);
    for (int32_t i = count - 2; i >= 1; --i)
        if (!(nodes[i].x < nodes[i + 1].x))
            nodes[i].x = std::nextafter(nodes[i + 1].x, -1.0f);
}

} // namespace

// Node order is reversed and every x mirrored; a shape whose x increased before the flip
// increases after it too.
void Shape::flipHorizontal() {
    bool const ordered = xStrictlyIncreasing();
    for (int32_t i = 0; i < (nodeCount + 1) / 2; ++i) {
        int32_t const j = nodeCount - 1 - i;
        Node const left = nodes[i];
        Node const right = nodes[j];
        nodes[i] = {1.0f - right.x, right.y};
        nodes[j] = {1.0f - left.x, left.y}; // for the middle node of an odd count, j == i
    }
    if (ordered)
        separateInteriorNodes(nodes, nodeCount);
    changed = 1;
}

void Shape::flipVertical() {
    for (int32_t i = 0; i < nodeCount; ++i)
        nodes[i].y = -nodes[i].y;
    changed = 1;
}

bool Shape::insertNode(int32_t index, Node node) {
    if (nodeCount >= kMaxNodes || index < 1 || index > nodeCount - 1)
        return false;
    std::memmove(&nodes[index + 1], &nodes[index], static_cast<std::size_t>(nodeCount - index) * sizeof(Node));
    nodes[index] = node;
    ++nodeCount;
    changed = 1;
    return true;
}

bool Shape::removeNode(int32_t index) {
    if (nodeCount <= kMinNodes || index < 0 || index >= nodeCount)
        return false;
    std::memmove(&nodes[index], &nodes[index + 1], static_cast<std::size_t>(nodeCount - 1 - index) * sizeof(Node));
    --nodeCount;
    changed = 1;
    return true;
}

} // namespace zr
