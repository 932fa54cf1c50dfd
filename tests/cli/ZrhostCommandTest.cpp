// zrhost as a user runs it: the demo, a render, the module list, its files read back independently.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/AudioReadBack.h"
#include "tests/cli/ZrhostProcess.h"

namespace zr::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Zrhost = ZrhostInFolder;

// Width and height from a PNG's header chunk, read without any picture library.
std::array<uint32_t, 2> pngSize(fs::path const& path) {
    std::string const bytes = contentOf(path);
    EXPECT_GE(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    auto bigEndian = [&](size_t at) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i)
            value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
        return value;
    };
    return {bigEndian(16), bigEndian(20)};
}

TEST_F(Zrhost, DemoWritesTheAudioItsWaveformAndItsShape) {
    Finished const demo = run("demo -o " + folder_.string());
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_EQ(demo.err, "") << "quiet when stderr is no terminal";
    for (char const* name : {"shape-demo.wav", "shape-demo.png", "shape-demo-shape.png"})
        EXPECT_THAT(demo.out, HasSubstr((folder_ / name).string())) << "says where " << name << " is";

    AudioFile const wav = readAudio(folder_ / "shape-demo.wav");
    ASSERT_TRUE(wav.opened);
    // The demo patch asks for 3.4 s at 48 kHz of one output.
    EXPECT_EQ(wav.info.samplerate, 48000);
    EXPECT_EQ(wav.info.channels, 1);
    EXPECT_EQ(wav.samples.size(), 163200u);
    float peak = 0.0f;
    for (float sample : wav.samples)
        peak = std::max(peak, std::abs(sample));
    EXPECT_GT(peak, 0.1f) << "the demo is audible";
    EXPECT_LE(peak, 1.0f);

    EXPECT_EQ(pngSize(folder_ / "shape-demo.png"), (std::array<uint32_t, 2>{1000, 400}));
    EXPECT_EQ(pngSize(folder_ / "shape-demo-shape.png"), (std::array<uint32_t, 2>{480, 240}));
}

// A WAV file as a source, through the stereo waveshaper's default curve (the identity over
// -5..+5 V), comes back on the first channel as it went in, sample for sample.
TEST_F(Zrhost, RenderWritesTheChannelsThePatchNamesFromAWavSource) {
    std::vector<float> input(2205);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = 0.4f * static_cast<float>(std::sin(static_cast<double>(i) * 0.05)) * (i % 7 == 0 ? -1.0f : 1.0f);
    ASSERT_TRUE(writeAudio(folder_ / "in.wav", 22050, 1, input));
    fs::path const patch = write("stereo.json", R"({
        "sampleRate": 22050, "blockSize": 37, "duration": 0.1,
        "modules": { "shaper": { "id": "ZR_Waveshaper2ST" } },
        "sources": { "shaper.InputLeft": { "type": "wav", "file": "in.wav" },
                     "shaper.InputRight": { "type": "noise", "amplitude": 2 } },
        "outputs": ["shaper.OutLeft", "shaper.OutRight"] })");
    Finished const render = run("render " + patch.string() + " -o " + (folder_ / "out.wav").string() + " --plot " +
                               (folder_ / "out.png").string());
    ASSERT_EQ(render.exitCode, 0) << render.err;

    AudioFile const read = readAudio(folder_ / "out.wav");
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.samplerate, 22050);
    ASSERT_EQ(read.info.channels, 2);
    ASSERT_EQ(read.samples.size(), 2u * 2205);
    for (size_t i = 0; i < input.size(); ++i)
        ASSERT_NEAR(read.samples[2 * i], input[i], 2e-4f) << "sample " << i; // 16-bit output
    EXPECT_EQ(pngSize(folder_ / "out.png"), (std::array<uint32_t, 2>{1000, 400}));
}

