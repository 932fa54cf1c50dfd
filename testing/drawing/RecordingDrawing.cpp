#include "testing/drawing/RecordingDrawing.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "host/drawing/CountedObject.h"

namespace zr::host {

using namespace GmpiDrawing_API;

struct RecordingDrawing::State {
    std::vector<DrawCall> calls;
    std::map<int32_t, BrushRecord> brushes;
    DrawingFailures failures;
    int32_t nextNumber = deviceContextNumber + 1;
    int live = 0;

    DrawCall& record(DrawOp op, int32_t on, std::vector<float> numbers = {}) {
        DrawCall& call = calls.emplace_back();
        call.op = op;
        call.on = on;
        call.numbers = std::move(numbers);
        return call;
    }
    // Whether this creation is one of those told to fail.
    static bool failNext(int& remaining) {
        if (remaining <= 0)
            return false;
        --remaining;
        return true;
    }
};

namespace {

using State = RecordingDrawing::State;

// What lets a recorded call name the objects passed to it.
class Numbered {
public:
    explicit Numbered(int32_t number) : number_(number) {}
    virtual ~Numbered() = default;
    int32_t number() const { return number_; }

private:
    int32_t number_;
};

int32_t numberOf(gmpi::IMpUnknown const* object) {
    auto const* numbered = dynamic_cast<Numbered const*>(object);
    return numbered != nullptr ? numbered->number() : 0;
}

template <typename Interface>
class Recorded : public drawing::CountedObject<Interface>, public Numbered {
protected:
    Recorded(std::shared_ptr<State> state, std::initializer_list<gmpi::MpGuid> identifiers)
        : drawing::CountedObject<Interface>(identifiers), Numbered(state->nextNumber++), state_(std::move(state)) {
        ++state_->live;
    }
    // The device context, which the runner owns and which is not counted as live.
    Recorded(std::shared_ptr<State> state, std::initializer_list<gmpi::MpGuid> identifiers, int32_t fixedNumber)
        : drawing::CountedObject<Interface>(identifiers), Numbered(fixedNumber), state_(std::move(state)), counted_(false) {}
    ~Recorded() override {
        if (counted_)
            --state_->live;
    }

    DrawCall& record(DrawOp op, std::vector<float> numbers = {}) { return state_->record(op, number(), std::move(numbers)); }

    std::shared_ptr<State> state_;

private:
    bool counted_ = true;
};

std::vector<float> rectNumbers(MP1_RECT const* rect) {
    return rect ? std::vector<float>{rect->left, rect->top, rect->right, rect->bottom} : std::vector<float>{};
}

std::vector<float> ellipseNumbers(MP1_ELLIPSE const* ellipse) {
    return ellipse ? std::vector<float>{ellipse->point.x, ellipse->point.y, ellipse->radiusX, ellipse->radiusY}
                   : std::vector<float>{};
}

class RecordingBrush final : public Recorded<IMpBrush> {
public:
    explicit RecordingBrush(std::shared_ptr<State> state) : Recorded(std::move(state), {SE_IID_BRUSH_MPGUI}) {}
};

class RecordingBitmap final : public Recorded<IMpBitmap> {
public:
    explicit RecordingBitmap(std::shared_ptr<State> state) : Recorded(std::move(state), {SE_IID_BITMAP_MPGUI}) {}
};

class RecordingSink final : public Recorded<IMpGeometrySink> {
public:
    explicit RecordingSink(std::shared_ptr<State> state) : Recorded(std::move(state), {SE_IID_GEOMETRYSINK_MPGUI}) {}
    void BeginFigure(MP1_POINT start, MP1_FIGURE_BEGIN begin) override {
        record(DrawOp::BeginFigure, {start.x, start.y, static_cast<float>(begin)});
    }
    void AddLine(MP1_POINT point) override { record(DrawOp::AddLine, {point.x, point.y}); }
    void EndFigure(MP1_FIGURE_END end) override { record(DrawOp::EndFigure, {static_cast<float>(end)}); }
    int32_t Close() override {
        record(DrawOp::Close);
        return gmpi::MP_OK;
    }
};

class RecordingGeometry final : public Recorded<IMpPathGeometry> {
public:
    explicit RecordingGeometry(std::shared_ptr<State> state) : Recorded(std::move(state), {SE_IID_PATHGEOMETRY_MPGUI}) {}
    int32_t Open(IMpGeometrySink** returnSink) override {
        record(DrawOp::Open);
        if (returnSink == nullptr)
            return gmpi::MP_FAIL;
        *returnSink = nullptr;
        if (State::failNext(state_->failures.sinks))
            return gmpi::MP_FAIL;
        auto* sink = new RecordingSink(state_);
        state_->calls.back().subject = sink->number();
        *returnSink = sink;
        return gmpi::MP_OK;
    }
};

class RecordingFactory final : public Recorded<IMpFactory> {
public:
    explicit RecordingFactory(std::shared_ptr<State> state) : Recorded(std::move(state), {SE_IID_FACTORY_MPGUI}) {}
    int32_t CreatePathGeometry(IMpPathGeometry** returnGeometry) override {
        record(DrawOp::CreatePathGeometry);
        if (returnGeometry == nullptr)
            return gmpi::MP_FAIL;
        *returnGeometry = nullptr;
        if (State::failNext(state_->failures.geometries))
            return gmpi::MP_FAIL;
        auto* geometry = new RecordingGeometry(state_);
        state_->calls.back().subject = geometry->number();
        *returnGeometry = geometry;
        return gmpi::MP_OK;
    }
};

template <typename Interface>
class RecordingTarget : public Recorded<Interface> {
public:
    using Recorded<Interface>::Recorded;

