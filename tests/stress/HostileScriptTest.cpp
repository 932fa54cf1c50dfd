// The hostile scripts' own bookkeeping, which the stress properties rest on: a block marked
// finite hands every float-carrying pin only finite words, appended bytes included.

#include "host/hostile/Choices.h"
#include "host/hostile/HostileValues.h"
#include "tests/stress/StressSupport.h"

namespace zr::stress {
namespace {

TEST(HostileScript, BlocksMarkedFiniteDeliverOnlyFiniteNumbers) {
    host::ModuleDescription const& morpher = *test::descriptions().find(L"ZR_ShapeMorpher2");
    hostile::ScriptStyle style;
    style.allowNonFinite = false;
    for (uint64_t seed = 0; seed < 1000; ++seed) {
        hostile::SeededChoices choices(seed * 0x9E3779B97F4A7C15u);
        for (hostile::BlockScript const& block : hostile::chooseScript(choices, morpher, style).blocks) {
            if (!block.finite)
                continue;
            for (host::RawEvent const& event : block.events) {
                bool const carriesFloats = event.pin == 1 || event.pin == 2; // Position, Shape
                EXPECT_TRUE(!carriesFloats || hostile::onlyFiniteWords(hostile::deliveredBytes(event)))
                    << "seed " << seed << ", pin " << event.pin;
            }
        }
    }
}

} // namespace
} // namespace zr::stress
