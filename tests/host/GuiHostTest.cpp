// Our GUI host's own answers, without a module: file names, pin count, capture and refusals.

#include <gtest/gtest.h>

#include "host/GuiHost.h"

namespace zr::host {
namespace {

TEST(GuiHost, ResolvesShortFileNamesWithinTheGivenCapacity) {
    GuiHost host;
    host.setFileFolder("/data/shapes");
    wchar_t buffer[65]; // one more than the largest capacity given, to see what lies past it
    struct Case {
        wchar_t const* name;
        int32_t capacity;
        int32_t result;
        std::wstring expected;
    } const cases[] = {
        {L"curve.shp", 64, gmpi::MP_OK, L"/data/shapes/curve.shp"},
        {L"/tmp/abs.shp", 64, gmpi::MP_OK, L"/tmp/abs.shp"},
        {L"curve.shp", 6, gmpi::MP_FAIL, L"/data"}, // cut, and still terminated
        {L"", 64, gmpi::MP_OK, L"/data/shapes/"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        EXPECT_EQ(host.resolveFilename(c.name, c.capacity, buffer), c.result);
        EXPECT_EQ(std::wstring(buffer), c.expected);
        EXPECT_EQ(buffer[c.capacity], L'#') << "nothing written past the capacity";
    }
    EXPECT_EQ(host.resolveFilename(L"x", 0, buffer), gmpi::MP_FAIL);
    EXPECT_EQ(host.resolveFilename(nullptr, 64, buffer), gmpi::MP_FAIL);
}

TEST(GuiHost, AnswersPinCountCaptureAndRefusesWhatItIsToldTo) {
    GuiHost host;
    host.setPinCount(39);
    int32_t count = -1;
    EXPECT_EQ(static_cast<gmpi::IMpUserInterfaceHost*>(&host)->getPinCount(&count), gmpi::MP_OK);
    EXPECT_EQ(count, 39);
    host.hostile().leavePinCountUnwritten = true;
    count = -1;
    host.getPinCount(&count);
    EXPECT_EQ(count, -1);

    int32_t held = -1;
    host.getCapture(&held);
    EXPECT_EQ(held, 0);
    host.setCapture();
    host.getCapture(&held);
    EXPECT_EQ(held, 1);
    host.releaseCapture();
    EXPECT_FALSE(host.captureHeld());

    struct Case {
        gmpi::MpGuid iid;
        bool GuiHostileSwitches::*refusal;
    } const cases[] = {
        {MP_IID_UI_HOST2, &GuiHostileSwitches::refuseUiHost2},
        {MP_IID_UI_HOST, &GuiHostileSwitches::refuseUiHost},
        {SE_IID_GRAPHICS_HOST, &GuiHostileSwitches::refuseGraphicsHost},
        {ZR_IID_CLOCK_HOST, &GuiHostileSwitches::refuseClock},
    };
    for (auto const& c : cases) {
        void* view = nullptr;
        EXPECT_EQ(host.queryInterface(c.iid, &view), gmpi::MP_OK);
        EXPECT_NE(view, nullptr);
        host.release();
        host.hostile().*c.refusal = true;
        EXPECT_EQ(host.queryInterface(c.iid, &view), gmpi::MP_NOSUPPORT);
        EXPECT_EQ(view, nullptr);
    }
    EXPECT_EQ(host.referenceCount(), 0);
}

TEST(GuiHost, ClockMovesOnlyWhenTold) {
    GuiHost host;
    int64_t now = 0;
    host.getSteadyTime(&now);
    EXPECT_EQ(now, GuiHost::startTimeNanoseconds);
    host.advanceClock(301'000'000);
    host.getSteadyTime(&now);
    EXPECT_EQ(now, GuiHost::startTimeNanoseconds + 301'000'000);
}

} // namespace
} // namespace zr::host
