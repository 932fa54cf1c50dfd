#include "shapes/ShapeDiagnosis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "shapes/NumberText.h"
#include "shapes/Shape.h"

namespace zr {
namespace {

constexpr char kExample[] = "(-5,0)(5,0)";
constexpr char kModes[] = "0 (none), 10 (linear), 20 or 30 (splines)";

std::string number(float value) {
    char text[32];
    auto const end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr;
    return std::string(text, end);
}

std::string at(int32_t node, std::size_t index) {
    return "node " + std::to_string(node) + ", character " + std::to_string(index + 1) + ": ";
}

std::string characterName(wchar_t c) {
    if (c == L'\r')
        return "a carriage return (CR)";
    if (c == L'\n')
        return "a line break";
    if (c == L' ' || c == L'\t')
        return "a blank";
    if (c >= 0x20 && c < 0x7f)
        return std::string("'") + static_cast<char>(c) + "'";
    return "a character outside ASCII";
}

// Walks the text as Shape::setString does, node by node, and names the first rule it breaks.
class TextExplainer {
public:
    explicit TextExplainer(std::wstring_view text) : text_(text), terminated_(text) {}

    std::optional<std::string> explain() const {
        if (text_.empty())
            return "the text is empty; a shape is at least two nodes (x,y) in volts, e.g. " + std::string(kExample);
        float previousX = 0.0f;
        std::size_t open = 0;
        for (int32_t node = 1;; ++node) {
            std::size_t close = 0;
            float x = 0.0f;
            if (auto problem = readNode(node, open, previousX, close, x))
                return problem;
            bool const more = close + 1 < text_.size();
            if (!more && node == 1)
                return "only one node; a shape runs from a node at x = -5 to a node at x = 5, e.g. " + std::string(kExample);
            if (!more || node == Shape::kMaxNodes) {
                if (x != 1.0f)
                    return lastNodeProblem(node, close, x, more);
                if (more)
                    return tooManyNodes(close);
                return std::nullopt;
            }
            previousX = x;
            open = close + 1;
        }
    }

private:
    // Reads node `node` opening at `open`; sets `close` to its ")" and `x` to its normalised x.
    std::optional<std::string> readNode(int32_t node, std::size_t open, float previousX, std::size_t& close, float& x) const {
        if (text_[open] != L'(') {
            std::string const found = characterName(text_[open]);
            if (text_[open] == L'\r' || text_[open] == L'\n' || text_[open] == L' ' || text_[open] == L'\t')
                return at(node, open) + found + " where a node should start; nodes follow each other with nothing between, as in " + kExample;
            return at(node, open) + "expected '(' to start the node, found " + found;
        }
        std::size_t const comma = find(L',', open + 1);
        if (comma == text_.size())
            return at(node, open) + "no ',' between x and y; write the node as (x,y)";
        if (comma == open + 1)
            return at(node, comma) + "x is missing; write the node as (x,y)";
        if (comma == text_.size() - 1)
            return at(node, comma) + "the text ends after the ','; write the node as (x,y)";
        close = find(L')', comma + 1);
        if (close == text_.size())
            return at(node, open) + "no ')' closes the node";
        if (close == comma + 1)
            return at(node, close) + "y is missing; write the node as (x,y)";
        float const xVolts = readNumber(terminated_.c_str() + open + 1);
        float const yVolts = readNumber(terminated_.c_str() + comma + 1);
        if (node == 1) {
            if (!(xVolts == -5.0f))
                return at(node, open + 1) + "the first node must be at x = -5, not " + number(xVolts);
            x = 0.0f;
        } else {
            x = (xVolts + 5.0f) * 0.1f; // as the reader computes it, so that the verdicts agree
            if (!(x <= 1.0f) || !(xVolts >= -5.0f))
                return at(node, open + 1) + "x = " + number(xVolts) + " is outside -5..5";
            if (!(x > previousX))
                return at(node, open + 1) + "x must increase from node to node (" + number(xVolts) +
                       " does not lie right of the node before)";
        }
        float const y = node == 1 ? yVolts : yVolts * 0.2f;
        bool const yInside = node == 1 ? (yVolts >= -5.0f && yVolts <= 5.0f) : (y >= -1.0f && y <= 1.0f);
        if (!yInside)
            return at(node, comma + 1) + "y = " + number(yVolts) + " is outside -5..5";
        return std::nullopt;
    }

    std::string tooManyNodes(std::size_t close) const {
        return at(Shape::kMaxNodes + 1, close + 1) + "more than " + std::to_string(Shape::kMaxNodes) +
               " nodes; a shape has at most " + std::to_string(Shape::kMaxNodes);
    }

    std::string lastNodeProblem(int32_t node, std::size_t close, float x, bool more) const {
        if (more)
            return tooManyNodes(close);
        return "node " + std::to_string(node) + " is the last node and lies at x = " + number(x * 10.0f - 5.0f) +
               "; the last node must be at x = 5";
    }

    std::size_t find(wchar_t wanted, std::size_t from) const {
        std::size_t const found = text_.find(wanted, from);
        return found == std::wstring_view::npos ? text_.size() : found;
    }

