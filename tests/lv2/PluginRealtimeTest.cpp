// run() of every plug-in under the real-time probe: no allocation, free or lock, whatever the
// block size and whatever arrives in the block (notes, control changes, shape requests and
// answers, a new shape from the worker applied).

#include <gtest/gtest.h>

#include "testing/realtime/RealtimeProbe.h"
#include "tests/lv2/PluginCases.h"

namespace zr::test {
namespace {

using Counts = host::RealtimeProbe::Counts;

class PluginRealtime : public ::testing::TestWithParam<PluginCase> {
protected:
    LilvTestWorld world_{lv2Path()};
};

std::string manyNodes() {
    std::string text;
    for (int node = 0; node < 100; ++node)
        text += "(" + std::to_string(-5.0 + node * 10.0 / 99.0) + "," + (node % 2 ? "3" : "-3") + ")";
    return text;
}

// What a busy block carries: a note, a changed control, a request for every shape.
void queueBusyBlock(PluginInstance& plugin, PluginCase const& tested, uint32_t frames, int round) {
    uint32_t const middle = frames / 2;
    plugin.midi(middle, {static_cast<uint8_t>(round % 2 ? 0x80 : 0x90), 64, 90});
    for (std::string const& key : tested.shapes)
        plugin.patchGet(middle, key);
    plugin.setControl(tested.instrument ? "wave_interpolation" : "interpolation", round % 2 ? 30.0f : 10.0f);
}

TEST_P(PluginRealtime, RunNeverAllocatesOrLocks) {
    PluginCase const& tested = GetParam();
    for (uint32_t frames : {1u, 64u, 512u, 513u, 4096u, 8192u}) {
        SCOPED_TRACE("block size " + std::to_string(frames));
        PluginInstance plugin(world_, tested.uri);
        excite(plugin, tested);
        for (int round = 0; round < 6; ++round) {
            fillInputs(plugin, 0, frames);
            queueBusyBlock(plugin, tested, frames, round);
            // A new shape every other block: the worker's answer is applied in the next run.
            // Among them the most nodes a shape may have, more than the plug-in started with.
            if (round % 2 == 0)
                plugin.patchSetString(0, tested.shapes.front(), round == 2 ? manyNodes() : "(-5,-5)(0,4)(5,-5)");
            Counts counts;
            {
                host::RealtimeProbe::Region region;
                plugin.runOnly(frames);
                counts = region.counts();
            }
            // The test host's own scheduling copies requests; it is not the plug-in's.
            plugin.work();
            SCOPED_TRACE("round " + std::to_string(round));
            EXPECT_EQ(counts.allocations, 0);
            EXPECT_EQ(counts.frees, 0);
            EXPECT_EQ(counts.locks, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPlugin, PluginRealtime, ::testing::ValuesIn(pluginCases()),
                         [](::testing::TestParamInfo<PluginCase> const& info) { return info.param.name; });

} // namespace
} // namespace zr::test
