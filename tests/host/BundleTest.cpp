// Loading a bundle: clear failures, and one smoke run of the built bundle when it is there.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "host/Bundle.h"
#include "host/DescriptionCheck.h"
#include "host/ModuleDescriptions.h"

namespace zr::host {
namespace {

std::string loadError(std::filesystem::path const& path) {
    try {
        Bundle bundle(path);
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
        std::string const message = loadError(c.path);
        EXPECT_NE(message.find(c.path.string()), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
    std::filesystem::remove(notALibrary);
}

// Every audio-side module the descriptions list, created from the built bundle, matches its
// description.
TEST(Bundle, BuiltBundleMatchesItsDescriptions) {
    if (!std::filesystem::exists(ZR_BUNDLE_PATH))
        GTEST_SKIP() << "bundle not built: " << ZR_BUNDLE_PATH;
    Bundle bundle(ZR_BUNDLE_PATH);
    ModuleDescriptions const descriptions = ModuleDescriptions::load(ZR_METADATA_PATH);
    for (ModuleDescription const& module : descriptions.all()) {
        if (!isCheckedByDescriptionCheck(module))
            continue;
        SCOPED_TRACE(module.idText());
        for (std::string const& mismatch : checkDescription(bundle, module))
            ADD_FAILURE() << mismatch;
    }
}

} // namespace
} // namespace zr::host
