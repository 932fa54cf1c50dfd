#include "testing/hostile/GuiScript.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "host/PinValueEncoding.h"
#include "testing/hostile/HostileValues.h"
#include "testing/hostile/ModuleScript.h"
#include "sdk/Interfaces.h"

namespace zr::hostile {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kPrimaryButton = 0x10;
constexpr int32_t kControlKey = 0x20000;
constexpr float kInf = std::numeric_limits<float>::infinity();

// Far beyond any shape: a long run of nodes as text, or noise.
Bytes hugeValue(Choices& choices) {
    if (choices.oneIn(2)) {
        std::wstring text;
        while (text.size() < 100'000)
            text += L"(-5,0)(0,5)";
        return host::textBytes(text);
    }
    Bytes bytes(65'536 + choices.below(65'536));
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(choices.bits());
    return bytes;
}

// A name resolved inside the host's folder: a plain name, an empty one, one far too long for
// the resolver, characters no encoding can spell, or the dots of the folder itself.
Bytes fileNameValue(Choices& choices) {
    std::wstring name;
    switch (choices.below(6)) {
    case 0: name = L"shape.shp"; break;
    case 1: name = L""; break;
    case 2: name = std::wstring(300 + choices.below(600), L'n'); break;
    case 3: name = std::wstring(L"bad") + static_cast<wchar_t>(0x110000 + choices.below(1000)) + L".shp"; break;
    case 4: name = choices.oneIn(2) ? L".." : L"."; break;
    default:
        for (uint32_t i = choices.below(24); i > 0; --i)
            name += static_cast<wchar_t>(choices.oneIn(4) ? choices.bits() : 0x20 + choices.below(0x3000));
        break;
    }
    for (wchar_t& character : name)
        if (character == L'/' || character == L'\0')
            character = L'_';
    return host::textBytes(name);
}

int32_t anyDatatype(Choices& choices) {
    constexpr std::array<int32_t, 5> kDatatypes = {gmpi::MP_INT32, gmpi::MP_FLOAT32, gmpi::MP_BOOL, gmpi::MP_STRING,
                                                   gmpi::MP_BLOB};
    return choices.pick(kDatatypes);
}

float hostileCoordinate(Choices& choices, bool allowNonFinite) {
    std::array<float, 8> const finite = {-1.0f, 0.5f, 1e7f, 16777217.0f, 1e30f, -1e30f, FLT_MAX, -FLT_MAX};
    if (allowNonFinite && choices.oneIn(3))
        return choices.pick(nonFiniteFloats());
    return choices.pick(finite);
}

} // namespace

std::vector<host::ModuleDescription> guiSideModules(host::ModuleDescriptions const& descriptions) {
    std::vector<host::ModuleDescription> guiSide;
    std::ranges::copy_if(descriptions.all(), std::back_inserter(guiSide),
                         [](host::ModuleDescription const& module) { return module.subType == 2; });
    return guiSide;
}

bool carriesShapeText(host::PinDescription const& pin) {
    return pin.datatype == gmpi::MP_STRING && (pin.name.rfind("Shape", 0) == 0 || pin.name == "String");
}

bool takesFileName(host::PinDescription const& pin) {
    return pin.datatype == gmpi::MP_STRING && pin.name.rfind("FName", 0) == 0;
}

GuiRunSettings chooseGuiSettings(Choices& choices) {
    GuiRunSettings settings;
    GuiHostileSwitches& hostile = settings.hostile;
    hostile.echoTransmissions = choices.oneIn(2);
    settings.initializeTwice = choices.oneIn(4);
    switch (choices.below(8)) {
    case 0: hostile.refuseUiHost2 = true; break;
    case 1: hostile.refuseUiHost = true; break;
    case 2: hostile.refuseGraphicsHost = true; break;
    case 3: hostile.refuseClock = true; break;
    default: break;
    }
    if (choices.oneIn(3)) {
        hostile.leaveCaptureUnwritten = choices.oneIn(2);
        hostile.leavePinCountUnwritten = choices.oneIn(2);
        hostile.leaveFilenameUnwritten = choices.oneIn(3);
        hostile.fillFilenameUnterminated = choices.oneIn(3);
        if (choices.oneIn(2))
            hostile.pinCountAnswer = chooseInt(choices);
    }
    return settings;
}

GuiScriptChooser::GuiScriptChooser(host::ModuleDescription const& module, bool drawing, bool allowNonFinite)
    : module_(module), drawing_(drawing), allowNonFinite_(allowNonFinite) {}

GuiOp GuiScriptChooser::next(Choices& choices) {
    return drawing_ && choices.oneIn(3) ? viewOp(choices) : pinOp(choices);
}

std::vector<uint8_t> GuiScriptChooser::chooseValue(Choices& choices, host::PinDescription const* pin) const {
    if (pin != nullptr && takesFileName(*pin))
        return fileNameValue(choices);
    if (choices.oneIn(100))
        return hugeValue(choices);
    bool const wrongType = pin == nullptr || choices.oneIn(10);
    return choosePinValue(choices, wrongType ? anyDatatype(choices) : pin->datatype, allowNonFinite_);
}

