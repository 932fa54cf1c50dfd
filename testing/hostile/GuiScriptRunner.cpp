#include "testing/hostile/GuiScriptRunner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "testing/hostile/HostileValues.h"
#include "testing/hostile/ShapeRules.h"
#include "sdk/Interfaces.h"
#include "shapes/LegacyParser.h"
#include "shapes/Shape.h"

namespace zr::hostile {
namespace {

// A module still transmitting this many echoes deep never settles.
constexpr int kEchoesToSettle = 16;

// A double click: the second press follows the first well within the double-click time.
constexpr int64_t kBetweenClicksMilliseconds = 50;

std::string opName(GuiOp const& op) {
    switch (op.kind) {
    case GuiOpKind::SetPin: return "setPin(" + std::to_string(op.pin) + ", size " + std::to_string(op.size) + ")";
    case GuiOpKind::NotifyPin: return "notifyPin(" + std::to_string(op.pin) + ")";
    case GuiOpKind::Deliver: return "setPin+notifyPin(" + std::to_string(op.pin) + ", size " + std::to_string(op.size) + ")";
    case GuiOpKind::Arrange: return "arrange";
    case GuiOpKind::Measure: return "measure";
    case GuiOpKind::Render: return "render";
    case GuiOpKind::PointerDown: return "pointer down";
    case GuiOpKind::PointerMove: return "pointer move";
    case GuiOpKind::PointerUp: return "pointer up";
    case GuiOpKind::DoubleClick: return "double click";
    case GuiOpKind::HitTest: return "hit test";
    case GuiOpKind::ToolTip: return "tooltip";
    case GuiOpKind::AdvanceClock: return "clock";
    }
    return "?";
}

bool isShapeImage(host::HostRecord const& sent, bool& keepsRules) {
    zr::Shape shape;
    shape.readBlob(sent.bytes.data(), static_cast<int32_t>(sent.bytes.size()));
    keepsRules = !shape.invalid && keepsNodeRules(shape);
    return !shape.invalid;
}

std::wstring wideText(std::vector<uint8_t> const& bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

// The first characters of a text, as far as they are plain ASCII, for a report.
std::string textOf(std::vector<uint8_t> const& bytes) {
    std::string shown;
    for (wchar_t character : wideText(bytes).substr(0, 160))
        shown += character >= 0x20 && character < 0x7F ? static_cast<char>(character) : '?';
    return '"' + shown + '"';
}

// The first nodes of a blob image, for a report.
std::string nodesOf(std::vector<uint8_t> const& image) {
    std::string shown;
    for (std::size_t at = 8; at + 8 <= image.size() && at < 8 + 8 * 12; at += 8) {
        float node[2];
        std::memcpy(node, image.data() + at, sizeof node);
        shown += "(" + std::to_string(node[0]) + "," + std::to_string(node[1]) + ")";
    }
    return shown;
}

// A converter's text is read with the strict text form; the older modules' shape texts with
// the lenient parser their peers read them with.
std::optional<zr::Shape> parsedShape(host::PinDescription const& pin, std::vector<uint8_t> const& bytes) {
    zr::Shape shape;
    if (pin.name == "String") {
        shape.setString(wideText(bytes));
        return shape.invalid || !keepsNodeRules(shape) ? std::nullopt : std::optional(shape);
    }
    zr::Node nodes[zr::shapes::kMaxLegacyNodes];
    int32_t const count = zr::shapes::parseNodes(wideText(bytes), 0.0f, 1.0f, -1.0f, 1.0f, nodes);
    if (count == 0)
        return std::nullopt;
    shape.assignNodes(nodes, count);
    return shape;
}

// Whether every node coordinate of an image the blob reader accepts is finite; other bytes
// pass, as they are judged apart.
bool imageNodesFinite(std::vector<uint8_t> const& image) {
    zr::Shape shape;
    shape.readBlob(image.data(), static_cast<int32_t>(image.size()));
    if (shape.invalid)
        return true;
    for (int32_t i = 0; i < shape.nodeCount; ++i)
        if (!std::isfinite(shape.nodes[i].x) || !std::isfinite(shape.nodes[i].y))
            return false;
    return true;
}

} // namespace

InFolder::InFolder(std::filesystem::path const& folder) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

InFolder::~InFolder() { std::filesystem::current_path(previous_); }

GuiScriptRunner::GuiScriptRunner(gmpi::IMpFactory2& factory, host::ModuleDescription const& module,
                                 GuiRunSettings const& settings, std::filesystem::path const& fileFolder)
    : description_(module), echoing_(settings.hostile.echoTransmissions) {
    GuiHostileSwitches hostile = settings.hostile;
    hostile.echoDepth = kEchoesToSettle;
    hostPolicy_ = std::make_shared<HostileGuiPolicy>(hostile);
    host::GuiModuleOptions options;
    options.description = module;
    options.hostPolicy = hostPolicy_;
    module_ = std::make_unique<host::GuiModule>(factory, module.id, std::move(options));
    module_->host().setFileFolder(fileFolder);
    if (settings.initializeTwice) {
        module_->module()->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&module_->host()));
        module_->module()->initialize();
    }
}

