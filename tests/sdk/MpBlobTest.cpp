#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "sdk/MpBlob.h"

namespace {

MpBlob blobOf(std::string const& bytes) {
    MpBlob blob;
    blob.setValueRaw(bytes.size(), bytes.data());
    return blob;
}

std::string bytesOf(MpBlob const& blob) { return std::string(blob.getData(), blob.getSize()); }

TEST(MpBlob, EqualityComparesSizeThenBytes) {
    std::tuple<std::string, std::string, bool> const cases[] = {
        {"", "", true}, {"abc", "abc", true}, {"abc", "abd", false}, {"abc", "abcd", false}, {"", "a", false}};
    for (auto const& [a, b, equal] : cases) {
        SCOPED_TRACE(a + " / " + b);
        EXPECT_EQ(blobOf(a) == blobOf(b), equal);
        EXPECT_EQ(blobOf(a).compare(b.data(), static_cast<int32_t>(b.size())), equal);
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
