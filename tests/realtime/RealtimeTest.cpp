// Real-time discipline: once a module is in its steady state (its tables sized, its pins
// holding values of a size), its blocks allocate, free and lock nothing, whatever the block
// carries. The probe that counts this is checked first, on known amounts of work.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "host/HostBookkeeping.h"
#include "testing/realtime/RealtimeProbe.h"
#include "host/TextConversion.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {
namespace {

using Counts = RealtimeProbe::Counts;
using zr::test::shapeImage;

void* volatile escaped = nullptr; // a pointer stored here keeps the work from being elided

Counts countsOf(std::function<void()> const& work, RealtimeProbe::Scope scope = RealtimeProbe::Scope::ModuleOnly) {
    RealtimeProbe::Region region(scope);
    work();
    return region.counts();
}

void expectCounts(Counts const& counted, Counts const& expected) {
    EXPECT_EQ(counted.allocations, expected.allocations);
    EXPECT_EQ(counted.frees, expected.frees);
    EXPECT_EQ(counted.locks, expected.locks);
}

TEST(RealtimeProbe, CountsOnlyTheWorkOfItsOwnThreadOutsideHostBookkeeping) {
    std::vector<int> reserved;
    reserved.reserve(16);
    std::mutex mutex;
    struct Case {
        char const* name;
        std::function<void()> work;
        Counts expected;
    } const cases[] = {
        {"vector growth", [] { std::vector<int> grown{1}; escaped = grown.data(); }, {1, 1, 0}},
        {"push into reserved capacity", [&] { reserved.push_back(2); escaped = reserved.data(); }, {0, 0, 0}},
        {"new without delete", [] { escaped = new int(3); }, {1, 0, 0}},
        {"delete", [] { delete static_cast<int*>(escaped); }, {0, 1, 0}},
        {"std::mutex lock", [&] { std::lock_guard<std::mutex> lock(mutex); }, {0, 0, 1}},
        {"host bookkeeping", [] { HostBookkeeping host; std::vector<int> grown(100); escaped = grown.data(); }, {0, 0, 0}},
        {"another thread", [] {
             HostBookkeeping startingTheThread;
             std::thread([] { std::vector<int> grown(100); escaped = grown.data(); }).join();
         }, {0, 0, 0}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        expectCounts(countsOf(c.work), c.expected);
    }
    escaped = nullptr;
}

TEST(RealtimeProbe, CountsTheHostsBookkeepingWhenAskedTo) {
    struct Case {
        char const* name;
        RealtimeProbe::Scope scope;
        Counts expected;
    } const cases[] = {
        {"module only", RealtimeProbe::Scope::ModuleOnly, {0, 0, 0}},
        {"host too", RealtimeProbe::Scope::HostToo, {1, 1, 0}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        auto const bookkeeping = [] { HostBookkeeping host; std::vector<int> grown(100); escaped = grown.data(); };
        expectCounts(countsOf(bookkeeping, c.scope), c.expected);
        // A Region of the module's work alone inside one that counts the host still counts it.
        RealtimeProbe::Region outer(c.scope);
        expectCounts(countsOf(bookkeeping), c.expected);
    }
    escaped = nullptr;
}

// Five nodes whose heights follow `level`: each level gives new bytes of the same size.
std::vector<uint8_t> fiveNodes(float level) {
    return shapeImage({{0.0f, level}, {0.25f, -level}, {0.5f, 0.5f * level}, {0.75f, 0.0f}, {1.0f, -level}});
}

using Queue = std::function<void(AudioModule&)>;
using LevelQueue = std::function<void(AudioModule&, float level)>;

struct Step {
    std::string name;
    Queue queue;
    int32_t blockSize = 64;
    Counts expected = {};
};

struct ModuleCase {
    wchar_t const* id;
    int32_t copies;    // of the repeatable pin; 0 when the module has none
    Queue steadyState; // runs before the counted blocks and may allocate
    std::vector<Step> steps;
};

// A module of shape values: the steady state holds values of the sizes `queue` sends, then
// three batches of new values of the same sizes.
ModuleCase sameSizeValues(wchar_t const* id, int32_t copies, LevelQueue const& queue) {
    ModuleCase c{id, copies, [queue](AudioModule& m) { queue(m, 0.5f); }, {}};
    for (float level : {-0.25f, 0.75f, -1.0f})
        c.steps.push_back({"level " + std::to_string(level), [queue, level](AudioModule& m) { queue(m, level); }});
    return c;
}

// New shapes of five nodes on `shapePins` and new numbers on `floatPins` in each batch.
ModuleCase valuesOnPins(wchar_t const* id, int32_t copies, std::vector<int32_t> shapePins, std::vector<int32_t> floatPins) {
    return sameSizeValues(id, copies, [=](AudioModule& m, float level) {
        for (int32_t pin : shapePins)
            m.setBytes(pin, 0, fiveNodes(level));
        for (int32_t pin : floatPins)
            m.setFloat(pin, 0, level * static_cast<float>(pin % 7));
    });
}

Queue const nothing = [](AudioModule&) {};

void fillRamp(float* samples) {
    for (int i = 0; i < 4096; ++i)
        samples[i] = static_cast<float>(i % 100) / 50.0f - 1.0f;
}

// An older envelope: the gate rises at sample 100 and falls at 600 of every 1024, over a
// sustain node; `shape` sends a contour of one size for a level.
ModuleCase olderEnvelope(wchar_t const* id, int32_t durationPin, int32_t gatePin, LevelQueue const& shape) {
    auto const steadyState = [=](AudioModule& m) {
        shape(m, 0.5f);
        m.setFloat(durationPin, 0, 5.0f);
        m.setInt(4, 0, 1);
        for (int32_t i = 0; i < 4096; ++i)
            m.buffer(gatePin)[i] = i % 1024 >= 100 && i % 1024 < 600 ? 1.0f : 0.0f;
        std::fill_n(m.buffer(5), 4096, 0.5f);
        m.startStream(gatePin, 0);
    };
    return {id, 0, steadyState,
            {{"gate rises, holds and falls", nothing, 1024},
             {"a new contour taken at the next rise", [=](AudioModule& m) { shape(m, -0.5f); }, 1024},
             {"duration while running", [=](AudioModule& m) { m.setFloat(durationPin, 200, 2.0f); }, 1024},
             {"gate low: the run ends", [=](AudioModule& m) { std::fill_n(m.buffer(gatePin), 4096, 0.0f); }, 2048},
             {"gate stops streaming", [=](AudioModule& m) { m.stopStream(gatePin, 0); }, 1024}}};
}

// An older text-to-text module: with no events nothing happens; a text of the same length or
// a number on `numberPin` sends a rewritten text of the same length; a longer text grows the
// input pin's text and then the output pin's. `more` sends what else the module needs.
ModuleCase olderTextModule(wchar_t const* id, int32_t numberPin, Queue const& more = nothing) {
    auto const steadyState = [=](AudioModule& m) { m.setText(0, 0, L"(-5,-5)(0,1)(5,-5)"); m.setFloat(numberPin, 0, 0.5f); more(m); };
    return {id, 0, steadyState,
            {{"no events", nothing, 512},
             {"a text of the same length", [](AudioModule& m) { m.setText(0, 3, L"(-5,-4)(0,2)(5,-4)"); }},
             {"a number", [=](AudioModule& m) { m.setFloat(numberPin, 0, 1.5f); }},
             {"a longer text", [](AudioModule& m) { m.setText(0, 0, L"(-5,-4)(-1,2)(1,3)(5,-4)"); }, 64, {2, 2, 0}}}};
}

// The counterpart, which shows that the probe sees into the bundle: a longer image makes the
// input pin's storage grow, and that allocates once.
ModuleCase withLongerImage(ModuleCase c, int32_t pin) {
    c.steps.push_back({"a longer image", [pin](AudioModule& m) {
        m.setBytes(pin, 0, shapeImage({{0.0f, 0.0f}, {0.1f, 0.0f}, {0.2f, 0.0f}, {0.3f, 0.0f}, {0.4f, 0.0f}, {1.0f, 0.0f}}));
    }, 16, {1, 1, 0}});
    return c;
}

std::vector<int32_t> pinsFrom1To(int32_t last) {
    std::vector<int32_t> pins(static_cast<std::size_t>(last));
    std::iota(pins.begin(), pins.end(), 1);
    return pins;
}

std::vector<ModuleCase> audioSideModules() {
    using M = AudioModule;
    return {
        {L"ZR_Waveshaper2", 0, [](M& m) { fillRamp(m.buffer(4)); m.startStream(4, 0); },
         {{"audio only", nothing, 512}, {"stream start", [](M& m) { m.startStream(4, 17); }},
          {"stream stop", [](M& m) { m.stopStream(4, 3); }, 512}, {"stream start again", [](M& m) { m.startStream(4, 0); }, 16}}},
        {L"ZR_Waveshaper2ST", 0, [](M& m) { fillRamp(m.buffer(4)); fillRamp(m.buffer(5)); m.startStream(4, 0); },
         {{"audio only", nothing, 1024}, {"right starts", [](M& m) { m.startStream(5, 17); }, 256},
          {"range", [](M& m) { m.setFloat(2, 40, -2.0f); }, 256}, {"both stop", [](M& m) { m.stopStream(4, 0); m.stopStream(5, 0); }, 512},
          {"asleep, woken by a range", [](M& m) { m.setFloat(2, 0, -3.0f); }, 512}}},
        {L"ZR_ShapeOsc2", 0, [](M& m) { std::fill_n(m.buffer(6), 4096, 0.55f); m.setBytes(1, 0, fiveNodes(1.0f)); },
         {{"audio only", nothing, 1024},
          {"new shape: a table renders and fades in", [](M& m) { m.setBytes(1, 9, fiveNodes(-0.5f)); }, 512},
          {"new mode during the fade", [](M& m) { m.setInt(2, 3, 30); }, 1024}, {"oversampling", [](M& m) { m.setInt(4, 0, 3); }, 256},
          {"phase reset", [](M& m) { m.setBool(7, 30, true); }}, {"gate off", [](M& m) { m.setBool(0, 5, false); }, 256},
          {"gate on with a new shape", [](M& m) { m.setBytes(1, 0, fiveNodes(0.2f)); m.setBool(0, 0, true); }, 256}}},
        {L"ZR_ShapeEnv3", 0,
         [](M& m) { std::fill_n(m.buffer(5), 4096, 0.5f); m.setBytes(1, 0, fiveNodes(1.0f)); m.setInt(4, 0, 2); m.setFloat(3, 0, 20.0f); },
         {{"gate on: renders and fills the table", [](M& m) { m.setBool(0, 3, true); }, 512}, {"holding", nothing, 1024},
          {"retrigger with a new shape", [](M& m) { m.setBytes(1, 0, fiveNodes(0.3f)); m.setBool(0, 0, true); }, 512},
          {"duration while running", [](M& m) { m.setFloat(3, 7, 5.0f); }, 256}, {"release", [](M& m) { m.setBool(0, 0, false); }, 1024},
          {"clip and gate", [](M& m) { m.setBool(6, 0, false); m.setBool(0, 1, true); }, 2048}, {"silent", nothing, 1024}}},
        valuesOnPins(L"ZR_ShapeAmp2", 0, {0}, {1, 2}),
        withLongerImage(valuesOnPins(L"ZR_ShapeMorpher2", 5, {2, 3, 4, 5, 6}, {1}), 2),
        valuesOnPins(L"ZR_ShapeNodeModul2", 0, {0}, {2, 3}),
        valuesOnPins(L"ZR_ShapeNodeModif2", 0, {0}, {2, 3}),
        valuesOnPins(L"ZR_ShapeShift2", 0, {0}, {1}),
        valuesOnPins(L"ZR_ShapeFit", 0, {0}, {1, 2}),
        valuesOnPins(L"ZR_ShapeSnap", 0, {0}, {2}),
        valuesOnPins(L"ZR_RegularShapeGen", 120, {}, pinsFrom1To(120)),
        // A rejected image of the same size falls back to the text, also of the same length.
        sameSizeValues(L"ZR_DefaultShape", 0, [](M& m, float level) {
            std::vector<uint8_t> image = fiveNodes(level);
            image[0] = level < 0.0f ? 0 : image[0];
            m.setBytes(0, 0, image);
            m.setText(1, 0, level < 0.0f ? L"(-5,-5)(5,5)" : L"(-5,+5)(5,5)");
        }),
        sameSizeValues(L"ZR_ShapeStr2BLOB", 0,
                       [](M& m, float level) { m.setText(0, 0, level < 0.0f ? L"(-5,-5)(0,1)(5,5)" : L"(-5,-5)(0,2)(5,5)"); }),
        // The older generation: table fills, lookups, pulses and rewritten texts of a known length.
        {L"ZR_Waveshaper", 0, [](M& m) { m.setText(0, 0, L"(-5,-5)(0,5)(5,-5)"); fillRamp(m.buffer(1)); m.startStream(1, 0); },
         {{"audio only", nothing, 1024},
          {"a text of the same length", [](M& m) { m.setText(0, 5, L"(-5,-4)(0,4)(5,-4)"); }, 256},
          {"mode 2", [](M& m) { m.setInt(3, 9, 2); }, 256}}},
        {L"ZR_ShapePulser", 0,
         [](M& m) {
             m.setText(0, 0, L"(-5,-5)(0,5)(5,-5)");
             for (int32_t i = 0; i < 1024; ++i) {
                 m.buffer(2)[i] = (i / 100) % 2 == 0 ? 1.0f : 0.0f;
                 m.buffer(1)[i] = 0.1f + static_cast<float>(i % 7) * 0.01f;
             }
             m.startStream(2, 0);
             m.startStream(1, 0);
         },
         {{"pulses", nothing, 1024}, {"impulses", [](M& m) { m.setInt(3, 0, 3); }, 1024}}},
        {L"ZR_ShapeOsc", 0, [](M& m) { std::fill_n(m.buffer(3), 4096, 0.55f); m.setText(1, 0, L"(-5,-5)(0,5)(5,-5)"); },
         {{"audio only", nothing, 1024},
          {"a text of the same length fades in", [](M& m) { m.setText(1, 9, L"(-5,-4)(0,4)(5,-4)"); }, 1024},
          {"mode 2 during the fade", [](M& m) { m.setInt(2, 3, 2); }, 1024}, {"oversampling", [](M& m) { m.setInt(7, 0, 2); }, 256}}},
        olderEnvelope(L"ZR_ShapeEnv", 1, 2,
                      [](M& m, float level) { m.setText(0, 0, level < 0.0f ? L"(-5,-5)(0,4)(5,-5)" : L"(-5,-5)(0,5)(5,-5)"); }),
        olderEnvelope(L"ZR_ShapeEnv2", 2, 3, [](M& m, float level) { m.setBytes(0, 0, fiveNodes(level)); }),
        olderTextModule(L"ZR_ShapeShift", 1), olderTextModule(L"ZR_SNMod", 3), olderTextModule(L"ZR_SSMod", 3),
        olderTextModule(L"ZR_ShapeMorpher", 2, [](M& m) {
            m.setText(1, 0, L"(-5,5)(0,-1)(5,5)");
            m.setFloat(2, 0, 0.0f); // the blend starts as the first shape, then becomes the second
        }),
        {L"ZR_ShapeAmp", 0, [](M& m) { m.setText(0, 0, L"(-5,-5)(0,5)(5,-5)"); m.setFloat(2, 0, 0.123f); },
         {{"gain", [](M& m) { m.setFloat(2, 3, 2.0f); }}, {"center", [](M& m) { m.setFloat(1, 0, 1.0f); }}}},
    };
}

TEST(ModulesRealtime, SteadyStateBlocksAllocateAndLockNothing) {
    std::vector<std::wstring> covered;
    for (ModuleCase const& c : audioSideModules()) {
        covered.push_back(c.id);
        SCOPED_TRACE(host::utf8FromWide(c.id));
        auto module = c.copies > 0 ? test::makeModuleWithCopies(c.id, c.copies) : test::makeModule(c.id);
        built::start(*module);
        c.steadyState(*module);
        module->process(512);
        module->host().clearRecords();
        for (Step const& step : c.steps) {
            SCOPED_TRACE(step.name);
            step.queue(*module);
            expectCounts(countsOf([&] { module->process(step.blockSize); }), step.expected);
        }
        EXPECT_FALSE(module->host().records().empty()) << "the counted blocks reached the module and it answered";
    }
    for (auto const& description : test::descriptions().all()) {
        if (description.subType == 0) {
            EXPECT_NE(std::find(covered.begin(), covered.end(), description.id), covered.end())
                << description.idText() << ": no real-time case";
        }
    }
}

} // namespace
} // namespace zr::host
