#include "host/cli/RenderCommand.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/cli/AudioWriter.h"
#include "host/cli/Messages.h"
#include "host/cli/OutputFile.h"
#include "host/cli/ProgressBar.h"
#include "host/cli/RenderPasses.h"
#include "host/cli/StreamPaths.h"
#include "host/cli/WaveformEnvelope.h"
#include "host/cli/WaveformPlot.h"

namespace zr::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kLargestPatchText = 64 << 20;

std::vector<std::string> outputNames(host::LoadedPatch const& loaded) {
    std::vector<std::string> names;
    for (host::PinAddress const& pin : loaded.outputs)
        names.push_back(pin.text());
    return names;
}

host::LoadedPatch loadPatch(host::Bundle& bundle, host::ModuleDescriptions const& descriptions, fs::path const& patch,
                           host::PatchOverrides const& overrides) {
    if (!isStandardStream(patch))
        return host::loadPatchFile(bundle, descriptions, patch, overrides);
    std::string const text = readInput(patch, kLargestPatchText);
    return host::loadPatch(bundle, descriptions, text, fs::current_path(), inputName(patch), overrides);
}

void checkRequest(RenderRequest const& request) {
    if (request.normalizeDecibels && *request.normalizeDecibels > 0.0)
        throw std::invalid_argument("--normalize takes a peak level at or below 0 dBFS");
    if (!request.plot)
        return;
    if (isStandardStream(request.output) && isStandardStream(*request.plot))
        throw std::invalid_argument("the audio and the plot cannot both go to standard output");
    std::error_code ignored;
    if (!isStandardStream(request.output) &&
        fs::weakly_canonical(*request.plot, ignored) == fs::weakly_canonical(request.output, ignored))
        throw std::invalid_argument("the plot and the audio cannot both be " + request.output.string());
}

void describeLoaded(host::LoadedPatch const& loaded, std::string const& source) {
    detail("loaded %s: %zu module(s), %zu output(s), %.0f Hz, blocks of %d, %lld frames (%.3f s)", source.c_str(),
           loaded.patch->names().size(), loaded.outputs.size(), static_cast<double>(loaded.sampleRate), loaded.blockSize,
           static_cast<long long>(loaded.totalSamples), static_cast<double>(loaded.totalSamples) / loaded.sampleRate);
}

void describeTarget(OutputFile const& output, std::string const& what) {
    if (output.isStream())
        detail("writing %s into %s as a stream", what.c_str(), output.name().c_str());
    else
        detail("writing %s into %s through a temporary file beside it, renamed when complete", what.c_str(),
               output.replacedFile().c_str());
}

// Renders in one pass with the gain asked for, or in two to normalize; gives the gain applied.
double renderAtRequestedLevel(host::LoadedPatch& loaded, RenderRequest const& request, OutputFile& audio, FrameSink const& sink) {
    host::RenderProgress const progress = progressBar(loaded.sampleRate);
    if (!request.normalizeDecibels) {
        double const gain = gainOfDecibels(request.gainDecibels);
        renderScaled(loaded, static_cast<float>(gain), sink, progress);
        return gain;
    }
    detail("normalizing: a first pass into a temporary 32-bit float file in %s", audio.scratchFolder().c_str());
    return renderNormalized(loaded, gainOfDecibels(*request.normalizeDecibels), audio, sink, progress);
}

void reportLevels(Rendered const& rendered, RenderRequest const& request) {
    if (request.normalizeDecibels)
        report("normalized: gain %+.2f dB", 20.0 * std::log10(rendered.gain));
    else if (request.gainDecibels != 0.0)
        report("gain %+.2f dB", request.gainDecibels);
    float const peak = rendered.levels.peak();
    long long const beyond = rendered.levels.beyondFullScale();
    char const* const fate = beyond == 0 ? "beyond full scale (10 V)"
                             : rendered.format.depth == SampleDepth::Float32
                                 ? "kept beyond full scale by the float format"
                                 : "clipped at full scale (10 V): lower the level with --gain or --normalize";
    report("peak %s (%.2f V); %lld sample(s) %s", decibelsFullScale(peak).c_str(), peak * 10.0, beyond, fate);
}

// Warnings always, remarks with -v, each on its own line before the render starts.
void reportLoad(host::LoadedPatch const& loaded) {
    for (std::string const& warning : loaded.warnings)
        std::fprintf(stderr, "zrhost: warning: %s\n", warning.c_str());
    for (std::string const& remark : loaded.remarks)
        detail("%s", remark.c_str());
}

} // namespace

Rendered renderToFiles(host::Bundle& bundle, host::ModuleDescriptions const& descriptions, RenderRequest const& request) {
    checkRequest(request);
    AudioFormat const format = chooseAudioFormat(request.output, writesIntoStream(request.output), request.format, request.bits);
    PictureFormat const pictureFormat = request.plot ? pictureFormatOf(*request.plot) : PictureFormat::Png;
    if (isStandardStream(request.output) || (request.plot && isStandardStream(*request.plot)))
        keepStdoutForResults();

    OutputFile audio(request.output);
    std::optional<OutputFile> plot;
    if (request.plot)
        plot.emplace(*request.plot);
    Rendered rendered{loadPatch(bundle, descriptions, request.patch, request.overrides), format, {}, 1.0};
    host::LoadedPatch& loaded = rendered.loaded;
    describeLoaded(loaded, inputName(request.patch));
    reportLoad(loaded);
    int const channels = static_cast<int>(loaded.outputs.size());
    int const rate = static_cast<int>(loaded.sampleRate);
    checkAudioFormatFits(format, channels, rate, audio.isStream());

    AudioWriter writer(audio, format, channels, rate, loaded.totalSamples);
    describeTarget(audio, describe(format) + (writer.isRf64() ? " (RF64: beyond the 4 GiB of a WAV)" : ""));
    PlotSize const plotSize = plotSizeFor(channels);
    std::optional<WaveformEnvelope> envelope;
    if (plot)
        envelope.emplace(channels, loaded.totalSamples, plotColumns(plotSize));
    FrameSink const sink = [&](float const* interleaved, int64_t frames) {
        rendered.levels.add(interleaved, static_cast<size_t>(frames * channels));
        if (envelope)
            envelope->add(interleaved, frames);
        writer.write(interleaved, frames);
    };
    rendered.gain = renderAtRequestedLevel(loaded, request, audio, sink);
    writer.finish();
    if (plot) {
        describeTarget(*plot, "the plot");
        plotWaveforms(*plot, pictureFormat, *envelope, outputNames(loaded), loaded.sampleRate, plotSize);
    }
    audio.commit();
    if (plot)
        plot->commit();
    return rendered;
}

int runRender(BundleFiles const& files, RenderRequest const& request) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    Rendered const rendered = renderToFiles(bundle, descriptions, request);
    host::LoadedPatch const& loaded = rendered.loaded;
    report("%.2f s, %zu channel(s) at %.0f Hz, %s", static_cast<double>(loaded.totalSamples) / loaded.sampleRate,
           loaded.outputs.size(), static_cast<double>(loaded.sampleRate), describe(rendered.format).c_str());
    reportLevels(rendered, request);
    report("wrote %s", isStandardStream(request.output) ? "standard output" : fs::absolute(request.output).c_str());
    if (request.plot)
        report("wrote %s", isStandardStream(*request.plot) ? "standard output" : fs::absolute(*request.plot).c_str());
    return 0;
}

} // namespace zr::cli
