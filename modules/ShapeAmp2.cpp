// ZR_ShapeAmp2: scales every node's height of a shape around a center level by a gain and
// sends the result as a blob image. It works on events only: no audio pins, no block
// function. The stored input shape is never altered; each output is computed from a copy.

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeAmp2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BlobInPin pinShape;     // blob image of the input shape
    FloatInPin pinCenter;   // volts; -5..+5 is the useful range
    FloatInPin pinGain;     // 1.0 leaves the shape as it is
    BlobOutPin pinShapeOut; // blob image of the scaled shape

    zr::Shape shape;        // the last accepted input
    float center = 0.0f;    // Center in normalised heights (volts / 5)
    float gainValue = 1.0f;

public:
    ZR_ShapeAmp2() {
        initializePin(pinShape);
        initializePin(pinCenter);
        initializePin(pinGain);
        initializePin(pinShapeOut);
    }

    void onSetPins() override {
        bool shapeChanged = false;
        if (pinShape.isUpdated()) {
            MpBlob const& image = pinShape;
            shapeChanged = shape.readBlob(image.getData(), image.getSize());
        }
        bool centerChanged = false;
        if (pinCenter.isUpdated() && zr::yFromVolts(pinCenter) != center) {
            center = zr::yFromVolts(pinCenter);
            centerChanged = true;
        }
        if (pinGain.isUpdated())
            gainValue = pinGain;
        // Every batch that changes something sends exactly one image; a repeated Gain counts
        // as a change, a repeated Center does not.
        if (shapeChanged || centerChanged || pinGain.isUpdated())
            sendScaled();
    }

private:
    void sendScaled() {
        zr::Shape scaled = shape;
        scaled.scaleVert(center, gainValue);
        pinShapeOut.sendPinUpdate(scaled.blobSize(), scaled.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeAmp2>::withId(L"ZR_ShapeAmp2");
}
