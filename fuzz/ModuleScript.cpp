// Fuzz target: hostile hosts driving audio-side modules. The bytes choose the module (every
// audio-side identifier in the module descriptions), the host's sample rate, countdown and
// refusals, the block sizes, and per block the event list (times at block edges, shared
// timestamps, out-of-order lists, unknown pins and types, wrong sizes, inline and external
// data) and the input samples, with NaN, infinities, the float extremes and subnormals
// among values and samples.
// Oracle (ScriptRunner): every call returns; process answers 0; the block function writes
// no sample outside the block on any output (guard samples) and none of an input buffer;
// outputs stay finite while every number sent was finite; pin values go out only at samples
// of the block and only on outputs; an output declared static holds still (well-formed
// scripts); the released module gives back every host reference.

#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/LinkedBundle.h"
#include "host/ModuleDescriptions.h"
#include "sdk/Interfaces.h"
#include "testing/hostile/Choices.h"
#include "testing/hostile/ModuleScript.h"
#include "testing/hostile/ScriptRunner.h"

using namespace zr::hostile;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    ByteChoices choices(data, size);
    zr::host::ModuleDescription const* const picked = zr::fuzz::pickModule<audioSideModules>(choices, size);
    if (picked == nullptr)
        return 0;
    zr::host::ModuleDescription const& module = *picked;
    ScriptStyle style;
    style.wellFormed = choices.oneIn(2);
    style.allowNonFinite = !choices.oneIn(3);
    style.hostileHost = !choices.oneIn(3);
    style.maxBlocks = 16;
    style.maxEventsPerBlock = 24;
    ModuleScript const script = chooseScript(choices, module, style);

    ScriptRun const run = runModuleScript(zr::fuzz::linkedFactory(), module, script, style.wellFormed, false);
    FUZZ_CHECK(run.violations.empty(), zr::fuzz::joined(run.violations));
    return 0;
}
