// ZR_ShapeNodeSel: the choice-list text, and how Index and Choice follow each other.

#include <gtest/gtest.h>

#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

enum SelectorPin : int32_t { kSelShape, kIndex, kAllowFirst, kAllowLast, kChoice, kChoiceList };

std::vector<uint8_t> flatShape(int count) {
    std::vector<std::pair<float, float>> nodes;
    for (int i = 0; i < count; ++i)
        nodes.emplace_back(static_cast<float>(i) / static_cast<float>(count - 1), 0.0f);
    return shapeImage(nodes);
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
        auto module = makeGuiModule(L"ZR_ShapeNodeSel");
        module->setBool(kAllowFirst, c.first);
        module->setBool(kAllowLast, c.last);
        module->setBytes(kSelShape, flatShape(c.count));
        EXPECT_EQ(module->host().lastTransmission(kChoiceList)->asText(), c.list);
    }
}

TEST(NodeSelector, AnInvalidShapeLeavesOnlyNoNode) {
    auto selector = makeGuiModule(L"ZR_ShapeNodeSel");
    selector->setBool(kAllowLast, true);
    selector->setBytes(kSelShape, flatShape(4));
    selector->setInt(kIndex, 2);
    std::vector<uint8_t> broken = flatShape(4);
    broken[0] ^= 0xFF;
    for (auto const& image : {broken, std::vector<uint8_t>{}, std::vector<uint8_t>(3, 0)}) {
        selector->setBytes(kSelShape, image);
        auto const& host = selector->host();
        EXPECT_EQ(host.lastTransmission(kChoiceList)->asText(), L"<No Node>=-1");
        EXPECT_EQ(host.lastTransmission(kChoice)->asInt(), -1);
        EXPECT_EQ(host.lastTransmission(kIndex)->asInt(), -1);
    }
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
        auto module = makeGuiModule(L"ZR_ShapeNodeSel");
        module->setBool(kAllowFirst, c.allowFirst);
        module->setBool(kAllowLast, c.allowLast);
        module->setBytes(kSelShape, flatShape(4));
        auto const choiceBefore = module->host().lastTransmission(kChoice);
        int32_t const before = choiceBefore ? choiceBefore->asInt() : 0; // Choice starts at 0
        module->host().clearRecords();

        module->setInt(kIndex, c.index);
        auto const choice = module->host().lastTransmission(kChoice);
        EXPECT_EQ(choice ? choice->asInt() : before, c.choice);
        EXPECT_FALSE(module->host().lastTransmission(kIndex)) << "onSetIndex leaves Index as the host set it";

        module->setBool(kAllowFirst, c.allowFirst); // any of the list's pins rebuilds it
        auto const index = module->host().lastTransmission(kIndex);
        EXPECT_EQ(index ? index->asInt() : c.index, c.indexAfterUpdate);
    }
}

// Picking an entry sets Index and leaves Choice as the host's own value. With an echoing host
// Index 3 comes back while the module writes it: taken as the host's own Index, the last node's
// rule would turn Choice into -1 and send it.
TEST(NodeSelector, PickingAnEntrySetsTheIndexAlsoUnderEchoes) {
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo);
        host::GuiModuleOptions options;
        options.echoTransmissions = echo;
        auto module = makeGuiModule(L"ZR_ShapeNodeSel", options);
        module->setBytes(kSelShape, flatShape(4)); // the last node may not be chosen
        module->host().clearRecords();
        module->setInt(kChoice, 3);
        EXPECT_EQ(module->host().lastTransmission(kIndex)->asInt(), 3);
        EXPECT_FALSE(module->host().lastTransmission(kChoice));
    }
}

} // namespace
} // namespace zr::test
