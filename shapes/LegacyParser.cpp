#include "shapes/LegacyParser.h"

#include <algorithm>
#include <string_view>

#include "shapes/Clamp.h"
#include "shapes/NumberText.h"

namespace zr::shapes {

namespace {

constexpr float kLeftEdge = -5.0f;
constexpr float kRightEdge = 5.0f;
constexpr float kBeforeLeftEdge = -6.0f; // "previous x" of the first node

// Separator offsets of the node at the start of the remaining text.
struct NodeSpan {
    std::size_t comma;
    std::size_t close;
};

// Whether the remaining text `rest` (of `length` characters) begins with a node "(x,y)"
// whose fields are both non-empty. Looks for the first "(", "," and ")" of what remains.
bool findNode(wchar_t const* rest, std::size_t length, NodeSpan& span) {
    std::wstring_view const view(rest, length);
    if (view.find(L'(') != 0)
        return false;
    span.comma = view.find(L',');
    span.close = view.find(L')');
    if (span.comma == std::wstring_view::npos || span.close == std::wstring_view::npos)
        return false;
    return span.comma >= 2 && span.close >= 4 && span.comma + 2 <= span.close;
}

} // namespace

int32_t parseNodes(std::wstring const& text, float xMin, float xMax, float yMin, float yMax, Node* out) {
    std::size_t start = 0;
    int32_t count = 0;
    float previousX = kBeforeLeftEdge;
    NodeSpan span{};
    // Nodes go to `out` only once the whole text is accepted: a refused text leaves it alone.
    Node read[kMaxLegacyNodes];
    while (count < kMaxLegacyNodes && findNode(text.c_str() + start, text.size() - start, span)) {
        wchar_t const* node = text.c_str() + start;
        float const x = readNumber(node + 1);
        // Written so that a NaN x fails: it would otherwise become a table index.
        bool const inRange = x >= kLeftEdge && x <= kRightEdge && x > previousX;
        if (!inRange || (count == 0 && !(x == kLeftEdge)))
            return 0;
        float const y = clampf(readNumber(node + span.comma + 1), kLeftEdge, kRightEdge);
        read[count++] = {mapFromVolts(x, xMin, xMax), mapFromVolts(y, yMin, yMax)};
        previousX = x;
        start += span.close + 1;
    }
    if (count < 2 || previousX != kRightEdge)
        return 0;
    std::copy(read, read + count, out);
    return count;
}

} // namespace zr::shapes
