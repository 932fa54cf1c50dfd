// Every GUI-side module driven by hostile scripts of pin values (and, for the editors, layouts,
// frames and pointer gestures), one test case per module identifier: behind an ordinary host,
// an echoing host, and hosts that refuse each interface in turn. ZR_STRESS_GUI_OPERATIONS
// (default 10000) sets the length of the main scripts for larger runs by hand.

#include <filesystem>
#include <string>

#include "host/hostile/Choices.h"
#include "host/hostile/GuiScriptRunner.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

struct HostSetup {
    char const* name;
    hostile::GuiRunSettings settings;
    int seeds;
    bool shortScript;
};

hostile::GuiRunSettings setup(void (*configure)(hostile::GuiRunSettings&)) {
    hostile::GuiRunSettings settings;
    configure(settings);
    return settings;
}

std::vector<HostSetup> hostSetups() {
    return {
        {"ordinary host", setup([](hostile::GuiRunSettings&) {}), 2, false},
        {"echoing host", setup([](hostile::GuiRunSettings& s) { s.echoTransmissions = true; }), 2, false},
        {"no UI host", setup([](hostile::GuiRunSettings& s) { s.hostile.refuseUiHost2 = true; }), 1, true},
        {"no older UI host", setup([](hostile::GuiRunSettings& s) { s.hostile.refuseUiHost = true; }), 1, true},
        {"no graphics host", setup([](hostile::GuiRunSettings& s) { s.hostile.refuseGraphicsHost = true; }), 1, true},
        {"no clock", setup([](hostile::GuiRunSettings& s) { s.hostile.refuseClock = true; }), 1, true},
        {"odd answers", setup([](hostile::GuiRunSettings& s) {
             s.echoTransmissions = true;
             s.hostile.leaveCaptureUnwritten = s.hostile.leavePinCountUnwritten = true;
             s.hostile.fillFilenameUnterminated = true;
             s.hostile.pinCountAnswer = INT32_MIN;
         }), 1, true},
    };
}

uint64_t seedOf(host::ModuleDescription const& module, std::size_t setupIndex, int seed) {
    uint64_t hash = static_cast<uint64_t>(seed) * 1000003u + setupIndex * 7919u;
    for (wchar_t c : module.id)
        hash = hash * 131u + static_cast<uint64_t>(c);
    return hash;
}

class GuiStress : public PerModule {};

TEST_P(GuiStress, HostileScriptsKeepEveryProperty) {
    host::ModuleDescription const& module = GetParam();
    long const operations = environmentNumber("ZR_STRESS_GUI_OPERATIONS", 10000);
    std::filesystem::path const folder = std::filesystem::temp_directory_path() / ("zr_gui_stress_" + moduleName({module, 0}));
    std::vector<HostSetup> const setups = hostSetups();
    for (std::size_t s = 0; s < setups.size(); ++s) {
        for (int seed = 0; seed < setups[s].seeds; ++seed) {
            SCOPED_TRACE(std::string(setups[s].name) + ", seed " + std::to_string(seed));
            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder);
            hostile::SeededChoices choices(seedOf(module, s, seed));
            for (std::string const& violation : hostile::runGuiScript(factory(), module, setups[s].settings, choices,
                                                                      setups[s].shortScript ? operations / 5 : operations,
                                                                      folder))
                ADD_FAILURE() << violation;
        }
    }
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(GuiSide, GuiStress, testing::ValuesIn(guiSideModules()), moduleName);

} // namespace
} // namespace zr::stress
