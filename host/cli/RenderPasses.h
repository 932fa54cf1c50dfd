#pragma once
// The ways a render reaches its file, one block at a time so that memory stays bounded by
// the patch: one pass with a fixed gain, or two passes for normalizing (the first into a
// temporary 32-bit float file, the second reading it back scaled to the wanted peak).

#include <cstdint>
#include <functional>

#include "host/patch/PatchRender.h"

namespace zr::cli {

class OutputFile;

// Receives interleaved frames, in order, as the written file will hold them.
using FrameSink = std::function<void(float const* interleaved, int64_t frames)>;

// Renders the patch, every block interleaved and multiplied by `gain`.
void renderScaled(host::LoadedPatch& loaded, float gain, FrameSink const& sink, host::RenderProgress const& progress);

// Renders the patch into a temporary float file beside `output` (see OutputFile::scratchFolder),
// then hands it to `sink` multiplied by the gain that brings its peak to `peak` (linear, full
// scale 1.0); a silent render stays silent. Gives that gain. Throws as OutputFile::fail does
// when the temporary file cannot be written or read.
float renderNormalized(host::LoadedPatch& loaded, double peak, OutputFile& output, FrameSink const& sink,
                       host::RenderProgress const& progress);

} // namespace zr::cli
