#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "shapes/Volts.h"

namespace zr {

// The values are stored in patches and files: never renumber.
enum InterpolationMode : int32_t { None = 0, Linear = 10, VarekSpline = 20, NaturalSpline = 30 };

// True only for the four modes above. Every pin and file that sets a mode asks this one
// helper and ignores any other value.
bool isValidInterpolation(int32_t mode);

// Normalised coordinates: x 0..1 for -5..+5 V, y -1..+1 for -5..+5 V (shapes/Volts.h converts).
struct Node {
    float x;
    float y;
};

// The shape record. Its bytes from `magic` to the last used node are the blob image that
// travels on blob pins, so the field order and widths below are fixed.
struct Shape {
    static constexpr uint32_t kMagic = 0x53484150; // bytes 50 41 48 53 in memory
    static constexpr int32_t kMaxNodes = 100;
    static constexpr int32_t kMinNodes = 2;

    class Interpolator; // Interpolator.h

    uint8_t changed;       // set by every operation that alters the curve; cleared by its owner
    uint8_t invalid;       // 1 after a rejected text or blob, whose nodes were then kept
    int32_t interpolation; // one of InterpolationMode
    uint32_t magic;
    int32_t nodeCount;
    Node nodes[kMaxNodes]; // entries from nodeCount on may be stale and are never read

    // The default record: flat at 0, Linear, two nodes, every other byte zero.
    Shape();
    // The default record with `text` applied and `changed` cleared. A rejected or null text
    // keeps the default nodes and leaves `invalid` = 1.
    explicit Shape(wchar_t const* text);

    // Takes a blob image (unaligned data is fine). Returns whether the nodes changed.
    bool readBlob(void const* data, int32_t size);
    void const* blobData() const;
    int32_t blobSize() const;

    // Stores a valid mode that differs from the current one; returns whether it changed.
    bool setInterpolation(int32_t mode);
    // Copies `count` nodes, setting `changed` only when the count or a node differs
    // (float inequality: -0 equals +0, NaN always differs). Returns whether it changed.
    // A count outside kMinNodes..kMaxNodes or a null source is refused and changes nothing.
    bool assignNodes(Node const* source, int32_t count);

    // Strict text form "(-5,0)(5,0)" in volts. Returns whether the nodes changed; a rejected
    // text returns false and leaves `invalid` = 1. Never touches `interpolation`.
    bool setString(std::wstring const& text);
    std::wstring getString() const;

    // The shape file: the text form, a newline, then "ITP=" and the mode. Both return false
    // instead of throwing; see ShapeFile.cpp for what each refuses.
    bool saveShp(std::wstring const& path) const;
    bool loadShp(std::wstring const& path);
    // What saveShp writes and what loadShp does with a file's bytes, without the file system.
    // Content from its first byte outside ASCII on is ignored. Returns whether the record
    // changed; rejected nodes keep the whole record, mode included, and leave `invalid` = 1.
    std::string shpContent() const;
    bool readShpContent(std::string_view content);

    // ---- Node edits (ShapeNodeEdits.cpp) ----
    // Node x values are moved in the offset domain x + kXOffset, where single-precision
    // steps are the same size all along 1..2, so "one float step" means the same everywhere.
    static constexpr float kXOffset = 1.0f;

    // The one rule that keeps x strictly increasing, for every edit that moves a node's x
    // (node modules, shifts, editors, links): interior node `index` goes to `offsetX` (its new
    // x + kXOffset), clamped to the next float above the left neighbour + kXOffset and the
    // next float below the right neighbour + kXOffset, so it never reaches or passes them.
    // Nothing moves when `index` is not an interior node, when `offsetX` is NaN, or when the
    // neighbours leave no representable place strictly between them. Returns whether x
    // changed (compared in the offset domain); sets `changed` if so.
    bool placeNodeXBetweenNeighbours(int32_t index, float offsetX);
    // Whether every node's x lies strictly above the one before (NaN fails), over the first
    // nodeCount nodes and at most kMaxNodes: the order the rule above keeps.
    bool xStrictlyIncreasing() const;
    // Node `index` (ends included) gets `y` clamped to -1..+1 (NaN gives +1). Returns whether
    // y changed (a NaN before counts as a change); sets `changed` if so.
    bool setNodeY(int32_t index, float y);
    // Inserts `node` (y clamped to -1..+1) where its x keeps the nodes sorted. Refused (false)
    // when the shape is full, when x is not strictly inside 0..1, or when a node with exactly
    // that x exists.
    bool insertNode(Node node);
    // Moves the interior nodes by `amount` (normalised x) with placeNodeXBetweenNeighbours,
    // from the leading side of the move, so that nodes pushed against an end pile up beside
    // it one float step apart. The ends stay. Returns whether any x changed.
    bool shiftHoriz(float amount);

