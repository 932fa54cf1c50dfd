// ZR_ShapeNodeModif2: places one node of a shape at an absolute position given in volts.
// Every output is computed from the input shape as it arrived, so selecting another node
// restores the one moved before.

#include <cstdint>

#include "modules/ShapeBatchEdit.h"
#include "sdk/Register.h"

class ZR_ShapeNodeModif2 : public ShapeBatchEditBase {
    // Pin indices are stored in patches: append only.
    // pinShape (0) and pinShapeOut (last) come from the base.
    EnumInPin pinNodeIndex; // the node to move; outside the shape's nodes: none
    FloatInPin pinX;        // volts, -5..+5 (interior nodes only)
    FloatInPin pinY;        // volts, -5..+5

public:
    ZR_ShapeNodeModif2() {
        initializePin(pinShape);
        initializePin(pinNodeIndex);
        initializePin(pinX);
        initializePin(pinY);
        initializePin(pinShapeOut);
    }

    // Sends when the selected node's target differs from where it is.
    bool edit(zr::Shape& output) override {
        int32_t const i = pinNodeIndex;
        // Both edits refuse an index outside the nodes; x moves only for interior nodes.
        bool const xMoved = output.placeNodeXBetweenNeighbours(i, zr::xFromVolts(pinX) + zr::Shape::kXOffset);
        bool const yMoved = output.setNodeY(i, zr::yFromVolts(pinY));
        return xMoved || yMoved;
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeNodeModif2>::withId(L"ZR_ShapeNodeModif2");
}
