#include "host/cli/AudioWriter.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

#include "host/cli/OutputFile.h"
#include "host/cli/StreamPaths.h"
#include "host/cli/WavStreamHeader.h"

namespace zr::cli {

// libsndfile writes through these calls, so that a failed write keeps the system's reason.
// On a stream, a seek only moves a cursor: bytes written behind the stream's end (a header
// rewritten on close) are dropped, since they are gone already; bytes at the end go out.
struct AudioWriter::Io {
    int descriptor = -1;
    bool sequential = false;
    sf_count_t end = 0;    // bytes sent into the stream
    sf_count_t cursor = 0; // where libsndfile believes it writes
    int error = 0;

    static sf_count_t length(void* self) {
        Io& io = *static_cast<Io*>(self);
        struct stat status {};
        if (io.sequential || ::fstat(io.descriptor, &status) != 0)
            return io.end;
        return status.st_size;
    }
    static sf_count_t seek(sf_count_t offset, int whence, void* self) {
        Io& io = *static_cast<Io*>(self);
        if (!io.sequential)
            return ::lseek(io.descriptor, offset, whence);
        sf_count_t const base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? io.cursor : io.end;
        io.cursor = base + offset;
        return io.cursor;
    }
    static sf_count_t read(void* data, sf_count_t count, void* self) {
        Io& io = *static_cast<Io*>(self);
        if (io.sequential)
            return 0;
        ssize_t const got = ::read(io.descriptor, data, static_cast<size_t>(count));
        return got < 0 ? 0 : got;
    }
    static sf_count_t write(void const* data, sf_count_t count, void* self) {
        Io& io = *static_cast<Io*>(self);
        auto const* bytes = static_cast<char const*>(data);
        if (io.sequential && io.cursor > io.end) {
            io.error = ESPIPE; // a stream cannot hold a gap
            return 0;
        }
        sf_count_t const skipped = io.sequential ? std::min(io.end - io.cursor, count) : 0;
        if (int const error = writeAll(io.descriptor, bytes + skipped, static_cast<size_t>(count - skipped)); error != 0) {
            io.error = error;
            return 0;
        }
        io.cursor += count;
        io.end = std::max(io.end, io.cursor);
        return count;
    }
    static sf_count_t tell(void* self) {
        Io& io = *static_cast<Io*>(self);
        return io.sequential ? io.cursor : ::lseek(io.descriptor, 0, SEEK_CUR);
    }
};

void AudioWriter::SndfileCloser::operator()(SNDFILE* file) const {
    sf_close(file);
}

AudioWriter::AudioWriter(OutputFile& output, AudioFormat format, int channels, int sampleRate, int64_t frames)
    : output_(output), format_(format), channels_(channels), sampleRate_(sampleRate), expectedFrames_(frames),
      io_(std::make_unique<Io>()) {
    io_->descriptor = output.descriptor();
    io_->sequential = output.isStream();
    int container = sndfileContainer(format.container);
    if (format.container == Container::Wav && output.isStream()) {
        // libsndfile writes no WAV into a stream: the header is ours, the samples are raw.
        std::string const header = wavStreamHeader(channels, sampleRate, format.depth, frames);
        output.write(header.data(), header.size());
        headerWritten_ = true;
        container = SF_FORMAT_RAW | SF_ENDIAN_LITTLE;
    } else if (format.container == Container::Wav) {
        int64_t const dataBytes = frames * channels * bytesPerSample(format.depth);
        constexpr int64_t kHeaderRoom = 1 << 16; // what a WAV header may take, with room to spare
        rf64_ = dataBytes > static_cast<int64_t>(std::numeric_limits<uint32_t>::max()) - kHeaderRoom;
        if (rf64_)
            container = SF_FORMAT_RF64;
    }
    openEncoder(container | sndfileDepth(format.depth));
}

AudioWriter::~AudioWriter() = default;

void AudioWriter::openEncoder(int sndfileFormat) {
    SF_INFO info{};
    info.samplerate = sampleRate_;
    info.channels = channels_;
    info.format = sndfileFormat;
    SF_VIRTUAL_IO calls{&Io::length, &Io::seek, &Io::read, &Io::write, &Io::tell};
    file_.reset(sf_open_virtual(&calls, SFM_WRITE, &info, io_.get()));
    if (!file_) {
        throwIfFailed("starting the file");
        output_.fail(std::string("the encoder refused: ") + sf_strerror(nullptr));
    }
    // Without clipping, a float beyond full scale wraps around in an integer format.
    sf_command(file_.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

void AudioWriter::throwIfFailed(char const* step) {
    if (io_->error != 0)
        output_.fail(std::string(std::strerror(io_->error)) + " (" + step + ")");
}

void AudioWriter::write(float const* interleaved, int64_t frames) {
    sf_count_t const written = sf_writef_float(file_.get(), interleaved, frames);
    writtenFrames_ += written;
    throwIfFailed("writing the samples");
    if (written != frames)
        output_.fail(sf_strerror(file_.get()));
}

void AudioWriter::finish() {
    if (writtenFrames_ != expectedFrames_)
        output_.fail("the render gave " + std::to_string(writtenFrames_) + " frames instead of " + std::to_string(expectedFrames_));
    int const closed = sf_close(file_.release());
    throwIfFailed("completing the file");
    if (closed != 0)
        output_.fail(sf_error_number(closed));
    if (headerWritten_ && wavStreamPadding(channels_, format_.depth, expectedFrames_) != 0)
        output_.write("", 1);
}

} // namespace zr::cli