    std::wstring_view text_;
    std::wstring terminated_; // the number reader runs until a non-number character
};

// The "ITP=" line: the first "ITP=" after the first newline, as the reader looks for it.
std::optional<std::string> explainModeLine(std::string_view content, std::size_t newline) {
    std::string const add = "; end the file with a line ITP=mode, the interpolation: " + std::string(kModes);
    if (newline == std::string_view::npos)
        return "line 2: no ITP= line after the nodes" + add;
    std::size_t const prefix = content.find("ITP=", newline);
    if (prefix == std::string_view::npos)
        return "line 2: no ITP= line after the nodes" + add;
    std::size_t const lineNumber = 2 + static_cast<std::size_t>(std::count(content.begin() + newline + 1, content.begin() + prefix, '\n'));
    std::size_t const valueStart = prefix + 4;
    std::size_t const valueEnd = content.find_first_of("\r\n", valueStart);
    std::string_view value = content.substr(valueStart, valueEnd == std::string_view::npos ? std::string_view::npos : valueEnd - valueStart);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1); // blanks and a plus sign, as the reader allows them
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    std::string_view const digits = !value.empty() && value.front() == '+' ? value.substr(1) : value;
    int32_t mode = -1;
    auto const [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), mode);
    std::string const where = "line " + std::to_string(lineNumber) + ": ";
    if (value.empty())
        return where + "ITP= names no mode; write one of " + kModes;
    if (error != std::errc{} || end != digits.data() + digits.size())
        return where + "ITP=" + std::string(value) + " is not a whole number; write one of " + kModes;
    if (!isValidInterpolation(mode))
        return where + "ITP=" + std::to_string(mode) + " is not an interpolation mode; write one of " + kModes;
    if (valueEnd != std::string_view::npos && content[valueEnd] == '\r')
        return where + "ends with CR-LF (a Windows line end); shape files end lines with LF alone";
    return std::nullopt;
}

} // namespace

std::optional<std::string> explainShapeText(std::wstring_view text) { return TextExplainer(text).explain(); }

std::optional<std::string> explainShapeFile(std::string_view content) {
    for (std::size_t i = 0; i < content.size(); ++i)
        if (static_cast<unsigned char>(content[i]) >= 0x80)
            return "line " + std::to_string(1 + std::count(content.begin(), content.begin() + i, '\n')) + ": byte " +
                   std::to_string(i + 1) + " is outside ASCII; a shape file holds ASCII text only";
    std::size_t const newline = content.find('\n');
    std::string_view const nodeLine = content.substr(0, newline);
    if (!nodeLine.empty() && nodeLine.back() == '\r')
        return "line 1 ends with CR-LF (a Windows line end); shape files end lines with LF alone";
    if (auto problem = explainShapeText(std::wstring(nodeLine.begin(), nodeLine.end())))
        return "line 1, " + *problem;
    return explainModeLine(content, newline);
}

std::optional<std::string> explainBlobImage(void const* data, std::size_t size) {
    constexpr std::size_t kHeader = 8;
    std::string const sizes = "a blob image is 8 bytes (the magic 50 41 48 53, then the node count) and 8 bytes per node, 2 to " +
                              std::to_string(Shape::kMaxNodes) + " nodes";
    if (data == nullptr || size < kHeader + Shape::kMinNodes * sizeof(Node) || size > kHeader + Shape::kMaxNodes * sizeof(Node) ||
        (size - kHeader) % sizeof(Node) != 0)
        return std::to_string(size) + " bytes cannot be a shape; " + sizes;
    auto const* bytes = static_cast<unsigned char const*>(data);
    uint32_t magic = 0;
    int32_t count = 0;
    std::memcpy(&magic, bytes, sizeof magic);
    std::memcpy(&count, bytes + sizeof magic, sizeof count);
    if (magic != Shape::kMagic)
        return "it does not start with the shape magic 50 41 48 53; " + sizes;
    if (static_cast<std::size_t>(count) != (size - kHeader) / sizeof(Node))
        return "its node count (" + std::to_string(count) + ") does not match its " + std::to_string(size) + " bytes; " + sizes;
    std::vector<Node> nodes(static_cast<std::size_t>(count));
    std::memcpy(nodes.data(), bytes + kHeader, nodes.size() * sizeof(Node));
    for (int32_t i = 0; i < count; ++i) {
        Node const& node = nodes[static_cast<std::size_t>(i)];
        std::string const where = "node " + std::to_string(i + 1) + ": ";
        if (!(node.y >= -1.0f && node.y <= 1.0f))
            return where + "y = " + number(node.y * 5.0f) + " V is outside -5..5";
        if (i == 0 && !(node.x == 0.0f))
            return where + "the first node must be at x = -5, not " + number(node.x * 10.0f - 5.0f);
        if (i == count - 1 && !(node.x == 1.0f))
            return where + "the last node must be at x = 5, not " + number(node.x * 10.0f - 5.0f);
        if (i > 0 && !(node.x > nodes[static_cast<std::size_t>(i - 1)].x))
            return where + "x must increase from node to node (" + number(node.x * 10.0f - 5.0f) + " V does not lie right of the node before)";
    }
    return std::nullopt;
}

} // namespace zr
