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

} // namespace
} // namespace zr::host
