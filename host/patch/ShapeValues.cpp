#include "host/patch/ShapeValues.h"

#include <cstring>
#include <fstream>

#include "host/TextConversion.h"
#include "shapes/ShapeDiagnosis.h"

namespace zr::host {
namespace {

constexpr std::size_t kLargestInput = 1 << 20;

} // namespace

Shape shapeOfText(std::string_view utf8) {
    std::wstring text;
    try {
        text = wideFromUtf8(utf8);
    } catch (std::invalid_argument const&) {
        throw ShapeInputError("not a shape text: it is not UTF-8 text");
    }
    Shape shape;
    shape.setString(text);
    if (auto const problem = explainShapeText(text))
        throw ShapeInputError("not a shape text: " + *problem);
    return shape;
}

Shape shapeOfImage(std::span<uint8_t const> bytes) {
    if (auto const problem = explainBlobImage(bytes.data(), bytes.size()))
        throw ShapeInputError("not a shape's blob image: " + *problem);
    Shape shape;
    shape.readBlob(bytes.data(), static_cast<int32_t>(bytes.size()));
    return shape;
}

Shape shapeOfFileContent(std::string_view content) {
    if (auto const problem = explainShapeFile(content))
        throw ShapeInputError("not a shape file: " + *problem);
    Shape shape;
    shape.readShpContent(content);
    return shape;
}

std::string readShapeInput(std::filesystem::path const& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        throw ShapeInputError("cannot read " + path.string() + ": no such file");
    if (std::filesystem::is_directory(path, error))
        throw ShapeInputError("cannot read " + path.string() + ": it is a folder");
    std::ifstream file(path, std::ios::binary);
    std::string content(kLargestInput + 1, '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file && !file.eof())
        throw ShapeInputError("cannot read " + path.string() + ": not readable");
    content.resize(static_cast<std::size_t>(file.gcount()));
    if (content.size() > kLargestInput)
        throw ShapeInputError("cannot read " + path.string() + ": over 1 MiB, far too large to hold a shape");
    return content;
}

std::vector<uint8_t> imageOf(Shape const& shape) {
    auto const* bytes = static_cast<uint8_t const*>(shape.blobData());
    return {bytes, bytes + shape.blobSize()};
}

std::optional<std::string> exactTextOf(Shape const& shape) {
    std::wstring const text = shape.getString();
    Shape readBack;
    readBack.setString(text);
    if (readBack.invalid || imageOf(readBack) != imageOf(shape))
        return std::nullopt;
    return utf8FromWide(text);
}

} // namespace zr::host
