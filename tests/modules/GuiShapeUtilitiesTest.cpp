// ZR_GUI_ShapeFlip/Fit/Snap edit per trigger; ZR_ShapeStr2BLOB_GUI and ZR_ShapeBLOB2Str_GUI convert;
// ZR_ShapeNodeSel, ZR_GUI_ShapeXLink and ZR_GUI_ShapeYLink through our GUI host.

#include <cmath>
#include <limits>
#include <optional>

#include "testing/RecordedValues.h"
#include "host/TextConversion.h"
#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

constexpr int32_t kEditShape = 0;

struct EditCase {
    char const* name;
    wchar_t const* id;
    Nodes shape;
    int32_t settingPin; // Vertical, Low or Bottom
    float setting;      // sent as an int on int pins
    float level;        // High or Level (pin 2), unused by the flip
    Nodes expected;
};

bool isIntPin(wchar_t const* id) { return std::wstring(id) != L"ZR_GUI_ShapeFit"; }

std::unique_ptr<host::GuiModule> prepare(EditCase const& c, host::GuiModuleOptions options = {}) {
    auto module = makeGuiModule(c.id, std::move(options));
    module->setBytes(kEditShape, shapeImage(c.shape));
    if (isIntPin(c.id))
        module->setInt(1, static_cast<int32_t>(c.setting));
    else
        module->setFloat(1, c.setting);
    if (std::wstring(c.id) != L"ZR_GUI_ShapeFlip")
        module->setFloat(2, c.level);
    return module;
}

int32_t firstTrigger(wchar_t const* id) { return std::wstring(id) == L"ZR_GUI_ShapeFlip" ? 2 : 3; }

TEST(GuiShapeEdits, EachTriggerEditsAndSendsTheShape) {
    EditCase const cases[] = {
        {"flip left-right", L"ZR_GUI_ShapeFlip", {{0, -1}, {0.5f, 1}, {1, 0}}, 1, 0, 0, {{0, 0}, {0.5f, 1}, {1, -1}}},
        {"flip upside down", L"ZR_GUI_ShapeFlip", {{0, 0.6f}, {1, -0.2f}}, 1, 1, 0, {{0, -0.6f}, {1, 0.2f}}},
        {"fit -5..5", L"ZR_GUI_ShapeFit", {{0, -0.2f}, {0.5f, 0.4f}, {1, 0}}, 1, -5, 5, {{0, -1}, {0.5f, 1}, {1, -1.0f / 3.0f}}},
        {"fit low above high", L"ZR_GUI_ShapeFit", {{0, -1}, {1, 1}}, 1, 5, -5, {{0, 1}, {1, -1}}},
        {"snap bottom to -5", L"ZR_GUI_ShapeSnap", {{0, -0.2f}, {1, 0.6f}}, 1, 1, -5, {{0, -1}, {1, -0.2f}}},
        {"snap top to 10 V", L"ZR_GUI_ShapeSnap", {{0, -0.4f}, {1, 0.4f}}, 1, 0, 10, {{0, 1}, {1, 1}}},
    };
    for (EditCase const& c : cases) {
        SCOPED_TRACE(c.name);
        auto module = prepare(c);
        EXPECT_TRUE(module->host().transmissions().empty()) << "a shape alone sends nothing";
        module->setBool(firstTrigger(c.id), true);
        auto const sent = module->host().transmissionsOf(kEditShape);
        ASSERT_EQ(sent.size(), 1u);
        Nodes const nodes = nodesOf(sent[0]);
        ASSERT_EQ(nodes.size(), c.expected.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            EXPECT_FLOAT_EQ(nodes[i].first, c.expected[i].first) << "node " << i;
            EXPECT_NEAR(nodes[i].second, c.expected[i].second, 1e-6f) << "node " << i;
        }
    }
}

