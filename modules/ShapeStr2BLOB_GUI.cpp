// ZR_ShapeStr2BLOB_GUI: converts a shape's text form into its blob image on the
// user-interface side, and an image arriving on the blob pin back into text.

#include "modules/ShapeTextBlobConverter.h"
#include "sdk/Register.h"

class ZR_ShapeStr2BLOB_GUI : public ShapeTextBlobConverter {
public:
    // Pin indices are stored in patches: pin 0 text, pin 1 blob.
    ZR_ShapeStr2BLOB_GUI() {
        initializePin(pinString, &ZR_ShapeStr2BLOB_GUI::onSetString);
        initializePin(pinBlob, &ZR_ShapeStr2BLOB_GUI::onSetBlob);
    }

    // A text that the host echoes while the module writes its own text is ignored.
    void onSetString() {
        if (converting)
            return;
        textToBlob();
    }
    void onSetBlob() {
        gmpi_sdk::EchoGuard const ownWrite(converting);
        blobToText();
    }
};


namespace {
auto const registered = gmpi::Register<ZR_ShapeStr2BLOB_GUI>::withId(L"ZR_ShapeStr2BLOB_GUI");
} // namespace
