#include "lv2/ShapeWork.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "shapes/ShapeDiagnosis.h"

namespace zr::lv2 {
namespace {

// Shape texts and files are ASCII; anything else cannot be part of a valid shape.
std::wstring wideFromAscii(std::string_view text) { return {text.begin(), text.end()}; }

bool keepRecord(zr::Shape const& shape, KeptShape& kept, std::string& error) {
    std::wstring const text = shape.getString();
    if (text.size() > kMaxShapeText) {
        error = "the shape's text is longer than " + std::to_string(kMaxShapeText) + " characters";
        return false;
    }
    kept.shape = shape;
    kept.textLength = static_cast<uint32_t>(text.size());
    std::transform(text.begin(), text.end(), kept.text, [](wchar_t c) { return static_cast<char>(c); });
    kept.text[kept.textLength] = '\0';
    return true;
}

bool keepShapeFile(std::string const& path, KeptShape& kept, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read shape file " + path;
        return false;
    }
    std::stringstream content;
    content << file.rdbuf();
    zr::Shape shape;
    shape.readShpContent(content.str());
    if (shape.invalid) {
        error = "not a shape file: " + path + ": " + explainShapeFile(content.str()).value_or("refused");
        return false;
    }
    return keepRecord(shape, kept, error);
}

} // namespace

void prepareRequest(ShapeRequest& request, uint32_t slot, ShapeSource source, char const* data, size_t length) {
    request.slot = slot;
    // Texts often arrive with their terminating zero.
    while (length > 0 && data[length - 1] == '\0')
        --length;
    if (length > kMaxShapeText) {
        request.source = ShapeSource::TooLong;
        request.length = 0;
        return;
    }
    request.source = source;
    request.length = static_cast<uint32_t>(length);
    std::memcpy(request.data, data, length);
    request.data[length] = '\0';
}

bool keepShapeText(std::string_view text, KeptShape& kept, std::string& error) {
    if (text.size() > kMaxShapeText) {
        error = "a shape text of " + std::to_string(text.size()) + " characters is longer than any shape";
        return false;
    }
    zr::Shape shape;
    std::wstring const wide = wideFromAscii(text);
    shape.setString(wide);
    if (shape.invalid) {
        error = "not a shape text: " + explainShapeText(wide).value_or("refused");
        return false;
    }
    return keepRecord(shape, kept, error);
}

bool readShapeRequest(void const* data, size_t size, ShapeResponse& response, std::string& error) {
    ShapeRequest request;
    size_t const header = offsetof(ShapeRequest, data);
    if (size < header || size > sizeof request) {
        error = "a shape request of " + std::to_string(size) + " bytes cannot be read";
        return false;
    }
    std::memcpy(&request, data, size);
    if (request.length != size - header) {
        error = "a shape request does not hold the length it states";
        return false;
    }
    request.data[request.length] = '\0';
    response.slot = request.slot;
    std::string_view const payload(request.data, request.length);
    switch (request.source) {
    case ShapeSource::Text:
        return keepShapeText(payload, response.kept, error);
    case ShapeSource::File:
        return keepShapeFile(std::string(payload), response.kept, error);
    case ShapeSource::TooLong:
        error = "a shape message longer than " + std::to_string(kMaxShapeText) + " characters cannot hold a shape";
        return false;
    }
    error = "a shape request of an unknown kind";
    return false;
}

} // namespace zr::lv2
