#include "shapes/Shape.h"

#include <cstring>

namespace zr {

namespace {

constexpr int32_t kBlobHeaderSize = 8; // magic and node count
constexpr int32_t kMinBlobSize = kBlobHeaderSize + Shape::kMinNodes * int32_t{sizeof(Node)};
constexpr int32_t kMaxBlobSize = kBlobHeaderSize + Shape::kMaxNodes * int32_t{sizeof(Node)};

// Bit k set for each valid mode value k.
constexpr uint32_t kValidModeMask = (1u << None) | (1u << Linear) | (1u << VarekSpline) | (1u << NaturalSpline);
static_assert(kValidModeMask == 0x40100401u);

bool differs(Node const& a, Node const& b) { return a.x != b.x || a.y != b.y; }

} // namespace

bool isValidInterpolation(int32_t mode) {
    return mode >= 0 && mode <= NaturalSpline && ((kValidModeMask >> mode) & 1u) != 0;
}

Shape::Shape() {
    // Zero every byte, padding and unused nodes included, so equal shapes have equal bytes.
    std::memset(static_cast<void*>(this), 0, sizeof(Shape));
    interpolation = Linear;
    magic = kMagic;
    nodeCount = kMinNodes;
    nodes[1].x = 1.0f;
}

Shape::Shape(wchar_t const* text) : Shape() {
    if (text != nullptr)
        parseText(text, std::wcslen(text));
    else
        invalid = 1;
    changed = 0;
}

bool Shape::readBlob(void const* data, int32_t size) {
    invalid = 1;
    if (data == nullptr || size < kMinBlobSize || size > kMaxBlobSize || size % int32_t{sizeof(Node)} != 0)
        return false;

    auto const* bytes = static_cast<unsigned char const*>(data);
    uint32_t imageMagic = 0;
    int32_t imageCount = 0;
    std::memcpy(&imageMagic, bytes, sizeof imageMagic);
    std::memcpy(&imageCount, bytes + sizeof imageMagic, sizeof imageCount);
    if (imageMagic != kMagic || imageCount != (size - kBlobHeaderSize) / int32_t{sizeof(Node)})
        return false;

    invalid = 0;
    // Node values are taken as they come: the producer is trusted, the renderers are guarded.
    Node incoming[kMaxNodes];
    std::memcpy(incoming, bytes + kBlobHeaderSize, static_cast<std::size_t>(imageCount) * sizeof(Node));
    return assignNodes(incoming, imageCount);
}

void const* Shape::blobData() const { return &magic; }

int32_t Shape::blobSize() const { return kBlobHeaderSize + nodeCount * int32_t{sizeof(Node)}; }

bool Shape::setInterpolation(int32_t mode) {
    if (!isValidInterpolation(mode) || mode == interpolation)
        return false;
    interpolation = mode;
    changed = 1;
    return true;
}

bool Shape::assignNodes(Node const* source, int32_t count) {
    if (source == nullptr || count < kMinNodes || count > kMaxNodes)
        return false;

    auto const used = static_cast<std::size_t>(count);
    if (count != nodeCount) {
        std::memmove(nodes, source, used * sizeof(Node)); // the source may be these nodes
        nodeCount = count;
        changed = 1;
        return true;
    }

    bool anyDiffers = false;
    for (std::size_t i = 0; i < used; ++i) {
        anyDiffers = anyDiffers || differs(nodes[i], source[i]);
        nodes[i] = source[i];
    }
    if (anyDiffers)
        changed = 1;
    return anyDiffers;
}

} // namespace zr
