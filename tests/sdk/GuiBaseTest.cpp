// The GUI side of the framework linked directly, driven with our GUI host.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "testing/RecordedValues.h"
#include "host/GuiHost.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/MpGuiGfxBase.h"
#include "sdk/MpString.h"

namespace {

using GmpiDrawing_API::MP1_POINT;
using GmpiDrawing_API::MP1_SIZE;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class ProbeGui final : public SeGuiInvisibleBase {
public:
    MpGuiPin<int32_t> number; // 0
    MpGuiPin<float> level;    // 1
    MpGuiPin<bool> flag;      // 2
    StringGuiPin text;        // 3
    MpGuiPin<MpBlob> blob;    // 4
    StringGuiPin path;        // 5: its handler converts to UTF-8
    int numberNotifications = 0;
    std::string pathSeen;

    ProbeGui() {
        initializePin(number, &ProbeGui::onSetNumber);
        initializePin(level);
        initializePin(flag);
        initializePin(text);
        initializePin(blob);
        initializePin(path, &ProbeGui::onSetPath);
        initializePin(0, level); // a taken index keeps its pin
    }
    void onSetNumber() { ++numberNotifications; }
    void onSetPath() { pathSeen = static_cast<std::string>(path); }
};

class GuiBase : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(module->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&host)), gmpi::MP_OK); }
    void TearDown() override { module->release(); }
    int32_t deliver(int32_t pin, int32_t size, void const* data) {
        int32_t const stored = module->setPin(pin, 0, size, data);
        return stored != gmpi::MP_OK ? stored : module->notifyPin(pin, 0);
    }

    zr::host::GuiHost host;
    ProbeGui* module = new ProbeGui;
};

// Sizes come from the host: none may make a pin read or write beyond the value or the bytes.
TEST_F(GuiBase, HostileSizesNeverCopyBeyondTheValue) {
    alignas(4) unsigned char bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::tuple<int32_t, int32_t, bool, int32_t> const cases[] = { // pin, size, no data, raw size stored
        {0, 2, false, 4},  {0, 16, false, 4}, {0, -4, false, 4}, {0, 4, true, 4},   {1, 8, false, 4},
        {1, -1, false, 4}, {2, 0, false, 1},  {2, -3, false, 1}, {2, 16, false, 1}, {3, 10, false, 8},
        {3, -4, false, 0}, {3, 8, true, 0},   {4, 3, false, 3},  {4, -1, false, 0}, {4, 16, true, 0},
    };
    for (auto const& [pin, size, nullData, expectedRawSize] : cases) {
        SCOPED_TRACE(testing::Message() << "pin " << pin << ", size " << size << (nullData ? ", no data" : ""));
        EXPECT_EQ(module->setPin(pin, 0, size, nullData ? nullptr : bytes), gmpi::MP_OK);
        EXPECT_EQ(module->getPin(pin)->rawSize(), expectedRawSize);
    }
    EXPECT_EQ(deliver(0, 2, bytes), gmpi::MP_OK);
    EXPECT_EQ(module->number.getValue(), 0x0201) << "fewer bytes fill a zeroed value";
}

// Unknown pin indices are refused in the GUI scripts run on every GUI-side module.
TEST_F(GuiBase, HandlersRunPerNotificationAndAssigningTransmitsOnlyNewValues) {
    int32_t const seven = 7;
    module->setPin(0, 0, 4, &seven);
    EXPECT_EQ(module->numberNotifications, 0) << "setPin alone runs no handler";
    EXPECT_EQ(module->notifyPin(0, 0), gmpi::MP_OK);
    EXPECT_EQ(module->notifyPin(0, 0), gmpi::MP_OK);
    EXPECT_EQ(module->numberNotifications, 2) << "once per notification, changed or not";
    EXPECT_EQ(module->notifyPin(1, 0), gmpi::MP_OK) << "a pin without handler";

    module->text = std::wstring(L"abc");
    module->text = std::wstring(L"abc");
    module->text = std::string("\xC3\xA9"); // one accented letter: one character, 4 bytes
    module->level = kNaN; // NaN never equals the stored value
    module->level = kNaN;
    auto const texts = host.transmissionsOf(3);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].size, 12);
    EXPECT_EQ(textOf(texts[1]), L"\u00e9");
    EXPECT_EQ(host.transmissionsOf(1).size(), 2u);
    EXPECT_EQ(module->numberNotifications, 2) << "assigning never runs the module's own handler";
}

