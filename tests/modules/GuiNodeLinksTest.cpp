// ZR_GUI_ShapeXLink and ZR_GUI_ShapeYLink: the values they send for a shape, the moves a node
// pin makes, and the values and hosts they must not trust.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/TextConversion.h"
#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

constexpr int32_t kLinkShape = 0;

Nodes const fiveNodes = {{0.0f, -1.0f}, {0.2f, -0.5f}, {0.5f, 0.0f}, {0.6f, 0.5f}, {1.0f, 1.0f}};

// A node-pin value as a host delivers it: node pins are no pin objects, so only setPin
// reaches them.
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

TEST(NodeLinks, XValuesMoveAnInteriorNodeStrictlyBetweenItsNeighbours) {
    float const left = fiveNodes[1].first + 1.0f;
    float const right = fiveNodes[3].first + 1.0f;
    struct Case {
        float value;
        float expectedX;
    };
    Case const cases[] = {
        {0.5f, 0.2f + (0.6f - 0.2f) * 0.5f},
        {0.0f, std::nextafter(left, 2.0f) - 1.0f},
        {1.0f, std::nextafter(right, 0.0f) - 1.0f},
        {-3.0f, std::nextafter(left, 2.0f) - 1.0f},
        {std::numeric_limits<float>::infinity(), std::nextafter(right, 0.0f) - 1.0f},
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
            options.echoTransmissions = echo;
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
    host::GuiModuleOptions echoing;
    echoing.echoTransmissions = true;
    echoing.hostile.echoDepth = 64;
    auto wide = makeLink(L"ZR_GUI_ShapeXLink", 1, {{-5.0f, 0.0f}, {-5.0f, 0.0f}, {3e38f, 0.0f}}, echoing);
    sendNodeValue(*wide, 1, 0.0f);
    EXPECT_EQ(wide->host().echoCutOffs(), 0);
    EXPECT_TRUE(wide->host().transmissionsOf(kLinkShape).empty());
}

} // namespace
} // namespace zr::test