    void GetFactory(IMpFactory** returnFactory) override {
        this->record(DrawOp::GetFactory);
        if (returnFactory == nullptr)
            return;
        *returnFactory = nullptr;
        if (State::failNext(this->state_->failures.factories))
            return;
        auto* factory = new RecordingFactory(this->state_);
        this->state_->calls.back().subject = factory->number();
        *returnFactory = factory;
    }
    int32_t CreateSolidColorBrush(MP1_COLOR const* color, IMpBrush** returnBrush) override {
        MP1_COLOR const given = color ? *color : MP1_COLOR{0.0f, 0.0f, 0.0f, 0.0f};
        this->record(DrawOp::CreateSolidColorBrush, {given.r, given.g, given.b, given.a});
        BrushRecord described;
        described.stops.push_back({0.0f, given});
        return makeBrush(std::move(described), returnBrush);
    }
    int32_t CreateLinearGradientBrush(MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES const* line,
                                      MP1_BRUSH_PROPERTIES const* properties, MP1_GRADIENT_STOP const* stops,
                                      uint32_t stopCount, IMpBrush** returnBrush) override {
        BrushRecord described;
        described.gradient = true;
        if (line != nullptr) {
            described.start = line->startPoint;
            described.end = line->endPoint;
        }
        if (stops != nullptr)
            described.stops.assign(stops, stops + stopCount);
        std::vector<float> numbers{described.start.x, described.start.y, described.end.x, described.end.y,
                                   properties ? properties->opacity : 1.0f};
        for (MP1_GRADIENT_STOP const& stop : described.stops)
            numbers.insert(numbers.end(), {stop.position, stop.color.r, stop.color.g, stop.color.b, stop.color.a});
        this->record(DrawOp::CreateLinearGradientBrush, std::move(numbers));
        return makeBrush(std::move(described), returnBrush);
    }
    int32_t CreateCompatibleRenderTarget(MP1_SIZE const* size, IMpBitmapRenderTarget** returnTarget) override;

