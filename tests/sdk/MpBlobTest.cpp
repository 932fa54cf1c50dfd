#include <gtest/gtest.h>

#include <string>

#include "sdk/MpBlob.h"

namespace {

MpBlob blobOf(std::string const& bytes) {
    MpBlob blob;
    blob.setValueRaw(bytes.size(), bytes.data());
    return blob;
}

std::string bytesOf(MpBlob const& blob) { return std::string(blob.getData(), blob.getSize()); }

TEST(MpBlob, EqualityComparesSizeThenBytes) {
    struct Case {
        std::string a, b;
        bool equal;
    } const cases[] = {{"", "", true}, {"abc", "abc", true}, {"abc", "abd", false}, {"abc", "abcd", false}, {"", "a", false}};
    for (auto const& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(blobOf(c.a) == blobOf(c.b), c.equal);
        EXPECT_EQ(blobOf(c.a).compare(c.b.data(), static_cast<int32_t>(c.b.size())), c.equal);
    }
}

TEST(MpBlob, MissingSourcesOverlapsAndResizesStayInsideTheBytes) {
    MpBlob blob = blobOf("hello");
    blob.setValueRaw(5, nullptr); // a missing source counts as no bytes
    EXPECT_EQ(blob.getSize(), 0);
    blob = blobOf("abcde");
    MpBlob const copy = blob;
    blob.setValueRaw(3, blob.getData()); // shrinks while reading its own bytes
    EXPECT_EQ(bytesOf(blob), "abc");
    EXPECT_EQ(bytesOf(copy), "abcde") << "copies are deep";
    MpBlob& alias = blob;
    blob = alias;
    blob.setValueRaw(2, blob.getData() + 1); // same size: an overlapping move
    EXPECT_EQ(bytesOf(blob), "bc");
    blob.resize(1);
    EXPECT_EQ(bytesOf(blob), "b");
    blob.resize(-3);
    EXPECT_EQ(blob.getSize(), 0);
    blob.resize(16);
    EXPECT_EQ(blob.getSize(), 16);
}

} // namespace
