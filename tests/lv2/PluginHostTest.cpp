// Every plug-in of the bundle in a lilv host of our own: block sizes from 1 to 8192 and random
// ones, empty blocks, hostile control values, shape messages good and bad, shape files, state
// saved and restored (also garbage), presets. Outputs stay finite, the shape is kept, and
// the sound does not depend on how the host cuts its blocks.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

TEST_P(PluginHost, SoundsTheSameWhateverTheBlockSizes) {
    Channels const expected = reference();
    ASSERT_TRUE(allFinite(expected));
    ASSERT_GT(peak(expected), 0.01f) << "the plug-in stays silent when excited";
    for (uint32_t blockSize : {1u, 2u, 3u, 17u, 64u, 511u, 512u, 513u, 1000u, 4096u}) {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        auto plugin = makeExcited();
        EXPECT_EQ(renderInBlocks(*plugin, kTotal, blockSize), expected);
    }
}

TEST_P(PluginHost, SoundsTheSameInRandomBlocksWithEmptyOnes) {
    Channels const expected = reference();
    std::mt19937 random(18);
    std::uniform_int_distribution<uint32_t> size(0, 3000);
    auto plugin = makeExcited();
    Channels const rendered = render(*plugin, kTotal, [&] {
        // Empty blocks between the others: they must change nothing.
        plugin->run(0);
        return size(random);
    });
    EXPECT_EQ(rendered, expected);
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

TEST_P(PluginHost, ShapeMessagesSetAndReadEachShape) {
    for (std::string const& key : GetParam().shapes) {
        SCOPED_TRACE(key);
        auto plugin = make();
        std::optional<std::string> const before = plugin->shapeText(key);
        ASSERT_TRUE(before.has_value()) << "patch:Get got no answer";
        plugin->patchSetString(0, key, "(-5,-5)(0,5.0)(5,-5)");
        plugin->run(16);
        EXPECT_EQ(plugin->shapeText(key), "(-5,-5)(0,5)(5,-5)");
        EXPECT_NE(before, "(-5,-5)(0,5)(5,-5)");
        EXPECT_FALSE(loggedError(*plugin));
    }
}

TEST_P(PluginHost, ANewShapeChangesTheSound) {
    Channels const before = reference();
    auto plugin = make();
    plugin->patchSetString(0, GetParam().shapes.front(), "(-5,5)(-1,-5)(1,5)(5,-5)");
    plugin->run(0);
    excite(*plugin, GetParam());
    Channels const after = renderInBlocks(*plugin, kTotal, 512);
    EXPECT_TRUE(allFinite(after));
    EXPECT_NE(after, before);
}

// A refused shape keeps the one before, says why in the log, and the sound goes on unchanged.
TEST_P(PluginHost, RefusedShapeMessagesKeepTheShapeAndAreLogged) {
    Channels const expected = reference();
    std::string const tooLong(5000, '(');
    for (std::string const& text : {std::string(""), std::string("(-5,0)"), std::string("(0,0)(5,0)"), std::string("garbage"),
                                    std::string("(-5,-5)(5,9)"), std::string("(-5,0)(1,0)(0,0)(5,0)"), tooLong}) {
        SCOPED_TRACE("shape text '" + text.substr(0, 40) + "'");
        auto plugin = make();
        std::string const key = GetParam().shapes.front();
        std::optional<std::string> const before = plugin->shapeText(key);
        plugin->patchSetString(0, key, text);
        excite(*plugin, GetParam());
        Channels const rendered = renderInBlocks(*plugin, kTotal, 8192);
        EXPECT_EQ(plugin->shapeText(key), before);
        EXPECT_TRUE(loggedError(*plugin));
        EXPECT_EQ(rendered, expected);
    }
}

TEST_P(PluginHost, ShapeFilesLoadThroughTheFileParameter) {
    TemporaryFolder folder("zr-lv2-shapefile-");
    struct FileCase {
        std::string content;
        bool accepted;
    };
    for (FileCase const& file : {FileCase{"(-5,-5)(-2,3)(5,5)\nITP=20\n", true}, FileCase{"(-5,-5)(-2,9)(5,5)\nITP=20\n", false},
                                 FileCase{"\x01\x02garbage", false}}) {
        SCOPED_TRACE(file.content);
        std::filesystem::path const path = folder.path() / "curve.shp";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << file.content;
        auto plugin = make();
        std::string const key = GetParam().shapes.back();
        std::optional<std::string> const before = plugin->shapeText(key);
        plugin->patchSetPath(0, key + "File", path.string());
        plugin->run(1);
        EXPECT_EQ(plugin->shapeText(key), file.accepted ? std::optional<std::string>("(-5,-5)(-2,3)(5,5)") : before);
        EXPECT_EQ(loggedError(*plugin), !file.accepted);
    }
    auto plugin = make();
    plugin->patchSetPath(0, GetParam().shapes.front() + "File", (folder.path() / "missing.shp").string());
    plugin->run(1);
    EXPECT_TRUE(loggedError(*plugin));
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

// Values no plug-in saved: wrong types, bytes that are no shape, a text without its end.
TEST_P(PluginHost, GarbageStateKeepsTheShapes) {
    Channels const expected = reference();
    std::mt19937 random(7);
    std::vector<uint8_t> noise(4096);
    for (auto& byte : noise)
        byte = static_cast<uint8_t>(random());
    struct Garbage {
        std::string name;
        void const* value;
        size_t size;
        char const* type;
    };
    int32_t const number = 42;
    for (Garbage const& garbage : {Garbage{"an int", &number, sizeof number, LV2_ATOM__Int},
                                   Garbage{"noise as a string", noise.data(), noise.size(), LV2_ATOM__String},
                                   Garbage{"an empty string", "", 1, LV2_ATOM__String},
                                   Garbage{"a string of no size", "", 0, LV2_ATOM__String},
                                   Garbage{"noise of an unknown type", noise.data(), 64, "urn:zr-shapes:test:nothing"}}) {
        SCOPED_TRACE(garbage.name);
        auto plugin = make();
        std::vector<std::optional<std::string>> before;
        for (std::string const& key : GetParam().shapes)
            before.push_back(plugin->shapeText(key));
        LV2_URID const type = plugin->urid(garbage.type);
        EXPECT_EQ(plugin->restoreWith([&](LV2_URID, size_t* size, uint32_t* answeredType) {
            *size = garbage.size;
            *answeredType = type;
            return garbage.value;
        }),
                  LV2_STATE_SUCCESS);
        for (size_t i = 0; i < GetParam().shapes.size(); ++i)
            EXPECT_EQ(plugin->shapeText(GetParam().shapes[i]), before[i]);
        EXPECT_TRUE(loggedError(*plugin));
        excite(*plugin, GetParam());
        EXPECT_EQ(renderInBlocks(*plugin, kTotal, 8192), expected);
    }
}

TEST_P(PluginHost, AStateWithoutShapesKeepsThemSilently) {
    auto plugin = make();
    std::optional<std::string> const before = plugin->shapeText(GetParam().shapes.front());
    plugin->restoreWith([](LV2_URID, size_t*, uint32_t*) -> void const* { return nullptr; });
    EXPECT_EQ(plugin->shapeText(GetParam().shapes.front()), before);
    EXPECT_FALSE(loggedError(*plugin));
}

// A host without a worker cannot have shapes parsed: messages change nothing, state still does.
TEST_P(PluginHost, WithoutAWorkerMessagesChangeNothing) {
    auto plugin = make(false);
    std::string const key = GetParam().shapes.front();
    std::optional<std::string> const before = plugin->shapeText(key);
    plugin->patchSetString(0, key, "(-5,5)(5,-5)");
    excite(*plugin, GetParam());
    Channels const rendered = renderInBlocks(*plugin, 4096, 256);
    EXPECT_TRUE(allFinite(rendered));
    EXPECT_GT(peak(rendered), 0.01f);
    EXPECT_EQ(plugin->shapeText(key), before);
}

TEST_P(PluginHost, EveryPresetSetsItsShapeAndInterpolation) {
    auto plugin = make();
    LilvNode* presetClass = lilv_new_uri(world_.world(), "http://lv2plug.in/ns/ext/presets#Preset");
    LilvNodes* presets = lilv_plugin_get_related(plugin->plugin(), presetClass);
    std::map<std::string, std::string> const shapes = {{"ramp-down", "(-5,5)(5,-5)"},
                                                       {"ramp-up", "(-5,-5)(5,5)"},
                                                       {"soft-saturation", "(-5,-5)(-2.5,-3.8)(0,0)(2.5,3.8)(5,5)"},
                                                       {"triangle", "(-5,-5)(0,5)(5,-5)"}};
    std::map<std::string, float> const modes = {{"ramp-down", 10}, {"ramp-up", 10}, {"soft-saturation", 30}, {"triangle", 10}};
    size_t found = 0;
    LILV_FOREACH (nodes, i, presets) {
        std::string const uri = lilv_node_as_uri(lilv_nodes_get(presets, i));
        std::string const name = uri.substr(uri.rfind(':') + 1);
        SCOPED_TRACE(uri);
        ASSERT_TRUE(shapes.count(name));
        plugin->applyPreset(uri);
        EXPECT_EQ(plugin->shapeText(GetParam().shapes.front()), shapes.at(name));
        EXPECT_EQ(plugin->control(GetParam().instrument ? "wave_interpolation" : "interpolation"), modes.at(name));
        ++found;
    }
    EXPECT_EQ(found, shapes.size());
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
}

INSTANTIATE_TEST_SUITE_P(EveryPlugin, PluginHost, ::testing::ValuesIn(pluginCases()),
                         [](::testing::TestParamInfo<PluginCase> const& info) { return info.param.name; });

} // namespace
} // namespace zr::test