// Every on notification of a trigger edits the kept shape again; a broken image keeps it.
TEST(GuiShapeEdits, EditsAccumulateOnTheKeptShape) {
    EditCase const snap{"snap", L"ZR_GUI_ShapeSnap", {{0, 0}, {1, 0.2f}}, 1, 0, 2.5f, {}};
    auto snapper = prepare(snap);
    snapper->setBytes(kEditShape, {1, 2, 3});
    snapper->setBool(4, true);
    snapper->setFloat(2, 5.0f);
    snapper->setBool(4, true);
    EXPECT_EQ(snapper->host().transmissionsOf(kEditShape).size(), 2u);
    EXPECT_EQ(nodesOf(*snapper->host().lastTransmission(kEditShape)), (Nodes{{0, 0.8f}, {1, 1}}));
}

struct Converter {
    wchar_t const* id;
    int32_t textPin;
    int32_t blobPin;
    bool guardsTextEcho; // else the echo of the image it sends is the one ignored
};
Converter const converters[] = {{L"ZR_ShapeStr2BLOB_GUI", 0, 1, true}, {L"ZR_ShapeBLOB2Str_GUI", 1, 0, false}};

// Rejected input sends nothing; each direction converts, and the same text is sent again. Under
// an echoing host each module converts one of its outputs' echoes back and ignores the other's;
// the text "(-5,1.0)" comes back as "(-5,1)", so a conversion would show.
TEST(GuiConverters, ConvertBothWaysAndIgnoreTheEchoOfOneDirection) {
    for (Converter const& c : converters) {
        SCOPED_TRACE(host::utf8FromWide(c.id));
        auto module = makeGuiModule(c.id);
        for (std::wstring const text : {L"", L"(-5,0)(4,0)"})
            module->setText(c.textPin, text);
        for (auto const& image : {std::vector<uint8_t>{}, std::vector<uint8_t>{1, 2, 3}})
            module->setBytes(c.blobPin, image);
        EXPECT_TRUE(module->host().transmissions().empty());

        module->setText(c.textPin, L"(-5,-5)(5,5)");
        module->setText(c.textPin, L"(-5,-5)(5,5)");
        auto const images = module->host().transmissionsOf(c.blobPin);
        ASSERT_EQ(images.size(), 2u) << "the same text is sent again";
        EXPECT_EQ(images[1].bytes, shapeImage({{0, -1}, {1, 1}})) << "24 bytes, no mode";
        module->setBytes(c.blobPin, shapeImage({{0, 0}, {1, 0}}));
        auto text = module->host().lastTransmission(c.textPin);
        ASSERT_TRUE(text);
        EXPECT_EQ(textOf(*text), L"(-5,0)(5,0)");

        auto fromImage = makeGuiModule(c.id, echoOptions(true));
        fromImage->setBytes(c.blobPin, shapeImage({{0, 0.5f}, {1, 0}}));
        EXPECT_EQ(fromImage->host().transmissionsOf(c.textPin).size(), 1u);
        EXPECT_EQ(fromImage->host().transmissionsOf(c.blobPin).size(), c.guardsTextEcho ? 0u : 1u);
        auto fromText = makeGuiModule(c.id, echoOptions(true));
        fromText->setText(c.textPin, L"(-5,1.0)(5,1)");
        EXPECT_EQ(fromText->host().transmissionsOf(c.blobPin).size(), 1u);
        EXPECT_EQ(fromText->host().transmissionsOf(c.textPin).size(), c.guardsTextEcho ? 1u : 0u);
    }
}

enum SelectorPin : int32_t { kSelShape, kIndex, kAllowFirst, kAllowLast, kChoice, kChoiceList };

// A selector given a flat shape of `count` evenly spaced nodes.
std::unique_ptr<host::GuiModule> selector(int count, bool allowFirst, bool allowLast, host::GuiModuleOptions options = {}) {
    auto module = makeGuiModule(L"ZR_ShapeNodeSel", std::move(options));
    module->setBool(kAllowFirst, allowFirst);
    module->setBool(kAllowLast, allowLast);
    Nodes nodes;
    for (int i = 0; i < count; ++i)
        nodes.emplace_back(static_cast<float>(i) / static_cast<float>(count - 1), 0.0f);
    module->setBytes(kSelShape, shapeImage(nodes));
    return module;
}

