#include "host/SettingRules.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace zr::host {
namespace {

constexpr int64_t kMostNodes = 100;

enum class Rule {
    Interpolation,  // 0, 10, 20 or 30; the module ignores anything else
    LegacyClamped,  // legacy modes 0..2; larger values count as 2, negative ones are not modes
    LegacyMode,     // legacy modes 0..3; the module ignores anything else
    Oversampling,   // exponent 0..8; the module ignores anything else
    OnOff,          // 0 or 1; the module reads any other number as 1
    NodeIndex,      // -1 (none) or a node; the module reads anything else as none
    SustainNode,    // -1 (none) or a node but the last; anything else is none
    Colour,         // hexadecimal AARRGGBB; the editor reads up to the first non-digit
};

struct Entry {
    std::wstring_view module; // a prefix of the identifier when it ends in '*'
    std::string_view pin;     // a prefix of the pin name when it ends in '*'
    Rule rule;
    std::string_view meaning; // what the two choices of an OnOff pin mean
};

// Read from each module's source (modules/, modules/legacy/, editor/).
constexpr Entry kRules[] = {
    {L"ZR_Waveshaper2", "Interpolation", Rule::Interpolation, ""},
    {L"ZR_Waveshaper2ST", "Interpolation", Rule::Interpolation, ""},
    {L"ZR_ShapeOsc2", "Interpolation", Rule::Interpolation, ""},
    {L"ZR_ShapeEnv3", "Interpolation", Rule::Interpolation, ""},
    {L"ZR_ShapeSaver3", "Interpolation", Rule::Interpolation, ""},
    {L"ZR_ShapeEditor5*", "ITP_Choice", Rule::Interpolation, ""},
    {L"ZR_ShapeEditor4*", "ITP_Choice", Rule::LegacyMode, ""},
    {L"ZR_ShapeEnv", "Interpolation", Rule::LegacyClamped, ""},
    {L"ZR_ShapeOsc", "Interpolation", Rule::LegacyClamped, ""},
    {L"ZR_Waveshaper", "Interpolation", Rule::LegacyClamped, ""},
    {L"ZR_ShapeEnv2", "Interpolation", Rule::LegacyMode, ""},
    {L"ZR_ShapePulser", "Interpolation", Rule::LegacyMode, ""},
    {L"ZR_ShapeOsc2", "Oversampling", Rule::Oversampling, ""},
    {L"ZR_ShapeOsc", "Oversampling", Rule::Oversampling, ""},
    {L"ZR_ShapeOsc2", "FrequencyMode", Rule::OnOff, "0 linear (1 V = 1 Hz), 1 volts per octave (5 V = 440 Hz)"},
    {L"ZR_ShapeOsc", "FrequencyMode", Rule::OnOff, "0 linear (1 V = 1 Hz), 1 volts per octave (5 V = 440 Hz)"},
    {L"ZR_ShapeShift2", "Vertical", Rule::OnOff, "0 horizontal, 1 vertical"},
    {L"ZR_ShapeSnap", "Edge", Rule::OnOff, "0 the highest node moves to Level, 1 the lowest"},
    {L"ZR_SSMod*", "Axis*", Rule::OnOff, "0 x, 1 y"},
    {L"ZR_ShapeEnv3", "SustainNode", Rule::SustainNode, ""},
    {L"ZR_ShapeEnv", "SustainNode", Rule::SustainNode, ""},
    {L"ZR_ShapeEnv2", "SustainNode", Rule::SustainNode, ""},
    {L"ZR_ShapeNodeModif2", "NodeIndex", Rule::NodeIndex, ""},
    {L"ZR_ShapeNodeModul2", "NodeIndex", Rule::NodeIndex, ""},
    {L"ZR_SNMod", "NodeIndex", Rule::NodeIndex, ""},
    {L"ZR_SSMod*", "Node*", Rule::NodeIndex, ""},
    {L"ZR_ShapeEditor*", "ActiveNode", Rule::NodeIndex, ""},
    {L"ZR_ShapeEditor*", "Color*", Rule::Colour, ""},
};

template <typename Text>
bool matches(Text pattern, Text name) {
    if (!pattern.empty() && pattern.back() == '*')
        return name.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
    return pattern == name;
}

Entry const* ruleFor(ModuleDescription const& module, PinDescription const& pin) {
    auto const found = std::find_if(std::begin(kRules), std::end(kRules), [&](Entry const& entry) {
        return matches(entry.module, std::wstring_view(module.id)) && matches(entry.pin, std::string_view(pin.name));
    });
    return found == std::end(kRules) ? nullptr : found;
}

SettingVerdict refuse(std::string message) { return {SettingVerdict::Kind::Refuse, std::move(message)}; }
SettingVerdict warn(std::string message) { return {SettingVerdict::Kind::Warn, std::move(message)}; }

SettingVerdict checkNode(int64_t index, Rule rule, std::optional<int32_t> nodeCount) {
    std::string const number = std::to_string(index);
    if (index < -1)
        return warn(number + " picks no node, as -1 does; give -1 for none or a node's number from 0");
    if (index == -1 || (!nodeCount && index < kMostNodes))
        return {};
    if (!nodeCount)
        return warn(number + " lies past the nodes of any shape (at most " + std::to_string(kMostNodes) +
                    ", numbered from 0); the module picks no node");
    int32_t const limit = rule == Rule::SustainNode ? *nodeCount - 1 : *nodeCount;
    if (index < limit)
        return {};
    std::string const range = "0.." + std::to_string(limit - 1);
    if (rule == Rule::SustainNode)
        return warn("node " + number + " cannot hold the sustain: the shape has " + std::to_string(*nodeCount) +
                    " nodes, and the sustain node is one of " + range + " (the last cannot sustain), or -1 for none; the module plays no sustain");
    return warn("node " + number + " lies past the shape's " + std::to_string(*nodeCount) + " nodes (" + range +
                "); the module picks no node");
}

bool isColourText(std::string const& text) {
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X"))
        digits.remove_prefix(2);
    return !digits.empty() && digits.size() <= 8 &&
           std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

SettingVerdict checkNumber(Entry const& entry, int64_t value, std::optional<int32_t> nodeCount) {
    std::string const number = std::to_string(value);
    switch (entry.rule) {
    case Rule::Interpolation:
        if (value == 0 || value == 10 || value == 20 || value == 30)
            return {};
        return refuse(number + " is not an interpolation mode; the module ignores it. Use 0 (none), 10 (linear), 20 or 30 (splines)");
    case Rule::LegacyClamped:
        if (value < 0)
            return refuse(number + " is not a mode of this older module; use 0 (straight), 1 or 2 (curves)");
        if (value > 2)
            return warn(number + " counts as 2 in this older module, whose modes are 0 (straight), 1 and 2 (curves)");
        return {};
    case Rule::LegacyMode:
        if (value >= 0 && value <= 3)
            return {};
        return refuse(number + " is not a mode of this older module; it takes 0 (linear), 1 (spline), 2 (Lagrange) or 3 (none)");
    case Rule::Oversampling:
        if (value >= 0 && value <= 8)
            return {};
        return refuse(number + " is outside the oversampling range 0..8 (2^k sub-steps per sample); the module ignores it");
    case Rule::OnOff:
        if (value == 0 || value == 1)
            return {};
        return warn(number + " counts as 1; this pin takes " + std::string(entry.meaning));
    case Rule::NodeIndex:
    case Rule::SustainNode:
        return checkNode(value, entry.rule, nodeCount);
    case Rule::Colour:
        break;
    }
    return {};
}

} // namespace

bool takesInterpolationModes(ModuleDescription const& module, PinDescription const& pin) {
    Entry const* entry = ruleFor(module, pin);
    return entry != nullptr && entry->rule == Rule::Interpolation;
}

SettingVerdict checkSetting(ModuleDescription const& module, PinDescription const& pin, nlohmann::json const& value,
                            std::optional<int32_t> nodeCount) {
    Entry const* entry = ruleFor(module, pin);
    if (entry == nullptr)
        return {};
    if (entry->rule == Rule::Colour) {
        if (!value.is_string() || value.get_ref<std::string const&>().empty() || isColourText(value.get<std::string>()))
            return {};
        return warn("'" + value.get<std::string>() +
                    "' is not a colour; the editor reads it up to its first non-hexadecimal character. Write AARRGGBB in "
                    "hexadecimal, e.g. FF3080C0 (alpha, red, green, blue)");
    }
    if (!value.is_number_integer())
        return {};
    return checkNumber(*entry, value.get<int64_t>(), nodeCount);
}

bool isNodeIndexPin(ModuleDescription const& module, PinDescription const& pin) {
    Entry const* entry = ruleFor(module, pin);
    return entry != nullptr && (entry->rule == Rule::NodeIndex || entry->rule == Rule::SustainNode);
}

} // namespace zr::host
