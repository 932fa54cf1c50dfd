#pragma once
// The progress line of a render on stderr: a bar, the share done, the time elapsed, the speed
// as a multiple of real time and the time left. Only when stderr is a terminal and not -q:
// a log or a pipe gets nothing.

#include "host/patch/PatchRender.h"

namespace zr::cli {

// Empty when no line is shown. The line is redrawn at most ten times a second and ends with a
// newline when the render is done.
host::RenderProgress progressBar(float sampleRate);

} // namespace zr::cli
