// ZR_ShapeNodeSel: offers the nodes of a shape as a choice list and keeps the chosen entry
// (Choice) and the node index (Index) in step. The end nodes can be left out of the list.

#include <cstdint>
#include <string>

#include "sdk/EchoGuard.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/Register.h"
#include "shapes/Shape.h"

class ZR_ShapeNodeSel : public SeGuiInvisibleBase {
    // Pin indices are stored in patches: append only.
    MpGuiPin<MpBlob> pinShape;
    MpGuiPin<int32_t> pinIndex;  // selected node index, -1 for none; in and out
    MpGuiPin<bool> pinAllowFirst;
    MpGuiPin<bool> pinAllowLast;
    MpGuiPin<int32_t> pinChoice; // value of the picked list entry, -1 for none; in and out
    StringGuiPin pinChoiceList;  // out: "<No Node>=-1,First=0,1=1,Last=2"

    int32_t listNodeCount = 0; // node count of the last valid shape, 0 for none
    bool updating = false;     // set while the module writes Index or Choice itself

public:
    ZR_ShapeNodeSel() {
        initializePin(pinShape, &ZR_ShapeNodeSel::updateAll);
        initializePin(pinIndex, &ZR_ShapeNodeSel::onSetIndex);
        initializePin(pinAllowFirst, &ZR_ShapeNodeSel::updateAll);
        initializePin(pinAllowLast, &ZR_ShapeNodeSel::updateAll);
        initializePin(pinChoice, &ZR_ShapeNodeSel::onSetChoice);
        initializePin(pinChoiceList);
    }

    // Rebuilds the list from the shape and brings Choice and then Index in line with it.
    void updateAll() {
        zr::Shape shape;
        MpBlob const& image = pinShape;
        shape.readBlob(image.getData(), image.getSize());
        if (shape.invalid) {
            pinChoiceList = std::wstring(L"<No Node>=-1");
            listNodeCount = 0;
            gmpi_sdk::EchoGuard const ownWrites(updating);
            pinChoice = -1;
            pinIndex = pinChoice.getValue();
            return;
        }
        listNodeCount = shape.nodeCount;
        pinChoiceList = listText();
        gmpi_sdk::EchoGuard const ownWrites(updating);
        pinChoice = recalcChoice();
        pinIndex = pinChoice.getValue();
    }

    // A new Index from outside moves only Choice.
    void onSetIndex() {
        if (updating)
            return;
        pinChoice = recalcChoice();
    }

    // A pick in the list moves Index.
    void onSetChoice() {
        gmpi_sdk::EchoGuard const ownWrite(updating);
        pinIndex = pinChoice.getValue();
    }

private:
    // The list entry for Index: an index past the end selects the last node, and an end node
    // that may not be chosen gives no node.
    int32_t recalcChoice() const {
        int32_t const index = pinIndex;
        if (index < -1)
            return -1;
        if (index == 0 && !pinAllowFirst)
            return -1;
        int32_t const choice = index < listNodeCount ? index : listNodeCount - 1;
        if (choice == listNodeCount - 1 && !pinAllowLast)
            return -1;
        return choice;
    }

    // Entries in the host's list syntax, label=value, the value being the node index.
    std::wstring listText() const {
        std::wstring text = L"<No Node>=-1,";
        for (int32_t k = 0; k < listNodeCount; ++k) {
            if (k == 0) {
                if (pinAllowFirst)
                    text += L"First=0,";
            } else if (k == listNodeCount - 1) {
                if (pinAllowLast)
                    text += L"Last=" + std::to_wstring(k);
            } else {
                text += std::to_wstring(k) + L"=" + std::to_wstring(k) + L",";
            }
        }
        if (text.back() == L',')
            text.pop_back();
        return text;
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeNodeSel>::withId(L"ZR_ShapeNodeSel");
}
