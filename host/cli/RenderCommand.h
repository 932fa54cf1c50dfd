#pragma once
// `zrhost render`: runs a patch file offline into a WAV file, and optionally a picture of
// the waveforms.

#include <filesystem>
#include <optional>
#include <vector>

#include "host/cli/DemoCommand.h"
#include "host/patch/PatchFile.h"

namespace zr::host {
class Bundle;
class ModuleDescriptions;
} // namespace zr::host

namespace zr::cli {

struct RenderRequest {
    std::filesystem::path patch;
    std::filesystem::path output;
    std::optional<std::filesystem::path> plot;
    host::PatchOverrides overrides; // -r, --duration, --set
    bool verbose = false;           // also say what was converted on the way in
};

struct Rendered {
    host::LoadedPatch loaded; // after the last block, for a look at what the modules sent
    std::vector<std::vector<float>> channels;
};

// Checks that the outputs can be written, loads and renders the patch (a progress bar on
// stderr when it is a terminal), then writes the files, each complete or not at all.
// Throws std::exception with one message naming the place on any failure.
Rendered renderToFiles(host::Bundle& bundle, host::ModuleDescriptions const& descriptions, RenderRequest const& request);

// Returns the process exit code.
int runRender(BundleFiles const& files, RenderRequest const& request);

} // namespace zr::cli
