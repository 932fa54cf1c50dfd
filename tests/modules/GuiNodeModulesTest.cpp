// ZR_ShapeNodeSel, ZR_GUI_ShapeXLink and ZR_GUI_ShapeYLink through our GUI host.

#include <cmath>
#include <limits>

#include "testing/RecordedValues.h"
#include "host/TextConversion.h"
#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

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
        host::GuiModuleOptions options;
        if (echo)
            options.hostPolicy = hostile::echoingGuiHost();
        auto module = selector(4, false, false, options); // the last node may not be chosen
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
            host::GuiModuleOptions options;
            if (echo)
                options.hostPolicy = hostile::echoingGuiHost();
            auto x = makeLink(L"ZR_GUI_ShapeXLink", static_cast<int32_t>(c.places.size()), c.shape, options);
            for (std::size_t k = 0; k < c.places.size(); ++k)
                EXPECT_EQ(floatsSentOn(*x, static_cast<int32_t>(k) + 1), std::vector<float>{c.places[k]})
                    << "pin " << k + 1;
            EXPECT_TRUE(x->host().transmissionsOf(kLinkShape).empty()) << "the echo of a place moved a node";
        }
    }
}

TEST(NodeLinks, XValuesMoveAnInteriorNodeStrictlyBetweenItsNeighbours) {
    float const left = fiveNodes[1].first + 1.0f;
    float const right = fiveNodes[3].first + 1.0f;
    struct Case {
        float value;
        float expectedX;
    };
    Case const cases[] = {
        {0.5f, 0.2f + (0.6f - 0.2f) * 0.5f},
        {1.0f, std::nextafter(right, 0.0f) - 1.0f},
        {-3.0f, std::nextafter(left, 2.0f) - 1.0f},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.value);
        auto x = makeLink(L"ZR_GUI_ShapeXLink", 3, fiveNodes);
        EXPECT_EQ(sendNodeValue(*x, 2, c.value), gmpi::MP_OK);
        auto const sent = x->host().lastTransmission(kLinkShape);
        ASSERT_TRUE(sent);
        Nodes const nodes = nodesOf(*sent);
        EXPECT_FLOAT_EQ(nodes[2].first, c.expectedX);
        EXPECT_GT(nodes[2].first, nodes[1].first);
        EXPECT_LT(nodes[2].first, nodes[3].first);
    }
}

// Under an echoing host the shape comes back: taken as new, every node's value would be sent.
TEST(NodeLinks, YValuesSetANodeHeightClippedAndIgnoreTheirEcho) {
    struct Case {
        int32_t pin;
        float value;
        float expectedY;
    };
    for (bool echo : {false, true}) {
        for (Case const c : {Case{1, 0.75f, 0.5f}, Case{4, 2.0f, 1.0f}, Case{3, -1.0f, -1.0f}, Case{2, 0.5f, 0.0f}}) {
            SCOPED_TRACE(testing::Message() << "echo " << echo << " pin " << c.pin << " value " << c.value);
            host::GuiModuleOptions options;
            if (echo)
                options.hostPolicy = hostile::echoingGuiHost();
            auto y = makeLink(L"ZR_GUI_ShapeYLink", 5, fiveNodes, options);
            y->host().clearRecords();
            sendNodeValue(*y, c.pin, c.value);
            Nodes expected = fiveNodes;
            expected[c.pin - 1].second = c.expectedY;
            ASSERT_EQ(y->host().transmissions().size(), 1u);
            EXPECT_EQ(nodesOf(y->host().transmissions()[0]), expected);
        }
    }
}

TEST(NodeLinks, IgnoreValuesThatMoveNothing) {
    for (wchar_t const* id : {L"ZR_GUI_ShapeXLink", L"ZR_GUI_ShapeYLink"}) {
        SCOPED_TRACE(host::utf8FromWide(id));
        auto link = makeLink(id, 8, fiveNodes);
        link->host().clearRecords();
        bool const isX = std::wstring(id) == L"ZR_GUI_ShapeXLink";
        sendNodeValue(*link, 1, isX ? 0.4f : 0.0f); // where node 1 (X) or node 0 (Y) already is
        sendNodeValue(*link, isX ? 4 : 6, 0.3f);    // past the linked nodes (X: the last node)
        EXPECT_TRUE(link->host().transmissions().empty());
    }

    // Neighbours beyond 0..1 (images are taken unchecked) leave no place to compute: nothing
    // moves, so the round trips through an echoing host end.
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
