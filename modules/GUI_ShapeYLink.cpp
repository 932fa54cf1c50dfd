// ZR_GUI_ShapeYLink: links the height of every node of a shape to a float pin, both ways.
// Pin k + 1 carries node k's height as 0..1 for -5..+5 V.

#include <algorithm>
#include <cstdint>

#include "modules/ShapeNodeLink.h"
#include "sdk/EchoGuard.h"
#include "sdk/Register.h"

class ZR_GUI_ShapeYLink : public ShapeNodeLinkBase {
    bool sending = false; // set while the module transmits its own shape

public:
    ZR_GUI_ShapeYLink() { initializePin(pinShape, &ZR_GUI_ShapeYLink::onSetShape); }

    // Sends every node's height on its pin, for every valid shape, changed or not. The
    // module's own shape coming back from the host is ignored.
    void onSetShape() {
        if (sending)
            return;
        MpBlob const& image = pinShape;
        shape.readBlob(image.getData(), image.getSize());
        if (shape.invalid || nodePinCount == 0)
            return;
        int32_t const linked = std::min(nodePinCount, shape.nodeCount);
        for (int32_t j = 0; j < linked; ++j)
            transmitNodeValue(j, (shape.nodes[j].y + 1.0f) * 0.5f);
    }

private:
    // Node k goes to the height `value` stands for, clipped to -5..+5 V. A value that leaves
    // it where it is sends nothing.
    void onNodeValue(int32_t k, float value) override {
        if (k >= shape.nodeCount)
            return;
        if (!shape.setNodeY(k, value + value - 1.0f))
            return;
        gmpi_sdk::EchoGuard const ownWrite(sending);
        transmitShape();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_GUI_ShapeYLink>::withId(L"ZR_GUI_ShapeYLink");
}
