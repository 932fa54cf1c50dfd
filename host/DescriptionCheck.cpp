#include "host/DescriptionCheck.h"

#include <optional>
#include <set>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/DatatypeNames.h"
#include "host/GuiModule.h"
#include "host/PinValueEncoding.h"

namespace zr::host {
namespace {

constexpr int32_t audioSubType = 0;
constexpr int32_t guiSubType = 2;
constexpr int32_t graphStartBlockSize = 64;
constexpr int32_t repeatedPinsChecked = 3;

std::string pinName(PinDescription const& pin) {
    return "pin " + std::to_string(pin.index) + " '" + pin.name + "' (" + std::string(datatypeName(pin.datatype)) +
           (pin.isInput() ? " in)" : " out)");
}

bool sizeFitsDatatype(int32_t datatype, int32_t size) {
    switch (datatype) {
    case gmpi::MP_INT32:
    case gmpi::MP_FLOAT32:
    case gmpi::MP_ENUM:
        return size == 4;
    case gmpi::MP_BOOL:
        return size == 1;
    case gmpi::MP_STRING:
        return size >= 0 && size % 4 == 0;
    case gmpi::MP_BLOB:
    case gmpi::MP_MIDI:
        return size >= 0;
    default:
        return false;
    }
}

bool isNumberPin(int32_t datatype) {
    return datatype == gmpi::MP_INT32 || datatype == gmpi::MP_FLOAT32 || datatype == gmpi::MP_ENUM ||
           datatype == gmpi::MP_AUDIO;
}

void checkRange(PinDescription const& pin, std::vector<std::string>& problems) {
    PinRange const& range = pin.range;
    if (!range.isSet())
        return;
    if (!isNumberPin(pin.datatype)) {
        problems.push_back(pinName(pin) + " has a range, but only int, float, enum and audio pins take one");
        return;
    }
    if (range.min && range.max && *range.min > *range.max)
        problems.push_back(pinName(pin) + " has a range whose min " + numberText(*range.min) + " is above its max " +
                           numberText(*range.max));
    if (pin.defaultValue && pin.defaultValue->is_number() && !range.contains(pin.defaultValue->get<double>()))
        problems.push_back(pinName(pin) + " has the default " + pin.defaultValue->dump() + ", outside its range " +
                           range.text());
    for (auto const& [value, label] : pin.labels)
        if (!range.contains(value))
            problems.push_back(pinName(pin) + " labels the value " + std::to_string(value) + " ('" + label +
                               "'), outside its range " + range.text());
}

void checkShapeForm(PinDescription const& pin, std::vector<std::string>& problems) {
    bool const fits = pin.shapeForm == ShapeForm::none || pin.datatype == gmpi::MP_STRING ||
                      (pin.shapeForm == ShapeForm::image && pin.datatype == gmpi::MP_BLOB);
    if (!fits)
        problems.push_back(pinName(pin) + " carries a shape as " +
                           (pin.shapeForm == ShapeForm::text ? "text" : "an image") + ", which its datatype cannot");
}

// setBuffer answers for every registered pin, whatever its kind. Gives the described pins
// that the module lacks.
std::set<int32_t> checkRegisteredPins(AudioModule& module, ModuleDescription const& description,
                                      std::vector<float>& scratch, std::vector<std::string>& mismatches) {
    std::set<int32_t> missing;
    for (PinDescription const& pin : description.pins) {
        int32_t const result = module.plugin()->setBuffer(pin.index, scratch.data());
        if (result == gmpi::MP_OK)
            continue;
        missing.insert(pin.index);
        mismatches.push_back(pinName(pin) + " is described, but the module does not register it (setBuffer gave " +
                             std::to_string(result) + ")");
    }
    auto const firstUndescribed = static_cast<int32_t>(description.pins.size());
    int32_t const result = module.plugin()->setBuffer(firstUndescribed, scratch.data());
    if (result != gmpi::MP_FAIL)
        mismatches.push_back("pin " + std::to_string(firstUndescribed) +
                             " is not described, but setBuffer on it gave " + std::to_string(result) +
                             " instead of -1");
    return missing;
}

void startGraph(AudioModule& module, ModuleDescription const& description, std::set<int32_t> const& missing) {
    for (PinDescription const& pin : description.pins)
        if (pin.isAudio() && !missing.contains(pin.index))
            module.connectAudio(pin.index, pin.direction);
    module.graphStart(0);
    module.process(graphStartBlockSize);
}

// An audio output tells the host its state at graph start: streaming, or static for a module
// that starts idle (an envelope before its first gate).
void checkAudioOutput(AudioHost const& host, PinDescription const& pin, std::vector<std::string>& mismatches) {
    if (!host.streamingOf(pin.index))
        mismatches.push_back(pinName(pin) + " did not announce streaming or a static state at graph start");
    if (!host.pinSets(pin.index).empty())
        mismatches.push_back(pinName(pin) + " sent a value, as a control pin would");
}

void checkControlOutput(AudioHost const& host, PinDescription const& pin, std::vector<std::string>& mismatches) {
    std::vector<HostRecord> const sent = host.pinSets(pin.index);
    if (sent.empty() && pin.datatype != gmpi::MP_MIDI)
        mismatches.push_back(pinName(pin) + " sent no value at graph start");
    for (HostRecord const& value : sent) {
        if (!sizeFitsDatatype(pin.datatype, value.size))
            mismatches.push_back(pinName(pin) + " sent a value of " + std::to_string(value.size) + " bytes");
        else if (value.size > 0 && value.bytes.empty())
            mismatches.push_back(pinName(pin) + " sent " + std::to_string(value.size) + " bytes from a null pointer");
    }
    if (host.streamingOf(pin.index))
        mismatches.push_back(pinName(pin) + " announced a streaming state, as an audio pin would");
}

// Pins the module lacks were reported already; what they did not send says nothing more.
void checkGraphStartSends(AudioHost const& host, ModuleDescription const& description, std::set<int32_t> const& missing,
                          std::vector<std::string>& mismatches) {
    for (HostRecord const& record : host.records()) {
        if (record.kind == HostCallKind::Sleep)
            continue;
        if (record.pin < 0 || record.pin >= static_cast<int32_t>(description.pins.size()))
            mismatches.push_back("the module sent on pin " + std::to_string(record.pin) + ", which is not described");
        else if (description.pin(record.pin).isInput())
            mismatches.push_back(pinName(description.pin(record.pin)) + " is an input, but the module sent on it");
    }
    for (PinDescription const& pin : description.pins) {
        if (pin.isInput() || missing.contains(pin.index))
            continue;
        if (pin.isAudio())
            checkAudioOutput(host, pin, mismatches);
        else
            checkControlOutput(host, pin, mismatches);
    }
}

// A GUI module answers setPin for each pin it registers and refuses any other index (past a
// repeatable pin, every index may be a copy of it). Each
// described pin is given its default (an empty value when it has none).
std::vector<std::string> checkGuiDescription(gmpi::IMpFactory2& factory, ModuleDescription const& description) {
    std::optional<GuiModule> module;
    try {
        module.emplace(factory, description.id, GuiModuleOptions{.description = description});
    } catch (std::exception const& e) {
        return {e.what()};
    }
    std::vector<std::string> mismatches;
    for (PinDescription const& pin : description.pins) {
        std::vector<uint8_t> const value =
            pin.defaultValue ? encodePinValue(pin.datatype, *pin.defaultValue) : std::vector<uint8_t>{};
        int32_t const result = module->module()->setPin(pin.index, 0, static_cast<int32_t>(value.size()), value.data());
        if (result != gmpi::MP_OK)
            mismatches.push_back(description.idText() + ": " + pinName(pin) +
                                 " is described, but setPin on it gave " + std::to_string(result));
    }
    // A host may add any number of copies of a repeatable pin, so no index past it is foreign.
    if (description.repeatablePin() != nullptr)
        return mismatches;
    auto const firstUndescribed = static_cast<int32_t>(description.pins.size());
    if (int32_t const result = module->module()->setPin(firstUndescribed, 0, 0, nullptr); result != gmpi::MP_FAIL)
        mismatches.push_back(description.idText() + ": pin " + std::to_string(firstUndescribed) +
                             " is not described, but setPin on it gave " + std::to_string(result) + " instead of -1");
    return mismatches;
}

// One audio-side instance, as described.
std::vector<std::string> checkInstance(gmpi::IMpFactory2& factory, ModuleDescription const& description) {
    // Declared before the module: the module may keep the scratch buffer until it is released.
    std::vector<float> scratch(graphStartBlockSize, 0.0f);
    AudioModule::Options options;
    options.countdown = 0;
    options.description = description;
    options.maxBlockSize = graphStartBlockSize;
    std::optional<AudioModule> module;
    try {
        module.emplace(factory, description.id, options);
    } catch (std::exception const& e) {
        return {e.what()};
    }

    // Pins are looked for after open(): a module that counts its inputs registers them there.
    std::vector<std::string> mismatches;
    if (int32_t const opened = module->open(); opened != gmpi::MP_OK)
        mismatches.push_back("open() gave " + std::to_string(opened));
    std::set<int32_t> const missing = checkRegisteredPins(*module, description, scratch, mismatches);
    startGraph(*module, description, missing);
    checkGraphStartSends(module->host(), description, missing, mismatches);
    return mismatches;
}

// What the module itself says, through the factory.
std::vector<std::string> checkModule(gmpi::IMpFactory2& factory, ModuleDescription const& description) {
    if (!isCheckedByDescriptionCheck(description))
        return {description.idText() + ": not checked yet (sub-type " + std::to_string(description.subType) +
                " modules are not checked)"};
    if (description.subType == guiSubType)
        return checkGuiDescription(factory, description);

    std::vector<std::string> mismatches = checkInstance(factory, description);
    // A module with a repeatable pin must also register the copies a host adds.
    if (PinDescription const* repeated = description.repeatablePin()) {
        std::string const context = "with " + std::to_string(repeatedPinsChecked) + " copies of '" + repeated->name + "': ";
        for (std::string const& line : checkInstance(factory, description.withRepeatedPin(repeatedPinsChecked)))
            mismatches.push_back(context + line);
    }
    for (std::string& line : mismatches)
        line = description.idText() + ": " + line;
    return mismatches;
}

} // namespace

std::vector<std::string> checkPinFields(ModuleDescription const& description) {
    std::vector<std::string> problems;
    for (PinDescription const& pin : description.pins) {
        if (pin.meaning.empty())
            problems.push_back(pinName(pin) + " has no meaning");
        checkRange(pin, problems);
        if (!pin.labels.empty() && pin.datatype != gmpi::MP_INT32 && pin.datatype != gmpi::MP_ENUM)
            problems.push_back(pinName(pin) + " has labels, but only int and enum pins take them");
        checkShapeForm(pin, problems);
    }
    for (std::string& line : problems)
        line = description.idText() + ": " + line;
    return problems;
}

bool isCheckedByDescriptionCheck(ModuleDescription const& description) {
    return description.subType == audioSubType || description.subType == guiSubType;
}

std::vector<std::string> checkDescription(Bundle& bundle, ModuleDescription const& description) {
    return checkDescription(*bundle.factory(), description);
}

std::vector<std::string> checkDescription(gmpi::IMpFactory2& factory, ModuleDescription const& description) {
    std::vector<std::string> fieldProblems = checkPinFields(description);
    std::vector<std::string> moduleProblems = checkModule(factory, description);
    fieldProblems.insert(fieldProblems.end(), moduleProblems.begin(), moduleProblems.end());
    return fieldProblems;
}

} // namespace zr::host
