#include "host/cli/PlayCommand.h"

#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <thread>

#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "host/cli/Messages.h"
#include "host/cli/StopSignals.h"
#include "host/realtime/MemoryLock.h"
#include "host/realtime/PatchPlayer.h"

namespace zr::cli {
namespace {

// How often the main thread looks at the flags: a stop takes at most this long to notice.
constexpr auto kPollInterval = std::chrono::milliseconds(10);
// The patch's timeline when no --duration bounds it: a day, the longest a patch takes.
constexpr double kUnboundedSeconds = 86400.0;

struct LoadSeen {
    double sum = 0.0;
    double highest = 0.0;
    int64_t samples = 0;

    void note(float percent) {
        sum += percent;
        highest = std::max(highest, static_cast<double>(percent));
        ++samples;
    }
    double average() const { return samples == 0 ? 0.0 : sum / static_cast<double>(samples); }
};

enum class Ending { Played, Stopped, ServerGone };

// `frames`: where to stop on the patch's clock.
Ending playUntilDone(host::JackClient& client, host::PatchPlayer& player, int64_t frames, LoadSeen& load) {
    while (true) {
        if (client.serverGone())
            return Ending::ServerGone;
        if (stopRequested())
            return Ending::Stopped;
        if (player.framesPlayed() >= frames)
            return Ending::Played;
        load.note(client.cpuLoad());
        std::this_thread::sleep_for(kPollInterval);
    }
}

void reportRun(host::JackClient const& client, host::PatchPlayer const& player, LoadSeen const& load) {
    report("played %.2f s; xruns: %lld; DSP load (server): average %.1f %%, highest %.1f %%; "
           "callback: average %.1f %%, highest %.1f %% of a period",
           static_cast<double>(player.framesPlayed()) / client.sampleRate(), static_cast<long long>(client.xruns()),
           load.average(), load.highest, player.averageLoad() * 100.0, player.highestLoad() * 100.0);
}

} // namespace

int runPlay(BundleFiles const& files, PlayRequest const& request) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    host::JackClient client({request.clientName, request.server});
    host::PatchOverrides overrides;
    overrides.sampleRate = client.sampleRate();
    overrides.duration = request.duration.value_or(kUnboundedSeconds);
    overrides.settings = request.settings;
    overrides.warnPastTheEnd = false;
    host::LoadedPatch loaded = host::loadPatchFile(bundle, descriptions, request.patch, overrides);
    for (std::string const& warning : loaded.warnings)
        std::fprintf(stderr, "zrhost: warning: %s\n", warning.c_str());
    int64_t const frames = request.duration ? loaded.totalSamples : std::numeric_limits<int64_t>::max();
    host::LivePatch live(std::move(loaded));
    host::PatchPlayer player(client, live);
    catchStopSignals();
    player.start();
    if (request.connect)
        player.connectOutputs(request.connectTo);
    player.play();
    if (std::optional<std::string> const why = host::lockMappedMemory())
        detail("memory not locked: %s", why->c_str());
    detail("playing %s at %u Hz, periods of %u frames, as %s", request.patch.c_str(), client.sampleRate(),
           client.periodFrames(), jack_get_client_name(client.handle()));
    LoadSeen load;
    Ending const ending = playUntilDone(client, player, frames, load);
    reportRun(client, player, load);
    if (ending == Ending::ServerGone) {
        std::fprintf(stderr, "zrhost: the JACK server stopped while playing\n");
        return 1;
    }
    return 0;
}

} // namespace zr::cli