GuiScriptRunner::~GuiScriptRunner() = default;

// A described pin, or a copy a host may add of the repeatable pin.
bool GuiScriptRunner::describes(int32_t pin) const {
    host::PinDescription const* repeatable = description_.repeatablePin();
    return pin >= 0 && (pin < static_cast<int32_t>(description_.pins.size()) || (repeatable && pin >= repeatable->index));
}

host::PinDescription const& GuiScriptRunner::pinAt(int32_t pin) const {
    auto const count = static_cast<int32_t>(description_.pins.size());
    return description_.pins[static_cast<std::size_t>(pin < count ? pin : count - 1)];
}

void GuiScriptRunner::violation(GuiOp const& op, std::string const& what) {
    if (violations_.size() < 20)
        violations_.push_back("operation " + std::to_string(operations_) + " (" + opName(op) + "): " + what);
}

void GuiScriptRunner::run(GuiOp const& op) {
    ++operations_;
    noteDeliveredNumbers(op);
    if (op.kind == GuiOpKind::SetPin || op.kind == GuiOpKind::NotifyPin || op.kind == GuiOpKind::Deliver)
        runPinOp(op);
    else if (module_->graphics() != nullptr)
        runViewOp(op);
    checkTransmissions(op);
}

void GuiScriptRunner::runPinOp(GuiOp const& op) {
    gmpi::IMpUserInterface2B& module = *module_->module();
    bool const known = describes(op.pin);
    noteSentValue(op);
    if (op.kind != GuiOpKind::NotifyPin) {
        int32_t const stored = module.setPin(op.pin, 0, op.size, op.nullData ? nullptr : op.bytes.data());
        if (!known && stored == gmpi::MP_OK)
            violation(op, "setPin accepted an unknown pin");
    }
    if (op.kind != GuiOpKind::SetPin) {
        int32_t const notified = module.notifyPin(op.pin, 0);
        if (!known && notified == gmpi::MP_OK)
            violation(op, "notifyPin accepted an unknown pin");
    }
}

// A blob that breaks the node rules (or whose nodes no edit could keep apart), or a shape text
// that does not parse, may come back out changed but still broken. Until a sound shape has
// replaced it, both in the pin and in what the module was last notified of, only blob images
// are checked. A refused image leaves the module with the shape it had.
void GuiScriptRunner::noteSentValue(GuiOp const& op) {
    if (!describes(op.pin))
        return;
    host::PinDescription const& pin = pinAt(op.pin);
    if (op.kind != GuiOpKind::NotifyPin) {
        if (auto const verdict = judge(pin, op.nullData ? nullptr : op.bytes.data(), op.size))
            stored_[op.pin] = *verdict;
    }
    auto const stored = stored_.find(op.pin);
    if (op.kind == GuiOpKind::SetPin || stored == stored_.end() || stored->second == Verdict::Refused)
        return;
    if (stored->second == Verdict::Broken)
        notifiedBroken_.insert(op.pin);
    else
        notifiedBroken_.erase(op.pin);
}

