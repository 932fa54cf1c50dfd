// Every identifier in the module descriptions, created and released the ways a host may:
// a thousand times over, without ever receiving a host, and opened twice.

#include "host/AudioHost.h"
#include "host/hostile/Choices.h"
#include "host/hostile/ScriptRunner.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

constexpr int kCycles = 1000;

class ModuleLifecycle : public testing::TestWithParam<host::ModuleDescription> {};

bool isAudioSide(host::ModuleDescription const& module) { return module.subType == 0; }

// createInstance2 for any module; createInstance with a host for audio-side ones, which are
// then opened and run for one block.
TEST_P(ModuleLifecycle, CreatedAndReleasedAThousandTimes) {
    host::ModuleDescription const& module = GetParam();
    host::AudioHost audioHost;
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
        ASSERT_EQ(instance->release(), 0) << "cycle " << cycle << ": references left";
        ASSERT_EQ(audioHost.referenceCount(), 0) << "cycle " << cycle << ": host references kept";
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
    }
    EXPECT_EQ(instance->release(), 0);
}

// Opening twice changes nothing a host can see.
TEST_P(ModuleLifecycle, OpenedTwiceRunsAsOpenedOnce) {
    host::ModuleDescription const& module = GetParam();
    if (!isAudioSide(module))
        GTEST_SKIP() << "only audio-side modules are opened";
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
