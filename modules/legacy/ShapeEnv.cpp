// Successor: ZR_ShapeEnv3 (modules/ShapeEnv3.cpp).
// ZR_ShapeEnv: the first shape envelope. A text shape, read with x as table positions
// 0..4095 and y as levels 0..1, fills a 4096-entry table by the legacy modes 0 to 2; a rising
// gate runs it as the successor runs its contour and the input is scaled by it.

#include "modules/legacy/LegacyEnvelope.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/Register.h"

class ZR_ShapeEnv : public zr::legacy::GatedEnvelope {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;     // node text in volts; -5 V is level 0, +5 V level 1
    FloatInPin pinDuration;   // ms for the whole shape, hold not counted
    AudioInPin pinGate;       // above 0: on
    IntInPin pinMode;         // legacy mode 0..2; larger values count as 2
    EnumInPin pinSustainNode; // 0..nodes-2; any other value: no sustain
    AudioInPin pinInput;
    AudioOutPin pinOut;

    // The contour as the text gave it; the run takes it at the next rising gate.
    zr::legacy::NodeList nodes;
    zr::legacy::LegacyTable table;
    int32_t mode = zr::legacy::kStraight;

public:
    ZR_ShapeEnv() {
        initializePin(pinShape);
        initializePin(pinDuration);
        initializePin(pinGate);
        initializePin(pinMode);
        initializePin(pinSustainNode);
        initializePin(pinInput);
        initializePin(pinOut);
        attach(pinGate, pinInput, pinOut);
    }

    void onSetPins() override {
        if (pinShape.isUpdated())
            takeShape();
        if (pinMode.isUpdated()) {
            int32_t const limited = zr::legacy::limitToCurvedModes(pinMode);
            if (limited != mode) {
                mode = limited;
                table.refill(mode);
            }
        }
        if (pinDuration.isUpdated())
            setDuration(pinDuration);
    }

private:
    // A refused text empties the table: the envelope is silent until a text parses.
    void takeShape() {
        constexpr float kPositionsAsGiven = 1.0f;
        if (nodes.parse(pinShape, 0.0f, static_cast<float>(zr::legacy::kLastEntry), 0.0f, 1.0f) == 0)
            table.clear();
        else
            table.setNodes(nodes, mode, kPositionsAsGiven);
    }

    void prepareRun() override {
        takeLevels(table.data());
        setStartLevel(table.nodeCount() > 0 ? nodes.nodes[0].y : 0.0f);
        int32_t const index = pinSustainNode;
        if (index >= 0 && index < table.nodeCount() - 1)
            setSustain(static_cast<float>(table.position(index)), nodes.nodes[static_cast<std::size_t>(index)].y);
        else
            clearSustain();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeEnv>::withId(L"ZR_ShapeEnv");
}
