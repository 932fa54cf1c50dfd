#include "testing/jack/JackTestClients.h"

#include <jack/midiport.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "testing/jack/JackServer.h"

namespace zr::test {
namespace {

jack_client_t* openClient(JackServer const& server, std::string const& name) {
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                             &status, server.name().c_str());
    if (!client)
        throw std::runtime_error("test client " + name + " could not join " + server.name());
    return client;
}

} // namespace

void connectPorts(JackServer const& server, std::string const& from, std::string const& to) {
    jack_client_t* client = openClient(server, "zrtest-wiring");
    int const refused = jack_connect(client, from.c_str(), to.c_str());
    jack_client_close(client);
    if (refused != 0)
        throw std::runtime_error("the server refuses to connect " + from + " to " + to);
}

JackSender::JackSender(JackServer const& server, std::string const& name, float level)
    : client_(openClient(server, name)), level_(level) {
    port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    audio_ = jack_port_register(client_, "audio", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    marks_ = jack_port_register(client_, "marks", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    queue_ = jack_ringbuffer_create(64 * sizeof(Message) * 16);
    jack_set_process_callback(client_, &JackSender::onProcess, this);
    if (!port_ || !audio_ || !marks_ || jack_activate(client_) != 0)
        throw std::runtime_error("test client " + name + " could not start");
}

JackSender::~JackSender() {
    jack_deactivate(client_);
    jack_client_close(client_);
    jack_ringbuffer_free(queue_);
}

std::string JackSender::portName() const { return jack_port_name(port_); }

std::string JackSender::audioPortName() const { return jack_port_name(audio_); }

std::string JackSender::marksPortName() const { return jack_port_name(marks_); }

void JackSender::send(std::vector<Message> const& messages) {
    for (Message const& message : messages)
        jack_ringbuffer_write(queue_, reinterpret_cast<char const*>(&message), sizeof message);
}

int JackSender::onProcess(jack_nframes_t frames, void* self) {
    auto& sender = *static_cast<JackSender*>(self);
    std::fill_n(static_cast<float*>(jack_port_get_buffer(sender.audio_, frames)), frames, sender.level_);
    auto* marks = static_cast<float*>(jack_port_get_buffer(sender.marks_, frames));
    std::fill_n(marks, frames, 0.0f);
    void* buffer = jack_port_get_buffer(sender.port_, frames);
    jack_midi_clear_buffer(buffer);
    uint32_t const start = jack_last_frame_time(sender.client_);
    Message message;
    while (jack_ringbuffer_peek(sender.queue_, reinterpret_cast<char*>(&message), sizeof message) == sizeof message) {
        int32_t const offset = static_cast<int32_t>(message.frame - start);
        if (offset >= static_cast<int32_t>(frames))
            break;
        if (offset < 0)
            sender.late_.fetch_add(1);
        auto const at = static_cast<jack_nframes_t>(std::max(offset, 0));
        jack_midi_event_write(buffer, at, message.bytes, 3);
        marks[at] = 1.0f;
        jack_ringbuffer_read_advance(sender.queue_, sizeof message);
    }
    return 0;
}

JackRecorder::JackRecorder(JackServer const& server, std::string const& name, int channels, int64_t frames)
    : client_(openClient(server, name)) {
    for (int i = 0; i < channels; ++i) {
        ports_.push_back(jack_port_register(client_, ("in_" + std::to_string(i + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                            JackPortIsInput, 0));
        channels_.emplace_back(static_cast<size_t>(frames), 0.0f);
    }
    jack_set_process_callback(client_, &JackRecorder::onProcess, this);
    if (jack_activate(client_) != 0)
        throw std::runtime_error("test client " + name + " could not start");
}

JackRecorder::~JackRecorder() {
    jack_deactivate(client_);
    jack_client_close(client_);
}

std::string JackRecorder::portName(int channel) const { return jack_port_name(ports_[static_cast<size_t>(channel)]); }

bool JackRecorder::waitFor(int64_t frames, std::chrono::milliseconds timeout) const {
    auto const deadline = std::chrono::steady_clock::now() + timeout;
    while (framesKept() < frames) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<float> JackRecorder::samples(int channel) const {
    auto const& all = channels_[static_cast<size_t>(channel)];
    return {all.begin(), all.begin() + framesKept()};
}

int JackRecorder::onProcess(jack_nframes_t frames, void* self) {
    auto& recorder = *static_cast<JackRecorder*>(self);
    int64_t const kept = recorder.kept_.load(std::memory_order_relaxed);
    int64_t const room = static_cast<int64_t>(recorder.channels_.front().size()) - kept;
    int64_t const taken = std::min<int64_t>(room, frames);
    if (taken <= 0)
        return 0;
    for (size_t i = 0; i < recorder.ports_.size(); ++i) {
        auto const* input = static_cast<float const*>(jack_port_get_buffer(recorder.ports_[i], frames));
        std::copy_n(input, taken, recorder.channels_[i].begin() + kept);
    }
    recorder.kept_.store(kept + taken, std::memory_order_release);
    return 0;
}

} // namespace zr::test
