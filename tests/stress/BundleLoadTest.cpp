// The bundle as a shared object: loading and unloading, what it exports, and what it answers
// for identifiers it does not have.

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <set>
#include <string>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/TextConversion.h"
#include "host/hostile/Choices.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

// A copy of the bundle under its own name, so that whether it is still loaded can be asked
// whatever else this process has loaded.
class BundleCopy {
public:
    BundleCopy() : path_(std::filesystem::temp_directory_path() / ("zr_shapes_copy_" + std::to_string(::getpid()) + ".so")) {
        std::filesystem::copy_file(ZR_BUNDLE_PATH, path_, std::filesystem::copy_options::overwrite_existing);
    }
    ~BundleCopy() { std::filesystem::remove(path_); }
    std::filesystem::path const& path() const { return path_; }

    bool isLoaded() const {
        void* handle = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle != nullptr)
            dlclose(handle);
        return handle != nullptr;
    }

private:
    std::filesystem::path path_;
};

TEST(BundleLoad, LoadsAndUnloadsAHundredTimes) {
    BundleCopy const copy;
    ASSERT_FALSE(copy.isLoaded());
    for (int cycle = 0; cycle < 100; ++cycle) {
        {
            host::Bundle bundle(copy.path());
            for (host::ModuleDescription const& module : audioSideModules()) {
                host::AudioModuleOptions options;
                options.description = module;
                host::AudioModule running(bundle, module.id, options);
                for (host::PinDescription const& pin : module.pins)
                    if (pin.isAudio())
                        running.connectAudio(pin.index);
                EXPECT_EQ(running.open(), gmpi::MP_OK);
                running.graphStart();
                running.sendDefaults();
                running.process(64);
            }
        }
        ASSERT_FALSE(copy.isLoaded()) << "still loaded after unloading, cycle " << cycle;
    }
}

TEST(BundleLoad, ExportsOnlyTheEntryPoint) {
    if (std::system("command -v nm >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "nm is not installed";
    std::string const command = std::string("nm -D --defined-only '") + ZR_BUNDLE_PATH + "'";
    FILE* listing = popen(command.c_str(), "r");
    ASSERT_NE(listing, nullptr);
    std::set<std::string> exported;
    char line[1024];
    while (std::fgets(line, sizeof line, listing) != nullptr) {
        std::string const text(line);
        auto const nameStart = text.find_last_of(' ');
        exported.insert(text.substr(nameStart + 1, text.find_last_not_of("\r\n") - nameStart));
    }
    ASSERT_EQ(pclose(listing), 0) << command;
    EXPECT_EQ(exported, std::set<std::string>{"MP_GetFactory"});
}

// Near misses of every identifier: a character added, removed or changed in case, stray
// blanks, and the identifier under the other sub-type.
std::vector<std::pair<std::wstring, int32_t>> nearMisses(host::ModuleDescription const& module) {
    std::wstring const& id = module.id;
    int32_t const otherSubType = module.subType == 0 ? 2 : 0;
    std::wstring lowered = id;
    for (wchar_t& c : lowered)
        c = static_cast<wchar_t>(std::towlower(c));
    std::vector<std::wstring> const changed = {
        id + L"x",         id + L"2",       L"x" + id,       id.substr(1),
        id.substr(0, id.size() - 1), id.substr(0, id.size() / 2) + id.substr(id.size() / 2 + 1),
        id.substr(0, id.size() / 2) + L"_" + id.substr(id.size() / 2), id + L" ", L" " + id, lowered,
    };
    std::vector<std::pair<std::wstring, int32_t>> misses;
    for (std::wstring const& name : changed)
        for (int32_t subType : {0, 2})
            if (name != id)
                misses.emplace_back(name, subType);
    misses.emplace_back(id, otherSubType);
    misses.emplace_back(id, 1);
    misses.emplace_back(id, -1);
    return misses;
}

TEST(BundleLoad, UnknownIdentifiersAnswerNotSupported) {
    std::vector<std::pair<std::wstring, int32_t>> cases = {{L"", 0}, {L"", 2}, {L"ZR_", 0}, {L"ZR_NoSuchModule", 0}};
    std::set<std::wstring> registered;
    for (host::ModuleDescription const& module : allModules())
        registered.insert(module.id);
    for (host::ModuleDescription const& module : allModules())
        for (auto const& miss : nearMisses(module))
            if (!registered.contains(miss.first)) // an older generation's name is a real module
                cases.push_back(miss);
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

gmpi::MpGuid randomGuid(hostile::Choices& choices) {
    gmpi::MpGuid guid{choices.bits(), static_cast<uint16_t>(choices.bits()), static_cast<uint16_t>(choices.bits()), {}};
    for (uint8_t& byte : guid.data4)
        byte = static_cast<uint8_t>(choices.bits());
    return guid;
}

// Every identifier the bundle answers, with one bit flipped in each field in turn, and
// random identifiers: the factory and every audio-side module answer -2 and null.
TEST(BundleLoad, UnknownInterfacesAnswerNotSupported) {
    std::vector<gmpi::MpGuid> const answered = {MP_IID_UNKNOWN, MP_IID_FACTORY, MP_IID_FACTORY2, MP_IID_PLUGIN,
                                                MP_IID_PLUGIN2, MP_IID_LEGACY_INITIALIZATION};
    std::vector<gmpi::MpGuid> unknown;
    for (gmpi::MpGuid const& known : answered) {
        for (int bit : {0, 31}) {
            gmpi::MpGuid near = known;
            near.data1 ^= 1u << bit;
            unknown.push_back(near);
        }
        gmpi::MpGuid near = known;
        near.data2 ^= 0x8000;
        unknown.push_back(near);
        near = known;
        near.data3 ^= 1;
        unknown.push_back(near);
        for (int i = 0; i < 8; ++i) {
            near = known;
            near.data4[i] ^= 0x80;
            unknown.push_back(near);
        }
    }
    hostile::SeededChoices choices(2024);
    for (int i = 0; i < 200; ++i)
        unknown.push_back(randomGuid(choices));

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
