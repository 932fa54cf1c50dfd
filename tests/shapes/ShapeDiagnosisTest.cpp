// Why a shape text or blob image is refused: the verdict agrees with the reader it explains, and
// the message names the rule and the place. The texts and files of the tables are explained in
// ShapeTextTest.cpp, beside their readers.

#include "ShapeTestSupport.h"
#include "shapes/ShapeDiagnosis.h"

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace zr {
namespace {

// Random valid texts with one character replaced, inserted or removed: the explanation is
// absent exactly when the reader accepts.
TEST(ShapeDiagnosis, AgreesWithTheTextReaderOverMutatedTexts) {
    std::mt19937 rng(16);
    std::wstring const alphabet = L"(),.-+e0159x \r\n";
    int refused = 0;
    for (int round = 0; round < 6000; ++round) {
        std::wstring text = test::shapeWith(test::nodesOf(test::randomValidNodes(rng, 0.001f))).getString();
        size_t const at = std::uniform_int_distribution<size_t>(0, text.size() - 1)(rng);
        wchar_t const c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
        switch (round % 3) {
        case 0: text[at] = c; break;
        case 1: text.insert(at, 1, c); break;
        default: text.erase(at, 1); break;
        }
        Shape reader;
        reader.setString(text);
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        ASSERT_EQ(explainShapeText(text).has_value(), reader.invalid == 1);
        refused += reader.invalid;
    }
    EXPECT_GT(refused, 1500) << "the mutations reach the refusals";
}

// The blob reader's verdict and the explanation of each image: the layout as the reader checks
// it, then the nodes, which the reader takes on trust. Calls no fuzzed byte image can make (no
// data, sizes of zero or below) and images the kept inputs do not hold are refused and leave
// the record as it was.
TEST(ShapeDiagnosis, BlobReaderVerdictAndTheExplanationOfEachImage) {
    std::vector<Node> const ramp = {{0.0f, -1.0f}, {1.0f, 1.0f}};
    std::vector<uint8_t> const two = test::blobImage(std::vector<Node>(2, Node{0.5f, 0.25f}));
    struct Case {
        std::vector<uint8_t> bytes;
        char const* message; // nullptr: not explained (a call the explanation cannot receive); "": no fault
        bool readerAccepts;
        int32_t size = -1;   // -1: the image's own size
        bool noData = false;
    };
    Case const cases[] = {
        {test::blobImage(ramp), "", true},
        {{}, "0 bytes cannot be a shape", false},
        {std::vector<uint8_t>(20, 0), "20 bytes cannot be a shape", false},
        {std::vector<uint8_t>(25, 0), "25 bytes cannot be a shape", false},
        {test::blobImage(ramp, {}, 0x12345678), "it does not start with the shape magic 50 41 48 53", false},
        {test::blobImage(ramp, 3), "its node count (3) does not match its 24 bytes", false},
        {test::blobImage({{0.0f, 2.0f}, {1.0f, 1.0f}}), "node 1: y = 10 V is outside -5..5", true},
        {test::blobImage({{0.1f, 0.0f}, {1.0f, 1.0f}}), "node 1: the first node must be at x = -5, not -4", true},
        {test::blobImage({{0.0f, 0.0f}, {0.5f, 1.0f}}), "node 2: the last node must be at x = 5, not 0", true},
        {test::blobImage({{0.0f, 0.0f}, {0.0f, 0.0f}, {1.0f, 1.0f}}), "node 2: x must increase", true},
        {two, nullptr, false, 24, true}, // no data
        {two, nullptr, false, 0},        {two, nullptr, false, -24},
        {two, nullptr, false, INT32_MIN}, {two, nullptr, false, 8}, // header only
        {test::blobImage(std::vector<Node>(2, Node{0.5f, 0.25f}), -1), nullptr, false},
    };
    for (Case const& c : cases) {
        int32_t const size = c.size == -1 ? static_cast<int32_t>(c.bytes.size()) : c.size;
        SCOPED_TRACE(testing::Message() << (c.message ? c.message : "") << ", size " << size << (c.noData ? ", no data" : ""));
        Shape reader = test::shapeWith({{0.0f, 0.1f}, {0.3f, 0.7f}, {0.6f, -0.2f}, {1.0f, 0.4f}}, VarekSpline);
        Shape const before = reader;
        EXPECT_EQ(reader.readBlob(c.noData ? nullptr : c.bytes.data(), size), c.readerAccepts);
        EXPECT_EQ(reader.invalid == 0, c.readerAccepts);
        if (!c.readerAccepts)
            test::expectSameCurve(reader, before);
        if (c.message == nullptr)
            continue;
        std::optional<std::string> const why = explainBlobImage(c.bytes.data(), c.bytes.size());
        if (*c.message == '\0') {
            EXPECT_FALSE(why.has_value()) << *why;
            continue;
        }
        ASSERT_TRUE(why.has_value());
        EXPECT_NE(why->find(c.message), std::string::npos) << *why;
    }
}

} // namespace
} // namespace zr
