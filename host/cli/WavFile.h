#pragma once
// Writes audio to a WAV file, so that a user can listen to what the modules made.

#include <filesystem>
#include <vector>

namespace zr::cli {

// Mono 16-bit PCM at `sampleRate`; a sample of 1.0 is full scale and louder samples are
// clipped. Throws std::runtime_error naming the path and the reason on failure.
void writeWav(std::filesystem::path const& path, std::vector<float> const& samples, int sampleRate);

} // namespace zr::cli
