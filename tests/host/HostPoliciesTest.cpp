// The hostile host policies through the hosts: every switch changes exactly the answer it
// names, so that the hostile scripts really reach the paths they claim to, and the echoing
// host nests as deep as it is told and no deeper.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/AudioHost.h"
#include "host/GuiHost.h"
#include "sdk/ClockHost.h"
#include "testing/hostile/HostilePolicies.h"

namespace zr::hostile {
namespace {

// What a module sees of an audio host: the interfaces it is handed, the answers written.
struct AudioAnswers {
    bool host = true, processorHost = true, countdown = true, sampleRate = true;
    host::AudioHostPolicy::IteratorAnswer iterator = host::AudioHostPolicy::IteratorAnswer::NewIterator;
    bool operator==(AudioAnswers const&) const = default;
};

bool handsOut(gmpi::IMpUnknown& host, gmpi::MpGuid const& iid) {
    void* view = nullptr;
    bool const answered = host.queryInterface(iid, &view) == gmpi::MP_OK && view != nullptr;
    if (answered)
        host.release();
    return answered;
}

AudioAnswers answersOf(host::AudioHost& audioHost) {
    using IteratorAnswer = host::AudioHostPolicy::IteratorAnswer;
    AudioAnswers seen;
    seen.host = handsOut(audioHost, MP_IID_HOST);
    seen.processorHost = handsOut(audioHost, MP_IID_PROCESSOR_HOST);
    int32_t countdown = -12345;
    float sampleRate = -1.0f;
    EXPECT_EQ(audioHost.getSleepCountdown(&countdown), gmpi::MP_OK);
    EXPECT_EQ(audioHost.getSampleRate(&sampleRate), gmpi::MP_OK);
    seen.countdown = countdown != -12345;
    seen.sampleRate = sampleRate != -1.0f;
    void* const untouched = &seen;
    void* iterator = untouched;
    EXPECT_EQ(audioHost.createPinIterator(&iterator), gmpi::MP_OK);
    seen.iterator = iterator == untouched ? IteratorAnswer::Unwritten
                    : iterator == nullptr ? IteratorAnswer::Null
                                          : IteratorAnswer::NewIterator;
    if (seen.iterator == IteratorAnswer::NewIterator)
        static_cast<gmpi::IMpPinIterator*>(iterator)->release();
    return seen;
}

TEST(HostileAudioPolicy, EachSwitchChangesTheAnswerItNames) {
    using IteratorAnswer = host::AudioHostPolicy::IteratorAnswer;
    struct Case {
        char const* name;
        HostileSwitches switches;
        AudioAnswers expected;
    } const cases[] = {
        {"no switch", {}, {}},
        {"refuse host", {.refuseHost = true}, {.host = false}},
        {"refuse processor host", {.refuseProcessorHost = true}, {.processorHost = false}},
        {"countdown unwritten", {.leaveCountdownUnwritten = true}, {.countdown = false}},
        {"sample rate unwritten", {.leaveSampleRateUnwritten = true}, {.sampleRate = false}},
        {"iterator unwritten", {.leaveIteratorUnwritten = true}, {.iterator = IteratorAnswer::Unwritten}},
        {"null iterator", {.nullIterator = true}, {.iterator = IteratorAnswer::Null}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        host::AudioHost audioHost;
        audioHost.setPolicy(std::make_shared<HostileAudioPolicy>(c.switches));
        EXPECT_TRUE(answersOf(audioHost) == c.expected);
        EXPECT_EQ(audioHost.referenceCount(), 0);
    }
}

// What a module sees of a GUI host: the interfaces it is handed, and the answers as written
// into buffers that start as 7, 7 and "?".
struct GuiAnswers {
    bool uiHost2 = true, uiHost = true, graphicsHost = true, clock = true;
    int32_t capture = 0, pinCount = 3;
    std::wstring filename = L"/f/a.shp";
    bool operator==(GuiAnswers const&) const = default;
};

GuiAnswers answersOf(host::GuiHost& guiHost) {
    GuiAnswers seen;
    auto& unknown = static_cast<gmpi::IMpUserInterfaceHost2&>(guiHost);
    seen.uiHost2 = handsOut(unknown, MP_IID_UI_HOST2);
    seen.uiHost = handsOut(unknown, MP_IID_UI_HOST);
    seen.graphicsHost = handsOut(unknown, SE_IID_GRAPHICS_HOST);
    seen.clock = handsOut(unknown, ZR_IID_CLOCK_HOST);
    seen.capture = seen.pinCount = 7;
    EXPECT_EQ(guiHost.getCapture(&seen.capture), gmpi::MP_OK);
    EXPECT_EQ(guiHost.getPinCount(&seen.pinCount), gmpi::MP_OK);
    std::vector<wchar_t> filename(12, L'?');
    filename.push_back(L'\0'); // beyond maxChars: shows an answer without a terminator
    guiHost.resolveFilename(L"a.shp", 12, filename.data());
    seen.filename = filename.data();
    return seen;
}

TEST(HostileGuiPolicy, EachSwitchChangesTheAnswerItNames) {
    struct Case {
        char const* name;
        GuiHostileSwitches switches;
        GuiAnswers expected;
    } const cases[] = {
        {"no switch", {}, {}},
        {"refuse UI host", {.refuseUiHost2 = true}, {.uiHost2 = false}},
        {"refuse older UI host", {.refuseUiHost = true}, {.uiHost = false}},
        {"refuse graphics host", {.refuseGraphicsHost = true}, {.graphicsHost = false}},
        {"refuse clock", {.refuseClock = true}, {.clock = false}},
        {"capture unwritten", {.leaveCaptureUnwritten = true}, {.capture = 7}},
        {"pin count unwritten", {.leavePinCountUnwritten = true}, {.pinCount = 7}},
        {"odd pin count", {.pinCountAnswer = INT32_MIN}, {.pinCount = INT32_MIN}},
        {"file name unwritten", {.leaveFilenameUnwritten = true}, {.filename = L"????????????"}},
        {"file name unterminated", {.fillFilenameUnterminated = true}, {.filename = L"xxxxxxxxxxxx"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        host::GuiHost guiHost;
        guiHost.setPinCount(3);
        guiHost.setFileFolder("/f");
        guiHost.setPolicy(std::make_shared<HostileGuiPolicy>(c.switches));
        EXPECT_TRUE(answersOf(guiHost) == c.expected);
        EXPECT_EQ(guiHost.referenceCount(), 0);
    }
}

// A GUI module that counts what reaches it and, if told to, transmits again whenever a pin
// is notified, as a module that never settles would.
class Transmitter final : public gmpi::IMpUserInterface2B {
public:
    Transmitter(host::GuiHost& host, bool answersEchoes) : host_(host), answersEchoes_(answersEchoes) {}

    int stored = 0, notified = 0;

    int32_t queryInterface(gmpi::MpGuid const&, void**) override { return gmpi::MP_NOSUPPORT; }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t setHost(gmpi::IMpUnknown*) override { return gmpi::MP_OK; }
    int32_t initialize() override { return gmpi::MP_OK; }
    int32_t setPin(int32_t, int32_t, int32_t, void const*) override {
        ++stored;
        return gmpi::MP_OK;
    }
    int32_t receiveMessageFromAudio(int32_t, int32_t, void const*) override { return gmpi::MP_OK; }
    int32_t populateContextMenu(float, float, gmpi::IMpUnknown*) override { return gmpi::MP_OK; }
    int32_t onContextMenu(int32_t) override { return gmpi::MP_OK; }
    int32_t getToolTip(float, float, gmpi::IMpUnknown*) override { return gmpi::MP_NOSUPPORT; }
    int32_t notifyPin(int32_t pin, int32_t voice) override {
        ++notified;
        if (answersEchoes_)
            transmit(pin, voice);
        return gmpi::MP_OK;
    }
    void transmit(int32_t pin, int32_t voice) {
        int32_t const value = notified;
        host_.pinTransmit(pin, sizeof value, &value, voice);
    }

private:
    host::GuiHost& host_;
    bool answersEchoes_;
};

TEST(HostileGuiPolicy, EchoesNestAsDeepAsTheDepthAndCountWhatIsCutOff) {
    struct Case {
        int depth;
        bool answersEchoes;
        int echoes, cutOffs;
    } const cases[] = {{1, false, 1, 0}, {1, true, 1, 1}, {3, true, 3, 1}, {16, true, 16, 1}};
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << (c.answersEchoes ? ", answering" : ""));
        host::GuiHost guiHost;
        auto const echoing = echoingGuiHost(c.depth);
        guiHost.setPolicy(echoing);
        Transmitter module(guiHost, c.answersEchoes);
        guiHost.serve(&module);
        module.transmit(4, 2);
        EXPECT_EQ(module.stored, c.echoes);
        EXPECT_EQ(module.notified, c.echoes);
        EXPECT_EQ(echoing->echoCutOffs(), c.cutOffs);
        EXPECT_EQ(guiHost.transmissions().size(), static_cast<std::size_t>(c.echoes + c.cutOffs));
        for (host::HostRecord const& sent : guiHost.transmissions())
            EXPECT_TRUE(sent.pin == 4 && sent.timestamp == 2) << "echoed to the pin and voice it came from";
    }
}

} // namespace
} // namespace zr::hostile
