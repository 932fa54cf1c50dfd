// A patch runs on a live host's audio thread: once it has set aside room for its blocks, its
// blocks allocate, free and lock nothing, counting the host's own work (event lists, values
// carried along wires, the records of what modules send), while values change on every pin
// kind the demo patch has.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/patch/PatchFile.h"
#include "testing/BuiltBundle.h"
#include "testing/realtime/RealtimeProbe.h"

namespace zr::host {
namespace {

using Counts = RealtimeProbe::Counts;

std::vector<uint8_t> floatBytes(float value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// Blocks of 64 with a new morph position, a gate edge and a new morpher shape every few blocks.
Counts blocksWithChanges(LoadedPatch& loaded, int blocks) {
    Patch& patch = *loaded.patch;
    Patch::PinHandle const position = patch.handle("morph", "Position");
    Patch::PinHandle const gate = patch.handle("envelope", "Gate");
    Patch::PinHandle const shape = patch.handle("morph", "Shape 2");
    std::vector<std::vector<uint8_t>> const positions{floatBytes(0.25f), floatBytes(0.75f)};
    std::vector<uint8_t> const gateOn{1};
    std::vector<uint8_t> const gateOff{0};
    std::vector<std::vector<uint8_t>> const shapes{
        built::shapeImage({{0.0f, -1.0f}, {0.3f, 0.8f}, {0.6f, -0.2f}, {1.0f, 1.0f}}),
        built::shapeImage({{0.0f, -1.0f}, {0.2f, 0.1f}, {0.7f, -0.9f}, {1.0f, 1.0f}})};
    RealtimeProbe::Region region(RealtimeProbe::Scope::HostToo);
    for (int block = 0; block < blocks; ++block) {
        if (block % 3 == 0)
            patch.setBytes(position, block % 64, positions[static_cast<size_t>(block / 3) % 2]);
        if (block % 5 == 0)
            patch.setBytes(gate, 17, block % 10 == 0 ? gateOn : gateOff);
        if (block % 7 == 0)
            patch.setBytes(shape, 3, shapes[static_cast<size_t>(block / 7) % 2]);
        patch.process(64);
    }
    return region.counts();
}

TEST(PatchRealtime, ReservedBlocksAllocateFreeAndLockNothingCountingTheHost) {
    struct Case {
        char const* name;
        bool reserved;
        bool expectNone; // without the reservation the host's own work allocates
    } const cases[] = {{"room set aside", true, true}, {"no room set aside", false, false}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedPatch loaded =
            loadPatchFile(built::bundle(), built::descriptions(), std::filesystem::path(ZR_EXAMPLES_DIR) / "shape-demo.json");
        if (c.reserved)
            loaded.patch->reserveRealtime({});
        // The steady state: every value has come once, so the modules' pins hold their sizes.
        blocksWithChanges(loaded, 100);
        Counts const counted = blocksWithChanges(loaded, 400);
        if (c.expectNone) {
            EXPECT_EQ(counted.allocations, 0);
            EXPECT_EQ(counted.frees, 0);
            EXPECT_EQ(counted.locks, 0);
            EXPECT_EQ(loaded.patch->droppedEvents(), 0);
        } else {
            EXPECT_GT(counted.allocations, 0);
        }
    }
}

} // namespace
} // namespace zr::host
