// Every audio-side module × block sizes × sample rates × seeds of hostile event lists and
// values, one test case per module identifier. The default matrix keeps CI short; set
// ZR_STRESS_SEEDS (default 3) and ZR_STRESS_BLOCKS (blocks per script, default 6) for larger
// runs by hand. Odd seeds also send NaN and infinities, even seeds only finite values.
// ZR_STRESS_REDUCED=1 keeps every module but fewer block sizes, three rates and two seeds,
// for runs under valgrind.

#include <cstdint>
#include <string>
#include <vector>

#include "testing/hostile/HostileValues.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

using hostile::ModuleScript;

constexpr int kMaxReportedScripts = 5;

// `check` given the script of each block size, rate and seed, with the choices that made it,
// until kMaxReportedScripts scripts have failed.
template <typename Check>
void forEachScript(host::ModuleDescription const& module, Check check) {
    bool const reduced = environmentNumber("ZR_STRESS_REDUCED", 0) != 0;
    int const seeds = environmentNumber("ZR_STRESS_SEEDS", reduced ? 2 : 3);
    auto const blockSizes = reduced ? std::vector<int32_t>{0, 1, 3, 7, 17, 64, 512, 2027, 4096}
                                    : std::vector<int32_t>{0, 1, 2, 3, 7, 16, 17, 64, 511, 512, 2027, 4096};
    auto const rates = reduced ? std::vector<float>{8000.0f, 44100.0f, 192000.0f}
                               : std::vector<float>{8000.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
    int const maxBlocks = environmentNumber("ZR_STRESS_BLOCKS", 6);
    int failedScripts = 0;
    for (int32_t blockSize : blockSizes) {
        for (float rate : rates) {
            for (int seed = 0; seed < seeds; ++seed) {
                hostile::SeededChoices choices(seedOf(module, static_cast<uint64_t>(seed), static_cast<uint64_t>(blockSize),
                                                      static_cast<uint64_t>(rate)));
                ModuleScript script = hostile::chooseScript(
                    choices, module,
                    {.wellFormed = true, .allowNonFinite = seed % 2 == 1, .blockSize = blockSize, .maxBlocks = maxBlocks});
                script.settings.sampleRate = rate;
                std::string const context = "block size " + std::to_string(blockSize) + ", sample rate " +
                                            std::to_string(static_cast<int>(rate)) + ", seed " + std::to_string(seed);
                if (!check(script, choices, context) && ++failedScripts >= kMaxReportedScripts)
                    return;
            }
        }
    }
}

class ModuleStress : public testing::TestWithParam<host::ModuleDescription> {};

TEST_P(ModuleStress, HostileScriptsKeepEveryProperty) {
    forEachScript(GetParam(), [&](ModuleScript const& script, hostile::Choices&, std::string const& context) {
        return reportViolations(hostile::runModuleScript(factory(), GetParam(), script, true).violations, context);
    });
}

TEST_P(ModuleStress, RepeatedAndSplitRunsGiveIdenticalOutput) {
    host::ModuleDescription const& module = GetParam();
    forEachScript(module, [&](ModuleScript const& script, hostile::Choices& choices, std::string const& context) {
        ModuleScript const split = hostile::splitBlocks(script, choices);
        auto observe = [&](ModuleScript const& run, std::string const& how) {
            hostile::ScriptRun const result = hostile::runModuleScript(factory(), module, run);
            reportViolations(result.violations, context + how);
            return result.observed;
        };
        hostile::Observation const first = observe(script, "");
        bool const repeatable = first == observe(script, ", repeated");
        bool const splittable = first == observe(split, ", blocks split");
        EXPECT_TRUE(repeatable) << context << ": two runs of one script differ";
        EXPECT_TRUE(splittable) << context << ": cutting blocks in two changed what the module sent";
        return repeatable && splittable;
    });
}

INSTANTIATE_TEST_SUITE_P(AudioSide, ModuleStress, testing::ValuesIn(audioSideModules()), moduleName);

// Instances whose host gave the repeatable input two and three copies (the morpher then
// blends instead of passing its one input through).
std::vector<host::ModuleDescription> withRepeatedInputs() {
    std::vector<host::ModuleDescription> instances;
    for (host::ModuleDescription const& module : audioSideModules())
        if (module.repeatablePin() != nullptr)
            for (int32_t copies : {2, 3})
                instances.push_back(module.withRepeatedPin(copies));
    return instances;
}

std::string nameWithPinCount(testing::TestParamInfo<host::ModuleDescription> const& info) {
    return moduleName(info) + "_" + std::to_string(info.param.pins.size()) + "_pins";
}

INSTANTIATE_TEST_SUITE_P(RepeatedInputs, ModuleStress, testing::ValuesIn(withRepeatedInputs()), nameWithPinCount);

// The scripts' own bookkeeping, which the finiteness property rests on: a block marked finite
// hands every float-carrying pin only finite words, appended bytes included.
TEST(HostileScript, BlocksMarkedFiniteDeliverOnlyFiniteNumbers) {
    host::ModuleDescription const& morpher = *test::descriptions().find(L"ZR_ShapeMorpher2");
    for (uint64_t seed = 0; seed < 1000; ++seed) {
        hostile::SeededChoices choices(seed * 0x9E3779B97F4A7C15u);
        for (hostile::BlockScript const& block : hostile::chooseScript(choices, morpher, {.allowNonFinite = false}).blocks) {
            for (host::RawEvent const& event : block.events) {
                bool const carriesFloats = event.pin == 1 || event.pin == 2; // Position, Shape
                EXPECT_TRUE(!block.finite || !carriesFloats || hostile::onlyFiniteWords(hostile::deliveredBytes(event)))
                    << "seed " << seed << ", pin " << event.pin;
            }
        }
    }
}

} // namespace
} // namespace zr::stress
