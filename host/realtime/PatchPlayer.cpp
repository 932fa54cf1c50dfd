#include "host/realtime/PatchPlayer.h"

#include <jack/midiport.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace zr::host {
namespace {

int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

PatchPlayer::PatchPlayer(JackClient& client, LivePatch& patch, RealtimeCapacity const& capacity)
    : client_(client), patch_(patch), valueBytes_(capacity.bytesPerValue) {
    for (size_t i = 0; i < patch_.outputs().size(); ++i)
        outputPorts_.push_back(client_.addAudioOutput("out_" + std::to_string(i + 1)));
    for (std::string const& name : patch_.externalInputs())
        inputPorts_.push_back(client_.addAudioInput(name));
    if (patch_.loaded().midi)
        midiPort_ = client_.addMidiInput(kMidiPortName);
    outputBuffers_.resize(outputPorts_.size());
    inputBuffers_.resize(inputPorts_.size());
    partOutputs_.resize(outputPorts_.size());
    partInputs_.resize(inputPorts_.size());
    values_ = jack_ringbuffer_create(kValueQueueBytes);
    if (!values_)
        throw std::bad_alloc();
    jack_ringbuffer_mlock(values_);
}

PatchPlayer::~PatchPlayer() {
    client_.deactivate();
    jack_ringbuffer_free(values_);
}

std::vector<std::string> PatchPlayer::outputPortNames() const {
    std::vector<std::string> names;
    for (jack_port_t* port : outputPorts_)
        names.push_back(client_.fullName(port));
    return names;
}

void PatchPlayer::connectOutputs(std::vector<std::string> const& destinations) {
    std::vector<std::string> const sources = outputPortNames();
    std::vector<std::string> targets = destinations.empty() ? client_.playbackPorts() : destinations;
    if (targets.empty())
        throw JackError("the JACK server has no playback ports to connect to; name ports with --connect, or use --no-connect");
    if (destinations.empty() && sources.size() == 1 && targets.size() >= 2) {
        client_.connect(sources[0], targets[0]);
        client_.connect(sources[0], targets[1]);
        return;
    }
    for (size_t i = 0; i < sources.size(); ++i)
        client_.connect(sources[i], targets[std::min(i, targets.size() - 1)]);
}

void PatchPlayer::play() {
    leadFrames_ = static_cast<int32_t>(client_.periodFrames());
    std::vector<float> const silence(static_cast<size_t>(leadFrames_), 0.0f);
    std::vector<float const*> inputs(inputPorts_.size(), silence.data());
    lead_.assign(outputPorts_.size(), std::vector<float>(static_cast<size_t>(leadFrames_), 0.0f));
    std::vector<float*> outputs;
    for (std::vector<float>& samples : lead_)
        outputs.push_back(samples.data());
    // The audio thread reads the queue only once playing_ is set: until then this is its one reader.
    takeQueuedValues();
    patch_.process({leadFrames_, inputs, outputs, {}});
    playing_.store(true, std::memory_order_release);
}

bool PatchPlayer::sendValue(Patch::PinHandle pin, std::span<uint8_t const> bytes) {
    if (bytes.size() > valueBytes_.size())
        return false;
    ValueHeader const header{static_cast<uint32_t>(pin.member), pin.pin, static_cast<uint32_t>(bytes.size())};
    if (jack_ringbuffer_write_space(values_) < sizeof header + bytes.size())
        return false;
    jack_ringbuffer_write(values_, reinterpret_cast<char const*>(&header), sizeof header);
    jack_ringbuffer_write(values_, reinterpret_cast<char const*>(bytes.data()), bytes.size());
    return true;
}

// The writer puts a header and its bytes in before either is read as a whole: a value is
// taken only once all of it is there.
void PatchPlayer::takeQueuedValues() {
    ValueHeader header;
    while (jack_ringbuffer_read_space(values_) >= sizeof header) {
        jack_ringbuffer_peek(values_, reinterpret_cast<char*>(&header), sizeof header);
        if (jack_ringbuffer_read_space(values_) < sizeof header + header.size)
            return;
        jack_ringbuffer_read_advance(values_, sizeof header);
        jack_ringbuffer_read(values_, reinterpret_cast<char*>(valueBytes_.data()), header.size);
        patch_.setPin({header.member, header.pin}, std::span<uint8_t const>(valueBytes_.data(), header.size));
    }
}

std::span<MidiMessage const> PatchPlayer::readMidi(jack_nframes_t frames) {
    if (!midiPort_)
        return {};
    void* buffer = jack_port_get_buffer(midiPort_, frames);
    uint32_t const count = jack_midi_get_event_count(buffer);
    size_t kept = 0;
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        if (kept == midi_.size()) {
            droppedMidi_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        MidiMessage& message = midi_[kept++];
        message.frame = static_cast<int32_t>(event.time);
        message.size = static_cast<uint8_t>(std::min<size_t>(event.size, sizeof message.bytes));
        std::copy_n(event.buffer, message.size, message.bytes);
    }
    return {midi_.data(), kept};
}

void PatchPlayer::noteLoad(int64_t nanoseconds, jack_nframes_t frames) {
    double const period = static_cast<double>(frames) / patch_.sampleRate() * 1e9;
    double const load = static_cast<double>(nanoseconds) / period;
    if (load > highestLoad_.load(std::memory_order_relaxed))
        highestLoad_.store(load, std::memory_order_relaxed);
    loadSum_.store(loadSum_.load(std::memory_order_relaxed) + load, std::memory_order_relaxed);
    periods_.fetch_add(1, std::memory_order_relaxed);
}

double PatchPlayer::averageLoad() const {
    int64_t const periods = periods_.load(std::memory_order_relaxed);
    return periods == 0 ? 0.0 : loadSum_.load(std::memory_order_relaxed) / static_cast<double>(periods);
}

// Copies what is left of the lead into the period's first frames; returns how many.
int32_t PatchPlayer::playLead(int32_t frames) {
    int32_t const taken = std::min(frames, leadFrames_ - leadRead_);
    if (taken <= 0)
        return 0;
    for (size_t i = 0; i < outputBuffers_.size(); ++i)
        std::copy_n(lead_[i].data() + leadRead_, taken, outputBuffers_[i]);
    leadRead_ += taken;
    return taken;
}

// Runs the patch for the period's frames from `from` on, with the MIDI deferred from the
// lead's frames at its first sample.
void PatchPlayer::runPatch(int32_t frames, int32_t from, std::span<MidiMessage const> midi) {
    if (from == 0 && deferredCount_ == 0) {
        patch_.process({frames, inputBuffers_, outputBuffers_, midi});
        return;
    }
    size_t count = 0;
    auto keep = [&](MidiMessage message, int32_t frame) {
        message.frame = frame;
        if (from == frames && deferredCount_ < deferredMidi_.size())
            deferredMidi_[deferredCount_++] = message;
        else if (from < frames && count < patchMidi_.size())
            patchMidi_[count++] = message;
        else
            droppedMidi_.fetch_add(1, std::memory_order_relaxed);
    };
    if (from < frames) {
        for (size_t i = 0; i < deferredCount_; ++i)
            keep(deferredMidi_[i], 0);
        deferredCount_ = 0;
    }
    for (MidiMessage const& message : midi)
        keep(message, std::max(0, message.frame - from));
    if (from == frames)
        return;
    for (size_t i = 0; i < outputBuffers_.size(); ++i)
        partOutputs_[i] = outputBuffers_[i] + from;
    for (size_t i = 0; i < inputBuffers_.size(); ++i)
        partInputs_[i] = inputBuffers_[i] + from;
    patch_.process({frames - from, partInputs_, partOutputs_, {patchMidi_.data(), count}});
}

void PatchPlayer::process(jack_nframes_t frames) {
    if (observer_.entering)
        observer_.entering(observer_.context);
    int64_t const began = monotonicNanoseconds();
    for (size_t i = 0; i < outputPorts_.size(); ++i)
        outputBuffers_[i] = static_cast<float*>(jack_port_get_buffer(outputPorts_[i], frames));
    for (size_t i = 0; i < inputPorts_.size(); ++i)
        inputBuffers_[i] = static_cast<float const*>(jack_port_get_buffer(inputPorts_[i], frames));
    if (playing_.load(std::memory_order_acquire)) {
        takeQueuedValues();
        std::span<MidiMessage const> const midi = readMidi(frames);
        int32_t const count = static_cast<int32_t>(frames);
        runPatch(count, playLead(count), midi);
        framesPlayed_.fetch_add(frames, std::memory_order_release);
    } else {
        for (float* buffer : outputBuffers_)
            std::fill_n(buffer, frames, 0.0f);
    }
    noteLoad(monotonicNanoseconds() - began, frames);
    if (observer_.leaving)
        observer_.leaving(observer_.context);
}

} // namespace zr::host
