// lv2apply, the LV2 project's own command-line host, renders a WAV file through each effect;
// zrhost renders the same module with the same shape and settings from the same file. The
// two must agree sample for sample.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include "testing/TemporaryFolder.h"
#include "tests/cli/AudioReadBack.h"

namespace zr::test {
namespace {

constexpr int kRate = 48000;
constexpr int kFrames = 24000;

struct ApplyCase {
    std::string name;
    std::string uri;
    std::string moduleId;
    int channels;
    std::string defaultShape; // the shape the plug-in starts with
    std::map<std::string, float> controls; // lv2apply -c
    nlohmann::json pins;                    // the same settings as module pins
};

void PrintTo(ApplyCase const& tested, std::ostream* out) { *out << tested.uri << " " << tested.pins.dump(); }

std::vector<ApplyCase> applyCases() {
    std::string const saturation = "(-5,-5)(-2.5,-3.8)(0,0)(2.5,3.8)(5,5)";
    std::string const contour = "(-5,-5)(-4.5,5)(-1,1)(5,-5)";
    return {
        {"ShaperDefaults", "urn:zr-shapes:lv2:shaper", "ZR_Waveshaper2", 1, saturation, {}, nlohmann::json::object()},
        {"ShaperNarrowSpline", "urn:zr-shapes:lv2:shaper", "ZR_Waveshaper2", 1, saturation,
         {{"interpolation", 30}, {"range_low", -2.5f}, {"range_high", 3.0f}},
         {{"Interpolation", 30}, {"RangeLow", -2.5}, {"RangeHigh", 3.0}}},
        {"ShaperReversedRange", "urn:zr-shapes:lv2:shaper", "ZR_Waveshaper2", 1, saturation,
         {{"interpolation", 20}, {"range_low", 6.0f}, {"range_high", -6.0f}},
         {{"Interpolation", 20}, {"RangeLow", 6.0}, {"RangeHigh", -6.0}}},
        {"ShaperStereo", "urn:zr-shapes:lv2:shaper-stereo", "ZR_Waveshaper2ST", 2, saturation,
         {{"interpolation", 0}, {"range_low", -8.0f}, {"range_high", 8.0f}},
         {{"Interpolation", 0}, {"RangeLow", -8.0}, {"RangeHigh", 8.0}}},
        {"EnvelopeGated", "urn:zr-shapes:lv2:envelope", "ZR_ShapeEnv3", 1, contour,
         {{"gate", 1}, {"duration", 300}, {"sustain_node", 2}, {"interpolation", 30}, {"clip", 0}},
         {{"Gate", true}, {"Duration", 300.0}, {"SustainNode", 2}, {"Interpolation", 30}, {"Clip", false}}},
        {"EnvelopeOnce", "urn:zr-shapes:lv2:envelope", "ZR_ShapeEnv3", 1, contour, {{"gate", 1}, {"duration", 120}},
         {{"Gate", true}, {"Duration", 120.0}}},
    };
}

// Sines with noise, reaching 0.9 of full scale (9 V), one frequency per channel.
std::vector<float> inputOf(int channels) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
    std::vector<float> samples;
    for (int i = 0; i < kFrames; ++i)
        for (int channel = 0; channel < channels; ++channel)
            samples.push_back(0.8f * static_cast<float>(std::sin(2.0 * M_PI * 97.0 * (channel + 1) * i / kRate)) + noise(random));
    return samples;
}

int run(std::string const& command) {
    int const status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Lv2Apply : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(Lv2Apply, EqualsZrhostRenderSampleForSample) {
    ApplyCase const& tested = GetParam();
    TemporaryFolder folder("zr-lv2apply-" + tested.name);
    std::filesystem::path const input = folder.path() / "in.wav";
    ASSERT_TRUE(writeAudio(input, kRate, tested.channels, inputOf(tested.channels)));

    std::string apply = std::string(ZR_LV2_TOOL_ENVIRONMENT) + " LV2_PATH=" + ZR_LV2_BUNDLE_PARENT + " " + LV2APPLY_PATH +
                        " -i " + input.string() + " -o " + (folder.path() / "lv2.wav").string();
    for (auto const& [symbol, value] : tested.controls)
        apply += " -c " + symbol + " " + std::to_string(value);
    apply += " " + tested.uri;
    ASSERT_EQ(run(apply + " 2>" + (folder.path() / "lv2apply.txt").string()), 0) << apply;

    nlohmann::json pins = tested.pins;
    pins["Shape"] = {{"shape", tested.defaultShape}};
    nlohmann::json patch = {{"sampleRate", kRate},
                            {"duration", static_cast<double>(kFrames) / kRate},
                            {"modules", {{"m", {{"id", tested.moduleId}, {"pins", pins}}}}}};
    if (tested.channels == 1) {
        patch["sources"] = {{"m.Input", {{"type", "wav"}, {"file", "in.wav"}}}};
        patch["outputs"] = {"m.Out"};
    } else {
        patch["sources"] = {{"m.InputLeft", {{"type", "wav"}, {"file", "in.wav"}, {"channel", 0}}},
                            {"m.InputRight", {{"type", "wav"}, {"file", "in.wav"}, {"channel", 1}}}};
        patch["outputs"] = {"m.OutLeft", "m.OutRight"};
    }
    std::ofstream(folder.path() / "patch.json") << patch.dump(2);
    std::string const render = std::string(ZRHOST_PATH) + " render -q " + (folder.path() / "patch.json").string() + " -o " +
                               (folder.path() / "zrhost.wav").string() + " --bits 32f";
    ASSERT_EQ(run(render), 0) << render;

    AudioFile const fromPlugin = readAudio(folder.path() / "lv2.wav");
    AudioFile const fromZrhost = readAudio(folder.path() / "zrhost.wav");
    ASSERT_TRUE(fromPlugin.opened && fromZrhost.opened);
    ASSERT_EQ(fromPlugin.info.channels, tested.channels);
    ASSERT_EQ(fromPlugin.samples.size(), fromZrhost.samples.size());
    size_t differing = 0;
    for (size_t i = 0; i < fromPlugin.samples.size(); ++i)
        differing += fromPlugin.samples[i] != fromZrhost.samples[i];
    EXPECT_EQ(differing, 0u) << "of " << fromPlugin.samples.size() << " samples";
    float peak = 0.0f;
    for (float sample : fromPlugin.samples)
        peak = std::fmax(peak, std::fabs(sample));
    EXPECT_GT(peak, 0.05f) << "a silent render proves nothing";
}

INSTANTIATE_TEST_SUITE_P(EveryEffect, Lv2Apply, ::testing::ValuesIn(applyCases()),
                         [](::testing::TestParamInfo<ApplyCase> const& info) { return info.param.name; });

} // namespace
} // namespace zr::test
