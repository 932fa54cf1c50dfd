// Malformed patch and module description files: one message naming the file and the place.
// What a patch gives its pins is taken as the module reads it or refused: shapes in a form the
// pin does not take are converted exactly or refused, settings outside what the module reads
// are refused or warned about, each with the place and the range.

#include <gmock/gmock.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "host/DescriptionCheck.h"
#include "host/ModuleDescriptions.h"
#include "host/patch/PatchFile.h"
#include "host/patch/PatchRender.h"
#include "tests/modules/BundleFixture.h"
#include "testing/TemporaryFolder.h"

namespace zr::host {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// A patch with one waveshaper fed by a sine; `extra` is spliced in as more top-level keys,
// `modules` replaces the modules object when given.
std::string patchWith(std::string const& extra, std::string const& modules = "") {
    std::string const defaultModules = R"({ "shaper": { "id": "ZR_Waveshaper2" } })";
    return R"({ "duration": 0.01, "outputs": ["shaper.Out"], "modules": )" +
           (modules.empty() ? defaultModules : modules) + (extra.empty() ? "" : ", " + extra) + " }";
}

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

// Bad modules, pins, values, wires, sources, changes and outputs, and each bad shape input with
// the rule it breaks.
TEST(PatchFileErrors, EachBadPatchGetsOneMessageNamingThePlace) {
    zr::test::TemporaryFolder const folder("zr-bad-patches");
    folder.write("junk.blob", std::string(24, 'x'));
    folder.write("crlf.shp", "(-5,0)(5,0)\r\nITP=10");
    folder.write("mode.shp", "(-5,0)(5,0)\nITP=12");
    std::string const in = folder.path().string() + "/";
    std::string const twoShifters =
        R"({ "a": { "id": "ZR_ShapeShift2" }, "b": { "id": "ZR_ShapeShift2" }, "shaper": { "id": "ZR_Waveshaper2" } })";
    std::tuple<char const*, std::string, std::string> const cases[] = { // name, patch, message part
        {"unknown identifier with the nearest names", patchWith("", R"({ "shaper": { "id": "ZR_Waveshapr2" } })"),
         "modules.shaper.id: unknown module identifier 'ZR_Waveshapr2'; nearest known: ZR_Waveshaper2"},
        {"unknown pin name", patchWith("", R"({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "Rnage": 1 } } })"),
         "modules.shaper.pins.Rnage: ZR_Waveshaper2 'shaper' has no pin named 'Rnage'; its pins: Shape,"},
        {"value of the wrong kind",
         patchWith("", R"({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "RangeLow": "low" } } })"),
         "modules.shaper.pins.RangeLow: "},
        {"connection between kinds", patchWith(R"("connections": [{ "from": "a.ShapeOut", "to": "shaper.RangeLow" }])", twoShifters),
         "connections[0]: a.ShapeOut -> shaper.RangeLow: the kinds differ (blob output, float input)"},
        {"connection into an output", patchWith(R"("connections": [{ "from": "a.ShapeOut", "to": "b.ShapeOut" }])", twoShifters),
         "connections[0]: a.ShapeOut -> b.ShapeOut: b.ShapeOut is an output"},
        {"connection from an input", patchWith(R"("connections": [{ "from": "a.Shape", "to": "b.Shape" }])", twoShifters),
         "connections[0]: a.Shape -> b.Shape: a.Shape is an input"},
        {"cycle", patchWith(R"("connections": [{ "from": "a.ShapeOut", "to": "b.Shape" }, { "from": "b.ShapeOut", "to": "a.Shape" }])", twoShifters),
         "connections: the connections form a cycle: a -> b -> a"},
        {"missing blob file", patchWith("", R"({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "Shape": { "blobFile": "curve.blob" } } } })"),
         "modules.shaper.pins.Shape.blobFile: cannot read " + in + "curve.blob"},
        {"missing shape file", patchWith("", R"({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "Shape": { "shapeFile": "curve.shp" } } } })"),
         "modules.shaper.pins.Shape.shapeFile: cannot read " + in + "curve.shp"},
        {"missing audio file", patchWith(R"("sources": { "shaper.Input": { "type": "wav", "file": "in.wav" } })"),
         "sources.shaper.Input.file: cannot read audio file " + in + "in.wav"},
        {"shape text that is no shape",
         patchWith("", R"({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "Shape": { "shape": "(1,2" } } } })"),
         "modules.shaper.pins.Shape.shape: not a shape text"},
        {"misspelt top-level key", patchWith(R"("conections": [])"), "conections: unknown key"},
        {"no duration", R"({ "modules": { "s": { "id": "ZR_Waveshaper2" } }, "outputs": ["s.Out"] })",
         "patch.json: 'duration' is missing"},
        {"unknown source type", patchWith(R"("sources": { "shaper.Input": { "type": "square" } })"),
         "sources.shaper.Input.type: unknown source type 'square'"},
        {"source on a wired input",
         patchWith(R"("connections": [{ "from": "o.Out", "to": "shaper.Input" }], "sources": { "shaper.Input": 1 })",
                   R"({ "o": { "id": "ZR_ShapeOsc2" }, "shaper": { "id": "ZR_Waveshaper2" } })"),
         "sources.shaper.Input: 'shaper.Input' is fed by a connection already"},
        {"change of an unknown module", patchWith(R"("changes": [{ "at": 0.1, "set": "env.Gate", "to": false }])"),
         "changes[0].set: the patch has no module named 'env'; its modules: shaper"},
        {"change of an output", patchWith(R"("changes": [{ "at": 0.1, "set": "shaper.Out", "to": 1 }])"),
         "changes[0].to: 'shaper.Out' is an output"},
        {"output that is an input", R"({ "duration": 1, "modules": { "s": { "id": "ZR_Waveshaper2" } }, "outputs": ["s.Input"] })",
         "outputs[0]: 's.Input' is not an audio output"},
        {"no outputs", R"({ "duration": 1, "modules": { "s": { "id": "ZR_Waveshaper2" } } })", "outputs: name at least one"},
        {"block size too large", patchWith(R"("blockSize": 100000)"), "blockSize: expected a whole number"},
        // Shapes in text form, given plainly or as { "shape": ... }.
        {"shape text with a node out of range", patchOf(R"J("s": { "id": "ZR_Waveshaper2", "pins": { "Shape": "(-5,0)(0,7)(5,0)" } })J"),
         "patch.json: modules.s.pins.Shape: not a shape text: node 2, character 10: y = 7 is outside -5..5"},
        {"shape text unclosed", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shape": "(-5,0)(5,0" } } })J"),
         "modules.o.pins.Shape.shape: not a shape text: node 2, character 7: no ')' closes the node"},
        {"shape text with x going back", patchOf(R"J("e": { "id": "ZR_ShapeEnv", "pins": { "Shape": "(-5,0)(1,0)(0,0)(5,0)" } })J"),
         "modules.e.pins.Shape: not a shape text: node 3, character 13: x must increase"},
        // Blob images: hexadecimal digits, byte lists and files, all checked as shape convert checks them.
        {"image of 4 bytes in digits", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": "50414853" } })J"),
         "modules.o.pins.Shape: not a shape's blob image: 4 bytes cannot be a shape"},
        {"image of 3 bytes in a list", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": [1, 2, 3] } })J"),
         "3 bytes cannot be a shape"},
        {"image file without the magic", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "blobFile": "junk.blob" } } })J"),
         "modules.o.pins.Shape.blobFile: not a shape's blob image: it does not start with the shape magic 50 41 48 53"},
        // Shape files.
        {"shape file with CR-LF", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shapeFile": "crlf.shp" } } })J"),
         "modules.o.pins.Shape.shapeFile: not a shape file: line 1 ends with CR-LF"},
        {"shape file with an unknown mode", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shapeFile": "mode.shp" } } })J"),
         "not a shape file: line 2: ITP=12 is not an interpolation mode"},
        {"missing shape file beside others", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": { "shapeFile": "missing.shp" } } })J"),
         "modules.o.pins.Shape.shapeFile: cannot read " + in + "missing.shp: no such file"},
        // Shapes where no shape goes, and no shape where one goes.
        {"shape on a gate", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Gate": { "shape": "(-5,0)(5,0)" } } })J"),
         "modules.o.pins.Gate: 'o.Gate' takes no shape; its shape inputs: Shape (a blob image)"},
        {"number on a shape pin", patchOf(R"J("s": { "id": "ZR_Waveshaper2", "pins": { "Shape": 3 } })J"),
         "'s.Shape' takes a shape: a text such as"},
        // Wires between the forms pass bytes as they are, so they are refused.
        {"text output into an image input",
         patchOf(R"J("a": { "id": "ZR_ShapeAmp" }, "s": { "id": "ZR_Waveshaper2" })J", R"J("connections": [{ "from": "a.ShapeOut", "to": "s.Shape" }])J"),
         "connections[0]: a.ShapeOut -> s.Shape: a.ShapeOut sends a shape text and s.Shape takes a blob image"},
        {"image output into a text input",
         patchOf(R"J("a": { "id": "ZR_ShapeAmp2" }, "e": { "id": "ZR_ShapeEnv" })J", R"J("connections": [{ "from": "a.ShapeOut", "to": "e.Shape" }])J"),
         "connections[0]: a.ShapeOut -> e.Shape: a.ShapeOut sends a blob image and e.Shape takes a shape text"},
        // Settings outside what the module reads.
        {"no such interpolation mode", patchOf(R"J("s": { "id": "ZR_Waveshaper2", "pins": { "Interpolation": 15 } })J"),
         "modules.s.pins.Interpolation: 15 is not an interpolation mode; the module ignores it. Use 0 (none), 10 (linear), 20 or 30 (splines)"},
        {"no such mode in a change",
         patchOf(R"J("s": { "id": "ZR_Waveshaper2" })J", R"J("changes": [{ "at": 0, "set": "s.Interpolation", "to": 25 }])J"),
         "changes[0].to: 25 is not an interpolation mode"},
        {"oversampling above its range", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Oversampling": 9 } })J"),
         "modules.o.pins.Oversampling: 9 is outside the oversampling range 0..8"},
        {"oversampling below its range", patchOf(R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Oversampling": -1 } })J"),
         "-1 is outside the oversampling range 0..8"},
        {"no mode of the older envelope", patchOf(R"J("e": { "id": "ZR_ShapeEnv2", "pins": { "Interpolation": 4 } })J"),
         "4 is not a mode of this older module; it takes 0 (linear), 1 (spline), 2 (Lagrange) or 3 (none)"},
    };
    for (auto const& [name, patch, expected] : cases) {
        SCOPED_TRACE(name);
        std::string const message = load(patch, folder.path()).error;
        EXPECT_THAT(message, StartsWith("patch.json"));
        EXPECT_THAT(message, HasSubstr(expected));
        EXPECT_EQ(message.find('\n'), std::string::npos) << "one line";
    }
}

