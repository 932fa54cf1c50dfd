// Successor: ZR_ShapeLoader3.
// ZR_ShapeLoader2: reads a shape file and puts its node text and legacy mode on its pins.

#include "modules/HostFileName.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/Register.h"

class ZR_ShapeLoader2 : public SeGuiInvisibleBase {
    // Pin indices are stored in patches: append only.
    StringGuiPin pinShape;            // 0: out, node text in volts
    MpGuiPin<int32_t> pinMode;        // 1: out, legacy mode 0..3
    MpGuiPin<bool> pinTrig;           // 2: turning on loads
    MpGuiPin<bool> pinAutoTrig;       // 3: on: load as soon as the file name changes
    StringGuiPin pinFNameL;           // 4: file name
    StringGuiPin pinFNameR;           // 5: file name

    std::wstring fileName; // resolved path of the file name that arrived last

public:
    ZR_ShapeLoader2() {
        initializePin(pinShape);
        initializePin(pinMode);
        initializePin(pinTrig, &ZR_ShapeLoader2::onSetTrig);
        initializePin(pinAutoTrig);
        initializePin(pinFNameL, &ZR_ShapeLoader2::onSetFNameL);
        initializePin(pinFNameR, &ZR_ShapeLoader2::onSetFNameR);
    }

private:
    void onSetTrig() {
        if (pinTrig)
            loadString();
    }
    void onSetFNameL() { takeFileName(pinFNameL); }
    void onSetFNameR() { takeFileName(pinFNameR); }

    void takeFileName(StringGuiPin const& pin) {
        fileName = zr::resolveFileName(getUiHost(), pin, zr::RefusedName::Empty);
        if (pinAutoTrig)
            loadString();
    }

    // A file whose node text does not parse sends nothing. A mode digit 0..3 goes to the
    // mode pin (a current file's 10, 20 or 30 gives its first digit); anything else leaves it.
    void loadString() {
        if (fileName.empty())
            return;
        auto const file = zr::legacy::readLegacyFile(fileName);
        if (!file)
            return;
        if (file->mode >= 0)
            pinMode = file->mode;
        pinShape = file->nodeText;
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeLoader2>::withId(L"ZR_ShapeLoader2");
}
