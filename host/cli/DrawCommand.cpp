#include "host/cli/DrawCommand.h"

#include <stdexcept>

#include "host/Bundle.h"
#include "host/GuiModule.h"
#include "host/ModuleDescriptions.h"
#include "host/TextConversion.h"
#include "host/cli/Messages.h"
#include "host/cli/OutputFile.h"
#include "host/cli/PictureOutput.h"
#include "host/cli/StreamPaths.h"
#include "host/drawing/CairoDrawing.h"
#include "shapes/Shape.h"

namespace zr::cli {
namespace {

constexpr int32_t kShapePin = 0;
// Far beyond any shape in any form; a larger input is refused rather than read.
constexpr std::size_t kLargestShapeInput = 1 << 20;

std::vector<uint8_t> imageOfText(std::string const& text) {
    Shape shape;
    shape.setString(host::wideFromUtf8(text));
    if (shape.invalid)
        throw std::invalid_argument("not a shape text: '" + text + "' (write nodes as (x,y) in volts, x from -5 to 5)");
    auto const* bytes = static_cast<uint8_t const*>(shape.blobData());
    return {bytes, bytes + shape.blobSize()};
}

// A shape file read by the shape core, so that the picture shows exactly what a loader
// module would send.
Shape readShapeFile(std::filesystem::path const& path) {
    Shape shape;
    shape.interpolation = -1; // tells "the file named no mode" apart from any mode it names
    shape.readShpContent(readInput(path, kLargestShapeInput));
    if (shape.invalid)
        throw std::invalid_argument("not a shape file: " + inputName(path) + " (a shape text, then a line ITP=mode)");
    return shape;
}

// A pin value given on the command line, read as the pin's datatype wants it.
nlohmann::json valueForPin(host::PinDescription const& pin, std::string const& text) {
    std::size_t used = 0;
    switch (pin.datatype) {
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM: {
        long long const value = std::stoll(text, &used);
        if (used != text.size())
            break;
        return value;
    }
    case gmpi::MP_FLOAT32: {
        double const value = std::stod(text, &used);
        if (used != text.size())
            break;
        return value;
    }
    case gmpi::MP_BOOL:
        if (text == "true" || text == "1" || text == "on")
            return true;
        if (text == "false" || text == "0" || text == "off")
            return false;
        break;
    default:
        return text; // texts as they are, blobs as hexadecimal digits
    }
    throw std::invalid_argument("pin " + pin.name + " cannot take '" + text + "'");
}

void applyPinSetting(host::GuiModule& editor, std::string const& setting) {
    std::size_t const equals = setting.find('=');
    if (equals == std::string::npos)
        throw std::invalid_argument("pin setting '" + setting + "' is not NAME=VALUE");
    std::string const name = setting.substr(0, equals);
    host::PinDescription const* pin = editor.description()->findPin(name);
    if (pin == nullptr)
        throw std::invalid_argument("the editor has no pin named '" + name + "'");
    editor.setByName(name, valueForPin(*pin, setting.substr(equals + 1)));
}

void applyShape(host::GuiModule& editor, DrawRequest const& request) {
    std::optional<int> mode = request.mode;
    if (request.shapeText) {
        editor.setBytes(kShapePin, imageOfText(*request.shapeText));
    } else if (request.blobBytes) {
        editor.setBytes(kShapePin, *request.blobBytes);
    } else if (request.blobFile) {
        std::string const bytes = readInput(*request.blobFile, kLargestShapeInput);
        editor.setBytes(kShapePin, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    } else if (request.shapeFile) {
        Shape const shape = readShapeFile(*request.shapeFile);
        auto const* bytes = static_cast<uint8_t const*>(shape.blobData());
        editor.setBytes(kShapePin, std::vector<uint8_t>(bytes, bytes + shape.blobSize()));
        if (!mode && shape.interpolation != -1)
            mode = shape.interpolation;
    }
    if (mode)
        editor.setByName("ITP_Choice", *mode);
}

} // namespace

int runDraw(BundleFiles const& files, DrawRequest const& request) {
    int const sources = request.shapeText.has_value() + request.blobFile.has_value() + request.shapeFile.has_value() +
                        request.blobBytes.has_value();
    if (sources > 1)
        throw std::invalid_argument("give the shape once: as text, as a blob file or as a shape file");
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    host::ModuleDescription const* description = descriptions.find(request.editorId);
    if (description == nullptr)
        throw std::invalid_argument("no module description for " + host::utf8FromWide(request.editorId));

    if (isStandardStream(request.output))
        keepStdoutForResults();
    OutputFile output(request.output);
    host::CairoDrawing picture(request.width, request.height);
    {
        host::GuiModule editor(bundle, request.editorId, {*description, {}, false});
        editor.sendDefaults();
        applyShape(editor, request);
        for (std::string const& setting : request.pinSettings)
            applyPinSetting(editor, setting);
        editor.arrange({0.0f, 0.0f, static_cast<float>(request.width), static_cast<float>(request.height)});
        if (int32_t const result = editor.render(picture.context()); result != gmpi::MP_OK)
            throw std::runtime_error("the editor did not draw (result " + std::to_string(result) + ")");
    }
    writePng(picture.surface(), output);
    output.commit();
    report("wrote %s (%d x %d)", outputName(request.output).c_str(), request.width, request.height);
    return 0;
}

} // namespace zr::cli
