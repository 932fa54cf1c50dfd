// Loading a bundle and its descriptions: clear failures, and the built bundle checked against
// the descriptions that ship beside it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "host/DescriptionCheck.h"
#include "tests/host/FakeModule.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {
namespace {

std::string loadError(std::function<void()> const& load) {
    try {
        load();
    } catch (std::runtime_error const& e) {
        return e.what();
    }
    return "";
}

TEST(Bundle, FailuresNameTheFileAndTheReason) {
    std::filesystem::path const notALibrary = std::filesystem::temp_directory_path() / "zr_not_a_bundle.so";
    std::ofstream(notALibrary) << "plain text";
    struct Case {
        char const* name;
        std::filesystem::path path;
        char const* reason;
    };
    for (Case const& c : {Case{"missing file", "/nonexistent/zr_shapes.so", "cannot load"},
                          Case{"not a shared object", notALibrary, "cannot load"},
                          Case{"library without the entry point", "libm.so.6", "no MP_GetFactory"}}) {
        SCOPED_TRACE(c.name);
        std::string const message = loadError([&] { Bundle bundle(c.path); });
        EXPECT_NE(message.find(c.path.string()), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
    std::filesystem::remove(notALibrary);
    std::string const message = loadError([] { ModuleDescriptions::load("/nonexistent/zr_shapes.json"); });
    EXPECT_NE(message.find("/nonexistent/zr_shapes.json"), std::string::npos) << message;
}

// Every audio-side module matches its description, and every control input has a default
// for a host to send when the patch starts.
TEST(Bundle, BuiltBundleMatchesItsDescriptions) {
    for (ModuleDescription const& module : test::descriptions().all()) {
        SCOPED_TRACE(module.idText());
        for (PinDescription const& pin : module.pins) {
            if (pin.isInput() && !pin.isAudio() && pin.datatype != gmpi::MP_MIDI) {
                EXPECT_TRUE(pin.defaultValue.has_value()) << "input '" << pin.name << "' has no default";
            }
        }
        if (isCheckedByDescriptionCheck(module)) {
            for (std::string const& mismatch : checkDescription(test::bundle(), module))
                ADD_FAILURE() << mismatch;
        }
    }
}

// The check finds each kind of mismatch, shown on the waveshaper's description altered.
TEST(DescriptionCheck, ReportsEachKindOfMismatch) {
    struct Case {
        char const* name;
        std::function<void(ModuleDescription&)> alter;
        std::vector<char const*> expected; // a part of each line, in order
    };
    Case const cases[] = {
        {"pin not described", [](ModuleDescription& d) { d.pins.pop_back(); },
         {"pin 5 is not described", "sent on pin 5, which is not described"}},
        {"pin not registered",
         [](ModuleDescription& d) { d.pins.push_back({6, "Extra", gmpi::MP_FLOAT32, gmpi::MP_OUT, std::nullopt}); },
         {"pin 6 'Extra' (float out) is described, but the module does not register it"}},
        {"audio output described as float", [](ModuleDescription& d) { d.pins[5].datatype = gmpi::MP_FLOAT32; },
         {"'Out' (float out) sent no value", "'Out' (float out) announced a streaming state"}},
        {"audio output described as input", [](ModuleDescription& d) { d.pins[5].direction = gmpi::MP_IN; },
         {"'Out' (audio in) is an input, but the module sent on it"}},
        {"audio input described as output", [](ModuleDescription& d) { d.pins[4].direction = gmpi::MP_OUT; },
         {"'Input' (audio out) did not announce streaming"}},
        {"described as a GUI module", [](ModuleDescription& d) { d.subType = 2; }, {"creation returned -2"}},
        {"unknown sub-type", [](ModuleDescription& d) { d.subType = 1; }, {"not checked yet"}},
        {"unknown identifier", [](ModuleDescription& d) { d.id = L"ZR_Nowhere"; }, {"ZR_Nowhere"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        ModuleDescription described = *test::descriptions().find(L"ZR_Waveshaper2");
        c.alter(described);
        std::vector<std::string> const lines = checkDescription(test::bundle(), described);
        ASSERT_EQ(lines.size(), c.expected.size()) << ::testing::PrintToString(lines);
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_NE(lines[i].find(c.expected[i]), std::string::npos) << lines[i];
    }

    // The waveshaper has no control output: a value of the wrong size is shown on the fake.
    fakes::FakeBehaviour twoBytePeak;
    twoBytePeak.registeredPins = 3;
    twoBytePeak.echoPin = 2;
    twoBytePeak.echoSize = 2;
    fakes::FakeFactory factory(twoBytePeak);
    std::vector<std::string> const lines = checkDescription(factory, fakes::fakeDescription());
    ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
    EXPECT_NE(lines[0].find("ZR_Fake: pin 2 'Peak' (float out) sent a value of 2 bytes"), std::string::npos) << lines[0];
}

} // namespace
} // namespace zr::host
