// ZR_GUI_ShapeXLink: links the horizontal position of each interior node of a shape to a
// float pin, both ways. Pin k + 1 carries node k + 1's place between its neighbours, 0..1.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "modules/ShapeNodeLink.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

class ZR_GUI_ShapeXLink : public ShapeNodeLinkBase {
public:
    ZR_GUI_ShapeXLink() { initializePin(pinShape, &ZR_GUI_ShapeXLink::onSetShape); }

    // Sends every interior node's place on its pin, for every valid shape, changed or not.
    void onSetShape() {
        MpBlob const& image = pinShape;
        shape.readBlob(image.getData(), image.getSize());
        if (shape.invalid || nodePinCount == 0)
            return;
        int32_t const linked = std::min(nodePinCount, shape.nodeCount - 2);
        for (int32_t j = 1; j <= linked; ++j)
            transmitNodeValue(j - 1, finitePlace(placeOf(j)));
    }

private:
    // Where interior node j lies between its neighbours, 0..1.
    float placeOf(int32_t j) const {
        zr::Node const* const nodes = shape.nodes;
        return (nodes[j].x - nodes[j - 1].x) / (nodes[j + 1].x - nodes[j - 1].x);
    }

    // The place as sent. Images are taken unchecked: neighbours on one x leave no place
    // between them, so a node on both is halfway (0 / 0 gives 0.5, the one place a mirror
    // keeps), and one off to a side is as far that way as a float goes, as is a place that
    // overflows (neighbours a subnormal distance apart, out of order).
    static float finitePlace(float place) { return std::isnan(place) ? 0.5f : zr::clampInfinity(place); }

    // Moves interior node k + 1 to its place `value` between the neighbours; the shape's own
    // clamp keeps it strictly between them. A value that leaves it where it is sends nothing.
    // The arithmetic in x + 1 rounds: the node's own place, as this module sent it, can read
    // back a float step away (nodes a few steps apart, or neighbours outside 0..1 or out of
    // order, as unchecked blob images may have), and every echo of it would move the node
    // again. So the node's own place moves nothing, and neither do untrustworthy neighbours.
    void onNodeValue(int32_t k, float value) override {
        int32_t const j = k + 1;
        if (j >= shape.nodeCount - 1 || value == placeOf(j))
            return;
        float const left = shape.nodes[j - 1].x;
        float const right = shape.nodes[j + 1].x;
        if (!(0.0f <= left && left < right && right <= 1.0f))
            return;
        float const offsetX = (right - left) * value + left + zr::Shape::kXOffset;
        if (shape.placeNodeXBetweenNeighbours(j, offsetX))
            transmitShape();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_GUI_ShapeXLink>::withId(L"ZR_GUI_ShapeXLink");
}
