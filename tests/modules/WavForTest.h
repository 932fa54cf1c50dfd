#pragma once
// A mono 16-bit PCM WAV writer of its own, so that an outside tool can measure what a module
// rendered without sharing any code with the host's writer.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace zr::test {

inline void writeTestWav(std::filesystem::path const& path, std::vector<float> const& samples, uint32_t sampleRate) {
    auto const dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::ofstream file(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { file.write(reinterpret_cast<char const*>(&v), 4); };
    auto u16 = [&](uint16_t v) { file.write(reinterpret_cast<char const*>(&v), 2); };
    file.write("RIFF", 4);
    u32(36 + dataBytes);
    file.write("WAVEfmt ", 8);
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(sampleRate);
    u32(sampleRate * 2);
    u16(2);
    u16(16);
    file.write("data", 4);
    u32(dataBytes);
    for (float sample : samples)
        u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f))));
}

inline bool soxIsInstalled() { return std::system("command -v sox >/dev/null 2>&1") == 0; }

// sox's "Rough frequency" of a WAV file, or nothing when sox gives none.
inline std::optional<double> soxRoughFrequency(std::filesystem::path const& path) {
    std::string const command = "sox '" + path.string() + "' -n stat 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::optional<double> frequency;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string const text(line);
        if (text.rfind("Rough", 0) == 0)
            frequency = std::atof(text.substr(text.find(':') + 1).c_str());
    }
    pclose(pipe);
    return frequency;
}

} // namespace zr::test
