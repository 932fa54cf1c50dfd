// ZR_Waveshaper2ST: the two-channel waveshaper. Both channels pass through one transfer curve
// with one input range; each channel has its own input, output and streaming state.

#include <string>

#include "dsp/TransferCurve.h"
#include "modules/StaticOutput.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"

class ZR_Waveshaper2ST : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;      // the shape's blob image, carried as raw text-pin bytes
    IntInPin pinInterpolation; // 0, 10, 20 or 30
    FloatInPin pinRangeLow;    // volts that map to the shape's left end
    FloatInPin pinRangeHigh;   // volts that map to the shape's right end
    AudioInPin pinInputLeft;
    AudioInPin pinInputRight;
    AudioOutPin pinOutLeft;
    AudioOutPin pinOutRight;

    zr::TransferCurve transferCurve;

public:
    ZR_Waveshaper2ST() {
        initializePin(pinShape);
        initializePin(pinInterpolation);
        initializePin(pinRangeLow);
        initializePin(pinRangeHigh);
        initializePin(pinInputLeft);
        initializePin(pinInputRight);
        initializePin(pinOutLeft);
        initializePin(pinOutRight);
        setSubProcess(&ZR_Waveshaper2ST::subProcess);
    }

    void onSetPins() override {
        if (pinShape.isUpdated() || pinInterpolation.isUpdated())
            updateCurve();
        if (pinRangeLow.isUpdated() || pinRangeHigh.isUpdated()) {
            transferCurve.setRange(pinRangeLow, pinRangeHigh);
            // A reporting input restarts the countdown just below anyway.
            if (!pinInputLeft.isUpdated())
                reannounceIfStatic(pinOutLeft);
            if (!pinInputRight.isUpdated())
                reannounceIfStatic(pinOutRight);
        }
        if (pinInputLeft.isUpdated())
            pinOutLeft.setStreaming(pinInputLeft.isStreaming());
        if (pinInputRight.isUpdated())
            pinOutRight.setStreaming(pinInputRight.isStreaming());
    }

    // Left before right, so that a host that shares buffers between the channels sees the
    // same result as with two mono waveshapers in turn.
    void subProcess(int32_t sampleFrames) {
        float const* inputLeft = pinInputLeft.getBuffer();
        float const* inputRight = pinInputRight.getBuffer();
        float* outLeft = pinOutLeft.getBuffer();
        float* outRight = pinOutRight.getBuffer();
        auto const curve = transferCurve.lookup();
        curve.apply(inputLeft, outLeft, sampleFrames);
        curve.apply(inputRight, outRight, sampleFrames);
    }

private:
    void updateCurve() {
        std::wstring const& image = pinShape;
        if (!transferCurve.setShape(pinInterpolation, image.data(), static_cast<int32_t>(image.size() * sizeof(wchar_t))))
            return;
        // While either channel streams the module keeps running, and neither output is touched.
        if (pinOutLeft.isStreaming() || pinOutRight.isStreaming())
            return;
        reannounceIfStatic(pinOutLeft);
        reannounceIfStatic(pinOutRight);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_Waveshaper2ST>::withId(L"ZR_Waveshaper2ST");
}
