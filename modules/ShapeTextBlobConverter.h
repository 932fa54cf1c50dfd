#pragma once
// The conversions ZR_ShapeStr2BLOB_GUI and ZR_ShapeBLOB2Str_GUI share: a shape between its
// text form and its blob image on the user-interface side. Only nodes travel: the text has
// no mode and the image carries none. The two modules differ in pin order and in which
// direction ignores its own echo.

#include "sdk/EchoGuard.h"
#include "sdk/MpGuiBase2.h"
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
    bool converting = false; // set while the module writes its own output (an EchoGuard)
};
