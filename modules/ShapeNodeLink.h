#pragma once
// What the X and Y link modules share: the shape pin, and a row of float node pins after it
// that are not pin objects. The host decides how many node pins there are; the module learns
// the count from the host at the first pin delivery.

#include <cmath>
#include <cstdint>
#include <cstring>

#include "sdk/Identifiers.h"
#include "sdk/MpGuiBase2.h"
#include "shapes/Shape.h"

class ShapeNodeLinkBase : public SeGuiInvisibleBase {
public:
    // [ui thread] Pin 0 goes to the base (its handler runs at notifyPin); every later index
    // is a node pin, handled here at once. A node-pin value that is not one 4-byte float, or
    // is NaN, is ignored: it must not be read past its end nor move a node out of order.
    int32_t setPin(int32_t pinIndex, int32_t voice, int32_t size, void const* data) override {
        if (nodePinCount == 0)
            nodePinCount = hostNodePinCount();
        if (pinIndex < firstNodePin)
            return SeGuiInvisibleBase::setPin(pinIndex, voice, size, data);
        if (nodePinCount == 0 || size != int32_t{sizeof(float)} || data == nullptr)
            return gmpi::MP_OK;
        float value = 0.0f;
        std::memcpy(&value, data, sizeof value);
        if (!std::isnan(value))
            onNodeValue(pinIndex - firstNodePin, value);
        return gmpi::MP_OK;
    }

protected:
    ShapeNodeLinkBase() = default;

    // Node pin `k` (0 for the first node pin) received `value`.
    virtual void onNodeValue(int32_t k, float value) = 0;

    void transmitShape() { pinTransmit(pinShape.getPinId(), shape.blobSize(), shape.blobData(), 0); }
    void transmitNodeValue(int32_t k, float value) {
        pinTransmit(firstNodePin + k, int32_t{sizeof value}, &value, 0);
    }

    static constexpr int32_t firstNodePin = 1;

    // Pin indices are stored in patches: append only. Pin 0 is the one registered pin.
    MpGuiPin<MpBlob> pinShape; // the shape, in and out, as a blob image
    zr::Shape shape;           // the last shape received or produced
    int32_t nodePinCount = 0;  // 0 until the host has reported node pins

private:
    // The host's pin count, less the shape pin; 0 while the host gives none. The query
    // repeats at each delivery until it gives some.
    int32_t hostNodePinCount() {
        void* olderHost = nullptr;
        if (getUiHost() == nullptr || getUiHost()->queryInterface(MP_IID_UI_HOST, &olderHost) != gmpi::MP_OK ||
            olderHost == nullptr)
            return 0;
        auto* host = static_cast<gmpi::IMpUserInterfaceHost*>(olderHost);
        int32_t count = 0;
        host->getPinCount(&count);
        host->release();
        return count > firstNodePin ? count - firstNodePin : 0;
    }
};
