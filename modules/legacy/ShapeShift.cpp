// Successor: ZR_ShapeShift2 (modules/ShapeShift2.cpp).
// ZR_ShapeShift: moves every node of a text shape up or down by an offset in volts.

#include "modules/legacy/LegacyShape.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

class ZR_ShapeShift : public zr::legacy::TextShapeEdit {
    // Pin indices are stored in patches: append only.
    StringInPin pinShapeIn; // node text in volts
    FloatInPin pinOffset;   // volts
    StringOutPin pinShapeOut;

public:
    ZR_ShapeShift() {
        initializePin(pinShapeIn);
        initializePin(pinOffset);
        initializePin(pinShapeOut);
        attach(pinShapeIn, pinShapeOut);
    }

private:
    // Each y moves by the offset, clipped to -5..+5 V.
    void edit(zr::legacy::NodeList& volts) override {
        float const offset = pinOffset;
        for (int32_t i = 0; i < volts.count; ++i) {
            auto& node = volts.nodes[static_cast<std::size_t>(i)];
            node.y = zr::clampf(node.y + offset, -5.0f, 5.0f);
        }
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeShift>::withId(L"ZR_ShapeShift");
}
