#include "host/cli/ShapeCommand.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "host/TextConversion.h"
#include "host/patch/ShapeValues.h"
#include "host/cli/Messages.h"
#include "host/cli/OutputFile.h"
#include "host/cli/StreamPaths.h"
#include "shapes/Shape.h"

namespace zr::cli {
namespace {

namespace fs = std::filesystem;

enum class Form { Text, Blob, ShapeFile };

// Far beyond any shape in any form; a larger input is refused rather than read.
constexpr std::size_t kLargestInput = 1 << 20;

std::optional<Form> formOfExtension(fs::path const& path) {
    std::string const extension = path.extension().string();
    if (extension == ".shp")
        return Form::ShapeFile;
    if (extension == ".blob")
        return Form::Blob;
    if (extension == ".txt")
        return Form::Text;
    return std::nullopt;
}

// A literal text or a text file's content; a text file usually ends with a line break.
Shape shapeOfText(std::string text, std::string const& origin) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    try {
        return host::shapeOfText(text);
    } catch (host::ShapeInputError const& error) {
        throw std::invalid_argument(origin + ": " + error.what());
    }
}

// The form of what arrives on standard input, which has no extension: a blob image starts with
// its magic number, a shape file has its mode line, anything else is read as text.
Form formOfContent(std::string const& content) {
    Shape probe;
    probe.readBlob(content.data(), static_cast<int32_t>(content.size()));
    if (!probe.invalid)
        return Form::Blob;
    return content.find("ITP=") != std::string::npos ? Form::ShapeFile : Form::Text;
}

// The input as a shape; a shape file also gives its mode. Every form meets the same checks
// as in a patch or a picture (host/patch/ShapeValues.h).
Shape readShapeInput(std::string const& input) {
    fs::path const path(input);
    std::optional<Form> form = formOfExtension(path);
    if (!form && !isStandardStream(path) && !fs::exists(path))
        return shapeOfText(input, "the argument");
    std::string const content = readInput(path, kLargestInput);
    if (isStandardStream(path))
        form = formOfContent(content);
    std::string const name = inputName(path);
    try {
        switch (form.value_or(Form::Text)) {
        case Form::ShapeFile:
            return host::shapeOfFileContent(content);
        case Form::Blob:
            return host::shapeOfImage({reinterpret_cast<uint8_t const*>(content.data()), content.size()});
        case Form::Text:
            break;
        }
    } catch (host::ShapeInputError const& error) {
        throw std::invalid_argument(name + ": " + error.what());
    }
    return shapeOfText(content, name);
}

// The bytes of `shape` in the target's form.
std::string contentOf(Shape const& shape, Form form) {
    switch (form) {
    case Form::ShapeFile:
        return shape.shpContent();
    case Form::Blob:
        return std::string(static_cast<char const*>(shape.blobData()), static_cast<std::size_t>(shape.blobSize()));
    case Form::Text:
        break;
    }
    return host::utf8FromWide(shape.getString()) + "\n";
}

// A target that cannot be written completely is left as it was (see OutputFile).
void writeOutput(Shape const& shape, fs::path const& output, Form form) {
    if (isStandardStream(output))
        keepStdoutForResults();
    OutputFile file(output, form == Form::Text ? OutputFile::Content::Text : OutputFile::Content::Binary);
    std::string const content = contentOf(shape, form);
    file.write(content.data(), content.size());
    file.commit();
    detail("wrote %s", file.name().c_str());
}

int convert(ShapeConvertRequest const& request) {
    std::optional<Form> target = formOfExtension(request.to ? fs::path("target." + *request.to) : request.output);
    if (!target && !request.output.has_extension() && writesIntoStream(request.output))
        target = Form::Text; // "-", /dev/stdout, a pipe
    if (!target)
        throw std::invalid_argument(request.output.string() +
                                    ": name the target .shp, .blob or .txt, give --to shp|blob|txt, or - for the text");
    if (request.mode && *target != Form::ShapeFile)
        throw std::invalid_argument("--mode needs a .shp target: text and blob images carry no interpolation");
    if (request.mode && !isValidInterpolation(*request.mode))
        throw std::invalid_argument("--mode must be 0 (none), 10 (linear), 20 or 30 (splines)");

    Shape shape = readShapeInput(request.input);
    if (request.mode)
        shape.setInterpolation(*request.mode);
    writeOutput(shape, request.output, *target);
    return 0;
}

} // namespace

int runShapeConvert(ShapeConvertRequest const& request) {
    try {
        return convert(request);
    } catch (std::exception const& error) {
        std::fprintf(stderr, "zrhost shape convert: %s\n", error.what());
        return 1;
    }
}

void addShapeCommand(CLI::App& app) {
    auto request = std::make_shared<ShapeConvertRequest>();
    auto* shape = app.add_subcommand("shape", "work with shapes in their text, blob image and shape file forms");
    shape->require_subcommand(1);
    auto* convertCommand = shape->add_subcommand(
        "convert", "convert a shape: IN is a .shp, .blob or .txt file, a literal text or - (standard input); OUT a .shp, .blob or .txt "
        "file, or - (standard output)");
    convertCommand->add_option("IN", request->input, "e.g. examples/shapes/triangle.shp or \"(-5,-5)(5,5)\"")->required();
    convertCommand->add_option("OUT", request->output, "the target; its extension chooses the form (- takes text unless --to)")
        ->required();
    convertCommand->add_option("--to", request->to, "the target's form whatever its name: shp, blob or txt")
        ->check(CLI::IsMember({"shp", "blob", "txt"}));
    convertCommand->add_option("--mode", request->mode, "interpolation for a .shp target: 0 none, 10 linear, 20 or 30 splines");
    convertCommand->callback([request] {
        if (int const code = runShapeConvert(*request); code != 0)
            throw CLI::RuntimeError(code);
    });
}

} // namespace zr::cli
