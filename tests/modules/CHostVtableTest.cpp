// Drives the bundle as a host written in C would: every object is a pointer to a table of
// function pointers, every operation is called at its fixed slot index, and the host it
// hands over is itself a hand-built table. Nothing here includes the framework's headers,
// so a change of slot order or identifier in the bundle breaks this test.

#include <gtest/gtest.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Guid {
    uint32_t a;
    uint16_t b, c;
    uint8_t d[8];
};
constexpr Guid kUnknown = {0x00000000, 0x0000, 0xC000, {0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid kFactory2 = {0x91C3D2EE, 0xC701, 0x4F35, {0x91, 0xA6, 0x09, 0x4D, 0xC7, 0xE0, 0x59, 0x76}};
constexpr Guid kPlugin = {0x2B0DFC7E, 0xA539, 0x49CD, {0xB7, 0x2D, 0x32, 0xFF, 0x9D, 0xF0, 0xD9, 0xE4}};
constexpr Guid kPlugin2 = {0x1E07E3E8, 0x8118, 0x457F, {0xA6, 0x3C, 0xD4, 0xF2, 0x82, 0xA0, 0xF5, 0x19}};
constexpr Guid kLegacyInit = {0x0B471002, 0x5627, 0x4D46, {0x98, 0x4E, 0xC0, 0xDC, 0x79, 0xD0, 0xAD, 0x35}};
constexpr Guid kHost = {0x4F1B532F, 0x3C46, 0x4927, {0xA4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5B, 0xE7}};

bool sameGuid(Guid const* x, Guid const& y) { return std::memcmp(x, &y, sizeof(Guid)) == 0; }

struct Event {
    int32_t timeDelta, eventType, parm1, parm2, parm3, parm4;
    char* extraData;
    Event* next;
};
static_assert(sizeof(Event) == 40);

using Fn = void (*)();
Fn slot(void* object, int index) { return (*static_cast<Fn**>(object))[index]; }

template <typename Result, typename... Args>
Result call(void* object, int index, Args... args) {
    return reinterpret_cast<Result (*)(void*, Args...)>(slot(object, index))(object, args...);
}

// The host: a table of 14 operations and what it saw.
struct CHost {
    Fn const* table;
    int setPins = 0, streamingCalls = 0, sleeps = 0;
    int lastStreamingPin = -1, lastStreaming = -1;
};

int32_t hostQuery(CHost* host, Guid const* iid, void** out) {
    *out = (sameGuid(iid, kHost) || sameGuid(iid, kUnknown)) ? host : nullptr;
    return *out != nullptr ? 0 : -2;
}
int32_t hostRefCount(CHost*) { return 1; }
int32_t hostSetPin(CHost* host, int32_t, int32_t, int32_t, void const*) { return ++host->setPins, 0; }
int32_t hostSetStreaming(CHost* host, int32_t, int32_t pin, int32_t streaming) {
    ++host->streamingCalls;
    host->lastStreamingPin = pin;
    host->lastStreaming = streaming;
    return 0;
}
int32_t hostSleep(CHost* host) { return ++host->sleeps, 0; }
int32_t hostUnused(CHost*) { return -2; }
int32_t hostCountdown(CHost*, int32_t* countdown) { return *countdown = 32, 0; }
int32_t hostSampleRate(CHost*, float* rate) { return *rate = 48000.0f, 0; }
int32_t hostPinIterator(CHost*, void** out) { return *out = nullptr, -2; }

Fn const hostTable[14] = {
    Fn(&hostQuery),     Fn(&hostRefCount),  Fn(&hostRefCount), Fn(&hostSetPin),  Fn(&hostSetStreaming),
    Fn(&hostSleep),     Fn(&hostUnused),    Fn(&hostCountdown), Fn(&hostSampleRate), Fn(&hostUnused),
    Fn(&hostUnused),    Fn(&hostUnused),    Fn(&hostUnused),   Fn(&hostPinIterator),
};

// The blob image of a shape in the wire format: magic, count, then normalised nodes.
std::vector<wchar_t> imageAsText(std::vector<float> const& xy) {
    std::vector<uint32_t> words = {0x53484150u, static_cast<uint32_t>(xy.size() / 2)};
    for (float v : xy) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        words.push_back(bits);
    }
    std::vector<wchar_t> text(words.size());
    std::memcpy(text.data(), words.data(), words.size() * 4);
    return text;
}

Event valueEvent(int32_t time, int32_t pin, void const* data, int32_t size) {
    Event event{time, 100, pin, size, 0, 0, nullptr, nullptr};
    if (size <= 8)
        std::memcpy(&event.parm3, data, size);
    else
        event.extraData = static_cast<char*>(const_cast<void*>(data));
    return event;
}

class CHostVtable : public testing::Test {
protected:
    void SetUp() override {
        library = dlopen(ZR_BUNDLE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto getFactory = reinterpret_cast<int32_t (*)(void**)>(dlsym(library, "MP_GetFactory"));
        ASSERT_NE(getFactory, nullptr);
        void* unknown = nullptr;
        ASSERT_EQ(getFactory(&unknown), 0);
        ASSERT_EQ((call<int32_t, Guid const*, void**>(unknown, 0, &kFactory2, &factory)), 0);
    }
    void TearDown() override {
        if (library != nullptr)
            dlclose(library);
    }

    void* library = nullptr;
    void* factory = nullptr;
};

TEST_F(CHostVtable, FactorySlots) {
    int32_t version = 0;
    wchar_t text[40] = {};
    EXPECT_EQ((call<int32_t, int32_t*, int32_t, wchar_t*>(factory, 4, &version, 40, text)), 0);
    EXPECT_EQ(version, 30800);
    EXPECT_EQ(std::wcslen(text), 28u);

    void* plugin = nullptr;
    EXPECT_EQ((call<int32_t, wchar_t const*, int32_t, void**>(factory, 5, L"ZR_Waveshaper2", 0, &plugin)), 0);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(call<int32_t>(plugin, 2), 0) << "a new instance holds one reference";

    void* wrongSide = reinterpret_cast<void*>(1);
    EXPECT_EQ((call<int32_t, wchar_t const*, int32_t, void**>(factory, 5, L"ZR_Waveshaper2", 2, &wrongSide)), -2);
    EXPECT_EQ(wrongSide, nullptr);
}

TEST_F(CHostVtable, PluginViewsAndWaveshaperBlock) {
    CHost host{hostTable};
    void* plugin2 = nullptr;
    ASSERT_EQ((call<int32_t, wchar_t const*, int32_t, void*, void**>(factory, 3, L"ZR_Waveshaper2", 0, &host, &plugin2)), 0);
    ASSERT_NE(plugin2, nullptr);

    // queryInterface, addRef and release of the IMpPlugin2 view.
    void* view = nullptr;
    ASSERT_EQ((call<int32_t, Guid const*, void**>(plugin2, 0, &kPlugin2, &view)), 0);
    EXPECT_EQ(view, plugin2);
    EXPECT_EQ(call<int32_t>(plugin2, 1), 3);
    EXPECT_EQ(call<int32_t>(plugin2, 2), 2);
    EXPECT_EQ(call<int32_t>(plugin2, 2), 1);
    void* legacy = nullptr;
    ASSERT_EQ((call<int32_t, Guid const*, void**>(plugin2, 0, &kLegacyInit, &legacy)), 0);
    EXPECT_EQ((call<int32_t, void*>(legacy, 3, &host)), 0) << "legacy setHost at slot 3";
    call<int32_t>(legacy, 2);
    void* unknownView = reinterpret_cast<void*>(1);
    EXPECT_EQ((call<int32_t, Guid const*, void**>(plugin2, 0, &kHost, &unknownView)), -2);
    EXPECT_EQ(unknownView, nullptr);

    EXPECT_EQ((call<int32_t, void*>(plugin2, 3, &host)), 0) << "setHost";
    EXPECT_EQ(call<int32_t>(plugin2, 4), 0) << "open";
    float input[64], output[64];
    EXPECT_EQ((call<int32_t, int32_t, float*>(plugin2, 5, 4, input)), 0);
    EXPECT_EQ((call<int32_t, int32_t, float*>(plugin2, 5, 5, output)), 0);
    EXPECT_EQ((call<int32_t, int32_t, float*>(plugin2, 5, 6, output)), -1) << "no pin 6";

    // A triangle: 0 at both ends, +5 V in the middle.
    std::vector<wchar_t> const triangle = imageAsText({0.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.0f});
    int32_t const linear = 10;
    float const low = -5.0f, high = 5.0f;
    Event events[6] = {
        {0, 104, 0, 0, 0, 0, nullptr, nullptr},
        valueEvent(0, 0, triangle.data(), static_cast<int32_t>(triangle.size() * 4)),
        valueEvent(0, 1, &linear, 4),
        valueEvent(0, 2, &low, 4),
        valueEvent(0, 3, &high, 4),
        {0, 101, 4, 0, 0, 0, nullptr, nullptr},
    };
    for (int i = 0; i < 5; ++i)
        events[i].next = &events[i + 1];
    for (int i = 0; i < 64; ++i)
        input[i] = -0.5f + static_cast<float>(i) / 63.0f;
    EXPECT_EQ((call<int32_t, int32_t, Event const*>(plugin2, 6, 64, events)), 0);
    for (int i = 0; i < 64; ++i) {
        float const expected = 0.5f * (1.0f - std::fabs(input[i] / 0.5f));
        EXPECT_NEAR(output[i], expected, 1e-3f) << "sample " << i;
    }
    EXPECT_EQ(host.lastStreamingPin, 5);
    EXPECT_EQ(host.lastStreaming, 1) << "the output follows its streaming input";

    // The older IMpPlugin view: open, setBuffer and process at slots 3 to 5.
    void* plugin1 = nullptr;
    ASSERT_EQ((call<int32_t, Guid const*, void**>(plugin2, 0, &kPlugin, &plugin1)), 0);
    EXPECT_EQ(call<int32_t>(plugin1, 3), 0);
    EXPECT_EQ((call<int32_t, int32_t, float*>(plugin1, 4, 5, output)), 0);
    input[0] = 0.0f;
    EXPECT_EQ((call<int32_t, int32_t, Event*>(plugin1, 5, 1, nullptr)), 0);
    EXPECT_NEAR(output[0], 0.5f, 1e-3f);
    EXPECT_EQ((call<int32_t, int32_t, int32_t, void*>(plugin1, 6, 1, 0, nullptr)), 0);
    EXPECT_EQ((call<int32_t, int32_t, int32_t, void const*>(plugin2, 7, 1, 0, nullptr)), 0);
    call<int32_t>(plugin1, 2);
    EXPECT_EQ(call<int32_t>(plugin2, 2), 0);
}

} // namespace
