#pragma once
// The header of a WAV file written into a stream (standard output, a pipe, a device). A
// stream cannot go back to fill in the sizes, so they come from the frame count known before
// the first sample. Beyond what a RIFF size holds (4 GiB), both sizes are 0xFFFFFFFF, which
// pipe readers take as "until the stream ends".

#include <cstdint>
#include <string>

#include "host/cli/AudioFormat.h"

namespace zr::cli {

// The bytes before the samples: integers as PCM, floats as IEEE float with a fact chunk.
std::string wavStreamHeader(int channels, int sampleRate, SampleDepth depth, int64_t frames);

// The padding after the samples: RIFF chunks have even sizes, so 1 byte after an odd count.
int wavStreamPadding(int channels, SampleDepth depth, int64_t frames);

} // namespace zr::cli