TEST(NodeSelector, ListsTheSelectableNodes) {
    struct Case {
        int count;
        bool first, last;
        wchar_t const* list;
    };
    Case const cases[] = {
        {4, true, true, L"<No Node>=-1,First=0,1=1,2=2,Last=3"},
        {4, false, false, L"<No Node>=-1,1=1,2=2"},
        {2, false, false, L"<No Node>=-1"},
        {12, false, false, L"<No Node>=-1,1=1,2=2,3=3,4=4,5=5,6=6,7=7,8=8,9=9,10=10"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(textOf(*selector(c.count, c.first, c.last)->host().lastTransmission(kChoiceList)), c.list);
    }
}

TEST(NodeSelector, AnInvalidShapeLeavesOnlyNoNode) {
    auto module = selector(4, false, true);
    module->setInt(kIndex, 2);
    module->setBytes(kSelShape, {1, 2, 3});
    EXPECT_EQ(textOf(*module->host().lastTransmission(kChoiceList)), L"<No Node>=-1");
    EXPECT_EQ(intOf(*module->host().lastTransmission(kIndex)), -1);
}

TEST(NodeSelector, IndexGivesTheMatchingChoice) {
    struct Case {
        int32_t index;
        bool allowFirst, allowLast;
        int32_t choice;
        int32_t indexAfterUpdate; // once the list is rebuilt
    };
    Case const cases[] = {
        {7, false, true, 3, 3},   // past the end: the last node
        {3, false, false, -1, -1}, // the last node, not allowed
        {0, false, true, -1, -1},  // the first node, not allowed
        {0, true, false, 0, 0},
        {-5, true, true, -1, -1},
        {2, false, false, 2, 2},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index);
        auto module = selector(4, c.allowFirst, c.allowLast);
        auto const choiceBefore = module->host().lastTransmission(kChoice);
        int32_t const before = choiceBefore ? intOf(*choiceBefore) : 0; // Choice starts at 0
        module->host().clearRecords();

        module->setInt(kIndex, c.index);
        auto const choice = module->host().lastTransmission(kChoice);
        EXPECT_EQ(choice ? intOf(*choice) : before, c.choice);
        EXPECT_FALSE(module->host().lastTransmission(kIndex)) << "onSetIndex leaves Index as the host set it";

        module->setBool(kAllowFirst, c.allowFirst); // any of the list's pins rebuilds it
        auto const index = module->host().lastTransmission(kIndex);
        EXPECT_EQ(index ? intOf(*index) : c.index, c.indexAfterUpdate);
    }
}

// Picking an entry sets Index and leaves Choice as the host's own value. With an echoing host
// Index 3 comes back while the module writes it: taken as the host's own Index, the last node's
// rule would turn Choice into -1 and send it.
TEST(NodeSelector, PickingAnEntrySetsTheIndexAlsoUnderEchoes) {
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo);
        auto module = selector(4, false, false, echoOptions(echo)); // the last node may not be chosen
        module->host().clearRecords();
        module->setInt(kChoice, 3);
        EXPECT_EQ(intOf(*module->host().lastTransmission(kIndex)), 3);
        EXPECT_FALSE(module->host().lastTransmission(kChoice));
    }
}

constexpr int32_t kLinkShape = 0;

Nodes const fiveNodes = {{0.0f, -1.0f}, {0.2f, -0.5f}, {0.5f, 0.0f}, {0.6f, 0.5f}, {1.0f, 1.0f}};

// Node pins are no pin objects: only setPin reaches them, as a host delivers a value.
int32_t sendNodeValue(host::GuiModule& link, int32_t pin, float value) {
    return link.module()->setPin(pin, 0, sizeof value, &value);
}

std::unique_ptr<host::GuiModule> makeLink(wchar_t const* id, int32_t nodePins, Nodes const& shape,
                                          host::GuiModuleOptions options = {}) {
    auto link = makeGuiModule(id, std::move(options), nodePins);
    link->setBytes(kLinkShape, shapeImage(shape));
    return link;
}

