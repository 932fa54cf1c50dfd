// ZR_ShapeStr2BLOB: converts a shape's text form into its blob image.

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeStr2BLOB : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinText; // e.g. "(-5,-5)(5,5)"
    BlobOutPin pinShapeOut;

    zr::Shape shape;

public:
    ZR_ShapeStr2BLOB() {
        initializePin(pinText);
        initializePin(pinShapeOut);
    }

    // A rejected text sends nothing and the previous output stays; a valid one is sent even
    // when it equals the last.
    void onSetPins() override {
        shape.setString(pinText);
        if (shape.invalid)
            return;
        pinShapeOut.sendPinUpdate(shape.blobSize(), shape.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeStr2BLOB>::withId(L"ZR_ShapeStr2BLOB");
}
