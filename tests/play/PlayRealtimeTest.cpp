// The process callback of a patch playing live allocates, frees and locks nothing, counting
// everything on the audio thread inside it (the host's work included), over many periods of
// timed changes, MIDI notes and controllers, and shapes sent from another thread.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <new>
#include <thread>

#include <nlohmann/json.hpp>

#include "host/realtime/PatchPlayer.h"
#include "testing/BuiltBundle.h"
#include "testing/TemporaryFolder.h"
#include "testing/jack/JackServer.h"
#include "testing/jack/JackTestClients.h"
#include "testing/realtime/RealtimeProbe.h"

namespace zr::test {
namespace {

using namespace std::chrono_literals;
using host::RealtimeProbe;

// Opens a Region on the audio thread for each callback once counting is on, and adds up what
// it counted.
struct CallbackCounts {
    std::atomic<bool> counting{false};
    std::atomic<int64_t> periods{0};
    std::atomic<int64_t> allocations{0};
    std::atomic<int64_t> frees{0};
    std::atomic<int64_t> locks{0};
};

alignas(RealtimeProbe::Region) thread_local unsigned char regionStorage[sizeof(RealtimeProbe::Region)];
thread_local bool regionOpen = false;

void enterCallback(void* context) {
    if (!static_cast<CallbackCounts*>(context)->counting.load())
        return;
    new (regionStorage) RealtimeProbe::Region(RealtimeProbe::Scope::HostToo);
    regionOpen = true;
}

void leaveCallback(void* context) {
    if (!regionOpen)
        return;
    auto* region = std::launder(reinterpret_cast<RealtimeProbe::Region*>(regionStorage));
    RealtimeProbe::Counts const counted = region->counts();
    region->~Region();
    regionOpen = false;
    auto& counts = *static_cast<CallbackCounts*>(context);
    counts.periods.fetch_add(1);
    counts.allocations.fetch_add(counted.allocations);
    counts.frees.fetch_add(counted.frees);
    counts.locks.fetch_add(counted.locks);
}

// The demo patch, driven by MIDI too: notes on its envelope's gate and its oscillator's pitch,
// controller 74 on the morph position.
std::filesystem::path demoWithMidi(TemporaryFolder const& folder) {
    std::ifstream demo(std::filesystem::path(ZR_EXAMPLES_DIR) / "shape-demo.json");
    nlohmann::ordered_json patch = nlohmann::ordered_json::parse(demo, nullptr, true, true);
    patch["midi"] = {{"notes", {{"gate", "envelope.Gate"}, {"pitch", "osc.Pitch"}}}, {"controllers", {{"74", "morph.Position"}}}};
    return folder.write("demo-midi.json", patch.dump());
}

// Notes, controllers and shapes of the sizes the patch holds, every few milliseconds.
void drive(JackSender& sender, host::PatchPlayer& player, host::Patch::PinHandle shapePin, std::chrono::milliseconds length) {
    std::vector<uint8_t> const shapes[] = {built::shapeImage({{0.0f, -1.0f}, {0.3f, 0.5f}, {0.6f, -0.5f}, {1.0f, 1.0f}}),
                                           built::shapeImage({{0.0f, -1.0f}, {0.2f, 0.9f}, {0.7f, -0.1f}, {1.0f, 1.0f}})};
    auto const end = std::chrono::steady_clock::now() + length;
    for (uint8_t step = 0; std::chrono::steady_clock::now() < end; ++step) {
        uint32_t const at = sender.now() + 1000;
        uint8_t const note = static_cast<uint8_t>(48 + step % 24);
        sender.send({{at, {0x90, note, 100}}, {at + 37, {0xB0, 74, static_cast<uint8_t>(step % 128)}}, {at + 300, {0x80, note, 0}}});
        player.sendValue(shapePin, shapes[step % 2]);
        std::this_thread::sleep_for(10ms);
    }
}

TEST(PlayRealtime, TheProcessCallbackAllocatesFreesAndLocksNothing) {
    TemporaryFolder folder("zrhost-play-realtime");
    JackServer server(64);
    JackSender sender(server, "keys");
    host::JackClient client({"player", server.name()});
    host::PatchOverrides overrides;
    overrides.sampleRate = static_cast<double>(client.sampleRate());
    overrides.duration = 60.0;
    host::LivePatch live(host::loadPatchFile(built::bundle(), built::descriptions(), demoWithMidi(folder), overrides));
    host::PatchPlayer player(client, live);
    CallbackCounts counts;
    player.observe({enterCallback, leaveCallback, &counts});
    player.start();
    player.connectOutputs({"system:playback_1"});
    client.connect(sender.portName(), "player:midi_in");
    player.play();
    host::Patch::PinHandle const shapePin = live.handle("morph", "Shape 2");
    drive(sender, player, shapePin, 300ms); // every kind of value has come once: the steady state
    counts.counting = true;
    drive(sender, player, shapePin, 1500ms);
    counts.counting = false;
    EXPECT_GT(counts.periods.load(), 500) << "the callback ran while counted";
    EXPECT_EQ(counts.allocations.load(), 0);
    EXPECT_EQ(counts.frees.load(), 0);
    EXPECT_EQ(counts.locks.load(), 0);
    EXPECT_EQ(live.droppedEvents(), 0);
    EXPECT_GT(player.framesPlayed(), static_cast<int64_t>(client.sampleRate())) << "the patch played";
}

} // namespace
} // namespace zr::test
