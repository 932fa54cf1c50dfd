// Every audio-side module × block sizes × sample rates × seeds of hostile event lists and
// values, one test case per module identifier. The default matrix keeps CI short; set
// ZR_STRESS_SEEDS (default 3) and ZR_STRESS_BLOCKS (blocks per script, default 6) for larger
// runs by hand. Odd seeds also send NaN and infinities, even seeds only finite values.
// ZR_STRESS_REDUCED=1 keeps every module but fewer block sizes, three rates and two seeds,
// for runs under valgrind.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/hostile/Choices.h"
#include "host/hostile/ScriptRunner.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

using hostile::ModuleScript;
using hostile::Observation;
using hostile::ScriptRunner;

constexpr std::array<int32_t, 12> kBlockSizes = {0, 1, 2, 3, 7, 16, 17, 64, 511, 512, 2027, 4096};
constexpr std::array<float, 5> kSampleRates = {8000.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
constexpr std::array<int32_t, 9> kReducedBlockSizes = {0, 1, 3, 7, 17, 64, 512, 2027, 4096};
constexpr std::array<float, 3> kReducedSampleRates = {8000.0f, 44100.0f, 192000.0f};
constexpr int kMaxReportedScripts = 5;

struct Combination {
    int32_t blockSize;
    float sampleRate;
    int seed;

    std::string text() const {
        return "block size " + std::to_string(blockSize) + ", sample rate " + std::to_string(static_cast<int>(sampleRate)) +
               ", seed " + std::to_string(seed);
    }
};

std::vector<Combination> matrix() {
    bool const reduced = environmentNumber("ZR_STRESS_REDUCED", 0) != 0;
    int const seeds = environmentNumber("ZR_STRESS_SEEDS", reduced ? 2 : 3);
    auto const blockSizes = reduced ? std::vector<int32_t>(kReducedBlockSizes.begin(), kReducedBlockSizes.end())
                                    : std::vector<int32_t>(kBlockSizes.begin(), kBlockSizes.end());
    auto const rates = reduced ? std::vector<float>(kReducedSampleRates.begin(), kReducedSampleRates.end())
                               : std::vector<float>(kSampleRates.begin(), kSampleRates.end());
    std::vector<Combination> combinations;
    for (int32_t blockSize : blockSizes)
        for (float rate : rates)
            for (int seed = 0; seed < seeds; ++seed)
                combinations.push_back({blockSize, rate, seed});
    return combinations;
}

uint64_t seedOf(host::ModuleDescription const& module, Combination const& combination) {
    uint64_t seed = static_cast<uint64_t>(combination.seed) * 1000003u + static_cast<uint64_t>(combination.blockSize) * 7919u +
                    static_cast<uint64_t>(combination.sampleRate);
    for (wchar_t c : module.id)
        seed = seed * 131u + static_cast<uint64_t>(c);
    return seed;
}

ModuleScript scriptFor(host::ModuleDescription const& module, Combination const& combination, hostile::Choices& choices) {
    hostile::ScriptStyle style;
    style.wellFormed = true;
    style.allowNonFinite = combination.seed % 2 == 1;
    style.blockSize = combination.blockSize;
    style.maxBlocks = environmentNumber("ZR_STRESS_BLOCKS", 6);
    ModuleScript script = hostile::chooseScript(choices, module, style);
    script.settings.sampleRate = combination.sampleRate;
    return script;
}

struct Run {
    Observation observed;
    bool clean;
};

// Runs `script` on a fresh instance; every broken property is reported as a failure.
Run runChecked(host::ModuleDescription const& module, ModuleScript const& script, std::string const& context,
               bool checkStatic) {
    ScriptRunner runner(factory(), module, script.settings, checkStatic);
    runner.runAll(script);
    runner.release();
    for (std::string const& violation : runner.violations())
        ADD_FAILURE() << context << ": " << violation;
    return {runner.observation(), runner.violations().empty()};
}

class ModuleStress : public PerModule {};

TEST_P(ModuleStress, HostileScriptsKeepEveryProperty) {
    host::ModuleDescription const& module = GetParam();
    int failedScripts = 0;
    for (Combination const& combination : matrix()) {
        hostile::SeededChoices choices(seedOf(module, combination));
        bool const clean = runChecked(module, scriptFor(module, combination, choices), combination.text(), true).clean;
        if (!clean && ++failedScripts >= kMaxReportedScripts)
            return;
    }
}

TEST_P(ModuleStress, RepeatedAndSplitRunsGiveIdenticalOutput) {
    host::ModuleDescription const& module = GetParam();
    int failedScripts = 0;
    for (Combination const& combination : matrix()) {
        hostile::SeededChoices choices(seedOf(module, combination));
        ModuleScript const script = scriptFor(module, combination, choices);
        ModuleScript const split = hostile::splitBlocks(script, choices);
        std::string const context = combination.text();
        Observation const first = runChecked(module, script, context, false).observed;
        bool const repeatable = first == runChecked(module, script, context + ", repeated", false).observed;
        bool const splittable = first == runChecked(module, split, context + ", blocks split", false).observed;
        EXPECT_TRUE(repeatable) << context << ": two runs of one script differ";
        EXPECT_TRUE(splittable) << context << ": cutting blocks in two changed what the module sent";
        if ((!repeatable || !splittable) && ++failedScripts >= kMaxReportedScripts)
            return;
    }
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

} // namespace
} // namespace zr::stress
