// The bundle driven as a C host would, by fixed slot indices, without the framework's headers.

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

struct Event {
    int32_t timeDelta, eventType, parm1, parm2, parm3, parm4;
    char const* extraData;
    Event* next;
};
static_assert(sizeof(Event) == 40);

using Fn = void (*)();
template <typename Result = int32_t, typename... Args>
Result call(void* object, int slot, Args... args) {
    return reinterpret_cast<Result (*)(void*, Args...)>((*static_cast<Fn**>(object))[slot])(object, args...);
}

// The host: a table of 14 operations, and the streaming state it was last told.
struct CHost {
    Fn const* table;
    int32_t streamingPin = -1, streaming = -1;
};
int32_t hostQuery(CHost* host, Guid const* iid, void** out) {
    bool const known = std::memcmp(iid, &kHost, sizeof(Guid)) == 0 || std::memcmp(iid, &kUnknown, sizeof(Guid)) == 0;
    *out = known ? host : nullptr;
    return known ? 0 : -2;
}
int32_t hostOk(CHost*) { return 0; }
int32_t hostUnused(CHost*) { return -2; }
int32_t hostSetPin(CHost*, int32_t, int32_t, int32_t, void const*) { return 0; }
int32_t hostSetStreaming(CHost* host, int32_t, int32_t pin, int32_t streaming) {
    host->streamingPin = pin;
    host->streaming = streaming;
    return 0;
}
int32_t hostCountdown(CHost*, int32_t* countdown) { return *countdown = 32, 0; }
int32_t hostSampleRate(CHost*, float* rate) { return *rate = 48000.0f, 0; }
int32_t hostPinIterator(CHost*, void** out) { return *out = nullptr, -2; }
Fn const hostTable[14] = {Fn(&hostQuery),    Fn(&hostOk),         Fn(&hostOk),      Fn(&hostSetPin),   Fn(&hostSetStreaming),
                          Fn(&hostOk),       Fn(&hostUnused),     Fn(&hostCountdown), Fn(&hostSampleRate), Fn(&hostUnused),
                          Fn(&hostUnused),   Fn(&hostUnused),     Fn(&hostUnused),  Fn(&hostPinIterator)};

Event valueEvent(int32_t pin, void const* data, int32_t size) {
    Event event{0, 100, pin, size, 0, 0, nullptr, nullptr};
    if (size <= 8)
        std::memcpy(&event.parm3, data, size);
    else
        event.extraData = static_cast<char const*>(data);
    return event;
}

TEST(CHostVtable, EveryOperationAtItsSlot) {
    void* library = dlopen(ZR_BUNDLE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto getFactory = reinterpret_cast<int32_t (*)(void**)>(dlsym(library, "MP_GetFactory"));
    void *unknown = nullptr, *factory = nullptr;
    ASSERT_EQ(getFactory(&unknown), 0);
    ASSERT_EQ(call(unknown, 0, &kFactory2, &factory), 0);

    // Factory: getSdkInformation (4), createInstance2 (5), createInstance (3).
    int32_t version = 0;
    wchar_t text[40] = {};
    EXPECT_EQ(call(factory, 4, &version, 40, text), 0);
    EXPECT_EQ(version, 30800);
    EXPECT_EQ(std::wcslen(text), 28u);
    void* plugin = nullptr;
    EXPECT_EQ(call(factory, 5, L"ZR_Waveshaper2", 0, &plugin), 0);
    EXPECT_EQ(call(plugin, 2), 0) << "a new instance holds one reference";
    CHost host{hostTable};
    ASSERT_EQ(call(factory, 3, L"ZR_Waveshaper2", 0, &host, &plugin), 0);

    // IMpPlugin2: queryInterface, addRef, release (0-2); the legacy setHost at slot 3.
    void *view = nullptr, *legacy = nullptr;
    ASSERT_EQ(call(plugin, 0, &kPlugin2, &view), 0);
    EXPECT_EQ(view, plugin);
    EXPECT_EQ(call(plugin, 1), 3);
    EXPECT_EQ(call(plugin, 2), 2);
    EXPECT_EQ(call(plugin, 2), 1);
    ASSERT_EQ(call(plugin, 0, &kLegacyInit, &legacy), 0);
    EXPECT_EQ(call(legacy, 3, &host), 0);
    call(legacy, 2);

    // setHost (3), open (4), setBuffer (5), process (6) of a triangle: 0 at the ends, +5 V mid.
    EXPECT_EQ(call(plugin, 3, &host), 0);
    EXPECT_EQ(call(plugin, 4), 0);
    float input[64], output[64];
    EXPECT_EQ(call(plugin, 5, 4, input), 0);
    EXPECT_EQ(call(plugin, 5, 5, output), 0);
    EXPECT_EQ(call(plugin, 5, 6, output), -1) << "no pin 6";
    std::vector<float> triangle = {0.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.0f};
    std::vector<uint32_t> image = {0x53484150u, 3};
    image.resize(2 + triangle.size());
    std::memcpy(image.data() + 2, triangle.data(), triangle.size() * 4);
    int32_t const linear = 10;
    float const low = -5.0f, high = 5.0f;
    Event events[6] = {{0, 104, 0, 0, 0, 0, nullptr, nullptr}, valueEvent(0, image.data(), 32), valueEvent(1, &linear, 4),
                       valueEvent(2, &low, 4), valueEvent(3, &high, 4), {0, 101, 4, 0, 0, 0, nullptr, nullptr}};
    for (int i = 0; i < 5; ++i)
        events[i].next = &events[i + 1];
    for (int i = 0; i < 64; ++i)
        input[i] = -0.5f + static_cast<float>(i) / 63.0f;
    EXPECT_EQ(call(plugin, 6, 64, static_cast<Event const*>(events)), 0);
    for (int i = 0; i < 64; ++i)
        EXPECT_NEAR(output[i], 0.5f * (1.0f - std::fabs(input[i] / 0.5f)), 1e-3f) << "sample " << i;
    EXPECT_EQ(host.streamingPin, 5);
    EXPECT_EQ(host.streaming, 1) << "the output follows its streaming input";
    EXPECT_EQ(call(plugin, 7, 1, 0, static_cast<void const*>(nullptr)), 0) << "receiveMessageFromGui";

    // The older IMpPlugin view: open (3), setBuffer (4), process (5), receiveMessage (6).
    void* plugin1 = nullptr;
    ASSERT_EQ(call(plugin, 0, &kPlugin, &plugin1), 0);
    EXPECT_EQ(call(plugin1, 3), 0);
    EXPECT_EQ(call(plugin1, 4, 5, output), 0);
    input[0] = 0.0f;
    EXPECT_EQ(call(plugin1, 5, 1, static_cast<Event*>(nullptr)), 0);
    EXPECT_NEAR(output[0], 0.5f, 1e-3f);
    EXPECT_EQ(call(plugin1, 6, 1, 0, static_cast<void*>(nullptr)), 0);
    call(plugin1, 2);
    EXPECT_EQ(call(plugin, 2), 0);
    dlclose(library);
}

} // namespace
