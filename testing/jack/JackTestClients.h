#pragma once
// Two small clients a test puts around the client under test: one sends MIDI messages at
// chosen frames of the server's clock (jack_last_frame_time), a steady level, and a mark in
// an audio port at the frame each message went out; one records what arrives at its audio
// inputs. Separate clients, so that the server runs sender, client under test and recorder in
// that order within each period, with no period of delay between them: a mark recorded
// beside the client's output lies at the frame its message reached the client, however the
// clock ran (under load a key's clock frame may lie in no period a client saw).

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zr::test {

class JackServer;

// Connects two ports of the server by their full names. Throws std::runtime_error naming them
// when the server refuses.
void connectPorts(JackServer const& server, std::string const& from, std::string const& to);

class JackSender {
public:
    struct Message {
        uint32_t frame = 0; // on the server's frame clock
        uint8_t bytes[3] = {};
    };

    // A client "NAME" with a MIDI output "out", an audio output "audio" that holds `level`
    // and an audio output "marks" that is 1 at each message's frame and 0 elsewhere, active.
    // Throws std::runtime_error.
    JackSender(JackServer const& server, std::string const& name, float level = 0.0f);
    ~JackSender();
    JackSender(JackSender const&) = delete;
    JackSender& operator=(JackSender const&) = delete;

    std::string portName() const;      // "NAME:out"
    std::string audioPortName() const; // "NAME:audio"
    std::string marksPortName() const; // "NAME:marks"
    // The frame the server's clock shows now.
    uint32_t now() const { return jack_frame_time(client_); }
    // [test thread] Queues messages in frame order, each a frame still to come.
    void send(std::vector<Message> const& messages);
    // Messages that came after their frame had passed and went out at a period's start.
    int late() const { return late_.load(); }

private:
    static int onProcess(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_port_t* audio_ = nullptr;
    jack_port_t* marks_ = nullptr;
    float level_ = 0.0f;
    jack_ringbuffer_t* queue_ = nullptr;
    std::atomic<int> late_{0};
};

class JackRecorder {
public:
    // A client "NAME" with `channels` audio inputs "in_1".., active, keeping up to `frames`
    // frames of each from its first period. Throws std::runtime_error.
    JackRecorder(JackServer const& server, std::string const& name, int channels, int64_t frames);
    ~JackRecorder();
    JackRecorder(JackRecorder const&) = delete;
    JackRecorder& operator=(JackRecorder const&) = delete;

    std::string portName(int channel) const; // "NAME:in_1" for channel 0
    // Waits until `frames` frames are kept or `timeout` passes; whether they are.
    bool waitFor(int64_t frames, std::chrono::milliseconds timeout) const;
    // The frames from the first one to the end of the last period kept.
    int64_t framesKept() const { return kept_.load(std::memory_order_acquire); }
    // The frames kept so far of one channel.
    std::vector<float> samples(int channel) const;

private:
    static int onProcess(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    std::vector<jack_port_t*> ports_;
    std::vector<std::vector<float>> channels_;
    std::atomic<int64_t> kept_{0};
};

} // namespace zr::test
