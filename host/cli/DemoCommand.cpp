#include "host/cli/DemoCommand.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/Patch.h"
#include "host/cli/WavFile.h"
#include "shapes/Shape.h"

namespace zr::cli {
namespace {

constexpr int kSampleRate = 48000;
constexpr int32_t kBlockSize = 64;
// Note starts and gate lengths fall on block boundaries: 0.4 s and 0.3 s at 48 kHz.
constexpr int64_t kNoteBlocks = 300;
constexpr int64_t kGateBlocks = 225;
constexpr int64_t kTailBlocks = 450; // lets the last release run out

// One cycle with a strong fundamental and some upper harmonics, rounded by a spline.
constexpr wchar_t kWaveShape[] = L"(-5,0)(-3.5,4.5)(-1.5,2)(0,0)(1.5,-2)(3.5,-4.5)(5,0)";
// A soft saturation curve.
constexpr wchar_t kTransferShape[] = L"(-5,-5)(-2.5,-4.5)(0,0)(2.5,4.5)(5,5)";
// Fast attack, decay to the sustain node (node 2) and a release to silence.
constexpr wchar_t kContourShape[] = L"(-5,-5)(-4.5,5)(-1,1)(5,-5)";
constexpr int32_t kSustainNode = 2;
constexpr float kContourMilliseconds = 600.0f;

// An arpeggio in volts per octave (5 V = 440 Hz): A3 C4 E4 A4 E4 C4 A3.
constexpr float kNotesVolts[] = {4.0f, 4.25f, 4.0f + 7.0f / 12.0f, 5.0f, 4.0f + 7.0f / 12.0f, 4.25f, 4.0f};

std::vector<uint8_t> imageOf(wchar_t const* text) {
    Shape const shape(text);
    auto const* bytes = static_cast<uint8_t const*>(shape.blobData());
    return {bytes, bytes + shape.blobSize()};
}

// The oscillator playing a shape, through the waveshaper, under the envelope: the envelope
// scales its input, the shaped oscillator, by its level.
void buildPatch(host::Patch& patch) {
    patch.add("osc", L"ZR_ShapeOsc2");
    patch.add("shaper", L"ZR_Waveshaper2");
    patch.add("envelope", L"ZR_ShapeEnv3");
    patch.connect("osc", "Out", "shaper", "Input");
    patch.connect("shaper", "Out", "envelope", "Input");
    patch.start();

    patch.setBytes("osc", "Shape", 0, imageOf(kWaveShape));
    patch.set("osc", "Interpolation", 0, VarekSpline);
    patch.set("osc", "RemoveDC", 0, true);
    patch.set("osc", "Oversampling", 0, 1);
    patch.set("osc", "Gate", 0, true);

    patch.setBytes("shaper", "Shape", 0, imageOf(kTransferShape));
    patch.set("shaper", "Interpolation", 0, NaturalSpline);
    patch.set("shaper", "RangeLow", 0, -4.0f);
    patch.set("shaper", "RangeHigh", 0, 4.0f);

    patch.setBytes("envelope", "Shape", 0, imageOf(kContourShape));
    patch.set("envelope", "SustainNode", 0, kSustainNode);
    patch.set("envelope", "Duration", 0, kContourMilliseconds);
}

std::vector<float> playArpeggio(host::Patch& patch) {
    std::vector<float> rendered;
    int64_t const notes = std::size(kNotesVolts);
    int64_t const totalBlocks = notes * kNoteBlocks + kTailBlocks;
    float* pitch = patch.input("osc", "Pitch");
    for (int64_t block = 0; block < totalBlocks; ++block) {
        int64_t const note = block / kNoteBlocks;
        int64_t const intoNote = block % kNoteBlocks;
        if (note < notes && intoNote == 0) {
            std::fill_n(pitch, patch.maxBlockSize(), kNotesVolts[note] * 0.1f);
            patch.set("envelope", "Gate", 0, true);
        }
        if (note < notes && intoNote == kGateBlocks)
            patch.set("envelope", "Gate", 0, false);
        patch.process(kBlockSize);
        float const* out = patch.output("envelope", "Out");
        rendered.insert(rendered.end(), out, out + kBlockSize);
    }
    return rendered;
}

float peakOf(std::vector<float> const& samples) {
    float peak = 0.0f;
    for (float sample : samples)
        peak = std::fmax(peak, std::fabs(sample));
    return peak;
}

} // namespace

int runDemo(BundleFiles const& files, std::filesystem::path const& outputDirectory) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    host::AudioModuleOptions options;
    options.sampleRate = static_cast<float>(kSampleRate);
    options.maxBlockSize = kBlockSize;
    host::Patch patch(bundle, descriptions, options);
    buildPatch(patch);
    std::vector<float> const rendered = playArpeggio(patch);

    std::filesystem::create_directories(outputDirectory);
    auto const wavPath = outputDirectory / "shape-demo.wav";
    writeWav(wavPath, rendered, kSampleRate);

    std::printf("ZR_ShapeOsc2 -> ZR_Waveshaper2 -> ZR_ShapeEnv3, an arpeggio of %zu notes\n", std::size(kNotesVolts));
    std::printf("  wave        %ls (spline)\n", kWaveShape);
    std::printf("  transfer    %ls (natural spline), range -4..4 V\n", kTransferShape);
    std::printf("  contour     %ls, sustain at node %d, %.0f ms\n", kContourShape, kSustainNode,
                static_cast<double>(kContourMilliseconds));
    std::printf("  %.2f s at %d Hz, peak %.1f V (%.1f dBFS)\n", static_cast<double>(rendered.size()) / kSampleRate,
                kSampleRate, static_cast<double>(peakOf(rendered) * 10.0f),
                20.0 * std::log10(std::max(1e-9, static_cast<double>(peakOf(rendered)))));
    std::printf("wrote %s\n", std::filesystem::absolute(wavPath).c_str());
    return 0;
}

} // namespace zr::cli
