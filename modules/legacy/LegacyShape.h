// Successor: zr::Shape, zr::Shape::Interpolator and the shape text form (shapes/).
#pragma once
// What the older module generation shares: shapes read with the lenient parser into node
// arrays, 4096-entry tables filled by the legacy modes, and node lists written back as text.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "sdk/MpBase2.h"
#include "shapes/LegacyParser.h"

namespace zr::legacy {

using Node = zr::shapes::Node;

inline constexpr int32_t kTableSize = 4096;
inline constexpr int32_t kLastEntry = kTableSize - 1;

// The legacy mode numbers, in the order of the legacy editor's list "Linear,Spline,Lagrange,None".
enum Mode : int32_t { kStraight = 0, kTangentBlend = 1, kParabolaBlend = 2, kImpulses = 3 };

// Whether `mode` is one of the four legacy modes 0..3.
inline bool isLegacyMode(int32_t mode) { return mode >= kStraight && mode <= kImpulses; }

// The mode kept by the table modules that have no impulses (envelope, oscillator, waveshaper):
// anything above 2 counts as 2. A negative mode is kept as given; it draws straight lines, as
// 0 does.
inline int32_t limitToCurvedModes(int32_t mode) { return std::min<int32_t>(mode, kParabolaBlend); }

// The shape core's mode for a legacy mode 0..3; -1, which every shape refuses, for any other.
int32_t currentModeOf(int32_t legacyMode);
// The legacy mode of a shape core mode; 0 for one that has none.
int32_t legacyModeOf(int32_t currentMode);

// Up to 100 nodes read by the lenient parser; count 0 means the last text was refused.
struct NodeList {
    std::array<Node, zr::shapes::kMaxLegacyNodes> nodes{};
    int32_t count = 0;

    // Parses, mapping x from -5..5 V onto xMin..xMax and y onto yMin..yMax.
    int32_t parse(std::wstring const& text, float xMin, float xMax, float yMin, float yMax);
    // Parses in volts (-5..5 on both axes), as the text-to-text modules do.
    int32_t parseVolts(std::wstring const& text);
    // Parses with x in 0..1 and y in -1..+1, as the table modules do.
    int32_t parseUnit(std::wstring const& text);
};

// Interior node `index` of a volts list moves to `x`, kept 0.01 V inside both neighbours.
// Ends, indices outside the list, a NaN x and neighbours too close to leave room keep the
// node where it is, so x stays increasing. Returns whether the node moved.
bool placeXInsideNeighbours(NodeList& list, int32_t index, float x);

// Whether `index` names a node of the list.
inline bool isNodeIndex(NodeList const& list, int32_t index) { return index >= 0 && index < list.count; }

// The node text "(x,y)(x,y)...", six significant digits as a default-formatted stream
// writes them (%g), decimal point "." whatever the host's locale, no interpolation suffix;
// when six digits would read back two x values as equal, every x gets nine (exact) digits.
// The second form writes into `text`, which allocates only when it must grow.
void writeNodes(Node const* nodes, int32_t count, std::wstring& text);
std::wstring writeNodes(Node const* nodes, int32_t count);

// Room for the longest node text: 100 nodes of two numbers of at most 13 characters each.
inline constexpr std::size_t kLongestText = 100 * 30;

// The text-to-text modules: a text shape in, parsed in volts; when any input changed, the
// owner's edit of a copy of its nodes, written as text and sent when it differs from the text
// sent before. A refused text sends nothing.
class TextShapeEdit : public MpBase2 {
public:
    void onSetPins() override;

protected:
    TextShapeEdit() { text_.reserve(kLongestText); }
    // The owner's text pins, which it registers in its own pin order.
    void attach(StringInPin& shapeIn, StringOutPin& shapeOut);
    // Edits the nodes in volts, in place; the count stays.
    virtual void edit(NodeList& volts) = 0;

private:
    StringInPin* shapeIn_ = nullptr;
    StringOutPin* shapeOut_ = nullptr;
    NodeList input_;
    NodeList edited_;
    std::wstring text_; // the output text, reserved so that writing it does not allocate
};

// A 4096-entry table and the table positions of its nodes.
class LegacyTable {
public:
    // Takes nodes with x in 0..1: each x becomes floor(x * 4095), raised by 1 when it equals
    // the position of the node before. Positions may reach 4096; they are kept as they are and
    // writes beyond the table are skipped. Then fills the table by `mode`. Nodes whose x is
    // already a table position (0..4095) pass `xScale` 1.
    void setNodes(NodeList const& list, int32_t mode, float xScale = static_cast<float>(kLastEntry));
    // Refills with the stored nodes (nothing when there are none).
    void refill(int32_t mode);
    // All entries 0 and no nodes: the state after a refused text.
    void clear();

    int32_t nodeCount() const { return count_; }
    int32_t position(int32_t node) const { return positions_[static_cast<std::size_t>(node)]; }
    float operator[](int32_t entry) const { return table_[static_cast<std::size_t>(entry)]; }
    float const* data() const { return table_.data(); }

private:
    void fill(int32_t mode);
    void fillSegment(int32_t k, int32_t mode);
    void fillImpulses();
    float blend(int32_t k, int32_t p, float w, int32_t mode) const;
    float finiteOrStraight(float value, int32_t k, float w) const;
    float tangentBlend(int32_t k, int32_t p, float w) const;
    float parabolaBlend(int32_t k, int32_t p, float w) const;
    float parabola(int32_t a, int32_t b, int32_t c, int32_t p) const;
    void write(int32_t p, float value) {
        if (p >= 0 && p < kTableSize)
            table_[static_cast<std::size_t>(p)] = value;
    }

    std::array<float, kTableSize> table_{};
    std::array<Node, zr::shapes::kMaxLegacyNodes> nodes_{};
    std::array<int32_t, zr::shapes::kMaxLegacyNodes> positions_{};
    int32_t count_ = 0;
};

// ---- Shape files of the older generation: node text, then "\nITP=" and a mode 0..3 ----

// Writes the nodes (volts) and, for a mode 0..3, the mode line. False when the path has no
// file-system form or the file cannot be written.
bool writeLegacyFile(std::wstring const& path, NodeList const& volts, int32_t mode);

struct LegacyFile {
    std::wstring nodeText; // the text before the first newline
    NodeList volts;        // its nodes, in volts
    int32_t mode;          // the digit after "\nITP=" when it is 0..3, otherwise -1
};
// The file's content when its node text parses; nothing otherwise.
std::optional<LegacyFile> readLegacyFile(std::wstring const& path);

// Reads the table at a signal level: -0.5..+0.5 covers the table, clipped at both ends (a
// NaN level reads the last entry); the value is interpolated between neighbouring entries
// and halved, so the table's -1..+1 becomes -0.5..+0.5.
float lookup(float const* table, float level);

} // namespace zr::legacy
