#include "host/patch/PatchFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <cctype>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "host/JsonErrorText.h"
#include "host/ModuleDescriptions.h"
#include "host/PinValueEncoding.h"
#include "host/SettingRules.h"
#include "host/TextConversion.h"
#include "host/patch/NearestNames.h"
#include "host/patch/Sequencing.h"
#include "host/patch/ShapeValues.h"
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

// A shape file's content or a blob image's bytes, read for the place that names the file.
std::string readShapeFileAt(std::filesystem::path const& path, std::string const& place) {
    try {
        return readShapeInput(path);
    } catch (ShapeInputError const& error) {
        fault(place, error.what());
    }
}

bool isHexImage(std::string const& text) {
    return !text.empty() && text.size() % 2 == 0 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// A shape as the patch gives it, before it is put into the form its pin takes.
struct GivenShape {
    Shape shape;
    std::optional<std::string> text; // the text as given, when it came as text
    std::optional<int32_t> mode;     // the mode a shape file names
};

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
                      ": malformed JSON: " + jsonErrorReason(error.what()));
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
    Loader(Bundle& bundle, ModuleDescriptions const& descriptions, std::filesystem::path baseDirectory,
           PatchOverrides const& overrides)
        : bundle_(bundle), descriptions_(descriptions), base_(std::move(baseDirectory)), overrides_(overrides) {}

    LoadedPatch load(json const& root) {
        onlyKeys(root, "", {"sampleRate", "blockSize", "duration", "modules", "connections", "sources", "changes",
                            "notes", "midi", "outputs"});
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
        applySettings();
        readSources(root);
        for (size_t i = 0; i < listAt(root, "changes").size(); ++i)
            readChange(root.at("changes").at(i), "changes[" + std::to_string(i) + "]");
        readNoteSections(root);
        readMidiSection(root);
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

    void warn(std::string const& place, std::string const& message) {
        result_.warnings.push_back((place.empty() ? "" : place + ": ") + message);
    }

    double secondsOfEnd() const { return static_cast<double>(result_.totalSamples) / result_.sampleRate; }

    void readTiming(json const& root) {
        double const rate = overrides_.sampleRate.value_or(numberAt(root, "sampleRate", "", 48000.0));
        std::string const ratePlace = overrides_.sampleRate ? "-r" : "sampleRate";
        if (!(rate >= 8000.0 && rate <= 384000.0) || rate != std::floor(rate))
            fault(ratePlace, "expected a whole number of Hz from 8000 to 384000");
        double const block = numberAt(root, "blockSize", "", 64.0);
        if (!(block >= 1.0 && block <= kLargestBlock) || block != std::floor(block))
            fault("blockSize", "expected a whole number of samples from 1 to " + std::to_string(kLargestBlock));
        double const duration = overrides_.duration.value_or(numberAt(root, "duration", "", 0.0, !overrides_.duration));
        if (!(duration > 0.0 && duration <= kLongestDuration))
            fault(overrides_.duration ? "--duration" : "duration",
                  "expected seconds above 0 and at most " + std::to_string(int(kLongestDuration)));
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
        ModuleDescription const* description = descriptions_.find(wideFromUtf8(id));
        if (!description || description->subType != 0) {
            std::vector<std::string> known;
            for (ModuleDescription const& described : descriptions_.all())
                if (described.subType == 0)
                    known.push_back(described.idText());
            fault(place + ".id", (description ? "'" + id + "' is a user-interface module, which a patch cannot run; nearest audio modules: "
                                              : "unknown module identifier '" + id + "'; nearest known: ") +
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

    ModuleDescription const& moduleOf(PinAddress const& pin) const {
        return *result_.patch->module(pin.module).description();
    }

    PinDescription const& describedPin(PinAddress const& pin, std::string const& place) const {
        std::vector<std::string> const names = result_.patch->names();
        if (std::find(names.begin(), names.end(), pin.module) == names.end())
            fault(place, "the patch has no module named '" + pin.module + "'; its modules: " + joinNames(names));
        ModuleDescription const& description = moduleOf(pin);
        if (PinDescription const* found = description.findPin(pin.pin))
            return *found;
        std::vector<std::string> pins;
        for (PinDescription const& described : description.pins)
            pins.push_back(described.name);
        fault(place, description.idText() + " '" + pin.module + "' has no pin named '" + pin.pin +
                         "'; its pins: " + joinNames(pins));
    }

    void connect(json const& wire, std::string const& place) {
        onlyKeys(wire, place, {"from", "to", "delay"});
        if (!wire.contains("from") || !wire.contains("to"))
            fault(place, "a connection needs \"from\": \"module.output\" and \"to\": \"module.input\"");
        PinAddress const from = address(wire.at("from"), place + ".from");
        PinAddress const to = address(wire.at("to"), place + ".to");
        bool const delayed = wire.contains("delay");
        if (delayed && wire.at("delay") != "block")
            fault(place + ".delay", "the one delay a connection takes is \"block\": one block, which lets it close a feedback loop");
        ShapeForm const sends = describedPin(from, place + ".from").shapeForm;
        ShapeForm const takes = describedPin(to, place + ".to").shapeForm;
        if (sends != ShapeForm::none && takes != ShapeForm::none && sends != takes)
            fault(place, from.text() + " -> " + to.text() + ": " + from.text() + " sends " + shapeFormName(sends) + " and " +
                             to.text() + " takes " + shapeFormName(takes) + "; a wire passes bytes as they are" +
                             (sends == ShapeForm::text ? ", so convert the text with a ZR_ShapeStr2BLOB module between them"
                                                       : ", and no audio module turns a blob image into text"));
        try {
            result_.patch->connect(from.module, from.pin, to.module, to.pin, delayed);
        } catch (std::exception const& error) {
            fault(place, error.what());
        }
    }

    void startPatch() {
        try {
            result_.patch->start();
        } catch (std::exception const& error) {
            fault("connections", error.what() + std::string(delayCycleHint()));
        }
    }

    static char const* delayCycleHint() {
        return "; to feed a signal back, give one of these connections \"delay\": \"block\"";
    }

    // {"shape": text}, {"blobFile": path} or {"shapeFile": path}, read and checked.
    GivenShape shapeObject(json const& value, std::string const& place) const {
        onlyKeys(value, place, {"shape", "blobFile", "shapeFile"});
        if (value.size() != 1)
            fault(place, "give one of shape, blobFile or shapeFile");
        try {
            if (value.contains("shape")) {
                std::string const text = textAt(value, "shape", place);
                return {shapeOfText(text), text, {}};
            }
            if (value.contains("blobFile")) {
                std::filesystem::path const path = base_ / textAt(value, "blobFile", place);
                std::string const bytes = readShapeFileAt(path, place + ".blobFile");
                return {shapeOfImage({reinterpret_cast<uint8_t const*>(bytes.data()), bytes.size()}), {}, {}};
            }
            std::filesystem::path const path = base_ / textAt(value, "shapeFile", place);
            Shape const shape = shapeOfFileContent(readShapeFileAt(path, place + ".shapeFile"));
            return {shape, {}, shape.interpolation};
        } catch (ShapeInputError const& error) {
            fault(place + "." + value.begin().key(), error.what());
        }
    }

    // A plain value for a shape pin: a shape text, the blob image in hexadecimal digits, or
    // its bytes as a list. "" stays empty: no shape, which leaves the module's own.
    GivenShape plainShape(json const& value, std::string const& place, PinAddress const& pin) const {
        try {
            if (value.is_string() && !isHexImage(value.get<std::string>())) {
                std::string const text = value.get<std::string>();
                return {shapeOfText(text), text, {}};
            }
            if (value.is_string() || value.is_array()) {
                std::vector<uint8_t> const bytes = encodePinValue(gmpi::MP_BLOB, nlohmann::json(value));
                return {shapeOfImage(bytes), {}, {}};
            }
        } catch (std::invalid_argument const& error) {
            fault(place, error.what());
        }
        fault(place, "'" + pin.text() + "' takes a shape: a text such as \"(-5,0)(5,0)\", { \"shape\": text }, "
                                         "{ \"blobFile\": path } or { \"shapeFile\": path }");
    }

    // The shape in the form `form` its pin takes: a text becomes an image exactly; an image
    // becomes a text only when the text reads back as the same nodes.
    std::vector<uint8_t> shapeBytes(GivenShape const& given, ShapeForm form, PinAddress const& pin, std::string const& place) const {
        if (form == ShapeForm::image)
            return imageOf(given.shape);
        std::optional<std::string> const text = given.text ? given.text : exactTextOf(given.shape);
        if (!text)
            fault(place, "'" + pin.text() + "' takes a shape text, and this blob image's nodes lie closer than a text can "
                                             "tell apart; give the shape as text");
        return encodePinValue(gmpi::MP_STRING, nlohmann::json(*text));
    }

    std::string shapePinsOf(ModuleDescription const& module) const {
        std::vector<std::string> pins;
        for (PinDescription const& described : module.pins)
            if (described.isInput() && described.shapeForm != ShapeForm::none)
                pins.push_back(described.name + " (" + shapeFormName(described.shapeForm) + ")");
        return pins.empty() ? "it has none" : "its shape inputs: " + joinNames(pins);
    }

    // Applies a setting rule: a refusal stops the load, a warning is kept for the user.
    void checkRule(PinAddress const& pin, PinDescription const& described, json const& value, std::string const& place,
                   std::optional<int32_t> nodeCount) {
        SettingVerdict const verdict = checkSetting(moduleOf(pin), described, nlohmann::json(value), nodeCount);
        if (verdict.kind == SettingVerdict::Kind::Refuse)
            fault(place, verdict.message);
        if (verdict.kind == SettingVerdict::Kind::Warn)
            warn(place, verdict.message);
    }

    PinValue pinValue(PinAddress const& pin, json const& value, std::string const& place,
                      std::optional<int32_t> nodeCount = {}) {
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
        ShapeForm const form = described.shapeForm;
        if (form != ShapeForm::none) {
            if (value.is_string() && value.get_ref<std::string const&>().empty())
                return result; // no shape: the module keeps its own
            GivenShape const given = value.is_object() ? shapeObject(value, place) : plainShape(value, place, pin);
            result.bytes = shapeBytes(given, form, pin, place);
            if (given.mode)
                lastFileMode_ = *given.mode;
            return result;
        }
        if (value.is_object())
            fault(place, "'" + pin.text() + "' takes no shape; " + shapePinsOf(moduleOf(pin)));
        checkRule(pin, described, value, place, nodeCount);
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

    // The node count of the shape a module is given at the start, when no wire feeds its
    // shape: what its node index pins are checked against.
    std::optional<int32_t> knownNodeCount(std::string const& name, json const& pins) const {
        if (!pins.contains("Shape") || result_.patch->isWired(name, "Shape"))
            return std::nullopt;
        ModuleDescription const& module = *result_.patch->module(name).description();
        PinDescription const* shapePin = module.findPin("Shape");
        if (!shapePin || shapePin->shapeForm == ShapeForm::none)
            return std::nullopt;
        auto const& bytes = initialShapes_.find(name);
        if (bytes == initialShapes_.end() || bytes->second.empty())
            return std::nullopt;
        Shape shape;
        if (shapePin->shapeForm == ShapeForm::image)
            shape.readBlob(bytes->second.data(), static_cast<int32_t>(bytes->second.size()));
        else
            shape.setString(std::wstring(reinterpret_cast<wchar_t const*>(bytes->second.data()), bytes->second.size() / sizeof(wchar_t)));
        return shape.invalid ? std::nullopt : std::optional<int32_t>(shape.nodeCount);
    }

    void setInitialValue(std::string const& name, std::string const& pinName, json const& value, std::string const& place,
                         std::optional<int32_t> nodeCount) {
        PinAddress const pin{name, pinName};
        lastFileMode_.reset();
        PinValue const resolved = pinValue(pin, value, place, nodeCount);
        if (resolved.isAudioLevel) {
            std::erase_if(initialLevels_, [&](SourcedInput const& level) { return level.pin.text() == pin.text(); });
            initialLevels_.push_back({pin, AudioSource::constant(resolved.volts)});
        }
        apply(pin, resolved, 0);
        if (pinName == "Shape" && !resolved.isAudioLevel)
            initialShapes_[name] = resolved.bytes;
        if (lastFileMode_)
            applyFileMode(pin, *lastFileMode_, place, 0, setModes_.contains(name));
    }

    // A shape file names its interpolation mode; a module with an Interpolation pin that the
    // patch leaves unset takes it, and a different mode set in the patch is pointed out.
    void applyFileMode(PinAddress const& shapePin, int32_t mode, std::string const& place, int64_t sample, bool modeSetInPatch) {
        ModuleDescription const& module = moduleOf(shapePin);
        PinDescription const* modePin = module.findPin("Interpolation");
        PinAddress const modeAddress{shapePin.module, "Interpolation"};
        if (!modePin || !takesInterpolationModes(module, *modePin)) {
            warn(place, "the shape file's ITP=" + std::to_string(mode) + " is not applied: " + module.idText() +
                            " has no Interpolation pin that takes the modes 0, 10, 20 and 30");
            return;
        }
        if (modeSetInPatch) {
            result_.remarks.push_back(place + ": the shape file's ITP=" + std::to_string(mode) +
                                      " gives way to the Interpolation the patch sets");
            return;
        }
        PinValue value;
        value.bytes = encodePinValue(modePin->datatype, mode);
        if (sample == 0)
            apply(modeAddress, value, 0);
        else
            result_.changes.push_back({sample, modeAddress, value});
        result_.remarks.push_back(place + ": " + modeAddress.text() + " takes the shape file's ITP=" + std::to_string(mode));
    }

    void setInitialValues(std::string const& name, json const& pins, std::string const& place) {
        if (!pins.is_object())
            fault(place, "expected an object of pin values by pin name");
        if (pins.contains("Interpolation"))
            setModes_.insert(name);
        // Shapes first, so that node indices are checked against the shape they pick from.
        for (auto const& [pinName, value] : pins.items())
            if (pinName == "Shape")
                setInitialValue(name, pinName, value, place + "." + pinName, std::nullopt);
        std::optional<int32_t> const nodeCount = knownNodeCount(name, pins);
        for (auto const& [pinName, value] : pins.items())
            if (pinName != "Shape")
                setInitialValue(name, pinName, value, place + "." + pinName, nodeCount);
    }

    // --set MODULE.PIN=VALUE: after the patch's own values, as if the patch gave them.
    void applySettings() {
        for (std::string const& setting : overrides_.settings) {
            std::string const place = "--set " + setting;
            size_t const equals = setting.find('=');
            if (equals == std::string::npos)
                fault(place, "expected MODULE.PIN=VALUE, e.g. --set osc.Interpolation=20");
            PinAddress const pin = address(json(setting.substr(0, equals)), place);
            std::string const text = setting.substr(equals + 1);
            json value = json::parse(text, nullptr, false);
            if (value.is_discarded())
                value = text; // a bare text, such as a shape text
            if (pin.pin == "Interpolation")
                setModes_.insert(pin.module);
            setInitialValue(pin.module, pin.pin, value, place, std::nullopt);
        }
    }

    AudioSource readSource(json const& given, std::string const& place) {
        if (given.is_number())
            return AudioSource::constant(given.get<float>());
        if (given.is_object() && given.contains("jack"))
            return externalSource(given, place);
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
            double const seed = numberAt(given, "seed", place, 1.0);
            if (!(seed >= 0.0 && seed <= 4294967295.0) || seed != std::floor(seed))
                fault(place + ".seed", "expected a whole number from 0 to 4294967295");
            source.seed = static_cast<uint32_t>(seed);
        } else if (type == "ramp") {
            source.kind = AudioSource::Kind::Ramp;
            source.from = static_cast<float>(numberAt(given, "from", place, 0.0, true));
            source.to = static_cast<float>(numberAt(given, "to", place, 0.0, true));
            source.seconds = numberAt(given, "seconds", place, 0.0, true);
        } else if (type == "wav") {
            source.kind = AudioSource::Kind::File;
            source.samples = readWav(given, place);
        } else {
            fault(place + ".type", "unknown source type '" + type + "'; expected constant, sine, noise, ramp or wav");
        }
        return source;
    }

    // {"jack": "in_1"}: an input port of that name when the patch plays live; silence offline.
    AudioSource externalSource(json const& given, std::string const& place) {
        onlyKeys(given, place, {"jack"});
        std::string const name = textAt(given, "jack", place);
        if (name.empty() || name.find(':') != std::string::npos)
            fault(place + ".jack", "expected a port name without ':', such as \"in_1\"");
        for (SourcedInput const& input : result_.inputs)
            if (input.source.kind == AudioSource::Kind::External && input.source.externalName == name)
                fault(place + ".jack", "the port '" + name + "' feeds " + input.pin.text() + " already");
        AudioSource source;
        source.kind = AudioSource::Kind::External;
        source.externalName = name;
        result_.remarks.push_back(place + ": the JACK input '" + name + "' is silent when the patch is rendered offline");
        return source;
    }

    std::vector<float> readWav(json const& given, std::string const& place) {
        std::filesystem::path const path = base_ / textAt(given, "file", place);
        double const channel = numberAt(given, "channel", place, 0.0);
        if (!(channel >= 0.0 && channel <= 1024.0) || channel != std::floor(channel))
            fault(place + ".channel", "expected a channel number from 0");
        int fileRate = 0;
        std::vector<float> samples;
        try {
            samples = readWavChannel(path, static_cast<int>(channel), result_.sampleRate, &fileRate);
        } catch (std::exception const& error) {
            fault(place + ".file", error.what());
        }
        if (static_cast<float>(fileRate) != result_.sampleRate)
            result_.remarks.push_back(place + ".file: " + path.string() + " converted from " + std::to_string(fileRate) +
                                      " Hz to the patch's " + std::to_string(static_cast<int>(result_.sampleRate)) + " Hz");
        return samples;
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

    std::vector<double> timesOf(json const& entry, std::string const& place) const {
        try {
            return repeatTimes(entry, place, secondsOfEnd());
        } catch (SequenceError const& error) {
            fault(error.place, error.what());
        }
    }

    int64_t sampleAt(double seconds) const { return static_cast<int64_t>(std::llround(seconds * result_.sampleRate)); }

    // Says how many of an entry's times fall at or after the end, where nothing plays.
    void warnPastTheEnd(std::vector<double> const& times, std::string const& place) {
        if (!overrides_.warnPastTheEnd)
            return;
        auto const late = std::count_if(times.begin(), times.end(), [&](double t) { return sampleAt(t) >= result_.totalSamples; });
        if (late == 0)
            return;
        std::string const where = "at or after the end of the render (" + secondsText(secondsOfEnd()) + "), where nothing plays";
        warn(place, times.size() == 1 ? "it comes " + where
                                      : std::to_string(late) + " of its " + std::to_string(times.size()) + " times come " + where);
    }

    void readChange(json const& change, std::string const& place) {
        onlyKeys(change, place, {"at", "set", "to", "every", "count"});
        std::vector<double> const times = timesOf(change, place);
        if (!change.contains("set") || !change.contains("to"))
            fault(place, "a change needs \"set\": \"module.pin\" and \"to\": a value");
        PinAddress const pin = address(change.at("set"), place + ".set");
        lastFileMode_.reset();
        PinValue const value = pinValue(pin, change.at("to"), place + ".to");
        std::optional<int32_t> const fileMode = lastFileMode_;
        for (double const at : times) {
            result_.changes.push_back({sampleAt(at), pin, value});
            if (fileMode && pin.pin == "Shape")
                applyFileMode(pin, *fileMode, place + ".to", sampleAt(at), setModes_.contains(pin.module));
        }
        warnPastTheEnd(times, place);
    }

    // "notes": a section, or a list of sections, each { "gate": pin, "pitch": pin, "play": [notes] }.
    void readNoteSections(json const& root) {
        if (!root.contains("notes"))
            return;
        json const& notes = root.at("notes");
        if (notes.is_array()) {
            for (size_t i = 0; i < notes.size(); ++i)
                readNoteSection(notes.at(i), "notes[" + std::to_string(i) + "]");
        } else {
            readNoteSection(notes, "notes");
        }
    }

    // What a gate pin is set to when a note starts and ends: true and false for a bool pin,
    // 10 V and 0 V for an audio or float pin, 1 and 0 for a whole number.
    static std::pair<json, json> gateValues(PinDescription const& gate) {
        switch (gate.datatype) {
        case gmpi::MP_BOOL:
            return {true, false};
        case gmpi::MP_AUDIO:
        case gmpi::MP_FLOAT32:
            return {10.0, 0.0};
        default:
            return {1, 0};
        }
    }

    void readNoteSection(json const& section, std::string const& place) {
        onlyKeys(section, place, {"gate", "pitch", "play"});
        if (!section.contains("gate") || !section.contains("play"))
            fault(place, "a notes section needs \"gate\": \"module.pin\", \"play\": [notes], and may name \"pitch\": \"module.pin\"");
        PinAddress const gate = address(section.at("gate"), place + ".gate");
        std::optional<PinAddress> const pitch =
            section.contains("pitch") ? std::optional(address(section.at("pitch"), place + ".pitch")) : std::nullopt;
        std::vector<Note> notes;
        try {
            notes = readNotes(section.at("play"), place + ".play", secondsOfEnd());
        } catch (SequenceError const& error) {
            fault(error.place, error.what());
        }
        auto const [on, off] = gateValues(describedPin(gate, place + ".gate"));
        PinValue const gateOn = pinValue(gate, on, place + ".gate");
        PinValue const gateOff = pinValue(gate, off, place + ".gate");
        std::vector<double> starts;
        for (Note const& note : notes) {
            if (note.pitch && !pitch)
                fault(note.place + ".pitch", "the section names no \"pitch\" pin for this pitch");
            if (note.pitch)
                result_.changes.push_back({sampleAt(note.start), *pitch, pinValue(*pitch, *note.pitch, note.place + ".pitch")});
            result_.changes.push_back({sampleAt(note.start), gate, gateOn});
            result_.changes.push_back({sampleAt(note.end), gate, gateOff});
            starts.push_back(note.start);
        }
        warnPastTheEnd(starts, place + ".play");
    }

    // "midi": { "notes": { "gate": pin, "pitch": pin }, "controllers": { "74": pin, ... } }.
    void readMidiSection(json const& root) {
        if (!root.contains("midi"))
            return;
        json const& section = root.at("midi");
        onlyKeys(section, "midi", {"notes", "controllers"});
        MidiMapping mapping;
        if (section.contains("notes"))
            mapping.notes = readMidiNotes(section.at("notes"), "midi.notes");
        if (section.contains("controllers")) {
            json const& controllers = section.at("controllers");
            if (!controllers.is_object())
                fault("midi.controllers", "expected an object of \"module.pin\" by controller number, e.g. { \"74\": \"morph.Position\" }");
            for (auto const& [number, pin] : controllers.items())
                mapping.controllers.push_back(readController(number, pin, "midi.controllers." + number));
        }
        result_.midi = std::move(mapping);
    }

    MidiNoteMapping readMidiNotes(json const& notes, std::string const& place) {
        onlyKeys(notes, place, {"gate", "pitch"});
        if (!notes.contains("gate"))
            fault(place, "MIDI notes need \"gate\": \"module.pin\", and may name \"pitch\": \"module.pin\"");
        MidiNoteMapping mapping;
        mapping.gate = address(notes.at("gate"), place + ".gate");
        auto const [on, off] = gateValues(describedPin(mapping.gate, place + ".gate"));
        mapping.gateOn = pinValue(mapping.gate, on, place + ".gate");
        mapping.gateOff = pinValue(mapping.gate, off, place + ".gate");
        if (!notes.contains("pitch"))
            return mapping;
        mapping.pitch = address(notes.at("pitch"), place + ".pitch");
        constexpr int kMidiOfA4 = 69;
        constexpr double kVoltsOfA4 = 5.0;
        for (int note = 0; note < 128; ++note)
            mapping.pitchOfNote.push_back(quietPinValue(*mapping.pitch, kVoltsOfA4 + (note - kMidiOfA4) / 12.0, place + ".pitch"));
        if (std::none_of(mapping.pitchOfNote.begin(), mapping.pitchOfNote.end(), [](auto const& value) { return value.has_value(); }))
            fault(place + ".pitch", "'" + mapping.pitch->text() + "' takes no pitch of any MIDI note");
        return mapping;
    }

    // The value of a pin that may refuse it, without a warning per value.
    std::optional<PinValue> quietPinValue(PinAddress const& pin, double value, std::string const& place) {
        size_t const warnings = result_.warnings.size();
        try {
            PinValue const resolved = pinValue(pin, value, place);
            result_.warnings.resize(warnings);
            return resolved;
        } catch (Fault const&) {
            result_.warnings.resize(warnings);
            return std::nullopt;
        }
    }

    MidiControllerMapping readController(std::string const& number, json const& pin, std::string const& place) {
        bool const isNumber = !number.empty() && number.size() <= 3 &&
                              std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!isNumber || std::stoi(number) > 127)
            fault(place, "expected a controller number from 0 to 127");
        MidiControllerMapping mapping;
        mapping.controller = std::stoi(number);
        mapping.pin = address(pin, place);
        PinDescription const& described = describedPin(mapping.pin, place);
        bool const whole = described.datatype == gmpi::MP_INT32 || described.datatype == gmpi::MP_ENUM;
        bool const takesNumbers = whole || described.datatype == gmpi::MP_FLOAT32 || described.datatype == gmpi::MP_AUDIO;
        if (!described.isInput() || !takesNumbers || !described.range.min || !described.range.max)
            fault(place, "'" + mapping.pin.text() + "' is no number input with a range; a controller sweeps a pin's range");
        double const low = *described.range.min;
        double const high = *described.range.max;
        for (int value = 0; value < 128; ++value) {
            double const swept = low + (high - low) * value / 127.0;
            json const given = whole ? json(std::llround(swept)) : json(swept);
            size_t const warnings = result_.warnings.size();
            mapping.valueOf.push_back(pinValue(mapping.pin, given, place));
            result_.warnings.resize(warnings);
        }
        return mapping;
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
    PatchOverrides const& overrides_;
    LoadedPatch result_;
    std::vector<SourcedInput> initialLevels_;
    std::map<std::string, std::vector<uint8_t>> initialShapes_; // by module: the bytes its Shape pin starts with
    std::set<std::string> setModes_;                            // modules whose Interpolation the patch sets
    std::optional<int32_t> lastFileMode_;                       // the mode of the last shape file read
};

} // namespace

LoadedPatch loadPatch(Bundle& bundle, ModuleDescriptions const& descriptions, std::string_view jsonText,
                      std::filesystem::path const& baseDirectory, std::string const& sourceName,
                      PatchOverrides const& overrides) {
    json root;
    try {
        root = json::parse(jsonText, nullptr, true, true);
    } catch (json::parse_error const& error) {
        throw malformed(sourceName, jsonText, error);
    }
    try {
        LoadedPatch loaded = Loader(bundle, descriptions, baseDirectory, overrides).load(root);
        for (std::string& message : loaded.warnings)
            message = sourceName + ": " + message;
        for (std::string& message : loaded.remarks)
            message = sourceName + ": " + message;
        return loaded;
    } catch (Fault const& error) {
        throw PatchError(sourceName + ": " + (error.place.empty() ? "" : error.place + ": ") + error.message);
    }
}

LoadedPatch loadPatchFile(Bundle& bundle, ModuleDescriptions const& descriptions, std::filesystem::path const& path,
                          PatchOverrides const& overrides) {
    return loadPatch(bundle, descriptions, readText(path), path.parent_path(), path.string(), overrides);
}

} // namespace zr::host
