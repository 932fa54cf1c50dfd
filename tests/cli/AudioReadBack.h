#pragma once
// An audio file read back with libsndfile, independently of how zrhost wrote it.

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

} // namespace zr::test
