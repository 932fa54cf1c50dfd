#include "host/cli/AudioFormat.h"

#include <sndfile.h>

#include <stdexcept>

#include "host/cli/StreamPaths.h"

namespace zr::cli {
namespace {

constexpr char kKnownExtensions[] = ".wav, .flac, .aif or .aiff (or give --format wav|flac|aiff)";
constexpr int kMostChannels = 1024; // libsndfile's limit for every format
constexpr int kMostFlacChannels = 8;
constexpr int kHighestFlacRate = 655350;

std::optional<Container> containerNamed(std::string const& name) {
    if (name == "wav")
        return Container::Wav;
    if (name == "flac")
        return Container::Flac;
    if (name == "aif" || name == "aiff")
        return Container::Aiff;
    return std::nullopt;
}

Container containerOf(std::filesystem::path const& output, bool stream) {
    std::string const extension = lowercaseExtension(output);
    if (extension.empty() && stream)
        return Container::Wav;
    if (std::optional<Container> const named = containerNamed(extension.empty() ? "" : extension.substr(1)))
        return *named;
    throw std::invalid_argument(output.string() + ": " +
                                (extension.empty() ? "no extension" : "unknown extension " + extension) +
                                " for audio; name it " + kKnownExtensions);
}

SampleDepth depthNamed(std::string const& name) {
    if (name == "16")
        return SampleDepth::Int16;
    if (name == "24")
        return SampleDepth::Int24;
    if (name == "32f")
        return SampleDepth::Float32;
    throw std::invalid_argument("--bits takes 16, 24 or 32f (32-bit float), not '" + name + "'");
}

} // namespace

AudioFormat chooseAudioFormat(std::filesystem::path const& output, bool stream, std::optional<std::string> const& formatName,
                              std::string const& bitsName) {
    AudioFormat format;
    if (formatName) {
        std::optional<Container> const named = containerNamed(*formatName);
        if (!named)
            throw std::invalid_argument("--format takes wav, flac or aiff, not '" + *formatName + "'");
        format.container = *named;
    } else {
        format.container = containerOf(output, stream);
    }
    format.depth = depthNamed(bitsName);
    if (format.container == Container::Flac && format.depth == SampleDepth::Float32)
        throw std::invalid_argument("FLAC holds integers only: give --bits 16 or 24, or write WAV or AIFF for 32-bit float");
    return format;
}

void checkAudioFormatFits(AudioFormat format, int channels, int sampleRate, bool stream) {
    if (channels > kMostChannels)
        throw std::invalid_argument("an audio file holds at most " + std::to_string(kMostChannels) + " channels and the patch has " +
                                    std::to_string(channels) + " outputs");
    if (format.container == Container::Flac && channels > kMostFlacChannels)
        throw std::invalid_argument("FLAC holds at most " + std::to_string(kMostFlacChannels) + " channels and the patch has " +
                                    std::to_string(channels) + " outputs: write WAV or AIFF");
    if (format.container == Container::Flac && sampleRate > kHighestFlacRate)
        throw std::invalid_argument("FLAC holds sample rates up to " + std::to_string(kHighestFlacRate) + " Hz: write WAV or AIFF");
    if (format.container == Container::Aiff && stream)
        throw std::invalid_argument("AIFF cannot be written into a stream (its header is written last): write WAV or FLAC there");
}

int sndfileDepth(SampleDepth depth) {
    switch (depth) {
    case SampleDepth::Int16:
        return SF_FORMAT_PCM_16;
    case SampleDepth::Int24:
        return SF_FORMAT_PCM_24;
    case SampleDepth::Float32:
        break;
    }
    return SF_FORMAT_FLOAT;
}

int sndfileContainer(Container container) {
    switch (container) {
    case Container::Wav:
        return SF_FORMAT_WAV;
    case Container::Flac:
        return SF_FORMAT_FLAC;
    case Container::Aiff:
        break;
    }
    return SF_FORMAT_AIFF;
}

int bytesPerSample(SampleDepth depth) {
    switch (depth) {
    case SampleDepth::Int16:
        return 2;
    case SampleDepth::Int24:
        return 3;
    case SampleDepth::Float32:
        break;
    }
    return 4;
}

std::string describe(AudioFormat format) {
    char const* const container = format.container == Container::Wav ? "WAV" : format.container == Container::Flac ? "FLAC" : "AIFF";
    char const* const depth = format.depth == SampleDepth::Int16 ? "16-bit" : format.depth == SampleDepth::Int24 ? "24-bit" : "32-bit float";
    return std::string(container) + ", " + depth;
}

} // namespace zr::cli
