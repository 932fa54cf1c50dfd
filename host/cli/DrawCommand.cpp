#include "host/cli/DrawCommand.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "host/Bundle.h"
#include "host/GuiModule.h"
#include "host/ModuleDescriptions.h"
#include "host/SettingRules.h"
#include "host/TextConversion.h"
#include "host/cli/Messages.h"
#include "host/cli/OutputFile.h"
#include "host/cli/PictureOutput.h"
#include "host/cli/StreamPaths.h"
#include "host/drawing/CairoDrawing.h"
#include "host/patch/NearestNames.h"
#include "host/patch/ShapeValues.h"
#include "shapes/Shape.h"

namespace zr::cli {
namespace {

constexpr int32_t kShapePin = 0;
// Far beyond any shape in any form; a larger input is refused rather than read.
constexpr std::size_t kLargestShapeInput = 1 << 20;

constexpr int kLargestSide = 10000;

// The legacy editors list their modes as "Linear,Spline,Lagrange,None" (modules/legacy/
// ShapeEditor4.cpp); each is one of the shape core's modes, so --mode converts exactly.
int32_t legacyEditorMode(int32_t mode) {
    constexpr int32_t kModes[] = {Linear, VarekSpline, NaturalSpline, None};
    for (int32_t legacy = 0; legacy < 4; ++legacy)
        if (kModes[legacy] == mode)
            return legacy;
    return -1;
}

// A whole `text` as a number of type T; no value when any of it is not part of the number.
template <typename T>
std::optional<T> numberOf(std::string const& text) {
    T value{};
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A pin value given on the command line, read as the pin's datatype wants it.
nlohmann::json valueForPin(host::PinDescription const& pin, std::string const& text) {
    switch (pin.datatype) {
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
        if (auto const value = numberOf<int32_t>(text))
            return *value;
        throw std::invalid_argument("--pin " + pin.name + "=" + text + ": " + pin.name + " takes a whole number");
    case gmpi::MP_FLOAT32:
        if (auto const value = numberOf<float>(text); value && std::isfinite(*value))
            return *value;
        throw std::invalid_argument("--pin " + pin.name + "=" + text + ": " + pin.name + " takes a number, such as 2.5");
    case gmpi::MP_BOOL:
        if (text == "true" || text == "1" || text == "on")
            return true;
        if (text == "false" || text == "0" || text == "off")
            return false;
        throw std::invalid_argument("--pin " + pin.name + "=" + text + ": " + pin.name + " takes true or false (also 1/0, on/off)");
    default:
        return text; // texts as they are, blobs as hexadecimal digits
    }
}

// A shape for the editor's pin `pin` in the form that pin takes.
std::vector<uint8_t> bytesForPin(host::ModuleDescription const& editor, host::PinDescription const& pin, Shape const& shape,
                                 std::optional<std::string> const& text) {
    if (pin.shapeForm == host::ShapeForm::image)
        return host::imageOf(shape);
    std::optional<std::string> const exact = text ? text : host::exactTextOf(shape);
    if (!exact)
        throw std::invalid_argument(editor.idText() + " takes its shape as text, and this blob image's nodes lie closer "
                                    "than a text can tell apart; give the shape as text");
    std::wstring const wide = host::wideFromUtf8(*exact);
    auto const* bytes = reinterpret_cast<uint8_t const*>(wide.data());
    return {bytes, bytes + wide.size() * sizeof(wchar_t)};
}

void applyPinSetting(host::GuiModule& editor, std::string const& setting) {
    std::size_t const equals = setting.find('=');
    if (equals == std::string::npos)
        throw std::invalid_argument("--pin " + setting + ": expected NAME=VALUE, e.g. --pin ColorCurve=FF3080C0");
    std::string const name = setting.substr(0, equals);
    std::string const text = setting.substr(equals + 1);
    host::ModuleDescription const& description = *editor.description();
    host::PinDescription const* pin = description.findPin(name);
    if (pin == nullptr) {
        std::vector<std::string> names;
        for (host::PinDescription const& described : description.pins)
            if (described.isInput())
                names.push_back(described.name);
        throw std::invalid_argument("--pin " + setting + ": " + description.idText() + " has no pin named '" + name +
                                    "'; nearest: " + host::joinNames(host::nearestNames(name, names)));
    }
    if (pin->shapeForm != host::ShapeForm::none && !text.empty()) {
        try {
            editor.setBytes(pin->index, bytesForPin(description, *pin, host::shapeOfText(text), text));
        } catch (host::ShapeInputError const& error) {
            throw std::invalid_argument("--pin " + setting + ": " + error.what());
        }
        return;
    }
    nlohmann::json const value = valueForPin(*pin, text);
    host::SettingVerdict const verdict = host::checkSetting(description, *pin, value);
    if (verdict.kind == host::SettingVerdict::Kind::Refuse)
        throw std::invalid_argument("--pin " + setting + ": " + verdict.message);
    if (verdict.kind == host::SettingVerdict::Kind::Warn)
        std::fprintf(stderr, "zrhost: warning: --pin %s: %s\n", setting.c_str(), verdict.message.c_str());
    editor.setByName(name, value);
}

// The shape the request names and, for a shape file, its mode; the shared checks refuse
// anything that is not a shape, with the rule that broke.
std::optional<Shape> requestedShape(DrawRequest const& request, std::optional<std::string>& text) {
    try {
        if (request.shapeText) {
            text = request.shapeText;
            return host::shapeOfText(*request.shapeText);
        }
        if (request.blobBytes)
            return host::shapeOfImage(*request.blobBytes);
        if (request.blobFile) {
            std::string const bytes = readInput(*request.blobFile, kLargestShapeInput);
            return host::shapeOfImage({reinterpret_cast<uint8_t const*>(bytes.data()), bytes.size()});
        }
        if (request.shapeFile)
            return host::shapeOfFileContent(readInput(*request.shapeFile, kLargestShapeInput));
    } catch (host::ShapeInputError const& error) {
        std::string const origin = request.shapeText ? "--shape" : request.shapeFile ? request.shapeFile->string()
                                   : request.blobFile ? request.blobFile->string() : "the blob image";
        throw std::invalid_argument(origin + ": " + error.what());
    }
    return std::nullopt;
}

void applyShape(host::GuiModule& editor, DrawRequest const& request) {
    std::optional<int> mode = request.mode;
    std::optional<std::string> text;
    if (std::optional<Shape> const shape = requestedShape(request, text)) {
        host::ModuleDescription const& description = *editor.description();
        editor.setBytes(kShapePin, bytesForPin(description, description.pin(kShapePin), *shape, text));
        if (!mode && request.shapeFile)
            mode = shape->interpolation;
    }
    if (!mode)
        return;
    host::ModuleDescription const& description = *editor.description();
    host::PinDescription const& modePin = description.pinByName("ITP_Choice");
    editor.setByName("ITP_Choice", host::takesInterpolationModes(description, modePin) ? *mode : legacyEditorMode(*mode));
}

void checkRequest(DrawRequest const& request) {
    int const sources = request.shapeText.has_value() + request.blobFile.has_value() + request.shapeFile.has_value() +
                        request.blobBytes.has_value();
    if (sources > 1)
        throw std::invalid_argument("give the shape once: as text, as a blob file or as a shape file");
    if (request.mode && !isValidInterpolation(*request.mode))
        throw std::invalid_argument("--mode " + std::to_string(*request.mode) +
                                    ": not an interpolation mode; use 0 (none), 10 (linear), 20 or 30 (splines)");
    if (request.width < 1 || request.width > kLargestSide || request.height < 1 || request.height > kLargestSide)
        throw std::invalid_argument("--width and --height: give each in pixels from 1 to " + std::to_string(kLargestSide));
}

host::ModuleDescription const& editorDescription(host::ModuleDescriptions const& descriptions, std::wstring const& id) {
    host::ModuleDescription const* description = descriptions.find(id);
    if (description != nullptr && description->findPin("ITP_Choice") != nullptr)
        return *description;
    std::vector<std::string> editors;
    for (host::ModuleDescription const& described : descriptions.all())
        if (described.findPin("ITP_Choice") != nullptr)
            editors.push_back(described.idText());
    throw std::invalid_argument("--editor " + host::utf8FromWide(id) + ": not a shape editor; the editors: " +
                                host::joinNames(editors));
}

} // namespace

int runDraw(BundleFiles const& files, DrawRequest const& request) {
    checkRequest(request);
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    host::ModuleDescription const& description = editorDescription(descriptions, request.editorId);

    if (isStandardStream(request.output))
        keepStdoutForResults();
    OutputFile output(request.output);
    host::CairoDrawing picture(request.width, request.height);
    {
        host::GuiModule editor(bundle, request.editorId, {.description = description});
        editor.sendDefaults();
        applyShape(editor, request);
        for (std::string const& setting : request.pinSettings)
            applyPinSetting(editor, setting);
        editor.arrange({0.0f, 0.0f, static_cast<float>(request.width), static_cast<float>(request.height)});
        if (editor.render(picture.context()) != gmpi::MP_OK)
            throw std::runtime_error(description.idText() + " drew nothing at " + std::to_string(request.width) + " x " +
                                     std::to_string(request.height) + " pixels; try another size or other --pin values");
    }
    writePng(picture.surface(), output);
    output.commit();
    report("wrote %s (%d x %d)", outputName(request.output).c_str(), request.width, request.height);
    return 0;
}

} // namespace zr::cli
