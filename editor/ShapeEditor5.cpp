// ZR_ShapeEditor5: pins, settings and commands, and the writes to the editor's own pins.
// Geometry and pointer input are in ShapeEditorPointer.cpp, drawing in ShapeEditorDrawing.cpp.

#include "editor/ShapeEditor5.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sdk/EchoGuard.h"
#include "sdk/Register.h"
#include "shapes/Clamp.h"

namespace {

using zr::clampf;

constexpr zr::Node kFlatDefault[2] = {{0.0f, 0.0f}, {1.0f, 0.0f}};

// Integer pixel settings: below `low` gives `low`, otherwise at most `high`.
float clampedPixels(int32_t value, float low, float high) {
    return static_cast<float>(value) < low ? low : std::min(static_cast<float>(value), high);
}

} // namespace

ZR_ShapeEditor5::ZR_ShapeEditor5() {
    initializePin(pinShape, &ZR_ShapeEditor5::onSetShape);
    initializePin(pinITP_Choice, &ZR_ShapeEditor5::onSetITP_Choice);
    initializePin(pinActiveNode, &ZR_ShapeEditor5::onSetActiveNode);
    initializePin(pinEditable, &ZR_ShapeEditor5::onSetEditable);
    initializePin(pinLockX, &ZR_ShapeEditor5::onSetLockX);
    initializePin(pinLockAddRem, &ZR_ShapeEditor5::onSetLockAddRem);
    initializePin(pinLockFirstLast, &ZR_ShapeEditor5::onSetLockFirstLast);
    initializePin(pinYLimitMax, &ZR_ShapeEditor5::onSetYLimits);
    initializePin(pinYLimitMin, &ZR_ShapeEditor5::onSetYLimits);
    initializePin(pinBaseLine, &ZR_ShapeEditor5::onSetBaseLine);
    initializePin(pinResetShape);
    initializePin(pinEditUnits, &ZR_ShapeEditor5::onSetEditUnits);
    initializePin(pinMouseDown);
    initializePin(pinToolTip);
    initializePin(pinNodeSize, &ZR_ShapeEditor5::onSetNodeSize);
    initializePin(pinNodeThickness, &ZR_ShapeEditor5::onSetNodeThickness);
    initializePin(pinCircularNodes, &ZR_ShapeEditor5::onSetCircularNodes);
    initializePin(pinFillNodes, &ZR_ShapeEditor5::onSetFillNodes);
    initializePin(pinShapeThickness, &ZR_ShapeEditor5::onSetShapeThickness);
    initializePin(pinBorderFactor, &ZR_ShapeEditor5::onSetBorderFactor);
    initializePin(pinBorderClip, &ZR_ShapeEditor5::onSetBorderClip);
    initializePin(pinGridDivisionsX, &ZR_ShapeEditor5::onSetGridDivisions);
    initializePin(pinGridDivisionsY, &ZR_ShapeEditor5::onSetGridDivisions);
    for (StringGuiPin& pinColor : pinColors)
        initializePin(pinColor, &ZR_ShapeEditor5::onSetColors);
    initializePin(pinEditX, &ZR_ShapeEditor5::onSetEditX);
    initializePin(pinEditY, &ZR_ShapeEditor5::onSetEditY);
    initializePin(pinReset, &ZR_ShapeEditor5::onSetReset);
    initializePin(pinFlipHoriz, &ZR_ShapeEditor5::onSetFlipHoriz);
    initializePin(pinFlipVert, &ZR_ShapeEditor5::onSetFlipVert);
}

// The host's clock, when it offers one, times double clicks.
int32_t ZR_ShapeEditor5::setHost(gmpi::IMpUnknown* host) {
    int32_t const result = MpGuiGfxBase::setHost(host);
    clock.attach(host);
    return result;
}

