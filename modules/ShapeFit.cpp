// ZR_ShapeFit: scales and offsets a shape vertically so that its lowest node lands on one
// level and its highest node on another. x values, node count and order stay.

#include <cstdint>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeFit : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BlobInPin pinShape;
    FloatInPin pinBottom; // volts for the lowest node
    FloatInPin pinTop;    // volts for the highest node
    BlobOutPin pinShapeOut;

    zr::Shape input;

public:
    ZR_ShapeFit() {
        initializePin(pinShape);
        initializePin(pinBottom);
        initializePin(pinTop);
        initializePin(pinShapeOut);
    }

    // Computes on every batch; sends when the input changed or the fit moved a node (equal
    // levels and flat shapes always count as moved).
    void onSetPins() override {
        bool inputChanged = false;
        if (pinShape.isUpdated()) {
            MpBlob const& image = pinShape;
            inputChanged = input.readBlob(image.getData(), image.getSize());
        }
        zr::Shape output = input;
        bool const fitted = output.fitVert(pinBottom * 0.2f, pinTop * 0.2f);
        if (fitted || inputChanged)
            pinShapeOut.sendPinUpdate(output.blobSize(), output.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeFit>::withId(L"ZR_ShapeFit");
}
