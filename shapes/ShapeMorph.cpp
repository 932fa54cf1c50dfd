// Blending two shapes whose node counts may differ.

#include "shapes/Shape.h"

#include "shapes/Clamp.h"

namespace zr {

namespace {

float blendY(float shorterY, float shorterWeight, float longerY, float longerWeight) {
    return clampf(shorterY * shorterWeight + longerY * longerWeight, -1.0f, 1.0f);
}

} // namespace

bool Shape::morphWith(Shape const& other, float amount) {
    float const a = clampf(amount, 0.0f, 1.0f);
    if (a == 0.0f)
        return false;

    // The shape with fewer nodes (`other` when the counts are equal) supplies, for each node
    // j of the longer one, its node j x nS / nL.
    bool const otherIsShorter = other.nodeCount <= nodeCount;
    Shape const& shorter = otherIsShorter ? other : *this;
    Shape const& longer = otherIsShorter ? *this : other;
    float const shorterWeight = otherIsShorter ? a : 1.0f - a;
    float const longerWeight = 1.0f - shorterWeight;
    int32_t const shorterCount = shorter.nodeCount;
    int32_t const longerCount = longer.nodeCount;

    Node blended[kMaxNodes];
    int32_t count = 0;
    blended[count++] = {0.0f, blendY(shorter.nodes[0].y, shorterWeight, longer.nodes[0].y, longerWeight)};

    // Interior nodes are blended in the offset domain; one that would not lie right of the
    // last kept node is dropped, so x stays strictly increasing. A blend beyond the right
    // end can come only from an image with x outside 0..1 and is dropped too.
    float lastOffsetX = kXOffset;
    for (int32_t j = 1; j <= longerCount - 2; ++j) {
        int32_t const k = j * shorterCount / longerCount;
        Node const& s = shorter.nodes[k];
        Node const& l = longer.nodes[j];
        float const offsetX = s.x * shorterWeight + l.x * longerWeight + kXOffset;
        if (!(offsetX > lastOffsetX && offsetX <= kXOffset + 1.0f))
            continue;
        blended[count++] = {offsetX - kXOffset, blendY(s.y, shorterWeight, l.y, longerWeight)};
        lastOffsetX = offsetX;
    }
    // A kept node can round onto the right end; then it is the end node.
    if (lastOffsetX < kXOffset + 1.0f || longerCount < 3)
        blended[count++] = {1.0f, blendY(shorter.nodes[shorterCount - 1].y, shorterWeight,
                                         longer.nodes[longerCount - 1].y, longerWeight)};
    return assignNodes(blended, count);
}

} // namespace zr