TEST(PatchFileErrors, AGoodPatchLoads) {
    // The same skeleton with good values loads: the messages above come from the faults put in.
    EXPECT_EQ(load(patchWith(R"("sources": { "shaper.Input": { "type": "sine", "frequency": 100 } })",
                             R"J({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "RangeLow": -4, "Shape": { "shape": "(-5,5)(5,-5)" } } } })J")).error,
              "");
}

std::string withPin(std::string const& pin) {
    return R"({ "modules": [ { "id": "ZR_A", "subType": 0, "pins": [ )" + pin + " ] } ] }";
}

TEST(ModuleDescriptions, MalformedFilesSayWhatAndWhere) {
    std::string const goodPin = R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in" })";
    // Name, the file, the parts of its message.
    std::vector<std::tuple<char const*, std::string, std::vector<char const*>>> const cases = {
        {"not JSON", R"({ "modules": [ )", {"not valid JSON"}},
        {"no modules", R"({ "module": [] })", {"unknown key 'module'"}},
        {"module without id", R"({ "modules": [ { "subType": 0, "pins": [] } ] })", {"module 0", "'id' is missing"}},
        {"negative sub-type", R"({ "modules": [ { "id": "ZR_A", "subType": -1, "pins": [] } ] })",
         {"ZR_A", "'subType'"}},
        {"misspelt key", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "defualt": 1 })"),
         {"ZR_A", "pin entry 0", "unknown key 'defualt'"}},
        {"unknown datatype", withPin(R"({ "index": 0, "name": "In", "datatype": "flaot", "direction": "in" })"),
         {"pin entry 0", "datatype 'flaot'"}},
        {"string default on a float", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "default": "1" })"),
         {"default does not fit", "float pin needs a number"}},
        {"int default beyond 32 bits", withPin(R"({ "index": 0, "name": "In", "datatype": "enum", "direction": "in", "default": 4294967296 })"),
         {"within 32 bits"}},
        {"float default beyond single precision", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "default": 1e39 })"),
         {"within single precision"}},
        {"byte out of range in a blob default", withPin(R"({ "index": 0, "name": "In", "datatype": "blob", "direction": "in", "default": [1, 256] })"),
         {"byte values 0..255"}},
        {"gap in indices", withPin(goodPin + R"(, { "index": 2, "name": "X", "datatype": "int", "direction": "in" })"),
         {"ZR_A", "found 2 in place of 1"}},
        {"name twice", withPin(goodPin + R"(, { "index": 1, "name": "In", "datatype": "int", "direction": "in" })"),
         {"two pins are named 'In'"}},
        {"repeatable before the last pin",
         withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "repeatable": true },
                    { "index": 1, "name": "X", "datatype": "int", "direction": "in" })"),
         {"ZR_A", "pin 'In' is repeatable but not the last pin"}},
        {"a pin named like a copy",
         withPin(R"({ "index": 0, "name": "In 3", "datatype": "int", "direction": "in" },
                    { "index": 1, "name": "In", "datatype": "float", "direction": "in", "repeatable": true })"),
         {"pin 'In 3' has the name of a copy of repeatable pin 'In'"}},
        {"range that is no object", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "range": 5 })"),
         {"pin entry 0", "'range' must be an object"}},
        {"misspelt range end", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "range": { "mni": 0 } })"),
         {"pin entry 0, range", "unknown key 'mni'"}},
        {"range end as text", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "range": { "min": "0" } })"),
         {"range 'min' must be a finite number"}},
        {"empty range", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "range": {} })"),
         {"'range' needs \"min\", \"max\" or both"}},
        {"label key that is no number", withPin(R"({ "index": 0, "name": "In", "datatype": "int", "direction": "in", "labels": { "one": "a" } })"),
         {"label key 'one' must be an integer"}},
        {"label key beyond 32 bits", withPin(R"({ "index": 0, "name": "In", "datatype": "int", "direction": "in", "labels": { "4294967296": "a" } })"),
         {"label key '4294967296'"}},
        {"one value labelled twice", withPin(R"({ "index": 0, "name": "In", "datatype": "int", "direction": "in", "labels": { "1": "a", "01": "b" } })"),
         {"two labels name the value 1"}},
        {"empty label", withPin(R"({ "index": 0, "name": "In", "datatype": "int", "direction": "in", "labels": { "0": "" } })"),
         {"label 0 must be a non-empty string"}},
        {"empty meaning", withPin(R"({ "index": 0, "name": "In", "datatype": "int", "direction": "in", "meaning": "" })"),
         {"'meaning' must be a non-empty string"}},
        {"unknown shape form", withPin(R"({ "index": 0, "name": "In", "datatype": "blob", "direction": "in", "shapeForm": "blob" })"),
         {"shapeForm 'blob' is not \"text\" or \"image\""}},
        {"module twice", R"({ "modules": [ { "id": "ZR_A", "subType": 0, "pins": [] },
                                           { "id": "ZR_A", "subType": 2, "pins": [] } ] })",
         {"module 1", "'ZR_A' is described twice"}},
    };
    for (auto const& [name, json, messageParts] : cases) {
        SCOPED_TRACE(name);
        try {
            ModuleDescriptions::parse(json, "test.json");
            ADD_FAILURE() << "accepted";
        } catch (std::runtime_error const& e) {
            std::string const message = e.what();
            EXPECT_THAT(message, StartsWith("test.json: "));
            for (char const* part : messageParts)
                EXPECT_THAT(message, HasSubstr(part));
        }
    }
}

