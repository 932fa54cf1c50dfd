// ZR_ShapeMorpher2: blends between any number of shapes with one position control. With two
// inputs the position runs from the first shape (0) to the second (1); with K inputs 0..1 is
// cut into K - 1 equal stretches, each blending one neighbouring pair.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sdk/HostInputCount.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"
#include "shapes/Shape.h"

class ZR_ShapeMorpher2 : public MpBase2 {
    // Pin indices are stored in patches: append only. The shape inputs follow from 2 on, as
    // many as the host lists for this instance.
    BlobOutPin pinShapeOut;
    FloatInPin pinPosition; // 0..1
    std::vector<BlobInPin> pinShapes;

    std::vector<zr::Shape> shapes;      // one per input, as last accepted
    std::vector<uint8_t> pending;       // input has a value that was not read yet
    float position = -1.0f;             // below the range, so the first position counts
    int32_t pair = 0;                   // first input of the pair in use (three or more)
    bool inputsCreated = false;

public:
    ZR_ShapeMorpher2() {
        initializePin(pinShapeOut);
        initializePin(pinPosition);
    }

    int32_t open() override {
        // Pins are registered by address: the storage is sized once, before registering, and
        // never rebuilt by a second open().
        if (!inputsCreated) {
            inputsCreated = true;
            auto const count = static_cast<std::size_t>(countHostInputs(*this, gmpi::MP_BLOB));
            pinShapes = std::vector<BlobInPin>(count);
            shapes.assign(count, zr::Shape());
            pending.assign(count, 0);
            for (BlobInPin& pin : pinShapes)
                initializePin(pin);
        }
        return MpBase2::open();
    }

    void onSetPins() override {
        switch (pinShapes.size()) {
        case 0:
            return;
        case 1:
            passThrough();
            return;
        case 2:
            morphTwo();
            return;
        default:
            morphMany();
        }
    }

private:
    // The bytes are not checked: one input is a wire.
    void passThrough() { pinShapeOut.setValue(pinShapes[0].getValue()); }

    void morphTwo() {
        bool outputNeeded = takePosition();
        bool const firstUpdated = pinShapes[0].isUpdated();
        if (firstUpdated)
            outputNeeded |= readInput(0);
        // The second input is read even when the first was rejected: this batch is its only
        // chance, and later positions must blend with it.
        if (pinShapes[1].isUpdated())
            outputNeeded |= readInput(1);
        bool const firstRejected = firstUpdated && shapes[0].invalid;
        if (firstRejected || !outputNeeded)
            return;
        sendBlend(0, position);
    }

    void morphMany() {
        auto const inputCount = static_cast<int32_t>(pinShapes.size());
        bool outputNeeded = false;
        if (takePosition()) {
            auto const stretch = static_cast<int32_t>(static_cast<float>(inputCount - 1) * position);
            pair = std::min(inputCount - 2, stretch);
            outputNeeded = true;
        }
        for (int32_t i = 0; i < inputCount; ++i)
            if (pinShapes[i].isUpdated())
                pending[i] = 1;
        // Inputs outside the pair in use are read only when the position reaches them.
        for (int32_t i : {pair, pair + 1}) {
            if (pending[i]) {
                pending[i] = 0;
                outputNeeded |= readInput(i);
            }
        }
        if (!outputNeeded)
            return;
        sendBlend(pair, static_cast<float>(inputCount - 1) * position - static_cast<float>(pair));
    }

    // The clamp turns NaN into 1, so the position always selects an existing pair.
    bool takePosition() {
        if (!pinPosition.isUpdated())
            return false;
        float const accepted = zr::clampf(pinPosition, 0.0f, 1.0f);
        if (accepted == position)
            return false;
        position = accepted;
        return true;
    }

    // Whether input `i` changed its shape; a rejected image keeps the previous one.
    bool readInput(int32_t i) {
        MpBlob const& image = pinShapes[i];
        return shapes[i].readBlob(image.getData(), image.getSize());
    }

    void sendBlend(int32_t first, float amount) {
        zr::Shape blend = shapes[first];
        blend.morphWith(shapes[first + 1], amount);
        pinShapeOut.sendPinUpdate(blend.blobSize(), blend.blobData());
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeMorpher2>::withId(L"ZR_ShapeMorpher2");
}
