#include "host/patch/PatchRender.h"

#include <algorithm>

namespace zr::host {
namespace {

SourcedInput* inputFor(LoadedPatch& loaded, PinAddress const& pin) {
    for (SourcedInput& input : loaded.inputs)
        if (input.pin.module == pin.module && input.pin.pin == pin.pin)
            return &input;
    return nullptr;
}

// A level change on an audio input takes effect at its sample: the input holds that level
// from there on, and a stop of streaming at that sample tells the module that it changed.
void applyChange(LoadedPatch& loaded, TimedChange const& change, int32_t time, int32_t count) {
    if (!change.value.isAudioLevel) {
        loaded.patch->setBytes(change.pin.module, change.pin.pin, time, change.value.bytes);
        return;
    }
    if (SourcedInput* input = inputFor(loaded, change.pin)) {
        input->source = AudioSource::constant(change.value.volts);
        float* buffer = loaded.patch->input(change.pin.module, change.pin.pin);
        input->source.fill(buffer + time, 0, count - time, loaded.sampleRate);
    }
    AudioModule& module = loaded.patch->module(change.pin.module);
    module.stopStream(module.description()->pinByName(change.pin.pin).index, time);
}

} // namespace

void renderPatch(LoadedPatch& loaded, BlockSink const& sink, RenderProgress const& progress) {
    // The buffers stay where they are for the patch's life: found by name once, not per block.
    std::vector<float*> inputs;
    for (SourcedInput const& input : loaded.inputs)
        inputs.push_back(loaded.patch->input(input.pin.module, input.pin.pin));
    std::vector<float const*> outputs;
    for (PinAddress const& output : loaded.outputs)
        outputs.push_back(loaded.patch->output(output.module, output.pin));
    size_t nextChange = 0;
    for (int64_t start = 0; start < loaded.totalSamples; start += loaded.blockSize) {
        int32_t const count = static_cast<int32_t>(std::min<int64_t>(loaded.blockSize, loaded.totalSamples - start));
        for (size_t i = 0; i < inputs.size(); ++i)
            loaded.inputs[i].source.fill(inputs[i], start, count, loaded.sampleRate);
        for (; nextChange < loaded.changes.size() && loaded.changes[nextChange].sample < start + count; ++nextChange) {
            int64_t const offset = std::max<int64_t>(loaded.changes[nextChange].sample - start, 0);
            applyChange(loaded, loaded.changes[nextChange], static_cast<int32_t>(offset), count);
        }
        loaded.patch->process(count);
        sink(outputs, count);
        if (progress)
            progress(start + count, loaded.totalSamples);
    }
}

std::vector<std::vector<float>> renderPatch(LoadedPatch& loaded, RenderProgress const& progress) {
    std::vector<std::vector<float>> channels(loaded.outputs.size());
    for (auto& channel : channels)
        channel.reserve(static_cast<size_t>(loaded.totalSamples));
    auto const collect = [&](std::span<float const* const> outputs, int32_t count) {
        for (size_t i = 0; i < outputs.size(); ++i)
            channels[i].insert(channels[i].end(), outputs[i], outputs[i] + count);
    };
    renderPatch(loaded, collect, progress);
    return channels;
}

} // namespace zr::host
