#pragma once
// ZR_ShapeEditor5: the graphical shape editor. It shows one shape as a curve over a grid,
// lets the user select, drag, add and remove nodes with the pointer, and exchanges the shape
// with the patch as a blob image on pin 0.
//
// One class, three files by concern:
//   ShapeEditor5.cpp         pins, settings, commands and the writes to its own pins
//   ShapeEditorPointer.cpp   view mapping, hit test, node picking, press / move / release
//   ShapeEditorDrawing.cpp   the two cached bitmaps and the frame

#include <array>
#include <cstdint>

#include "editor/EditorClock.h"
#include "editor/EditorColors.h"
#include "editor/ViewMapping.h"
#include "sdk/Drawing.h"
#include "sdk/MpGuiGfxBase.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

class ZR_ShapeEditor5 final : public gmpi_gui::MpGuiGfxBase {
    // Pin indices are stored in patches: append only.
    MpGuiPin<MpBlob> pinShape;             // 0: the shape's blob image, in and out
    MpGuiPin<int32_t> pinITP_Choice;       // 1: interpolation mode
    MpGuiPin<int32_t> pinActiveNode;       // 2: selected node, in and out
    MpGuiPin<bool> pinEditable;            // 3
    MpGuiPin<bool> pinLockX;               // 4
    MpGuiPin<bool> pinLockAddRem;          // 5
    MpGuiPin<bool> pinLockFirstLast;       // 6
    MpGuiPin<float> pinYLimitMax;          // 7: volts
    MpGuiPin<float> pinYLimitMin;          // 8: volts
    MpGuiPin<float> pinBaseLine;           // 9: volts
    StringGuiPin pinResetShape;            // 10: text form applied by Reset
    MpGuiPin<int32_t> pinEditUnits;        // 11: 0 volts, else normalised
    MpGuiPin<bool> pinMouseDown;           // 12: out, primary button held on the editor
    StringGuiPin pinToolTip;               // 13
    MpGuiPin<int32_t> pinNodeSize;         // 14: pixels
    MpGuiPin<int32_t> pinNodeThickness;    // 15: pixels
    MpGuiPin<bool> pinCircularNodes;       // 16
    MpGuiPin<bool> pinFillNodes;           // 17
    MpGuiPin<int32_t> pinShapeThickness;   // 18: pixels
    MpGuiPin<float> pinBorderFactor;       // 19: percent
    MpGuiPin<bool> pinBorderClip;          // 20
    MpGuiPin<int32_t> pinGridDivisionsX;   // 21
    MpGuiPin<int32_t> pinGridDivisionsY;   // 22
    std::array<StringGuiPin, zr::editor::kColorCount> pinColors; // 23-33: AARRGGBB texts
    MpGuiPin<float> pinEditX;              // 34: active node x, in and out
    MpGuiPin<float> pinEditY;              // 35: active node y, in and out
    MpGuiPin<bool> pinReset;               // 36
    MpGuiPin<bool> pinFlipHoriz;           // 37
    MpGuiPin<bool> pinFlipVert;            // 38

public:
    ZR_ShapeEditor5();
    ~ZR_ShapeEditor5() override = default;

    int32_t setHost(gmpi::IMpUnknown* host) override;
    int32_t OnRender(gmpi::IMpUnknown* drawingContext) override;
    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override;
    int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IMpUnknown* returnString) override;
    using MpGuiGfxBase::getToolTip;

private:
    // Pin handlers (ShapeEditor5.cpp).
    void onSetShape();
    void onSetITP_Choice();
    void onSetActiveNode();
    void onSetEditable() { editable = pinEditable; }
    void onSetLockX() { lockX = pinLockX; }
    void onSetLockAddRem() { lockAddRem = pinLockAddRem; }
    void onSetLockFirstLast() { lockFirstLast = pinLockFirstLast; }
    void onSetYLimits();
    void onSetBaseLine();
    void onSetEditUnits();
    void onSetNodeSize();
    void onSetNodeThickness();
    void onSetShapeThickness();
    void onSetCircularNodes();
    void onSetFillNodes();
    void onSetBorderClip();
    void onSetBorderFactor();
    void onSetGridDivisions();
    void onSetColors();
    void onSetEditX();
    void onSetEditY();
    void onSetReset();
    void onSetFlipHoriz();
    void onSetFlipVert();

    // Writes to the editor's own pins; the echo of pins 0 and 2 is ignored while they run.
    void updateShapePin();
    void updateActiveNodePin();
    void updateEditPins();
    // Stores a size setting that changed and redraws the curve.
    void storeCurveSetting(float& setting, float value);

    // Geometry and pointer (ShapeEditorPointer.cpp).
    void computeViewMapping();
    int32_t pointInsideNode(GmpiDrawing_API::MP1_POINT point) const;
    bool selectNode(int32_t node);
    void deselect();
    void addNodeAt(float u, float v);
    void doubleClickOnNode(int32_t node);
    float limitToYRange(float y) const;

    // Drawing (ShapeEditorDrawing.cpp).
    void drawGridBitmap(GmpiDrawing::Graphics_base& context);
    void drawCurveBitmap(GmpiDrawing::Graphics_base& context);
    void drawGridLines(GmpiDrawing::Graphics_base& target);
    void drawSpikes(GmpiDrawing::Graphics_base& target);
    void drawCurveAndFill(GmpiDrawing::Graphics_base& target, bool line, bool fill);
    void fillUnderCurve(GmpiDrawing::Graphics_base& target, GmpiDrawing_API::IMpPathGeometry const* fill);
    void drawMarkers(GmpiDrawing::Graphics_base& target);
    int32_t curveColumnCount() const;

    zr::Shape& shape() { return interpolator.shape; }
    zr::Shape const& shape() const { return interpolator.shape; }
    void redraw() { invalidateRect(); }
    void releaseCurveBitmap() { curveBitmap.reset(); }
    void releaseBothBitmaps() {
        gridBitmap.reset();
        curveBitmap.reset();
    }

    // The editor's shape is its Interpolator's record; no table exists until the first frame.
    zr::Shape::Interpolator interpolator{0};
    zr::editor::ColorSet const defaultColors = zr::editor::defaultColors();
    zr::editor::ColorSet colors = defaultColors;
    float shapeThickness = 2.0f;
    float nodeThickness = 1.0f;
    float nodeSize = 10.0f;
    float borderFactor = 0.035f;
    float baseLine = 0.0f;
    float yLow = -1.0f;
    float yHigh = 1.0f;
    bool editable = false;
    bool lockX = false;
    bool lockAddRem = false;
    bool lockFirstLast = false;
    bool circularNodes = false;
    bool fillNodes = false;
    bool borderClip = false;
    int32_t gridX = 10;
    int32_t gridY = 10;
    int32_t editUnits = 0;
    GmpiDrawing::Ref<GmpiDrawing_API::IMpBitmap> gridBitmap;
    GmpiDrawing::Ref<GmpiDrawing_API::IMpBitmap> curveBitmap;
    GmpiDrawing_API::MP1_SIZE viewSize{0.0f, 0.0f};
    GmpiDrawing_API::MP1_SIZE renderedSize{0.0f, 0.0f};
    zr::editor::ViewMapping view;
    GmpiDrawing_API::MP1_POINT lastPointer{0.0f, 0.0f};
    int32_t activeNode = -1;
    int64_t lastClickTime = 0;
    bool transmitting = false;
    zr::editor::EditorClock clock;
};
