// ZR_ShapeNodeModul2: moves one node of a shape relatively: its x toward a neighbour and its
// y toward +1 or -1, by amounts in -1..+1. Every output is computed from the input shape as
// it arrived, so selecting another node restores the one moved before.

#include <cmath>
#include <cstdint>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"
#include "shapes/Shape.h"

namespace {

constexpr int32_t kNoNode = -1;

} // namespace

class ZR_ShapeNodeModul2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BlobInPin pinShape;
    EnumInPin pinNodeIndex; // -1 = no node
    FloatInPin pinXMod;     // -1..+1: toward the previous (-) or the next (+) node
    FloatInPin pinYMod;     // -1..+1: toward -1 (-) or +1 (+)
    BlobOutPin pinShapeOut;

    zr::Shape input;
    int32_t selected = kNoNode;
    float xAmount = 0.0f;
    float yAmount = 0.0f;

public:
    ZR_ShapeNodeModul2() {
        initializePin(pinShape);
        initializePin(pinNodeIndex);
        initializePin(pinXMod);
        initializePin(pinYMod);
        initializePin(pinShapeOut);
    }

    void onSetPins() override {
        bool changed = false;
        bool const shapeChanged = pinShape.isUpdated() && readInput();
        changed |= shapeChanged;
        // A new shape may have fewer nodes, so the selection is checked again.
        if (pinNodeIndex.isUpdated() || shapeChanged)
            changed |= select(pinNodeIndex);
        if (pinXMod.isUpdated()) {
            // A NaN amount moves nothing; anything else is clamped.
            float const x = pinXMod;
            xAmount = std::isnan(x) ? 0.0f : zr::clampf(x, -1.0f, 1.0f);
            changed |= selected != kNoNode;
        }
        if (pinYMod.isUpdated()) {
            float const amount = zr::clampf(pinYMod, -1.0f, 1.0f);
            if (amount != yAmount) {
                yAmount = amount;
                changed |= selected != kNoNode;
            }
        }
        if (changed)
            sendModulated();
    }

private:
    bool readInput() {
        MpBlob const& image = pinShape;
        return input.readBlob(image.getData(), image.getSize());
    }

    // Any index outside the shape's nodes selects none.
    bool select(int32_t index) {
        int32_t const valid = index >= kNoNode && index < input.nodeCount ? index : kNoNode;
        if (valid == selected)
            return false;
        selected = valid;
        return true;
    }

    void sendModulated() {
        zr::Shape output = input;
        if (selected != kNoNode) {
            moveX(output);
            moveY(output);
        }
        pinShapeOut.sendPinUpdate(output.blobSize(), output.blobData());
    }

    // Only interior nodes move sideways; the ends keep x 0 and 1.
    void moveX(zr::Shape& output) const {
        int32_t const i = selected;
        if (i <= 0 || i >= output.nodeCount - 1)
            return;
        float const m = xAmount;
        zr::Node const* nodes = output.nodes;
        float const x = m > 0.0f ? (1.0f - m) * nodes[i].x + m * nodes[i + 1].x
                                 : (1.0f + m) * nodes[i].x - m * nodes[i - 1].x;
        output.placeNodeXBetweenNeighbours(i, x + zr::Shape::kXOffset);
    }

    void moveY(zr::Shape& output) const {
        float const m = yAmount;
        output.setNodeY(selected, (1.0f - std::fabs(m)) * output.nodes[selected].y + m);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeNodeModul2>::withId(L"ZR_ShapeNodeModul2");
}
