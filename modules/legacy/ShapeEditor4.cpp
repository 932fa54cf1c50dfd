// Successor: ZR_ShapeEditor5 (editor/ShapeEditor5.h).
// ZR_ShapeEditor4 and ZR_ShapeEditor4c: the legacy graphical shape editor. Its shape travels
// as text on pin 0 and its interpolation list is "Linear,Spline,Lagrange,None" (0..3). It
// edits and draws on the current editor: an inner ZR_ShapeEditor5 does all the work, and
// this module translates the pins between the two and gives the inner editor a host that
// passes its drawing, pointer capture and clock requests to the real host.
//
// Pins: 0 is the text shape; 1..36 are the current editor's pins 1..36 with the same kinds and
// meanings (ITP_Choice in legacy numbers). The current editor's FlipHoriz and FlipVert have no
// legacy pin.

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>

#include "editor/ShapeEditor5.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/Identifiers.h"
#include "sdk/MpGuiGfxBase.h"
#include "sdk/Register.h"

class ZR_ShapeEditor final : public gmpi_gui::MpGuiGfxBase {
    // Pin indices are stored in patches: append only.
    StringGuiPin pinShape;                 // 0: node text in volts, in and out
    MpGuiPin<int32_t> pinITP_Choice;       // 1: legacy mode 0..3
    MpGuiPin<int32_t> pinActiveNode;       // 2
    std::array<MpGuiPin<bool>, 4> pinLocks; // 3..6: Editable, LockX, LockAddRem, LockFirstLast
    std::array<MpGuiPin<float>, 3> pinLevels; // 7..9: YLimitMax, YLimitMin, BaseLine (volts)
    StringGuiPin pinResetShape;            // 10
    MpGuiPin<int32_t> pinEditUnits;        // 11
    MpGuiPin<bool> pinMouseDown;           // 12: out
    StringGuiPin pinToolTip;               // 13
    MpGuiPin<int32_t> pinNodeSize;         // 14
    MpGuiPin<int32_t> pinNodeThickness;    // 15
    MpGuiPin<bool> pinCircularNodes;       // 16
    MpGuiPin<bool> pinFillNodes;           // 17
    MpGuiPin<int32_t> pinShapeThickness;   // 18
    MpGuiPin<float> pinBorderFactor;       // 19
    MpGuiPin<bool> pinBorderClip;          // 20
    MpGuiPin<int32_t> pinGridDivisionsX;   // 21
    MpGuiPin<int32_t> pinGridDivisionsY;   // 22
    std::array<StringGuiPin, 11> pinColors; // 23..33
    MpGuiPin<float> pinEditX;              // 34
    MpGuiPin<float> pinEditY;              // 35
    MpGuiPin<bool> pinReset;               // 36

    static constexpr int32_t kShapePin = 0;
    static constexpr int32_t kModePin = 1;
    static constexpr int32_t kLastPin = 36;
    static constexpr int32_t kInnerPinCount = 39;
    static constexpr wchar_t kDefaultText[] =
        L"(-5,-5)(-4,-4)(-3,-3)(-2,-2)(-1,-1)(0,0)(1,1)(2,2)(3,3)(4,4)(5,5)";

    // The host the inner editor sees: its pin writes come back here; everything else goes to
    // the real host.
    class InnerHost final : public gmpi::IMpUserInterfaceHost2 {
    public:
        explicit InnerHost(ZR_ShapeEditor& outer) : outer_(outer) {}
        int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override {
            if (returnInterface == nullptr)
                return gmpi::MP_FAIL;
            *returnInterface = nullptr;
            if (iid == MP_IID_UI_HOST2 || iid == MP_IID_UNKNOWN) {
                *returnInterface = static_cast<gmpi::IMpUserInterfaceHost2*>(this);
                return gmpi::MP_OK;
            }
            if (iid == MP_IID_UI_HOST || outer_.realHost_ == nullptr)
                return gmpi::MP_NOSUPPORT;
            return outer_.realHost_->queryInterface(iid, returnInterface);
        }
        int32_t addRef() override { return 1; } // lives as long as the legacy editor
        int32_t release() override { return 1; }
        int32_t pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) override {
            return outer_.fromInner(pinIndex, size, data, voice);
        }
        int32_t resolveFilename(wchar_t const* shortName, int32_t maxChars, wchar_t* returnFullFilename) override {
            gmpi::IMpUserInterfaceHost2* host = outer_.getUiHost();
            return host == nullptr ? gmpi::MP_FAIL : host->resolveFilename(shortName, maxChars, returnFullFilename);
        }
        int32_t getPinCount(int32_t* returnCount) override {
            if (returnCount == nullptr)
                return gmpi::MP_FAIL;
            *returnCount = kInnerPinCount;
            return gmpi::MP_OK;
        }

    private:
        ZR_ShapeEditor& outer_;
    };

    ZR_ShapeEditor5* inner = new ZR_ShapeEditor5;
    InnerHost innerHost{*this};
    gmpi::IMpUnknown* realHost_ = nullptr;

