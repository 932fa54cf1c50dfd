#include "host/cli/DemoCommand.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/cli/DrawCommand.h"
#include "host/cli/Messages.h"
#include "host/cli/RenderCommand.h"

namespace zr::cli {
namespace {

// The demo patch's morpher: its last output is the curve the waveshaper ended with.
constexpr char kMorpher[] = "morph";
constexpr int32_t kMorpherOutPin = 0;
constexpr int kSplineMode = 30; // the waveshaper's interpolation in the demo patch

// Empty when the patch has no such morpher or it sent nothing (another patch given with --patch).
std::optional<std::vector<uint8_t>> finalCurve(Rendered const& rendered) {
    auto const names = rendered.loaded.patch->names();
    if (std::find(names.begin(), names.end(), kMorpher) == names.end())
        return std::nullopt;
    auto const sent = rendered.loaded.patch->module(kMorpher).host().lastPinSet(kMorpherOutPin);
    if (!sent)
        return std::nullopt;
    return sent->bytes;
}

std::string modulesInOrder(host::Patch& patch) {
    std::string text;
    for (std::string const& name : patch.runningOrder())
        text += (text.empty() ? "" : ", ") + name + " (" + patch.module(name).description()->idText() + ")";
    return text;
}

} // namespace

int runDemo(BundleFiles const& files, std::filesystem::path const& outputDirectory, std::filesystem::path const& patch) {
    std::filesystem::create_directories(outputDirectory);
    RenderRequest request;
    request.patch = patch;
    request.output = outputDirectory / "shape-demo.wav";
    request.plot = outputDirectory / "shape-demo.png";
    std::optional<std::vector<uint8_t>> curve;
    {
        host::Bundle bundle(files.bundle);
        auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
        Rendered const rendered = renderToFiles(bundle, descriptions, request);
        curve = finalCurve(rendered);
        report("%s: %s", patch.filename().c_str(), modulesInOrder(*rendered.loaded.patch).c_str());
        report("  %.2f s at %.0f Hz", static_cast<double>(rendered.loaded.totalSamples) / rendered.loaded.sampleRate,
                    static_cast<double>(rendered.loaded.sampleRate));
    }
    report("wrote %s (the audio)", std::filesystem::absolute(request.output).c_str());
    report("wrote %s (its waveform)", std::filesystem::absolute(*request.plot).c_str());
    if (!curve) {
        report("no shape picture: the patch has no module '%s' that sent a shape", kMorpher);
        return 0;
    }
    DrawRequest picture;
    picture.blobBytes = *curve;
    picture.mode = kSplineMode;
    picture.width = 480;
    picture.height = 240;
    picture.output = outputDirectory / "shape-demo-shape.png";
    picture.output = std::filesystem::absolute(picture.output);
    runDraw(files, picture);
    return 0;
}

} // namespace zr::cli
