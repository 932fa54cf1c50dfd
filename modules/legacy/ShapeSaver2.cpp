// Successor: ZR_ShapeSaver3.
// ZR_ShapeSaver2: writes a text shape and its legacy mode to a shape file when triggered.

#include "modules/HostFileName.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/Register.h"

class ZR_ShapeSaver2 : public SeGuiInvisibleBase {
    // Pin indices are stored in patches: append only.
    StringGuiPin pinShape;            // 0: node text in volts
    MpGuiPin<int32_t> pinMode;        // 1: legacy mode 0..3; others write no mode line
    MpGuiPin<bool> pinTrig;           // 2: turning on saves
    MpGuiPin<bool> pinAutoTrig;       // 3: on: save as soon as the file name changes
    StringGuiPin pinFNameL;           // 4: file name
    StringGuiPin pinFNameR;           // 5: file name

    std::wstring fileName; // resolved path of the file name that arrived last

public:
    ZR_ShapeSaver2() {
        initializePin(pinShape);
        initializePin(pinMode);
        initializePin(pinTrig, &ZR_ShapeSaver2::onSetTrig);
        initializePin(pinAutoTrig, &ZR_ShapeSaver2::onSetAutoTrig);
        initializePin(pinFNameL, &ZR_ShapeSaver2::onSetFNameL);
        initializePin(pinFNameR, &ZR_ShapeSaver2::onSetFNameR);
    }

private:
    void onSetTrig() {
        if (pinTrig)
            saveString();
    }
    void onSetAutoTrig() {
        if (pinAutoTrig)
            saveString();
    }
    void onSetFNameL() { takeFileName(pinFNameL); }
    void onSetFNameR() { takeFileName(pinFNameR); }

    void takeFileName(StringGuiPin const& pin) {
        fileName = zr::resolveFileName(getUiHost(), pin, zr::RefusedName::Empty);
        if (pinAutoTrig)
            saveString();
    }

    // Nothing is written without a file name or when the shape text does not parse.
    void saveString() {
        if (fileName.empty())
            return;
        zr::legacy::NodeList volts;
        if (volts.parseVolts(pinShape) == 0)
            return;
        zr::legacy::writeLegacyFile(fileName, volts, pinMode);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeSaver2>::withId(L"ZR_ShapeSaver2");
}
