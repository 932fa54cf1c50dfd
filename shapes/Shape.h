#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace zr {

// The values are stored in patches and files: never renumber.
enum InterpolationMode : int32_t { None = 0, Linear = 10, VarekSpline = 20, NaturalSpline = 30 };

// True only for the four modes above. Every pin and file that sets a mode asks this one
// helper and ignores any other value.
bool isValidInterpolation(int32_t mode);

// Normalised coordinates: x 0..1 for -5..+5 V, y -1..+1 for -5..+5 V.
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

    // Node edits (ShapeEdit.cpp). Each sets `changed` when it altered the shape.
    // Mirrors left-right: the node order reverses and every x becomes 1 - x.
    void flipHorizontal();
    // Mirrors upside down: every y becomes -y.
    void flipVertical();
    // Keeps x strictly increasing: moves interior node `index` to `x`, clamped in the +1.0
    // shifted scale to one single-precision step inside its neighbours. A NaN `x`, an end or
    // out-of-range node, and neighbours too close for any value between them leave the node
    // where it is. Returns whether x changed.
    bool moveNodeXWithinNeighbours(int32_t index, float x);
    // Inserts `node` at `index` (1..nodeCount-1), moving later nodes up; refused at kMaxNodes.
    bool insertNode(int32_t index, Node node);
    // Removes node `index`, moving later nodes down; refused below kMinNodes + 1 nodes.
    bool removeNode(int32_t index);

private:
    // `text[length]` must be a terminator: the number reader runs until a non-number character.
    bool parseText(wchar_t const* text, std::size_t length);
};

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
