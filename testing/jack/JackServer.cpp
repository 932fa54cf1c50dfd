#include "testing/jack/JackServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <jack/jack.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "testing/TemporaryFolder.h"

namespace zr::test {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

std::string uniqueName() {
    static std::atomic<int> counter{0};
    return "zrtest-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

// Quiet: the library prints every failed attempt to join a server that is still starting.
void silentJackMessages(char const*) {}

} // namespace

JackServer::JackServer(int32_t periodFrames, int32_t sampleRate)
    : name_(uniqueName()), periodFrames_(periodFrames), sampleRate_(sampleRate),
      log_(std::filesystem::temp_directory_path() / (name_ + ".log")) {
    jack_set_error_function(silentJackMessages);
    jack_set_info_function(silentJackMessages);
    // Real-time scheduling where the user may have it (jackd falls back to normal scheduling
    // where not), so that a busy machine delays a period less often.
    std::vector<std::string> arguments{"jackd", "-n", name_, "-d", "dummy",
                                       "-r", std::to_string(sampleRate), "-p", std::to_string(periodFrames)};
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot start jackd: fork failed");
    if (pid_ == 0) {
        int const out = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execvp("jackd", argv.data());
        ::_exit(127);
    }
    auto const deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (!acceptsClients()) {
        int status = 0;
        bool const ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
        if (ended || std::chrono::steady_clock::now() > deadline) {
            if (ended)
                pid_ = -1;
            stop(std::chrono::milliseconds(500));
            std::string const output = contentOf(log_);
            std::filesystem::remove(log_);
            throw std::runtime_error("jackd " + name_ + " did not accept clients" +
                                     (ended ? " (it ended)" : " within its time") + "; its output:\n" + output);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

JackServer::~JackServer() {
    stop(std::chrono::seconds(3));
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

void JackServer::stopNow() {
    if (pid_ > 0 && !stopping_)
        ::kill(pid_, SIGTERM);
    stopping_ = true;
}

// SIGTERM (once: a second one during its shut-down would end it before it leaves the table of
// servers), then SIGKILL when the server has not ended within `grace`; always reaped.
void JackServer::stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0)
        return;
    stopNow();
    auto const deadline = std::chrono::steady_clock::now() + grace;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

} // namespace zr::test