// What the operation hands the module: the bytes of a stored value as far as its size reaches,
// or the coordinates of a layout or a pointer. Once any was not finite, the module may compute
// non-finite values from it for the rest of its life.
void GuiScriptRunner::noteDeliveredNumbers(GuiOp const& op) {
    switch (op.kind) {
    case GuiOpKind::SetPin:
    case GuiOpKind::Deliver:
        if (!op.nullData && op.size > 0) {
            std::size_t const delivered = std::min(static_cast<std::size_t>(op.size), op.bytes.size());
            finiteSoFar_ = finiteSoFar_ && holdsOnlyFiniteNumbers(std::span(op.bytes.data(), delivered));
        }
        break;
    case GuiOpKind::Arrange:
        finiteSoFar_ = finiteSoFar_ && std::isfinite(op.rect.left) && std::isfinite(op.rect.top) &&
                       std::isfinite(op.rect.right) && std::isfinite(op.rect.bottom);
        break;
    case GuiOpKind::Measure:
        finiteSoFar_ = finiteSoFar_ && std::isfinite(op.rect.right) && std::isfinite(op.rect.bottom);
        break;
    case GuiOpKind::PointerDown:
    case GuiOpKind::PointerMove:
    case GuiOpKind::PointerUp:
    case GuiOpKind::DoubleClick:
    case GuiOpKind::HitTest:
    case GuiOpKind::ToolTip:
        finiteSoFar_ = finiteSoFar_ && std::isfinite(op.point.x) && std::isfinite(op.point.y);
        break;
    default: break;
    }
}

// A value computed from finite numbers is finite: a float value (exactly 4 bytes on a float
// pin) and every node of a blob image.
void GuiScriptRunner::checkFinite(GuiOp const& op, host::HostRecord const& sent, host::PinDescription const& pin) {
    if (!finiteSoFar_)
        return;
    std::string const where = "transmission on pin " + std::to_string(sent.pin);
    std::string const cause = " while every number delivered was finite";
    if (pin.datatype == gmpi::MP_FLOAT32 && sent.bytes.size() == sizeof(float)) {
        float value = 0.0f;
        std::memcpy(&value, sent.bytes.data(), sizeof value);
        if (!std::isfinite(value))
            violation(op, where + ": " + std::to_string(value) + cause);
    }
    if (pin.datatype == gmpi::MP_BLOB && !imageNodesFinite(sent.bytes))
        violation(op, where + ": a node is not finite" + cause + ": " + nodesOf(sent.bytes));
}

// Nothing for a pin that carries no shape.
std::optional<GuiScriptRunner::Verdict> GuiScriptRunner::judge(host::PinDescription const& pin, uint8_t const* data,
                                                               int32_t size) {
    if (carriesShapeText(pin)) {
        std::vector<uint8_t> const bytes = data != nullptr && size > 0 ? std::vector<uint8_t>(data, data + size)
                                                                       : std::vector<uint8_t>{};
        std::optional<zr::Shape> const parsed = parsedShape(pin, bytes);
        return parsed && keepsEditableSpacing(*parsed) ? Verdict::Sound : Verdict::Broken;
    }
    if (pin.datatype != gmpi::MP_BLOB)
        return std::nullopt;
    zr::Shape shape;
    shape.readBlob(data, size);
    if (shape.invalid)
        return Verdict::Refused;
    return keepsNodeRules(shape) && keepsEditableSpacing(shape) ? Verdict::Sound : Verdict::Broken;
}

// An echoing host writes the module's own transmissions back into its pins, and notifies
// them: a broken shape coming back counts as one the script sent.
void GuiScriptRunner::noteEcho(host::HostRecord const& sent, host::PinDescription const& pin) {
    auto const verdict = judge(pin, sent.bytes.data(), static_cast<int32_t>(sent.bytes.size()));
    if (!verdict || *verdict == Verdict::Refused)
        return;
    stored_[sent.pin] = *verdict;
    if (*verdict == Verdict::Broken)
        notifiedBroken_.insert(sent.pin);
}

bool GuiScriptRunner::soundShapesOnly() const {
    for (auto const& [pin, verdict] : stored_)
        if (verdict == Verdict::Broken)
            return false;
    return notifiedBroken_.empty();
}

