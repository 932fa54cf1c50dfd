// ZR_ShapeShift2: shifts a shape up and down (every node's y) or left and right (the interior
// nodes' x) by an amount in volts. The input shape is kept as it arrived; every output is
// computed from a copy.

#include <cstdint>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeShift2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BlobInPin pinShape;
    FloatInPin pinAmount; // volts; positive = right or up
    IntInPin pinVertical; // 0 = horizontal, anything else = vertical
    BlobOutPin pinShapeOut;

    zr::Shape input;

public:
    ZR_ShapeShift2() {
        initializePin(pinShape);
        initializePin(pinAmount);
        initializePin(pinVertical);
        initializePin(pinShapeOut);
    }

    // Every batch sends, whichever pin changed and whether or not the shape moved.
    void onSetPins() override {
        if (pinShape.isUpdated()) {
            MpBlob const& image = pinShape;
            input.readBlob(image.getData(), image.getSize());
        }
        zr::Shape output = input;
        if (pinVertical != 0)
            output.shiftVert(zr::yFromVolts(pinAmount));
        else
            output.shiftHoriz(pinAmount * 0.1f);
        pinShapeOut.sendPinUpdate(output.blobSize(), output.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeShift2>::withId(L"ZR_ShapeShift2");
}