    // ---- Blending (ShapeMorph.cpp) ----
    // Blends this shape toward `other` (amount 0 = this, 1 = other, clamped; NaN counts as 1).
    // Node counts may differ: the nodes of the shape with more nodes are paired with those of
    // the shape with fewer. Returns whether this record changed; sets `changed` if so.
    bool morphWith(Shape const& other, float amount);

    // ---- Vertical edits (ShapeVertical.cpp); x, node count and order stay ----
    // Lowest and highest y, starting the search from +1 and -1 (NaN values are passed over).
    float lowestY() const;
    float highestY() const;
    // Adds `amount` to every y, each clamped to -1..+1. False when `amount` is 0 or no y changed.
    bool shiftVert(float amount);
    // Moves the shape vertically so that its highest (or, with `moveLowest`, its lowest) node
    // lands on `level` (normalised, not clamped; the nodes are). Returns whether any y changed.
    bool snapVert(float level, bool moveLowest);
    // Scales and offsets y so that the lowest node lands on `bottom` and the highest on `top`
    // (normalised levels, each clamped to -1..+1; bottom above top turns the shape upside
    // down). Equal levels, or a shape too flat to scale, put every node at the levels'
    // middle; both cases set `changed` and return true whatever the nodes were. Otherwise
    // returns whether any y changed.
    bool fitVert(float bottom, float top);
    // Scales every y about `center` by `gain` with scaledAbout, within -1..+1. A gain of exactly
    // 1 leaves every node as it is (also one outside -1..+1). Returns whether any y changed.
    bool scaleVert(float center, float gain);

    // Node edits (ShapeEdit.cpp). Each sets `changed` when it altered the shape.
    // Mirrors left-right: the node order reverses and every x becomes 1 - x; interior nodes
    // that 1 - x rounds onto one x are set a float step apart.
    void flipHorizontal();
    // Mirrors upside down: every y becomes -y.
    void flipVertical();
    // Inserts `node` at `index` (1..nodeCount-1), moving later nodes up; refused at kMaxNodes.
    bool insertNode(int32_t index, Node node);
    // Removes node `index`, moving later nodes down; refused below kMinNodes + 1 nodes.
    bool removeNode(int32_t index);

private:
    // `text[length]` must be a terminator: the number reader runs until a non-number character.
    bool parseText(wchar_t const* text, std::size_t length);
};

// One level scaled about `center` by `gain`: (level - c) x gain + c, clamped to low..high,
// where c is `center` clamped to low..high (NaN gives `high` in both clamps). The amplifier
// modules' formula, for normalised heights and, in the legacy generation, for volts
// (ShapeVertical.cpp).
float scaledAbout(float level, float center, float gain, float low, float high);

// The blob image is the record's own storage, read and written in native byte order.
static_assert(std::endian::native == std::endian::little, "the blob image is little-endian");
static_assert(sizeof(wchar_t) == 4, "text pins carry 32-bit characters");
static_assert(sizeof(Node) == 8);
static_assert(std::is_standard_layout_v<Shape>);
static_assert(std::is_trivially_copyable_v<Shape>, "records are copied byte for byte");
static_assert(offsetof(Shape, changed) == 0);
static_assert(offsetof(Shape, invalid) == 1);
static_assert(offsetof(Shape, interpolation) == 4);
static_assert(offsetof(Shape, magic) == 8);
static_assert(offsetof(Shape, nodeCount) == offsetof(Shape, magic) + 4, "image offset 4");
static_assert(offsetof(Shape, nodes) == offsetof(Shape, nodeCount) + 4, "image offset 8");
static_assert(sizeof(Shape) == offsetof(Shape, nodes) + Shape::kMaxNodes * sizeof(Node));

} // namespace zr
