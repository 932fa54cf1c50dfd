#pragma once
// Encodes interleaved float frames into an OutputFile with libsndfile, block by block, so that
// a render of any length passes through a fixed amount of memory. A regular file gets the
// format as libsndfile writes it (a WAV beyond 4 GiB becomes RF64). A stream cannot go back
// to fill in sizes: WAV gets a header stating the frame count known up front
// (WavStreamHeader.h), FLAC leaves the totals of its first block open, as a FLAC stream may.

#include <cstdint>
#include <memory>

#include "host/cli/AudioFormat.h"

struct sf_private_tag;

namespace zr::cli {

class OutputFile;

class AudioWriter {
public:
    // Starts the file: `frames` frames of `channels` channels at `sampleRate` follow (a stream
    // states that count in its header, so finish() checks that exactly that many came).
    // `output` must outlive the writer. Throws std::runtime_error as OutputFile::fail does.
    AudioWriter(OutputFile& output, AudioFormat format, int channels, int sampleRate, int64_t frames);
    ~AudioWriter();
    AudioWriter(AudioWriter const&) = delete;
    AudioWriter& operator=(AudioWriter const&) = delete;

    // Appends `frames` interleaved frames; 1.0 is full scale, and integer formats clip what
    // lies beyond. Throws as OutputFile::fail does (a full disk, a closed pipe).
    void write(float const* interleaved, int64_t frames);
    // Completes the encoding (sizes, last block); the OutputFile still needs its commit().
    // Throws as OutputFile::fail does.
    void finish();

    // Whether a large WAV went out as RF64.
    bool isRf64() const { return rf64_; }

private:
    struct Io;
    void openEncoder(int sndfileFormat);
    void throwIfFailed(char const* step);

    OutputFile& output_;
    AudioFormat format_;
    int channels_;
    int sampleRate_;
    int64_t expectedFrames_;
    int64_t writtenFrames_ = 0;
    bool rf64_ = false;
    bool headerWritten_ = false; // a stream WAV's own header
    std::unique_ptr<Io> io_;
    struct SndfileCloser {
        void operator()(sf_private_tag* file) const;
    };
    std::unique_ptr<sf_private_tag, SndfileCloser> file_;
};

} // namespace zr::cli
