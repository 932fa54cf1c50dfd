// ZR_RegularShapeGen: builds a shape of evenly spaced nodes whose heights come from as many
// float inputs as the host lists for the instance: input k drives node k - 1.

#include <cstdint>
#include <vector>

#include "sdk/HostInputCount.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_RegularShapeGen : public MpBase2 {
    // Pin indices are stored in patches: append only. The heights follow from 1 on, as many
    // as the host lists for this instance.
    BlobOutPin pinShapeOut;
    std::vector<FloatInPin> pinHeights; // volts

    zr::Shape shape; // node positions fixed in open(), heights from the inputs
    bool inputsCreated = false;

public:
    ZR_RegularShapeGen() { initializePin(pinShapeOut); }

    int32_t open() override {
        // Pins are registered by address: the storage is sized once, before registering, and
        // never rebuilt by a second open().
        if (!inputsCreated) {
            inputsCreated = true;
            pinHeights = std::vector<FloatInPin>(static_cast<std::size_t>(countHostInputs(*this, gmpi::MP_FLOAT32)));
            for (FloatInPin& pin : pinHeights)
                initializePin(pin);
            placeNodes();
        }
        return MpBase2::open();
    }

    void onSetPins() override {
        bool shapeChanged = false;
        auto const inputCount = static_cast<int32_t>(pinHeights.size());
        // Inputs beyond the last node drive nothing (setNodeY refuses their index).
        for (int32_t k = 0; k < inputCount; ++k)
            if (pinHeights[k].isUpdated())
                shapeChanged |= shape.setNodeY(k, zr::yFromVolts(pinHeights[k]));
        if (shapeChanged)
            pinShapeOut.sendPinUpdate(shape.blobSize(), shape.blobData());
    }

private:
    // Between the two default end nodes, one node per input other than the first and the
    // last, at x accumulated in steps of 1 / (K - 1), as long as the shape has room. With
    // fewer than three inputs there is nothing between the ends, and the step is not used.
    void placeNodes() {
        auto const inputCount = static_cast<int32_t>(pinHeights.size());
        if (inputCount < 3)
            return;
        float const step = 1.0f / static_cast<float>(inputCount - 1);
        float x = 0.0f;
        for (int32_t k = 1; k <= inputCount - 2; ++k) {
            x += step;
            shape.insertNode({x, 0.0f});
        }
    }
};

namespace {
auto const registered = gmpi::Register<ZR_RegularShapeGen>::withId(L"ZR_RegularShapeGen");
}
