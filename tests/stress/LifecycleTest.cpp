// Every identifier in the module descriptions, created and released the ways a host may:
// a thousand times over, without ever receiving a host, and opened twice.

#include <utility>

#include "host/AudioHost.h"
#include "host/GuiHost.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

constexpr int kCycles = 1000;

class ModuleLifecycle : public testing::TestWithParam<host::ModuleDescription> {};

bool isAudioSide(host::ModuleDescription const& module) { return module.subType == 0; }

// The interface `iid` of `instance`; null unless the module answers it.
template <typename Interface>
Interface* viewOf(gmpi::IMpUnknown& instance, gmpi::MpGuid const& iid) {
    void* view = nullptr;
    return instance.queryInterface(iid, &view) == gmpi::MP_OK ? static_cast<Interface*>(view) : nullptr;
}

// createInstance2 for any module; every second cycle an audio-side module is made with a
// host by createInstance, opened and run for one block, and a GUI-side one is given a host
// and initialised.
TEST_P(ModuleLifecycle, CreatedAndReleasedAThousandTimes) {
    host::ModuleDescription const& module = GetParam();
    host::AudioHost audioHost;
    host::GuiHost guiHost;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        void* created = nullptr;
        bool const withHost = cycle % 2 == 1;
        int32_t const result = withHost && isAudioSide(module)
                                   ? factory().createInstance(module.id.c_str(), 0, &audioHost, &created)
                                   : factory().createInstance2(module.id.c_str(), module.subType, &created);
        ASSERT_EQ(result, gmpi::MP_OK);
        ASSERT_NE(created, nullptr);
        auto* instance = static_cast<gmpi::IMpUnknown*>(created);
        if (withHost && isAudioSide(module)) {
            auto* audio = viewOf<gmpi::IMpPlugin2>(*instance, MP_IID_PLUGIN2);
            ASSERT_NE(audio, nullptr);
            EXPECT_EQ(audio->open(), gmpi::MP_OK);
            EXPECT_EQ(audio->process(0, nullptr), gmpi::MP_OK);
            EXPECT_EQ(audio->release(), 1);
        } else if (withHost) {
            auto* gui = viewOf<gmpi::IMpUserInterface2B>(*instance, MP_IID_GUI_PLUGIN2B);
            ASSERT_NE(gui, nullptr);
            EXPECT_EQ(gui->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&guiHost)), gmpi::MP_OK);
            EXPECT_EQ(gui->initialize(), gmpi::MP_OK);
            EXPECT_EQ(gui->release(), 1);
        }
        ASSERT_EQ(instance->release(), 0) << "references left";
        ASSERT_EQ(audioHost.referenceCount(), 0) << "host references kept";
        ASSERT_EQ(guiHost.referenceCount(), 0) << "host references kept";
    }
}

// A host that never calls setHost: the module is opened and run with events anyway, then
// released; it must neither call through the missing host nor crash.
TEST_P(ModuleLifecycle, ReleasedWithoutHost) {
    host::ModuleDescription const& module = GetParam();
    void* created = nullptr;
    ASSERT_EQ(factory().createInstance2(module.id.c_str(), module.subType, &created), gmpi::MP_OK);
    auto* instance = static_cast<gmpi::IMpUnknown*>(created);
    hostile::SeededChoices choices(7);
    if (isAudioSide(module)) {
        auto* audio = viewOf<gmpi::IMpPlugin2>(*instance, MP_IID_PLUGIN2);
        ASSERT_NE(audio, nullptr);
        std::vector<std::vector<float>> buffers;
        for (host::PinDescription const& pin : module.pins)
            if (pin.isAudio())
                audio->setBuffer(pin.index, buffers.emplace_back(64, 0.25f).data());
        EXPECT_EQ(audio->open(), gmpi::MP_OK);
        for (hostile::BlockScript const& block : hostile::chooseScript(choices, module, {.blockSize = 64, .maxBlocks = 4}).blocks) {
            host::EventQueue events;
            for (host::RawEvent const& event : block.events)
                events.addRaw(event);
            EXPECT_EQ(audio->process(block.count, events.build()), gmpi::MP_OK);
        }
        audio->release();
    } else {
        auto* gui = viewOf<gmpi::IMpUserInterface2B>(*instance, MP_IID_GUI_PLUGIN2B);
        ASSERT_NE(gui, nullptr);
        test::TemporaryFolder folder("zr_hostless_" + moduleName({module, 0}));
        hostile::InFolder const inFolder(folder.fresh()); // file names stay as given without a host
        hostile::GuiScriptChooser chooser(module, false, true);
        for (int i = 0; i < 500; ++i) {
            hostile::GuiOp const op = chooser.next(choices);
            gui->setPin(op.pin, 0, op.size, op.nullData ? nullptr : op.bytes.data());
            gui->notifyPin(op.pin, 0);
        }
        gui->release();
    }
    EXPECT_EQ(instance->release(), 0);
}

// Opening twice (for a GUI-side module: setHost and initialize twice) changes nothing a
// host can see.
TEST_P(ModuleLifecycle, OpenedTwiceRunsAsOpenedOnce) {
    host::ModuleDescription const& module = GetParam();
    test::TemporaryFolder const folder("zr_lifecycle_" + moduleName({module, 0}));
    auto guiTranscript = [&](bool twice) {
        hostile::GuiRunSettings settings;
        settings.initializeTwice = twice;
        hostile::GuiScriptRunner runner(factory(), module, settings, folder.fresh());
        runner.recordTransmissions(true);
        hostile::SeededChoices choices(11);
        hostile::GuiScriptChooser chooser(module, false, false);
        for (int i = 0; i < 300; ++i)
            runner.run(chooser.next(choices));
        runner.release();
        reportViolations(runner.violations(), twice ? "initialised twice" : "initialised once");
        std::vector<std::pair<int32_t, std::vector<uint8_t>>> sent;
        for (host::HostRecord const& record : runner.transmitted())
            sent.emplace_back(record.pin, record.bytes);
        return sent;
    };
    auto audioObservation = [&](bool twice) {
        hostile::SeededChoices choices(11);
        hostile::ModuleScript script = hostile::chooseScript(choices, module, {.blockSize = 512});
        script.settings.openTwice = twice;
        hostile::ScriptRun const run = hostile::runModuleScript(factory(), module, script);
        reportViolations(run.violations, twice ? "opened twice" : "opened once");
        return run.observed;
    };
    if (isAudioSide(module))
        EXPECT_TRUE(audioObservation(false) == audioObservation(true));
    else
        EXPECT_EQ(guiTranscript(false), guiTranscript(true));
}

INSTANTIATE_TEST_SUITE_P(EveryModule, ModuleLifecycle, testing::ValuesIn(allModules()), moduleName);

} // namespace
} // namespace zr::stress
