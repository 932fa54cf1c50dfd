#pragma once
// Driving audio-side modules through the bundle and reading the images they send.

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "tests/modules/BundleFixture.h"
#include "tests/shapes/RandomShapes.h"

namespace zr::test {

using Image = std::vector<uint8_t>;

constexpr int32_t kBatchSize = 16;

// `count` samples of `out`, run in blocks of `blockSize` with the queued events.
inline std::vector<float> rendered(host::AudioModule& module, int32_t out, int64_t count, int32_t blockSize = 256) {
    std::vector<float> samples;
    for (int64_t done = 0; done < count; done += blockSize) {
        auto const n = static_cast<int32_t>(std::min<int64_t>(blockSize, count - done));
        module.process(n);
        samples.insert(samples.end(), module.buffer(out), module.buffer(out) + n);
    }
    return samples;
}

// Runs one block with the queued events; gives the values the module sent on `pin` in it.
inline std::vector<Image> sentInNextBlock(host::AudioModule& module, int32_t pin) {
    module.host().clearRecords();
    module.process(kBatchSize);
    std::vector<Image> sent;
    for (host::HostRecord const& record : module.host().pinSets(pin))
        sent.push_back(record.bytes);
    return sent;
}

// The one image sent in the next block, if any; a block that sends twice fails the test.
inline std::optional<Image> sentOnce(host::AudioModule& module, int32_t pin) {
    std::vector<Image> const sent = sentInNextBlock(module, pin);
    EXPECT_LE(sent.size(), 1u) << "more than one value in one block";
    if (sent.empty())
        return std::nullopt;
    return sent.back();
}

inline Image imageOf(NodePairs const& nodes) { return shapeImage(nodes); }

// One batch: the values sent to pins, and the nodes sent in answer (nullopt: silent).
using PinValue = std::variant<Image, float, int32_t, std::wstring>;
struct Step {
    char const* name;
    std::vector<std::pair<int32_t, PinValue>> values;
    std::optional<NodePairs> expected;
};

inline void setPinValue(host::AudioModule& module, int32_t pin, PinValue const& value) {
    if (auto const* image = std::get_if<Image>(&value))
        module.setBytes(pin, 0, *image);
    else if (auto const* number = std::get_if<float>(&value))
        module.setFloat(pin, 0, *number);
    else if (auto const* integer = std::get_if<int32_t>(&value))
        module.setInt(pin, 0, *integer);
    else
        module.setText(pin, 0, std::get<std::wstring>(value));
}

inline void runSteps(host::AudioModule& module, int32_t out, std::vector<Step> const& steps) {
    for (Step const& step : steps) {
        SCOPED_TRACE(step.name);
        for (auto const& [pin, value] : step.values)
            setPinValue(module, pin, value);
        std::optional<Image> const sent = sentOnce(module, out);
        ASSERT_EQ(sent.has_value(), step.expected.has_value());
        if (sent) {
            EXPECT_EQ(*sent, imageOf(*step.expected));
        }
    }
}

// Opened and started without defaults, with `copies` of its repeatable pin; first batch cleared.
inline std::unique_ptr<host::AudioModule> started(std::wstring const& id, std::optional<int32_t> copies = {},
                                                  host::AudioModuleOptions options = {}) {
    auto module = copies ? makeModuleWithCopies(id, *copies, options) : makeModule(id, options);
    EXPECT_EQ(module->open(), gmpi::MP_OK);
    module->graphStart();
    module->process(kBatchSize);
    module->host().clearRecords();
    return module;
}

// Neighbouring floats, as the x-order rule uses them in the offset domain x + 1.
inline float above(float v) { return std::nextafter(v, 2.0f); }
inline float below(float v) { return std::nextafter(v, 0.0f); }

} // namespace zr::test
