// zrhost as a user runs it, its files read back independently; bad input leaves no file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testing/TemporaryFolder.h"
#include "tests/cli/ZrhostProcess.h"

namespace {

namespace fs = std::filesystem;
using zr::test::contentOf;
using zr::test::Finished;
using ::testing::HasSubstr;

class Zrhost : public zr::test::ZrhostInFolder {
protected:
    Zrhost() : ZrhostInFolder("zrhost-test-") {}

    // The path of `name` in the folder, written with `text` when one is given.
    fs::path file(std::string const& name, std::string const& text = "") const {
        return text.empty() ? folder_ / name : temporary_.write(name, text);
    }

    // Everything left in the folder: what a failed run must not add to.
    std::vector<std::string> contents() const {
        std::vector<std::string> names;
        for (auto const& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

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

    SF_INFO info{};
    SNDFILE* wav = sf_open((folder_ / "shape-demo.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    // The demo patch asks for 3.4 s at 48 kHz of one output.
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.frames, 163200);
    std::vector<float> samples(static_cast<size_t>(info.frames));
    sf_readf_float(wav, samples.data(), info.frames);
    sf_close(wav);
    float peak = 0.0f;
    for (float sample : samples)
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
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* written = sf_open(file("in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(written, nullptr);
    sf_writef_float(written, input.data(), static_cast<sf_count_t>(input.size()));
    sf_close(written);
    fs::path const patch = file("stereo.json", R"({
        "sampleRate": 22050, "blockSize": 37, "duration": 0.1,
        "modules": { "shaper": { "id": "ZR_Waveshaper2ST" } },
        "sources": { "shaper.InputLeft": { "type": "wav", "file": "in.wav" },
                     "shaper.InputRight": { "type": "noise", "amplitude": 2 } },
        "outputs": ["shaper.OutLeft", "shaper.OutRight"] })");
    Finished const render = run("render " + patch.string() + " -o " + file("out.wav").string() + " --plot " +
                               file("out.png").string());
    ASSERT_EQ(render.exitCode, 0) << render.err;

    SF_INFO readInfo{};
    SNDFILE* read = sf_open(file("out.wav").c_str(), SFM_READ, &readInfo);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(readInfo.samplerate, 22050);
    ASSERT_EQ(readInfo.channels, 2);
    ASSERT_EQ(readInfo.frames, 2205);
    std::vector<float> output(2 * 2205);
    sf_readf_float(read, output.data(), readInfo.frames);
    sf_close(read);
    for (size_t i = 0; i < input.size(); ++i)
        ASSERT_NEAR(output[2 * i], input[i], 2e-4f) << "sample " << i; // 16-bit output
    EXPECT_EQ(pngSize(file("out.png")), (std::array<uint32_t, 2>{1000, 400}));
}

// Bad input to any command: one line on stderr, a non-zero exit, and no file added or
// changed, an older output of the same name included.
TEST_F(Zrhost, BadInputEndsWithOneMessageAndNoFile) {
    std::string const goodModules = R"("modules": { "s": { "id": "ZR_Waveshaper2" } }, "outputs": ["s.Out"])";
    fs::create_directories(folder_ / "folder.shp");
    file("kept.blob", "old");
    file("old.wav", "an older file that a failed run must leave alone");
    auto const render = [&](std::string const& output) {
        return "render bad.json -o " + (folder_ / output).string() + " --plot new.png";
    };
    struct Case {
        std::string arguments;
        std::string expected;
        std::string patchText = {}; // written as bad.json when given
    };
    Case const cases[] = {
        {render("new.wav"), "bad.json:3:1: malformed JSON", "{ \"duration\": 1,\n  " + goodModules + ",\n}"},
        {render("new.wav"), "cannot read patch file"},
        {render("no-such-folder/new.wav"), "cannot write " + (folder_ / "no-such-folder/new.wav").string(),
         "{ \"duration\": 1, " + goodModules + " }"},
        {render("old.wav"), "duration: expected", R"({ "duration": -1, )" + goodModules + " }"},
        {"shape convert '(-5,0)(5,0)' /dev/full --to shp", "could not write /dev/full"},
        {"shape convert '(-5,0)(5,0)' /dev/full --to blob", "could not write"},
        {"shape convert '(-5,0)(5,0)' folder.shp", "cannot write folder.shp: it is a folder"},
        {"shape convert '(-5,0)(4,0)' kept.blob", "not a shape text"},
        {"shape convert folder.shp kept.blob", "cannot read"},
        {"shape convert missing.blob kept.blob", "cannot read"},
        {"shape convert '(-5,0)(5,0)' x.shp --mode 25", "--mode must be"},
        {"shape convert '(-5,0)(5,0)' kept.blob --mode 10", "--mode needs a .shp target"},
        {"shape convert '(-5,0)(5,0)' x.wav", "name the target"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.arguments + (c.patchText.empty() ? "" : " with " + c.patchText));
        fs::remove(folder_ / "bad.json");
        if (!c.patchText.empty())
            file("bad.json", c.patchText);
        auto const before = contents();
        Finished const failed = run(c.arguments);
        EXPECT_NE(failed.exitCode, 0);
        EXPECT_THAT(failed.err, HasSubstr(c.expected));
        EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
        EXPECT_EQ(contents(), before) << "no partial file";
    }
    EXPECT_EQ(contentOf(file("old.wav")), "an older file that a failed run must leave alone");
    EXPECT_EQ(contentOf(file("kept.blob")), "old");
}

TEST_F(Zrhost, ShapeConvertTurnsEachFormIntoEachOther) {
    ASSERT_EQ(run("shape convert '(-5,-5)(0,3)(5,5)' bend.shp --mode 20").exitCode, 0);
    EXPECT_EQ(contentOf(file("bend.shp")), "(-5,-5)(0,3)(5,5)\nITP=20");

    ASSERT_EQ(run("shape convert bend.shp bend.blob").exitCode, 0);
    // Magic, node count, then the nodes as float pairs in 0..1 and -1..+1.
    uint32_t const header[2] = {0x53484150, 3};
    float const nodes[6] = {0.0f, -1.0f, 0.5f, 0.6f, 1.0f, 1.0f};
    std::string image(sizeof header + sizeof nodes, '\0');
    std::memcpy(image.data(), header, sizeof header);
    std::memcpy(image.data() + sizeof header, nodes, sizeof nodes);
    EXPECT_EQ(contentOf(file("bend.blob")), image);

    ASSERT_EQ(run("shape convert bend.blob bend.txt").exitCode, 0);
    EXPECT_EQ(contentOf(file("bend.txt")), "(-5,-5)(0,3)(5,5)\n");
    ASSERT_EQ(run("shape convert bend.txt again.shp").exitCode, 0);
    EXPECT_EQ(contentOf(file("again.shp")), "(-5,-5)(0,3)(5,5)\nITP=10") << "text carries no mode";
    Finished const printed = run("shape convert bend.shp -");
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.out, "(-5,-5)(0,3)(5,5)\n");
}

// Every module matches its description, and every control input has a default for a host to
// send when a patch starts.
TEST_F(Zrhost, ListConfirmsEveryModuleAsJsonAndEverySubcommandExplainsItself) {
    Finished const list = run("list --json");
    ASSERT_EQ(list.exitCode, 0) << list.err;
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
    for (char const* command : {"demo", "list", "render", "draw"}) {
        Finished const help = run(std::string(command) + " --help");
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_THAT(help.out, HasSubstr("Usage")) << command;
    }
}

// `list MODULE` shows one module with every field of every pin; the overview and the JSON
// show each shape pin's form, which the datatype alone does not tell (a text pin may carry
// the blob image).
TEST_F(Zrhost, ListShowsOneModuleInFullAndEveryShapePinsForm) {
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
