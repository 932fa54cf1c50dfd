// Why a shape text, file or blob image is refused: the verdict agrees with the reader it
// explains, and the message names the rule and the place.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "shapes/Shape.h"
#include "shapes/ShapeDiagnosis.h"
#include "tests/shapes/RandomShapes.h"

namespace zr {
namespace {

std::wstring nodesText(int count, std::wstring const& tail = L"") {
    std::wstring text = L"(-5,0)";
    for (int i = 1; i < count - 1; ++i)
        text += L"(" + std::to_wstring(-5.0 + 10.0 * i / (count - 1)) + L",0)";
    return text + L"(5,0)" + tail;
}

// Random valid texts with one character replaced, inserted or removed: the explanation is
// absent exactly when the reader accepts.
TEST(ShapeDiagnosis, AgreesWithTheTextReaderOverMutatedTexts) {
    std::mt19937 rng(16);
    std::wstring const alphabet = L"(),.-+e0159x \r\n";
    int refused = 0;
    for (int round = 0; round < 6000; ++round) {
        Shape source;
        test::NodePairs const pairs = test::randomValidNodes(rng, 0.001f);
        std::vector<Node> nodes;
        for (auto const& [x, y] : pairs)
            nodes.push_back({x, y});
        source.assignNodes(nodes.data(), static_cast<int32_t>(nodes.size()));
        std::wstring text = source.getString();
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

TEST(ShapeDiagnosis, NamesTheRuleAndTheNodeOfABadText) {
    struct Case {
        std::wstring text;
        std::string message;
    };
    Case const cases[] = {
        {L"", "the text is empty"},
        {L"(-5,0)", "only one node"},
        {L"(-4,0)(5,0)", "node 1, character 2: the first node must be at x = -5, not -4"},
        {L"(-5,0)(0,0)(-1,0)(5,0)", "node 3, character 13: x must increase from node to node"},
        {L"(-5,0)(0,0)(0,0)(5,0)", "node 3, character 13: x must increase"},
        {L"(-5,0)(6,0)", "node 2, character 8: x = 6 is outside -5..5"},
        {L"(-5,0)(0,-5.5)(5,0)", "node 2, character 10: y = -5.5 is outside -5..5"},
        {L"(-5,nan)(5,0)", "node 1, character 5: y = nan is outside -5..5"},
        {L"(-5,0)(0,0)", "node 2 is the last node and lies at x = 0; the last node must be at x = 5"},
        {L"(-5,0)(5,0", "node 2, character 7: no ')' closes the node"},
        {L"(-5,0)(5)", "node 2, character 7: no ',' between x and y"},
        {L"(,0)(5,0)", "node 1, character 2: x is missing"},
        {L"(-5,)(5,0)", "node 1, character 5: y is missing"},
        {L"(-5,0) (5,0)", "node 2, character 7: a blank where a node should start"},
        {L"(-5,0)(5,0)\r", "node 3, character 12: a carriage return (CR) where a node should start"},
        {L"[-5,0)(5,0)", "node 1, character 1: expected '(' to start the node, found '['"},
        {nodesText(101), "node 101, character 1244: more than 100 nodes; a shape has at most 100"},
        {nodesText(100, L"(7,7)"), "node 101, character"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()).substr(0, 40));
        std::optional<std::string> const why = explainShapeText(c.text);
        ASSERT_TRUE(why.has_value());
        EXPECT_NE(why->find(c.message), std::string::npos) << *why;
    }
    EXPECT_NE(explainShapeText(nodesText(100, L"(7,7)"))->find("more than 100 nodes"), std::string::npos)
        << "the reader ignores text after the 100th node; the explanation does not";
}

// Shape files: the node line explained as a text, then the line ends and the ITP line.
TEST(ShapeDiagnosis, NamesTheLineOfABadShapeFile) {
    struct Case {
        std::string content;
        std::string message; // empty: accepted
    };
    Case const cases[] = {
        {"(-5,0)(5,0)\nITP=10", ""},
        {"(-5,0)(5,0)\nITP=30\n", ""},
        {"(-5,0)(5,0)\nITP= +20", ""},
        {"(-5,0)(5,0)\r\nITP=10", "line 1 ends with CR-LF"},
        {"(-5,0)(5,0)\nITP=10\r\n", "line 2: ends with CR-LF"},
        {"(-5,0)(0,9)(5,0)\nITP=10", "line 1, node 2, character 10: y = 9 is outside -5..5"},
        {"(-5,0)(5,0)", "line 2: no ITP= line after the nodes"},
        {"(-5,0)(5,0)\nmode=10", "line 2: no ITP= line"},
        {"(-5,0)(5,0)\nITP=15", "line 2: ITP=15 is not an interpolation mode; write one of 0 (none), 10 (linear), 20 or 30"},
        {"(-5,0)(5,0)\n\nITP=ten", "line 3: ITP=ten is not a whole number"},
        {"(-5,0)(5,0)\nITP=", "line 2: ITP= names no mode"},
        {"(-5,0)(5,0)\nITP=10 \xc3\xa9", "line 2: byte 20 is outside ASCII"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.content);
        std::optional<std::string> const why = explainShapeFile(c.content);
        if (c.message.empty()) {
            EXPECT_FALSE(why.has_value()) << *why;
            Shape shape;
            shape.readShpContent(c.content);
            EXPECT_EQ(shape.invalid, 0);
            continue;
        }
        ASSERT_TRUE(why.has_value());
        EXPECT_NE(why->find(c.message), std::string::npos) << *why;
    }
}

std::vector<uint8_t> image(uint32_t magic, int32_t count, std::vector<Node> const& nodes) {
    std::vector<uint8_t> bytes(8 + nodes.size() * sizeof(Node));
    std::memcpy(bytes.data(), &magic, 4);
    std::memcpy(bytes.data() + 4, &count, 4);
    std::memcpy(bytes.data() + 8, nodes.data(), nodes.size() * sizeof(Node));
    return bytes;
}

// The layout as the reader checks it, then the nodes, which the reader takes on trust.
TEST(ShapeDiagnosis, NamesWhatIsWrongWithABlobImage) {
    std::vector<Node> const ramp = {{0.0f, -1.0f}, {1.0f, 1.0f}};
    struct Case {
        std::vector<uint8_t> bytes;
        std::string message;
        bool readerAccepts;
    };
    Case const cases[] = {
        {image(Shape::kMagic, 2, ramp), "", true},
        {{}, "0 bytes cannot be a shape", false},
        {std::vector<uint8_t>(20, 0), "20 bytes cannot be a shape", false},
        {std::vector<uint8_t>(25, 0), "25 bytes cannot be a shape", false},
        {image(0x12345678, 2, ramp), "it does not start with the shape magic 50 41 48 53", false},
        {image(Shape::kMagic, 3, ramp), "its node count (3) does not match its 24 bytes", false},
        {image(Shape::kMagic, 2, {{0.0f, 2.0f}, {1.0f, 1.0f}}), "node 1: y = 10 V is outside -5..5", true},
        {image(Shape::kMagic, 2, {{0.1f, 0.0f}, {1.0f, 1.0f}}), "node 1: the first node must be at x = -5, not -4", true},
        {image(Shape::kMagic, 2, {{0.0f, 0.0f}, {0.5f, 1.0f}}), "node 2: the last node must be at x = 5, not 0", true},
        {image(Shape::kMagic, 3, {{0.0f, 0.0f}, {0.0f, 0.0f}, {1.0f, 1.0f}}), "node 2: x must increase", true},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.message);
        Shape reader;
        reader.readBlob(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        EXPECT_EQ(reader.invalid == 0, c.readerAccepts);
        std::optional<std::string> const why = explainBlobImage(c.bytes.data(), c.bytes.size());
        if (c.message.empty()) {
            EXPECT_FALSE(why.has_value()) << *why;
            continue;
        }
        ASSERT_TRUE(why.has_value());
        EXPECT_NE(why->find(c.message), std::string::npos) << *why;
    }
}

} // namespace
} // namespace zr
