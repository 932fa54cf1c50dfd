#pragma once
// What the GUI flip, fit and snap modules share: the shape arrives on pin 0, a trigger applies
// a one-shot edit to the kept shape, and the result goes back out on pin 0. The module's own
// shape coming back from the host is ignored.

#include "sdk/EchoGuard.h"
#include "sdk/MpGuiBase2.h"
#include "shapes/Shape.h"

class ShapeTriggeredEditBase : public SeGuiInvisibleBase {
public:
    // A failing image leaves the kept shape as it was. Nothing is sent.
    void onSetShape() {
        if (sending)
            return;
        MpBlob const& image = pinShape;
        shape.readBlob(image.getData(), image.getSize());
    }

protected:
    ShapeTriggeredEditBase() = default;

    // Sends the kept shape, edited or not.
    void transmitShape() {
        gmpi_sdk::EchoGuard const ownWrite(sending);
        pinTransmit(pinShape.getPinId(), shape.blobSize(), shape.blobData(), 0);
    }

    // Pin indices are stored in patches: append only. Pin 0 is registered by each module
    // first, with onSetShape as its handler.
    MpGuiPin<MpBlob> pinShape;
    zr::Shape shape; // the last shape received or produced; edits accumulate on it

private:
    bool sending = false;
};
