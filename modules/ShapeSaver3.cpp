// ZR_ShapeSaver3: writes the shape on its blob pin, with the mode on its mode pin, to a shape
// file when triggered or as soon as a file name arrives.

#include <cstdint>
#include <string>

#include "modules/HostFileName.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeSaver3 : public SeGuiInvisibleBase {
    // Pin indices are stored in patches: append only.
    MpGuiPin<MpBlob> pinShape;          // in: the shape to save
    MpGuiPin<int32_t> pinInterpolation; // in: the mode to save
    MpGuiPin<bool> pinTrig;             // turning on saves
    MpGuiPin<int32_t> pinAutoMode;      // 1 = save as soon as a file name arrives
    StringGuiPin pinFNameL;
    StringGuiPin pinFNameR;

    zr::Shape shape;       // the shape as last assembled for writing
    std::wstring fileName; // resolved path of the last file name received

public:
    ZR_ShapeSaver3() {
        initializePin(pinShape);
        initializePin(pinInterpolation);
        initializePin(pinTrig, &ZR_ShapeSaver3::onSetTrig);
        initializePin(pinAutoMode);
        initializePin(pinFNameL, &ZR_ShapeSaver3::onSetFNameL);
        initializePin(pinFNameR, &ZR_ShapeSaver3::onSetFNameR);
    }

    void onSetTrig() {
        if (pinTrig)
            doSave();
    }
    void onSetFNameL() { takeFileName(pinFNameL); }
    void onSetFNameR() { takeFileName(pinFNameR); }

private:
    // Resolved through the older UI host the base holds; without it the name stays.
    void takeFileName(StringGuiPin const& pin) {
        fileName = zr::resolveFileName(getOlderUiHost(), pin.getValue(), zr::RefusedName::AsWritten);
        if (pinAutoMode == 1)
            doSave();
    }

    // Writes on every call, also when nothing changed since the last save. An invalid image
    // (an unconnected pin's empty blob) writes nothing; a mode outside the four keeps the
    // shape's previous one. A file that cannot be written is left to the file system: the
    // module has no way to report it.
    void doSave() {
        if (fileName.empty())
            return;
        MpBlob const& image = pinShape;
        shape.readBlob(image.getData(), image.getSize());
        if (shape.invalid)
            return;
        shape.setInterpolation(pinInterpolation);
        shape.saveShp(fileName);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeSaver3>::withId(L"ZR_ShapeSaver3");
}
