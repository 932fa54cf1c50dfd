#include "testing/jack/JackServer.h"

#include <jack/jack.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "testing/TemporaryFolder.h"

namespace zr::test {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

// Quiet: the library prints every failed attempt to join a server that is still starting.
void silentJackMessages(char const*) {}

// `jackd -n NAME -d dummy -r RATE -p PERIOD`, its output into `log`. Should the test process
// die first, the server is asked to stop, so that it leaves JACK's table of servers.
ChildSetup jackdSetup(std::string const& name, int32_t periodFrames, int32_t sampleRate, std::filesystem::path const& log) {
    return {{"jackd", "-n", name, "-d", "dummy", "-r", std::to_string(sampleRate), "-p", std::to_string(periodFrames)},
            log, {}, {}, SIGTERM};
}

} // namespace

JackServer::JackServer(int32_t periodFrames, int32_t sampleRate)
    : name_(uniqueName("zrtest")), periodFrames_(periodFrames), sampleRate_(sampleRate),
      log_(std::filesystem::temp_directory_path() / (name_ + ".log")),
      server_(jackdSetup(name_, periodFrames, sampleRate, log_)) {
    jack_set_error_function(silentJackMessages);
    jack_set_info_function(silentJackMessages);
    auto const deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (!acceptsClients()) {
        bool const ended = server_.ended();
        if (ended || std::chrono::steady_clock::now() > deadline) {
            server_.stop(std::chrono::milliseconds(500));
            std::string const output = contentOf(log_);
            std::filesystem::remove(log_);
            throw std::runtime_error("jackd " + name_ + " did not accept clients" +
                                     (ended ? " (it ended)" : " within its time") + "; its output:\n" + output);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

JackServer::~JackServer() {
    server_.stop(std::chrono::seconds(3));
    std::error_code ignored;
    std::filesystem::remove(log_, ignored);
    removeLeftovers();
}

// A client still joined when its server stops leaves its semaphore in /dev/shm, named after
// the server: the name is this server's own, so whatever carries it is left over.
void JackServer::removeLeftovers() const {
    std::error_code ignored;
    std::string const mark = "_" + name_ + "_";
    for (auto const& entry : std::filesystem::directory_iterator("/dev/shm", ignored))
        if (entry.path().filename().string().find(mark) != std::string::npos)
            std::filesystem::remove(entry.path(), ignored);
}

bool JackServer::acceptsClients() const {
    jack_status_t status{};
    jack_client_t* probe = jack_client_open("zrtest-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                            &status, name_.c_str());
    if (!probe)
        return false;
    jack_client_close(probe);
    return true;
}

void JackServer::stopNow() { server_.terminate(); }

} // namespace zr::test
