#pragma once
// The shapes a plug-in keeps, and the work that turns a shape text or shape file into a shape
// record off the audio thread. run() copies a request into the worker's queue; the worker
// reads and checks the shape (this may allocate and touch files) and answers with the record
// and its canonical text, which run() then applies. A refused shape gets no answer: the
// plug-in keeps the shape it has.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shapes/Shape.h"

namespace zr::lv2 {

// The longest shape text taken: 100 nodes of the longest numbers and blanks between them fit.
inline constexpr size_t kMaxShapeText = 3000;

// A shape with its text as the worker wrote it (canonical form).
struct KeptShape {
    zr::Shape shape;
    uint32_t textLength = 0;
    char text[kMaxShapeText + 1] = {};

    std::string_view textView() const { return {text, textLength}; }
};

enum class ShapeSource : uint32_t {
    Text,    // the data is a shape text
    File,    // the data is a shape file's path
    TooLong, // the message was longer than kMaxShapeText; only its length travels, to be reported
};

struct ShapeRequest {
    uint32_t slot = 0;
    ShapeSource source = ShapeSource::Text;
    uint32_t length = 0;
    char data[kMaxShapeText + 1] = {};

    // The bytes to hand the worker: the header and `length` bytes of data.
    size_t wireSize() const { return offsetof(ShapeRequest, data) + length; }
};

struct ShapeResponse {
    uint32_t slot = 0;
    KeptShape kept;

    size_t wireSize() const { return offsetof(ShapeResponse, kept) + offsetof(KeptShape, text) + kept.textLength; }
};

// [audio thread] Fills `request` for `slot` from a message's text; a text too long becomes a
// TooLong request so that the worker can report it.
void prepareRequest(ShapeRequest& request, uint32_t slot, ShapeSource source, char const* data, size_t length);

// [worker thread or instantiation] Reads a request as the worker receives it (`size` bytes).
// On success fills `response` and returns true; otherwise returns false and `error` says why
// in a sentence a person can act on.
bool readShapeRequest(void const* data, size_t size, ShapeResponse& response, std::string& error);

// [any non-real-time thread] The shape text `text` as a kept shape; false and `error` when
// refused or too long.
bool keepShapeText(std::string_view text, KeptShape& kept, std::string& error);

} // namespace zr::lv2
