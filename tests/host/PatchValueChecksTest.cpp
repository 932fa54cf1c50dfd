// What a patch gives its pins is taken as the module reads it or refused: shapes in a form the
// pin does not take are converted exactly or refused, settings outside what the module reads
// are refused or warned about, each with the place and the range.

#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "host/patch/PatchFile.h"
#include "host/patch/PatchRender.h"
#include "tests/modules/BundleFixture.h"
#include "testing/TemporaryFolder.h"

namespace zr::host {
namespace {

using ::testing::HasSubstr;

// `modules` (JSON object members) beside a waveshaper "w" whose output is the file's channel.
std::string patchOf(std::string const& modules, std::string const& extra = "") {
    return R"J({ "duration": 0.01, "outputs": ["w.Out"], "modules": { "w": { "id": "ZR_Waveshaper2" })J" +
           (modules.empty() ? "" : ", " + modules) + " }" + (extra.empty() ? "" : ", " + extra) + " }";
}

struct Loaded {
    std::string error;                 // empty when it loaded
    std::vector<std::string> warnings;
};

Loaded load(std::string const& text, std::filesystem::path const& folder = "/nonexistent-folder") {
    try {
        LoadedPatch const loaded = loadPatch(zr::test::bundle(), zr::test::descriptions(), text, folder, "patch.json");
        return {"", loaded.warnings};
    } catch (PatchError const& error) {
        return {error.what(), {}};
    }
}

// The ramp (0,-1)(1,1) as a blob image in hexadecimal digits.
constexpr char kRampHex[] = "5041485302000000000000000000" "80bf0000803f0000803f";

TEST(PatchValueChecks, EachBadShapeInputIsRefusedWithTheRuleAndThePlace) {
    zr::test::TemporaryFolder const folder("zr-bad-shapes");
    folder.write("junk.blob", std::string(24, 'x'));
    folder.write("crlf.shp", "(-5,0)(5,0)\r\nITP=10");
    folder.write("mode.shp", "(-5,0)(5,0)\nITP=12");
    struct Case {
        std::string modules;
        std::string message;
        std::string extra = {};
    };
    Case const cases[] = {
        // Text form, given plainly or as { "shape": ... }.
        {R"J("s": { "id": "ZR_Waveshaper2", "pins": { "Shape": "(-5,0)(0,7)(5,0)" } })J",
         "patch.json: modules.s.pins.Shape: not a shape text: node 2, character 10: y = 7 is outside -5..5"},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shape": "(-5,0)(5,0" } } })J",
         "modules.o.pins.Shape.shape: not a shape text: node 2, character 7: no ')' closes the node"},
        {R"J("e": { "id": "ZR_ShapeEnv", "pins": { "Shape": "(-5,0)(1,0)(0,0)(5,0)" } })J",
         "modules.e.pins.Shape: not a shape text: node 3, character 13: x must increase"},
        // Blob images: hexadecimal digits, byte lists and files, all checked as shape convert checks them.
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": "50414853" } })J",
         "modules.o.pins.Shape: not a shape's blob image: 4 bytes cannot be a shape"},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": [1, 2, 3] } })J", "3 bytes cannot be a shape"},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "blobFile": "junk.blob" } } })J",
         "modules.o.pins.Shape.blobFile: not a shape's blob image: it does not start with the shape magic 50 41 48 53"},
        // Shape files.
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shapeFile": "crlf.shp" } } })J",
         "modules.o.pins.Shape.shapeFile: not a shape file: line 1 ends with CR-LF"},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shapeFile": "mode.shp" } } })J",
         "not a shape file: line 2: ITP=12 is not an interpolation mode"},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shapeFile": "missing.shp" } } })J",
         "modules.o.pins.Shape.shapeFile: cannot read " + (folder.path() / "missing.shp").string() + ": no such file"},
        // Shapes where no shape goes, and no shape where one goes.
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Gate": { "shape": "(-5,0)(5,0)" } } })J",
         "modules.o.pins.Gate: 'o.Gate' takes no shape; its shape inputs: Shape (a blob image)"},
        {R"J("s": { "id": "ZR_Waveshaper2", "pins": { "Shape": 3 } })J", "'s.Shape' takes a shape: a text such as"},
        // Wires between the forms pass bytes as they are, so they are refused.
        {R"J("a": { "id": "ZR_ShapeAmp" }, "s": { "id": "ZR_Waveshaper2" })J",
         "connections[0]: a.ShapeOut -> s.Shape: a.ShapeOut sends a shape text and s.Shape takes a blob image",
         R"J("connections": [{ "from": "a.ShapeOut", "to": "s.Shape" }])J"},
        {R"J("a": { "id": "ZR_ShapeAmp2" }, "e": { "id": "ZR_ShapeEnv" })J",
         "connections[0]: a.ShapeOut -> e.Shape: a.ShapeOut sends a blob image and e.Shape takes a shape text",
         R"J("connections": [{ "from": "a.ShapeOut", "to": "e.Shape" }])J"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.modules);
        Loaded const loaded = load(patchOf(c.modules, c.extra), folder.path());
        EXPECT_THAT(loaded.error, HasSubstr(c.message));
    }
}

