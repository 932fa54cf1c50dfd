// ZR_ShapeBLOB2Str_GUI: converts a shape's blob image into its text form on the
// user-interface side, and a text arriving on the text pin back into an image.

#include "modules/ShapeTextBlobConverter.h"
#include "sdk/Register.h"

class ZR_ShapeBLOB2Str_GUI : public ShapeTextBlobConverter {
public:
    // Pin indices are stored in patches: pin 0 blob, pin 1 text.
    ZR_ShapeBLOB2Str_GUI() {
        initializePin(pinBlob, &ZR_ShapeBLOB2Str_GUI::onSetBlob);
        initializePin(pinString, &ZR_ShapeBLOB2Str_GUI::onSetString);
    }

    // An image that the host echoes while the module sends its own image is ignored.
    void onSetBlob() {
        if (converting)
            return;
        blobToText();
    }
    void onSetString() {
        gmpi_sdk::EchoGuard const ownWrite(converting);
        textToBlob();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeBLOB2Str_GUI>::withId(L"ZR_ShapeBLOB2Str_GUI");
} // namespace
