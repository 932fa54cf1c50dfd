#pragma once
// Shapes as a person hands them to zrhost (a text, a blob image, a shape file), read by the
// shape core and refused with the rule that broke (shapes/ShapeDiagnosis.h). Every command
// and the patch loader use these, so one input meets one verdict everywhere.
// [load time] Each may allocate; none is for the audio thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "shapes/Shape.h"

namespace zr::host {

// A refused shape: what it is not and why, e.g. "not a shape text: node 2, character 7: ...".
// The caller adds where the input came from.
class ShapeInputError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Each throws ShapeInputError. A text is taken as it is (UTF-8); a file's content as bytes.
Shape shapeOfText(std::string_view utf8);
Shape shapeOfImage(std::span<uint8_t const> bytes);
// The nodes and the mode of a shape file's content.
Shape shapeOfFileContent(std::string_view content);

// The bytes of a file that should hold a shape in some form: at most 1 MiB, far beyond any
// shape. Throws ShapeInputError "cannot read PATH: ..." naming the reason.
std::string readShapeInput(std::filesystem::path const& path);

// The blob image of `shape`: its magic, node count and nodes.
std::vector<uint8_t> imageOf(Shape const& shape);
// The text form of `shape`, when that text reads back as exactly these nodes (a text keeps
// eight or nine digits, so nodes a float step apart may not survive it); no value otherwise.
std::optional<std::string> exactTextOf(Shape const& shape);

} // namespace zr::host
