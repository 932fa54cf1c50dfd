#include "shapes/Shape.h"

#include <optional>
#include <string>

#include "shapes/FloatSteps.h"
#include "shapes/NumberText.h"

namespace zr {

namespace {

constexpr std::size_t kShortestText = 11; // "(-5,0)(5,0)"

// Separator positions of one node "(x,y)" whose "(" is at `open`.
struct NodeFields {
    std::size_t open;
    std::size_t comma;
    std::size_t close;
};

class TextScanner {
public:
    TextScanner(wchar_t const* text, std::size_t length) : text_(text), length_(length) {}

    // Finds the "," and ")" of the node opening at `open`; false unless both fields are
    // non-empty and a character follows the ",".
    bool locateNode(std::size_t open, NodeFields& fields) const {
        if (open >= length_ || text_[open] != L'(')
            return false;
        fields.open = open;
        fields.comma = find(L',', open + 1);
        if (fields.comma == length_ || fields.comma == open + 1 || fields.comma == length_ - 1)
            return false;
        fields.close = find(L')', fields.comma + 1);
        return fields.close != length_ && fields.close != fields.comma + 1;
    }

    float x(NodeFields const& fields) const { return readNumber(text_ + fields.open + 1); }
    float y(NodeFields const& fields) const { return readNumber(text_ + fields.comma + 1); }
    bool hasTextAfter(NodeFields const& fields) const { return fields.close + 1 < length_; }

private:
    std::size_t find(wchar_t wanted, std::size_t from) const {
        for (std::size_t i = from; i < length_; ++i)
            if (text_[i] == wanted)
                return i;
        return length_;
    }

    wchar_t const* text_;
    std::size_t length_;
};

// The range checks are written so that a NaN fails them.
bool readFirstNode(TextScanner const& scanner, NodeFields const& fields, Node& node) {
    float const xVolts = scanner.x(fields);
    float const yVolts = scanner.y(fields);
    if (!(xVolts == -5.0f) || !(yVolts >= -5.0f && yVolts <= 5.0f))
        return false;
    node = {0.0f, yFromVolts(yVolts)};
    return true;
}

bool readFollowingNode(TextScanner const& scanner, NodeFields const& fields, float previousX, Node& node) {
    float const x = xFromVolts(scanner.x(fields));
    float const y = yFromVolts(scanner.y(fields));
    if (!(x > previousX && x <= 1.0f) || !(y >= -1.0f && y <= 1.0f))
        return false;
    node = {x, y};
    return true;
}

} // namespace

bool Shape::setString(std::wstring const& text) { return parseText(text.c_str(), text.size()); }

bool Shape::parseText(wchar_t const* text, std::size_t length) {
    invalid = 1;
    if (length < kShortestText)
        return false;

    TextScanner const scanner(text, length);
    Node scratch[kMaxNodes] = {};
    NodeFields fields{};
    if (!scanner.locateNode(0, fields) || !readFirstNode(scanner, fields, scratch[0]))
        return false;
    if (!scanner.hasTextAfter(fields))
        return false; // a single node
    int32_t count = 1;
    do {
        if (!scanner.locateNode(fields.close + 1, fields) ||
            !readFollowingNode(scanner, fields, scratch[count - 1].x, scratch[count]))
            return false;
        ++count;
        // Whatever follows the 100th node is ignored.
    } while (count < kMaxNodes && scanner.hasTextAfter(fields));

    if (!(scratch[count - 1].x == 1.0f))
        return false;
    invalid = 0;
    return assignNodes(scratch, count);
}

namespace {

// The x a parser reads back from a node written with `volts`.
float readBackX(float volts) { return xFromVolts(volts); }

std::wstring numberText(float value, int digits) {
    std::wstring text;
    appendNumber(text, value, digits);
    return text;
}

// The text of an interior node's x: its volts at eight digits, as always, unless that reads
// back at or below the node before it or at the right end, which would make the whole text
// unreadable (two nodes one float step apart round together on the way back). Then the
// nearest volts that read back between the two, at nine digits, which read back exactly.
// Empty when no such value exists: the node cannot be carried by the text form.
std::wstring interiorXText(float xVolts, float previousReadBack) {
    auto const readsBackBetween = [previousReadBack](float volts) {
        float const x = readBackX(volts);
        return x > previousReadBack && x < 1.0f;
    };
    std::wstring const usual = numberText(xVolts, 8);
    float const usualVolts = readNumber(usual.c_str());
    if (readsBackBetween(usualVolts))
        return usual;
    float const direction = readBackX(usualVolts) < 1.0f ? 5.0f : -5.0f;
    std::optional<float> const nearest = nextFloatWhere(xVolts, direction, 64, readsBackBetween);
    return nearest ? numberText(*nearest, 9) : std::wstring{};
}

} // namespace

std::wstring Shape::getString() const {
    std::wstring text;
    int32_t const count = nodeCount < kMaxNodes ? nodeCount : kMaxNodes;
    float previousReadBack = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        float const xVolts = voltsFromX(nodes[i].x);
        float const yVolts = voltsFromY(nodes[i].y);
        bool const end = i == 0 || i == count - 1;
        std::wstring const xText = end ? numberText(xVolts, 8) : interiorXText(xVolts, previousReadBack);
        if (xText.empty())
            continue; // closer to its neighbours than any text can tell apart
        previousReadBack = readBackX(readNumber(xText.c_str()));
        text += L'(';
        text += xText;
        text += L',';
        appendNumber(text, yVolts, 8);
        text += L')';
    }
    return text;
}

} // namespace zr
