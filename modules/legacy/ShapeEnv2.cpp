// Successor: ZR_ShapeEnv3 (modules/ShapeEnvelope3.cpp).
// ZR_ShapeEnv2: the second shape envelope. Its text pin carries a shape's blob image in its
// characters; the shape renders through the shape core into a 4096-entry table of levels
// (-5 V is level 0, +5 V level 1), and a gate runs it once to scale the input.

#include <cstring>

#include "modules/legacy/LegacyEnvelope.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"
#include "shapes/Clamp.h"
#include "shapes/Interpolator.h"

class ZR_ShapeEnv2 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;     // a blob image, its 32-bit words carried as characters
    IntInPin pinMode;         // legacy mode 0..3 (Linear, Spline, Lagrange, None)
    FloatInPin pinDuration;   // ms for the whole shape
    AudioInPin pinGate;       // above 0: on
    EnumInPin pinSustainNode; // 0..nodes-2; any other value: no sustain
    AudioInPin pinInput;
    AudioOutPin pinOut;

    zr::Shape::Interpolator interpolator{zr::legacy::kTableSize};
    std::array<float, zr::legacy::kTableSize> levels{};
    zr::legacy::EnvelopeRun run;
    float sampleRate = 0.0f;

public:
    ZR_ShapeEnv2() {
        initializePin(pinShape);
        initializePin(pinMode);
        initializePin(pinDuration);
        initializePin(pinGate);
        initializePin(pinSustainNode);
        initializePin(pinInput);
        initializePin(pinOut);
        setSubProcess(&ZR_ShapeEnv2::subProcess);
    }

    int32_t open() override {
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        run.setDuration(pinDuration, sampleRate);
        renderLevels();
        return MpBase2::open();
    }

    void onSetPins() override {
        if (pinShape.isUpdated()) {
            std::wstring const& image = pinShape;
            interpolator.shape.readBlob(image.data(), static_cast<int32_t>(image.size() * sizeof(wchar_t)));
        }
        if (pinMode.isUpdated())
            interpolator.shape.setInterpolation(currentMode(pinMode));
        if (pinShape.isUpdated() || pinMode.isUpdated())
            renderLevels();
        if (pinShape.isUpdated() || pinSustainNode.isUpdated())
            takeSustain();
        if (pinDuration.isUpdated())
            run.setDuration(pinDuration, sampleRate);
        pinOut.setStreaming(true);
    }

    void subProcess(int32_t sampleFrames) {
        float const* gate = pinGate.getBuffer();
        float const* input = pinInput.getBuffer();
        float* out = pinOut.getBuffer();
        for (int32_t s = 0; s < sampleFrames; ++s)
            out[s] = input[s] * run.next(levels.data(), gate[s]);
    }

private:
    // The legacy list "Linear,Spline,Lagrange,None" in the shape core's modes; -1 for others,
    // which the shape refuses.
    static int32_t currentMode(int32_t legacyMode) {
        constexpr int32_t kModes[] = {zr::Linear, zr::VarekSpline, zr::NaturalSpline, zr::None};
        return legacyMode >= 0 && legacyMode <= 3 ? kModes[legacyMode] : -1;
    }

    void renderLevels() {
        if (!interpolator.render())
            return;
        for (float& level : levels)
            level = (interpolator.readNext() + 1.0f) * 0.5f;
    }

    // Image nodes are not re-checked, so the sustain x is clamped before it becomes a position.
    void takeSustain() {
        int32_t const index = pinSustainNode;
        zr::Shape const& shape = interpolator.shape;
        if (index < 0 || index >= shape.nodeCount - 1) {
            run.setSustain(-1.0f);
            return;
        }
        float const x = zr::clampf(shape.nodes[index].x, 0.0f, 1.0f);
        run.setSustain(x * static_cast<float>(zr::legacy::kLastEntry));
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeEnv2>::withId(L"ZR_ShapeEnv2");
}
