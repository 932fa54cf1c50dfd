// Successor: ZR_ShapeAmp2 (modules/ShapeAmplifier2.cpp).
// ZR_ShapeAmp: scales a text shape's levels around a centre level by a gain, in volts.

#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

class ZR_ShapeAmp : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShapeIn; // node text in volts
    FloatInPin pinCenter;   // volts, clipped to -5..+5
    FloatInPin pinGain;
    StringOutPin pinShapeOut;

    zr::legacy::NodeList input;
    std::wstring text; // the output text, reserved so that writing it does not allocate

public:
    ZR_ShapeAmp() {
        initializePin(pinShapeIn);
        initializePin(pinCenter);
        initializePin(pinGain);
        initializePin(pinShapeOut);
        text.reserve(zr::legacy::kLongestText);
    }

    void onSetPins() override {
        if (pinShapeIn.isUpdated())
            input.parseVolts(pinShapeIn);
        if (input.count == 0)
            return;
        genStr();
        pinShapeOut = text;
    }

private:
    // Each y becomes (y - C) x G + C, clipped to -5..+5 V.
    void genStr() {
        float const center = zr::clampf(pinCenter, -5.0f, 5.0f);
        float const gain = pinGain;
        zr::legacy::NodeList output = input;
        for (int32_t i = 0; i < output.count; ++i) {
            auto& node = output.nodes[static_cast<std::size_t>(i)];
            node.y = zr::clampf((node.y - center) * gain + center, -5.0f, 5.0f);
        }
        zr::legacy::writeNodes(output.nodes.data(), output.count, text);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeAmp>::withId(L"ZR_ShapeAmp");
}