void GuiScriptRunner::runViewOp(GuiOp const& op) {
    switch (op.kind) {
    case GuiOpKind::Arrange: module_->arrange(op.rect); break;
    case GuiOpKind::Measure: {
        GmpiDrawing_API::MP1_SIZE desired{};
        module_->measure({op.rect.right, op.rect.bottom}, desired);
        break;
    }
    case GuiOpKind::Render:
        drawing_.failures().renderTargets = op.failingCreations;
        drawing_.failures().brushes = op.failingCreations;
        module_->render(drawing_.context());
        drawing_.clear();
        break;
    case GuiOpKind::PointerDown: module_->pointerDown(op.flags, op.point); break;
    case GuiOpKind::PointerMove: module_->pointerMove(op.flags, op.point); break;
    case GuiOpKind::PointerUp: module_->pointerUp(op.flags, op.point); break;
    case GuiOpKind::DoubleClick:
        for (int click = 0; click < 2; ++click) {
            module_->pointerDown(op.flags, op.point);
            module_->pointerUp(op.flags, op.point);
            module_->advanceClockMilliseconds(kBetweenClicksMilliseconds);
        }
        break;
    case GuiOpKind::HitTest: module_->hitTest(op.point); break;
    case GuiOpKind::ToolTip: module_->toolTip(op.point); break;
    case GuiOpKind::AdvanceClock: module_->advanceClockMilliseconds(op.milliseconds); break;
    default: break;
    }
}

void GuiScriptRunner::checkTransmissions(GuiOp const& op) {
    host::GuiHost& host = module_->host();
    if (hostPolicy_->echoCutOffs() > 0)
        violation(op, "still transmitting " + std::to_string(hostPolicy_->switches().echoDepth) + " echoes deep");
    for (host::HostRecord const& sent : host.transmissions()) {
        std::string const where = "transmission on pin " + std::to_string(sent.pin);
        if (!describes(sent.pin)) {
            violation(op, where + ", which is not described");
            continue;
        }
        host::PinDescription const& pin = pinAt(sent.pin);
        if (sent.size != static_cast<int32_t>(sent.bytes.size()))
            violation(op, where + ": size " + std::to_string(sent.size) + " without data");
        bool keepsRules = false;
        if (pin.datatype == gmpi::MP_BLOB && !isShapeImage(sent, keepsRules))
            violation(op, where + ": not a shape image (" + std::to_string(sent.bytes.size()) + " bytes)");
        else if (pin.datatype == gmpi::MP_BLOB && soundShapesOnly() && !keepsRules)
            violation(op, where + ": the shape breaks the node rules: " + nodesOf(sent.bytes));
        if (carriesShapeText(pin) && soundShapesOnly() && !parsedShape(pin, sent.bytes))
            violation(op, where + ": the shape text does not parse: " + textOf(sent.bytes));
        checkFinite(op, sent, pin);
        if (recording_)
            transmitted_.push_back(sent);
        if (echoing_) {
            noteEcho(sent, pin);
            finiteSoFar_ = finiteSoFar_ && holdsOnlyFiniteNumbers(sent.bytes);
        }
    }
    host.clearRecords();
    hostPolicy_->clearEchoCutOffs();
}

void GuiScriptRunner::release() {
    module_->releaseModule();
    if (module_->host().referenceCount() != 0)
        violations_.push_back("released with " + std::to_string(module_->host().referenceCount()) +
                              " host references kept");
}

std::vector<std::string> runGuiScript(gmpi::IMpFactory2& factory, host::ModuleDescription const& module,
                                      GuiRunSettings const& settings, Choices& choices, long operations,
                                      std::filesystem::path const& fileFolder) {
    bool const allowNonFinite = !choices.oneIn(4);
    std::filesystem::create_directories(fileFolder);
    InFolder const inFolder(fileFolder);
    GuiScriptRunner runner(factory, module, settings, fileFolder);
    GuiScriptChooser chooser(module, runner.drawing(), allowNonFinite);
    for (long i = 0; i < operations && (i == 0 || !choices.exhausted()); ++i)
        runner.run(chooser.next(choices));
    runner.release();
    return runner.violations();
}

} // namespace zr::hostile
