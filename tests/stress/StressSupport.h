#pragma once
// What the stress tests share: the built bundle, the module descriptions, and test names
// made from module identifiers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "host/ModuleDescriptions.h"
#include "host/hostile/GuiScript.h"
#include "host/hostile/OpenFindings.h"
#include "host/hostile/ModuleScript.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {

// Test parameters print as the module's identifier.
inline void PrintTo(ModuleDescription const& module, std::ostream* out) { *out << module.idText(); }

} // namespace zr::host

namespace zr::stress {

inline std::vector<host::ModuleDescription> const& allModules() {
    static std::vector<host::ModuleDescription> const modules = test::descriptions().all();
    return modules;
}

inline std::vector<host::ModuleDescription> const& audioSideModules() {
    static std::vector<host::ModuleDescription> const modules = hostile::audioSideModules(test::descriptions());
    return modules;
}

inline std::vector<host::ModuleDescription> const& guiSideModules() {
    static std::vector<host::ModuleDescription> const modules = hostile::guiSideModules(test::descriptions());
    return modules;
}

inline gmpi::IMpFactory2& factory() { return *test::bundle().factory(); }

inline std::string moduleName(testing::TestParamInfo<host::ModuleDescription> const& info) {
    std::string name = info.param.idText();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
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

} // namespace zr::stress