public:
    ZR_ShapeEditor() {
        initializePin(pinShape);
        initializePin(pinITP_Choice);
        initializePin(pinActiveNode);
        for (auto& pin : pinLocks)
            initializePin(pin);
        for (auto& pin : pinLevels)
            initializePin(pin);
        initializePin(pinResetShape);
        initializePin(pinEditUnits);
        initializePin(pinMouseDown);
        initializePin(pinToolTip);
        initializePin(pinNodeSize);
        initializePin(pinNodeThickness);
        initializePin(pinCircularNodes);
        initializePin(pinFillNodes);
        initializePin(pinShapeThickness);
        initializePin(pinBorderFactor);
        initializePin(pinBorderClip);
        initializePin(pinGridDivisionsX);
        initializePin(pinGridDivisionsY);
        for (auto& pin : pinColors)
            initializePin(pin);
        initializePin(pinEditX);
        initializePin(pinEditY);
        initializePin(pinReset);
        std::wstring const text = kDefaultText;
        pinShape.set(0, static_cast<int32_t>(text.size() * sizeof(wchar_t)), text.data());
        shapeToInner();
    }

    ~ZR_ShapeEditor() override {
        inner->release();
        if (realHost_ != nullptr)
            realHost_->release();
    }

    int32_t setHost(gmpi::IMpUnknown* host) override {
        if (realHost_ != nullptr)
            realHost_->release();
        realHost_ = host;
        if (realHost_ != nullptr)
            realHost_->addRef();
        int32_t const result = MpGuiGfxBase::setHost(host);
        inner->setHost(&innerHost);
        return result;
    }

    // Stores the value as every GUI module does, then hands it to the inner editor.
    int32_t setPin(int32_t pinIndex, int32_t voice, int32_t size, void const* data) override {
        int32_t const result = MpGuiBase2::setPin(pinIndex, voice, size, data);
        if (result != gmpi::MP_OK || pinIndex == kShapePin)
            return result;
        if (pinIndex == kModePin) {
            int32_t const mode = zr::legacy::currentModeOf(pinITP_Choice);
            return inner->setPin(kModePin, voice, sizeof(mode), &mode);
        }
        return inner->setPin(pinIndex, voice, size, data);
    }

    int32_t notifyPin(int32_t pinIndex, int32_t voice) override {
        if (pinIndex < 0 || pinIndex > kLastPin)
            return gmpi::MP_FAIL;
        try {
            if (pinIndex == kShapePin)
                return shapeToInner();
            return inner->notifyPin(pinIndex, voice);
        } catch (std::exception const&) {
            return gmpi::MP_FAIL;
        }
    }

    // Drawing and pointer input: the inner editor's.
    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired) override {
        return inner->measure(available, desired);
    }
    int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect) override {
        MpGuiGfxBase::arrange(finalRect);
        return inner->arrange(finalRect);
    }
    int32_t OnRender(gmpi::IMpUnknown* context) override { return inner->OnRender(context); }
    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override {
        return inner->onPointerDown(flags, point);
    }
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override {
        return inner->onPointerMove(flags, point);
    }
    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override {
        return inner->onPointerUp(flags, point);
    }
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override { return inner->hitTest(point); }
    int32_t hitTest2(int32_t flags, GmpiDrawing_API::MP1_POINT point) override { return inner->hitTest2(flags, point); }
    int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IMpUnknown* returnString) override {
        return inner->getToolTip(point, returnString);
    }
    using MpGuiGfxBase::getToolTip;

private:
    // The text shape as the inner editor's blob image; a text that does not parse gives an
    // empty image, which the inner editor shows as its flat default.
    int32_t shapeToInner() {
        zr::legacy::NodeList nodes;
        zr::Shape shape;
        if (nodes.parseUnit(pinShape) != 0)
            shape.assignNodes(nodes.nodes.data(), nodes.count);
        int32_t const size = nodes.count != 0 ? shape.blobSize() : 0;
        inner->setPin(kShapePin, 0, size, shape.blobData());
        return inner->notifyPin(kShapePin, 0);
    }

    // A pin write of the inner editor, sent on as this module's own.
    int32_t fromInner(int32_t pinIndex, int32_t size, void const* data, int32_t voice) {
        if (pinIndex == kShapePin) {
            zr::Shape shape;
            if (!shape.readBlob(data, size) && shape.invalid)
                return gmpi::MP_FAIL;
            pinShape = voltsText(shape);
            return gmpi::MP_OK;
        }
        if (pinIndex == kModePin) {
            int32_t mode = 0;
            if (size == sizeof(mode) && data != nullptr)
                std::memcpy(&mode, data, sizeof(mode));
            pinITP_Choice = zr::legacy::legacyModeOf(mode);
            return gmpi::MP_OK;
        }
        MpGuiPinBase* pin = getPin(pinIndex);
        if (pin == nullptr || pinIndex > kLastPin)
            return gmpi::MP_OK; // the flip commands have no legacy pin
        pin->set(voice, size, data);
        return pinTransmit(pinIndex, size, data, voice);
    }

    // The legacy text form: volts with six significant digits, as every legacy module writes.
    static std::wstring voltsText(zr::Shape const& shape) {
        zr::legacy::NodeList volts;
        volts.count = shape.nodeCount < 0 ? 0 : std::min(shape.nodeCount, zr::Shape::kMaxNodes);
        for (int32_t i = 0; i < volts.count; ++i) {
            auto const at = static_cast<std::size_t>(i);
            volts.nodes[at] = {zr::voltsFromX(shape.nodes[at].x), zr::voltsFromY(shape.nodes[at].y)};
        }
        return zr::legacy::writeNodes(volts.nodes.data(), volts.count);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeEditor>::withId(L"ZR_ShapeEditor4");
auto const registeredC = gmpi::Register<ZR_ShapeEditor>::withId(L"ZR_ShapeEditor4c");
}
