// The description check against modules that do and do not match their description.

#include <gtest/gtest.h>

#include <string>

#include "host/DescriptionCheck.h"
#include "host/ModuleDescriptions.h"
#include "tests/host/FakeModule.h"

namespace zr::host {
namespace {

using fakes::FakeBehaviour;
using fakes::FakeFactory;
using fakes::FakeSend;

// Level (float in), Input (audio in), Out (audio out), Peak (float out).
constexpr char const* describedFake = R"({ "modules": [ { "id": "ZR_Fake", "subType": 0, "pins": [
    { "index": 0, "name": "Level", "datatype": "float", "direction": "in", "default": 0 },
    { "index": 1, "name": "Input", "datatype": "audio", "direction": "in" },
    { "index": 2, "name": "Out", "datatype": "audio", "direction": "out" },
    { "index": 3, "name": "Peak", "datatype": "float", "direction": "out", "default": 0 }
] } ] })";

ModuleDescription fakeDescription() { return *ModuleDescriptions::parse(describedFake).find(fakes::fakeModuleId); }

FakeBehaviour matchingBehaviour() {
    FakeBehaviour behaviour;
    behaviour.registeredPins = 4;
    behaviour.atGraphStart = {FakeSend{2, 0, true}, FakeSend{3, 4, false}};
    return behaviour;
}

std::string joined(std::vector<std::string> const& lines) {
    std::string text;
    for (std::string const& line : lines)
        text += line + "\n";
    return text;
}

TEST(DescriptionCheck, ReportsEachKindOfMismatch) {
    struct Case {
        char const* name;
        FakeBehaviour behaviour;
        char const* expected;  // a part of the one line expected; empty: no mismatch
    };
    FakeBehaviour missingPin = matchingBehaviour();
    missingPin.registeredPins = 3;
    missingPin.atGraphStart = {FakeSend{2, 0, true}};
    FakeBehaviour extraPin = matchingBehaviour();
    extraPin.registeredPins = 5;
    FakeBehaviour silentAudio = matchingBehaviour();
    silentAudio.atGraphStart = {FakeSend{3, 4, false}};
    FakeBehaviour shortFloat = matchingBehaviour();
    shortFloat.atGraphStart = {FakeSend{2, 0, true}, FakeSend{3, 2, false}};
    FakeBehaviour sendingInput = matchingBehaviour();
    sendingInput.atGraphStart.push_back(FakeSend{0, 4, false});
    FakeBehaviour silentControl = matchingBehaviour();
    silentControl.atGraphStart = {FakeSend{2, 0, true}};
    FakeBehaviour streamingControl = matchingBehaviour();
    streamingControl.atGraphStart.push_back(FakeSend{3, 0, true});
    FakeBehaviour undescribedSend = matchingBehaviour();
    undescribedSend.atGraphStart.push_back(FakeSend{9, 4, false});

    for (Case const& c : {Case{"matching", matchingBehaviour(), ""},
                          Case{"pin not registered", missingPin, "pin 3 'Peak' (float out) is described, but the module does not register it"},
                          Case{"pin not described", extraPin, "pin 4 is not described"},
                          Case{"audio output silent", silentAudio, "'Out' (audio out) did not announce streaming"},
                          Case{"float of 2 bytes", shortFloat, "'Peak' (float out) sent a value of 2 bytes"},
                          Case{"input sends", sendingInput, "'Level' (float in) is an input, but the module sent on it"},
                          Case{"control output silent", silentControl, "'Peak' (float out) sent no value"},
                          Case{"control output streams", streamingControl, "'Peak' (float out) announced a streaming state"},
                          Case{"undescribed pin sends", undescribedSend, "sent on pin 9, which is not described"}}) {
        SCOPED_TRACE(c.name);
        FakeFactory factory(c.behaviour);
        std::vector<std::string> const mismatches = checkDescription(factory, fakeDescription());
        if (std::string_view(c.expected).empty()) {
            EXPECT_TRUE(mismatches.empty()) << joined(mismatches);
            continue;
        }
        ASSERT_EQ(mismatches.size(), 1u) << joined(mismatches);
        EXPECT_EQ(mismatches[0].rfind("ZR_Fake: ", 0), 0u) << mismatches[0];
        EXPECT_NE(mismatches[0].find(c.expected), std::string::npos) << mismatches[0];
    }
}

TEST(DescriptionCheck, RunsGraphStartWithACountdownOfZero) {
    FakeFactory factory(matchingBehaviour());
    checkDescription(factory, fakeDescription());
    EXPECT_EQ(factory.seen.countdown, 0);
    EXPECT_EQ(factory.seen.processCalls, 1);
    EXPECT_EQ(factory.seen.instancesAlive, 0);
}

TEST(DescriptionCheck, ModulesItCannotCheckSaySo) {
    FakeFactory factory(matchingBehaviour());
    ModuleDescription other = fakeDescription();
    other.subType = 1;
    std::vector<std::string> const otherLines = checkDescription(factory, other);
    ASSERT_EQ(otherLines.size(), 1u);
    EXPECT_NE(otherLines[0].find("not checked yet"), std::string::npos) << otherLines[0];
    EXPECT_FALSE(isCheckedByDescriptionCheck(other));

    ModuleDescription unknown = fakeDescription();
    unknown.id = L"ZR_Absent";
    std::vector<std::string> const absentLines = checkDescription(factory, unknown);
    ASSERT_EQ(absentLines.size(), 1u);
    EXPECT_NE(absentLines[0].find("ZR_Absent"), std::string::npos) << absentLines[0];
}

} // namespace
} // namespace zr::host
