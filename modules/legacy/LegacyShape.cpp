// Successor: zr::Shape, zr::Shape::Interpolator and the shape text form (shapes/).
// What the older module generation shares: parsing, legacy tables, texts and files.

#include "modules/legacy/LegacyShape.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <optional>

#include "sdk/Utf8Codec.h"
#include "shapes/Clamp.h"
#include "shapes/FloatSteps.h"
#include "shapes/NumberText.h"

namespace zr::legacy {

int32_t currentModeOf(int32_t legacyMode) {
    // In the order of the legacy list "Linear,Spline,Lagrange,None".
    constexpr int32_t kModes[] = {zr::Linear, zr::VarekSpline, zr::NaturalSpline, zr::None};
    return isLegacyMode(legacyMode) ? kModes[legacyMode] : -1;
}

int32_t legacyModeOf(int32_t currentMode) {
    for (int32_t legacy = kStraight; legacy <= kImpulses; ++legacy)
        if (currentModeOf(legacy) == currentMode)
            return legacy;
    return kStraight;
}

int32_t NodeList::parse(std::wstring const& text, float xMin, float xMax, float yMin, float yMax) {
    count = zr::shapes::parseNodes(text, xMin, xMax, yMin, yMax, nodes.data());
    return count;
}

int32_t NodeList::parseVolts(std::wstring const& text) { return parse(text, -5.0f, 5.0f, -5.0f, 5.0f); }

int32_t NodeList::parseUnit(std::wstring const& text) { return parse(text, 0.0f, 1.0f, -1.0f, 1.0f); }

namespace {

constexpr int kStreamDigits = 6;    // a default-formatted stream
constexpr int kRoundTripDigits = 9; // enough for every float to read back as itself

// Where the table modules and the older editor put an x read in volts: 0..1, as the lenient
// parser maps it for them.
float unitX(float volts) { return zr::xFromVolts(volts); }

// Whether x values read back as `before` and `after` stay apart for every reader: in volts,
// as the text modules read them, and on 0..1, where close volts can round together.
bool apart(float before, float after) { return before < after && unitX(before) < unitX(after); }

// Writes the nodes with x in six digits; returns whether every reader sees x increasing.
bool writeSixDigits(Node const* nodes, int32_t count, std::wstring& text) {
    text.clear();
    bool increasing = true;
    float previousX = -std::numeric_limits<float>::infinity();
    for (int32_t i = 0; i < count; ++i) {
        text += L'(';
        std::size_t const xAt = text.size();
        appendNumber(text, nodes[i].x, kStreamDigits);
        float const readBack = zr::readNumber(text.c_str() + xAt);
        increasing = increasing && apart(previousX, readBack);
        previousX = readBack;
        text += L',';
        appendNumber(text, nodes[i].y, kStreamDigits);
        text += L')';
    }
    return increasing;
}

// The x of an interior node, as close to `x` as keeps it apart from both neighbours; nothing
// when no value lies between them. Nine digits read every float back as itself.
std::optional<float> xBetween(float x, float previous, float last) {
    auto const between = [previous, last](float candidate) { return apart(previous, candidate) && apart(candidate, last); };
    if (between(x))
        return x;
    float const direction = apart(previous, x) ? -std::numeric_limits<float>::infinity()
                                               : std::numeric_limits<float>::infinity();
    return zr::nextFloatWhere(x, direction, 64, between);
}

// Every x with nine digits; an interior node too close to a neighbour moves by the fewest
// float steps that set it apart, and one that cannot be set apart is left out.
void writeNineDigits(Node const* nodes, int32_t count, std::wstring& text) {
    text.clear();
    float previousX = -std::numeric_limits<float>::infinity();
    float const lastX = count > 0 ? nodes[count - 1].x : 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        std::optional<float> x = nodes[i].x;
        if (i != 0 && i != count - 1)
            x = xBetween(nodes[i].x, previousX, lastX);
        if (!x)
            continue;
        text += L'(';
        appendNumber(text, *x, kRoundTripDigits);
        text += L',';
        appendNumber(text, nodes[i].y, kStreamDigits);
        text += L')';
        previousX = *x;
    }
}

} // namespace

// Six digits, as a default-formatted stream writes. Nodes closer than six digits tell apart
// would read back with equal x, and every parser refuses such a text, losing the whole shape;
// then every x is written with the digits that read back exactly, and nodes closer than a
// float step on 0..1 are set apart (an edit can leave a node one step from its neighbour).
void writeNodes(Node const* nodes, int32_t count, std::wstring& text) {
    if (!writeSixDigits(nodes, count, text))
        writeNineDigits(nodes, count, text);
}

std::wstring writeNodes(Node const* nodes, int32_t count) {
    std::wstring text;
    writeNodes(nodes, count, text);
    return text;
}

