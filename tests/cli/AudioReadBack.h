#pragma once
// Audio files written and read back with libsndfile, independently of how zrhost reads and
// writes them.

#include <sndfile.h>

#include <filesystem>
#include <vector>

namespace zr::test {

struct AudioFile {
    bool opened = false;
    SF_INFO info{};
    std::vector<float> samples; // interleaved, 1.0 = full scale
};

inline AudioFile readAudio(std::filesystem::path const& path) {
    AudioFile file;
    SNDFILE* handle = sf_open(path.c_str(), SFM_READ, &file.info);
    if (handle == nullptr)
        return file;
    file.opened = true;
    // Read to the end: a stream's header may not say how long it is.
    std::vector<float> chunk(static_cast<size_t>(4096 * file.info.channels));
    while (sf_count_t const frames = sf_readf_float(handle, chunk.data(), 4096))
        file.samples.insert(file.samples.end(), chunk.begin(), chunk.begin() + frames * file.info.channels);
    sf_close(handle);
    return file;
}

// Writes interleaved float samples as a 32-bit float WAV file; false when it cannot.
inline bool writeAudio(std::filesystem::path const& path, int rate, int channels, std::vector<float> const& samples) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* handle = sf_open(path.c_str(), SFM_WRITE, &info);
    if (handle == nullptr)
        return false;
    sf_writef_float(handle, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(handle);
    return true;
}

} // namespace zr::test