TEST(NodeLinks, SendOneValuePerLinkedNode) {
    auto x = makeLink(L"ZR_GUI_ShapeXLink", 8, fiveNodes);
    for (int32_t pin = 1; pin <= 8; ++pin)
        EXPECT_EQ(floatsSentOn(*x, pin).size(), pin <= 3 ? 1u : 0u) << "pin " << pin;
    EXPECT_FLOAT_EQ(floatsSentOn(*x, 1)[0], 0.4f);       // 0.2 between 0 and 0.5
    EXPECT_FLOAT_EQ(floatsSentOn(*x, 2)[0], 0.75f);      // 0.5 between 0.2 and 0.6
    EXPECT_FLOAT_EQ(floatsSentOn(*x, 3)[0], 0.2f);       // 0.6 between 0.5 and 1

    auto y = makeLink(L"ZR_GUI_ShapeYLink", 3, fiveNodes);
    for (int32_t pin = 1; pin <= 3; ++pin)
        EXPECT_EQ(floatsSentOn(*y, pin), std::vector<float>{(fiveNodes[pin - 1].second + 1.0f) * 0.5f}) << "pin " << pin;
    EXPECT_TRUE(floatsSentOn(*y, 4).empty());

    y->setBytes(kLinkShape, shapeImage(fiveNodes));
    EXPECT_EQ(floatsSentOn(*y, 1).size(), 2u) << "sent again for an unchanged shape";
}

