// ZR_ShapeFit: scales and offsets a shape vertically so that its lowest node lands on one
// level and its highest node on another. x values, node count and order stay.

#include <cstdint>

#include "modules/ShapeBatchEdit.h"
#include "sdk/Register.h"

class ZR_ShapeFit : public ShapeBatchEditBase {
    // Pin indices are stored in patches: append only.
    // pinShape (0) and pinShapeOut (last) come from the base.
    FloatInPin pinBottom; // volts for the lowest node
    FloatInPin pinTop;    // volts for the highest node

public:
    ZR_ShapeFit() {
        initializePin(pinShape);
        initializePin(pinBottom);
        initializePin(pinTop);
        initializePin(pinShapeOut);
    }

    // Equal levels and flat shapes always count as moved.
    bool edit(zr::Shape& output) override {
        return output.fitVert(zr::yFromVolts(pinBottom), zr::yFromVolts(pinTop));
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeFit>::withId(L"ZR_ShapeFit");
}
