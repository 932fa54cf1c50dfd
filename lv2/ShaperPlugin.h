#pragma once
// Shape Shaper and Shape Shaper Stereo: ZR_Waveshaper2 and ZR_Waveshaper2ST, the shape their
// transfer curve, interpolation and input range their controls.

#include "lv2/ShapePlugin.h"

namespace zr::lv2 {

class ShaperPlugin final : public ShapePlugin {
public:
    ShaperPlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features);

private:
    void startModules() override { module_.start(); }
    void settleModules() override { module_.process(0); }
    void sendControl(uint32_t index, float value) override;
    void sendShape(size_t slot, zr::Shape const& shape) override;
    void render(uint32_t offset, uint32_t frames) override;

    size_t const channels_;
    ModuleDriver module_;
};

} // namespace zr::lv2
