#include "host/cli/DemoCommand.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/cli/DrawCommand.h"
#include "host/cli/RenderCommand.h"

namespace zr::cli {
namespace {

// The demo patch's morpher: its last output is the curve the waveshaper ended with.
constexpr char kMorpher[] = "morph";
constexpr int32_t kMorpherOutPin = 0;
constexpr int kSplineMode = 30; // the waveshaper's interpolation in the demo patch

std::vector<uint8_t> finalCurve(Rendered const& rendered) {
    auto const sent = rendered.loaded.patch->module(kMorpher).host().lastPinSet(kMorpherOutPin);
    if (!sent)
        throw std::runtime_error("the demo's morpher sent no shape");
    return sent->bytes;
}

} // namespace

int runDemo(BundleFiles const& files, std::filesystem::path const& outputDirectory, std::filesystem::path const& patch) {
    std::filesystem::create_directories(outputDirectory);
    RenderRequest const request{patch, outputDirectory / "shape-demo.wav", outputDirectory / "shape-demo.png"};
    std::vector<uint8_t> curve;
    {
        host::Bundle bundle(files.bundle);
        auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
        Rendered const rendered = renderToFiles(bundle, descriptions, request);
        curve = finalCurve(rendered);
        std::printf("%s: ZR_ShapeOsc2 -> ZR_Waveshaper2 -> ZR_ShapeEnv3, the waveshaper's curve morphed by "
                    "ZR_ShapeMorpher2 from a soft saturation into a wave folder\n",
                    patch.filename().c_str());
        std::printf("  %.2f s at %.0f Hz\n", static_cast<double>(rendered.loaded.totalSamples) / rendered.loaded.sampleRate,
                    static_cast<double>(rendered.loaded.sampleRate));
    }
    DrawRequest picture;
    picture.blobBytes = curve;
    picture.mode = kSplineMode;
    picture.width = 480;
    picture.height = 240;
    picture.output = outputDirectory / "shape-demo-shape.png";
    std::printf("wrote %s (the audio)\n", std::filesystem::absolute(*request.plot).replace_extension(".wav").c_str());
    std::printf("wrote %s (its waveform)\n", std::filesystem::absolute(*request.plot).c_str());
    runDraw(files, picture);
    return 0;
}

} // namespace zr::cli
