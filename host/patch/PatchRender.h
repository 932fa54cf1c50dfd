#pragma once
// Runs a loaded patch offline from start to end: block by block, with the audio sources
// filled in, the timed pin changes delivered at their samples, and each block's outputs
// handed on as soon as the block is done, so that memory stays bounded by the patch
// whatever the duration.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "host/patch/PatchFile.h"

namespace zr::host {

// Called after each block with the samples done so far and the total.
using RenderProgress = std::function<void(int64_t done, int64_t total)>;

// Called after each block with one pointer per output (in the order of `loaded.outputs`),
// each to `count` samples that stay valid until the call returns.
using BlockSink = std::function<void(std::span<float const* const> outputs, int32_t count)>;

// Runs the whole patch, handing every block to `sink`; the blocks add up to
// `loaded.totalSamples` samples per output. Exceptions from `sink` or `progress` end the
// render and propagate.
void renderPatch(LoadedPatch& loaded, BlockSink const& sink, RenderProgress const& progress = {});

// The same, collected into memory: one vector of samples per output, each `totalSamples`
// long. For short renders and tests; memory grows with duration × outputs.
std::vector<std::vector<float>> renderPatch(LoadedPatch& loaded, RenderProgress const& progress = {});

} // namespace zr::host