// What the converters refuse is checked with the codec (Utf8CodecTest.cpp); here a pin's
// handler and assignment meet it.
TEST_F(GuiBase, Utf8ErrorsStopAtTheHostBoundary) {
    std::wstring const beyond(1, static_cast<wchar_t>(0x110000));
    EXPECT_EQ(deliver(5, 4, beyond.data()), gmpi::MP_FAIL) << "the handler's throw became a result";
    std::wstring const fine = L"f\u00fcr \U0001F600";
    EXPECT_EQ(deliver(5, static_cast<int32_t>(fine.size() * 4), fine.data()), gmpi::MP_OK);
    EXPECT_EQ(module->pathSeen, "f\xC3\xBCr \xF0\x9F\x98\x80");
    EXPECT_THROW(module->text = std::string("\xC3"), std::range_error);
}

// Hosts that refuse the UI host interface, reference counts and the release of every module
// are the GUI stress and lifecycle tests' matter; here the answers a host relies on.
TEST(GuiBaseHost, AnswersItsIdentifiersAndRefusesMissingPointers) {
    auto* module = new ProbeGui;
    void* view = nullptr;
    for (gmpi::MpGuid const& iid : {MP_IID_UNKNOWN, MP_IID_GUI_PLUGIN2, MP_IID_GUI_PLUGIN2B}) {
        ASSERT_EQ(module->queryInterface(iid, &view), gmpi::MP_OK);
        EXPECT_EQ(view, static_cast<gmpi::IMpUserInterface2B*>(module));
        module->release();
    }
    EXPECT_EQ(module->queryInterface(SE_IID_GRAPHICS_MPGUI3, &view), gmpi::MP_NOSUPPORT);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(module->queryInterface(MP_IID_UNKNOWN, nullptr), gmpi::MP_FAIL);
    EXPECT_EQ(module->setHost(nullptr), gmpi::MP_NOSUPPORT);
    module->text = std::wstring(L"dropped"); // without a host nothing is sent, and nothing crashes
    EXPECT_EQ(module->release(), 0);
}

class ProbeGraphics final : public gmpi_gui::MpGuiGfxBase {
public:
    int32_t hitAnswer = gmpi::MP_OK;
    int32_t hitTest(MP1_POINT) override { return hitAnswer; }
    int32_t OnRender(gmpi::IMpUnknown*) override { throw std::runtime_error("drawing failed"); }
};

TEST(GraphicsBase, DefaultsAreSafeAndNoExceptionEscapes) {
    zr::host::GuiHost host;
    auto* module = new ProbeGraphics;
    module->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&host));
    void* view = nullptr;
    ASSERT_EQ(module->queryInterface(SE_IID_GRAPHICS_MPGUI3, &view), gmpi::MP_OK);
    auto* graphics = static_cast<gmpi_gui_api::IMpGraphics3*>(view);

    std::pair<MP1_SIZE, MP1_SIZE> const sizes[] = { // available, desired
        {{0, 0}, {1, 1}}, {{300, 20}, {300, 20}}, {{kNaN, -5}, {1, 1}}};
    for (auto const& [available, expected] : sizes) {
        MP1_SIZE desired{-1, -1};
        EXPECT_EQ(graphics->measure(available, &desired), gmpi::MP_OK);
        EXPECT_TRUE(desired.width == expected.width && desired.height == expected.height) << "at least one pixel";
    }
    EXPECT_EQ(graphics->measure({1, 1}, nullptr), gmpi::MP_FAIL);
    for (float right : {10.0f, 10.0f, kNaN, kNaN})
        graphics->arrange({0, 0, right, 10});
    EXPECT_EQ(host.wholeAreaInvalidations(), 3) << "redrawn for a new rectangle; a NaN one is always new";

    for (int32_t answer : {gmpi::MP_OK, gmpi::MP_FAIL}) {
        module->hitAnswer = answer;
        EXPECT_EQ(graphics->onPointerDown(0x10, {1, 1}), answer);
        EXPECT_EQ(graphics->onPointerMove(0x10, {1, 1}), answer);
        EXPECT_EQ(graphics->onPointerUp(0, {1, 1}), answer);
    }
    gmpi_sdk::MpString text;
    EXPECT_EQ(graphics->getToolTip({1, 1}, &text), gmpi::MP_FAIL);
    EXPECT_EQ(graphics->OnRender(nullptr), gmpi::MP_FAIL) << "the throw became a result";
    text.setData("abc", -2);
    EXPECT_EQ(text.getSize(), 0) << "a negative size stores nothing";
    void* unknown = nullptr;
    ASSERT_EQ(graphics->queryInterface(MP_IID_UNKNOWN, &unknown), gmpi::MP_OK);
    EXPECT_EQ(unknown, static_cast<gmpi::IMpUserInterface2B*>(module)) << "one identity from every view";
    module->release();
    graphics->release();
    module->release();
    EXPECT_EQ(host.referenceCount(), 0);
}

} // namespace
