// Successor: ZR_ShapeAmp2 (modules/ShapeAmp2.cpp).
// ZR_ShapeAmp: scales a text shape's levels around a centre level by a gain, in volts.

#include "modules/legacy/LegacyShape.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeAmp : public zr::legacy::TextShapeEdit {
    // Pin indices are stored in patches: append only.
    StringInPin pinShapeIn; // node text in volts
    FloatInPin pinCenter;   // volts, clipped to -5..+5
    FloatInPin pinGain;
    StringOutPin pinShapeOut;

public:
    ZR_ShapeAmp() {
        initializePin(pinShapeIn);
        initializePin(pinCenter);
        initializePin(pinGain);
        initializePin(pinShapeOut);
        attach(pinShapeIn, pinShapeOut);
    }

private:
    // Each y becomes (y - C) x G + C, clipped to -5..+5 V, with C clipped to -5..+5 V too.
    void edit(zr::legacy::NodeList& volts) override {
        float const center = pinCenter;
        float const gain = pinGain;
        for (int32_t i = 0; i < volts.count; ++i) {
            auto& node = volts.nodes[static_cast<std::size_t>(i)];
            node.y = zr::scaledAbout(node.y, center, gain, -5.0f, 5.0f);
        }
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeAmp>::withId(L"ZR_ShapeAmp");
}
