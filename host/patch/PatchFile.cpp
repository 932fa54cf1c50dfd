#include "host/patch/PatchFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>

#include <nlohmann/json.hpp>

#include "host/ModuleDescriptions.h"
#include "host/PinValueEncoding.h"
#include "host/TextConversion.h"
#include "host/patch/NearestNames.h"
#include "shapes/Shape.h"

namespace zr::host {
namespace {

using json = nlohmann::ordered_json; // modules are added in the order the file lists them

constexpr int32_t kLargestBlock = 4096;
constexpr double kLongestDuration = 86400.0; // a day: renders stream to disk, so the limit only catches a wrong unit

// Thrown inside the loader with the place in the patch; the loader adds the file's name.
struct Fault {
    std::string place;
    std::string message;
};

[[noreturn]] void fault(std::string const& place, std::string const& message) { throw Fault{place, message}; }

std::string readText(std::filesystem::path const& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw PatchError("cannot read patch file " + path.string() + ": no such file, or not readable");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> readBytes(std::filesystem::path const& path, std::string const& place) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        fault(place, "cannot read " + path.string() + ": no such file, or not readable");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> imageOf(Shape const& shape) {
    auto const* bytes = static_cast<uint8_t const*>(shape.blobData());
    return {bytes, bytes + shape.blobSize()};
}

// nlohmann's reason without its own prefix and position, which the caller gives as line:column.
std::string parseReason(std::string const& what) {
    size_t const column = what.find("column ");
    size_t const colon = what.find(": ", column == std::string::npos ? 0 : column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

PatchError malformed(std::string const& sourceName, std::string_view text, json::parse_error const& error) {
    size_t const end = std::min<size_t>(error.byte == 0 ? 0 : error.byte - 1, text.size());
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return PatchError(sourceName + ":" + std::to_string(line) + ":" + std::to_string(column) +
                      ": malformed JSON: " + parseReason(error.what()));
}

void onlyKeys(json const& object, std::string const& place, std::set<std::string> const& allowed) {
    if (!object.is_object())
        fault(place, "expected a JSON object");
    for (auto const& [key, value] : object.items())
        if (!allowed.contains(key))
            fault(place.empty() ? key : place + "." + key,
                  "unknown key; expected one of: " + joinNames({allowed.begin(), allowed.end()}));
}

double numberAt(json const& object, std::string const& key, std::string const& place, double fallback, bool required = false) {
    if (!object.contains(key)) {
        if (required)
            fault(place, "'" + key + "' is missing");
        return fallback;
    }
    json const& value = object.at(key);
    if (!value.is_number())
        fault(place.empty() ? key : place + "." + key, "expected a number");
    return value.get<double>();
}

std::string textAt(json const& object, std::string const& key, std::string const& place) {
    if (!object.contains(key))
        fault(place, "'" + key + "' is missing");
    if (!object.at(key).is_string())
        fault(place + "." + key, "expected a text");
    return object.at(key).get<std::string>();
}

class Loader {
public:
    Loader(Bundle& bundle, ModuleDescriptions const& descriptions, std::filesystem::path baseDirectory)
        : bundle_(bundle), descriptions_(descriptions), base_(std::move(baseDirectory)) {}

    LoadedPatch load(json const& root) {
        onlyKeys(root, "", {"sampleRate", "blockSize", "duration", "modules", "connections", "sources", "changes",
                            "outputs"});
        readTiming(root);
        AudioModuleOptions options;
        options.sampleRate = result_.sampleRate;
        options.maxBlockSize = result_.blockSize;
        result_.patch = std::make_unique<Patch>(bundle_, descriptions_, options);
        if (!root.contains("modules") || !root.at("modules").is_object() || root.at("modules").empty())
            fault("modules", "a patch needs an object of modules by name");
        for (auto const& [name, module] : root.at("modules").items())
            addModule(name, module);
        for (size_t i = 0; i < listAt(root, "connections").size(); ++i)
            connect(root.at("connections").at(i), "connections[" + std::to_string(i) + "]");
        startPatch();
        for (auto const& [name, module] : root.at("modules").items())
            if (module.contains("pins"))
                setInitialValues(name, module.at("pins"), "modules." + name + ".pins");
        readSources(root);
        for (size_t i = 0; i < listAt(root, "changes").size(); ++i)
            readChange(root.at("changes").at(i), "changes[" + std::to_string(i) + "]");
        std::stable_sort(result_.changes.begin(), result_.changes.end(),
                         [](TimedChange const& a, TimedChange const& b) { return a.sample < b.sample; });
        readOutputs(root);
        return std::move(result_);
    }

private:
    static json const& listAt(json const& root, std::string const& key) {
        static json const none = json::array();
        if (!root.contains(key))
            return none;
        if (!root.at(key).is_array())
            fault(key, "expected a list");
        return root.at(key);
    }

    void readTiming(json const& root) {
        double const rate = numberAt(root, "sampleRate", "", 48000.0);
        if (!(rate >= 8000.0 && rate <= 384000.0) || rate != std::floor(rate))
            fault("sampleRate", "expected a whole number of Hz from 8000 to 384000");
        double const block = numberAt(root, "blockSize", "", 64.0);
        if (!(block >= 1.0 && block <= kLargestBlock) || block != std::floor(block))
            fault("blockSize", "expected a whole number of samples from 1 to " + std::to_string(kLargestBlock));
        double const duration = numberAt(root, "duration", "", 0.0, true);
        if (!(duration > 0.0 && duration <= kLongestDuration))
            fault("duration", "expected seconds above 0 and at most " + std::to_string(int(kLongestDuration)));
        result_.sampleRate = static_cast<float>(rate);
        result_.blockSize = static_cast<int32_t>(block);
        result_.totalSamples = static_cast<int64_t>(std::llround(duration * rate));
    }

    void addModule(std::string const& name, json const& module) {
        std::string const place = "modules." + name;
        if (name.empty() || name.find('.') != std::string::npos)
            fault(place, "module names must be non-empty and contain no '.'");
        onlyKeys(module, place, {"id", "copies", "pins"});
        std::string const id = textAt(module, "id", place);
        if (!descriptions_.find(wideFromUtf8(id))) {
            std::vector<std::string> known;
            for (ModuleDescription const& described : descriptions_.all())
                if (described.subType == 0)
                    known.push_back(described.idText());
            fault(place + ".id", "unknown module identifier '" + id + "'; nearest known: " +
                                     joinNames(nearestNames(id, known)));
        }
        std::optional<int32_t> copies;
        if (module.contains("copies")) {
            double const given = numberAt(module, "copies", place, 1.0);
            if (!(given >= 0.0 && given <= 64.0) || given != std::floor(given))
                fault(place + ".copies", "expected a whole number from 0 to 64");
            copies = static_cast<int32_t>(given);
        }
        try {
            result_.patch->add(name, wideFromUtf8(id), copies);
        } catch (std::exception const& error) {
            fault(place, error.what());
        }
    }

    PinAddress address(json const& value, std::string const& place) const {
        if (!value.is_string())
            fault(place, "expected \"module.pin\"");
        std::string const text = value.get<std::string>();
        size_t const dot = text.find('.');
        if (dot == std::string::npos)
            fault(place, "'" + text + "' is not \"module.pin\"");
        PinAddress pin{text.substr(0, dot), text.substr(dot + 1)};
        describedPin(pin, place);
        return pin;
    }

    PinDescription const& describedPin(PinAddress const& pin, std::string const& place) const {
        std::vector<std::string> const names = result_.patch->names();
        if (std::find(names.begin(), names.end(), pin.module) == names.end())
            fault(place, "the patch has no module named '" + pin.module + "'; its modules: " + joinNames(names));
        ModuleDescription const& description = *result_.patch->module(pin.module).description();
        if (PinDescription const* found = description.findPin(pin.pin))
            return *found;
        std::vector<std::string> pins;
        for (PinDescription const& described : description.pins)
            pins.push_back(described.name);
        fault(place, description.idText() + " '" + pin.module + "' has no pin named '" + pin.pin +
                         "'; its pins: " + joinNames(pins));
    }

    void connect(json const& wire, std::string const& place) {
        onlyKeys(wire, place, {"from", "to"});
        if (!wire.contains("from") || !wire.contains("to"))
            fault(place, "a connection needs \"from\": \"module.output\" and \"to\": \"module.input\"");
        PinAddress const from = address(wire.at("from"), place + ".from");
        PinAddress const to = address(wire.at("to"), place + ".to");
        try {
            result_.patch->connect(from.module, from.pin, to.module, to.pin);
        } catch (std::exception const& error) {
            fault(place, error.what());
        }
    }

    void startPatch() {
        try {
            result_.patch->start();
        } catch (std::exception const& error) {
            fault("connections", error.what());
        }
    }

    // Shapes come as {"shape": text}, {"blobFile": path} or {"shapeFile": path}: each
    // becomes the blob image, which blob pins and the shape-carrying text pins take.
    std::vector<uint8_t> shapeValue(json const& value, std::string const& place) const {
        onlyKeys(value, place, {"shape", "blobFile", "shapeFile"});
        if (value.size() != 1)
            fault(place, "give one of shape, blobFile or shapeFile");
        if (value.contains("shape")) {
            Shape shape;
            shape.setString(wideFromUtf8(textAt(value, "shape", place)));
            if (shape.invalid)
                fault(place + ".shape", "not a shape text (write nodes as (x,y) in volts, x from -5 to 5)");
            return imageOf(shape);
        }
        if (value.contains("blobFile"))
            return readBytes(base_ / textAt(value, "blobFile", place), place + ".blobFile");
        std::filesystem::path const path = base_ / textAt(value, "shapeFile", place);
        readBytes(path, place + ".shapeFile"); // a missing file is named as such
        Shape shape;
        shape.loadShp(path.wstring());
        if (shape.invalid)
            fault(place + ".shapeFile", path.string() + " is not a shape file (a shape text, then a line ITP=mode)");
        return imageOf(shape);
    }

    PinValue pinValue(PinAddress const& pin, json const& value, std::string const& place) const {
        PinDescription const& described = describedPin(pin, place);
        if (!described.isInput())
            fault(place, "'" + pin.text() + "' is an output; only inputs take values");
        PinValue result;
        if (described.isAudio()) {
            if (!value.is_number() || result_.patch->isWired(pin.module, pin.pin))
                fault(place, "the audio input '" + pin.text() + "' takes a level in volts only when no wire feeds it");
            result.isAudioLevel = true;
            result.volts = value.get<float>();
            return result;
        }
        if (value.is_object()) {
            if (described.datatype != gmpi::MP_BLOB && described.datatype != gmpi::MP_STRING)
                fault(place, "a shape goes to a blob or text pin; '" + pin.text() + "' is not one");
            result.bytes = shapeValue(value, place);
            return result;
        }
        try {
            result.bytes = encodePinValue(described.datatype, nlohmann::json(value));
        } catch (std::exception const& error) {
            fault(place, error.what());
        }
        return result;
    }

    void apply(PinAddress const& pin, PinValue const& value, int32_t time) {
        if (!value.isAudioLevel)
            result_.patch->setBytes(pin.module, pin.pin, time, value.bytes);
    }

    void setInitialValues(std::string const& name, json const& pins, std::string const& place) {
        if (!pins.is_object())
            fault(place, "expected an object of pin values by pin name");
        for (auto const& [pinName, value] : pins.items()) {
            PinAddress const pin{name, pinName};
            PinValue const resolved = pinValue(pin, value, place + "." + pinName);
            if (resolved.isAudioLevel)
                initialLevels_.push_back({pin, AudioSource::constant(resolved.volts)});
            apply(pin, resolved, 0);
        }
    }

    AudioSource readSource(json const& given, std::string const& place) const {
        if (given.is_number())
            return AudioSource::constant(given.get<float>());
        onlyKeys(given, place, {"type", "level", "amplitude", "frequency", "from", "to", "seconds", "seed", "file",
                                "channel"});
        std::string const type = textAt(given, "type", place);
        AudioSource source;
        source.level = static_cast<float>(numberAt(given, "level", place, 0.0));
        source.amplitude = static_cast<float>(numberAt(given, "amplitude", place, 5.0));
        if (type == "constant") {
            source.kind = AudioSource::Kind::Constant;
        } else if (type == "sine") {
            source.kind = AudioSource::Kind::Sine;
            source.frequency = numberAt(given, "frequency", place, 0.0, true);
        } else if (type == "noise") {
            source.kind = AudioSource::Kind::Noise;
            source.seed = static_cast<uint32_t>(numberAt(given, "seed", place, 1.0));
        } else if (type == "ramp") {
            source.kind = AudioSource::Kind::Ramp;
            source.from = static_cast<float>(numberAt(given, "from", place, 0.0, true));
            source.to = static_cast<float>(numberAt(given, "to", place, 0.0, true));
            source.seconds = numberAt(given, "seconds", place, 0.0, true);
        } else if (type == "wav") {
            source.kind = AudioSource::Kind::File;
            std::filesystem::path const path = base_ / textAt(given, "file", place);
            try {
                source.samples = readWavChannel(path, static_cast<int>(numberAt(given, "channel", place, 0.0)),
                                                result_.sampleRate);
            } catch (std::exception const& error) {
                fault(place + ".file", error.what());
            }
        } else {
            fault(place + ".type", "unknown source type '" + type + "'; expected constant, sine, noise, ramp or wav");
        }
        return source;
    }

    // Every unwired audio input gets a source: the one given, else a level given among the
    // pin values, else silence. Streaming states tell the modules which ones change.
    void readSources(json const& root) {
        json const none = json::object();
        json const& given = root.contains("sources") ? root.at("sources") : none;
        if (!given.is_object())
            fault("sources", "expected an object of sources by \"module.pin\"");
        for (auto const& [key, value] : given.items()) {
            std::string const place = "sources." + key;
            PinAddress const pin = address(json(key), place);
            PinDescription const& described = describedPin(pin, place);
            if (!described.isAudio() || !described.isInput())
                fault(place, "'" + key + "' is not an audio input");
            if (result_.patch->isWired(pin.module, pin.pin))
                fault(place, "'" + key + "' is fed by a connection already");
            result_.inputs.push_back({pin, readSource(value, place)});
        }
        for (SourcedInput const& level : initialLevels_)
            if (!hasSource(level.pin))
                result_.inputs.push_back(level);
        for (std::string const& name : result_.patch->names())
            for (PinDescription const& described : result_.patch->module(name).description()->pins)
                if (described.isAudio() && described.isInput() && !result_.patch->isWired(name, described.name) &&
                    !hasSource({name, described.name}))
                    result_.inputs.push_back({{name, described.name}, AudioSource::constant(0.0f)});
        for (SourcedInput const& input : result_.inputs) {
            AudioModule& module = result_.patch->module(input.pin.module);
            int32_t const index = module.description()->pinByName(input.pin.pin).index;
            if (input.source.varies())
                module.startStream(index, 0);
            else
                module.stopStream(index, 0);
        }
    }

    bool hasSource(PinAddress const& pin) const {
        return std::any_of(result_.inputs.begin(), result_.inputs.end(), [&](SourcedInput const& input) {
            return input.pin.module == pin.module && input.pin.pin == pin.pin;
        });
    }

    void readChange(json const& change, std::string const& place) {
        onlyKeys(change, place, {"at", "set", "to"});
        double const at = numberAt(change, "at", place, 0.0, true);
        if (!(at >= 0.0))
            fault(place + ".at", "expected seconds from 0");
        if (!change.contains("set") || !change.contains("to"))
            fault(place, "a change needs \"set\": \"module.pin\" and \"to\": a value");
        PinAddress const pin = address(change.at("set"), place + ".set");
        int64_t const sample = static_cast<int64_t>(std::llround(at * result_.sampleRate));
        result_.changes.push_back({sample, pin, pinValue(pin, change.at("to"), place + ".to")});
    }

    void readOutputs(json const& root) {
        json const& outputs = listAt(root, "outputs");
        if (outputs.empty())
            fault("outputs", "name at least one audio output, as \"module.pin\", for the file's channels");
        for (size_t i = 0; i < outputs.size(); ++i) {
            std::string const place = "outputs[" + std::to_string(i) + "]";
            PinAddress const pin = address(outputs.at(i), place);
            PinDescription const& described = describedPin(pin, place);
            if (!described.isAudio() || described.isInput())
                fault(place, "'" + pin.text() + "' is not an audio output");
            result_.outputs.push_back(pin);
        }
    }

    Bundle& bundle_;
    ModuleDescriptions const& descriptions_;
    std::filesystem::path base_;
    LoadedPatch result_;
    std::vector<SourcedInput> initialLevels_;
};

} // namespace

LoadedPatch loadPatch(Bundle& bundle, ModuleDescriptions const& descriptions, std::string_view jsonText,
                      std::filesystem::path const& baseDirectory, std::string const& sourceName) {
    json root;
    try {
        root = json::parse(jsonText, nullptr, true, true);
    } catch (json::parse_error const& error) {
        throw malformed(sourceName, jsonText, error);
    }
    try {
        return Loader(bundle, descriptions, baseDirectory).load(root);
    } catch (Fault const& error) {
        throw PatchError(sourceName + ": " + (error.place.empty() ? "" : error.place + ": ") + error.message);
    }
}

LoadedPatch loadPatchFile(Bundle& bundle, ModuleDescriptions const& descriptions, std::filesystem::path const& path) {
    return loadPatch(bundle, descriptions, readText(path), path.parent_path(), path.string());
}

} // namespace zr::host
