// ZR_Waveshaper2: passes an audio signal through a shape used as a transfer curve. The input
// level picks a position along the shape's x axis; the output is the shape's height there.

#include <algorithm>
#include <array>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

namespace {

constexpr int32_t kTableSize = 4096;
constexpr float kLastEntry = kTableSize - 1;

} // namespace

class ZR_Waveshaper2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;      // the shape's blob image, carried as raw text-pin bytes
    IntInPin pinInterpolation; // 0, 10, 20 or 30
    FloatInPin pinRangeLow;    // volts that map to the shape's left end
    FloatInPin pinRangeHigh;   // volts that map to the shape's right end
    AudioInPin pinInput;
    AudioOutPin pinOut;

    zr::Shape::Interpolator interpolator{zr::Shape(L"(-5,-5)(5,5)"), kTableSize};
    // Output level per table position; the last entry is a guard that a lerp at the right
    // end weights with 0.
    std::array<float, kTableSize + 1> transferTable{};
    float inputOffset = 0.0f;
    float inputScale = 0.0f;

public:
    ZR_Waveshaper2() {
        initializePin(pinShape);
        initializePin(pinInterpolation);
        initializePin(pinRangeLow);
        initializePin(pinRangeHigh);
        initializePin(pinInput);
        initializePin(pinOut);
        setSubProcess(&ZR_Waveshaper2::subProcess);
    }

    void onSetPins() override {
        if (pinShape.isUpdated() || pinInterpolation.isUpdated())
            updateCurve();
        if (pinRangeLow.isUpdated() || pinRangeHigh.isUpdated()) {
            updateRange();
            // A static output must show the new range before the module sleeps again, or a
            // sleeping module would keep the old level. A reporting input restarts the
            // countdown just below anyway.
            if (!pinOut.isStreaming() && !pinInput.isUpdated())
                pinOut.setStreaming(false);
        }
        if (pinInput.isUpdated())
            pinOut.setStreaming(pinInput.isStreaming());
    }

    void subProcess(int32_t sampleFrames) {
        float const* input = pinInput.getBuffer();
        float* output = pinOut.getBuffer();
        // Locals, so that writes to the output cannot be taken to change them per sample.
        float const offset = inputOffset;
        float const scale = inputScale;
        float const* table = transferTable.data();
        for (int32_t i = 0; i < sampleFrames; ++i) {
            float const t = (input[i] - offset) * scale;
            // 0 below the range, the last entry above it; the argument order makes a NaN
            // read the last entry instead of leaving the table.
            float const position = kLastEntry * std::max(0.0f, std::min(1.0f, t));
            auto const index = static_cast<int32_t>(position);
            float const fraction = position - static_cast<float>(index);
            output[i] = table[index] * (1.0f - fraction) + table[index + 1] * fraction;
        }
    }

private:
    void updateCurve() {
        interpolator.shape.setInterpolation(pinInterpolation);
        std::wstring const& image = pinShape;
        interpolator.shape.readBlob(image.data(), static_cast<int32_t>(image.size() * sizeof(wchar_t)));
        if (!interpolator.render())
            return;
        for (int32_t i = 0; i < kTableSize; ++i)
            transferTable[i] = interpolator.readNext() * 0.5f;
        // A static output must still show the new curve before the module sleeps again.
        if (!pinOut.isStreaming())
            pinOut.setStreaming(false);
    }

    void updateRange() {
        float const low = pinRangeLow * 0.1f;
        float const high = pinRangeHigh * 0.1f;
        inputOffset = low == high ? 0.0f : low;
        inputScale = low == high ? 0.0f : 1.0f / (high - low);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_Waveshaper2>::withId(L"ZR_Waveshaper2");
}
