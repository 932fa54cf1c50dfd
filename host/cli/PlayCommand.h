#pragma once
// zrhost play: a patch run live as a JACK client (see host/realtime/PatchPlayer.h) until its
// --duration has played on the server's clock, the user stops it (Ctrl-C, SIGTERM), or the
// server goes away. At the end it says how long it played, the xruns the server reported and
// the DSP load it saw. [main thread]

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/cli/DemoCommand.h"

namespace zr::cli {

struct PlayRequest {
    std::filesystem::path patch;
    std::optional<double> duration;     // seconds; none: until stopped
    bool connect = true;                // to the playback ports, or to `connectTo`
    std::vector<std::string> connectTo; // full port names, in the order of the outputs
    std::optional<std::string> server;  // none: the default server
    std::string clientName = "zrhost";
    std::vector<std::string> settings;  // MODULE.PIN=VALUE, as render's --set
};

// Returns the exit status: 0 after playing until the end or a stop; 1 when the server went
// away while playing. Throws (with one message) when there is no server, the patch does not
// load or a port cannot be connected.
int runPlay(BundleFiles const& files, PlayRequest const& request);

} // namespace zr::cli
