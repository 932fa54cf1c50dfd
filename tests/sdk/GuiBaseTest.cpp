// The GUI side of the framework linked directly: pins, handlers, the host boundary and the
// graphics base's defaults, driven through the module interfaces with our GUI host.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "host/GuiHost.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/MpGuiGfxBase.h"
#include "sdk/MpString.h"

namespace {

using GmpiDrawing_API::MP1_POINT;
using GmpiDrawing_API::MP1_RECT;
using GmpiDrawing_API::MP1_SIZE;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

int probesAlive = 0;

class ProbeGui final : public SeGuiInvisibleBase {
public:
    MpGuiPin<int32_t> number;     // 0
    MpGuiPin<float> level;        // 1
    MpGuiPin<bool> flag;          // 2
    StringGuiPin text;            // 3
    MpGuiPin<MpBlob> blob;        // 4
    StringGuiPin path;            // 5: its handler converts to UTF-8

    int numberNotifications = 0;
    int32_t numberSeen = 0;
    std::string pathSeen;

    ProbeGui() {
        ++probesAlive;
        initializePin(number, &ProbeGui::onSetNumber);
        initializePin(level);
        initializePin(flag);
        initializePin(text);
        initializePin(blob);
        initializePin(path, &ProbeGui::onSetPath);
        initializePin(0, level); // a taken index keeps its pin
    }
    ~ProbeGui() override { --probesAlive; }