GuiOp GuiScriptChooser::pinOp(Choices& choices) {
    GuiOp op;
    uint32_t const kind = choices.below(10);
    op.kind = kind < 7 ? GuiOpKind::Deliver : kind < 9 ? GuiOpKind::SetPin : GuiOpKind::NotifyPin;
    host::PinDescription const* pin = nullptr;
    if (!module_.pins.empty() && !choices.oneIn(12)) {
        pin = &choices.pick(module_.pins);
        op.pin = pin->index;
    } else {
        auto const count = static_cast<int32_t>(module_.pins.size());
        std::array<int32_t, 6> const unknown = {-1, count, count + 1, 1000, INT32_MAX, INT32_MIN};
        op.pin = choices.pick(unknown);
    }
    op.bytes = chooseValue(choices, pin);
    op.size = static_cast<int32_t>(op.bytes.size());
    switch (choices.below(24)) {
    case 0: op.size = choices.oneIn(2) ? -1 : INT32_MIN; break;           // a negative size with data behind it
    case 1: op.size = -static_cast<int32_t>(op.bytes.size()); break;
    case 2: op.nullData = true; break;                                      // a size with no data behind it
    case 3: op.nullData = true; op.size = 0; break;
    case 4: op.size = static_cast<int32_t>(choices.below(static_cast<uint32_t>(op.bytes.size()) + 1)); break; // cut short
    default: break;
    }
    return op;
}

GmpiDrawing_API::MP1_RECT GuiScriptChooser::chooseRect(Choices& choices) const {
    if (choices.oneIn(2)) {
        float const width = static_cast<float>(1 + choices.below(600));
        float const height = static_cast<float>(1 + choices.below(400));
        return {0.0f, 0.0f, width, height};
    }
    std::array<GmpiDrawing_API::MP1_RECT, 9> const odd = {{
        {0.0f, 0.0f, 1.0f, 1.0f},
        {0.0f, 0.0f, 1000.0f, 1.0f},
        {0.0f, 0.0f, 1.0f, 1000.0f},
        {0.0f, 0.0f, 0.0f, 0.0f},
        {10.0f, 10.0f, 5.0f, 2.0f},                 // right of left, bottom above top reversed
        {0.0f, 0.0f, 1e30f, 100.0f},
        {1e7f, 0.0f, 1e7f + 100.0f, 100.0f},       // columns beyond 2^24, where x + 1 == x
        {0.0f, 0.0f, 20000.0f, 50.0f},              // wider than any table
        {-FLT_MAX, -FLT_MAX, FLT_MAX, FLT_MAX},
    }};
    GmpiDrawing_API::MP1_RECT rect = choices.pick(odd);
    if (allowNonFinite_ && choices.oneIn(3)) {
        float* corners[] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
        *corners[choices.below(4)] = choices.oneIn(2) ? std::nanf("") : kInf;
    }
    return rect;
}

GmpiDrawing_API::MP1_POINT GuiScriptChooser::choosePoint(Choices& choices) const {
    float const width = layout_.right - layout_.left;
    float const height = layout_.bottom - layout_.top;
    if (!choices.oneIn(5) && std::isfinite(width) && std::isfinite(height) && width < 1e6f && height < 1e6f) {
        float const u = static_cast<float>(choices.below(1001)) / 1000.0f;
        float const v = static_cast<float>(choices.below(1001)) / 1000.0f;
        return {layout_.left + u * width, layout_.top + v * height};
    }
    return {hostileCoordinate(choices, allowNonFinite_), hostileCoordinate(choices, allowNonFinite_)};
}

GuiOp GuiScriptChooser::viewOp(Choices& choices) {
    GuiOp op;
    std::array<int32_t, 5> const flags = {kPrimaryButton, kPrimaryButton, kPrimaryButton | kControlKey, 0, -1};
    op.flags = choices.oneIn(8) ? static_cast<int32_t>(choices.bits()) : choices.pick(flags);
    op.point = choosePoint(choices);
    switch (choices.below(16)) {
    case 0:
        op.kind = GuiOpKind::Arrange;
        op.rect = layout_ = chooseRect(choices);
        break;
    case 1:
        op.kind = GuiOpKind::Measure;
        op.rect = chooseRect(choices);
        break;
    case 2:
    case 3:
        op.kind = GuiOpKind::Render;
        op.failingCreations = choices.oneIn(6) ? 1 + static_cast<int>(choices.below(3)) : 0;
        break;
    case 4:
    case 5: op.kind = GuiOpKind::PointerDown; break;
    case 6:
    case 7:
    case 8: op.kind = GuiOpKind::PointerMove; break;
    case 9:
    case 10: op.kind = GuiOpKind::PointerUp; break;
    case 11: op.kind = GuiOpKind::DoubleClick; break;
    case 12: op.kind = GuiOpKind::HitTest; break;
    case 13: op.kind = GuiOpKind::ToolTip; break;
    default:
        op.kind = GuiOpKind::AdvanceClock;
        op.milliseconds = choices.oneIn(8) ? int64_t{1} << 30 : choices.below(500); // days, or within a double click
        break;
    }
    return op;
}

} // namespace zr::hostile
