// ZR_Waveshaper2: passes an audio signal through a shape used as a transfer curve. The input
// level picks a position along the shape's x axis; the output is the shape's height there.

#include <string>

#include "dsp/TransferCurve.h"
#include "modules/StaticOutput.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"

class ZR_Waveshaper2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;      // the shape's blob image, carried as raw text-pin bytes
    IntInPin pinInterpolation; // 0, 10, 20 or 30
    FloatInPin pinRangeLow;    // volts that map to the shape's left end
    FloatInPin pinRangeHigh;   // volts that map to the shape's right end
    AudioInPin pinInput;
    AudioOutPin pinOut;

    zr::TransferCurve transferCurve;

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
            transferCurve.setRange(pinRangeLow, pinRangeHigh);
            // A reporting input restarts the countdown just below anyway.
            if (!pinInput.isUpdated())
                reannounceIfStatic(pinOut);
        }
        if (pinInput.isUpdated())
            pinOut.setStreaming(pinInput.isStreaming());
    }

    void subProcess(int32_t sampleFrames) {
        float const* input = pinInput.getBuffer();
        float* output = pinOut.getBuffer();
        transferCurve.lookup().apply(input, output, sampleFrames);
    }

private:
    void updateCurve() {
        std::wstring const& image = pinShape;
        if (!transferCurve.setShape(pinInterpolation, image.data(), static_cast<int32_t>(image.size() * sizeof(wchar_t))))
            return;
        reannounceIfStatic(pinOut);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_Waveshaper2>::withId(L"ZR_Waveshaper2");
}
