// Where zrhost writes: hostile targets, interruptions, standard input and output. Whatever the
// target, nothing it did not create is damaged and no temporary file stays behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "tests/cli/AudioReadBack.h"
#include "testing/Eventually.h"
#include "testing/ShapeImage.h"
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

class ZrhostOutput : public ZrhostInFolder {
protected:
    ZrhostOutput() {
        write("patch.json", kShortPatch);
        Finished const made = run("render patch.json -o reference.wav -q");
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

    bool leftTemporaries(fs::path const& folder) const {
        for (std::string const& name : everything(folder))
            if (name.find(".part-") != std::string::npos || name.find(".float-") != std::string::npos)
                return true;
        return false;
    }

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
             write("from-pipe.wav", fifoContent);
             expectTheRender(folder_ / "from-pipe.wav"); // the header's sizes as a pipe reader needs them
         }},
        {"standard output", [](fs::path const&) { return "-"; }, "",
         [&](fs::path const&, std::string const& out) {
             write("from-stdout.wav", out);
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

// A render that cannot finish leaves the older file as it was and no temporary file behind.
// A disk that fills up while the file is written (simulated by a file-size limit) ends it with
// a message that says so. Interrupted while rendering, the process ends by the signal itself
// (a shell reports 128 + its number).
TEST_F(ZrhostOutput, AnUnfinishedRenderLeavesTheOlderFileAndNoTemporaryFile) {
    write("long.json", longPatch());
    struct Unfinished {
        std::string patch;
        std::string flags;
        int signal;            // sent once `temporary` exists; 0: the file-size limit ends it
        std::string temporary; // what must exist before the signal comes
    };
    Unfinished const rows[] = {
        {"patch.json", " --bits 32f", 0, ""},
        {"patch.json", " --bits 32f --normalize", 0, ""},
        {"long.json", " --plot old.png", SIGINT, ".old.wav.part-"},
        {"long.json", "", SIGTERM, ".old.wav.part-"},
        {"long.json", " --normalize", SIGHUP, ".old.wav.float-"},
    };
    for (Unfinished const& row : rows) {
        SCOPED_TRACE(row.patch + row.flags);
        write("old.wav", "an older file");
        auto const before = everything(folder_);
        Launch launch{wordsOf("render " + row.patch + " -o old.wav" + row.flags), folder_};
        if (row.signal == 0)
            launch.fileSizeLimit = 600; // the header fits, the samples do not
        ZrhostProcess zrhost(launch);
        if (row.signal != 0) {
            EXPECT_TRUE(eventually([&] {
                for (std::string const& name : everything(folder_))
                    if (name.starts_with(row.temporary) && fs::file_size(folder_ / name) > 0)
                        return true;
                return false;
            })) << "the render started writing";
            zrhost.signal(row.signal);
        }
        Finished const ended = zrhost.wait();
        if (row.signal != 0) {
            EXPECT_EQ(ended.killedBy, row.signal) << ended.err;
        } else {
            EXPECT_NE(ended.exitCode, 0);
            EXPECT_THAT(ended.err, HasSubstr("could not write old.wav: File too large"));
            EXPECT_THAT(ended.err, HasSubstr("old.wav is left as it was"));
        }
        EXPECT_EQ(everything(folder_), before);
        EXPECT_EQ(contentOf(folder_ / "old.wav"), "an older file");
    }
}

// A shape's blob image as bytes, written by the tests' own writer (nodes in 0..1 and -1..+1).
std::string blobImage(std::vector<std::pair<float, float>> const& nodes) {
    std::vector<uint8_t> const image = built::shapeImage(nodes);
    return {image.begin(), image.end()};
}

// Each result lands whole where it is named, "-" (standard input and output) included, in every
// subcommand, and in the form its name or flags ask for. Rows run in order in one folder, so
// the shape conversions read the files the rows before them wrote. With -v, the messages go
// to stderr and the result on standard output stays whole; without it, stderr stays empty.
TEST_F(ZrhostOutput, EveryResultReachesItsFileOrStandardOutput) {
    std::string const ramp = blobImage({{0.0f, -1.0f}, {1.0f, 1.0f}});
    std::string const png = "\x89PNG";
    struct Row {
        std::string arguments;
        std::string input;
        std::string file;     // where the result is read; "-" for standard output
        std::string expected; // the whole result, or its first bytes when `prefixOnly`
        bool prefixOnly = false;
        bool verbose = false;
    };
    Row const rows[] = {
        {"shape convert '(-5,-5)(0,3)(5,5)' bend.shp --mode 20", "", "bend.shp", "(-5,-5)(0,3)(5,5)\nITP=20"},
        {"shape convert bend.shp bend.blob", "", "bend.blob", blobImage({{0.0f, -1.0f}, {0.5f, 0.6f}, {1.0f, 1.0f}})},
        {"shape convert bend.blob bend.txt", "", "bend.txt", "(-5,-5)(0,3)(5,5)\n"},
        {"shape convert bend.txt again.shp", "", "again.shp", "(-5,-5)(0,3)(5,5)\nITP=10"}, // text carries no mode
        {"shape convert bend.shp -", "", "-", "(-5,-5)(0,3)(5,5)\n"},
        {"shape convert - - --to blob", "(-5,-5)(5,5)\n", "-", ramp},
        {"shape convert - -", ramp, "-", "(-5,-5)(5,5)\n"},
        {"shape convert - -", "(-5,-5)(5,5)\nITP=20", "-", "(-5,-5)(5,5)\n"},
        {"shape convert (-5,0)(5,0) - -v", "", "-", "(-5,0)(5,0)\n", false, true},
        {"draw --blob - -o - -q", ramp, "-", png, true},
        {"draw --shape-file - -o - -q", "(-5,-5)(5,5)\nITP=10", "-", png, true},
        {"render patch.json -o x.wav --plot - -q", "", "-", png, true},
        {"render patch.json -o w.wav --plot w.png", "", "w.png", png, true},
        {"render patch.json -o w.wav --plot w.svg", "", "w.svg", "<?xml", true},
        {"render patch.json -o w.wav --plot w.PDF", "", "w.PDF", "%PDF", true},
        {"render patch.json -o - -v", "", "-", "RIFF", true, true},
        {"render - -o from-stdin.wav -q", kShortPatch, "from-stdin.wav", contentOf(folder_ / "reference.wav")},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.arguments);
        Finished const ran = run(row.arguments, row.input);
        EXPECT_EQ(ran.exitCode, 0) << ran.err;
        EXPECT_EQ(ran.err.empty(), !row.verbose) << ran.err;
        std::string const result = row.file == "-" ? ran.out : contentOf(folder_ / row.file);
        EXPECT_EQ(row.prefixOnly ? result.substr(0, row.expected.size()) : result, row.expected);
    }
    expectTheRender(folder_ / "from-stdin.wav");
}

} // namespace
} // namespace zr::test