    void onSetNumber() {
        ++numberNotifications;
        numberSeen = number;
    }
    void onSetPath() { pathSeen = static_cast<std::string>(path); }
};

class ProbeGraphics final : public gmpi_gui::MpGuiGfxBase {
public:
    int32_t hitAnswer = gmpi::MP_OK;
    int32_t hitTest(MP1_POINT) override { return hitAnswer; }
    int32_t OnRender(gmpi::IMpUnknown*) override { throw std::runtime_error("drawing failed"); }
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
    alignas(4) unsigned char bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<unsigned char>(i + 1);
    int32_t fourBytes = 0;
    std::memcpy(&fourBytes, bytes, 4);
    int32_t twoBytes = 0;
    std::memcpy(&twoBytes, bytes, 2);
    struct Case {
        int32_t pin, size;
        bool nullData;
        int32_t expectedRawSize;
    } const cases[] = {
        {0, 2, false, 4}, {0, 16, false, 4}, {0, -4, false, 4}, {0, 4, true, 4},
        {1, 8, false, 4}, {1, -1, false, 4},
        {2, 0, false, 1}, {2, -3, false, 1}, {2, 16, false, 1},
        {3, 10, false, 8}, {3, -4, false, 0}, {3, 8, true, 0},
        {4, 3, false, 3}, {4, -1, false, 0}, {4, 16, true, 0},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(testing::Message() << "pin " << c.pin << ", size " << c.size << (c.nullData ? ", no data" : ""));
        EXPECT_EQ(module->setPin(c.pin, 0, c.size, c.nullData ? nullptr : bytes), gmpi::MP_OK);
        EXPECT_EQ(module->getPin(c.pin)->rawSize(), c.expectedRawSize);
    }
    EXPECT_EQ(deliver(0, 2, bytes), gmpi::MP_OK);
    EXPECT_EQ(module->number.getValue(), twoBytes) << "fewer bytes fill a zeroed value";
    EXPECT_EQ(deliver(0, 16, bytes), gmpi::MP_OK);
    EXPECT_EQ(module->number.getValue(), fourBytes);
    EXPECT_EQ(module->text.getValue().size(), 0u);
}

TEST_F(GuiBase, SetReportsChangesAsEachPinKindDefines) {
    int32_t const two = 2;
    float const nan = kNaN;
    unsigned char const zero = 0, one = 1;
    std::wstring const abc = L"abc";
    struct Case {
        char const* name;
        int32_t pin, size;
        void const* data;
        bool changed;
    } const cases[] = {
        {"int, new", 0, 4, &two, true},       {"int, same", 0, 4, &two, false},
        {"int, 2 bytes", 0, 2, &two, true},   {"float NaN, new", 1, 4, &nan, true},
        {"float NaN, same bits", 1, 4, &nan, false},
        {"bool from int32 2", 2, 4, &two, true}, {"bool, same int32", 2, 4, &two, true},
        {"bool byte 1, same", 2, 1, &one, false}, {"bool byte 0", 2, 1, &zero, true},
        {"bool no bytes", 2, 0, &one, false},
        {"text, new", 3, 12, abc.data(), true}, {"text, same", 3, 12, abc.data(), false},
        {"text, shorter", 3, 8, abc.data(), true},
        {"blob, new", 4, 3, abc.data(), true}, {"blob, same", 4, 3, abc.data(), false},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(module->getPin(c.pin)->set(0, c.size, c.data), c.changed);
    }
    EXPECT_FALSE(module->flag.getValue()) << "the last byte given was 0";
}

TEST_F(GuiBase, HandlerRunsOncePerNotificationChangedOrNot) {
    int32_t const seven = 7;
    module->setPin(0, 0, 4, &seven);
    module->setPin(0, 0, 4, &seven);
    EXPECT_EQ(module->numberNotifications, 0) << "setPin alone runs no handler";
    EXPECT_EQ(module->notifyPin(0, 0), gmpi::MP_OK);
    EXPECT_EQ(module->numberNotifications, 1);
    EXPECT_EQ(module->numberSeen, 7);
    EXPECT_EQ(module->notifyPin(0, 0), gmpi::MP_OK);
    EXPECT_EQ(module->numberNotifications, 2);
    EXPECT_EQ(module->notifyPin(1, 0), gmpi::MP_OK) << "a pin without handler";
    EXPECT_EQ(module->setPin(6, 0, 4, &seven), gmpi::MP_FAIL);
    EXPECT_EQ(module->notifyPin(6, 0), gmpi::MP_FAIL);
    EXPECT_EQ(module->notifyPin(-1, 0), gmpi::MP_FAIL);
}

TEST_F(GuiBase, AssigningTransmitsOnlyNewValues) {
    module->text = std::wstring(L"abc");
    ASSERT_EQ(host.transmissions().size(), 1u);
    EXPECT_EQ(host.transmissions()[0].pin, 3);
    EXPECT_EQ(host.transmissions()[0].size, 12);
    module->text = std::wstring(L"abc");
    EXPECT_EQ(host.transmissions().size(), 1u);
    // One accented letter in UTF-8 is one character, 4 bytes on the pin.
    module->text = std::string("\xC3\xA9");
    ASSERT_EQ(host.transmissions().size(), 2u);
    EXPECT_EQ(host.transmissions()[1].asText(), L"\u00e9");
    module->level = kNaN; // NaN never equals the stored value
    module->level = kNaN;
    EXPECT_EQ(host.transmissionsOf(1).size(), 2u);
    EXPECT_EQ(module->numberNotifications, 0) << "assigning never runs the module's own handler";
}

// A handler whose text conversion throws answers MP_FAIL; nothing reaches the host.
TEST_F(GuiBase, Utf8ErrorsStopAtTheHostBoundary) {
    std::wstring const beyond(1, static_cast<wchar_t>(0x110000));
    EXPECT_EQ(deliver(5, static_cast<int32_t>(beyond.size() * 4), beyond.data()), gmpi::MP_FAIL);
    std::wstring const fine = L"f\u00fcr \U0001F600";
    EXPECT_EQ(deliver(5, static_cast<int32_t>(fine.size() * 4), fine.data()), gmpi::MP_OK);
    EXPECT_EQ(module->pathSeen, "f\xC3\xBCr \xF0\x9F\x98\x80");
    EXPECT_THROW(module->text = std::string("\xC3"), std::range_error);
}

TEST(Utf8, MalformedTextThrowsRangeErrorAndValidTextRoundTrips) {
    for (char const* bad : {"\xC3", "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "a\xFF"}) {
        SCOPED_TRACE(bad);
        try {
            gmpi_sdk::wideFromUtf8(bad);
            ADD_FAILURE() << "accepted";
        } catch (std::range_error const& e) {
            EXPECT_STREQ(e.what(), "wstring_convert: from_bytes error");
        }
    }
    for (wchar_t bad : {static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)})
        EXPECT_THROW(gmpi_sdk::utf8FromWide(std::wstring(1, bad)), std::range_error);
    std::wstring const text = L"A\u00e9\u20ac\U0010FFFF";
    EXPECT_EQ(gmpi_sdk::utf8FromWide(text).size(), 1u + 2u + 3u + 4u);
    EXPECT_EQ(gmpi_sdk::wideFromUtf8(gmpi_sdk::utf8FromWide(text)), text);
}

TEST(GuiBaseHost, AnswersItsIdentifiersAndCountsReferences) {
    auto* module = new ProbeGui;
    int const alive = probesAlive;
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
    zr::host::GuiHost refusing;
    refusing.hostile().refuseUiHost2 = true;
    EXPECT_EQ(module->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&refusing)), gmpi::MP_NOSUPPORT);
    module->text = std::wstring(L"dropped");
    EXPECT_TRUE(refusing.transmissions().empty());
    EXPECT_EQ(module->receiveMessageFromAudio(0, 0, nullptr), gmpi::MP_FAIL);
    EXPECT_EQ(module->getToolTip(0.0f, 0.0f, nullptr), gmpi::MP_FAIL);

    EXPECT_EQ(module->addRef(), 2);
    EXPECT_EQ(module->release(), 1);
    EXPECT_EQ(module->release(), 0);
    EXPECT_EQ(probesAlive, alive - 1);
    EXPECT_EQ(refusing.referenceCount(), 0) << "the older UI host was given back";
}

