#pragma once
// The shape editor as a host drives it: defaults, layout, recorded drawing, pointer, clock.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "testing/RecordedValues.h"
#include "host/GuiModule.h"
#include "testing/drawing/RecordingDrawing.h"
#include "tests/modules/BundleFixture.h"

namespace zr::test {

// Pin indices of ZR_ShapeEditor5.
enum EditorPin : int32_t {
    kShape, kITP_Choice, kActiveNode, kEditable, kLockX, kLockAddRem, kLockFirstLast, kYLimitMax, kYLimitMin,
    kBaseLine, kResetShape, kEditUnits, kMouseDown, kToolTip, kNodeSize, kNodeThickness, kCircularNodes,
    kFillNodes, kShapeThickness, kBorderFactor, kBorderClip, kGridDivisionsX, kGridDivisionsY,
    kColorBackgroundTop, kColorBackgroundBottom, kColorGrid, kColorBaseLine, kColorCentreLine, kColorDiagonal,
    kColorCurve, kColorFillOuter, kColorFillInner, kColorNode, kColorActiveNode, kEditX, kEditY, kReset,
    kFlipHoriz, kFlipVert, kEditorPinCount
};

inline constexpr int32_t kPrimary = 0x10;
inline constexpr int32_t kControl = 0x20000;

using Nodes = std::vector<std::pair<float, float>>;
using Point = GmpiDrawing_API::MP1_POINT;

// The nodes of a transmitted blob image.
inline Nodes nodesOf(host::HostRecord const& record) {
    EXPECT_TRUE(isWellFormedImage(record.bytes)) << record.bytes.size() << " bytes";
    return nodesOf(record.bytes);
}

inline std::unique_ptr<host::GuiModule> makeEditor(std::wstring const& id = L"ZR_ShapeEditor5",
                                                   host::GuiModuleOptions options = {}) {
    options.description = *descriptions().find(id);
    auto editor = std::make_unique<host::GuiModule>(bundle(), id, std::move(options));
    editor->sendDefaults();
    return editor;
}

class EditorTest : public testing::Test {
protected:
    // Border 0, 101 x 201 pixels: px = 100 x and py = 100 - 100 y exactly.
    void useExactView() {
        editor->setFloat(kBorderFactor, 0.0f);
        editor->arrange({0.0f, 0.0f, 101.0f, 201.0f});
        frame();
    }
    static Point at(float x, float y) { return {100.0f * x, 100.0f - 100.0f * y}; }

    void frame() { ASSERT_EQ(editor->render(drawing.context()), gmpi::MP_OK); }
    void setShape(Nodes const& nodes) { ASSERT_EQ(editor->setBytes(kShape, shapeImage(nodes)), gmpi::MP_OK); }
    // The shape and the active node the editor last sent.
    std::optional<Nodes> lastSent() {
        auto const sent = editor->host().lastTransmission(kShape);
        return sent ? std::optional<Nodes>(nodesOf(*sent)) : std::nullopt;
    }
    std::optional<int32_t> lastActiveNode() {
        auto const sent = editor->host().lastTransmission(kActiveNode);
        return sent ? std::optional<int32_t>(intOf(*sent)) : std::nullopt;
    }
    float lastSentFloat(int32_t pin) { return floatOf(*editor->host().lastTransmission(pin)); }
    // The nodes a new frame of the exact view draws, read back from the size-10 square markers.
    Nodes shownNodes() {
        drawing.clear();
        frame();
        Nodes nodes;
        for (host::DrawCall const& marker : drawing.callsOf(host::DrawOp::DrawRectangle))
            nodes.emplace_back((marker.numbers[0] + 5.0f) / 100.0f, (100.0f - (marker.numbers[1] + 5.0f)) / 100.0f);
        return nodes;
    }
    int32_t press(Point point, int32_t flags = kPrimary) { return editor->pointerDown(flags, point); }
    int32_t move(Point point, int32_t flags = kPrimary) { return editor->pointerMove(flags, point); }
    int32_t release(Point point) { return editor->pointerUp(0, point); }
    // A press and release, then the host's clock moves on.
    void click(Point point, int64_t thenMilliseconds = 1000) {
        press(point);
        release(point);
        editor->advanceClockMilliseconds(thenMilliseconds);
    }

    host::RecordingDrawing drawing;
    std::unique_ptr<host::GuiModule> editor = makeEditor();
};

} // namespace zr::test
