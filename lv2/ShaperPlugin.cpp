#include "lv2/ShaperPlugin.h"

#include <algorithm>

#include "lv2/ModulePins.h"

namespace zr::lv2 {
namespace {

using namespace pins::waveshaper;

ModuleDriver makeShaper(size_t channels, double sampleRate) {
    auto const rate = static_cast<float>(sampleRate);
    if (channels == 1)
        return ModuleDriver(L"ZR_Waveshaper2", rate, {{kFirstInput, false}, {kFirstInput + 1, true}});
    return ModuleDriver(L"ZR_Waveshaper2ST", rate,
                        {{kFirstInput, false}, {kFirstInput + 1, false}, {kFirstInput + 2, true}, {kFirstInput + 3, true}});
}

} // namespace

ShaperPlugin::ShaperPlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features)
    : ShapePlugin(pluginIndex, sampleRate, features),
      channels_(definition().audioInputs.size()),
      module_(makeShaper(channels_, sampleRate)) {}

void ShaperPlugin::sendControl(uint32_t index, float value) {
    switch (index) {
    case catalog::kShaperInterpolation:
        module_.setInt(kInterpolation, static_cast<int32_t>(value));
        break;
    case catalog::kShaperRangeLow:
        module_.setFloat(kRangeLow, value);
        break;
    case catalog::kShaperRangeHigh:
        module_.setFloat(kRangeHigh, value);
        break;
    default:
        break;
    }
}

void ShaperPlugin::sendShape(size_t, zr::Shape const& shape) {
    module_.setBytes(kShape, shape.blobData(), static_cast<size_t>(shape.blobSize()));
}

void ShaperPlugin::render(uint32_t offset, uint32_t frames) {
    auto const count = static_cast<int32_t>(frames);
    for (size_t channel = 0; channel < channels_; ++channel) {
        float* input = module_.buffer(kFirstInput + static_cast<int32_t>(channel));
        if (float const* host = audioInput(channel))
            std::copy_n(host + offset, frames, input);
        else
            std::fill_n(input, frames, 0.0f);
    }
    module_.process(count);
    for (size_t channel = 0; channel < channels_; ++channel)
        if (float* host = audioOutput(channel))
            std::copy_n(module_.buffer(kFirstInput + static_cast<int32_t>(channels_ + channel)), frames, host + offset);
}

} // namespace zr::lv2
