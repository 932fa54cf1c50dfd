// Where zrhost writes: hostile targets, interruptions, standard input and output. Whatever the
// target, nothing it did not create is damaged and no temporary file stays behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <csignal>
#include <functional>
#include <string>
#include <thread>

#include "tests/cli/AudioReadBack.h"
#include "tests/cli/ZrhostProcess.h"

namespace zr::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Two channels of 0.05 s: small, but more than one block and not a whole number of them.
constexpr char kShortPatch[] = R"({ "sampleRate": 8000, "blockSize": 64, "duration": 0.05,
    "modules": { "osc": { "id": "ZR_ShapeOsc2" }, "shaper": { "id": "ZR_Waveshaper2" } },
    "sources": { "osc.Pitch": 3, "shaper.Input": { "type": "noise", "amplitude": 4 } },
    "outputs": ["osc.Out", "shaper.Out"] })";

// Sixteen oscillators for ten minutes: far longer than any test waits.
std::string longPatch() {
    std::string modules, outputs;
    for (int i = 0; i < 16; ++i) {
        modules += (i ? "," : "") + std::string("\"o") + std::to_string(i) + "\": { \"id\": \"ZR_ShapeOsc2\" }";
        outputs += (i ? "," : "") + std::string("\"o") + std::to_string(i) + ".Out\"";
    }
    return R"({ "duration": 600, "modules": {)" + modules + R"(}, "outputs": [)" + outputs + "] }";
}

