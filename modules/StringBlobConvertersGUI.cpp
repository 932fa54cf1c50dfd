// ZR_ShapeStr2BLOB_GUI and ZR_ShapeBLOB2Str_GUI: convert a shape between its text form and its
// blob image on the user-interface side, both ways. Only nodes travel: the text has no mode
// and the image carries none. The two differ in pin order and in which direction ignores
// its own echo.

#include <cstdint>

#include "sdk/MpGuiBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

// The conversions both modules make, on the kept shape. Rejected input sends nothing and
// keeps the previous shape; accepted input is sent even when it changed nothing.
class ShapeTextBlobConverter : public SeGuiInvisibleBase {
protected:
    void textToBlob() {
        shape.setString(pinString);
        if (shape.invalid)
            return;
        pinTransmit(pinBlob.getPinId(), shape.blobSize(), shape.blobData(), 0);
    }
    void blobToText() {
        MpBlob const& image = pinBlob;
        shape.readBlob(image.getData(), image.getSize());
        if (shape.invalid)
            return;
        pinString = shape.getString();
    }

    StringGuiPin pinString;
    MpGuiPin<MpBlob> pinBlob;
    zr::Shape shape;         // the last shape taken from either pin
    bool converting = false; // set while the module writes its own output
};

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
        converting = true;
        blobToText();
        converting = false;
    }
};

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
        converting = true;
        textToBlob();
        converting = false;
    }
};

namespace {
auto const registeredStr2Blob = gmpi::Register<ZR_ShapeStr2BLOB_GUI>::withId(L"ZR_ShapeStr2BLOB_GUI");
auto const registeredBlob2Str = gmpi::Register<ZR_ShapeBLOB2Str_GUI>::withId(L"ZR_ShapeBLOB2Str_GUI");
} // namespace
