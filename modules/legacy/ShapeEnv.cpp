// Successor: ZR_ShapeEnv3 (modules/ShapeEnvelope3.cpp).
// ZR_ShapeEnv: the first shape envelope. A text shape, read with x as table positions
// 0..4095 and y as levels 0..1, fills a 4096-entry table by the legacy modes 0 to 2; a gate
// runs it once and the input is scaled by it.

#include <algorithm>

#include "modules/legacy/LegacyEnvelope.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"

class ZR_ShapeEnv : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;     // node text in volts; -5 V is level 0, +5 V level 1
    FloatInPin pinDuration;   // ms for the whole shape
    AudioInPin pinGate;       // above 0: on
    IntInPin pinMode;         // legacy mode 0..2; larger values count as 2
    EnumInPin pinSustainNode; // 0..nodes-2; any other value: no sustain
    AudioInPin pinInput;
    AudioOutPin pinOut;

    zr::legacy::NodeList nodes;
    zr::legacy::LegacyTable table;
    zr::legacy::EnvelopeRun run;
    int32_t mode = zr::legacy::kStraight;
    float sampleRate = 0.0f;

public:
    ZR_ShapeEnv() {
        initializePin(pinShape);
        initializePin(pinDuration);
        initializePin(pinGate);
        initializePin(pinMode);
        initializePin(pinSustainNode);
        initializePin(pinInput);
        initializePin(pinOut);
        setSubProcess(&ZR_ShapeEnv::subProcess);
    }

    int32_t open() override {
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        run.setDuration(pinDuration, sampleRate);
        return MpBase2::open();
    }

    void onSetPins() override {
        if (pinShape.isUpdated())
            takeShape();
        if (pinMode.isUpdated()) {
            int32_t const limited = std::min<int32_t>(pinMode, zr::legacy::kParabolaBlend);
            if (limited != mode) {
                mode = limited;
                table.refill(mode);
            }
        }
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
            out[s] = input[s] * run.next(table.data(), gate[s]);
    }

private:
    void takeShape() {
        constexpr float kPositionsAsGiven = 1.0f;
        if (nodes.parse(pinShape, 0.0f, static_cast<float>(zr::legacy::kLastEntry), 0.0f, 1.0f) == 0)
            table.clear();
        else
            table.setNodes(nodes, mode, kPositionsAsGiven);
    }

    void takeSustain() {
        int32_t const index = pinSustainNode;
        bool const valid = index >= 0 && index < table.nodeCount() - 1;
        run.setSustain(valid ? static_cast<float>(std::min(table.position(index), zr::legacy::kLastEntry)) : -1.0f);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeEnv>::withId(L"ZR_ShapeEnv");
}
