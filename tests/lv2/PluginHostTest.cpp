// Every plug-in of the bundle in a lilv host of our own: block sizes from 1 to 8192 and random
// ones, empty blocks, hostile control values, shape messages good and bad, shape files, state
// saved and restored (also garbage), presets. Outputs stay finite, the shape is kept, and
// the sound does not depend on how the host cuts its blocks.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <random>

#include <lv2/atom/atom.h>
#include <lv2/log/log.h>

#include "tests/lv2/PluginCases.h"
#include "testing/TemporaryFolder.h"

namespace zr::test {
namespace {

constexpr uint64_t kTotal = 3 * 8192 + 77;

class PluginHost : public ::testing::TestWithParam<PluginCase> {
protected:
    // A fresh instance; tests excite it right before they render.
    std::unique_ptr<PluginInstance> make(bool withWorker = true) {
        return std::make_unique<PluginInstance>(world_, GetParam().uri, 48000.0, withWorker);
    }

    std::unique_ptr<PluginInstance> makeExcited() {
        auto plugin = make();
        excite(*plugin, GetParam());
        return plugin;
    }

    Channels reference() {
        auto plugin = makeExcited();
        return renderInBlocks(*plugin, kTotal, 8192);
    }

    static bool loggedError(PluginInstance const& plugin) {
        for (LogEntry const& entry : plugin.log())
            if (entry.type == LV2_LOG__Error)
                return true;
        return false;
    }

