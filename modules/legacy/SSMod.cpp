// Successor: ZR_ShapeNodeModif2 (modules/ShapeNodeModif2.cpp).
// ZR_SSMod: sets up to four nodes of a text shape, each group naming a node, an axis and a
// value in volts.

#include <array>

#include "modules/legacy/LegacyShape.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

class ZR_SSMod : public zr::legacy::TextShapeEdit {
    struct Modifier {
        EnumInPin node;   // an index beyond the shape sets nothing
        IntInPin axis;    // 0: x, anything else: y
        FloatInPin value; // volts
    };
    static constexpr std::size_t kModifiers = 4;

    // Pin indices are stored in patches: append only.
    StringInPin pinShapeIn;                     // node text in volts
    std::array<Modifier, kModifiers> modifiers; // pins 1..12, three per group
    StringOutPin pinShapeOut;

public:
    ZR_SSMod() {
        initializePin(pinShapeIn);
        for (Modifier& modifier : modifiers) {
            initializePin(modifier.node);
            initializePin(modifier.axis);
            initializePin(modifier.value);
        }
        initializePin(pinShapeOut);
        attach(pinShapeIn, pinShapeOut);
    }

private:
    // The groups apply in order. x moves interior nodes only, 0.01 V inside both neighbours;
    // y is clipped to -5..+5 V.
    void edit(zr::legacy::NodeList& volts) override {
        for (Modifier const& modifier : modifiers) {
            int32_t const index = modifier.node;
            if (!zr::legacy::isNodeIndex(volts, index))
                continue;
            float const value = zr::clampf(modifier.value, -5.0f, 5.0f);
            if (modifier.axis == 0)
                zr::legacy::placeXInsideNeighbours(volts, index, value);
            else
                volts.nodes[static_cast<std::size_t>(index)].y = value;
        }
    }
};

namespace {
auto const registered = gmpi::Register<ZR_SSMod>::withId(L"ZR_SSMod");
}
