// Reading the module descriptions file: what a malformed file says.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "host/ModuleDescriptions.h"

namespace zr::host {
namespace {

std::string withPin(std::string const& pin) {
    return R"({ "modules": [ { "id": "ZR_A", "subType": 0, "pins": [ )" + pin + " ] } ] }";
}

TEST(ModuleDescriptions, MalformedFilesSayWhatAndWhere) {
    struct Case {
        char const* name;
        std::string json;
        std::vector<char const*> messageParts;
    };
    std::string const goodPin = R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in" })";
    std::vector<Case> const cases = {
        {"not JSON", R"({ "modules": [ )", {"not valid JSON"}},
        {"no modules", R"({ "module": [] })", {"unknown key 'module'"}},
        {"modules not an array", R"({ "modules": {} })", {"'modules' must be an array"}},
        {"module without id", R"({ "modules": [ { "subType": 0, "pins": [] } ] })", {"module 0", "'id' is missing"}},
        {"negative sub-type", R"({ "modules": [ { "id": "ZR_A", "subType": -1, "pins": [] } ] })",
         {"ZR_A", "'subType'"}},
        {"misspelt key", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "defualt": 1 })"),
         {"ZR_A", "pin entry 0", "unknown key 'defualt'"}},
        {"unknown datatype", withPin(R"({ "index": 0, "name": "In", "datatype": "flaot", "direction": "in" })"),
         {"pin entry 0", "datatype 'flaot'"}},
        {"unknown direction", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "input" })"),
         {"direction 'input'"}},
        {"string default on a float", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "default": "1" })"),
         {"default does not fit", "float pin needs a number"}},
        {"fraction default on an int", withPin(R"({ "index": 0, "name": "In", "datatype": "int", "direction": "in", "default": 2.5 })"),
         {"int pin needs an integer"}},
        {"int default beyond 32 bits", withPin(R"({ "index": 0, "name": "In", "datatype": "enum", "direction": "in", "default": 4294967296 })"),
         {"within 32 bits"}},
        {"number default on a bool", withPin(R"({ "index": 0, "name": "In", "datatype": "bool", "direction": "in", "default": 1 })"),
         {"true or false"}},
        {"float default beyond single precision", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "default": 1e39 })"),
         {"within single precision"}},
        {"odd hex digits in a blob default", withPin(R"({ "index": 0, "name": "In", "datatype": "blob", "direction": "in", "default": "504" })"),
         {"even number of hexadecimal digits"}},
        {"byte out of range in a blob default", withPin(R"({ "index": 0, "name": "In", "datatype": "blob", "direction": "in", "default": [1, 256] })"),
         {"byte values 0..255"}},
        {"default on an audio pin", withPin(R"({ "index": 0, "name": "In", "datatype": "audio", "direction": "in", "default": 0 })"),
         {"audio pins have no default"}},
        {"gap in indices", withPin(goodPin + R"(, { "index": 2, "name": "X", "datatype": "int", "direction": "in" })"),
         {"ZR_A", "found 2 in place of 1"}},
        {"index twice", withPin(goodPin + R"(, { "index": 0, "name": "X", "datatype": "int", "direction": "in" })"),
         {"found 0 in place of 1"}},
        {"name twice", withPin(goodPin + R"(, { "index": 1, "name": "In", "datatype": "int", "direction": "in" })"),
         {"two pins are named 'In'"}},
        {"repeatable not a bool", withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "default": 0, "repeatable": 1 })"),
         {"pin entry 0", "'repeatable' must be true or false"}},
        {"repeatable output", withPin(R"({ "index": 0, "name": "Out", "datatype": "blob", "direction": "out", "repeatable": true })"),
         {"only an input pin can be repeatable"}},
        {"repeatable before the last pin",
         withPin(R"({ "index": 0, "name": "In", "datatype": "float", "direction": "in", "repeatable": true },
                    { "index": 1, "name": "X", "datatype": "int", "direction": "in" })"),
         {"ZR_A", "pin 'In' is repeatable but not the last pin"}},
        {"a pin named like a copy",
         withPin(R"({ "index": 0, "name": "In 3", "datatype": "int", "direction": "in" },
                    { "index": 1, "name": "In", "datatype": "float", "direction": "in", "repeatable": true })"),
         {"pin 'In 3' has the name of a copy of repeatable pin 'In'"}},
        {"module twice", R"({ "modules": [ { "id": "ZR_A", "subType": 0, "pins": [] },
                                           { "id": "ZR_A", "subType": 2, "pins": [] } ] })",
         {"module 1", "'ZR_A' is described twice"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ModuleDescriptions::parse(c.json, "test.json");
            ADD_FAILURE() << "accepted";
        } catch (std::runtime_error const& e) {
            std::string const message = e.what();
            EXPECT_EQ(message.rfind("test.json: ", 0), 0u) << message;
            for (char const* part : c.messageParts)
                EXPECT_NE(message.find(part), std::string::npos) << "missing '" << part << "' in: " << message;
        }
    }
}

