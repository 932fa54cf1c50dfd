// ZR_ShapeSnap: shifts a shape vertically, without scaling, so that its highest or its
// lowest node lands on a given level. x values, node count and order stay.

#include <cstdint>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeSnap : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BlobInPin pinShape;
    IntInPin pinEdge;   // 0 = the highest node goes to Level, anything else = the lowest
    FloatInPin pinLevel; // volts, not clamped: the nodes are
    BlobOutPin pinShapeOut;

    zr::Shape input;

public:
    ZR_ShapeSnap() {
        initializePin(pinShape);
        initializePin(pinEdge);
        initializePin(pinLevel);
        initializePin(pinShapeOut);
    }

    // Computes on every batch; sends when the input changed or the snap moved a node. A level
    // that leaves the input's values where they are sends nothing.
    void onSetPins() override {
        bool inputChanged = false;
        if (pinShape.isUpdated()) {
            MpBlob const& image = pinShape;
            inputChanged = input.readBlob(image.getData(), image.getSize());
        }
        zr::Shape output = input;
        bool const snapped = output.snapVert(pinLevel * 0.2f, pinEdge != 0);
        if (snapped || inputChanged)
            pinShapeOut.sendPinUpdate(output.blobSize(), output.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeSnap>::withId(L"ZR_ShapeSnap");
}
