// Listening to a shape while it is edited: the shape given at the start sounds from the first
// sample, a new shape is heard from the next period on, in each way of hearing it, and without
// a server the listener says so at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "host/realtime/ShapeListening.h"
#include "testing/BuiltBundle.h"
#include "testing/Eventually.h"
#include "testing/TemporaryFolder.h"
#include "testing/jack/JackServer.h"
#include "testing/jack/JackTestClients.h"

namespace zr::test {
namespace {

using namespace std::chrono_literals;
using Options = host::ShapeListeningOptions;

// A level shape at 4 V: whatever the tone, the curve gives 4 V, and so does the wave.
std::vector<uint8_t> const kLevelAt4Volts = built::shapeImage({{0.0f, 0.8f}, {0.5f, 0.8f}, {1.0f, 0.8f}});
constexpr float kLevelSample = 0.4f;

// The first sample from which the level holds for a run of samples (a tone crosses it only
// for a sample).
std::optional<int64_t> firstAtLevel(std::vector<float> const& samples, int64_t from) {
    constexpr size_t kRun = 32;
    size_t held = 0;
    for (auto i = static_cast<size_t>(from); i < samples.size(); ++i) {
        held = std::fabs(samples[i] - kLevelSample) < 1e-6f ? held + 1 : 0;
        if (held == kRun)
            return static_cast<int64_t>(i + 1 - kRun);
    }
    return std::nullopt;
}

// The three ways of hearing a shape; the third plays a patch of the test's own.
struct Way {
    char const* name;
    Options::As as;
    bool ownPatch;
    bool withinOnePeriod; // the oscillator fades a new wave in over 1/60 s
};
Way const kWays[] = {
    {"transfer curve", Options::As::TransferCurve, false, true},
    {"wave", Options::As::Wave, false, false},
    {"a patch's shape pin", Options::As::TransferCurve, true, true},
};

// A listener in `way` on `server`, heard by `recorder`; its patch, if its own, in `folder`.
Options optionsFor(Way const& way, TemporaryFolder const& folder, JackServer const& server, JackRecorder const& recorder) {
    Options options;
    options.as = way.as;
    if (way.ownPatch) {
        options.patch = folder.write("listened.json", R"json({ "duration": 1,
            "modules": { "shaper": { "id": "ZR_Waveshaper2" } }, "sources": { "shaper.Input": 2 }, "outputs": ["shaper.Out"] })json");
        options.shapePin = "shaper.Shape";
    }
    options.client = {"listener", server.name()};
    options.connectTo = {recorder.portName(0)};
    return options;
}

TEST(ShapeListening, ANewShapeIsHeardFromTheNextPeriod) {
    TemporaryFolder folder("zrhost-listening");
    for (Way const& way : kWays) {
        SCOPED_TRACE(way.name);
        JackServer server(64);
        JackRecorder recorder(server, "recorder", 1, 96000);
        host::ShapeListening listening(built::bundle(), built::descriptions(), optionsFor(way, folder, server, recorder));
        ASSERT_TRUE(recorder.waitFor(4800, 5s));
        EXPECT_FALSE(firstAtLevel(recorder.samples(0), 0)) << "the level shape sounds before it was sent";
        int64_t const sentAt = recorder.framesKept();
        ASSERT_TRUE(listening.setShape(kLevelAt4Volts));
        ASSERT_TRUE(recorder.waitFor(sentAt + 4800, 5s));
        std::vector<float> const captured = recorder.samples(0);
        std::optional<int64_t> const heard = firstAtLevel(captured, sentAt);
        ASSERT_TRUE(heard);
        // The recorder's count may trail the player's periods by one.
        if (way.withinOnePeriod) {
            EXPECT_LE(*heard - sentAt, 2 * server.periodFrames());
        }
        EXPECT_NEAR(captured.back(), kLevelSample, 1e-6f) << "the shape keeps sounding";
        EXPECT_FALSE(listening.serverGone());
    }
}

// A shape given at the start is what the first sound plays: nothing of the patch's own shape
// comes before it.
TEST(ShapeListening, TheShapeGivenAtTheStartIsHeardFromTheFirstSample) {
    TemporaryFolder folder("zrhost-listening-start");
    for (Way const& way : kWays) {
        SCOPED_TRACE(way.name);
        JackServer server(64);
        JackRecorder recorder(server, "recorder", 1, 96000);
        Options options = optionsFor(way, folder, server, recorder);
        options.shape = kLevelAt4Volts;
        host::ShapeListening listening(built::bundle(), built::descriptions(), options);
        // Until the player's first period reaches the recorder, the port is silent; then
        // 100 ms of its sound are kept.
        std::vector<float> captured;
        std::optional<int64_t> soundAt;
        bool const recorded = eventually([&] {
            captured = recorder.samples(0);
            auto const firstSound = std::find_if(captured.begin(), captured.end(), [](float s) { return s != 0.0f; });
            if (firstSound != captured.end())
                soundAt = firstSound - captured.begin();
            return soundAt && std::ssize(captured) >= *soundAt + 4800;
        }, 10.0);
        ASSERT_TRUE(recorded) << (soundAt ? "the sound was not kept" : "nothing sounded");
        EXPECT_EQ(firstAtLevel(captured, *soundAt), soundAt) << "first sound at " << *soundAt;
    }

    Options oversized;
    oversized.shape.assign(64 * 1024, 0);
    JackServer server(64);
    oversized.client = {"listener", server.name()};
    oversized.connect = false;
    EXPECT_THROW(host::ShapeListening(built::bundle(), built::descriptions(), oversized), std::invalid_argument);
}

TEST(ShapeListening, RefusesWhatNoShapeIsAndSaysWhenNoServerRuns) {
    Options options;
    options.client = {"listener", "zrtest-no-server"};
    auto const from = std::chrono::steady_clock::now();
    try {
        host::ShapeListening listening(built::bundle(), built::descriptions(), options);
        ADD_FAILURE() << "listening started without a server";
    } catch (host::JackError const& error) {
        EXPECT_NE(std::string(error.what()).find("no JACK server 'zrtest-no-server' is running"), std::string::npos)
            << error.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - from, 1s);

    JackServer server(64);
    options.client = {"listener", server.name()};
    options.connect = false;
    host::ShapeListening listening(built::bundle(), built::descriptions(), options);
    EXPECT_FALSE(listening.setShape(std::vector<uint8_t>(64 * 1024, 0))) << "larger than any shape";
    EXPECT_TRUE(listening.setShape(kLevelAt4Volts));
}

} // namespace
} // namespace zr::test
