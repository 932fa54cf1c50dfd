#pragma once
// Why a shape text, a shape file or a blob image is not a shape, in words a person can act
// on: the rule that broke and where (the node's number, the character, the line). These
// functions only explain; the readers in Shape.h keep their own behaviour, which modules
// rely on. Hosts and tools call these to refuse what the readers would drop or alter quietly.
// Not for the audio thread: each may allocate.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zr {

// No value exactly when Shape::setString accepts `text`, except one case the reader passes
// over: text after the 100th node (which it ignores) is reported here as too many nodes.
// Otherwise the first rule the reader breaks, e.g. "node 3, character 13: x must increase
// from node to node (-1 V follows 0 V)". Characters count from 1.
std::optional<std::string> explainShapeText(std::wstring_view text);

// No value exactly when Shape::readShpContent would take both the nodes and the mode of
// `content`, with nothing ignored. Otherwise the broken rule and its line: a node rule as
// explainShapeText words it, a CR-LF line end, a byte outside ASCII, a missing "ITP=" line
// or a mode other than 0, 10, 20 or 30 (which the reader leaves as it was).
std::optional<std::string> explainShapeFile(std::string_view content);

// No value when `size` bytes at `data` are a blob image whose nodes form a shape: the magic,
// a node count of 2..100 that matches the size, x from 0 to 1 rising, y within -1..+1.
// Shape::readBlob checks only the layout and trusts the nodes; this also checks the nodes.
std::optional<std::string> explainBlobImage(void const* data, std::size_t size);

} // namespace zr
