#pragma once
// `zrhost render`: runs a patch file offline into an audio file (WAV, FLAC or AIFF), block by
// block in constant memory, and optionally a picture of the waveforms (PNG, SVG or PDF).

#include <filesystem>
#include <optional>
#include <string>

#include "host/cli/AudioFormat.h"
#include "host/cli/DemoCommand.h"
#include "host/cli/LevelMeter.h"
#include "host/patch/PatchFile.h"

namespace zr::host {
class Bundle;
class ModuleDescriptions;
} // namespace zr::host

namespace zr::cli {

struct RenderRequest {
    std::filesystem::path patch;  // "-" reads it from standard input
    std::filesystem::path output; // "-" writes to standard output
    std::optional<std::filesystem::path> plot;
    host::PatchOverrides overrides;           // -r, --duration, --set
    std::optional<std::string> format;        // "wav", "flac" or "aiff"; else the output's extension
    std::string bits = "16";                  // "16", "24" or "32f"
    double gainDecibels = 0.0;                // applied to every sample before writing
    std::optional<double> normalizeDecibels;  // the peak to scale to, in dBFS (at most 0); replaces the gain
};

struct Rendered {
    host::LoadedPatch loaded; // after the last block, for a look at what the modules sent
    AudioFormat format;
    LevelMeter levels;        // of the samples as written (after the gain)
    double gain = 1.0;        // the factor applied: from --gain, or found by --normalize
};

// Checks that the outputs can be written, loads and renders the patch (a progress line on
// stderr when it is a terminal), writing the audio and the picture as the blocks come; each
// file is complete or not there at all (an older one stays as it was). Throws std::exception
// with one message naming the place on any failure.
Rendered renderToFiles(host::Bundle& bundle, host::ModuleDescriptions const& descriptions, RenderRequest const& request);

// Renders, then reports the length, the levels (peak in dBFS, samples beyond full scale) and
// the files written, unless -q. Returns the process exit code.
int runRender(BundleFiles const& files, RenderRequest const& request);

} // namespace zr::cli
