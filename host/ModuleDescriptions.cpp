#include "host/ModuleDescriptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <stdexcept>

#include "host/DatatypeNames.h"
#include "host/JsonErrorText.h"
#include "host/PinValueEncoding.h"
#include "host/TextConversion.h"

namespace zr::host {
namespace {

using nlohmann::json;

// Where a problem lies, for the error text: "source: module 2 (ZR_X), pin entry 3".
struct Location {
    std::string source;
    std::string path;

    [[noreturn]] void fail(std::string const& problem) const {
        throw std::runtime_error(source + ": " + (path.empty() ? "" : path + ": ") + problem);
    }
    Location within(std::string const& part) const { return {source, path.empty() ? part : path + ", " + part}; }
    Location named(std::string const& name) const { return {source, path + " (" + name + ")"}; }
};

void rejectUnknownKeys(json const& object, std::initializer_list<char const*> known, Location const& where) {
    for (auto const& item : object.items()) {
        std::string const& key = item.key();
        bool const isKnown = std::any_of(known.begin(), known.end(), [&key](char const* k) { return key == k; });
        if (!isKnown)
            where.fail("unknown key '" + key + "'");
    }
}

json const& required(json const& object, char const* key, Location const& where) {
    auto const found = object.find(key);
    if (found == object.end())
        where.fail(std::string("'") + key + "' is missing");
    return *found;
}

std::string requiredString(json const& object, char const* key, Location const& where) {
    json const& value = required(object, key, where);
    if (!value.is_string() || value.get_ref<std::string const&>().empty())
        where.fail(std::string("'") + key + "' must be a non-empty string");
    return value.get<std::string>();
}

int32_t requiredInt(json const& object, char const* key, int64_t lowest, Location const& where) {
    json const& value = required(object, key, where);
    if (!value.is_number_integer() || value.get<int64_t>() < lowest || value.get<int64_t>() > INT32_MAX)
        where.fail(std::string("'") + key + "' must be an integer from " + std::to_string(lowest));
    return static_cast<int32_t>(value.get<int64_t>());
}

int32_t readDatatype(json const& pin, Location const& where) {
    std::string const name = requiredString(pin, "datatype", where);
    std::optional<int32_t> const code = datatypeFromName(name);
    if (!code)
        where.fail("datatype '" + name + "' is not one of int, text, midi, bool, audio, float, enum, blob");
    return *code;
}

int32_t readDirection(json const& pin, Location const& where) {
    std::string const name = requiredString(pin, "direction", where);
    if (name == "in")
        return gmpi::MP_IN;
    if (name == "out")
        return gmpi::MP_OUT;
    where.fail("direction '" + name + "' is not \"in\" or \"out\"");
}

std::optional<json> readDefault(json const& pin, int32_t datatype, Location const& where) {
    auto const found = pin.find("default");
    if (found == pin.end())
        return std::nullopt;
    if (datatype == gmpi::MP_AUDIO || datatype == gmpi::MP_MIDI)
        where.fail(std::string(datatypeName(datatype)) + " pins have no default");
    try {
        encodePinValue(datatype, *found);
    } catch (std::invalid_argument const& e) {
        where.fail(std::string("default does not fit: ") + e.what());
    }
    return *found;
}

bool readRepeatable(json const& pin, int32_t direction, Location const& where) {
    auto const found = pin.find("repeatable");
    if (found == pin.end())
        return false;
    if (!found->is_boolean())
        where.fail("'repeatable' must be true or false");
    if (found->get<bool>() && direction != gmpi::MP_IN)
        where.fail("only an input pin can be repeatable");
    return found->get<bool>();
}

// Whether `name` is what a copy of the repeatable pin `base` is called: "<base> <digits>".
bool isCopyName(std::string const& name, std::string const& base) {
    std::string const prefix = base + " ";
    return name.size() > prefix.size() && name.rfind(prefix, 0) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// A host adds copies of a repeatable pin after it, so it must be the last pin, and the names
// of its copies must stay free.
void checkRepeatablePin(std::vector<PinDescription> const& pins, Location const& where) {
    for (std::size_t i = 0; i < pins.size(); ++i) {
        if (pins[i].repeatable && i + 1 != pins.size())
            where.fail("pin '" + pins[i].name + "' is repeatable but not the last pin");
    }
    if (pins.empty() || !pins.back().repeatable)
        return;
    for (PinDescription const& pin : pins)
        if (isCopyName(pin.name, pins.back().name))
            where.fail("pin '" + pin.name + "' has the name of a copy of repeatable pin '" + pins.back().name + "'");
}

// An optional key that, when present, holds a non-empty string; "" when absent.
std::string optionalString(json const& object, char const* key, Location const& where) {
    auto const found = object.find(key);
    if (found == object.end())
        return {};
    if (!found->is_string() || found->get_ref<std::string const&>().empty())
        where.fail(std::string("'") + key + "' must be a non-empty string");
    return found->get<std::string>();
}

PinRange readRange(json const& pin, Location const& where) {
    auto const found = pin.find("range");
    if (found == pin.end())
        return {};
    if (!found->is_object())
        where.fail("'range' must be an object with \"min\", \"max\" or both");
    rejectUnknownKeys(*found, {"min", "max"}, where.within("range"));
    PinRange range;
    for (auto const& [key, end] : {std::pair{"min", &range.min}, std::pair{"max", &range.max}}) {
        auto const value = found->find(key);
        if (value == found->end())
            continue;
        if (!value->is_number() || !std::isfinite(value->get<double>()))
            where.fail(std::string("range '") + key + "' must be a finite number");
        *end = value->get<double>();
    }
    if (!range.isSet())
        where.fail("'range' needs \"min\", \"max\" or both");
    return range;
}

// A label's key is the pin value it names, written as a decimal integer within 32 bits.
int32_t labelValue(std::string const& key, Location const& where) {
    int32_t value = 0;
    auto const [end, error] = std::from_chars(key.data(), key.data() + key.size(), value);
    if (key.empty() || error != std::errc() || end != key.data() + key.size())
        where.fail("label key '" + key + "' must be an integer within 32 bits");
    return value;
}

std::vector<std::pair<int32_t, std::string>> readLabels(json const& pin, Location const& where) {
    auto const found = pin.find("labels");
    if (found == pin.end())
        return {};
    if (!found->is_object() || found->empty())
        where.fail("'labels' must be an object of value: label pairs");
    std::vector<std::pair<int32_t, std::string>> labels;
    for (auto const& item : found->items()) {
        if (!item.value().is_string() || item.value().get_ref<std::string const&>().empty())
            where.fail("label " + item.key() + " must be a non-empty string");
        labels.emplace_back(labelValue(item.key(), where), item.value().get<std::string>());
    }
    std::sort(labels.begin(), labels.end());
    for (std::size_t i = 1; i < labels.size(); ++i)
        if (labels[i].first == labels[i - 1].first)
            where.fail("two labels name the value " + std::to_string(labels[i].first));
    return labels;
}

ShapeForm readShapeForm(json const& pin, Location const& where) {
    std::string const form = optionalString(pin, "shapeForm", where);
    if (form.empty())
        return ShapeForm::none;
    if (form == "text")
        return ShapeForm::text;
    if (form == "image")
        return ShapeForm::image;
    where.fail("shapeForm '" + form + "' is not \"text\" or \"image\"");
}

PinDescription readPin(json const& pin, Location const& where) {
    if (!pin.is_object())
        where.fail("must be an object");
    rejectUnknownKeys(pin,
                      {"index", "name", "datatype", "direction", "default", "repeatable", "unit", "range", "labels",
                       "meaning", "shapeForm"},
                      where);
    PinDescription described;
    described.index = requiredInt(pin, "index", 0, where);
    described.name = requiredString(pin, "name", where);
    described.datatype = readDatatype(pin, where);
    described.direction = readDirection(pin, where);
    described.defaultValue = readDefault(pin, described.datatype, where);
    described.repeatable = readRepeatable(pin, described.direction, where);
    described.unit = optionalString(pin, "unit", where);
    described.range = readRange(pin, where);
    described.labels = readLabels(pin, where);
    described.meaning = optionalString(pin, "meaning", where);
    described.shapeForm = readShapeForm(pin, where);
    return described;
}

// Pins may be listed in any order, but their indices must run 0..n-1 with unique names.
void orderAndCheckPins(std::vector<PinDescription>& pins, Location const& where) {
    std::stable_sort(pins.begin(), pins.end(),
                     [](PinDescription const& a, PinDescription const& b) { return a.index < b.index; });
    std::set<std::string> names;
    for (std::size_t i = 0; i < pins.size(); ++i) {
        if (pins[i].index != static_cast<int32_t>(i))
            where.fail("pin indices must run 0.." + std::to_string(pins.size() - 1) + " once each; found " +
                       std::to_string(pins[i].index) + " in place of " + std::to_string(i));
        if (!names.insert(pins[i].name).second)
            where.fail("two pins are named '" + pins[i].name + "'");
    }
}

ModuleDescription readModule(json const& module, Location const& where) {
    if (!module.is_object())
        where.fail("must be an object");
    rejectUnknownKeys(module, {"id", "subType", "summary", "pins"}, where);
    ModuleDescription described;
    std::string const id = requiredString(module, "id", where);
    described.id = wideFromUtf8(id);
    Location const named = where.named(id);
    described.subType = requiredInt(module, "subType", 0, named);
    if (auto const summary = module.find("summary"); summary != module.end()) {
        if (!summary->is_string())
            named.fail("'summary' must be a string");
        described.summary = summary->get<std::string>();
    }
    json const& pins = required(module, "pins", named);
    if (!pins.is_array())
        named.fail("'pins' must be an array");
    for (std::size_t i = 0; i < pins.size(); ++i)
        described.pins.push_back(readPin(pins[i], named.within("pin entry " + std::to_string(i))));
    orderAndCheckPins(described.pins, named);
    checkRepeatablePin(described.pins, named);
    return described;
}

json parseJson(std::string_view text, Location const& where) {
    try {
        return json::parse(text);
    } catch (json::parse_error const& e) {
        where.fail("not valid JSON at byte " + std::to_string(e.byte) + ": " + jsonErrorReason(e.what()));
    }
}

} // namespace

ModuleDescriptions ModuleDescriptions::parse(std::string_view jsonText, std::string const& sourceName) {
    Location const source = {sourceName, ""};
    json const root = parseJson(jsonText, source);
    if (!root.is_object())
        source.fail("the top level must be an object");
    rejectUnknownKeys(root, {"modules"}, source);
    json const& modules = required(root, "modules", source);
    if (!modules.is_array())
        source.fail("'modules' must be an array");

    ModuleDescriptions descriptions;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        ModuleDescription module = readModule(modules[i], source.within("module " + std::to_string(i)));
        if (descriptions.find(module.id))
            source.fail("module " + std::to_string(i) + ": '" + module.idText() + "' is described twice");
        descriptions.modules_.push_back(std::move(module));
    }
    return descriptions;
}

ModuleDescriptions ModuleDescriptions::load(std::filesystem::path const& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error(path.string() + ": cannot open");
    std::ostringstream content;
    content << file.rdbuf();
    return parse(content.str(), path.string());
}

ModuleDescription const* ModuleDescriptions::find(std::wstring_view id) const {
    for (ModuleDescription const& module : modules_)
        if (module.id == id)
            return &module;
    return nullptr;
}

} // namespace zr::host