    void BeginDraw() override { this->record(DrawOp::BeginDraw); }
    int32_t EndDraw() override {
        this->record(DrawOp::EndDraw);
        return gmpi::MP_OK;
    }
    void Clear(MP1_COLOR const* color) override {
        this->record(DrawOp::Clear, color ? std::vector<float>{color->r, color->g, color->b, color->a} : std::vector<float>{});
    }
    void DrawLine(MP1_POINT p0, MP1_POINT p1, IMpBrush const* brush, float width, IMpStrokeStyle const* style) override {
        stroke(DrawOp::DrawLine, {p0.x, p0.y, p1.x, p1.y, width}, brush, style);
    }
    void FillRectangle(MP1_RECT const* rect, IMpBrush const* brush) override {
        this->record(DrawOp::FillRectangle, rectNumbers(rect)).brush = numberOf(brush);
    }
    void DrawRectangle(MP1_RECT const* rect, IMpBrush const* brush, float width, IMpStrokeStyle const* style) override {
        std::vector<float> numbers = rectNumbers(rect);
        numbers.push_back(width);
        stroke(DrawOp::DrawRectangle, std::move(numbers), brush, style);
    }
    void FillEllipse(MP1_ELLIPSE const* ellipse, IMpBrush const* brush) override {
        this->record(DrawOp::FillEllipse, ellipseNumbers(ellipse)).brush = numberOf(brush);
    }
    void DrawEllipse(MP1_ELLIPSE const* ellipse, IMpBrush const* brush, float width, IMpStrokeStyle const* style) override {
        std::vector<float> numbers = ellipseNumbers(ellipse);
        numbers.push_back(width);
        stroke(DrawOp::DrawEllipse, std::move(numbers), brush, style);
    }
    void PushAxisAlignedClip(MP1_RECT const* rect) override { this->record(DrawOp::PushAxisAlignedClip, rectNumbers(rect)); }
    void PopAxisAlignedClip() override { this->record(DrawOp::PopAxisAlignedClip); }
    void FillGeometry(IMpPathGeometry const* geometry, IMpBrush const* brush, IMpBrush const* opacityBrush) override {
        DrawCall& call = this->record(DrawOp::FillGeometry, {static_cast<float>(numberOf(opacityBrush))});
        call.brush = numberOf(brush);
        call.subject = numberOf(geometry);
    }
    void DrawGeometry(IMpPathGeometry const* geometry, IMpBrush const* brush, float width,
                      IMpStrokeStyle const* style) override {
        stroke(DrawOp::DrawGeometry, {width}, brush, style).subject = numberOf(geometry);
    }
    void DrawBitmap(IMpBitmap const* bitmap, MP1_RECT const* destination, float opacity,
                    MP1_BITMAP_INTERPOLATION_MODE mode, MP1_RECT const* source) override {
        std::vector<float> numbers = rectNumbers(destination);
        numbers.insert(numbers.end(), {opacity, static_cast<float>(mode)});
        std::vector<float> const sourceNumbers = rectNumbers(source);
        numbers.insert(numbers.end(), sourceNumbers.begin(), sourceNumbers.end());
        this->record(DrawOp::DrawBitmap, std::move(numbers)).subject = numberOf(bitmap);
    }

private:
    DrawCall& stroke(DrawOp op, std::vector<float> numbers, IMpBrush const* brush, IMpStrokeStyle const* style) {
        DrawCall& call = this->record(op, std::move(numbers));
        call.brush = numberOf(brush);
        call.strokeStyle = style != nullptr;
        return call;
    }
    int32_t makeBrush(BrushRecord described, IMpBrush** returnBrush) {
        if (returnBrush == nullptr)
            return gmpi::MP_FAIL;
        *returnBrush = nullptr;
        if (State::failNext(this->state_->failures.brushes))
            return gmpi::MP_FAIL;
        auto* brush = new RecordingBrush(this->state_);
        this->state_->brushes[brush->number()] = std::move(described);
        this->state_->calls.back().subject = brush->number();
        *returnBrush = brush;
        return gmpi::MP_OK;
    }
};

class RecordingBitmapTarget final : public RecordingTarget<IMpBitmapRenderTarget> {
public:
    explicit RecordingBitmapTarget(std::shared_ptr<State> state)
        : RecordingTarget(std::move(state), {SE_IID_BITMAP_RENDERTARGET_MPGUI, SE_IID_RENDERTARGET_MPGUI}) {}
    int32_t GetBitmap(IMpBitmap** returnBitmap) override {
        record(DrawOp::GetBitmap);
        if (returnBitmap == nullptr)
            return gmpi::MP_FAIL;
        *returnBitmap = nullptr;
        if (State::failNext(state_->failures.bitmaps))
            return gmpi::MP_FAIL;
        auto* bitmap = new RecordingBitmap(state_);
        state_->calls.back().subject = bitmap->number();
        *returnBitmap = bitmap;
        return gmpi::MP_OK;
    }
};

template <typename Interface>
int32_t RecordingTarget<Interface>::CreateCompatibleRenderTarget(MP1_SIZE const* size, IMpBitmapRenderTarget** returnTarget) {
    this->record(DrawOp::CreateCompatibleRenderTarget,
                 size ? std::vector<float>{size->width, size->height} : std::vector<float>{});
    if (returnTarget == nullptr)
        return gmpi::MP_FAIL;
    *returnTarget = nullptr;
    if (State::failNext(this->state_->failures.renderTargets))
        return gmpi::MP_FAIL;
    auto* target = new RecordingBitmapTarget(this->state_);
    this->state_->calls.back().subject = target->number();
    *returnTarget = target;
    return gmpi::MP_OK;
}

class RecordingDeviceContext final : public RecordingTarget<IMpDeviceContext> {
public:
    explicit RecordingDeviceContext(std::shared_ptr<State> state)
        : RecordingTarget(std::move(state), {SE_IID_DEVICECONTEXT_MPGUI, SE_IID_RENDERTARGET_MPGUI},
                          RecordingDrawing::deviceContextNumber) {}
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override {
        if (state_->failures.refuseDeviceContext && iid == SE_IID_DEVICECONTEXT_MPGUI) {
            if (returnInterface != nullptr)
                *returnInterface = nullptr;
            return gmpi::MP_NOSUPPORT;
        }
        return RecordingTarget::queryInterface(iid, returnInterface);
    }
};

} // namespace

std::string_view drawOpName(DrawOp op) {
    static constexpr std::string_view names[] = {
        "CreateCompatibleRenderTarget", "CreateSolidColorBrush", "CreateLinearGradientBrush", "GetFactory",
        "BeginDraw", "EndDraw", "Clear", "DrawLine", "FillRectangle", "DrawRectangle", "FillEllipse",
        "DrawEllipse", "PushAxisAlignedClip", "PopAxisAlignedClip", "FillGeometry", "DrawGeometry",
        "DrawBitmap", "GetBitmap", "CreatePathGeometry", "Open", "BeginFigure", "AddLine", "EndFigure", "Close",
    };
    return names[static_cast<int>(op)];
}

RecordingDrawing::RecordingDrawing()
    : state_(std::make_shared<State>()), context_(static_cast<IMpDeviceContext*>(new RecordingDeviceContext(state_))) {}

RecordingDrawing::~RecordingDrawing() { context_->release(); }

gmpi::IMpUnknown* RecordingDrawing::context() const { return context_; }

std::vector<DrawCall> const& RecordingDrawing::calls() const { return state_->calls; }

std::vector<DrawCall> RecordingDrawing::callsOf(DrawOp op, int32_t on) const {
    std::vector<DrawCall> found;
    std::copy_if(state_->calls.begin(), state_->calls.end(), std::back_inserter(found),
                 [&](DrawCall const& call) { return call.op == op && (on == 0 || call.on == on); });
    return found;
}

int RecordingDrawing::count(DrawOp op) const {
    return static_cast<int>(std::count_if(state_->calls.begin(), state_->calls.end(),
                                          [op](DrawCall const& call) { return call.op == op; }));
}

BrushRecord const& RecordingDrawing::brush(int32_t number) const {
    auto const found = state_->brushes.find(number);
    if (found == state_->brushes.end())
        throw std::out_of_range("object " + std::to_string(number) + " is no brush");
    return found->second;
}

void RecordingDrawing::clear() { state_->calls.clear(); }

DrawingFailures& RecordingDrawing::failures() { return state_->failures; }

int RecordingDrawing::liveObjects() const { return state_->live; }

} // namespace zr::host
