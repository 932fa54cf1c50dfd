// The bundle as a shared object: loading and unloading, what it exports, and what it answers
// for identifiers it does not have.

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <set>
#include <string>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/TextConversion.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

// A copy of the bundle under its own name, so that whether it is still loaded can be asked
// whatever else this process has loaded.
struct BundleCopy {
    std::filesystem::path const path =
        std::filesystem::temp_directory_path() / ("zr_shapes_copy_" + std::to_string(::getpid()) + ".so");
    BundleCopy() { std::filesystem::copy_file(ZR_BUNDLE_PATH, path, std::filesystem::copy_options::overwrite_existing); }
    ~BundleCopy() { std::filesystem::remove(path); }
    bool isLoaded() const {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle != nullptr)
            dlclose(handle);
        return handle != nullptr;
    }
};

TEST(BundleLoad, LoadsAndUnloadsAHundredTimes) {
    BundleCopy const copy;
    ASSERT_FALSE(copy.isLoaded());
    for (int cycle = 0; cycle < 100; ++cycle) {
        {
            host::Bundle bundle(copy.path);
            for (host::ModuleDescription const& module : audioSideModules()) {
                host::AudioModuleOptions options;
                options.description = module;
                host::AudioModule running(bundle, module.id, options);
                EXPECT_EQ(built::start(running), gmpi::MP_OK);
                running.process(64);
            }
        }
        ASSERT_FALSE(copy.isLoaded()) << "still loaded after unloading, cycle " << cycle;
    }
}

TEST(BundleLoad, ExportsOnlyTheEntryPoint) {
    if (std::system("command -v nm >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "nm is not installed";
    std::string const command = std::string("nm -D --defined-only --just-symbols '") + ZR_BUNDLE_PATH + "'";
    FILE* listing = popen(command.c_str(), "r");
    ASSERT_NE(listing, nullptr);
    std::set<std::string> exported;
    for (char line[1024]; std::fgets(line, sizeof line, listing) != nullptr;)
        exported.insert(std::string(line, std::strcspn(line, "\r\n")));
    ASSERT_EQ(pclose(listing), 0) << command;
    EXPECT_EQ(exported, std::set<std::string>{"MP_GetFactory"});
}

// Names near every identifier (a character added or removed, changed case, a stray blank)
// that no module has, and every identifier under each sub-type it is not registered under.
TEST(BundleLoad, UnknownIdentifiersAnswerNotSupported) {
    std::set<std::wstring> registered;
    for (host::ModuleDescription const& module : allModules())
        registered.insert(module.id);
    std::vector<std::pair<std::wstring, int32_t>> cases = {{L"", 0}, {L"", 2}, {L"ZR_", 0}, {L"ZR_NoSuchModule", 0}};
    for (host::ModuleDescription const& module : allModules()) {
        std::wstring const& id = module.id;
        std::wstring lowered = id;
        std::transform(id.begin(), id.end(), lowered.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
        for (int32_t subType : {-1, 0, 1, 2})
            if (subType != module.subType)
                cases.emplace_back(id, subType);
        for (std::wstring const& name : {id + L"x", L"x" + id, id.substr(1), id.substr(0, id.size() - 1), id + L" ", lowered})
            if (!registered.contains(name)) // an older generation's name is a real module
                cases.emplace_back(name, module.subType);
    }
    for (auto const& [id, subType] : cases) {
        SCOPED_TRACE(host::utf8FromWide(id) + ", sub-type " + std::to_string(subType));
        for (bool withHost : {false, true}) {
            host::AudioHost audioHost;
            void* created = reinterpret_cast<void*>(0x1);
            int32_t const result = withHost ? factory().createInstance(id.c_str(), subType, &audioHost, &created)
                                            : factory().createInstance2(id.c_str(), subType, &created);
            EXPECT_EQ(result, gmpi::MP_NOSUPPORT);
            EXPECT_EQ(created, nullptr);
        }
    }
}

// Every identifier the bundle answers, with the lowest and the highest bit of each byte
// flipped in turn: the factory and every audio-side module answer -2 and null.
TEST(BundleLoad, UnknownInterfacesAnswerNotSupported) {
    std::vector<gmpi::MpGuid> const answered = {MP_IID_UNKNOWN, MP_IID_FACTORY, MP_IID_FACTORY2, MP_IID_PLUGIN,
                                                MP_IID_PLUGIN2, MP_IID_LEGACY_INITIALIZATION};
    std::vector<gmpi::MpGuid> unknown;
    for (gmpi::MpGuid const& known : answered) {
        for (std::size_t byte = 0; byte < sizeof known; ++byte) {
            for (uint8_t bit : {0x01, 0x80}) {
                gmpi::MpGuid near = known;
                reinterpret_cast<uint8_t*>(&near)[byte] ^= bit;
                unknown.push_back(near);
            }
        }
    }
    auto expectRefused = [&](gmpi::IMpUnknown& asked, std::string const& who) {
        for (gmpi::MpGuid const& iid : unknown) {
            if (std::find(answered.begin(), answered.end(), iid) != answered.end())
                continue;
            void* view = reinterpret_cast<void*>(0x1);
            EXPECT_EQ(asked.queryInterface(iid, &view), gmpi::MP_NOSUPPORT) << who << ", identifier " << iid.data1;
            EXPECT_EQ(view, nullptr) << who << ", identifier " << iid.data1;
        }
    };
    expectRefused(factory(), "factory");
    for (host::ModuleDescription const& module : audioSideModules()) {
        void* created = nullptr;
        ASSERT_EQ(factory().createInstance2(module.id.c_str(), module.subType, &created), gmpi::MP_OK);
        auto* instance = static_cast<gmpi::IMpUnknown*>(created);
        expectRefused(*instance, module.idText());
        EXPECT_EQ(instance->release(), 0) << module.idText() << ": a refused query kept a reference";
    }
}

} // namespace
} // namespace zr::stress
