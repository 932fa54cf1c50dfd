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
        char const* name;
        std::string a, b;
        bool equal;
    };
    Case const cases[] = {
        {"two empty blobs", "", "", true},
        {"same bytes", "abc", "abc", true},
        {"one byte differs", "abc", "abd", false},
        {"prefix of a longer blob", "abc", "abcd", false},
        {"empty against non-empty", "", "a", false},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        MpBlob const a = blobOf(c.a), b = blobOf(c.b);
        EXPECT_EQ(a == b, c.equal);
        EXPECT_EQ(a != b, !c.equal);
        EXPECT_EQ(a.compare(c.b.data(), static_cast<int32_t>(c.b.size())), c.equal);
    }
}

TEST(MpBlob, SettingValues) {
    MpBlob empty;
    empty.setValueRaw(0, "x");
    EXPECT_EQ(empty.getSize(), 0);

    MpBlob blob = blobOf("hello");
    blob.setValueRaw(5, nullptr); // a missing source counts as no bytes
    EXPECT_EQ(blob.getSize(), 0);

    MpBlob copy = blobOf("hello");
    MpBlob assigned;
    assigned = copy;
    copy.setValueRaw(5, "HELLO");
    EXPECT_EQ(bytesOf(assigned), "hello") << "assignment is a deep copy";
}

TEST(MpBlob, SourceInsideItsOwnArray) {
    MpBlob blob = blobOf("abcde");
    blob.setValueRaw(3, blob.getData()); // shrinks while reading its own bytes
    EXPECT_EQ(bytesOf(blob), "abc");

    MpBlob& alias = blob;
    blob = alias;
    EXPECT_EQ(bytesOf(blob), "abc");

    blob.setValueRaw(2, blob.getData() + 1); // same size as nothing: overlapping move
    EXPECT_EQ(blob.getSize(), 2);
    EXPECT_EQ(bytesOf(blob), "bc");
}

TEST(MpBlob, ResizeKeepsBytesOnlyWhenShrinking) {
    MpBlob blob = blobOf("abcd");
    blob.resize(2);
    EXPECT_EQ(bytesOf(blob), "ab");
    blob.resize(-3);
    EXPECT_EQ(blob.getSize(), 0);
    blob.resize(16);
    EXPECT_EQ(blob.getSize(), 16);
    EXPECT_NE(blob.getData(), nullptr);
}

} // namespace
