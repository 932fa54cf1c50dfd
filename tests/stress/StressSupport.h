#pragma once
// What the stress tests share: the built bundle, the module descriptions, the hostile script
// runners, test names made from module identifiers, seeds and scratch folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "host/ModuleDescriptions.h"
#include "testing/TemporaryFolder.h"
#include "testing/hostile/Choices.h"
#include "testing/hostile/GuiScript.h"
#include "testing/hostile/GuiScriptRunner.h"
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

// A whole number from the environment, for larger runs by hand.
inline int environmentNumber(char const* name, int fallback) {
    char const* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

// One failure per broken property, each with where it was seen; true when there was none.
inline bool reportViolations(std::vector<std::string> const& violations, std::string const& context) {
    for (std::string const& violation : violations)
        ADD_FAILURE() << context << ": " << violation;
    return violations.empty();
}

} // namespace zr::stress
