// Fuzz target: the blob reader. The first byte picks the record the image is read into and
// where in memory the image starts (images on text pins need not be aligned); the rest is
// the image.
// Oracle: an image is accepted exactly when its size is 24..808 and a multiple of 8, it
// starts with the magic and its count field equals (size - 8) / 8. An accepted image is
// re-emitted byte for byte by blobData/blobSize, reports a change exactly when the nodes
// changed, and leaves the mode and the nodes beyond its count alone. A rejected image leaves
// every byte of the record as it was, except `invalid`, which is set.

#include <cstring>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/StartingRecords.h"

namespace {

bool followsTheImageRule(uint8_t const* image, std::size_t size) {
    if (size < 24 || size > 808 || size % 8 != 0)
        return false;
    uint32_t magic;
    int32_t count;
    std::memcpy(&magic, image, 4);
    std::memcpy(&count, image + 4, 4);
    return magic == 0x53484150u && static_cast<std::size_t>(count) == (size - 8) / 8 && count >= 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    if (size == 0 || size > 1u << 20)
        return 0;
    uint8_t const setup = data[0];
    uint8_t const* image = data + 1;
    std::size_t const imageSize = size - 1;

    std::vector<uint8_t> placed(imageSize + 8);
    uint8_t* const at = placed.data() + (setup >> 5) % 4;
    if (imageSize > 0)
        std::memcpy(at, image, imageSize);

    zr::Shape record = zr::fuzz::startingRecord(setup);
    zr::Shape const before = zr::fuzz::copyOf(record);
    bool const reported = record.readBlob(at, static_cast<int32_t>(imageSize));

    if (!followsTheImageRule(image, imageSize)) {
        zr::Shape expected = zr::fuzz::copyOf(before);
        expected.invalid = 1;
        FUZZ_CHECK(!reported, "a rejected image reported a change");
        FUZZ_CHECK(zr::fuzz::sameBytes(record, expected), "a rejected image changed the record");
        return 0;
    }

    FUZZ_CHECK(record.invalid == 0, "an image that follows the rule was rejected");
    FUZZ_CHECK(record.blobSize() == static_cast<int32_t>(imageSize), "blobSize differs from the image read");
    FUZZ_CHECK(std::memcmp(record.blobData(), image, imageSize) == 0, "the re-emitted image differs");
    bool const differs = zr::fuzz::nodesDiffer(record, before);
    FUZZ_CHECK(reported == differs, "the reported change disagrees with the nodes");
    FUZZ_CHECK(record.changed == (before.changed || differs), "the changed flag is wrong");
    FUZZ_CHECK(record.interpolation == before.interpolation, "reading an image changed the mode");
    auto const used = static_cast<std::size_t>(record.nodeCount);
    FUZZ_CHECK(std::memcmp(record.nodes + used, before.nodes + used, (zr::Shape::kMaxNodes - used) * sizeof(zr::Node)) == 0,
               "nodes beyond the count changed");
    return 0;
}
