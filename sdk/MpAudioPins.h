#pragma once
// Audio pins: a float buffer per block, and a streaming state that says whether the signal
// changes per sample.

#include "sdk/MpPinBase.h"
#include "sdk/MpPluginBase.h"

// The buffer is the host's (IMpPlugin2::setBuffer); reading it before the host gave one is
// undefined.
class MpAudioPinBase : public MpPinBase {
public:
    void setBuffer(float* buffer) override { buffer_ = buffer; }
    int32_t getDatatype() const override { return gmpi::MP_AUDIO; }
    // The samples of the current segment: the buffer from the module's block position.
    float* getBuffer() const { return buffer_ + plugin_->getBlockPosition(); }
    // The sample at `offset` of the block, or at the block position for a negative offset.
    float getValue(int32_t offset = -1) const { return buffer_[offset < 0 ? plugin_->getBlockPosition() : offset]; }
    // Does nothing: an audio pin's value is its buffer.
    virtual void setValueRaw(int32_t, void const*) {}

protected:
    float* buffer_ = nullptr;
};

class AudioInPin : public MpAudioPinBase {
public:
    int32_t getDirection() const override { return gmpi::MP_IN; }
    // A stream start or stop: a change reaches OnPinStreamingChange, and a stopped input keeps
    // the module awake at least one more sample.
    void preProcessEvent(gmpi::MpEvent const* event) override;
    void postProcessEvent(gmpi::MpEvent const* event) override;
    void sendFirstUpdate() override {}

    bool isStreaming() const { return streaming_; }
    // Until the host first reports this input's streaming state, it reads as updated in
    // every batch; afterwards only in the batch that carries a stream start or stop.
    bool isUpdated() const { return updated_; }

private:
    bool streaming_ = false;
    bool updated_ = true;
};

class AudioOutPin : public MpAudioPinBase {
public:
    int32_t getDirection() const override { return gmpi::MP_OUT; }
    // At graph start every audio output announces that it streams.
    void sendFirstUpdate() override { setStreaming(true); }

    // Tells the host whether this output changes per sample, from `blockPosition` (-1: the
    // module's block position). Every call re-sends the state, and a static output restarts
    // the module's sleep countdown, so a new static value reaches the output before the module
    // sleeps. Without a host only the module's own state changes.
    void setStreaming(bool isStreaming, int32_t blockPosition = -1);
    bool isStreaming() const { return streaming_; }

private:
    bool streaming_ = false;
};
