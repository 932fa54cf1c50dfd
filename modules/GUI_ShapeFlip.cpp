// ZR_GUI_ShapeFlip: mirrors the kept shape left-right or upside down when either trigger
// turns on, and sends it back. Flipping twice restores the shape.

#include <cstdint>

#include "modules/ShapeTriggeredEdit.h"
#include "sdk/Register.h"

class ZR_GUI_ShapeFlip : public ShapeTriggeredEditBase {
    // Pin indices are stored in patches: append only (pin 0 is the shape).
    MpGuiPin<int32_t> pinVertical; // not 0 = upside down, 0 = left-right
    MpGuiPin<bool> pinFlipL;
    MpGuiPin<bool> pinFlipR;

public:
    ZR_GUI_ShapeFlip() {
        initializePin(pinShape, &ZR_GUI_ShapeFlip::onSetShape);
        initializePin(pinVertical);
        initializePin(pinFlipL, &ZR_GUI_ShapeFlip::onSetFlipL);
        initializePin(pinFlipR, &ZR_GUI_ShapeFlip::onSetFlipR);
    }

    void onSetFlipL() {
        if (pinFlipL)
            doFlip();
    }
    void onSetFlipR() {
        if (pinFlipR)
            doFlip();
    }

private:
    void doFlip() {
        if (pinVertical != 0)
            shape.flipVertical();
        else
            shape.flipHorizontal();
        shape.changed = 1;
        transmitShape();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_GUI_ShapeFlip>::withId(L"ZR_GUI_ShapeFlip");
}
