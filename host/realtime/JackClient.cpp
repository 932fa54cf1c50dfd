#include "host/realtime/JackClient.h"

#include <cerrno>

namespace zr::host {
namespace {

std::string serverText(std::optional<std::string> const& server) {
    return server ? "JACK server '" + *server + "'" : "JACK server";
}

// The library's own messages would repeat, less clearly, what the errors below say.
void quiet(char const*) {}

} // namespace

JackClient::JackClient(JackClientOptions const& options) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    // JackNoStartServer: a missing server is an error here, never a server started behind the
    // user's back (which could also take seconds or hang on a busy sound card).
    auto const openOptions = static_cast<jack_options_t>(JackNoStartServer | (options.serverName ? JackServerName : 0));
    client_ = options.serverName ? jack_client_open(options.clientName.c_str(), openOptions, &status, options.serverName->c_str())
                                 : jack_client_open(options.clientName.c_str(), openOptions, &status);
    if (!client_) {
        if (status & JackServerFailed)
            throw JackError("no " + serverText(options.serverName) +
                            " is running: start one (jackd -d alsa, or jackd -d dummy to try without a sound card), "
                            "or run through PipeWire's JACK (pw-jack zrhost play ...)");
        throw JackError("the " + serverText(options.serverName) + " refused the client '" + options.clientName +
                        "' (JACK status " + std::to_string(static_cast<unsigned>(status)) + ")");
    }
    jack_set_xrun_callback(client_, &JackClient::onXrun, this);
    jack_on_info_shutdown(client_, &JackClient::onShutdown, this);
}

JackClient::~JackClient() {
    deactivate();
    jack_client_close(client_);
}

void JackClient::deactivate() {
    if (active_ && !serverGone())
        jack_deactivate(client_);
    active_ = false;
}

jack_port_t* JackClient::addPort(std::string const& name, char const* type, unsigned long flags) {
    jack_port_t* port = jack_port_register(client_, name.c_str(), type, flags, 0);
    if (!port)
        throw JackError("the JACK server refused the port '" + name + "' (is the name in use or too long?)");
    return port;
}

jack_port_t* JackClient::addAudioInput(std::string const& name) { return addPort(name, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput); }

jack_port_t* JackClient::addAudioOutput(std::string const& name) {
    return addPort(name, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
}

jack_port_t* JackClient::addMidiInput(std::string const& name) { return addPort(name, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput); }

void JackClient::activate(JackProcessor& processor) {
    processor_ = &processor;
    jack_set_process_callback(client_, &JackClient::onProcess, this);
    if (jack_activate(client_) != 0)
        throw JackError("the JACK server did not start the client");
    active_ = true;
}

void JackClient::connect(std::string const& from, std::string const& to) {
    for (std::string const& name : {from, to})
        if (!jack_port_by_name(client_, name.c_str()))
            throw JackError("cannot connect " + from + " to " + to + ": there is no JACK port '" + name +
                            "' (jack_lsp lists the ports)");
    int const result = jack_connect(client_, from.c_str(), to.c_str());
    if (result != 0 && result != EEXIST)
        throw JackError("the JACK server refused to connect " + from + " to " + to);
}

std::vector<std::string> JackClient::playbackPorts() const {
    std::vector<std::string> names;
    char const** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
    for (char const** port = ports; port && *port; ++port)
        names.emplace_back(*port);
    jack_free(ports);
    return names;
}

std::string JackClient::fullName(jack_port_t* port) const { return jack_port_name(port); }

uint32_t JackClient::sampleRate() const { return jack_get_sample_rate(client_); }

uint32_t JackClient::periodFrames() const { return jack_get_buffer_size(client_); }

float JackClient::cpuLoad() const { return jack_cpu_load(client_); }

int JackClient::onProcess(jack_nframes_t frames, void* self) {
    static_cast<JackClient*>(self)->processor_->process(frames);
    return 0;
}

int JackClient::onXrun(void* self) {
    static_cast<JackClient*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void JackClient::onShutdown(jack_status_t, char const*, void* self) {
    static_cast<JackClient*>(self)->serverGone_.store(true, std::memory_order_release);
}

} // namespace zr::host
