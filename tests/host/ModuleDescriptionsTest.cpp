// Reading the module descriptions file: what a malformed file says.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "host/ModuleDescriptions.h"

namespace zr::host {
namespace {

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
            EXPECT_EQ(message.rfind("test.json: ", 0), 0u) << message;
            for (char const* part : messageParts)
                EXPECT_NE(message.find(part), std::string::npos) << "missing '" << part << "' in: " << message;
        }
    }
}

} // namespace
} // namespace zr::host
