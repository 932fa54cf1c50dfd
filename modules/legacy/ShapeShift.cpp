// Successor: ZR_ShapeShift2 (modules/ShapeShifter2.cpp).
// ZR_ShapeShift: moves every node of a text shape up or down by an offset in volts.

#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

class ZR_ShapeShift : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShapeIn; // node text in volts
    FloatInPin pinOffset;   // volts
    StringOutPin pinShapeOut;

    zr::legacy::NodeList input;
    std::wstring text; // the output text, reserved so that writing it does not allocate

public:
    ZR_ShapeShift() {
        initializePin(pinShapeIn);
        initializePin(pinOffset);
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
    // Each y moves by the offset, clipped to -5..+5 V.
    void genStr() {
        float const offset = pinOffset;
        zr::legacy::NodeList output = input;
        for (int32_t i = 0; i < output.count; ++i) {
            auto& node = output.nodes[static_cast<std::size_t>(i)];
            node.y = zr::clampf(node.y + offset, -5.0f, 5.0f);
        }
        zr::legacy::writeNodes(output.nodes.data(), output.count, text);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeShift>::withId(L"ZR_ShapeShift");
}
