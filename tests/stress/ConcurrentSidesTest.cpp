// The two sides of the bundle at once, as a host runs them: one thread drives every
// audio-side module (created with a host, opened, blocks of events processed) while another
// drives every GUI-side module (pin values stored and notified, editors laid out, drawn and
// pointed at), both through the one factory of the one loaded bundle. Built with
// ThreadSanitizer, this shows the modules share no unguarded state across the two threads.

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/hostile/Choices.h"
#include "host/hostile/GuiScriptRunner.h"
#include "host/hostile/OpenFindings.h"
#include "host/hostile/ScriptRunner.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

constexpr int kRounds = 4;

std::vector<std::string> driveAudioSide() {
    std::vector<std::string> violations;
    for (int round = 0; round < kRounds; ++round) {
        for (host::ModuleDescription const& module : audioSideModules()) {
            hostile::SeededChoices choices(static_cast<uint64_t>(round) * 977u + module.id.size());
            hostile::ScriptStyle style;
            style.blockSize = 64;
            style.maxBlocks = 16;
            hostile::ModuleScript const script = hostile::chooseScript(choices, module, style);
            hostile::ScriptRunner runner(factory(), module, script.settings);
            runner.recordObservation(false);
            runner.runAll(script);
            runner.release();
            if (!hostile::openFinding(module.id))
                for (std::string const& violation : runner.violations())
                    violations.push_back(module.idText() + ": " + violation);
        }
    }
    return violations;
}

std::vector<std::string> driveGuiSide(std::filesystem::path const& folder) {
    std::vector<std::string> violations;
    for (int round = 0; round < kRounds; ++round) {
        for (host::ModuleDescription const& module : guiSideModules()) {
            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder);
            hostile::SeededChoices choices(static_cast<uint64_t>(round) * 977u + module.id.size());
            hostile::GuiRunSettings settings;
            settings.echoTransmissions = round % 2 == 1;
            std::vector<std::string> const found = hostile::runGuiScript(factory(), module, settings, choices, 1000, folder);
            if (!hostile::openFinding(module.id))
                for (std::string const& violation : found)
                    violations.push_back(module.idText() + ": " + violation);
        }
    }
    std::filesystem::remove_all(folder);
    return violations;
}

TEST(ConcurrentSides, AudioAndGuiThreadsShareOneFactory) {
    ASSERT_FALSE(audioSideModules().empty());
    ASSERT_FALSE(guiSideModules().empty());
    std::vector<std::string> audioViolations, guiViolations;
    std::filesystem::path const folder = std::filesystem::temp_directory_path() / "zr_concurrent_sides";
    std::thread audio([&] { audioViolations = driveAudioSide(); });
    std::thread gui([&] { guiViolations = driveGuiSide(folder); });
    audio.join();
    gui.join();
    for (std::string const& violation : audioViolations)
        ADD_FAILURE() << "audio side: " << violation;
    for (std::string const& violation : guiViolations)
        ADD_FAILURE() << "GUI side: " << violation;
}

} // namespace
} // namespace zr::stress