// A shape in the other form reaches the pin converted: the waveshapers' text pin carries the
// image, the older waveshaper's text pin the text. An inverting curve turns 2 V into -2 V.
TEST(PatchValueChecks, ShapesInTheOtherFormArriveConverted) {
    std::string const inverter = R"J({ "shape": "(-5,5)(5,-5)" })J";
    std::string const inverterHex = "504148530200000000000000" "0000803f" "0000803f" "000080bf";
    struct Case {
        std::string id;
        std::string shape;
        std::string output;
    };
    Case const cases[] = {
        {"ZR_Waveshaper2", "\"(-5,5)(5,-5)\"", "Out"},      // plain text on the image-carrying text pin
        {"ZR_Waveshaper2", inverter, "Out"},                // { "shape" } likewise
        {"ZR_Waveshaper", "\"" + inverterHex + "\"", "Out1"}, // an image on the older module's text pin
        {"ZR_Waveshaper", inverter, "Out1"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.id + " " + c.shape);
        std::string const input = c.output == "Out" ? "Input" : "Input1";
        std::string const patch = "{ \"duration\": 0.005, \"modules\": { \"s\": { \"id\": \"" + c.id +
                                  "\", \"pins\": { \"Shape\": " + c.shape + ", \"" + input + "\": 2 } } }, " +
                                  "\"outputs\": [\"s." + c.output + "\"] }";
        LoadedPatch loaded = loadPatch(zr::test::bundle(), zr::test::descriptions(), patch, ".", "patch.json");
        std::vector<float> const out = renderPatch(loaded).at(0);
        EXPECT_NEAR(out.back(), -0.2f, 2e-3f);
    }
    std::string const osc = "\"o\": { \"id\": \"ZR_ShapeOsc2\", \"pins\": { \"Shape\": \"" + std::string(kRampHex) + "\" } }";
    EXPECT_EQ(load(patchOf(osc)).error, "")
        << "a valid image in hexadecimal digits";
}

// Every text pin of the bundle carries a shape in a known form, except file names, tool tips,
// colours and choice lists: a text shape pin missing from the table would get no conversion.
TEST(PatchValueChecks, EveryTextPinThatCarriesAShapeHasAForm) {
    for (ModuleDescription const& module : zr::test::descriptions().all()) {
        for (PinDescription const& pin : module.pins) {
            if (pin.datatype != gmpi::MP_STRING)
                continue;
            SCOPED_TRACE(module.idText() + "." + pin.name);
            bool const carriesNoShape = pin.name.starts_with("FName") || pin.name.starts_with("Color") ||
                                        pin.name == "ToolTip" || pin.name == "ChoiceList";
            EXPECT_EQ(pin.shapeForm == ShapeForm::none, carriesNoShape);
        }
    }
}

