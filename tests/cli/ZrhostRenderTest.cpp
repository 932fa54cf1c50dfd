// zrhost render's audio: the streamed file in every format and depth, read back with
// libsndfile, against the patch rendered in memory, and the level report, gain and normalizing against
// values computed here from the unscaled samples.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "host/patch/PatchFile.h"
#include "host/patch/PatchRender.h"
#include "testing/BuiltBundle.h"
#include "tests/cli/AudioReadBack.h"
#include "tests/cli/ZrhostProcess.h"

namespace zr::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Two outputs with sources, streaming changes and a timed change; `frames` at 8 kHz.
std::string patchOf(int blockSize, int frames) {
    char text[1024];
    std::snprintf(text, sizeof text, R"({ "sampleRate": 8000, "blockSize": %d, "duration": %.17g,
        "modules": { "osc": { "id": "ZR_ShapeOsc2" }, "shaper": { "id": "ZR_Waveshaper2" } },
        "sources": { "osc.Pitch": { "type": "ramp", "from": 2, "to": 7, "seconds": 0.4 },
                     "shaper.Input": { "type": "sine", "frequency": 51, "amplitude": 5 } },
        "changes": [ { "at": 0.0123, "set": "shaper.RangeLow", "to": -3 },
                     { "at": 0.0301, "set": "osc.Pitch", "to": 4.5 } ],
        "outputs": ["osc.Out", "shaper.Out"] })",
                  blockSize, frames / 8000.0);
    return text;
}

std::vector<float> renderedInMemory(std::string const& patch) {
    host::LoadedPatch loaded = host::loadPatch(built::bundle(), built::descriptions(), patch, ".", "patch.json");
    std::vector<std::vector<float>> const channels = host::renderPatch(loaded);
    std::vector<float> interleaved;
    for (size_t i = 0; i < channels.front().size(); ++i)
        for (auto const& channel : channels)
            interleaved.push_back(channel[i]);
    return interleaved;
}

class ZrhostRender : public ZrhostInFolder {
protected:
    Finished render(std::string const& arguments, std::string const& input = "") const { return run("render " + arguments, input); }
};

