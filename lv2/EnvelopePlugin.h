#pragma once
// Shape Envelope: ZR_ShapeEnv3 scaling the input by a shape's contour. The gate is open while
// a MIDI note is held or the Gate control is on; each new note restarts the contour. With
// beat retriggering on, every whole beat of the host's transport restarts it too, and the
// duration may be given in beats of the host's tempo.

#include "lv2/BeatClock.h"
#include "lv2/ShapePlugin.h"

namespace zr::lv2 {

class EnvelopePlugin final : public ShapePlugin {
public:
    EnvelopePlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features);

private:
    void startModules() override { module_.start(); }
    void settleModules() override { module_.process(0); }
    void sendControl(uint32_t index, float value) override;
    void sendShape(size_t slot, zr::Shape const& shape) override;
    void render(uint32_t offset, uint32_t frames) override;
    void onMidi(uint8_t const* message, uint32_t size) override;
    void onPosition(LV2_Atom_Object const* position) override;

    bool gateHeld() const { return heldNotes_ > 0 || control(catalog::kEnvelopeGate) >= 0.5f; }
    void updateGate(bool restart);
    void sendDuration();
    void renderPiece(uint32_t offset, uint32_t frames);

    ModuleDriver module_;
    BeatClock clock_;
    int32_t heldNotes_ = 0;
    bool gateSent_ = false;
};

} // namespace zr::lv2
