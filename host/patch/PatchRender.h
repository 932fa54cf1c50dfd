#pragma once
// Runs a loaded patch offline from start to end: block by block, with the audio sources
// filled in, the timed pin changes delivered at their samples, and the outputs collected.

#include <cstdint>
#include <functional>
#include <vector>

#include "host/patch/PatchFile.h"

namespace zr::host {

// Called after each block with the samples done so far and the total.
using RenderProgress = std::function<void(int64_t done, int64_t total)>;

// One vector of samples per output, each `totalSamples` long.
std::vector<std::vector<float>> renderPatch(LoadedPatch& loaded, RenderProgress const& progress = {});

} // namespace zr::host
