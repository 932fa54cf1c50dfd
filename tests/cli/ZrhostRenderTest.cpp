// zrhost render's audio: the streamed file against the patch rendered in memory, the formats
// and depths read back with libsndfile, and the level report, gain and normalizing against
// values computed here from the unscaled samples.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

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

class ZrhostRender : public ::testing::Test {
protected:
    Finished render(std::vector<std::string> arguments, std::string const& input = "") const {
        arguments.insert(arguments.begin(), "render");
        return runZrhost({arguments, folder_, input});
    }

    TemporaryFolder temporary_{"zrhost-render-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
    fs::path const& folder_ = temporary_.path();
};

// Block by block into a file or a stream, sample for sample what the in-memory render gives.
TEST_F(ZrhostRender, StreamedFilesHoldExactlyTheInMemoryRender) {
    std::pair<int, int> const sizes[] = {{1, 301}, {64, 4801}, {37, 4000}, {4096, 12289}};
    for (auto const& [blockSize, frames] : sizes) {
        SCOPED_TRACE("block " + std::to_string(blockSize) + ", frames " + std::to_string(frames));
        std::string const patch = patchOf(blockSize, frames);
        temporary_.write("patch.json", patch);
        std::vector<float> const expected = renderedInMemory(patch);
        ASSERT_EQ(expected.size(), 2u * static_cast<size_t>(frames));

        Finished const toFile = render({"patch.json", "-o", "file.wav", "--bits", "32f", "--plot", "file.png"});
        ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
        EXPECT_EQ(readAudio(folder_ / "file.wav").samples, expected);
        Finished const toStream = render({"-", "-o", "-", "--bits", "32f"}, patch);
        ASSERT_EQ(toStream.exitCode, 0) << toStream.err;
        temporary_.write("stream.wav", toStream.out);
        EXPECT_EQ(readAudio(folder_ / "stream.wav").samples, expected);
    }
}

// Every format and depth, read back: the container and depth asked for, and the samples of
// the float render within the depth's step.
TEST_F(ZrhostRender, FormatsAndDepthsComeFromTheExtensionOrTheFlags) {
    temporary_.write("patch.json", patchOf(64, 999));
    ASSERT_EQ(render({"patch.json", "-o", "float.wav", "--bits", "32f"}).exitCode, 0);
    std::vector<float> const exact = readAudio(folder_ / "float.wav").samples;
    struct Row {
        std::vector<std::string> arguments;
        std::string file; // read back; "-" for standard output
        int format;
        double step;
    };
    Row const rows[] = {
        {{"-o", "a.wav"}, "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0 / 32768},
        {{"-o", "a.WAV", "--bits", "24"}, "a.WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {{"-o", "a.flac"}, "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0 / 32768},
        {{"-o", "b.flac", "--bits", "24"}, "b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {{"-o", "a.aiff", "--bits", "24"}, "a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {{"-o", "a.aif", "--bits", "32f"}, "a.aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 0.0},
        {{"-o", "x.audio", "--format", "FLAC"}, "x.audio", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0 / 32768},
        {{"-o", "-", "--bits", "24"}, "-", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {{"-o", "-", "--format", "flac", "--bits", "24"}, "-", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.0 / 8388608},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        std::vector<std::string> arguments{"patch.json"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        Finished const run = render(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        fs::path const file = row.file == "-" ? temporary_.write("stdout.audio", run.out) : folder_ / row.file;
        AudioFile const written = readAudio(file);
        ASSERT_TRUE(written.opened);
        EXPECT_EQ(written.info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), row.format);
        EXPECT_EQ(written.info.samplerate, 8000);
        ASSERT_EQ(written.samples.size(), exact.size());
        for (size_t i = 0; i < exact.size(); ++i)
            ASSERT_NEAR(written.samples[i], exact[i], row.step) << "sample " << i;
    }
}

TEST_F(ZrhostRender, FormatsItCannotWriteAreRefusedWithTheKnownOnes) {
    temporary_.write("patch.json", patchOf(64, 999));
    std::pair<std::vector<std::string>, std::string> const refusals[] = {
        {{"-o", "a.ogg"}, "unknown extension .ogg for audio; name it .wav, .flac, .aif or .aiff"},
        {{"-o", "noextension"}, "no extension for audio"},
        {{"-o", "a.flac", "--bits", "32f"}, "FLAC holds integers only"},
        {{"-o", "-", "--format", "aiff"}, "AIFF cannot be written into a stream"},
        {{"-o", "a.wav", "--plot", "a.gif"}, "unknown extension .gif for the plot; name it .png, .svg or .pdf"},
        {{"-o", "a.wav", "--normalize=1"}, "--normalize takes a peak level at or below 0 dBFS"},
        {{"-o", "-", "--plot", "-"}, "the audio and the plot cannot both go to standard output"},
    };
    for (auto const& [flags, message] : refusals) {
        SCOPED_TRACE(message);
        std::vector<std::string> arguments{"patch.json"};
        arguments.insert(arguments.end(), flags.begin(), flags.end());
        Finished const run = render(arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_THAT(run.err, HasSubstr(message));
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(fs::directory_iterator(folder_)->path().filename(), "patch.json") << "no file left";
}

// Pictures by their extension, recognised by their first bytes.
TEST_F(ZrhostRender, ThePlotTakesItsFormatFromItsExtension) {
    temporary_.write("patch.json", patchOf(64, 999));
    std::pair<char const*, char const*> const pictures[] = {{"w.png", "\x89PNG"}, {"w.svg", "<?xml"}, {"w.PDF", "%PDF"}};
    for (auto const& [name, magic] : pictures) {
        ASSERT_EQ(render({"patch.json", "-o", "w.wav", "--plot", name}).exitCode, 0) << name;
        EXPECT_EQ(contentOf(folder_ / name).substr(0, std::string(magic).size()), magic) << name;
    }
}

// The report's numbers, the gain and the normalized peak, checked against the samples of the
// unscaled float render.
TEST_F(ZrhostRender, LevelReportGainAndNormalizeMatchTheSamples) {
    temporary_.write("patch.json", patchOf(64, 4001));
    ASSERT_EQ(render({"patch.json", "-o", "raw.wav", "--bits", "32f"}).exitCode, 0);
    std::vector<float> const raw = readAudio(folder_ / "raw.wav").samples;
    double rawPeak = 0.0;
    for (float sample : raw)
        rawPeak = std::max(rawPeak, std::fabs(static_cast<double>(sample)));
    ASSERT_GT(rawPeak, 0.3);

    struct Row {
        std::vector<std::string> flags;
        double gain; // of the written samples over the raw ones
    };
    Row const rows[] = {
        {{"--gain", "-6"}, std::pow(10.0, -6.0 / 20.0)},
        {{"--gain=9.5"}, std::pow(10.0, 9.5 / 20.0)},
        {{"--normalize"}, std::pow(10.0, -0.1 / 20.0) / rawPeak},
        {{"--normalize=-12"}, std::pow(10.0, -12.0 / 20.0) / rawPeak},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.flags));
        for (char const* bits : {"32f", "16"}) {
            std::vector<std::string> arguments{"patch.json", "-o", "scaled.wav", "--bits", bits};
            arguments.insert(arguments.end(), row.flags.begin(), row.flags.end());
            Finished const run = render(arguments);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            std::vector<float> const written = readAudio(folder_ / "scaled.wav").samples;
            ASSERT_EQ(written.size(), raw.size());
            long long beyond = 0;
            double peak = 0.0;
            bool const integers = bits == std::string("16");
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
    temporary_.write("patch.json", patchOf(64, 999));
    struct Row {
        std::vector<std::string> arguments;
        std::string verboseSays;
    };
    Row const rows[] = {
        {{"render", "patch.json", "-o", "a.wav", "--plot", "a.svg"}, "a.wav through a temporary file beside it"},
        {{"demo", "-o", "demo", "--patch", "patch.json"}, "loaded patch.json: 2 module(s), 2 output(s), 8000 Hz"},
        {{"draw", "--shape", "(-5,0)(5,0)", "-o", "a.png"}, "bundle "},
        {{"shape", "convert", "(-5,0)(5,0)", "a.shp"}, "wrote a.shp"},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        std::vector<std::string> quiet = row.arguments;
        quiet.push_back("-q");
        Finished const silent = runZrhost({quiet, folder_});
        EXPECT_EQ(silent.exitCode, 0) << silent.err;
        EXPECT_EQ(silent.out + silent.err, "");
        std::vector<std::string> verbose = row.arguments;
        verbose.push_back("-v");
        Finished const talkative = runZrhost({verbose, folder_});
        EXPECT_EQ(talkative.exitCode, 0) << talkative.err;
        EXPECT_THAT(talkative.out, HasSubstr(row.verboseSays));
    }
}

// With a result on standard output, what -v says goes to stderr and the result stays whole.
TEST_F(ZrhostRender, VerboseMessagesKeepOffAResultOnStandardOutput) {
    temporary_.write("patch.json", patchOf(64, 999));
    std::pair<std::vector<std::string>, std::function<void(std::string const&)>> const rows[] = {
        {{"list", "--json", "-v"}, [](std::string const& out) { EXPECT_TRUE(nlohmann::json::accept(out)); }},
        {{"render", "patch.json", "-o", "-", "-v"}, [](std::string const& out) { EXPECT_EQ(out.substr(0, 4), "RIFF"); }},
        {{"shape", "convert", "(-5,0)(5,0)", "-", "-v"}, [](std::string const& out) { EXPECT_EQ(out, "(-5,0)(5,0)\n"); }},
    };
    for (auto const& [arguments, check] : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        Finished const run = runZrhost({arguments, folder_});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err, "") << "it said something";
        check(run.out);
    }
}

// On a terminal the render shows its progress: share done, time elapsed, speed, time left.
TEST_F(ZrhostRender, ProgressShowsOnATerminalOnly) {
    temporary_.write("patch.json", patchOf(64, 80000));
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
