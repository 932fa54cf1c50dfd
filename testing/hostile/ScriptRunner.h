#pragma once
// Runs a module script as a host would and checks, after every block, what must hold for any
// module whatever it is sent:
// - process returns 0, and the module sends pin values only at samples inside the block;
// - the block function writes only the samples of the block (guards around every output)
//   and never writes to an input buffer;
// - outputs (samples, float and blob values) are finite while every number sent so far was;
// - optionally, an output the module declared static holds one value until the next event
//   or declaration (needs a well-formed script, whose inputs hold still while not streaming).
// What a host saw is kept as an Observation, so that two runs can be compared.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/AudioModule.h"
#include "host/EventQueue.h"
#include "host/ModuleDescription.h"
#include "testing/hostile/GuardedBuffer.h"
#include "testing/hostile/ModuleScript.h"

namespace zr::hostile {

struct Observation {
    // Per audio output: every sample as a host presents it (a sample the module did not write
    // repeats the one before, as for a sleeping module).
    std::map<int32_t, std::vector<float>> outputs;
    // Every pin value and streaming state sent, at its sample counted from the start of the
    // run ("open" for calls outside any block).
    std::vector<std::string> sent;

    // Bitwise: NaN samples compare by their bits.
    bool operator==(Observation const& other) const;
};

class ScriptRunner {
public:
    ScriptRunner(gmpi::IMpFactory2& factory, host::ModuleDescription const& module, RunSettings const& settings,
                 bool checkStaticOutputs = false);
    ~ScriptRunner();
    ScriptRunner(ScriptRunner const&) = delete;
    ScriptRunner& operator=(ScriptRunner const&) = delete;

    // Off: no Observation is kept (faster, for runs that compare nothing).
    void recordObservation(bool record) { record_ = record; }
    void run(BlockScript const& block);
    void runAll(ModuleScript const& script);
    // Releases the module; it must give back every reference to the host it took.
    void release();

    Observation const& observation() const { return observation_; }
    std::vector<std::string> const& violations() const { return violations_; }

private:
    struct Output {
        int32_t pin;
        GuardedBuffer buffer;
        float held = 0.0f;         // the last sample a host presents
        bool declaredStatic = false;
        bool haveSample = false;
    };
    struct Input {
        int32_t pin;
        GuardedBuffer buffer;
    };

    void violation(std::string const& what);
    void connect();
    int32_t processBlock(BlockScript const& block, gmpi::MpEvent const* list);
    void checkInputs(std::vector<std::vector<float>> const& before);
    void checkOutputs(BlockScript const& block, std::size_t firstRecord);
    void checkSentValues(BlockScript const& block, std::size_t firstRecord);

    host::ModuleDescription module_;
    std::unique_ptr<host::AudioModule> runner_;
    host::EventQueue events_;
    std::vector<Input> inputs_;
    std::vector<Output> outputs_;
    Observation observation_;
    std::vector<std::string> violations_;
    bool checkStatic_;
    bool record_ = true;
    bool finiteSoFar_ = true;
    bool changeCarried_ = false; // an empty block applied events or declarations
    int64_t blockIndex_ = 0;
    int64_t firstSampleOfBlock_ = 0;
    std::size_t recordsSeen_ = 0; // host records already checked and observed
};

struct ScriptRun {
    Observation observed; // empty unless observed
    std::vector<std::string> violations;
};

// `script` run on a fresh instance of `module` behind the host its settings describe, then
// released: what a host saw and what broke. The stress tests and the fuzz target both run
// their scripts through here.
ScriptRun runModuleScript(gmpi::IMpFactory2& factory, host::ModuleDescription const& module, ModuleScript const& script,
                          bool checkStaticOutputs = false, bool observe = true);

} // namespace zr::hostile