bool placeXInsideNeighbours(NodeList& list, int32_t index, float x) {
    constexpr float kGap = 0.01f;
    if (index <= 0 || index >= list.count - 1 || std::isnan(x))
        return false;
    auto const at = static_cast<std::size_t>(index);
    float const low = list.nodes[at - 1].x + kGap;
    float const high = list.nodes[at + 1].x - kGap;
    if (!(low <= high))
        return false;
    float const placed = clampf(x, low, high);
    bool const moved = placed != list.nodes[at].x;
    list.nodes[at].x = placed;
    return moved;
}

void TextShapeEdit::attach(StringInPin& shapeIn, StringOutPin& shapeOut) {
    shapeIn_ = &shapeIn;
    shapeOut_ = &shapeOut;
}

void TextShapeEdit::onSetPins() {
    if (shapeIn_->isUpdated())
        input_.parseVolts(*shapeIn_);
    if (input_.count == 0)
        return;
    edited_ = input_;
    edit(edited_);
    writeNodes(edited_.nodes.data(), edited_.count, text_);
    *shapeOut_ = text_;
}

void LegacyTable::setNodes(NodeList const& list, int32_t mode, float xScale) {
    count_ = list.count;
    float previous = -1.0f;
    for (int32_t i = 0; i < count_; ++i) {
        // x is 0..1 (or 0..4095) here, as the parser refuses anything else: the conversion is safe.
        float position = std::floor(list.nodes[static_cast<std::size_t>(i)].x * xScale);
        if (position == previous)
            position += 1.0f;
        previous = position;
        nodes_[static_cast<std::size_t>(i)] = list.nodes[static_cast<std::size_t>(i)];
        positions_[static_cast<std::size_t>(i)] = static_cast<int32_t>(position);
    }
    fill(mode);
}

void LegacyTable::refill(int32_t mode) {
    if (count_ != 0)
        fill(mode);
}

void LegacyTable::clear() {
    table_.fill(0.0f);
    count_ = 0;
}

void LegacyTable::fill(int32_t mode) {
    if (mode == kImpulses) {
        fillImpulses();
        return;
    }
    if (count_ < 2)
        return;
    for (int32_t k = 0; k + 1 < count_; ++k)
        fillSegment(k, mode);
}

void LegacyTable::fillImpulses() {
    table_.fill(0.0f);
    for (int32_t i = 0; i < count_; ++i)
        write(position(i), nodes_[static_cast<std::size_t>(i)].y);
}

void LegacyTable::fillSegment(int32_t k, int32_t mode) {
    int32_t const start = position(k);
    int32_t const next = position(k + 1);
    int32_t const end = k == count_ - 2 ? next + 1 : next;
    float const span = static_cast<float>(next - start);
    for (int32_t p = start; p < end && p < kTableSize; ++p) {
        float const w = static_cast<float>(p - start) / span;
        write(p, finiteOrStraight(blend(k, p, w, mode), k, w));
    }
}

// Nodes closer than a table step can leave positions running backwards after the +1 rule;
// the curved modes then divide by a zero gap between a node's neighbours. Such an entry takes
// the straight line between the segment's nodes, so the table never holds NaN or infinity
// and every entry that could be computed stays as it was.
float LegacyTable::finiteOrStraight(float value, int32_t k, float w) const {
    if (std::isfinite(value))
        return value;
    return blend(k, 0, w, kStraight);
}

// w x R + (1 - w) x L, with L and R by the mode; any mode other than 1 and 2 draws lines.
float LegacyTable::blend(int32_t k, int32_t p, float w, int32_t mode) const {
    if (mode == kTangentBlend)
        return tangentBlend(k, p, w);
    if (mode == kParabolaBlend)
        return parabolaBlend(k, p, w);
    float const left = nodes_[static_cast<std::size_t>(k)].y;
    float const right = nodes_[static_cast<std::size_t>(k) + 1].y;
    return w * right + (1.0f - w) * left;
}

float LegacyTable::tangentBlend(int32_t k, int32_t p, float w) const {
    auto y = [this](int32_t i) { return nodes_[static_cast<std::size_t>(i)].y; };
    auto const dp = [this, p](int32_t i) { return static_cast<float>(p - position(i)); };
    auto const gap = [this](int32_t a, int32_t b) { return static_cast<float>(position(b) - position(a)); };
    bool const first = k == 0;
    bool const last = k == count_ - 2;
    if (first && last)
        return w * y(1) + (1.0f - w) * y(0);

    float const lin = y(k) + (y(k + 1) - y(k)) * dp(k) / gap(k, k + 1);
    float left = 0.0f;
    float right = 0.0f;
    if (first) {
        left = lin;
        right = y(k + 1) + dp(k + 1) * (y(k + 2) - y(k)) / gap(k, k + 2);
    } else if (last) {
        left = y(k) + dp(k) * (y(k + 1) - y(k - 1)) / gap(k - 1, k + 1);
        right = lin;
    } else {
        float const tanK = y(k) + dp(k) * (y(k + 1) - y(k - 1)) / gap(k - 1, k + 1);
        float const tanK1 = y(k + 1) + dp(k + 1) * (y(k + 2) - y(k)) / gap(k, k + 2);
        left = (1.0f - w) * tanK + w * lin;
        right = w * tanK1 + (1.0f - w) * lin;
    }
    return w * right + (1.0f - w) * left;
}

