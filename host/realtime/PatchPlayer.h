#pragma once
// A LivePatch played by a JACK client: one audio output port per patch output ("out_1",
// "out_2", ...), one audio input port per {"jack": name} source, named so, and a MIDI input
// port "midi_in" when the patch has a "midi" section. The process callback copies the period's
// MIDI out of the server's buffer, takes the values other threads queued through a
// jack_ringbuffer_t, and runs the patch; it allocates, locks and waits for nothing.

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/realtime/JackClient.h"
#include "host/realtime/LivePatch.h"

namespace zr::host {

// Told when the process callback starts and ends its work, on the audio thread; for tests
// that watch what that thread does. It must itself not allocate or lock.
struct ProcessObserver {
    void (*entering)(void* context) = nullptr;
    void (*leaving)(void* context) = nullptr;
    void* context = nullptr;
};

class PatchPlayer final : public JackProcessor {
public:
    static constexpr char const* kMidiPortName = "midi_in";
    static constexpr std::size_t kMostMidiPerPeriod = 512; // more in one period are dropped
    static constexpr std::size_t kValueQueueBytes = 256 * 1024;

    // [main thread] Registers the ports on `client`; both must outlive the player, which
    // deactivates the client when it goes. Throws JackError when a port is refused.
    PatchPlayer(JackClient& client, LivePatch& patch, RealtimeCapacity const& capacity = {});
    ~PatchPlayer() override;
    PatchPlayer(PatchPlayer const&) = delete;
    PatchPlayer& operator=(PatchPlayer const&) = delete;

    // [main thread] Activates the client; its outputs stay silent until play(), so that the
    // patch's first sample is heard once the outputs are connected.
    void start() { client_.activate(*this); }
    // [main thread] The patch starts at the next period. Its first period is run here, before
    // the audio thread plays it: the first values make every module build its tables, work
    // that in a period of its own could outlast the period. Values sent before play() are
    // taken before that period, so they hold from the first sample. The callback plays those
    // frames first; MIDI arriving during them reaches the patch at its next sample, and the server's
    // inputs are silent for them.
    void play();
    // [main thread] The outputs go to `destinations` in turn (the last one takes the rest);
    // empty: to the server's playback ports, out_1 to the first, and so on (a single output
    // goes to the first two, left and right). Throws JackError for a port that cannot be
    // connected.
    void connectOutputs(std::vector<std::string> const& destinations);
    std::vector<std::string> outputPortNames() const;

    // [one thread other than the audio thread] Queues `bytes` for `pin` at the start of the
    // next period. False, and nothing queued, for a value beyond the capacity's bytesPerValue
    // or when the queue is full.
    bool sendValue(Patch::PinHandle pin, std::span<uint8_t const> bytes);

    // [before start] Watches the process callback's work.
    void observe(ProcessObserver observer) { observer_ = observer; }

    // Samples played since the start; safe from any thread.
    int64_t framesPlayed() const { return framesPlayed_.load(std::memory_order_acquire); }
    // The longest and the average time the callback took, as a share of its period.
    double highestLoad() const { return highestLoad_.load(std::memory_order_relaxed); }
    double averageLoad() const;
    // MIDI messages dropped because a period held more than kMostMidiPerPeriod.
    int64_t droppedMidi() const { return droppedMidi_.load(std::memory_order_relaxed); }

    // [audio thread]
    void process(jack_nframes_t frames) override;

private:
    struct ValueHeader {
        uint32_t member = 0;
        int32_t pin = 0;
        uint32_t size = 0;
    };

    void takeQueuedValues();
    std::span<MidiMessage const> readMidi(jack_nframes_t frames);
    int32_t playLead(int32_t frames);
    void runPatch(int32_t frames, int32_t from, std::span<MidiMessage const> midi);
    void noteLoad(int64_t nanoseconds, jack_nframes_t frames);

    JackClient& client_;
    LivePatch& patch_;
    std::vector<jack_port_t*> outputPorts_;
    std::vector<jack_port_t*> inputPorts_;
    jack_port_t* midiPort_ = nullptr;
    std::vector<float*> outputBuffers_;        // per period, sized once
    std::vector<float const*> inputBuffers_;   // per period, sized once
    std::array<MidiMessage, kMostMidiPerPeriod> midi_{};
    // The first period, run by play(); the callback hands it out from leadRead_ on.
    std::vector<std::vector<float>> lead_;
    int32_t leadFrames_ = 0;
    int32_t leadRead_ = 0;
    // MIDI of frames the lead filled, kept for the patch's next sample; then the messages the
    // patch gets in one run.
    std::array<MidiMessage, kMostMidiPerPeriod> deferredMidi_{};
    std::size_t deferredCount_ = 0;
    std::array<MidiMessage, 2 * kMostMidiPerPeriod> patchMidi_{};
    std::vector<float*> partOutputs_;       // the buffers from a frame inside the period on
    std::vector<float const*> partInputs_;
    std::vector<uint8_t> valueBytes_;          // one queued value at a time
    jack_ringbuffer_t* values_ = nullptr;
    ProcessObserver observer_;
    std::atomic<bool> playing_{false};
    std::atomic<int64_t> framesPlayed_{0};
    std::atomic<double> highestLoad_{0.0};
    std::atomic<double> loadSum_{0.0};
    std::atomic<int64_t> periods_{0};
    std::atomic<int64_t> droppedMidi_{0};
};

} // namespace zr::host
