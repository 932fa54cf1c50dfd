#include "shapes/Shape.h"

#include <cmath>
#include <cwchar>
#include <locale>
#include <locale.h>
#include <sstream>

namespace zr {

namespace {

constexpr std::size_t kShortestText = 11; // "(-5,0)(5,0)"
constexpr float kVoltsToX = 0.1f;         // x_norm = (x + 5) * 0.1
constexpr float kVoltsToY = 0.2f;         // y_norm = y * 0.2
constexpr float kXToVolts = 10.0f;
constexpr float kYToVolts = 5.0f;

// Numbers are read with the "C" rules whatever locale the host process has set: under a
// decimal-comma locale "2.5" would otherwise read as 2 and a stored shape would come back
// changed. The process locale is never touched.
locale_t numberLocale() {
    static locale_t const locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

// Created while the library loads, so that no parse on the audio thread pays for it.
[[maybe_unused]] locale_t const numberLocaleAtLoad = numberLocale();

// The longest number prefix at `field` (blanks before it skipped); 0 when there is none.
float readNumber(wchar_t const* field) {
    locale_t const locale = numberLocale();
    return locale != locale_t{} ? wcstof_l(field, nullptr, locale) : std::wcstof(field, nullptr);
}

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
    node = {0.0f, yVolts * kVoltsToY};
    return true;
}

bool readFollowingNode(TextScanner const& scanner, NodeFields const& fields, float previousX, Node& node) {
    float const x = (scanner.x(fields) + 5.0f) * kVoltsToX;
    float const y = scanner.y(fields) * kVoltsToY;
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

// The parser's arithmetic, volts to stored coordinates, and the writer's last step.
float xFromVolts(float volts) { return (volts + 5.0f) * kVoltsToX; }
float yFromVolts(float volts) { return volts * kVoltsToY; }
float xToVolts(float scaled) { return scaled + (-5.0f); }
float yToVolts(float scaled) { return scaled; }

// The volts value to write for a stored coordinate, from its scaled value (x * 10, y * 5).
// Volts to stored and back are not exact inverses in single precision: for about one typed
// value in thirteen the plain conversion reads back one step off, so a shape would change on
// every save and load. The plain value is kept whenever it reads back exactly; otherwise the
// nearest scaled value that does is used. A coordinate no text can express (from a blob)
// keeps the plain value.
template <typename ToVolts, typename FromVolts>
float voltsReadingBack(float stored, float scaled, ToVolts toVolts, FromVolts fromVolts) {
    constexpr int kSearchedSteps = 4;
    float const plain = toVolts(scaled);
    if (!std::isfinite(plain) || fromVolts(plain) == stored)
        return plain;
    float below = scaled, above = scaled;
    for (int step = 0; step < kSearchedSteps; ++step) {
        below = std::nextafter(below, -HUGE_VALF);
        above = std::nextafter(above, HUGE_VALF);
        if (float const volts = toVolts(below); fromVolts(volts) == stored)
            return volts;
        if (float const volts = toVolts(above); fromVolts(volts) == stored)
            return volts;
    }
    return plain;
}

// Eight significant digits (the shorter of fixed or scientific notation) when they read
// back as exactly `value`, else nine, which every float needs at most.
void writeNumber(std::wostringstream& text, float value) {
    std::wostringstream digits;
    digits.imbue(std::locale::classic());
    digits.precision(8);
    digits << value;
    if (std::isfinite(value) && readNumber(digits.str().c_str()) != value) {
        digits.str(std::wstring());
        digits.precision(9);
        digits << value;
    }
    text << digits.str();
}

} // namespace

std::wstring Shape::getString() const {
    std::wostringstream stream;
    stream.imbue(std::locale::classic());
    for (int32_t i = 0; i < nodeCount && i < kMaxNodes; ++i) {
        float const xVolts = voltsReadingBack(nodes[i].x, nodes[i].x * kXToVolts, xToVolts, xFromVolts);
        float const yVolts = voltsReadingBack(nodes[i].y, nodes[i].y * kYToVolts, yToVolts, yFromVolts);
        stream << L'(';
        writeNumber(stream, xVolts);
        stream << L',';
        writeNumber(stream, yVolts);
        stream << L')';
    }
    return stream.str();
}

} // namespace zr
