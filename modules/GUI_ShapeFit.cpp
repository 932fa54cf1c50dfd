// ZR_GUI_ShapeFit: scales the kept shape vertically, when either trigger turns on, so that
// its lowest node lands on Low and its highest on High, and sends it back. Low above High
// turns the shape upside down.

#include "modules/ShapeTriggeredEdit.h"
#include "sdk/Register.h"

class ZR_GUI_ShapeFit : public ShapeTriggeredEditBase {
    // Pin indices are stored in patches: append only (pin 0 is the shape).
    MpGuiPin<float> pinLow;  // volts
    MpGuiPin<float> pinHigh; // volts
    MpGuiPin<bool> pinFitL;
    MpGuiPin<bool> pinFitR;

public:
    ZR_GUI_ShapeFit() {
        initializePin(pinShape, &ZR_GUI_ShapeFit::onSetShape);
        initializePin(pinLow);
        initializePin(pinHigh);
        initializePin(pinFitL, &ZR_GUI_ShapeFit::onSetFitL);
        initializePin(pinFitR, &ZR_GUI_ShapeFit::onSetFitR);
    }

    void onSetFitL() {
        if (pinFitL)
            doFit();
    }
    void onSetFitR() {
        if (pinFitR)
            doFit();
    }

private:
    // Volts to normalised y; the shape clamps the levels and keeps a too-flat shape finite.
    void doFit() {
        shape.fitVert(zr::yFromVolts(pinLow), zr::yFromVolts(pinHigh));
        transmitShape();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_GUI_ShapeFit>::withId(L"ZR_GUI_ShapeFit");
}