// Block by block into a file or a stream, in every format and depth, read back: the container
// and depth asked for, and the samples of the in-memory render, exactly in floats and within
// the depth's step in integers.
TEST_F(ZrhostRender, StreamedFilesHoldTheInMemoryRenderInEveryFormat) {
    struct Row {
        std::string arguments;
        std::string file; // read back; "-" for standard output
        int format;
        double step;
    };
    Row const rows[] = {
        {"patch.json -o file.wav --bits 32f --plot file.png", "file.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.0},
        {"- -o - --bits 32f", "-", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.0}, // the patch from standard input
        {"patch.json -o a.wav", "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0 / 32768},
        {"patch.json -o a.WAV --bits 24", "a.WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {"patch.json -o a.flac", "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0 / 32768},
        {"patch.json -o b.flac --bits 24", "b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {"patch.json -o a.aiff --bits 24", "a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {"patch.json -o a.aif --bits 32f", "a.aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 0.0},
        {"patch.json -o x.audio --format FLAC", "x.audio", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0 / 32768},
        {"patch.json -o - --bits 24", "-", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {"patch.json -o - --format flac --bits 24", "-", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.0 / 8388608},
    };
    std::pair<int, int> const sizes[] = {{1, 301}, {64, 4801}, {37, 4000}, {4096, 12289}, {64, 999}};
    for (auto const& [blockSize, frames] : sizes) {
        std::string const patch = patchOf(blockSize, frames);
        write("patch.json", patch);
        std::vector<float> const expected = renderedInMemory(patch);
        ASSERT_EQ(expected.size(), 2u * static_cast<size_t>(frames));
        for (Row const& row : rows) {
            SCOPED_TRACE("block " + std::to_string(blockSize) + ", frames " + std::to_string(frames) + ": " + row.arguments);
            Finished const rendered = render(row.arguments, patch);
            ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
            AudioFile const written = readAudio(row.file == "-" ? write("stdout.audio", rendered.out) : folder_ / row.file);
            ASSERT_TRUE(written.opened);
            EXPECT_EQ(written.info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), row.format);
            EXPECT_EQ(written.info.samplerate, 8000);
            ASSERT_EQ(written.samples.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i)
                ASSERT_NEAR(written.samples[i], expected[i], row.step) << "sample " << i;
        }
    }
}

// The report's numbers, the gain and the normalized peak, checked against the samples of the
// unscaled float render.
TEST_F(ZrhostRender, LevelReportGainAndNormalizeMatchTheSamples) {
    write("patch.json", patchOf(64, 4001));
    ASSERT_EQ(render("patch.json -o raw.wav --bits 32f").exitCode, 0);
    std::vector<float> const raw = readAudio(folder_ / "raw.wav").samples;
    double rawPeak = 0.0;
    for (float sample : raw)
        rawPeak = std::max(rawPeak, std::fabs(static_cast<double>(sample)));
    ASSERT_GT(rawPeak, 0.3);

    struct Row {
        std::string flags;
        double gain; // of the written samples over the raw ones
    };
    Row const rows[] = {
        {"--gain -6", std::pow(10.0, -6.0 / 20.0)},
        {"--gain=9.5", std::pow(10.0, 9.5 / 20.0)},
        {"--normalize", std::pow(10.0, -0.1 / 20.0) / rawPeak},
        {"--normalize=-12", std::pow(10.0, -12.0 / 20.0) / rawPeak},
    };
    for (Row const& row : rows) {
        for (std::string const bits : {"32f", "16"}) {
            SCOPED_TRACE(row.flags + " --bits " + bits);
            Finished const run = render("patch.json -o scaled.wav --bits " + bits + " " + row.flags);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            std::vector<float> const written = readAudio(folder_ / "scaled.wav").samples;
            ASSERT_EQ(written.size(), raw.size());
            long long beyond = 0;
            double peak = 0.0;
            bool const integers = bits == "16";
            double const step = integers ? 1.0 / 32768 : 0.0;
            for (size_t i = 0; i < raw.size(); ++i) {
                double const scaled = raw[i] * row.gain;
                beyond += std::fabs(scaled) > 1.0;
                peak = std::max(peak, std::fabs(scaled));
                double const kept = integers ? std::clamp(scaled, -1.0, 1.0) : scaled;
                ASSERT_NEAR(written[i], kept, step + 1e-6 * std::fabs(scaled)) << "sample " << i;
            }
            char report[128];
            std::snprintf(report, sizeof report, "peak %+.1f dBFS (%.2f V); %lld sample(s)", 20.0 * std::log10(peak),
                          peak * 10.0, beyond);
            EXPECT_THAT(run.out, HasSubstr(report));
            EXPECT_THAT(run.out, HasSubstr(beyond == 0 ? "beyond full scale (10 V)"
                                           : integers ? "clipped at full scale"
                                                      : "kept beyond full scale by the float format"));
        }
    }
}

// -q leaves nothing but errors, -v says what is loaded and written, on every subcommand.
TEST_F(ZrhostRender, QuietAndVerboseOnEverySubcommand) {
    write("patch.json", patchOf(64, 999));
    struct Row {
        std::string arguments;
        std::string verboseSays;
    };
    Row const rows[] = {
        {"render patch.json -o a.wav --plot a.svg", "a.wav through a temporary file beside it"},
        {"demo -o demo --patch patch.json", "loaded patch.json: 2 module(s), 2 output(s), 8000 Hz"},
        {"draw --shape (-5,0)(5,0) -o a.png", "bundle "},
        {"shape convert (-5,0)(5,0) a.shp", "wrote a.shp"},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.arguments);
        Finished const silent = run(row.arguments + " -q");
        EXPECT_EQ(silent.exitCode, 0) << silent.err;
        EXPECT_EQ(silent.out + silent.err, "");
        Finished const talkative = run(row.arguments + " -v");
        EXPECT_EQ(talkative.exitCode, 0) << talkative.err;
        EXPECT_THAT(talkative.out, HasSubstr(row.verboseSays));
    }
}

// On a terminal the render shows its progress: share done, time elapsed, speed, time left.
TEST_F(ZrhostRender, ProgressShowsOnATerminalOnly) {
    write("patch.json", patchOf(64, 80000));
    for (char const* flag : {"-v", "-q"}) {
        SCOPED_TRACE(flag);
        Launch launch{{"render", "patch.json", "-o", "a.wav", flag}, folder_};
        launch.errorsOnTerminal = true;
        Finished const run = runZrhost(launch);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        if (flag == std::string("-q")) {
            EXPECT_EQ(run.err, "");
            continue;
        }
        for (char const* part : {"rendering [", "100%", " elapsed ", "x real time", " left"})
            EXPECT_THAT(run.err, HasSubstr(part));
    }
}

} // namespace
} // namespace zr::test
