// ZR_DefaultShape: passes a shape's blob image through when it is valid; otherwise sends a
// shape given as text and, as a last resort, the flat default.

#include <string>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_DefaultShape : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BlobInPin pinShape;
    StringInPin pinDefaultText; // text form used when the image is rejected
    BlobOutPin pinShapeOut;

    zr::Shape shape;
    // Made once here, so the last resort allocates nothing on the audio thread.
    std::wstring const flatText = L"(-5,0)(5,0)";

public:
    ZR_DefaultShape() {
        initializePin(pinShape);
        initializePin(pinDefaultText);
        initializePin(pinShapeOut);
    }

    // Answers every new image, and only images: a new default text waits for the next one.
    void onSetPins() override {
        if (!pinShape.isUpdated())
            return;
        MpBlob const& image = pinShape;
        shape.readBlob(image.getData(), image.getSize());
        if (shape.invalid) {
            shape.setString(pinDefaultText);
            if (shape.invalid)
                shape.setString(flatText);
        }
        pinShapeOut.sendPinUpdate(shape.blobSize(), shape.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_DefaultShape>::withId(L"ZR_DefaultShape");
}
