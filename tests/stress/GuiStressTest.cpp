// Every GUI-side module driven by hostile scripts of pin values (and, for the editors, layouts,
// frames and pointer gestures), one test case per module identifier: behind an ordinary host,
// an echoing host, and hosts that refuse each interface in turn. ZR_STRESS_GUI_OPERATIONS
// (default 10000) sets the length of the main scripts for larger runs by hand.

#include <cstdint>
#include <string>

#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

struct HostSetup {
    char const* name;
    hostile::GuiRunSettings settings;
    int seeds;
    bool shortScript;
};

std::vector<HostSetup> const hostSetups = {
    {"ordinary host", {}, 2, false},
    {"echoing host", {.hostile = {.echoTransmissions = true}}, 2, false},
    {"no UI host", {.hostile = {.refuseUiHost2 = true}}, 1, true},
    {"no older UI host", {.hostile = {.refuseUiHost = true}}, 1, true},
    {"no graphics host", {.hostile = {.refuseGraphicsHost = true}}, 1, true},
    {"no clock", {.hostile = {.refuseClock = true}}, 1, true},
    {"odd answers",
     {.hostile = {.leaveCaptureUnwritten = true,
                  .leavePinCountUnwritten = true,
                  .fillFilenameUnterminated = true,
                  .pinCountAnswer = INT32_MIN,
                  .echoTransmissions = true}},
     1, true},
};

class GuiStress : public testing::TestWithParam<host::ModuleDescription> {};

TEST_P(GuiStress, HostileScriptsKeepEveryProperty) {
    host::ModuleDescription const& module = GetParam();
    long const operations = environmentNumber("ZR_STRESS_GUI_OPERATIONS", 10000);
    test::TemporaryFolder folder("zr_gui_stress_" + moduleName({module, 0}));
    for (std::size_t s = 0; s < hostSetups.size(); ++s) {
        HostSetup const& setup = hostSetups[s];
        for (int seed = 0; seed < setup.seeds; ++seed) {
            hostile::SeededChoices choices(seedOf(module, static_cast<uint64_t>(seed), s));
            reportViolations(hostile::runGuiScript(factory(), module, setup.settings, choices,
                                                   setup.shortScript ? operations / 5 : operations, folder.fresh()),
                             std::string(setup.name) + ", seed " + std::to_string(seed));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(GuiSide, GuiStress, testing::ValuesIn(guiSideModules()), moduleName);

} // namespace
} // namespace zr::stress
