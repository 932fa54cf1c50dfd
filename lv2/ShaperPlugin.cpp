#include "lv2/ShaperPlugin.h"

#include <algorithm>

namespace zr::lv2 {
namespace {

// Pins of ZR_Waveshaper2 and ZR_Waveshaper2ST (metadata/modules.json); audio pins follow the
// controls, inputs before outputs.
constexpr int32_t kShapePin = 0;
constexpr int32_t kInterpolationPin = 1;
constexpr int32_t kRangeLowPin = 2;
constexpr int32_t kRangeHighPin = 3;
constexpr int32_t kFirstInputPin = 4;

ModuleDriver makeShaper(size_t channels, double sampleRate) {
    auto const rate = static_cast<float>(sampleRate);
    if (channels == 1)
        return ModuleDriver(L"ZR_Waveshaper2", rate, {{kFirstInputPin, false}, {kFirstInputPin + 1, true}});
    return ModuleDriver(L"ZR_Waveshaper2ST", rate,
                        {{kFirstInputPin, false}, {kFirstInputPin + 1, false}, {kFirstInputPin + 2, true}, {kFirstInputPin + 3, true}});
}

} // namespace

ShaperPlugin::ShaperPlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features)
    : ShapePlugin(pluginIndex, sampleRate, features),
      channels_(spec().audioInputs.size()),
      module_(makeShaper(channels_, sampleRate)) {}

void ShaperPlugin::sendControl(uint32_t index, float value) {
    switch (index) {
    case catalog::kShaperInterpolation:
        module_.setInt(kInterpolationPin, static_cast<int32_t>(value));
        break;
    case catalog::kShaperRangeLow:
        module_.setFloat(kRangeLowPin, value);
        break;
    case catalog::kShaperRangeHigh:
        module_.setFloat(kRangeHighPin, value);
        break;
    default:
        break;
    }
}

// The waveshapers' shape pin is a text pin that carries the blob image's bytes.
void ShaperPlugin::sendShape(size_t, zr::Shape const& shape) {
    module_.setBytes(kShapePin, shape.blobData(), static_cast<size_t>(shape.blobSize()));
}

void ShaperPlugin::render(uint32_t offset, uint32_t frames) {
    auto const count = static_cast<int32_t>(frames);
    for (size_t channel = 0; channel < channels_; ++channel) {
        float* input = module_.buffer(kFirstInputPin + static_cast<int32_t>(channel));
        if (float const* host = audioInput(channel))
            std::copy_n(host + offset, frames, input);
        else
            std::fill_n(input, frames, 0.0f);
    }
    module_.process(count);
    for (size_t channel = 0; channel < channels_; ++channel)
        if (float* host = audioOutput(channel))
            std::copy_n(module_.buffer(kFirstInputPin + static_cast<int32_t>(channels_ + channel)), frames, host + offset);
}

} // namespace zr::lv2
