// Every identifier in the module descriptions, created and released the ways a host may:
// a thousand times over, without ever receiving a host, and opened twice.

#include <filesystem>
#include <utility>

#include "host/AudioHost.h"
#include "host/GuiHost.h"
#include "host/hostile/Choices.h"
#include "host/hostile/GuiScriptRunner.h"
#include "host/hostile/ScriptRunner.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

constexpr int kCycles = 1000;

class ModuleLifecycle : public testing::TestWithParam<host::ModuleDescription> {};

bool isAudioSide(host::ModuleDescription const& module) { return module.subType == 0; }

// createInstance2 for any module; every second cycle an audio-side module is made with a
// host by createInstance, opened and run for one block, and a GUI-side one is given a host
// and initialised.
TEST_P(ModuleLifecycle, CreatedAndReleasedAThousandTimes) {
    host::ModuleDescription const& module = GetParam();
    host::AudioHost audioHost;
    host::GuiHost guiHost;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        void* created = nullptr;
        bool const withHost = isAudioSide(module) && cycle % 2 == 1;
        int32_t const result = withHost ? factory().createInstance(module.id.c_str(), 0, &audioHost, &created)
                                        : factory().createInstance2(module.id.c_str(), module.subType, &created);
        ASSERT_EQ(result, gmpi::MP_OK) << "cycle " << cycle;
        ASSERT_NE(created, nullptr) << "cycle " << cycle;
        auto* instance = static_cast<gmpi::IMpUnknown*>(created);
        if (withHost) {
            void* plugin = nullptr;
            ASSERT_EQ(instance->queryInterface(MP_IID_PLUGIN2, &plugin), gmpi::MP_OK);
            auto* audio = static_cast<gmpi::IMpPlugin2*>(plugin);
            EXPECT_EQ(audio->open(), gmpi::MP_OK);
            EXPECT_EQ(audio->process(0, nullptr), gmpi::MP_OK);
            EXPECT_EQ(audio->release(), 1);
        }
        if (!isAudioSide(module) && cycle % 2 == 1) {
            void* view = nullptr;
            ASSERT_EQ(instance->queryInterface(MP_IID_GUI_PLUGIN2B, &view), gmpi::MP_OK);
            auto* gui = static_cast<gmpi::IMpUserInterface2B*>(view);
            EXPECT_EQ(gui->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&guiHost)), gmpi::MP_OK);
            EXPECT_EQ(gui->initialize(), gmpi::MP_OK);
            EXPECT_EQ(gui->release(), 1);
        }
        ASSERT_EQ(instance->release(), 0) << "cycle " << cycle << ": references left";
        ASSERT_EQ(audioHost.referenceCount(), 0) << "cycle " << cycle << ": host references kept";
        ASSERT_EQ(guiHost.referenceCount(), 0) << "cycle " << cycle << ": host references kept";
    }
}

