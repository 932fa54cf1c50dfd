// Successor: ZR_ShapeEnv3 (modules/ShapeEnv3.cpp).
// ZR_ShapeEnv2: the second shape envelope. Its text pin carries a shape's blob image in its
// characters; the shape renders through the shape core into a 4096-entry table of levels
// (-5 V is level 0, +5 V level 1), and a rising gate runs it as the successor runs its
// contour to scale the input.

#include <array>

#include "modules/legacy/LegacyEnvelope.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/Register.h"
#include "shapes/Interpolator.h"

class ZR_ShapeEnv2 : public zr::legacy::GatedEnvelope {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;     // a blob image, its 32-bit words carried as characters
    IntInPin pinMode;         // legacy mode 0..3 (Linear, Spline, Lagrange, None)
    FloatInPin pinDuration;   // ms for the whole shape, hold not counted
    AudioInPin pinGate;       // above 0: on
    EnumInPin pinSustainNode; // 0..nodes-2; any other value: no sustain
    AudioInPin pinInput;
    AudioOutPin pinOut;

    // The contour as the image gave it; the run takes it at the next rising gate.
    zr::Shape::Interpolator interpolator{zr::legacy::kTableSize};
    std::array<float, zr::legacy::kTableSize> levels{};

public:
    ZR_ShapeEnv2() {
        initializePin(pinShape);
        initializePin(pinMode);
        initializePin(pinDuration);
        initializePin(pinGate);
        initializePin(pinSustainNode);
        initializePin(pinInput);
        initializePin(pinOut);
        attach(pinGate, pinInput, pinOut);
    }

    int32_t open() override {
        renderLevels();
        return GatedEnvelope::open();
    }

    void onSetPins() override {
        if (pinShape.isUpdated()) {
            std::wstring const& image = pinShape;
            interpolator.shape.readBlob(image.data(), static_cast<int32_t>(image.size() * sizeof(wchar_t)));
        }
        if (pinMode.isUpdated())
            interpolator.shape.setInterpolation(zr::legacy::currentModeOf(pinMode));
        if (pinShape.isUpdated() || pinMode.isUpdated())
            renderLevels();
        if (pinDuration.isUpdated())
            setDuration(pinDuration);
    }

private:
    void renderLevels() {
        if (!interpolator.render())
            return;
        auto const values = interpolator.rendered();
        for (int32_t i = 0; i < zr::legacy::kTableSize; ++i)
            levels[static_cast<std::size_t>(i)] = zr::envelopeLevel(values.value(i));
    }

    // Image nodes are not re-checked: a NaN x is no sustain point, any other x is kept
    // inside the table.
    void prepareRun() override {
        zr::Shape const& shape = interpolator.shape;
        takeLevels(levels.data());
        setStartLevel(zr::nodeLevel(shape.nodes[0].y));
        int32_t const index = pinSustainNode;
        if (index >= 0 && index < shape.nodeCount - 1)
            setSustain(shape.nodes[index].x * static_cast<float>(zr::legacy::kLastEntry), zr::nodeLevel(shape.nodes[index].y));
        else
            clearSustain();
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeEnv2>::withId(L"ZR_ShapeEnv2");
}
