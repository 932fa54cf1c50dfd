#pragma once
// Writes audio to a WAV file, so that a user can listen to what the modules made.

#include <filesystem>
#include <vector>

namespace zr::cli {

// 16-bit PCM at `sampleRate`, one channel per vector (all of one length); a sample of 1.0
// is full scale and louder samples are clipped. Throws std::runtime_error naming the path
// and the reason on failure.
void writeWav(std::filesystem::path const& path, std::vector<std::vector<float>> const& channels, int sampleRate);

} // namespace zr::cli
