#pragma once
// What the stress tests share: the built bundle, the module descriptions, the hostile script
// runners, test names made from module identifiers, seeds, scratch folders and one run of an
// audio-side script.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "host/ModuleDescriptions.h"
#include "testing/hostile/Choices.h"
#include "testing/hostile/GuiScript.h"
#include "testing/hostile/GuiScriptRunner.h"
#include "testing/hostile/OpenFindings.h"
#include "testing/hostile/ModuleScript.h"
#include "testing/hostile/ScriptRunner.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {

// Test parameters print as the module's identifier.
inline void PrintTo(ModuleDescription const& module, std::ostream* out) { *out << module.idText(); }

} // namespace zr::host

namespace zr::stress {

// Every module the descriptions list, and each side's.
inline std::vector<host::ModuleDescription> const& allModules() {
    static auto const modules = test::descriptions().all();
    return modules;
}
inline std::vector<host::ModuleDescription> const& audioSideModules() {
    static auto const modules = hostile::audioSideModules(test::descriptions());
    return modules;
}
inline std::vector<host::ModuleDescription> const& guiSideModules() {
    static auto const modules = hostile::guiSideModules(test::descriptions());
    return modules;
}

inline gmpi::IMpFactory2& factory() { return *test::bundle().factory(); }

inline std::string moduleName(testing::TestParamInfo<host::ModuleDescription> const& info) {
    std::string name = info.param.idText();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// A seed of its own for each module and each point (`first`, `second`, `third`) of a test's matrix.
inline uint64_t seedOf(host::ModuleDescription const& module, uint64_t first, uint64_t second, uint64_t third = 0) {
    uint64_t seed = first * 1000003u + second * 7919u + third;
    for (wchar_t c : module.id)
        seed = seed * 131u + static_cast<uint64_t>(c);
    return seed;
}

// One test case per module; a module with an open finding is skipped with what was seen.
class PerModule : public testing::TestWithParam<host::ModuleDescription> {
protected:
    void SetUp() override {
        if (auto const finding = hostile::openFinding(GetParam().id))
            GTEST_SKIP() << "open finding: " << *finding;
    }
};

// A whole number from the environment, for larger runs by hand.
inline int environmentNumber(char const* name, int fallback) {
    char const* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

// A folder of its own for the files a GUI-side module loads and saves, removed at the end.
struct ScratchFolder {
    std::filesystem::path const path;
    explicit ScratchFolder(std::string const& name) : path(std::filesystem::temp_directory_path() / name) {}
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    // The folder, emptied.
    std::filesystem::path const& fresh() const {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        return path;
    }
};

// One failure per broken property, each with where it was seen; true when there was none.
inline bool reportViolations(std::vector<std::string> const& violations, std::string const& context) {
    for (std::string const& violation : violations)
        ADD_FAILURE() << context << ": " << violation;
    return violations.empty();
}

struct AudioRun {
    hostile::Observation observed;
    std::vector<std::string> violations;
};

// `script` run on a fresh instance of `module`, which is then released.
inline AudioRun runAudioScript(host::ModuleDescription const& module, hostile::ModuleScript const& script,
                               bool checkStatic = false, bool observe = true) {
    hostile::ScriptRunner runner(factory(), module, script.settings, checkStatic);
    runner.recordObservation(observe);
    runner.runAll(script);
    runner.release();
    return {runner.observation(), runner.violations()};
}

} // namespace zr::stress
