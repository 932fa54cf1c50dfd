#include "host/cli/RenderPasses.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/cli/LevelMeter.h"
#include "host/cli/OutputFile.h"
#include "host/cli/StreamPaths.h"
#include "host/cli/TemporaryFile.h"

namespace zr::cli {
namespace {

constexpr int64_t kFramesPerRead = 4096;

void interleave(std::span<float const* const> outputs, int32_t count, float gain, std::vector<float>& frames) {
    size_t const channels = outputs.size();
    frames.resize(static_cast<size_t>(count) * channels);
    for (size_t c = 0; c < channels; ++c)
        for (int32_t i = 0; i < count; ++i)
            frames[static_cast<size_t>(i) * channels + c] = outputs[c][i] * gain;
}

// Reads exactly `bytes` bytes unless the file ends first; gives the bytes read, or -1 with errno.
ssize_t readFully(int descriptor, void* data, size_t bytes) {
    size_t done = 0;
    while (done < bytes) {
        ssize_t const got = ::read(descriptor, static_cast<char*>(data) + done, bytes - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

void replayScaled(TemporaryFile& scratch, OutputFile& output, int64_t totalFrames, size_t channels, float gain,
                  FrameSink const& sink) {
    if (::lseek(scratch.descriptor(), 0, SEEK_SET) != 0)
        output.fail(std::string(std::strerror(errno)) + " (reading back " + scratch.path().string() + ")");
    std::vector<float> frames(static_cast<size_t>(kFramesPerRead) * channels);
    for (int64_t done = 0; done < totalFrames;) {
        int64_t const count = std::min(kFramesPerRead, totalFrames - done);
        size_t const bytes = static_cast<size_t>(count) * channels * sizeof(float);
        if (readFully(scratch.descriptor(), frames.data(), bytes) != static_cast<ssize_t>(bytes))
            output.fail("the temporary float file " + scratch.path().string() + " came back short");
        for (size_t i = 0; i < static_cast<size_t>(count) * channels; ++i)
            frames[i] *= gain;
        sink(frames.data(), count);
        done += count;
    }
}

} // namespace

void renderScaled(host::LoadedPatch& loaded, float gain, FrameSink const& sink, host::RenderProgress const& progress) {
    std::vector<float> frames;
    host::renderPatch(
        loaded,
        [&](std::span<float const* const> outputs, int32_t count) {
            interleave(outputs, count, gain, frames);
            sink(frames.data(), count);
        },
        progress);
}

float renderNormalized(host::LoadedPatch& loaded, double peak, OutputFile& output, FrameSink const& sink,
                       host::RenderProgress const& progress) {
    std::string const name = std::filesystem::path(output.name()).filename().string();
    std::optional<TemporaryFile> scratch;
    try {
        scratch.emplace(output.scratchFolder(), name.empty() || name == "-" ? "zrhost" : name, "float");
    } catch (std::runtime_error const& failure) {
        output.fail(std::string(failure.what()) + " (creating the temporary float file for --normalize in " +
                    output.scratchFolder().string() + ")");
    }
    LevelMeter raw;
    renderScaled(
        loaded, 1.0f,
        [&](float const* interleaved, int64_t frames) {
            size_t const samples = static_cast<size_t>(frames) * loaded.outputs.size();
            raw.add(interleaved, samples);
            if (int const error = writeAll(scratch->descriptor(), interleaved, samples * sizeof(float)); error != 0)
                output.fail(std::string(std::strerror(error)) + " (writing the temporary float file " +
                            scratch->path().string() + " for --normalize)");
        },
        progress);
    float const gain = raw.peak() > 0.0f ? static_cast<float>(peak / raw.peak()) : 1.0f;
    replayScaled(*scratch, output, loaded.totalSamples, loaded.outputs.size(), gain, sink);
    return gain;
}

} // namespace zr::cli
