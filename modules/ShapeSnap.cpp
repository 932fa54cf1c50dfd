// ZR_ShapeSnap: shifts a shape vertically, without scaling, so that its highest or its
// lowest node lands on a given level. x values, node count and order stay.

#include <cstdint>

#include "modules/ShapeBatchEdit.h"
#include "sdk/Register.h"

class ZR_ShapeSnap : public ShapeBatchEditBase {
    // Pin indices are stored in patches: append only.
    // pinShape (0) and pinShapeOut (last) come from the base.
    IntInPin pinEdge;   // 0 = the highest node goes to Level, anything else = the lowest
    FloatInPin pinLevel; // volts, not clamped: the nodes are

public:
    ZR_ShapeSnap() {
        initializePin(pinShape);
        initializePin(pinEdge);
        initializePin(pinLevel);
        initializePin(pinShapeOut);
    }

    // A level that leaves the input's values where they are sends nothing.
    bool edit(zr::Shape& output) override {
        return output.snapVert(zr::yFromVolts(pinLevel), pinEdge != 0);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeSnap>::withId(L"ZR_ShapeSnap");
}
