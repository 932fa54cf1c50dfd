// Malformed patch and module description files: one message naming the file and the place.

#include <gmock/gmock.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "host/DescriptionCheck.h"
#include "host/ModuleDescriptions.h"
#include "host/patch/PatchFile.h"
#include "tests/modules/BundleFixture.h"

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

std::string loadError(std::string const& text) {
    try {
        loadPatch(zr::test::bundle(), zr::test::descriptions(), text, "/nonexistent-folder", "patch.json");
    } catch (PatchError const& error) {
        return error.what();
    }
    return "(loaded without an error)";
}

TEST(PatchFileErrors, EachBadPatchGetsOneMessageNamingThePlace) {
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
         "modules.shaper.pins.Shape.blobFile: cannot read /nonexistent-folder/curve.blob"},
        {"missing shape file", patchWith("", R"({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "Shape": { "shapeFile": "curve.shp" } } } })"),
         "modules.shaper.pins.Shape.shapeFile: cannot read /nonexistent-folder/curve.shp"},
        {"missing audio file", patchWith(R"("sources": { "shaper.Input": { "type": "wav", "file": "in.wav" } })"),
         "sources.shaper.Input.file: cannot read audio file /nonexistent-folder/in.wav"},
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
    };
    for (auto const& [name, patch, expected] : cases) {
        SCOPED_TRACE(name);
        std::string const message = loadError(patch);
        EXPECT_THAT(message, StartsWith("patch.json"));
        EXPECT_THAT(message, HasSubstr(expected));
        EXPECT_EQ(message.find('\n'), std::string::npos) << "one line";
    }
}

TEST(PatchFileErrors, AGoodPatchLoads) {
    // The same skeleton with good values loads: the messages above come from the faults put in.
    EXPECT_EQ(loadError(patchWith(R"("sources": { "shaper.Input": { "type": "sine", "frequency": 100 } })",
                                  R"J({ "shaper": { "id": "ZR_Waveshaper2", "pins": { "RangeLow": -4, "Shape": { "shape": "(-5,5)(5,-5)" } } } })J")),
              "(loaded without an error)");
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

} // namespace
} // namespace zr::host
