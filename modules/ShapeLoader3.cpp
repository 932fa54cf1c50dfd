// ZR_ShapeLoader3: reads a shape file and puts the shape on its blob pin and the file's
// interpolation mode on its mode pin, when triggered or as soon as a file name arrives.

#include <cstdint>
#include <string>

#include "modules/HostFileName.h"
#include "sdk/Identifiers.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeLoader3 : public SeGuiInvisibleBase {
    // Pin indices are stored in patches: append only.
    MpGuiPin<MpBlob> pinShape;          // out: the loaded shape's blob image
    MpGuiPin<int32_t> pinInterpolation; // out: the loaded mode
    MpGuiPin<bool> pinTrig;             // turning on loads
    MpGuiPin<int32_t> pinAutoMode;      // 1 = load as soon as a file name arrives
    StringGuiPin pinFNameL;
    StringGuiPin pinFNameR;

    zr::Shape shape;      // the last loaded shape and mode
    std::wstring fileName; // resolved path of the last file name received

public:
    ZR_ShapeLoader3() {
        initializePin(pinShape);
        initializePin(pinInterpolation);
        initializePin(pinTrig, &ZR_ShapeLoader3::onSetTrig);
        initializePin(pinAutoMode);
        initializePin(pinFNameL, &ZR_ShapeLoader3::onSetFNameL);
        initializePin(pinFNameR, &ZR_ShapeLoader3::onSetFNameR);
    }

    void onSetTrig() {
        if (pinTrig)
            doLoad();
    }
    void onSetFNameL() { takeFileName(pinFNameL); }
    void onSetFNameR() { takeFileName(pinFNameR); }

private:
    void takeFileName(StringGuiPin const& pin) {
        fileName = resolveFilename(pin.getValue());
        if (pinAutoMode == 1)
            doLoad();
    }

    // The older UI host is asked for at each call; without it the name stays as it is.
    std::wstring resolveFilename(std::wstring const& name) {
        void* olderHost = nullptr;
        if (getUiHost() == nullptr || getUiHost()->queryInterface(MP_IID_UI_HOST, &olderHost) != gmpi::MP_OK ||
            olderHost == nullptr)
            return name;
        auto* host = static_cast<gmpi::IMpUserInterfaceHost*>(olderHost);
        std::wstring resolved = zr::resolveFileName(host, name, zr::RefusedName::AsWritten);
        host->release();
        return resolved;
    }

    // An unreadable file or rejected nodes send nothing. Otherwise the shape is sent even
    // when the file changed nothing, so a second load of the same file reaches the patch too.
    void doLoad() {
        if (fileName.empty())
            return;
        bool const changed = shape.loadShp(fileName);
        if (!changed && shape.invalid)
            return;
        pinInterpolation = shape.interpolation; // transmits only when it differs
        pinTransmit(pinShape.getPinId(), shape.blobSize(), shape.blobData(), 0);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeLoader3>::withId(L"ZR_ShapeLoader3");
}