// Fields that parse but contradict the pin they describe: reported by the description check
// as it reports a module that disagrees with its description, one line each.
TEST(DescriptionCheck, PinFieldsThatContradictTheirPinAreReported) {
    std::string const meaning = R"("meaning": "What it does.")";
    // Name, the pin's JSON after its index and name, the expected line (empty: none).
    std::tuple<char const*, std::string, std::string> const cases[] = {
        {"a complete int pin", R"("datatype": "int", "direction": "in", "default": 10, "range": { "min": 0, "max": 30 },
                                  "labels": { "0": "none", "30": "all" }, )" + meaning, ""},
        {"an audio pin with one open end", R"("datatype": "audio", "direction": "in", "unit": "V", "range": { "min": 0 }, )" + meaning, ""},
        {"an image on a text pin", R"("datatype": "text", "direction": "in", "default": "", "shapeForm": "image", )" + meaning, ""},
        {"an image on a blob pin", R"("datatype": "blob", "direction": "out", "shapeForm": "image", )" + meaning, ""},
        {"no meaning", R"("datatype": "float", "direction": "in", "default": 0)", "pin 0 'P' (float in) has no meaning"},
        {"min above max", R"("datatype": "float", "direction": "in", "range": { "min": 5, "max": 1 }, )" + meaning,
         "range whose min 5 is above its max 1"},
        {"default below the range", R"("datatype": "enum", "direction": "in", "default": -1, "range": { "min": 0 }, )" + meaning,
         "has the default -1, outside its range 0.."},
        {"default above the range", R"("datatype": "float", "direction": "in", "default": 500.5, "range": { "max": 100 }, )" + meaning,
         "has the default 500.5, outside its range ..100"},
        {"labelled value outside the range",
         R"("datatype": "int", "direction": "in", "default": 0, "range": { "min": 0, "max": 8 }, "labels": { "9": "x" }, )" + meaning,
         "labels the value 9 ('x'), outside its range 0..8"},
        {"range on a bool", R"("datatype": "bool", "direction": "in", "default": false, "range": { "max": 1 }, )" + meaning,
         "pin 0 'P' (bool in) has a range, but only int, float, enum and audio pins take one"},
        {"labels on a float", R"("datatype": "float", "direction": "in", "default": 0, "labels": { "0": "off" }, )" + meaning,
         "pin 0 'P' (float in) has labels, but only int and enum pins take them"},
        {"shape text on a blob pin", R"("datatype": "blob", "direction": "in", "default": "", "shapeForm": "text", )" + meaning,
         "carries a shape as text, which its datatype cannot"},
        {"shape image on a float pin", R"("datatype": "float", "direction": "in", "default": 0, "shapeForm": "image", )" + meaning,
         "carries a shape as an image, which its datatype cannot"},
    };
    for (auto const& [name, fields, expected] : cases) {
        SCOPED_TRACE(name);
        ModuleDescriptions const parsed = ModuleDescriptions::parse(withPin(R"({ "index": 0, "name": "P", )" + fields + " }"));
        std::vector<std::string> const problems = checkPinFields(parsed.all().front());
        if (expected.empty()) {
            EXPECT_THAT(problems, ::testing::IsEmpty());
            continue;
        }
        ASSERT_EQ(problems.size(), 1u) << ::testing::PrintToString(problems);
        EXPECT_THAT(problems.front(), StartsWith("ZR_A: pin 0 'P'"));
        EXPECT_THAT(problems.front(), HasSubstr(expected));
    }
}

