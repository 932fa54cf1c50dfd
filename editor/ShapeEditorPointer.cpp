// ZR_ShapeEditor5: the view mapping, hit testing, node picking and pointer editing.

#include <cmath>

#include "editor/ShapeEditor5.h"
#include "sdk/MpString.h"
#include "shapes/Clamp.h"

namespace {

using GmpiDrawing_API::MP1_POINT;

constexpr int64_t kDoubleClickNanoseconds = 301'000'000; // a second press sooner is a double click
constexpr float kFineDragFactor = 0.1f;                  // with the control key held

bool isFinitePoint(float u, float v) { return std::isfinite(u) && std::isfinite(v); }

} // namespace

void ZR_ShapeEditor5::computeViewMapping() {
    view = zr::editor::ViewMapping::compute(viewSize.width, viewSize.height, borderFactor);
}

float ZR_ShapeEditor5::limitToYRange(float y) const {
    if (y > yHigh)
        y = yHigh;
    if (y < yLow)
        y = yLow;
    return y;
}

// Only the node nearest in record coordinates is tested, so of two overlapping markers the
// nearer node wins and a press on a marker whose node is not the nearest misses. The search
// starts from node 0, so a distance that is not a number or overflows still gives an index.
int32_t ZR_ShapeEditor5::pointInsideNode(MP1_POINT point) const {
    float const u = view.recordX(point.x);
    float const v = view.recordY(point.y);
    if (!isFinitePoint(u, v))
        return -1;
    auto const distance = [&](zr::Node const& node) { return (node.x - u) * (node.x - u) + (node.y - v) * (node.y - v); };
    int32_t nearest = 0;
    float nearestDistance = distance(shape().nodes[0]);
    for (int32_t i = 1; i < shape().nodeCount; ++i) {
        float const d = distance(shape().nodes[i]);
        if (d < nearestDistance) {
            nearest = i;
            nearestDistance = d;
        }
    }
    float const px = view.pixelX(shape().nodes[nearest].x);
    float const py = view.pixelY(shape().nodes[nearest].y);
    float const r = nodeSize * 0.5f;
    float const dx = point.x - px;
    float const dy = point.y - py;
    bool const inside = circularNodes ? dx * dx + dy * dy < r * r : std::fabs(dx) < r && std::fabs(dy) < r;
    return inside ? nearest : -1;
}

int32_t ZR_ShapeEditor5::hitTest(MP1_POINT point) {
    if (!editable)
        return gmpi::MP_FAIL;
    if (!lockAddRem)
        return gmpi::MP_OK;
    return pointInsideNode(point) >= 0 ? gmpi::MP_OK : gmpi::MP_FAIL;
}

bool ZR_ShapeEditor5::selectNode(int32_t node) {
    if (node == activeNode)
        return false;
    activeNode = node;
    updateActiveNodePin();
    updateEditPins();
    releaseCurveBitmap();
    redraw();
    return true;
}

void ZR_ShapeEditor5::deselect() {
    if (activeNode < 0)
        return;
    activeNode = -1;
    updateActiveNodePin();
    releaseCurveBitmap();
    redraw();
}

// Adds a node strictly between the first and the last node, at an x no node has yet.
void ZR_ShapeEditor5::addNodeAt(float u, float v) {
    zr::Shape& edited = shape();
    float const t = u + 1.0f;
    if (edited.nodeCount >= zr::Shape::kMaxNodes || edited.nodeCount < zr::Shape::kMinNodes || !(t > 1.0f && t < 2.0f))
        return;
    // The first following node; a blob whose nodes end before t has none, and gets nothing.
    int32_t following = -1;
    for (int32_t i = 0; i + 1 < edited.nodeCount; ++i) {
        float const next = edited.nodes[i + 1].x + 1.0f;
        if (next == t)
            return;
        if (next > t) {
            following = i + 1;
            break;
        }
    }
    float const y = zr::clampf(limitToYRange(v), -1.0f, 1.0f);
    if (following < 0 || !edited.insertNode(following, {t - 1.0f, y}))
        return;
    activeNode = following;
    releaseCurveBitmap();
    redraw();
    updateShapePin();
    updateEditPins();
    updateActiveNodePin();
}