// A rejected image does not keep the previous shape: the editor shows the flat default and
// sends nothing.
void ZR_ShapeEditor5::onSetShape() {
    if (transmitting)
        return;
    MpBlob const& image = pinShape;
    shape().readBlob(image.getData(), image.getSize());
    if (shape().invalid) {
        shape().assignNodes(kFlatDefault, 2);
        shape().changed = 1;
    }
    if (activeNode >= 0 && activeNode < shape().nodeCount)
        updateEditPins();
    releaseCurveBitmap();
    redraw();
}

void ZR_ShapeEditor5::onSetITP_Choice() {
    if (!shape().setInterpolation(pinITP_Choice))
        return;
    releaseCurveBitmap();
    redraw();
}

// An index at or beyond the node count is kept but selects nothing.
void ZR_ShapeEditor5::onSetActiveNode() {
    if (transmitting)
        return;
    activeNode = std::max(pinActiveNode.getValue(), -1);
    releaseCurveBitmap();
    redraw();
    if (activeNode < shape().nodeCount)
        updateEditPins();
}

// The limits bind later edits only; nodes already outside them stay.
void ZR_ShapeEditor5::onSetYLimits() {
    yHigh = clampf(zr::yFromVolts(pinYLimitMax), -1.0f, 1.0f);
    yLow = clampf(zr::yFromVolts(pinYLimitMin), -1.0f, 1.0f);
    if (yLow > yHigh)
        std::swap(yLow, yHigh);
}

void ZR_ShapeEditor5::onSetBaseLine() {
    float const level = clampf(zr::yFromVolts(pinBaseLine), -1.0f, 1.0f);
    if (level == baseLine)
        return;
    baseLine = level;
    releaseBothBitmaps();
    redraw();
}

void ZR_ShapeEditor5::onSetEditUnits() {
    editUnits = pinEditUnits;
    if (activeNode >= 0)
        updateEditPins();
}

void ZR_ShapeEditor5::storeCurveSetting(float& setting, float value) {
    if (value == setting)
        return;
    setting = value;
    releaseCurveBitmap();
    redraw();
}

void ZR_ShapeEditor5::onSetNodeSize() { storeCurveSetting(nodeSize, clampedPixels(pinNodeSize, 4.0f, 20.0f)); }

void ZR_ShapeEditor5::onSetNodeThickness() {
    storeCurveSetting(nodeThickness, clampedPixels(pinNodeThickness, 1.0f, 4.0f));
}

void ZR_ShapeEditor5::onSetShapeThickness() {
    storeCurveSetting(shapeThickness, clampedPixels(pinShapeThickness, 1.0f, 4.0f));
}

void ZR_ShapeEditor5::onSetCircularNodes() {
    circularNodes = pinCircularNodes;
    releaseCurveBitmap();
    redraw();
}

void ZR_ShapeEditor5::onSetFillNodes() {
    fillNodes = pinFillNodes;
    releaseCurveBitmap();
    redraw();
}

void ZR_ShapeEditor5::onSetBorderClip() {
    borderClip = pinBorderClip;
    releaseCurveBitmap();
    redraw();
}

void ZR_ShapeEditor5::onSetBorderFactor() {
    float const factor = clampf(pinBorderFactor * 0.01f, 0.0f, 0.25f);
    if (factor == borderFactor)
        return;
    borderFactor = factor;
    computeViewMapping();
    releaseBothBitmaps();
    redraw();
}

void ZR_ShapeEditor5::onSetGridDivisions() {
    int32_t const divisionsX = std::clamp(pinGridDivisionsX.getValue(), 0, 40);
    int32_t const divisionsY = std::clamp(pinGridDivisionsY.getValue(), 0, 40);
    if (divisionsX == gridX && divisionsY == gridY)
        return;
    gridX = divisionsX;
    gridY = divisionsY;
    gridBitmap.reset();
    redraw();
}

// Every colour is read again, whichever pin changed.
void ZR_ShapeEditor5::onSetColors() {
    for (int slot = 0; slot < zr::editor::kColorCount; ++slot)
        colors[slot] = zr::editor::colorFromPinText(pinColors[slot], defaultColors[slot]);
    releaseBothBitmaps();
    redraw();
}