// The ramp (0,-1)(1,1) as a blob image in hexadecimal digits.
constexpr char kRampHex[] = "5041485302000000000000000000" "80bf0000803f0000803f";

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

TEST(PatchValueChecks, SettingsOutsideWhatTheModuleReadsAreWarnedAbout) {
    std::string const triangle = R"J("Shape": "(-5,0)(0,5)(5,0)")J";
    // The module, its setting and the one warning (empty: none); refused settings are rows of
    // PatchFileErrors.EachBadPatchGetsOneMessageNamingThePlace.
    std::pair<std::string, std::string> const cases[] = {
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "FrequencyMode": 2 } })J",
         "modules.o.pins.FrequencyMode: 2 counts as 1; this pin takes 0 linear (1 V = 1 Hz), 1 volts per octave (5 V = 440 Hz)"},
        {R"J("e": { "id": "ZR_ShapeEnv3", "pins": { "SustainNode": 2, )J" + triangle + " } }",
         "modules.e.pins.SustainNode: node 2 cannot hold the sustain: the shape has 3 nodes, and the sustain node is one of 0..1"},
        {R"J("n": { "id": "ZR_ShapeNodeModif2", "pins": { )J" + triangle + R"J(, "NodeIndex": 5 } })J",
         "modules.n.pins.NodeIndex: node 5 lies past the shape's 3 nodes (0..2); the module picks no node"},
        {R"J("n": { "id": "ZR_ShapeNodeModif2", "pins": { "NodeIndex": -4 } })J", "-4 picks no node, as -1 does"},
        {R"J("n": { "id": "ZR_ShapeNodeModif2", "pins": { "NodeIndex": 120 } })J", "120 lies past the nodes of any shape (at most 100"},
        {R"J("l": { "id": "ZR_Waveshaper", "pins": { "Interpolation": 5 } })J", "5 counts as 2 in this older module"},
        {R"J("h": { "id": "ZR_ShapeShift2", "pins": { "Vertical": 3 } })J", "3 counts as 1; this pin takes 0 horizontal, 1 vertical"},
        // Within range: no warning.
        {R"J("e": { "id": "ZR_ShapeEnv3", "pins": { "SustainNode": 1, "Interpolation": 30, )J" + triangle + " } }", ""},
        {R"J("o": { "id": "ZR_ShapeOsc2", "pins": { "Oversampling": 8, "FrequencyMode": 0 } })J", ""},
    };
    for (auto const& [modules, warned] : cases) {
        SCOPED_TRACE(modules);
        Loaded const loaded = load(patchOf(modules));
        EXPECT_EQ(loaded.error, "");
        if (warned.empty()) {
            EXPECT_THAT(loaded.warnings, ::testing::IsEmpty());
        } else {
            ASSERT_EQ(loaded.warnings.size(), 1u);
            EXPECT_THAT(loaded.warnings[0], ::testing::StartsWith("patch.json: "));
            EXPECT_THAT(loaded.warnings[0], HasSubstr(warned));
        }
    }
}

} // namespace
} // namespace zr::host
