#include "host/cli/ShapeCommand.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>

#include <unistd.h>

#include "host/TextConversion.h"
#include "host/patch/ShapeValues.h"
#include "shapes/Shape.h"

namespace zr::cli {
namespace {

namespace fs = std::filesystem;

enum class Form { Text, Blob, ShapeFile };

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

// The input as a shape; a shape file also gives its mode. Every form meets the same checks
// as in a patch or a picture (host/patch/ShapeValues.h).
Shape readInput(std::string const& input) {
    fs::path const path(input);
    std::optional<Form> const form = formOfExtension(path);
    if (!form && !fs::exists(path))
        return shapeOfText(input, "the argument");
    std::string const content = host::readShapeInput(path);
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
        throw std::invalid_argument(input + ": " + error.what());
    }
    return shapeOfText(content, input);
}

bool writeBytes(fs::path const& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

// Writes a regular file through a temporary sibling renamed into place, so a failed write
// leaves the target as it was. Anything else (a device, say) is written directly.
bool writeReplacing(fs::path const& target, std::function<bool(fs::path const&)> const& write) {
    std::error_code error;
    if (fs::exists(target, error) && !fs::is_regular_file(target, error))
        return write(target);
    fs::path const partial = target.parent_path() / ("." + target.filename().string() + ".partial-" + std::to_string(::getpid()));
    bool const written = write(partial) && (fs::rename(partial, target, error), !error);
    if (!written)
        fs::remove(partial, error);
    return written;
}

bool writeOutput(Shape const& shape, fs::path const& output, Form form) {
    std::string const text = host::utf8FromWide(shape.getString());
    switch (form) {
    case Form::ShapeFile:
        return writeReplacing(output, [&](fs::path const& path) { return shape.saveShp(path.wstring()); });
    case Form::Blob: {
        std::string_view const image(static_cast<char const*>(shape.blobData()), static_cast<std::size_t>(shape.blobSize()));
        return writeReplacing(output, [&](fs::path const& path) { return writeBytes(path, image); });
    }
    case Form::Text:
        break;
    }
    return writeReplacing(output, [&](fs::path const& path) { return writeBytes(path, text + "\n"); });
}

int convert(ShapeConvertRequest const& request) {
    bool const toStdout = request.output == "-";
    std::optional<Form> const target =
        toStdout ? Form::Text : formOfExtension(request.to ? fs::path("target." + *request.to) : request.output);
    if (!target)
        throw std::invalid_argument(request.output.string() +
                                    ": name the target .shp, .blob or .txt, give --to shp|blob|txt, or - for the text");
    if (request.mode && *target != Form::ShapeFile)
        throw std::invalid_argument("--mode needs a .shp target: text and blob images carry no interpolation");
    if (request.mode && !isValidInterpolation(*request.mode))
        throw std::invalid_argument("--mode must be 0 (none), 10 (linear), 20 or 30 (splines)");

    Shape shape = readInput(request.input);
    if (request.mode)
        shape.setInterpolation(*request.mode);
    if (toStdout) {
        std::printf("%s\n", host::utf8FromWide(shape.getString()).c_str());
        return 0;
    }
    if (!writeOutput(shape, request.output, *target)) {
        std::fprintf(stderr, "zrhost shape convert: could not write %s; nothing was saved\n", request.output.string().c_str());
        return 1;
    }
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
        "convert", "convert a shape: IN is a .shp, .blob or .txt file or a literal text; OUT a .shp, .blob or .txt file, or -");
    convertCommand->add_option("IN", request->input, "e.g. examples/shapes/triangle.shp or \"(-5,-5)(5,5)\"")->required();
    convertCommand->add_option("OUT", request->output, "the target; its extension chooses the form")->required();
    convertCommand->add_option("--to", request->to, "the target's form whatever its name: shp, blob or txt")
        ->check(CLI::IsMember({"shp", "blob", "txt"}));
    convertCommand->add_option("--mode", request->mode, "interpolation for a .shp target: 0 none, 10 linear, 20 or 30 splines");
    convertCommand->callback([request] {
        if (int const code = runShapeConvert(*request); code != 0)
            throw CLI::RuntimeError(code);
    });
}

} // namespace zr::cli
