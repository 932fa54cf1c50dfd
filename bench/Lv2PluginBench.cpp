// Each LV2 plug-in's cost per sample through a lilv host, beside the same module (or, for the
// synth, the same eight oscillator and envelope pairs) driven by our own host's AudioModule
// with the same shapes and settings, so that one run gives the plug-in's overhead: the
// message walk, the cut into module blocks and the copies between host and module buffers.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "shapes/Shape.h"
#include "testing/lv2/LilvHost.h"

namespace {

// The shapes the plug-ins start with.
constexpr wchar_t const* kSaturation = L"(-5,-5)(-2.5,-3.8)(0,0)(2.5,3.8)(5,5)";
constexpr wchar_t const* kContour = L"(-5,-5)(-4.5,5)(-1,1)(5,-5)";
constexpr wchar_t const* kWave = L"(-5,0)(-2.5,5)(2.5,-5)(5,0)";
constexpr int32_t kSustainAtPeak = 1;
constexpr size_t kVoices = 8;

std::vector<uint8_t> imageOf(wchar_t const* text) {
    zr::Shape const shape(text);
    auto const* bytes = static_cast<uint8_t const*>(shape.blobData());
    return {bytes, bytes + shape.blobSize()};
}

zr::test::LilvTestWorld& world() {
    static zr::test::LilvTestWorld loaded(ZR_LV2_BUNDLE_PARENT);
    return loaded;
}

// Runs blocks of the plug-in with its inputs holding the sweep; the time is per sample of one
// channel times `channels`.
void timePlugin(benchmark::State& state, zr::test::PluginInstance& plugin, int64_t samplesPerBlock) {
    auto const blockSize = static_cast<uint32_t>(state.range(0));
    for (size_t channel = 0; channel < plugin.audioInputCount(); ++channel)
        zr::bench::fillSweep(plugin.audioInput(channel), static_cast<int32_t>(blockSize));
    plugin.runOnly(blockSize);
    for (auto _ : state) {
        plugin.runOnly(blockSize);
        benchmark::DoNotOptimize(plugin.audioOutput(0)[blockSize - 1]);
    }
    zr::bench::reportPerSample(state, samplesPerBlock);
}

// Times our host's process of `module` with swept inputs, as zrhost runs it.
void timeModule(benchmark::State& state, zr::host::AudioModule& module, std::vector<int32_t> const& inputs, int32_t output,
                int64_t samplesPerBlock) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    for (int32_t pin : inputs)
        module.startStream(pin, 0);
    module.process(blockSize);
    for (int32_t pin : inputs)
        zr::bench::fillSweep(module.buffer(pin), blockSize);
    for (auto _ : state) {
        module.process(blockSize);
        benchmark::DoNotOptimize(module.samples(output)[blockSize - 1]);
    }
    zr::bench::reportPerSample(state, samplesPerBlock);
}

void BM_Lv2Shaper(benchmark::State& state) {
    zr::test::PluginInstance plugin(world(), "urn:zr-shapes:lv2:shaper");
    timePlugin(state, plugin, state.range(0));
}

void BM_HostShaper(benchmark::State& state) {
    auto module = zr::bench::running(L"ZR_Waveshaper2");
    module->setBytes(0, 0, imageOf(kSaturation));
    timeModule(state, *module, {4}, 5, state.range(0));
}

void BM_Lv2ShaperStereoPerChannel(benchmark::State& state) {
    zr::test::PluginInstance plugin(world(), "urn:zr-shapes:lv2:shaper-stereo");
    timePlugin(state, plugin, 2 * state.range(0));
}

void BM_HostShaperStereoPerChannel(benchmark::State& state) {
    auto module = zr::bench::running(L"ZR_Waveshaper2ST");
    module->setBytes(0, 0, imageOf(kSaturation));
    timeModule(state, *module, {4, 5}, 6, 2 * state.range(0));
}

// The envelope opened and holding at its peak node for the whole run.
void BM_Lv2Envelope(benchmark::State& state) {
    zr::test::PluginInstance plugin(world(), "urn:zr-shapes:lv2:envelope");
    plugin.setControl("sustain_node", kSustainAtPeak);
    plugin.setControl("gate", 1.0f);
    timePlugin(state, plugin, state.range(0));
}

void BM_HostEnvelope(benchmark::State& state) {
    auto module = zr::bench::running(L"ZR_ShapeEnv3");
    module->setBytes(1, 0, imageOf(kContour));
    module->setInt(4, 0, kSustainAtPeak);
    module->setBool(0, 0, true);
    timeModule(state, *module, {5}, 7, state.range(0));
}

// Eight notes held at the sustain node.
void BM_Lv2Synth(benchmark::State& state) {
    zr::test::PluginInstance plugin(world(), "urn:zr-shapes:lv2:synth");
    plugin.setControl("sustain_node", kSustainAtPeak);
    for (uint8_t note = 60; note < 60 + kVoices; ++note)
        plugin.midi(0, {0x90, note, 100});
    timePlugin(state, plugin, state.range(0));
}

// The same eight voices as oscillator and envelope modules in our host, each oscillator's
// output copied into its envelope's input and the envelopes summed, as the synth does.
void BM_HostSynth(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    std::vector<std::unique_ptr<zr::host::AudioModule>> oscillators, envelopes;
    for (size_t voice = 0; voice < kVoices; ++voice) {
        auto oscillator = zr::bench::running(L"ZR_ShapeOsc2");
        oscillator->setBytes(1, 0, imageOf(kWave));
        std::fill_n(oscillator->buffer(6), blockSize, static_cast<float>(5.0 + (voice - 9.0) / 12.0) * 0.1f);
        auto envelope = zr::bench::running(L"ZR_ShapeEnv3");
        envelope->setBytes(1, 0, imageOf(kContour));
        envelope->setInt(4, 0, kSustainAtPeak);
        envelope->setBool(0, 0, true);
        envelope->startStream(5, 0);
        oscillators.push_back(std::move(oscillator));
        envelopes.push_back(std::move(envelope));
    }
    std::vector<float> sum(static_cast<size_t>(blockSize));
    auto runVoices = [&] {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (size_t voice = 0; voice < kVoices; ++voice) {
            oscillators[voice]->process(blockSize);
            std::copy_n(oscillators[voice]->samples(11), blockSize, envelopes[voice]->buffer(5));
            envelopes[voice]->process(blockSize);
            float const* sound = envelopes[voice]->samples(7);
            for (int32_t i = 0; i < blockSize; ++i)
                sum[static_cast<size_t>(i)] += sound[i] * 0.25f;
        }
    };
    runVoices();
    for (auto _ : state) {
        runVoices();
        benchmark::DoNotOptimize(sum.back());
    }
    zr::bench::reportPerSample(state, blockSize);
}

} // namespace

BENCHMARK(BM_Lv2Shaper)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_HostShaper)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_Lv2ShaperStereoPerChannel)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_HostShaperStereoPerChannel)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_Lv2Envelope)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_HostEnvelope)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_Lv2Synth)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_HostSynth)->Apply(zr::bench::blockSizes);