// An end node (or any node while adding and removing is locked) drops to the baseline; an
// interior node is removed.
void ZR_ShapeEditor5::doubleClickOnNode(int32_t node) {
    bool const endNode = node == 0 || node == shape().nodeCount - 1;
    if (endNode && lockFirstLast)
        return;
    if (endNode || lockAddRem) {
        shape().setNodeY(node, baseLine);
    } else {
        shape().removeNode(node);
        activeNode = -1;
        updateActiveNodePin();
    }
    releaseCurveBitmap();
    redraw();
    updateShapePin();
}

int32_t ZR_ShapeEditor5::onPointerDown(int32_t flags, MP1_POINT point) {
    if ((flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) == 0)
        return gmpi::MP_FAIL;
    if (!pinMouseDown)
        pinMouseDown = true;
    setCapture();
    if (!editable)
        return gmpi::MP_OK;

    float const u = view.recordX(point.x);
    float const v = view.recordY(point.y);
    int32_t const node = pointInsideNode(point);
    int64_t const now = clock.nowNanoseconds();
    bool const doubleClick = now - lastClickTime < kDoubleClickNanoseconds;

    if (node >= 0 && !doubleClick) {
        lastClickTime = now;
        selectNode(node);
        lastPointer = {u, v};
        return 1;
    }
    if (node >= 0) {
        doubleClickOnNode(node);
        return gmpi::MP_OK;
    }
    deselect();
    // A point the view cannot map hits nothing and adds nothing.
    if (lockAddRem || !isFinitePoint(u, v))
        return gmpi::MP_OK;
    if (!doubleClick) {
        lastClickTime = now;
        return gmpi::MP_OK;
    }
    addNodeAt(u, v);
    lastPointer = {u, v};
    return gmpi::MP_OK;
}

// The node follows the pointer's movement, not its position; a tenth as far with the
// control key.
int32_t ZR_ShapeEditor5::onPointerMove(int32_t flags, MP1_POINT point) {
    if (!getCapture() || !editable || activeNode < 0)
        return gmpi::MP_OK;
    bool const endNode = activeNode == 0 || activeNode == shape().nodeCount - 1;
    if (endNode && lockFirstLast)
        return gmpi::MP_OK;
    float const u = view.recordX(point.x);
    float const v = view.recordY(point.y);
    if (!isFinitePoint(u, v))
        return gmpi::MP_OK;
    float const factor = (flags & gmpi_gui_api::GG_POINTER_KEY_CONTROL) != 0 ? kFineDragFactor : 1.0f;

    bool const exists = activeNode < shape().nodeCount;
    zr::Node const before = exists ? shape().nodes[activeNode] : zr::Node{-1.0f, 0.0f};
    float const x = lockX ? before.x : before.x + factor * (u - lastPointer.x);
    float const y = limitToYRange(before.y + factor * (v - lastPointer.y));

    bool changed = shape().placeNodeXBetweenNeighbours(activeNode, x + zr::Shape::kXOffset);
    if (exists)
        changed |= shape().setNodeY(activeNode, y);
    if (changed) {
        releaseCurveBitmap();
        redraw();
        updateShapePin();
        updateEditPins();
    }
    lastPointer = {u, v};
    return 1;
}

int32_t ZR_ShapeEditor5::onPointerUp(int32_t, MP1_POINT) {
    if (getCapture())
        releaseCapture();
    if (pinMouseDown)
        pinMouseDown = false;
    return gmpi::MP_OK;
}

// A tooltip that cannot be written as UTF-8 shows as empty.
int32_t ZR_ShapeEditor5::getToolTip(MP1_POINT, gmpi::IMpUnknown* returnString) {
    void* receiver = nullptr;
    if (returnString == nullptr || returnString->queryInterface(MP_IID_RETURNSTRING, &receiver) != gmpi::MP_OK ||
        receiver == nullptr)
        return gmpi::MP_FAIL;
    auto* text = static_cast<gmpi::IString*>(receiver);
    std::string utf8;
    try {
        utf8 = static_cast<std::string>(pinToolTip);
    } catch (...) {
        utf8.clear();
    }
    text->setData(utf8.data(), static_cast<int32_t>(utf8.size()));
    text->release();
    return gmpi::MP_OK;
}
