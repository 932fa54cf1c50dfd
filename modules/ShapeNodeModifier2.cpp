// ZR_ShapeNodeModif2: places one node of a shape at an absolute position given in volts.
// Every output is computed from the input shape as it arrived, so selecting another node
// restores the one moved before.

#include <cstdint>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeNodeModif2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BlobInPin pinShape;
    EnumInPin pinNodeIndex; // the node to move; outside the shape's nodes: none
    FloatInPin pinX;        // volts, -5..+5 (interior nodes only)
    FloatInPin pinY;        // volts, -5..+5
    BlobOutPin pinShapeOut;

    zr::Shape input;

public:
    ZR_ShapeNodeModif2() {
        initializePin(pinShape);
        initializePin(pinNodeIndex);
        initializePin(pinX);
        initializePin(pinY);
        initializePin(pinShapeOut);
    }

    // The whole computation runs on every batch, whichever pin changed. It sends when the
    // input shape changed or when the selected node's target differs from where it is.
    void onSetPins() override {
        bool inputChanged = false;
        if (pinShape.isUpdated()) {
            MpBlob const& image = pinShape;
            inputChanged = input.readBlob(image.getData(), image.getSize());
        }
        zr::Shape output = input;
        int32_t const i = pinNodeIndex;
        // Both edits refuse an index outside the nodes; x moves only for interior nodes.
        bool const xMoved = output.placeNodeXBetweenNeighbours(i, (pinX + 5.0f) * 0.1f + zr::Shape::kXOffset);
        bool const yMoved = output.setNodeY(i, pinY * 0.2f);
        if (yMoved || inputChanged || xMoved)
            pinShapeOut.sendPinUpdate(output.blobSize(), output.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeNodeModif2>::withId(L"ZR_ShapeNodeModif2");
}
