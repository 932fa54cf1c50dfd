#include "host/cli/WavStreamHeader.h"

#include <limits>

namespace zr::cli {
namespace {

constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kFloatTag = 3;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

void put16(std::string& bytes, uint16_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
}

void put32(std::string& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
}

uint32_t sizeOrUnknown(int64_t size) {
    return size > static_cast<int64_t>(std::numeric_limits<uint32_t>::max()) ? kUnknownSize : static_cast<uint32_t>(size);
}

} // namespace

int wavStreamPadding(int channels, SampleDepth depth, int64_t frames) {
    return static_cast<int>((frames * channels * bytesPerSample(depth)) % 2);
}

std::string wavStreamHeader(int channels, int sampleRate, SampleDepth depth, int64_t frames) {
    bool const floats = depth == SampleDepth::Float32;
    int const sampleBytes = bytesPerSample(depth);
    int64_t const dataSize = frames * channels * sampleBytes;
    uint32_t const formatSize = floats ? 18 : 16; // a non-PCM format carries an extension size
    uint32_t const factSize = floats ? 12 : 0;    // and a fact chunk with the frame count
    int64_t const riffSize = 4 + (8 + formatSize) + factSize + 8 + dataSize + wavStreamPadding(channels, depth, frames);
    bool const tooLarge = riffSize > static_cast<int64_t>(std::numeric_limits<uint32_t>::max());

    std::string bytes = "RIFF";
    put32(bytes, tooLarge ? kUnknownSize : static_cast<uint32_t>(riffSize));
    bytes += "WAVEfmt ";
    put32(bytes, formatSize);
    put16(bytes, floats ? kFloatTag : kPcmTag);
    put16(bytes, static_cast<uint16_t>(channels));
    put32(bytes, static_cast<uint32_t>(sampleRate));
    put32(bytes, static_cast<uint32_t>(sampleRate * channels * sampleBytes));
    put16(bytes, static_cast<uint16_t>(channels * sampleBytes));
    put16(bytes, static_cast<uint16_t>(sampleBytes * 8));
    if (floats) {
        put16(bytes, 0);
        bytes += "fact";
        put32(bytes, 4);
        put32(bytes, sizeOrUnknown(frames));
    }
    bytes += "data";
    put32(bytes, tooLarge ? kUnknownSize : static_cast<uint32_t>(dataSize));
    return bytes;
}

} // namespace zr::cli
