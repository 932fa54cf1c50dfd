#include "host/cli/RenderCommand.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/cli/OutputFile.h"
#include "host/cli/WavFile.h"
#include "host/cli/WaveformPlot.h"
#include "host/patch/PatchRender.h"

namespace zr::cli {
namespace {

constexpr int kBarWidth = 40;

// Redraws the bar only when it grows, so that a long render does not flood the terminal.
host::RenderProgress progressBar() {
    if (!::isatty(STDERR_FILENO))
        return {};
    return [shown = -1](int64_t done, int64_t total) mutable {
        int const filled = total == 0 ? kBarWidth : static_cast<int>(done * kBarWidth / total);
        if (filled == shown)
            return;
        shown = filled;
        std::fprintf(stderr, "\rrendering [%.*s%*s] %3d%%", filled, "########################################",
                     kBarWidth - filled, "", static_cast<int>(done * 100 / std::max<int64_t>(total, 1)));
        if (done >= total)
            std::fprintf(stderr, "\n");
        std::fflush(stderr);
    };
}

std::vector<std::string> outputNames(host::LoadedPatch const& loaded) {
    std::vector<std::string> names;
    for (host::PinAddress const& pin : loaded.outputs)
        names.push_back(pin.text());
    return names;
}

float peakOf(std::vector<std::vector<float>> const& channels) {
    float peak = 0.0f;
    for (auto const& channel : channels)
        for (float sample : channel)
            peak = std::fmax(peak, std::fabs(sample));
    return peak;
}

// Warnings always, remarks on request, each on its own line before the render starts.
void reportLoad(host::LoadedPatch const& loaded, bool verbose) {
    for (std::string const& warning : loaded.warnings)
        std::fprintf(stderr, "zrhost: warning: %s\n", warning.c_str());
    if (verbose)
        for (std::string const& remark : loaded.remarks)
            std::fprintf(stderr, "zrhost: %s\n", remark.c_str());
}

} // namespace

Rendered renderToFiles(host::Bundle& bundle, host::ModuleDescriptions const& descriptions, RenderRequest const& request) {
    if (request.plot && std::filesystem::absolute(*request.plot) == std::filesystem::absolute(request.output))
        throw std::runtime_error("the plot and the audio cannot both be " + request.output.string());
    OutputFile wav(request.output);
    std::optional<OutputFile> plot;
    if (request.plot)
        plot.emplace(*request.plot);
    Rendered rendered{host::loadPatchFile(bundle, descriptions, request.patch, request.overrides), {}};
    reportLoad(rendered.loaded, request.verbose);
    rendered.channels = host::renderPatch(rendered.loaded, progressBar());
    int const rate = static_cast<int>(rendered.loaded.sampleRate);
    writeWav(wav.temporaryPath(), rendered.channels, rate);
    if (plot)
        plotWaveforms(plot->temporaryPath(), rendered.channels, outputNames(rendered.loaded), rendered.loaded.sampleRate);
    wav.commit();
    if (plot)
        plot->commit();
    return rendered;
}

int runRender(BundleFiles const& files, RenderRequest const& request) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    Rendered const rendered = renderToFiles(bundle, descriptions, request);
    double const seconds = static_cast<double>(rendered.loaded.totalSamples) / rendered.loaded.sampleRate;
    double const peak = peakOf(rendered.channels);
    std::printf("%.2f s, %zu channel(s) at %.0f Hz, peak %.1f V (%.1f dBFS)\n", seconds, rendered.channels.size(),
                static_cast<double>(rendered.loaded.sampleRate), peak * 10.0, 20.0 * std::log10(std::max(1e-9, peak)));
    std::printf("wrote %s\n", std::filesystem::absolute(request.output).c_str());
    if (request.plot)
        std::printf("wrote %s\n", std::filesystem::absolute(*request.plot).c_str());
    return 0;
}

} // namespace zr::cli