class GraphicsBase : public testing::Test {
protected:
    void SetUp() override {
        module->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&host));
        void* view = nullptr;
        ASSERT_EQ(module->queryInterface(SE_IID_GRAPHICS_MPGUI3, &view), gmpi::MP_OK);
        graphics = static_cast<gmpi_gui_api::IMpGraphics3*>(view);
    }
    void TearDown() override {
        graphics->release();
        module->release();
        EXPECT_EQ(host.referenceCount(), 0);
    }

    zr::host::GuiHost host;
    ProbeGraphics* module = new ProbeGraphics;
    gmpi_gui_api::IMpGraphics3* graphics = nullptr;
};

TEST_F(GraphicsBase, MeasureAsksForAtLeastOnePixel) {
    struct Case {
        MP1_SIZE available, desired;
    } const cases[] = {{{0, 0}, {1, 1}}, {{300, 20}, {300, 20}}, {{kNaN, -5}, {1, 1}}};
    for (auto const& c : cases) {
        MP1_SIZE desired{-1, -1};
        EXPECT_EQ(graphics->measure(c.available, &desired), gmpi::MP_OK);
        EXPECT_EQ(desired.width, c.desired.width);
        EXPECT_EQ(desired.height, c.desired.height);
    }
    EXPECT_EQ(graphics->measure({1, 1}, nullptr), gmpi::MP_FAIL);
}

TEST_F(GraphicsBase, ArrangeRedrawsOnlyForANewRectangle) {
    graphics->arrange({0, 0, 10, 10});
    graphics->arrange({0, 0, 10, 10});
    EXPECT_EQ(host.wholeAreaInvalidations(), 1);
    graphics->arrange({0, 0, kNaN, 10});
    graphics->arrange({0, 0, kNaN, 10});
    EXPECT_EQ(host.wholeAreaInvalidations(), 3) << "a NaN coordinate is always new";
}

TEST_F(GraphicsBase, DefaultsAnswerWithTheHitTestAndNoExceptionEscapes) {
    for (int32_t answer : {gmpi::MP_OK, gmpi::MP_FAIL}) {
        module->hitAnswer = answer;
        EXPECT_EQ(graphics->onPointerDown(0x10, {1, 1}), answer);
        EXPECT_EQ(graphics->onPointerMove(0x10, {1, 1}), answer);
        EXPECT_EQ(graphics->onPointerUp(0, {1, 1}), answer);
        EXPECT_EQ(graphics->hitTest2(0, {1, 1}), answer);
    }
    gmpi_sdk::MpString text;
    EXPECT_EQ(graphics->getToolTip({1, 1}, &text), gmpi::MP_FAIL);
    EXPECT_EQ(graphics->onMouseWheel(0, 120, {1, 1}), gmpi::MP_FAIL);
    EXPECT_EQ(graphics->setHover(true), gmpi::MP_FAIL);
    EXPECT_EQ(graphics->OnRender(nullptr), gmpi::MP_FAIL) << "the throw became a result";
    void* unknown = nullptr;
    ASSERT_EQ(graphics->queryInterface(MP_IID_UNKNOWN, &unknown), gmpi::MP_OK);
    EXPECT_EQ(unknown, static_cast<gmpi::IMpUserInterface2B*>(module)) << "one identity from every view";
    module->release();
}

TEST(MpString, StoresBytesAndClearsOnEmpty) {
    gmpi_sdk::MpString text;
    EXPECT_EQ(text.setData("abc", 3), gmpi::MP_OK);
    EXPECT_EQ(text.getSize(), 3);
    EXPECT_STREQ(text.getData(), "abc");
    text.setData("abc", -2);
    EXPECT_EQ(text.getSize(), 0);
    void* view = nullptr;
    EXPECT_EQ(text.queryInterface(MP_IID_RETURNSTRING, &view), gmpi::MP_OK);
    EXPECT_EQ(view, static_cast<gmpi::IString*>(&text));
    EXPECT_EQ(text.queryInterface(MP_IID_GUI_PLUGIN2, &view), gmpi::MP_NOSUPPORT);
}

} // namespace
