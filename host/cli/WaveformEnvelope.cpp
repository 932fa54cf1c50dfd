#include "host/cli/WaveformEnvelope.h"

#include <algorithm>

namespace zr::cli {

WaveformEnvelope::WaveformEnvelope(int channels, int64_t totalFrames, int columns)
    : channels_(channels), totalFrames_(totalFrames), columns_(std::max(columns, 1)),
      spans_(static_cast<size_t>(columns_) * static_cast<size_t>(channels)), filled_(static_cast<size_t>(columns_), false) {}

int WaveformEnvelope::columnOf(int64_t frame) const {
    // floor(c·F/C) <= frame  <=>  c <= ((frame + 1)·C - 1) / F
    int64_t const column = ((frame + 1) * columns_ - 1) / std::max<int64_t>(totalFrames_, 1);
    return static_cast<int>(std::min<int64_t>(column, columns_ - 1));
}

void WaveformEnvelope::add(float const* interleaved, int64_t frames) {
    for (int64_t i = 0; i < frames; ++i, ++nextFrame_) {
        size_t const column = static_cast<size_t>(columnOf(nextFrame_));
        Span* spans = &spans_[column * static_cast<size_t>(channels_)];
        float const* frame = interleaved + i * channels_;
        if (!filled_[column]) {
            for (int c = 0; c < channels_; ++c)
                spans[c] = {frame[c], frame[c]};
            filled_[column] = true;
            continue;
        }
        for (int c = 0; c < channels_; ++c) {
            spans[c].low = std::min(spans[c].low, frame[c]);
            spans[c].high = std::max(spans[c].high, frame[c]);
        }
    }
}

WaveformEnvelope::Span WaveformEnvelope::column(int channel, int column) const {
    int shown = column;
    while (shown + 1 < columns_ && !filled_[static_cast<size_t>(shown)])
        ++shown;
    return spans_[static_cast<size_t>(shown) * static_cast<size_t>(channels_) + static_cast<size_t>(channel)];
}

} // namespace zr::cli
