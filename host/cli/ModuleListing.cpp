#include "host/cli/ModuleListing.h"

#include <cstdio>
#include <sstream>

#include "host/DatatypeNames.h"

namespace zr::cli {
namespace {

using host::PinDescription;

constexpr size_t kFieldIndent = 13; // "  " and the widest field name, "direction", padded
constexpr size_t kLineWidth = 100;

char const* directionText(PinDescription const& pin) { return pin.isInput() ? "in" : "out"; }

// `text` broken into lines of at most kLineWidth characters at spaces; it starts at column
// `indent`, and so does every line after the first.
std::string wrapped(std::string const& text, size_t indent) {
    std::istringstream words(text);
    std::string result;
    std::string word;
    size_t column = indent;
    while (words >> word) {
        if (column > indent && column + 1 + word.size() > kLineWidth) {
            result += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            result += ' ';
            ++column;
        }
        result += word;
        column += word.size();
    }
    return result;
}

std::string field(char const* name, std::string const& value) {
    char start[kFieldIndent + 1];
    std::snprintf(start, sizeof start, "  %-10s ", name);
    return start + value + "\n";
}

std::string labelsText(PinDescription const& pin) {
    std::string text;
    for (auto const& [value, label] : pin.labels)
        text += (text.empty() ? "" : "\n" + std::string(kFieldIndent, ' ')) + std::to_string(value) + " = " + label;
    return text;
}

std::string orDash(std::string const& text) { return text.empty() ? "-" : text; }

std::string heading(host::ModuleDescription const& module) {
    return module.idText() + " (sub-type " + std::to_string(module.subType) + ")";
}

std::string problemLines(std::vector<std::string> const& problems) {
    std::string text;
    for (std::string const& problem : problems)
        text += "  MISMATCH: " + problem + "\n";
    return text;
}

nlohmann::ordered_json rangeJson(host::PinRange const& range) {
    if (!range.isSet())
        return nullptr;
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    if (range.min)
        json["min"] = *range.min;
    if (range.max)
        json["max"] = *range.max;
    return json;
}

} // namespace

std::string shapeFormText(host::ShapeForm form) {
    switch (form) {
    case host::ShapeForm::text:
        return "text";
    case host::ShapeForm::image:
        return "blob image";
    default:
        return "";
    }
}

std::string datatypeText(PinDescription const& pin) {
    std::string text(host::datatypeName(pin.datatype));
    if (pin.shapeForm != host::ShapeForm::none)
        text += " (shape " + shapeFormText(pin.shapeForm) + ")";
    return text;
}

std::string defaultText(PinDescription const& pin) { return pin.defaultValue ? pin.defaultValue->dump() : "-"; }

std::string overviewText(host::ModuleDescription const& module, std::vector<std::string> const& problems) {
    std::string text = heading(module) + (module.summary.empty() ? "" : ": " + module.summary) + "\n";
    for (PinDescription const& pin : module.pins) {
        char line[512];
        std::snprintf(line, sizeof line, "  %2d %-21s %-23s %-3s %-3s default %s%s\n", pin.index, pin.name.c_str(),
                      datatypeText(pin).c_str(), directionText(pin), orDash(pin.unit).c_str(), defaultText(pin).c_str(),
                      pin.repeatable ? " (repeatable)" : "");
        text += line;
    }
    return text + problemLines(problems);
}

std::string fullText(host::ModuleDescription const& module, std::vector<std::string> const& problems) {
    std::string text = heading(module) + "\n" + (module.summary.empty() ? "" : wrapped(module.summary, 0) + "\n");
    for (PinDescription const& pin : module.pins) {
        text += "\npin " + std::to_string(pin.index) + ": " + pin.name + (pin.repeatable ? " (repeatable)" : "") + "\n";
        text += field("datatype", datatypeText(pin));
        text += field("direction", directionText(pin));
        text += field("default", defaultText(pin));
        text += field("unit", orDash(pin.unit));
        text += field("range", pin.range.isSet() ? pin.range.text() : "-");
        text += field("labels", orDash(labelsText(pin)));
        text += field("meaning", orDash(wrapped(pin.meaning, kFieldIndent)));
    }
    return text + (problems.empty() ? "" : "\n" + problemLines(problems));
}

nlohmann::ordered_json moduleJson(host::ModuleDescription const& module, std::vector<std::string> const& problems) {
    nlohmann::ordered_json pins = nlohmann::ordered_json::array();
    for (PinDescription const& pin : module.pins) {
        nlohmann::ordered_json labels = nlohmann::ordered_json::object();
        for (auto const& [value, label] : pin.labels)
            labels[std::to_string(value)] = label;
        nlohmann::ordered_json entry = {
            {"index", pin.index},
            {"name", pin.name},
            {"kind", std::string(host::datatypeName(pin.datatype))},
            {"direction", directionText(pin)},
            {"default", pin.defaultValue ? nlohmann::ordered_json::parse(pin.defaultValue->dump()) : nlohmann::ordered_json()},
            {"shapeForm", pin.shapeForm == host::ShapeForm::none ? nlohmann::ordered_json()
                                                                  : nlohmann::ordered_json(shapeFormText(pin.shapeForm))},
            {"unit", pin.unit.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(pin.unit)},
            {"range", rangeJson(pin.range)},
            {"labels", labels},
            {"meaning", pin.meaning}};
        if (pin.repeatable)
            entry["repeatable"] = true;
        pins.push_back(entry);
    }
    return {{"id", module.idText()}, {"subType", module.subType}, {"summary", module.summary},
            {"pins", pins},          {"confirmed", problems.empty()}, {"mismatches", problems}};
}

} // namespace zr::cli
