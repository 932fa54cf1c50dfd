#pragma once
// A JACK server of the test's own on the dummy driver (no sound card needed):
// started under a name no other test run uses, ready for clients when the constructor
// returns, and stopped by the destructor even when the test fails. It is stopped with SIGTERM,
// so that it leaves JACK's table of servers; SIGKILL comes only when it does not end.

#include <cstdint>
#include <filesystem>
#include <string>

#include "testing/ChildProcess.h"

namespace zr::test {

class JackServer {
public:
    // Starts `jackd -n NAME -d dummy -r RATE -p PERIOD` and waits until a client
    // can join it. Throws std::runtime_error with the server's output when it does not come up
    // within a few seconds.
    explicit JackServer(int32_t periodFrames = 64, int32_t sampleRate = 48000);
    ~JackServer();
    JackServer(JackServer const&) = delete;
    JackServer& operator=(JackServer const&) = delete;

    // The server name clients give (JackServerName, or zrhost play --server).
    std::string const& name() const { return name_; }
    int32_t sampleRate() const { return sampleRate_; }
    int32_t periodFrames() const { return periodFrames_; }
    // Asks the server to stop now (SIGTERM) without waiting for it, as a person stopping it
    // does; it tells its clients that it shuts down. The destructor then reaps it. (A server
    // killed outright would keep its entry in JACK's table of servers, which holds eight.)
    void stopNow();

private:
    bool acceptsClients() const;
    void removeLeftovers() const;

    std::string name_;
    int32_t periodFrames_;
    int32_t sampleRate_;
    std::filesystem::path log_;
    ChildProcess server_;
};

} // namespace zr::test
