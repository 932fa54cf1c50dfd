// Successor: ZR_ShapeMorpher2 (modules/ShapeMorpher2.cpp).
// ZR_ShapeMorpher: blends two text shapes node by node under an amount, after giving the
// shape with fewer nodes extra nodes where its neighbours lie farthest apart.

#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

class ZR_ShapeMorpher : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShapeA; // node text in volts
    StringInPin pinShapeB;
    FloatInPin pinAmount;  // 0 = A, 1 = B
    StringOutPin pinShapeOut;

    zr::legacy::NodeList shapeA;
    zr::legacy::NodeList shapeB;
    float amount = 0.0f;
    std::wstring text; // the output text, reserved so that writing it does not allocate

public:
    ZR_ShapeMorpher() {
        initializePin(pinShapeA);
        initializePin(pinShapeB);
        initializePin(pinAmount);
        initializePin(pinShapeOut);
        text.reserve(zr::legacy::kLongestText);
    }

    void onSetPins() override {
        bool const textArrived = pinShapeA.isUpdated() || pinShapeB.isUpdated();
        if (pinShapeA.isUpdated())
            shapeA.parseVolts(pinShapeA);
        if (pinShapeB.isUpdated())
            shapeB.parseVolts(pinShapeB);
        bool amountChanged = false;
        if (pinAmount.isUpdated()) {
            float const clipped = zr::clampf(pinAmount, 0.0f, 1.0f);
            amountChanged = clipped != amount;
            amount = clipped;
        }
        if (shapeA.count == 0 || shapeB.count == 0 || !(textArrived || amountChanged))
            return;
        morphShapes();
        pinShapeOut = text;
    }

private:
    // Both shapes with the larger node count, blended node by node.
    void morphShapes() {
        zr::legacy::NodeList a = shapeA;
        zr::legacy::NodeList b = shapeB;
        if (a.count < b.count)
            extendNodes(a, b.count);
        else
            extendNodes(b, a.count);
        zr::legacy::NodeList blended = a;
        for (int32_t i = 0; i < blended.count; ++i) {
            auto const at = static_cast<std::size_t>(i);
            blended.nodes[at].x = b.nodes[at].x * amount + a.nodes[at].x * (1.0f - amount);
            blended.nodes[at].y = b.nodes[at].y * amount + a.nodes[at].y * (1.0f - amount);
        }
        zr::legacy::writeNodes(blended.nodes.data(), blended.count, text);
    }

    // Inserts midpoints until the list has `target` nodes, each between the neighbours that
    // lie farthest apart (the first such pair on a tie).
    static void extendNodes(zr::legacy::NodeList& list, int32_t target) {
        while (list.count < target) {
            std::size_t const gap = widestGap(list);
            auto const& left = list.nodes[gap];
            auto const& right = list.nodes[gap + 1];
            zr::legacy::Node const middle{(left.x + right.x) * 0.5f, (left.y + right.y) * 0.5f};
            for (auto i = static_cast<std::size_t>(list.count); i > gap + 1; --i)
                list.nodes[i] = list.nodes[i - 1];
            list.nodes[gap + 1] = middle;
            ++list.count;
        }
    }

    // The index of the left node of the pair with the largest squared distance.
    static std::size_t widestGap(zr::legacy::NodeList const& list) {
        std::size_t widest = 0;
        float widestSquared = -1.0f;
        for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(list.count); ++i) {
            float const dx = list.nodes[i + 1].x - list.nodes[i].x;
            float const dy = list.nodes[i + 1].y - list.nodes[i].y;
            float const squared = dx * dx + dy * dy;
            if (squared > widestSquared) {
                widest = i;
                widestSquared = squared;
            }
        }
        return widest;
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeMorpher>::withId(L"ZR_ShapeMorpher");
}
