// Successor: none (the GUI side's node links are ZR_GUI_ShapeXLink and ZR_GUI_ShapeYLink).
// ZR_SSModGUI: links up to four nodes of a text shape to float pins, both ways. A shape that
// arrives shows its nodes on the float pins and passes through; a float pin that changes moves
// its node and sends the new text on both shape pins.

#include <array>

#include "modules/legacy/LegacyShape.h"
#include "sdk/EchoGuard.h"
#include "sdk/MpGuiBase2.h"
#include "sdk/Register.h"

class ZR_SSModGUI : public SeGuiInvisibleBase {
    struct Modifier {
        MpGuiPin<int32_t> node;
        MpGuiPin<int32_t> axis; // 0: x, 1: y, others: none
        MpGuiPin<float> value;  // volts
    };
    static constexpr std::size_t kModifiers = 4;
    static constexpr float kGap = 0.01f; // volts kept between neighbouring x values

    // Pin indices are stored in patches: append only.
    StringGuiPin pinShapeL;                     // 0: node text in volts
    std::array<Modifier, kModifiers> modifiers; // 1..12, three per group
    StringGuiPin pinShapeR;                     // 13: node text in volts

    zr::legacy::NodeList nodes;
    bool writing = false; // set while this module writes its own pins, so echoes are ignored

public:
    ZR_SSModGUI() {
        initializePin(pinShapeL, &ZR_SSModGUI::onSetShapeL);
        for (Modifier& modifier : modifiers) {
            initializePin(modifier.node, &ZR_SSModGUI::onSetModifier);
            initializePin(modifier.axis, &ZR_SSModGUI::onSetModifier);
            initializePin(modifier.value, &ZR_SSModGUI::onSetModifier);
        }
        initializePin(pinShapeR, &ZR_SSModGUI::onSetShapeR);
    }

private:
    void onSetShapeL() { takeShape(pinShapeL, pinShapeR); }
    void onSetShapeR() { takeShape(pinShapeR, pinShapeL); }

    void takeShape(StringGuiPin const& from, StringGuiPin& to) {
        if (writing || nodes.parseVolts(from) == 0)
            return;
        gmpi_sdk::EchoGuard const ownWrites(writing);
        updateModifiers();
        to = from.getValue();
    }

    // Shows each linked node's coordinate on its float pin.
    void updateModifiers() {
        for (Modifier& modifier : modifiers) {
            int32_t const index = modifier.node;
            int32_t const axis = modifier.axis;
            if (!zr::legacy::isNodeIndex(nodes, index) || (axis != 0 && axis != 1))
                continue;
            auto const& node = nodes.nodes[static_cast<std::size_t>(index)];
            modifier.value = axis == 0 ? node.x : node.y;
        }
    }

    void onSetModifier() {
        if (writing || nodes.count == 0)
            return;
        gmpi_sdk::EchoGuard const ownWrites(writing);
        applyModifiers();
        std::wstring const text = nodes2String();
        pinShapeR = text;
        pinShapeL = text;
    }

    // y is taken as given; x stays 0.01 V inside its neighbours (the ends stay at -5 and 5),
    // and a value outside that range is replaced on its pin by the limit it met.
    void applyModifiers() {
        for (Modifier& modifier : modifiers) {
            int32_t const index = modifier.node;
            if (!zr::legacy::isNodeIndex(nodes, index))
                continue;
            auto& node = nodes.nodes[static_cast<std::size_t>(index)];
            float const value = modifier.value;
            if (modifier.axis == 1) {
                node.y = value;
            } else if (modifier.axis == 0) {
                node.x = limitX(index, value);
                if (!(node.x == value))
                    modifier.value = node.x;
            }
        }
    }

    float limitX(int32_t index, float value) const {
        if (index == 0)
            return -5.0f;
        if (index == nodes.count - 1)
            return 5.0f;
        auto const at = static_cast<std::size_t>(index);
        float const low = nodes.nodes[at - 1].x + kGap;
        float const high = nodes.nodes[at + 1].x - kGap;
        return value < low ? low : (value < high ? value : high); // NaN meets the high limit
    }

    std::wstring nodes2String() const { return zr::legacy::writeNodes(nodes.nodes.data(), nodes.count); }
};

namespace {
auto const registered = gmpi::Register<ZR_SSModGUI>::withId(L"ZR_SSModGUI");
}