TEST(PatchValueChecks, SettingsOutsideWhatTheModuleReadsAreRefusedOrWarnedAbout) {
    std::string const triangle = R"J("Shape": "(-5,0)(0,5)(5,0)")J";
    struct Case {
        std::string modules;
        std::string refused; // the error, or empty
        std::string warned;  // the one warning, or empty
        std::string extra = {};
    };
    Case const cases[] = {
        {R"J("s": { "id": "ZR_Waveshaper2", "pins": { "Interpolation": 15 } })J",
         "modules.s.pins.Interpolation: 15 is not an interpolation mode; the module ignores it. Use 0 (none), 10 (linear), 20 or 30 (splines)", ""},
        {R"J("s": { "id": "ZR_Waveshaper2" })J", "changes[0].to: 25 is not an interpolation mode", "",
         R"J("changes": [{ "at": 0, "set": "s.Interpolation", "to": 25 }])J"},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Oversampling": 9 } })J",
         "modules.o.pins.Oversampling: 9 is outside the oversampling range 0..8", ""},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Oversampling": -1 } })J", "-1 is outside the oversampling range 0..8", ""},
        {R"J("e": { "id": "ZR_ShapeEnv2", "pins": { "Interpolation": 4 } })J",
         "4 is not a mode of this older module; it takes 0 (linear), 1 (spline), 2 (Lagrange) or 3 (none)", ""},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "FrequencyMode": 2 } })J", "",
         "modules.o.pins.FrequencyMode: 2 counts as 1; this pin takes 0 linear (1 V = 1 Hz), 1 volts per octave (5 V = 440 Hz)"},
        {R"J("e": { "id": "ZR_ShapeEnv3", "pins": { "SustainNode": 2, )J" + triangle + " } }", "",
         "modules.e.pins.SustainNode: node 2 cannot hold the sustain: the shape has 3 nodes, and the sustain node is one of 0..1"},
        {R"J("n": { "id": "ZR_ShapeNodeModif2", "pins": { )J" + triangle + R"J(, "NodeIndex": 5 } })J", "",
         "modules.n.pins.NodeIndex: node 5 lies past the shape's 3 nodes (0..2); the module picks no node"},
        {R"J("n": { "id": "ZR_ShapeNodeModif2", "pins": { "NodeIndex": -4 } })J", "", "-4 picks no node, as -1 does"},
        {R"J("n": { "id": "ZR_ShapeNodeModif2", "pins": { "NodeIndex": 120 } })J", "", "120 lies past the nodes of any shape (at most 100"},
        {R"J("l": { "id": "ZR_Waveshaper", "pins": { "Interpolation": 5 } })J", "", "5 counts as 2 in this older module"},
        {R"J("h": { "id": "ZR_ShapeShift2", "pins": { "Vertical": 3 } })J", "", "3 counts as 1; this pin takes 0 horizontal, 1 vertical"},
        // Within range: neither.
        {R"J("e": { "id": "ZR_ShapeEnv3", "pins": { "SustainNode": 1, "Interpolation": 30, )J" + triangle + " } }", "", ""},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Oversampling": 8, "FrequencyMode": 0 } })J", "", ""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.modules + c.extra);
        Loaded const loaded = load(patchOf(c.modules, c.extra));
        if (!c.refused.empty()) {
            EXPECT_THAT(loaded.error, HasSubstr(c.refused));
            continue;
        }
        EXPECT_EQ(loaded.error, "");
        if (c.warned.empty()) {
            EXPECT_THAT(loaded.warnings, ::testing::IsEmpty());
        } else {
            ASSERT_EQ(loaded.warnings.size(), 1u);
            EXPECT_THAT(loaded.warnings[0], ::testing::StartsWith("patch.json: "));
            EXPECT_THAT(loaded.warnings[0], HasSubstr(c.warned));
        }
    }
}

} // namespace
} // namespace zr::host