// Images are taken unchecked: neighbours on one x leave no place between them, and neighbours
// a subnormal step apart overflow the quotient. A node on both neighbours sits at 0.5, one off
// to a side at the largest finite float of that side; every finite place stays as it is, and
// the echo of any of them moves nothing.
TEST(NodeLinks, XPlacesAreFiniteWhereTheNeighboursLeaveNoRoom) {
    constexpr float kLargest = std::numeric_limits<float>::max();
    constexpr float kStep = std::numeric_limits<float>::denorm_min();
    struct Case {
        char const* name;
        Nodes shape;
        std::vector<float> places; // pins 1, 2, ...
    } const cases[] = {
        {"three nodes on one x", {{0.0f, 0.0f}, {0.5f, 0.0f}, {0.5f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, {1.0f, 0.5f, 0.0f}},
        {"a node left of neighbours on one x", {{0.5f, 0.0f}, {0.3f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, {-kLargest}},
        {"a node right of neighbours on one x", {{0.5f, 0.0f}, {0.7f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, {kLargest}},
        {"neighbours a subnormal step apart", {{0.0f, 0.0f}, {0.5f, 0.0f}, {kStep, 0.0f}, {1.0f, 0.0f}}, {kLargest, -1.0f}},
    };
    for (bool echo : {false, true}) {
        for (Case const& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (echo ? ", echoed" : ""));
            auto x = makeLink(L"ZR_GUI_ShapeXLink", static_cast<int32_t>(c.places.size()), c.shape, echoOptions(echo));
            for (std::size_t k = 0; k < c.places.size(); ++k)
                EXPECT_EQ(floatsSentOn(*x, static_cast<int32_t>(k) + 1), std::vector<float>{c.places[k]})
                    << "pin " << k + 1;
            EXPECT_TRUE(x->host().transmissionsOf(kLinkShape).empty()) << "the echo of a place moved a node";
        }
    }
}

// A value on a node pin moves its node: X strictly between the neighbours, Y to the height
// clipped to -1..1; a value that moves nothing sends nothing. Under an echoing host the shape
// comes back: taken as new, every node's value would be sent.
TEST(NodeLinks, ValuesMoveTheirNodeWithinItsLimitsAndIgnoreTheirEcho) {
    wchar_t const* const xLink = L"ZR_GUI_ShapeXLink";
    wchar_t const* const yLink = L"ZR_GUI_ShapeYLink";
    float const left = fiveNodes[1].first + 1.0f;
    float const right = fiveNodes[3].first + 1.0f;
    struct Case {
        char const* name;
        wchar_t const* id;
        int32_t nodePins, pin;
        float value;
        std::optional<std::pair<std::size_t, float>> moved; // the node and its new x (X) or y (Y); none: nothing sent
    } const cases[] = {
        {"x half way", xLink, 3, 2, 0.5f, std::pair{2u, 0.2f + (0.6f - 0.2f) * 0.5f}},
        {"x beyond the right neighbour", xLink, 3, 2, 1.0f, std::pair{2u, std::nextafter(right, 0.0f) - 1.0f}},
        {"x beyond the left neighbour", xLink, 3, 2, -3.0f, std::pair{2u, std::nextafter(left, 2.0f) - 1.0f}},
        {"y of node 0", yLink, 5, 1, 0.75f, std::pair{0u, 0.5f}},
        {"y clipped to the top", yLink, 5, 4, 2.0f, std::pair{3u, 1.0f}},
        {"y to the bottom", yLink, 5, 3, -1.0f, std::pair{2u, -1.0f}},
        {"y to the middle", yLink, 5, 2, 0.5f, std::pair{1u, 0.0f}},
        {"x where node 1 already is", xLink, 8, 1, 0.4f, std::nullopt},
        {"x past the linked nodes: the last node", xLink, 8, 4, 0.3f, std::nullopt},
        {"y where node 0 already is", yLink, 8, 1, 0.0f, std::nullopt},
        {"y past the linked nodes", yLink, 8, 6, 0.3f, std::nullopt},
    };
    for (bool echo : {false, true}) {
        for (Case const& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (echo ? ", echoed" : ""));
            auto link = makeLink(c.id, c.nodePins, fiveNodes, echoOptions(echo));
            link->host().clearRecords();
            EXPECT_EQ(sendNodeValue(*link, c.pin, c.value), gmpi::MP_OK);
            auto const& sent = link->host().transmissions();
            if (!c.moved) {
                EXPECT_TRUE(sent.empty());
                continue;
            }
            ASSERT_EQ(link->host().transmissionsOf(kLinkShape).size(), 1u);
            Nodes const nodes = nodesOf(*link->host().lastTransmission(kLinkShape));
            ASSERT_EQ(nodes.size(), fiveNodes.size());
            auto const [moved, place] = *c.moved;
            for (std::size_t k = 0; k < nodes.size(); ++k) {
                if (k != moved) {
                    EXPECT_EQ(nodes[k], fiveNodes[k]) << "node " << k;
                } else if (c.id == xLink) {
                    EXPECT_FLOAT_EQ(nodes[k].first, place);
                    EXPECT_EQ(nodes[k].second, fiveNodes[k].second);
                    EXPECT_GT(nodes[k].first, nodes[k - 1].first);
                    EXPECT_LT(nodes[k].first, nodes[k + 1].first);
                } else {
                    EXPECT_EQ(nodes[k], std::make_pair(fiveNodes[k].first, place)) << "node " << k;
                    EXPECT_EQ(sent.size(), 1u) << "the Y link sends the shape alone";
                }
            }
        }
    }
}

// Neighbours that leave no place to compute move nothing, so the round trips through an
// echoing host end.
TEST(NodeLinks, NeighboursThatLeaveNoRoomMoveNothing) {
    // Neighbours beyond 0..1 (images are taken unchecked).
    auto const deepEchoes = hostile::echoingGuiHost(64);
    host::GuiModuleOptions echoing;
    echoing.hostPolicy = deepEchoes;
    auto wide = makeLink(L"ZR_GUI_ShapeXLink", 1, {{-5.0f, 0.0f}, {-5.0f, 0.0f}, {3e38f, 0.0f}}, echoing);
    sendNodeValue(*wide, 1, 0.0f);
    EXPECT_EQ(deepEchoes->echoCutOffs(), 0);
    EXPECT_TRUE(wide->host().transmissionsOf(kLinkShape).empty());

    // Node 2 a few float steps from its neighbours: its place read back through x + 1 lands
    // a step away, so the echo of its own place would move it.
    auto close = makeLink(L"ZR_GUI_ShapeXLink", 3,
                          {{0.0f, 0.0f}, {0.223755553f, 0.0f}, {0.223755613f, 0.0f}, {0.223755792f, 0.0f}, {1.0f, 0.0f}},
                          echoing);
    EXPECT_TRUE(close->host().transmissionsOf(kLinkShape).empty());
}

} // namespace
} // namespace zr::test
