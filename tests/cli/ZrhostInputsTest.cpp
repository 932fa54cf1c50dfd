// zrhost as a user meets its inputs: what it says about itself, input it refuses, and patches
// changed from the command line, read back independently.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/AudioReadBack.h"
#include "tests/cli/ZrhostProcess.h"

namespace zr::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ZrhostInputs = ZrhostInFolder;

// Bad input to any command: one line on stderr that names what to do, a non-zero exit,
// nothing on stdout, and no file added or changed, an older output of the same name included.
TEST_F(ZrhostInputs, EachBadInputGetsOneLineThatNamesWhatToDo) {
    std::string const goodModules = R"("modules": { "s": { "id": "ZR_Waveshaper2" } }, "outputs": ["s.Out"])";
    fs::create_directories(folder_ / "folder.shp");
    write("kept.blob", "old");
    write("old.wav", "an older file that a failed run must leave alone");
    write("bad.blob", std::string(24, 'x'));
    write("crlf.shp", "(-5,0)(5,0)\r\nITP=10");
    write("p.json", R"({ "duration": 0.01, )" + goodModules + " }");
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
        {"shape convert bad.blob -", "bad.blob: not a shape's blob image: it does not start with the shape magic"},
        {"rendr p.json", "zrhost: 'rendr' is not a subcommand; the subcommands: demo, list, render, play, draw, edit, shape (nearest: render)"},
        {"draw --pin NodeSize=abc -o e.png", "--pin NodeSize=abc: NodeSize takes a whole number"},
        {"draw --pin BorderFactor=1e999 -o e.png", "--pin BorderFactor=1e999: BorderFactor takes a number"},
        {"draw --pin Nodesize=3 -o e.png", "has no pin named 'Nodesize'; nearest: NodeSize"},
        {"draw --pin ITP_Choice=15 -o e.png", "--pin ITP_Choice=15: 15 is not an interpolation mode"},
        {"draw --mode 25 -o e.png", "--mode 25: not an interpolation mode; use 0 (none), 10 (linear), 20 or 30 (splines)"},
        {"draw --editor ZR_ShapeOsc2 -o e.png", "--editor ZR_ShapeOsc2: not a shape editor; the editors: ZR_ShapeEditor5"},
        {"draw --blob bad.blob -o e.png", "bad.blob: not a shape's blob image: it does not start with the shape magic"},
        {"draw --shape-file crlf.shp -o e.png", "crlf.shp: not a shape file: line 1 ends with CR-LF"},
        {"draw --shape '(-5,0)(5,0)(5,1)' -o e.png", "--shape: not a shape text: node 3, character 13: x must increase from node to node"},
        {"draw --width 0 -o e.png", "--width and --height: give each in pixels from 1 to 10000"},
        {"render p.json -o o.wav --set s.Interpolation=15", "p.json: --set s.Interpolation=15: 15 is not an interpolation mode"},
        {"render p.json -o o.wav -r 100", "p.json: -r: expected a whole number of Hz from 8000 to 384000"},
        {"render p.json -o a.ogg", "unknown extension .ogg for audio; name it .wav, .flac, .aif or .aiff"},
        {"render p.json -o noextension", "no extension for audio"},
        {"render p.json -o a.flac --bits 32f", "FLAC holds integers only"},
        {"render p.json -o - --format aiff", "AIFF cannot be written into a stream"},
        {"render p.json -o a.wav --plot a.gif", "unknown extension .gif for the plot; name it .png, .svg or .pdf"},
        {"render p.json -o a.wav --normalize=1", "--normalize takes a peak level at or below 0 dBFS"},
        {"render p.json -o - --plot -", "the audio and the plot cannot both go to standard output"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.arguments + (c.patchText.empty() ? "" : " with " + c.patchText));
        fs::remove(folder_ / "bad.json");
        if (!c.patchText.empty())
            write("bad.json", c.patchText);
        auto const before = everything(folder_);
        Finished const failed = run(c.arguments);
        EXPECT_NE(failed.exitCode, 0);
        EXPECT_THAT(failed.err, HasSubstr(c.expected));
        EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
        EXPECT_EQ(failed.out, "");
        EXPECT_EQ(everything(folder_), before) << "no partial file";
    }
    EXPECT_EQ(contentOf(folder_ / "old.wav"), "an older file that a failed run must leave alone");
    EXPECT_EQ(contentOf(folder_ / "kept.blob"), "old");
}

// The version names the bundle's framework; the older editors draw the shape they are given
// (as text, their mode converted), so two shapes make two pictures.
TEST_F(ZrhostInputs, VersionAndEveryEditorDrawTheirInput) {
    Finished const version = run("--version");
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_THAT(version.out, HasSubstr("zrhost " ZR_VERSION "\nbundle "));
    EXPECT_THAT(version.out, HasSubstr(": framework version "));

    for (char const* editor : {"ZR_ShapeEditor4", "ZR_ShapeEditor4c", "ZR_ShapeEditor5"}) {
        SCOPED_TRACE(editor);
        std::string const draw = std::string("draw --editor ") + editor + " --mode 20 --width 120 --height 60 ";
        ASSERT_EQ(run(draw + "--shape '(-5,-5)(0,4)(5,5)' -o a.png").exitCode, 0);
        ASSERT_EQ(run(draw + "--shape '(-5,5)(0,-4)(5,-5)' -o b.png").exitCode, 0);
        EXPECT_NE(contentOf(folder_ / "a.png"), contentOf(folder_ / "b.png")) << "the shape reaches the editor";
    }
    Finished const colour = run("draw --pin ColorCurve=red -o c.png");
    EXPECT_EQ(colour.exitCode, 0);
    EXPECT_THAT(colour.err, HasSubstr("zrhost: warning: --pin ColorCurve=red: 'red' is not a colour"));
}

// A 44.1 kHz file through an identity waveshaper, rendered at 22.05 kHz for 0.2 s instead of
// the patch's 48 kHz and 1 s: -v says the file was converted, and a warning names a setting
// the module reads as something else.
TEST_F(ZrhostInputs, OverridesAndConversionsShowInTheFileAndOnStderr) {
    std::vector<float> tone(44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.3f * static_cast<float>(std::sin(2.0 * 3.141592653589793 * 441.0 * static_cast<double>(i) / 44100.0));
    ASSERT_TRUE(writeAudio(folder_ / "tone.wav", 44100, 1, tone));
    write("p.json", R"J({ "duration": 1, "sampleRate": 48000,
        "modules": { "s": { "id": "ZR_Waveshaper2" }, "h": { "id": "ZR_ShapeShift2" } },
        "sources": { "s.Input": { "type": "wav", "file": "tone.wav" } }, "outputs": ["s.Out"] })J");

    Finished const render = run("render p.json -o o.wav -v -r 22050 --duration 0.2 --set h.Vertical=3");
    ASSERT_EQ(render.exitCode, 0) << render.err;
    EXPECT_THAT(render.out, HasSubstr("converted from 44100 Hz to the patch's 22050 Hz")) << "a detail of -v";
    EXPECT_THAT(render.err, HasSubstr("zrhost: warning: p.json: --set h.Vertical=3: 3 counts as 1"));
    AudioFile const read = readAudio(folder_ / "o.wav");
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.samplerate, 22050);
    EXPECT_EQ(read.samples.size(), 4410u);
}

} // namespace
} // namespace zr::test