    LilvTestWorld world_{lv2Path()};
};

// Fixed block sizes, then random ones with empty blocks between them: the sound is the same.
TEST_P(PluginHost, SoundsTheSameWhateverTheBlockSizes) {
    Channels const expected = reference();
    ASSERT_TRUE(allFinite(expected));
    ASSERT_GT(peak(expected), 0.01f) << "the plug-in stays silent when excited";
    for (uint32_t blockSize : {1u, 2u, 3u, 17u, 64u, 511u, 512u, 513u, 1000u, 4096u}) {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        auto plugin = makeExcited();
        EXPECT_EQ(renderInBlocks(*plugin, kTotal, blockSize), expected);
    }
    std::mt19937 random(18);
    std::uniform_int_distribution<uint32_t> size(0, 3000);
    auto plugin = makeExcited();
    Channels const rendered = render(*plugin, kTotal, [&] {
        plugin->run(0); // an empty block between the others
        return size(random);
    });
    EXPECT_EQ(rendered, expected) << "random block sizes with empty blocks";
}

// Each control gets values no host should send; the sound stays finite, a NaN changes nothing
// and a value beyond the range acts as the nearest end.
TEST_P(PluginHost, HostileControlValuesAreIgnoredOrClamped) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const infinity = std::numeric_limits<float>::infinity();
    auto probe = make();
    LilvPlugin const* described = probe->plugin();
    uint32_t const ports = lilv_plugin_get_num_ports(described);
    std::vector<float> minimum(ports), maximum(ports), defaults(ports);
    lilv_plugin_get_port_ranges_float(described, minimum.data(), maximum.data(), defaults.data());
    for (uint32_t index = 0; index < ports; ++index) {
        if (std::isnan(defaults[index]))
            continue; // no control port
        std::string const symbol = lilv_node_as_string(lilv_port_get_symbol(described, lilv_plugin_get_port_by_index(described, index)));
        struct Hostile {
            float written;
            float actsAs;
        };
        for (Hostile const& hostile : {Hostile{nan, defaults[index]}, Hostile{infinity, maximum[index]},
                                      Hostile{-infinity, minimum[index]}, Hostile{1e30f, maximum[index]},
                                      Hostile{-1e30f, minimum[index]}}) {
            SCOPED_TRACE(symbol + " = " + std::to_string(hostile.written));
            auto plugin = makeExcited();
            plugin->setControl(symbol, hostile.written);
            Channels const rendered = renderInBlocks(*plugin, 8192, 1000);
            EXPECT_TRUE(allFinite(rendered));
            auto equivalent = makeExcited();
            equivalent->setControl(symbol, hostile.actsAs);
            EXPECT_EQ(rendered, renderInBlocks(*equivalent, 8192, 1000));
        }
    }
}

// A shape message, or a shape file through the file parameter, sets the shape, which reads
// back in its plain form, and changes the sound.
TEST_P(PluginHost, ShapeMessagesAndFilesSetAndReadEachShape) {
    Channels const before = reference();
    TemporaryFolder folder("zr-lv2-shapefile-");
    struct Accepted {
        std::string text;
        std::string plain;
        bool asFile = false;
    };
    Accepted const shapes[] = {{"(-5,-5)(0,5.0)(5,-5)", "(-5,-5)(0,5)(5,-5)"},
                               {"(-5,5)(-1,-5)(1,5)(5,-5)", "(-5,5)(-1,-5)(1,5)(5,-5)"},
                               {"(-5,-5)(-2,3)(5,5)\nITP=20\n", "(-5,-5)(-2,3)(5,5)", true}};
    for (std::string const& key : GetParam().shapes) {
        for (Accepted const& shape : shapes) {
            SCOPED_TRACE(key + (shape.asFile ? " from a file of " : " = ") + shape.text);
            auto plugin = make();
            std::optional<std::string> const old = plugin->shapeText(key);
            ASSERT_TRUE(old.has_value()) << "patch:Get got no answer";
            EXPECT_NE(old, shape.plain);
            if (shape.asFile)
                plugin->patchSetPath(0, key + "File", folder.write("curve.shp", shape.text).string());
            else
                plugin->patchSetString(0, key, shape.text);
            plugin->run(0);
            excite(*plugin, GetParam());
            Channels const after = renderInBlocks(*plugin, kTotal, 512);
            EXPECT_EQ(plugin->shapeText(key), shape.plain);
            EXPECT_FALSE(loggedError(*plugin));
            EXPECT_TRUE(allFinite(after));
            EXPECT_NE(after, before);
        }
    }
}

TEST_P(PluginHost, StateRoundTripKeepsShapesAndSound) {
    auto original = make();
    for (size_t i = 0; i < GetParam().shapes.size(); ++i)
        original->patchSetString(0, GetParam().shapes[i], i == 0 ? "(-5,-3)(-1,4)(2,-4)(5,3)" : "(-5,-5)(-4,5)(5,-5)");
    original->setControl(GetParam().instrument ? "wave_interpolation" : "interpolation", 30.0f);
    original->run(0);
    std::string const saved = original->saveState();

    auto restored = make();
    restored->restoreState(saved);
    for (std::string const& key : GetParam().shapes) {
        SCOPED_TRACE(key);
        EXPECT_EQ(restored->shapeText(key), original->shapeText(key));
    }
    EXPECT_EQ(restored->saveState(), saved);
    excite(*original, GetParam());
    excite(*restored, GetParam());
    Channels const fromOriginal = renderInBlocks(*original, kTotal, 700);
    EXPECT_EQ(renderInBlocks(*restored, kTotal, 700), fromOriginal);
}

// What a plug-in must not take: shape texts and shape files it refuses, a missing shape file,
// state values no plug-in saved (wrong types, bytes that are no shape, a text without its end),
// a state without shapes, and a shape message to a host without a worker, which cannot have it
// parsed. Every shape stays as it was,
// and the sound goes on as before; what is refused is logged as an error.
TEST_P(PluginHost, WhatIsRefusedKeepsTheShapesAndTheSound) {
    Channels const expected = reference();
    std::string const key = GetParam().shapes.front();
    std::mt19937 random(7);
    std::vector<uint8_t> noise(4096);
    for (auto& byte : noise)
        byte = static_cast<uint8_t>(random());
    int32_t const number = 42;
    auto const message = [&](std::string const& text) {
        return [&key, text](PluginInstance& plugin) { plugin.patchSetString(0, key, text); };
    };
    TemporaryFolder folder("zr-lv2-refused-file-");
    auto const file = [&folder](std::string const& shape, std::string const& name, std::optional<std::string> const& content) {
        std::filesystem::path const path = content ? folder.write(name, *content) : folder.path() / name;
        return [shape, path](PluginInstance& plugin) { plugin.patchSetPath(0, shape + "File", path.string()); };
    };
    auto const state = [](void const* value, size_t size, char const* type) {
        return [=](PluginInstance& plugin) {
            LV2_URID const urid = plugin.urid(type);
            EXPECT_EQ(plugin.restoreWith([&](LV2_URID, size_t* answeredSize, uint32_t* answeredType) {
                *answeredSize = size;
                *answeredType = urid;
                return value;
            }),
                      LV2_STATE_SUCCESS);
        };
    };
    struct Refusal {
        std::string name;
        std::function<void(PluginInstance&)> apply;
        std::optional<bool> logged; // unset: not checked
        bool worker = true;
    };
    Refusal const refusals[] = {
        {"an empty shape text", message(""), true},
        {"one node", message("(-5,0)"), true},
        {"a shape that does not start at -5", message("(0,0)(5,0)"), true},
        {"garbage", message("garbage"), true},
        {"a node beyond 5 V", message("(-5,-5)(5,9)"), true},
        {"nodes out of order", message("(-5,0)(1,0)(0,0)(5,0)"), true},
        {"a text too long", message(std::string(5000, '(')), true},
        {"a shape file with a node beyond 5 V", file(GetParam().shapes.back(), "high.shp", "(-5,-5)(-2,9)(5,5)\nITP=20\n"), true},
        {"a shape file of garbage", file(GetParam().shapes.back(), "garbage.shp", "\x01\x02garbage"), true},
        {"a missing shape file", file(key, "missing.shp", std::nullopt), true},
        {"a state value of an int", state(&number, sizeof number, LV2_ATOM__Int), true},
        {"a state value of noise as a string", state(noise.data(), noise.size(), LV2_ATOM__String), true},
        {"a state value of an empty string", state("", 1, LV2_ATOM__String), true},
        {"a state value of a string of no size", state("", 0, LV2_ATOM__String), true},
        {"a state value of noise of an unknown type", state(noise.data(), 64, "urn:zr-shapes:test:nothing"), true},
        {"a state without shapes",
         [](PluginInstance& plugin) { plugin.restoreWith([](LV2_URID, size_t*, uint32_t*) -> void const* { return nullptr; }); },
         false},
        {"a shape message without a worker", message("(-5,5)(5,-5)"), std::nullopt, false},
    };
    for (Refusal const& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        auto plugin = make(refusal.worker);
        std::vector<std::optional<std::string>> before;
        for (std::string const& shape : GetParam().shapes)
            before.push_back(plugin->shapeText(shape));
        refusal.apply(*plugin);
        excite(*plugin, GetParam());
        Channels const rendered = renderInBlocks(*plugin, kTotal, 8192);
        for (size_t i = 0; i < GetParam().shapes.size(); ++i)
            EXPECT_EQ(plugin->shapeText(GetParam().shapes[i]), before[i]);
        EXPECT_TRUE(!refusal.logged || loggedError(*plugin) == *refusal.logged) << "an error logged or not";
        EXPECT_EQ(rendered, expected);
    }
}

TEST_P(PluginHost, EveryPresetSetsItsShapeAndInterpolation) {
    auto plugin = make();
    LilvNode* presetClass = lilv_new_uri(world_.world(), "http://lv2plug.in/ns/ext/presets#Preset");
    LilvNodes* presets = lilv_plugin_get_related(plugin->plugin(), presetClass);
    // Each preset's shape and interpolation mode, as examples/shapes holds them.
    std::map<std::string, std::pair<std::string, float>> const presetValues = {
        {"ramp-down", {"(-5,5)(5,-5)", 10}},
        {"ramp-up", {"(-5,-5)(5,5)", 10}},
        {"soft-saturation", {"(-5,-5)(-2.5,-3.8)(0,0)(2.5,3.8)(5,5)", 30}},
        {"triangle", {"(-5,-5)(0,5)(5,-5)", 10}}};
    size_t found = 0;
    LILV_FOREACH (nodes, i, presets) {
        std::string const uri = lilv_node_as_uri(lilv_nodes_get(presets, i));
        std::string const name = uri.substr(uri.rfind(':') + 1);
        SCOPED_TRACE(uri);
        ASSERT_TRUE(presetValues.count(name));
        plugin->applyPreset(uri);
        EXPECT_EQ(plugin->shapeText(GetParam().shapes.front()), presetValues.at(name).first);
        EXPECT_EQ(plugin->control(GetParam().instrument ? "wave_interpolation" : "interpolation"), presetValues.at(name).second);
        ++found;
    }
    EXPECT_EQ(found, presetValues.size());
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
}

INSTANTIATE_TEST_SUITE_P(EveryPlugin, PluginHost, ::testing::ValuesIn(pluginCases()),
                         [](::testing::TestParamInfo<PluginCase> const& info) { return info.param.name; });

} // namespace
} // namespace zr::test