// Only an interior node moves, and never past its neighbours. The edit pins are not written
// back.
void ZR_ShapeEditor5::onSetEditX() {
    if (activeNode < 0 || lockX)
        return;
    float const x = editUnits == 0 ? zr::xFromVolts(pinEditX) : pinEditX.getValue();
    if (!shape().placeNodeXBetweenNeighbours(activeNode, x + zr::Shape::kXOffset))
        return;
    releaseCurveBitmap();
    redraw();
    updateShapePin();
}

void ZR_ShapeEditor5::onSetEditY() {
    if (activeNode < 0)
        return;
    bool const endNode = activeNode == 0 || activeNode == shape().nodeCount - 1;
    if (lockFirstLast && endNode)
        return;
    float const requested = editUnits == 0 ? zr::yFromVolts(pinEditY) : pinEditY.getValue();
    if (std::isnan(requested) || activeNode >= shape().nodeCount)
        return;
    if (!shape().setNodeY(activeNode, limitToYRange(requested)))
        return;
    releaseCurveBitmap();
    redraw();
    updateShapePin();
}

// A rejected text resets to a flat line at the baseline. Locks and limits do not apply to
// commands.
void ZR_ShapeEditor5::onSetReset() {
    if (!pinReset)
        return;
    bool const changed = shape().setString(pinResetShape.getValue());
    if (!changed && shape().invalid) {
        zr::Node const flat[2] = {{0.0f, baseLine}, {1.0f, baseLine}};
        shape().assignNodes(flat, 2);
        shape().invalid = 0;
    }
    updateShapePin();
    if (activeNode >= 0)
        updateEditPins();
    releaseCurveBitmap();
    redraw();
}

// The same node stays selected; a selection beyond the nodes is left as it is, since
// mirroring it would give a negative index.
void ZR_ShapeEditor5::onSetFlipHoriz() {
    if (!pinFlipHoriz)
        return;
    shape().flipHorizontal();
    releaseCurveBitmap();
    redraw();
    updateShapePin();
    if (activeNode < 0 || activeNode >= shape().nodeCount)
        return;
    activeNode = shape().nodeCount - 1 - activeNode;
    updateActiveNodePin();
    updateEditPins();
}

void ZR_ShapeEditor5::onSetFlipVert() {
    if (!pinFlipVert)
        return;
    shape().flipVertical();
    releaseCurveBitmap();
    redraw();
    updateShapePin();
    if (activeNode >= 0)
        updateEditPins();
}

void ZR_ShapeEditor5::updateShapePin() {
    gmpi_sdk::EchoGuard const ownWrite(transmitting);
    pinTransmit(pinShape.getPinId(), shape().blobSize(), shape().blobData(), 0);
}

void ZR_ShapeEditor5::updateActiveNodePin() {
    gmpi_sdk::EchoGuard const ownWrite(transmitting);
    pinActiveNode = activeNode;
}

// Shows the active node in volts (EditUnits 0) or normalised units. Images are taken
// unchecked: a huge node overflows in volts and shows as the largest finite float of its sign.
void ZR_ShapeEditor5::updateEditPins() {
    if (activeNode < 0 || activeNode >= shape().nodeCount)
        return;
    zr::Node const node = shape().nodes[activeNode];
    pinEditX = zr::clampInfinity(editUnits == 0 ? zr::voltsFromX(node.x) : node.x);
    pinEditY = zr::clampInfinity(editUnits == 0 ? zr::voltsFromY(node.y) : node.y);
}

namespace {
auto const registered = gmpi::Register<ZR_ShapeEditor5>::withId(L"ZR_ShapeEditor5");
auto const registeredC = gmpi::Register<ZR_ShapeEditor5>::withId(L"ZR_ShapeEditor5c");
auto const registeredCC = gmpi::Register<ZR_ShapeEditor5>::withId(L"ZR_ShapeEditor5cc");
} // namespace