// Every module matches its description, and every control input has a default for a host to
// send when a patch starts. What -v says goes to stderr, so standard output stays JSON.
TEST_F(Zrhost, ListConfirmsEveryModuleAsJson) {
    Finished const list = run("list --json -v");
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.err, "") << "-v said something";
    auto const parsed = nlohmann::json::parse(list.out);
    ASSERT_GT(parsed.at("modules").size(), 10u);
    for (auto const& module : parsed.at("modules")) {
        SCOPED_TRACE(module.at("id").get<std::string>());
        EXPECT_TRUE(module.at("confirmed").get<bool>()) << module.at("mismatches");
        for (auto const& pin : module.at("pins")) {
            for (char const* key : {"index", "name", "kind", "direction", "default", "shapeForm", "unit", "range", "labels", "meaning"})
                ASSERT_TRUE(pin.contains(key)) << key;
            EXPECT_NE(pin.at("meaning"), "") << pin.at("name");
            bool const control = pin.at("kind") != "audio" && pin.at("kind") != "midi";
            EXPECT_FALSE(control && pin.at("direction") == "in" && pin.at("default").is_null()) << pin.at("name");
        }
    }
}

// `list MODULE` shows one module with every field of every pin; the overview and the JSON
// show each shape pin's form, which the datatype alone does not tell (a text pin may carry
// the blob image). Every subcommand explains itself with --help.
TEST_F(Zrhost, ListShowsOneModuleInFullAndEverySubcommandExplainsItself) {
    struct Case {
        std::string arguments;
        bool succeeds;
        std::vector<std::string> inStdout;
        std::string inStderr = {};
    };
    Case const cases[] = {
        {"list ZR_ShapeOsc2", true,
         {"ZR_ShapeOsc2 (sub-type 0)\n", "pin 1: Shape\n  datatype   blob (shape blob image)\n  direction  in\n",
          "pin 5: FrequencyMode\n", "  labels     0 = linear, 1 V = 1 Hz\n             1 = volts per octave, 5 V = 440 Hz\n",
          "  meaning    How Pitch sets the frequency, linearly or in volts per octave;",
          "pin 8: PhaseMod\n  datatype   audio\n  direction  in\n  default    -\n  unit       V\n  range      -10..10\n"}},
        {"list ZR_ShapeEnv3", true, {"pin 3: Duration\n", "  unit       ms\n  range      1..\n"}},
        {"list ZR_ShapeMorpher2", true, {"pin 2: Shape (repeatable)\n"}},
        {"list", true,
         {"   0 Shape                 text (shape blob image) in  -   default \"\"\n",
          "   0 Shape                 text (shape text)       in  -   default \"(-5,-5)(5,5)\"\n",
          "   3 Duration              float                   in  ms  default 500.0\n", "42 modules, 0 mismatch(es)\n"}},
        {"list ZR_ShapeOsc3", false, {}, "unknown module identifier 'ZR_ShapeOsc3'; nearest known: ZR_ShapeOsc2, ZR_ShapeOsc"},
        {"list ZR_ShapeOsc2 --markdown", false, {}, "--markdown"},
        {"demo --help", true, {"Usage"}},
        {"list --help", true, {"Usage"}},
        {"render --help", true, {"Usage"}},
        {"draw --help", true, {"Usage"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.arguments);
        Finished const listed = run(c.arguments);
        EXPECT_EQ(listed.exitCode == 0, c.succeeds) << listed.err;
        for (std::string const& part : c.inStdout)
            EXPECT_THAT(listed.out, HasSubstr(part));
        EXPECT_THAT(listed.err, HasSubstr(c.inStderr));
    }
    auto const shaper = nlohmann::json::parse(run("list ZR_Waveshaper2 --json").out).at("modules").at(0);
    EXPECT_EQ(shaper.at("pins").at(0).at("shapeForm"), "blob image");
    EXPECT_EQ(shaper.at("pins").at(1).at("labels").at("30"), "natural cubic spline");
    EXPECT_EQ(shaper.at("pins").at(2).at("unit"), "V");
}

// docs/modules.md is what `zrhost list --markdown` prints from the descriptions, byte for byte.
TEST_F(Zrhost, ModulesPageIsGeneratedFromTheDescriptions) {
    Finished const page = run("list --markdown");
    ASSERT_EQ(page.exitCode, 0) << page.err;
    EXPECT_TRUE(page.out == contentOf(fs::path(ZR_DOCS_DIR) / "modules.md"))
        << "docs/modules.md is stale: regenerate it with ./build/zrhost list --markdown > docs/modules.md";
}

} // namespace
} // namespace zr::test
