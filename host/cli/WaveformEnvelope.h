#pragma once
// What a waveform picture needs of a render, kept while the samples stream past: for each
// channel and each pixel column, the lowest and the highest sample that falls into it. Its
// size is channels × columns, whatever the render's length.

#include <cstdint>
#include <vector>

namespace zr::cli {

class WaveformEnvelope {
public:
    struct Span {
        float low = 0.0f;
        float high = 0.0f;
    };

    // `totalFrames` frames of `channels` interleaved channels follow, spread over `columns`.
    WaveformEnvelope(int channels, int64_t totalFrames, int columns);

    // The next `frames` interleaved frames, in order.
    void add(float const* interleaved, int64_t frames);

    int channels() const { return channels_; }
    int columns() const { return columns_; }
    int64_t totalFrames() const { return totalFrames_; }
    // Column c holds frames floor(c·F/C) up to the next column's first; with fewer frames than
    // columns, a column without a frame of its own shows the frame that starts it.
    Span column(int channel, int column) const;

private:
    // The last column whose first frame is at or before `frame`.
    int columnOf(int64_t frame) const;

    int channels_;
    int64_t totalFrames_;
    int columns_;
    int64_t nextFrame_ = 0;
    std::vector<Span> spans_;  // column-major: columns_ × channels_
    std::vector<bool> filled_; // per column
};

} // namespace zr::cli
