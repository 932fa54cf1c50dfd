#pragma once
// One client of a JACK server (RAII): opened without ever starting a server, its ports
// registered, its process callback handed over at activation; deactivated and closed by the
// destructor. The server's shut-down and xruns reach the main thread as flags and counts that
// the callbacks set, never as work done in them.

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zr::host {

// One message a person can act on: what failed and what to do.
class JackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct JackClientOptions {
    std::string clientName = "zrhost";
    // The server to join; none: the default one (JACK_DEFAULT_SERVER, else "default").
    std::optional<std::string> serverName;
};

// What the audio thread runs each period. [audio thread] Must not allocate, lock or wait.
class JackProcessor {
public:
    virtual ~JackProcessor() = default;
    virtual void process(jack_nframes_t frames) = 0;
};

class JackClient {
public:
    // [main thread] Throws JackError when no server runs (or it refuses the client).
    explicit JackClient(JackClientOptions const& options);
    ~JackClient();
    JackClient(JackClient const&) = delete;
    JackClient& operator=(JackClient const&) = delete;

    // [main thread, before activate] Each throws JackError when the server refuses the port.
    jack_port_t* addAudioInput(std::string const& name);
    jack_port_t* addAudioOutput(std::string const& name);
    jack_port_t* addMidiInput(std::string const& name);

    // [main thread] Starts calling `processor` each period; it must outlive the client's
    // activation (the destructor deactivates first). Throws JackError.
    void activate(JackProcessor& processor);
    // [main thread] Stops the process calls (done already when the server went away). The
    // destructor does it too; a processor that goes first calls it.
    void deactivate();
    // [main thread] Connects two ports by full name ("client:port"). Throws JackError naming
    // the port that does not exist, or the pair the server refused.
    void connect(std::string const& from, std::string const& to);
    // The full names of the server's physical playback ports, in the server's order.
    std::vector<std::string> playbackPorts() const;
    std::string fullName(jack_port_t* port) const;

    uint32_t sampleRate() const;
    uint32_t periodFrames() const;
    // Whether the server went away (it shut down or threw the client out).
    bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }
    int64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
    // The server's DSP load in percent, averaged over its last periods.
    float cpuLoad() const;
    jack_client_t* handle() const { return client_; }

private:
    jack_port_t* addPort(std::string const& name, char const* type, unsigned long flags);
    static int onProcess(jack_nframes_t frames, void* self);
    static int onXrun(void* self);
    static void onShutdown(jack_status_t code, char const* reason, void* self);

    jack_client_t* client_ = nullptr;
    JackProcessor* processor_ = nullptr;
    bool active_ = false;
    std::atomic<bool> serverGone_{false};
    std::atomic<int64_t> xruns_{0};
};

} // namespace zr::host