// A host that never calls setHost: the module is opened and run with events anyway, then
// released; it must neither call through the missing host nor crash.
TEST_P(ModuleLifecycle, ReleasedWithoutHost) {
    host::ModuleDescription const& module = GetParam();
    void* created = nullptr;
    ASSERT_EQ(factory().createInstance2(module.id.c_str(), module.subType, &created), gmpi::MP_OK);
    auto* instance = static_cast<gmpi::IMpUnknown*>(created);
    if (isAudioSide(module)) {
        void* plugin = nullptr;
        ASSERT_EQ(instance->queryInterface(MP_IID_PLUGIN2, &plugin), gmpi::MP_OK);
        auto* audio = static_cast<gmpi::IMpPlugin2*>(plugin);
        std::vector<std::vector<float>> buffers;
        for (host::PinDescription const& pin : module.pins)
            if (pin.isAudio())
                audio->setBuffer(pin.index, buffers.emplace_back(64, 0.25f).data());
        EXPECT_EQ(audio->open(), gmpi::MP_OK);
        hostile::SeededChoices choices(7);
        hostile::ScriptStyle style;
        style.blockSize = 64;
        style.maxBlocks = 4;
        for (hostile::BlockScript const& block : hostile::chooseScript(choices, module, style).blocks) {
            host::EventQueue events;
            for (host::RawEvent const& event : block.events)
                events.addRaw(event);
            EXPECT_EQ(audio->process(block.count, events.build()), gmpi::MP_OK);
        }
        audio->release();
    } else {
        void* view = nullptr;
        ASSERT_EQ(instance->queryInterface(MP_IID_GUI_PLUGIN2B, &view), gmpi::MP_OK);
        auto* gui = static_cast<gmpi::IMpUserInterface2B*>(view);
        std::filesystem::path const folder = std::filesystem::temp_directory_path() / ("zr_hostless_" + moduleName({module, 0}));
        std::filesystem::create_directories(folder);
        hostile::InFolder const inFolder(folder); // file names stay as given without a host
        hostile::SeededChoices choices(7);
        hostile::GuiScriptChooser chooser(module, false, true);
        for (int i = 0; i < 500; ++i) {
            hostile::GuiOp const op = chooser.next(choices);
            gui->setPin(op.pin, 0, op.size, op.nullData ? nullptr : op.bytes.data());
            gui->notifyPin(op.pin, 0);
        }
        gui->release();
        std::filesystem::remove_all(folder);
    }
    EXPECT_EQ(instance->release(), 0);
}

// Opening twice (for a GUI-side module: setHost and initialize twice) changes nothing a
// host can see.
TEST_P(ModuleLifecycle, OpenedTwiceRunsAsOpenedOnce) {
    host::ModuleDescription const& module = GetParam();
    if (!isAudioSide(module)) {
        std::vector<std::vector<std::pair<int32_t, std::vector<uint8_t>>>> sent;
        for (bool twice : {false, true}) {
            hostile::GuiRunSettings settings;
            settings.initializeTwice = twice;
            std::filesystem::path const folder = std::filesystem::temp_directory_path() / ("zr_lifecycle_" + moduleName({module, 0}));
            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder);
            hostile::GuiScriptRunner runner(factory(), module, settings, folder);
            runner.recordTransmissions(true);
            hostile::SeededChoices choices(11);
            hostile::GuiScriptChooser chooser(module, false, false);
            for (int i = 0; i < 300; ++i)
                runner.run(chooser.next(choices));
            runner.release();
            for (std::string const& violation : runner.violations())
                ADD_FAILURE() << (twice ? "initialised twice: " : "initialised once: ") << violation;
            auto& transcript = sent.emplace_back();
            for (host::HostRecord const& record : runner.transmitted())
                transcript.emplace_back(record.pin, record.bytes);
        }
        EXPECT_EQ(sent[0], sent[1]);
        std::filesystem::remove_all(std::filesystem::temp_directory_path() / ("zr_lifecycle_" + moduleName({module, 0})));
        return;
    }
    hostile::SeededChoices choices(11);
    hostile::ScriptStyle style;
    style.blockSize = 512;
    hostile::ModuleScript script = hostile::chooseScript(choices, module, style);
    std::vector<hostile::Observation> observed;
    for (bool openTwice : {false, true}) {
        script.settings.openTwice = openTwice;
        hostile::ScriptRunner runner(factory(), module, script.settings);
        runner.runAll(script);
        runner.release();
        for (std::string const& violation : runner.violations())
            ADD_FAILURE() << (openTwice ? "opened twice: " : "opened once: ") << violation;
        observed.push_back(runner.observation());
    }
    EXPECT_TRUE(observed[0] == observed[1]);
}

INSTANTIATE_TEST_SUITE_P(EveryModule, ModuleLifecycle, testing::ValuesIn(allModules()), moduleName);

} // namespace
} // namespace zr::stress
