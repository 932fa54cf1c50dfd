// zrhost render of a generated patch of 64 oscillators into 64 channels for 10 minutes of
// audio, run as a user runs it: the peak resident memory of the process (from getrusage) and
// the speed as a multiple of real time. The render streams block by block, so memory stays
// bounded by the patch, not by duration × channels (which would be 7.4 GB of floats).
//   build/bench/zr_bench --benchmark_filter=RenderMemory

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kChannels = 64;
constexpr double kSeconds = 600.0;
constexpr double kSampleRate = 48000.0;

std::string generatedPatch() {
    std::string modules, outputs;
    for (int i = 0; i < kChannels; ++i) {
        std::string const name = "osc" + std::to_string(i);
        modules += (i ? ",\n" : "") + ("\"" + name + "\": { \"id\": \"ZR_ShapeOsc2\" }");
        outputs += (i ? ", " : "") + ("\"" + name + ".Out\"");
    }
    std::string sources;
    for (int i = 0; i < kChannels; ++i) // a different pitch per channel, 1 V per octave
        sources += (i ? ", " : "") + ("\"osc" + std::to_string(i) + ".Pitch\": " + std::to_string(2.0 + i / 16.0));
    return "{ \"sampleRate\": " + std::to_string(static_cast<int>(kSampleRate)) +
           ", \"duration\": " + std::to_string(kSeconds) + ",\n\"modules\": {\n" + modules + "},\n\"sources\": {" + sources +
           "},\n\"outputs\": [" + outputs + "] }\n";
}

struct ChildUsage {
    bool succeeded = false;
    double peakBytes = 0.0;  // resident set
    double cpuSeconds = 0.0; // user and system
};

// Runs zrhost with `arguments` to its end and gives what it used.
ChildUsage runZrhost(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), ZRHOST_PATH);
    std::vector<char*> argv;
    for (std::string& word : arguments)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int const spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {};
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    auto const seconds = [](timeval time) { return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6; };
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, usage.ru_maxrss * 1024.0, // kilobytes on Linux
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// Argument 0: into /dev/null as a stream; 1: into a WAV file beside a waveform plot, as a user
// renders (3.7 GB written to the system's temporary folder, removed afterwards).
void BM_RenderMemory64Channels10Minutes(benchmark::State& state) {
    fs::path const folder = fs::temp_directory_path() / ("zr-render-memory-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "patch.json") << generatedPatch();
    std::vector<std::string> arguments{"render", (folder / "patch.json").string(), "-o", "/dev/null"};
    if (state.range(0) == 1)
        arguments = {"render", (folder / "patch.json").string(), "-o", (folder / "out.wav").string(),
                     "--plot", (folder / "out.png").string()};
    ChildUsage usage;
    double seconds = 0.0;
    for (auto _ : state) {
        auto const start = std::chrono::steady_clock::now();
        usage = runZrhost(arguments);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    fs::remove_all(folder);
    if (!usage.succeeded) {
        state.SkipWithError("zrhost render failed");
        return;
    }
    state.counters["peak_RSS_MB"] = usage.peakBytes / (1024.0 * 1024.0);
    state.counters["x_real_time"] = kSeconds / seconds;                // on this machine's load
    state.counters["x_real_time_cpu"] = kSeconds / usage.cpuSeconds;  // on one free core
    state.counters["channels"] = kChannels;
}
BENCHMARK(BM_RenderMemory64Channels10Minutes)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
