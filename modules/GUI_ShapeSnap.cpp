// ZR_GUI_ShapeSnap: moves the kept shape vertically, when either trigger turns on, so that
// its highest (or, with Bottom, its lowest) node lands on Level, and sends it back.

#include <cstdint>

#include "modules/ShapeTriggeredEdit.h"
#include "sdk/Register.h"

class ZR_GUI_ShapeSnap : public ShapeTriggeredEditBase {
    // Pin indices are stored in patches: append only (pin 0 is the shape).
    MpGuiPin<int32_t> pinBottom; // not 0 = the lowest node, 0 = the highest
    MpGuiPin<float> pinLevel;    // volts, not clamped: the nodes are
    MpGuiPin<bool> pinSnapL;
    MpGuiPin<bool> pinSnapR;

public:
    ZR_GUI_ShapeSnap() {
        initializePin(pinShape, &ZR_GUI_ShapeSnap::onSetShape);
        initializePin(pinBottom);
        initializePin(pinLevel);
        initializePin(pinSnapL, &ZR_GUI_ShapeSnap::onSetSnapL);
        initializePin(pinSnapR, &ZR_GUI_ShapeSnap::onSetSnapR);
    }

    void onSetSnapL() {
        if (pinSnapL)
            doSnap();
    }
    void onSetSnapR() {
        if (pinSnapR)
            doSnap();
    }

private:
    void doSnap() {
        shape.snapVert(zr::yFromVolts(pinLevel), pinBottom != 0);
        transmitShape();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_GUI_ShapeSnap>::withId(L"ZR_GUI_ShapeSnap");
}
