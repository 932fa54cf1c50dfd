#pragma once
// What the audio-side fit, snap and node modifier share: a shape image arrives on pin 0 and
// the module's edit runs on every batch, whichever pin changed, on a copy of the shape as it
// arrived. The result is sent when the input changed or the edit moved a node.

#include "sdk/MpBase2.h"
#include "shapes/Shape.h"

class ShapeBatchEditBase : public MpBase2 {
public:
    void onSetPins() override {
        bool inputChanged = false;
        if (pinShape.isUpdated()) {
            MpBlob const& image = pinShape;
            inputChanged = input.readBlob(image.getData(), image.getSize());
        }
        zr::Shape output = input;
        bool const moved = edit(output);
        if (moved || inputChanged)
            pinShapeOut.sendPinUpdate(output.blobSize(), output.blobData());
    }

protected:
    ShapeBatchEditBase() = default;

    // Applies the module's edit; answers whether it changed the shape.
    virtual bool edit(zr::Shape& output) = 0;

    // Pin indices are stored in patches: each module registers pinShape first, then its own
    // pins, then pinShapeOut last.
    BlobInPin pinShape;
    BlobOutPin pinShapeOut;

private:
    zr::Shape input; // the last image accepted; a rejected image keeps it
};
