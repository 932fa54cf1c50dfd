// The two sides of the bundle at once, as a host runs them: one thread drives every
// audio-side module (created with a host, opened, blocks of events processed) while another
// drives every GUI-side module (pin values stored and notified, editors laid out, drawn and
// pointed at), both through the one factory of the one loaded bundle. Built with
// ThreadSanitizer, this shows the modules share no unguarded state across the two threads.

#include <string>
#include <thread>
#include <vector>

#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

constexpr int kRounds = 4;

// Every module of one side `kRounds` times, each run by `run` with choices seeded per round
// and module; what the modules broke.
template <typename Run>
std::vector<std::string> driveEvery(std::vector<host::ModuleDescription> const& modules, Run run) {
    std::vector<std::string> violations;
    for (int round = 0; round < kRounds; ++round) {
        for (host::ModuleDescription const& module : modules) {
            hostile::SeededChoices choices(static_cast<uint64_t>(round) * 977u + module.id.size());
            for (std::string const& violation : run(module, choices, round))
                violations.push_back(module.idText() + ": " + violation);
        }
    }
    return violations;
}

TEST(ConcurrentSides, AudioAndGuiThreadsShareOneFactory) {
    ASSERT_FALSE(audioSideModules().empty());
    ASSERT_FALSE(guiSideModules().empty());
    std::vector<std::string> audioViolations, guiViolations;
    test::TemporaryFolder folder("zr_concurrent_sides");
    std::thread audio([&] {
        audioViolations = driveEvery(audioSideModules(), [](host::ModuleDescription const& module, hostile::Choices& choices, int) {
            hostile::ModuleScript const script = hostile::chooseScript(choices, module, {.blockSize = 64, .maxBlocks = 16});
            return hostile::runModuleScript(factory(), module, script, false, false).violations;
        });
    });
    std::thread gui([&] {
        guiViolations = driveEvery(guiSideModules(), [&](host::ModuleDescription const& module, hostile::Choices& choices, int round) {
            hostile::GuiRunSettings settings;
            settings.hostile.echoTransmissions = round % 2 == 1;
            return hostile::runGuiScript(factory(), module, settings, choices, 1000, folder.fresh());
        });
    });
    audio.join();
    gui.join();
    reportViolations(audioViolations, "audio side");
    reportViolations(guiViolations, "GUI side");
}

} // namespace
} // namespace zr::stress