// L = R in the end segments, so the blend is the parabola itself there.
float LegacyTable::parabolaBlend(int32_t k, int32_t p, float w) const {
    bool const first = k == 0;
    bool const last = k == count_ - 2;
    if (first && last)
        return w * nodes_[1].y + (1.0f - w) * nodes_[0].y;
    if (first)
        return parabola(0, 1, 2, p);
    if (last)
        return parabola(k - 1, k, k + 1, p);
    float const left = parabola(k - 1, k, k + 1, p);
    float const right = parabola(k, k + 1, k + 2, p);
    return w * right + (1.0f - w) * left;
}

// The parabola through nodes a, b and c, in Lagrange form, at position p.
float LegacyTable::parabola(int32_t a, int32_t b, int32_t c, int32_t p) const {
    auto const at = [this](int32_t i) { return static_cast<float>(position(i)); };
    auto y = [this](int32_t i) { return nodes_[static_cast<std::size_t>(i)].y; };
    float const x = static_cast<float>(p);
    float const xa = at(a), xb = at(b), xc = at(c);
    return y(a) * (x - xb) * (x - xc) / ((xa - xb) * (xa - xc)) +
           y(b) * (x - xa) * (x - xc) / ((xb - xa) * (xb - xc)) +
           y(c) * (x - xa) * (x - xb) / ((xc - xa) * (xc - xb));
}

namespace {

constexpr wchar_t kModeLine[] = L"\nITP=";
constexpr std::size_t kLargestFile = 1 << 20; // far beyond 100 nodes; larger files are refused

// The file's characters, one per byte, up to the first byte outside ASCII.
std::optional<std::wstring> readAscii(std::wstring const& path) {
    auto const name = gmpi_sdk::utf8::encodeText(path, gmpi_sdk::utf8::OnInvalid::Refuse);
    if (path.empty() || !name)
        return std::nullopt;
    std::ifstream file(*name, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::wstring text;
    char byte;
    while (text.size() < kLargestFile && file.get(byte) && static_cast<unsigned char>(byte) < 0x80)
        text += static_cast<wchar_t>(byte);
    return text;
}

} // namespace

bool writeLegacyFile(std::wstring const& path, NodeList const& volts, int32_t mode) {
    auto const name = gmpi_sdk::utf8::encodeText(path, gmpi_sdk::utf8::OnInvalid::Refuse);
    if (path.empty() || !name)
        return false;
    std::wstring text = writeNodes(volts.nodes.data(), volts.count);
    if (isLegacyMode(mode))
        text += kModeLine + std::to_wstring(mode);
    std::ofstream file(*name, std::ios::binary | std::ios::trunc);
    for (wchar_t c : text)
        file.put(static_cast<char>(c)); // the text is ASCII: digits, signs, "e", brackets
    file.flush();
    return static_cast<bool>(file);
}

std::optional<LegacyFile> readLegacyFile(std::wstring const& path) {
    auto const text = readAscii(path);
    if (!text)
        return std::nullopt;
    LegacyFile file{text->substr(0, text->find(L'\n')), {}, -1};
    if (file.volts.parseVolts(*text) == 0)
        return std::nullopt;
    std::size_t const line = text->find(kModeLine);
    std::size_t const digit = line == std::wstring::npos ? text->size() : line + std::size(kModeLine) - 1;
    // Only the one character after the prefix counts; a file may end right after it.
    int32_t const mode = digit < text->size() ? (*text)[digit] - L'0' : -1;
    if (isLegacyMode(mode))
        file.mode = mode;
    return file;
}

float lookup(float const* table, float level) {
    float const t = clampf(level + 0.5f, 0.0f, 1.0f);
    float const q = t * static_cast<float>(kLastEntry);
    int32_t const i = static_cast<int32_t>(q);
    if (i >= kLastEntry)
        return table[kLastEntry] * 0.5f;
    float const f = q - static_cast<float>(i);
    return (f * table[i + 1] + (1.0f - f) * table[i]) * 0.5f;
}

} // namespace zr::legacy