// A host adds copies of the last pin: indices continue one by one, names count from 2.
TEST(ModuleDescriptions, RepeatablePinGivesInstancesWithMoreCopies) {
    ModuleDescriptions const parsed = ModuleDescriptions::parse(withPin(
        R"({ "index": 0, "name": "Out", "datatype": "blob", "direction": "out" },
           { "index": 1, "name": "Mix", "datatype": "float", "direction": "in", "default": 0.5 },
           { "index": 2, "name": "Shape", "datatype": "blob", "direction": "in", "default": "", "repeatable": true })"));
    ModuleDescription const& module = parsed.all().at(0);
    ASSERT_NE(module.repeatablePin(), nullptr);
    EXPECT_EQ(module.repeatablePin()->name, "Shape");
    EXPECT_FALSE(module.pin(1).repeatable);

    struct Case {
        int32_t copies;
        std::vector<std::string> names; // of the pins from index 2 on
    };
    for (Case const& c : {Case{0, {}}, Case{1, {"Shape"}}, Case{3, {"Shape", "Shape 2", "Shape 3"}}}) {
        SCOPED_TRACE(c.copies);
        ModuleDescription const instance = module.withRepeatedPin(c.copies);
        ASSERT_EQ(instance.pins.size(), 2 + c.names.size());
        EXPECT_EQ(instance.repeatablePin(), nullptr) << "an instance has a fixed number of pins";
        std::vector<IteratorPin> const iterated = instance.iteratorPins();
        ASSERT_EQ(iterated.size(), instance.pins.size());
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            PinDescription const& copy = instance.pins[2 + i];
            EXPECT_EQ(copy.index, static_cast<int32_t>(2 + i));
            EXPECT_EQ(copy.name, c.names[i]);
            EXPECT_EQ(copy.datatype, gmpi::MP_BLOB);
            EXPECT_TRUE(copy.isInput());
            EXPECT_EQ(copy.defaultValue, nlohmann::json(""));
            EXPECT_EQ(iterated[2 + i].id, copy.index);
            EXPECT_EQ(iterated[2 + i].datatype, gmpi::MP_BLOB);
        }
    }
    EXPECT_THROW(module.withRepeatedPin(-1), std::invalid_argument);
    EXPECT_THROW(module.withRepeatedPin(2).withRepeatedPin(3), std::invalid_argument);
}

// The descriptions that ship beside the bundle.
TEST(ModuleDescriptions, ShippedFileLoadsAndNamesModulesAsTheBundleDoes) {
    ModuleDescriptions const shipped = ModuleDescriptions::load(ZR_METADATA_PATH);
    EXPECT_FALSE(shipped.all().empty());
    for (ModuleDescription const& module : shipped.all()) {
        SCOPED_TRACE(module.idText());
        EXPECT_EQ(module.id.rfind(L"ZR_", 0), 0u);
        EXPECT_TRUE(module.subType == 0 || module.subType == 2);
        for (PinDescription const& pin : module.pins) {
            if (pin.isInput() && !pin.isAudio() && pin.datatype != gmpi::MP_MIDI) {
                EXPECT_TRUE(pin.defaultValue.has_value()) << "input '" << pin.name << "' has no default";
            }
        }
    }
}

} // namespace
} // namespace zr::host