// Every name in the folder and below it, links not followed: what a run must not add to.
std::vector<std::string> everything(fs::path const& folder) {
    std::vector<std::string> names;
    for (auto const& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

bool leftTemporaries(fs::path const& folder) {
    for (std::string const& name : everything(folder))
        if (name.find(".part-") != std::string::npos || name.find(".float-") != std::string::npos)
            return true;
    return false;
}

class ZrhostOutput : public ::testing::Test {
protected:
    ZrhostOutput() {
        temporary_.write("patch.json", kShortPatch);
        Finished const made = runZrhost({{"render", "patch.json", "-o", "reference.wav", "-q"}, folder_});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        reference_ = readAudio(folder_ / "reference.wav").samples;
    }

    // The samples of the short patch, as a file written to `path` holds them.
    void expectTheRender(fs::path const& path) const {
        AudioFile const written = readAudio(path);
        ASSERT_TRUE(written.opened) << path;
        EXPECT_EQ(written.info.channels, 2);
        EXPECT_EQ(written.samples, reference_);
    }

    TemporaryFolder temporary_{"zrhost-output-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
    fs::path const& folder_ = temporary_.path();
    std::vector<float> reference_;
};

struct HostileTarget {
    std::string name;
    // Makes the target in the row's folder; gives the -o argument.
    std::function<std::string(fs::path const& row)> prepare;
    std::string error; // expected on stderr; empty for a run that succeeds
    std::function<void(fs::path const& row, std::string const& out)> check;
    bool rootWritesAnyway = false;
};

TEST_F(ZrhostOutput, HostileTargetsAreStreamedOrRefused) {
    std::string fifoContent;
    std::thread fifoReader;
    HostileTarget const targets[] = {
        {"a character device", [](fs::path const&) { return "/dev/null"; }, "",
         [](fs::path const&, std::string const&) { EXPECT_TRUE(fs::is_character_file("/dev/null")); }},
        {"a FIFO with a reader",
         [&](fs::path const& row) {
             ::mkfifo((row / "pipe").c_str(), 0644);
             fifoReader = std::thread([&fifoContent, pipe = row / "pipe"] { fifoContent = contentOf(pipe); });
             return "pipe";
         },
         "",
         [&](fs::path const& row, std::string const&) {
             // Releases a reader still waiting for a writer, should zrhost never have opened the pipe.
             if (int const writer = ::open((row / "pipe").c_str(), O_WRONLY | O_NONBLOCK); writer >= 0)
                 ::close(writer);
             fifoReader.join();
             EXPECT_TRUE(fs::is_fifo(row / "pipe"));
             temporary_.write("from-pipe.wav", fifoContent);
             expectTheRender(folder_ / "from-pipe.wav"); // the header's sizes as a pipe reader needs them
         }},
        {"standard output", [](fs::path const&) { return "-"; }, "",
         [&](fs::path const&, std::string const& out) {
             temporary_.write("from-stdout.wav", out);
             expectTheRender(folder_ / "from-stdout.wav");
         }},
        {"a symbolic link to a file",
         [](fs::path const& row) {
             std::ofstream(row / "real.wav") << "old";
             fs::create_symlink("real.wav", row / "link.wav");
             return "link.wav";
         },
         "",
         [&](fs::path const& row, std::string const&) {
             EXPECT_EQ(fs::read_symlink(row / "link.wav"), "real.wav");
             expectTheRender(row / "real.wav");
         }},
        {"a dangling symbolic link",
         [](fs::path const& row) {
             fs::create_directory(row / "sub");
             fs::create_symlink("sub/new.wav", row / "link.wav");
             return "link.wav";
         },
         "",
         [&](fs::path const& row, std::string const&) {
             EXPECT_TRUE(fs::is_symlink(row / "link.wav"));
             expectTheRender(row / "sub/new.wav");
         }},
        {"a folder",
         [](fs::path const& row) {
             fs::create_directory(row / "out.wav");
             return "out.wav";
         },
         "cannot write out.wav: it is a folder",
         [](fs::path const& row, std::string const&) { EXPECT_TRUE(fs::is_empty(row / "out.wav")); }},
        {"a socket",
         [](fs::path const& row) {
             int const listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::string const path = (row / "s.wav").string();
             path.copy(address.sun_path, sizeof address.sun_path - 1);
             ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
             ::close(listener);
             return "s.wav";
         },
         "cannot write s.wav: it is a socket",
         [](fs::path const& row, std::string const&) { EXPECT_TRUE(fs::is_socket(row / "s.wav")); }},
        {"a folder without write permission",
         [](fs::path const& row) {
             fs::create_directory(row / "locked");
             std::ofstream(row / "locked/out.wav") << "old";
             fs::permissions(row / "locked", fs::perms::owner_read | fs::perms::owner_exec);
             return "locked/out.wav";
         },
         "Permission denied",
         [](fs::path const& row, std::string const&) {
             fs::permissions(row / "locked", fs::perms::owner_all);
             EXPECT_EQ(contentOf(row / "locked/out.wav"), "old");
         },
         true},
        {"a full device", [](fs::path const&) { return "/dev/full"; }, "could not write /dev/full: No space left on device",
         [](fs::path const&, std::string const&) { EXPECT_TRUE(fs::is_character_file("/dev/full")); }},
    };
    for (HostileTarget const& target : targets) {
        SCOPED_TRACE(target.name);
        if (target.rootWritesAnyway && ::geteuid() == 0) {
            std::printf("row '%s' left out: root writes into read-only folders anyway\n", target.name.c_str());
            continue;
        }
        fs::path const row = folder_ / ("row-" + std::to_string(&target - targets));
        fs::create_directory(row);
        std::string const output = target.prepare(row);
        auto const before = everything(row);
        Finished const run = runZrhost({{"render", "../patch.json", "-o", output, "-q"}, row});
        if (target.error.empty()) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.exitCode, 0);
            EXPECT_THAT(run.err, HasSubstr(target.error));
            EXPECT_EQ(everything(row), before) << "nothing added or taken away";
        }
        EXPECT_FALSE(leftTemporaries(row));
        target.check(row, run.out);
    }
}

// A disk that fills up while the file is written, simulated by a file-size limit: the older
// file stays as it was and the message says so.
TEST_F(ZrhostOutput, AFullDiskLeavesTheOlderFileAsItWas) {
    for (char const* flags : {"", "--normalize"}) {
        SCOPED_TRACE(flags);
        temporary_.write("old.wav", "an older file");
        auto const before = everything(folder_);
        Launch launch{{"render", "patch.json", "-o", "old.wav", "--bits", "32f"}, folder_};
        if (*flags)
            launch.arguments.push_back(flags);
        launch.fileSizeLimit = 600; // the header fits, the samples do not
        Finished const run = runZrhost(launch);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_THAT(run.err, HasSubstr("could not write old.wav: File too large"));
        EXPECT_THAT(run.err, HasSubstr("old.wav is left as it was"));
        EXPECT_EQ(contentOf(folder_ / "old.wav"), "an older file");
        EXPECT_EQ(everything(folder_), before);
    }
}

// Interrupted while rendering: the process ends by the signal itself (a shell reports
// 128 + its number), its temporary files are gone and the older file is untouched.
TEST_F(ZrhostOutput, AnInterruptedRenderRemovesItsTemporaryFiles) {
    temporary_.write("long.json", longPatch());
    temporary_.write("old.wav", "an older file");
    auto const before = everything(folder_);
    struct Interruption {
        int signal;
        std::vector<std::string> flags;
        std::string temporary; // what must exist before the signal comes
    };
    Interruption const interruptions[] = {
        {SIGINT, {"--plot", "old.png"}, ".old.wav.part-"},
        {SIGTERM, {}, ".old.wav.part-"},
        {SIGHUP, {"--normalize"}, ".old.wav.float-"},
    };
    for (Interruption const& interruption : interruptions) {
        SCOPED_TRACE(strsignal(interruption.signal));
        Launch launch{{"render", "long.json", "-o", "old.wav"}, folder_};
        launch.arguments.insert(launch.arguments.end(), interruption.flags.begin(), interruption.flags.end());
        ZrhostProcess zrhost(launch);
        EXPECT_TRUE(eventually([&] {
            for (std::string const& name : everything(folder_))
                if (name.starts_with(interruption.temporary) && fs::file_size(folder_ / name) > 0)
                    return true;
            return false;
        })) << "the render started writing";
        zrhost.signal(interruption.signal);
        Finished const run = zrhost.wait();
        EXPECT_EQ(run.killedBy, interruption.signal) << run.err;
        EXPECT_EQ(everything(folder_), before);
        EXPECT_EQ(contentOf(folder_ / "old.wav"), "an older file");
    }
}

// "-" reads standard input wherever a command reads a file, and writes standard output
// wherever it writes one.
TEST_F(ZrhostOutput, DashIsStandardInputAndOutputInEverySubcommand) {
    std::string const rampImage = [] {
        std::string bytes = "PAHS";
        bytes += std::string("\x02\0\0\0", 4);
        for (float value : {0.0f, -1.0f, 1.0f, 1.0f})
            bytes.append(reinterpret_cast<char const*>(&value), sizeof value);
        return bytes;
    }();
    struct Row {
        std::vector<std::string> arguments;
        std::string input;
        std::function<void(std::string const& out)> check;
    };
    auto const isPng = [](std::string const& out) { EXPECT_EQ(out.substr(0, 4), "\x89PNG"); };
    Row const rows[] = {
        {{"render", "-", "-o", "from-stdin.wav", "-q"}, kShortPatch,
         [&](std::string const&) { expectTheRender(folder_ / "from-stdin.wav"); }},
        {{"render", "patch.json", "-o", "x.wav", "--plot", "-", "-q"}, "", isPng},
        {{"shape", "convert", "-", "-", "--to", "blob"}, "(-5,-5)(5,5)\n",
         [&](std::string const& out) { EXPECT_EQ(out, rampImage); }},
        {{"shape", "convert", "-", "-"}, rampImage, [](std::string const& out) { EXPECT_EQ(out, "(-5,-5)(5,5)\n"); }},
        {{"shape", "convert", "-", "-"}, "(-5,-5)(5,5)\nITP=20", [](std::string const& out) { EXPECT_EQ(out, "(-5,-5)(5,5)\n"); }},
        {{"draw", "--blob", "-", "-o", "-", "-q"}, rampImage, isPng},
        {{"draw", "--shape-file", "-", "-o", "-", "-q"}, "(-5,-5)(5,5)\nITP=10", isPng},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        Finished const run = runZrhost({row.arguments, folder_, row.input});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        row.check(run.out);
    }
}

} // namespace
} // namespace zr::test
