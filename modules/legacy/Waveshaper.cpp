// Successor: ZR_Waveshaper2 and ZR_Waveshaper2ST (modules/Waveshaper2.cpp, Waveshaper2ST.cpp).
// ZR_Waveshaper: the first waveshaper. Two signals pass through one shape, given as text, used
// as a transfer curve over a 4096-entry table filled by the legacy modes 0 to 2.

#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"

class ZR_Waveshaper : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;   // node text in volts
    AudioInPin pinInput1;
    AudioInPin pinInput2;
    IntInPin pinMode;       // legacy mode 0..2; larger values count as 2
    AudioOutPin pinOut1;
    AudioOutPin pinOut2;

    zr::legacy::NodeList nodes;
    zr::legacy::LegacyTable table;
    int32_t mode = zr::legacy::kStraight;

public:
    ZR_Waveshaper() {
        initializePin(pinShape);
        initializePin(pinInput1);
        initializePin(pinInput2);
        initializePin(pinMode);
        initializePin(pinOut1);
        initializePin(pinOut2);
        setSubProcess(&ZR_Waveshaper::subProcess);
    }

    void onSetPins() override {
        if (pinShape.isUpdated())
            takeShape();
        if (pinMode.isUpdated())
            takeMode();
        pinOut1.setStreaming(pinInput1.isStreaming());
        pinOut2.setStreaming(pinInput2.isStreaming());
    }

    void subProcess(int32_t sampleFrames) {
        float const* in1 = pinInput1.getBuffer();
        float const* in2 = pinInput2.getBuffer();
        float* out1 = pinOut1.getBuffer();
        float* out2 = pinOut2.getBuffer();
        float const* curve = table.data();
        for (int32_t i = 0; i < sampleFrames; ++i) {
            out1[i] = zr::legacy::lookup(curve, in1[i]);
            out2[i] = zr::legacy::lookup(curve, in2[i]);
        }
    }

private:
    void takeShape() {
        if (nodes.parseUnit(pinShape) == 0)
            table.clear();
        else
            table.setNodes(nodes, mode);
    }

    // A negative mode is stored as given and then draws straight lines, like mode 0.
    void takeMode() {
        int32_t const limited = zr::legacy::limitToCurvedModes(pinMode);
        if (limited == mode)
            return;
        mode = limited;
        table.refill(mode);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_Waveshaper>::withId(L"ZR_Waveshaper");
}
