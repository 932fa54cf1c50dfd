// Successor: ZR_ShapeNodeModul2 (modules/ShapeNodeModul2.cpp).
// ZR_SNMod: moves one node of a text shape by offsets in volts.

#include "modules/legacy/LegacyShape.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

class ZR_SNMod : public zr::legacy::TextShapeEdit {
    // Pin indices are stored in patches: append only.
    StringInPin pinShapeIn; // node text in volts
    EnumInPin pinNode;      // 0..99; an index beyond the shape moves nothing
    FloatInPin pinOffsetX;  // volts
    FloatInPin pinOffsetY;  // volts
    StringOutPin pinShapeOut;

public:
    ZR_SNMod() {
        initializePin(pinShapeIn);
        initializePin(pinNode);
        initializePin(pinOffsetX);
        initializePin(pinOffsetY);
        initializePin(pinShapeOut);
        attach(pinShapeIn, pinShapeOut);
    }

private:
    // The node's x stays 0.01 V inside its neighbours (the ends keep theirs); its y is
    // clipped to -5..+5 V. Any other index passes the shape through unchanged.
    void edit(zr::legacy::NodeList& volts) override {
        int32_t const index = pinNode;
        if (!zr::legacy::isNodeIndex(volts, index))
            return;
        auto& node = volts.nodes[static_cast<std::size_t>(index)];
        zr::legacy::placeXInsideNeighbours(volts, index, node.x + pinOffsetX);
        node.y = zr::clampf(node.y + pinOffsetY, -5.0f, 5.0f);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_SNMod>::withId(L"ZR_SNMod");
}
