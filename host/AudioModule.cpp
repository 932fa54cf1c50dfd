#include "host/AudioModule.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "host/Bundle.h"
#include "host/HostBookkeeping.h"
#include "host/PinValueEncoding.h"
#include "host/TextConversion.h"
#include "host/UnwrittenSamples.h"

namespace zr::host {
namespace {

constexpr int32_t audioSubType = 0;

std::vector<IteratorPin> chooseIteratorPins(std::optional<std::vector<IteratorPin>> const& given,
                                            std::optional<ModuleDescription> const& description) {
    if (given)
        return *given;
    if (description)
        return description->iteratorPins();
    return {};
}

std::optional<ModuleDescription> instanceDescription(std::optional<ModuleDescription> description,
                                                     std::optional<int32_t> repeatedPins) {
    if (!repeatedPins)
        return description;
    if (!description)
        throw std::invalid_argument("repeated pins need the module's description in the options");
    return description->withRepeatedPin(*repeatedPins);
}

[[noreturn]] void creationFailed(std::wstring const& id, std::string const& reason) {
    throw std::runtime_error("module " + utf8FromWide(id) + ": " + reason);
}

} // namespace

AudioModule::AudioModule(Bundle& bundle, std::wstring const& id, Options options)
    : AudioModule(*bundle.factory(), id, std::move(options)) {}

AudioModule::AudioModule(gmpi::IMpFactory2& factory, std::wstring const& id, Options options)
    : description_(instanceDescription(std::move(options.description), options.repeatedPins)),
      maxBlockSize_(options.maxBlockSize) {
    if (maxBlockSize_ < 1)
        throw std::invalid_argument("the maximum block size must be at least 1");
    host_.setSampleRate(options.sampleRate);
    host_.setCountdown(options.countdown);
    host_.setIteratorPins(chooseIteratorPins(options.iteratorPins, description_));
    host_.setPolicy(std::move(options.hostPolicy));
    create(factory, id, options.useCreateInstance2);
}

AudioModule::~AudioModule() { releaseModule(); }

void AudioModule::releaseModule() {
    if (plugin_)
        plugin_->release();
    plugin_ = nullptr;
}

// The creation result may be any view of the module; the host drives its IMpPlugin2 view.
void AudioModule::create(gmpi::IMpFactory2& factory, std::wstring const& id, bool useCreateInstance2) {
    void* created = nullptr;
    int32_t const result = useCreateInstance2
                               ? factory.createInstance2(id.c_str(), audioSubType, &created)
                               : factory.createInstance(id.c_str(), audioSubType, &host_, &created);
    if (result != gmpi::MP_OK || !created)
        creationFailed(id, result == gmpi::MP_NOSUPPORT ? "the bundle does not make this module as an audio module; check that the bundle and its descriptions belong together"
                                                    : "the bundle failed to create it; run zrhost list to see what the bundle offers");
    auto* unknown = static_cast<gmpi::IMpUnknown*>(created);
    void* pluginView = nullptr;
    int32_t const queried = unknown->queryInterface(MP_IID_PLUGIN2, &pluginView);
    unknown->release();
    if (queried != gmpi::MP_OK || !pluginView)
        creationFailed(id, "it is not an audio module this host can run; check that the bundle and its descriptions belong together");
    plugin_ = static_cast<gmpi::IMpPlugin2*>(pluginView);
    if (useCreateInstance2)
        setHostResult_ = plugin_->setHost(static_cast<gmpi::IMpHost*>(&host_));
}

int32_t AudioModule::open() { return plugin_->open(); }

std::optional<int32_t> AudioModule::knownDirection(int32_t pin) const {
    for (IteratorPin const& described : host_.iteratorPins())
        if (described.id == pin)
            return described.direction;
    return std::nullopt;
}

int32_t AudioModule::connectAudio(int32_t pin, std::optional<int32_t> direction) {
    if (!direction)
        direction = knownDirection(pin);
    if (!direction)
        throw std::invalid_argument("direction of audio pin " + std::to_string(pin) +
                                    " is unknown: give it, or describe the module");
    heldSamples_ = 0;
    AudioBuffer& connected = buffers_[pin];
    connected.samples.assign(static_cast<std::size_t>(maxBlockSize_), 0.0f);
    connected.direction = *direction;
    lastOutput_.try_emplace(pin, 0.0f); // here, not on the audio thread
    return plugin_->setBuffer(pin, connected.samples.data());
}

float* AudioModule::buffer(int32_t pin) {
    auto const found = buffers_.find(pin);
    if (found == buffers_.end())
        throw std::out_of_range("audio pin " + std::to_string(pin) + " has no buffer: connectAudio it first");
    if (found->second.direction == gmpi::MP_OUT)
        heldSamples_ = 0;
    return found->second.samples.data();
}

float const* AudioModule::samples(int32_t pin) const {
    auto const found = buffers_.find(pin);
    if (found == buffers_.end())
        throw std::out_of_range("audio pin " + std::to_string(pin) + " has no buffer: connectAudio it first");
    return found->second.samples.data();
}

void AudioModule::queueValue(int32_t pin, int32_t time, void const* data, std::size_t size) {
    events_.add(gmpi::EVENT_PIN_SET, pin, time, data, size);
}

void AudioModule::setInt(int32_t pin, int32_t time, int32_t value) { queueValue(pin, time, &value, sizeof value); }

void AudioModule::setFloat(int32_t pin, int32_t time, float value) { queueValue(pin, time, &value, sizeof value); }

void AudioModule::setBool(int32_t pin, int32_t time, bool value) {
    uint8_t const byte = value ? 1 : 0;
    queueValue(pin, time, &byte, sizeof byte);
}

void AudioModule::setText(int32_t pin, int32_t time, std::wstring const& text) {
    queueValue(pin, time, text.data(), text.size() * sizeof(wchar_t));
}

void AudioModule::setBytes(int32_t pin, int32_t time, std::vector<uint8_t> const& bytes) {
    queueValue(pin, time, bytes.data(), bytes.size());
}

void AudioModule::setBytes(int32_t pin, int32_t time, std::span<uint8_t const> bytes) {
    queueValue(pin, time, bytes.data(), bytes.size());
}

void AudioModule::reserveRealtime(RealtimeCapacity const& capacity) {
    events_.reserve(capacity.eventsPerBlock, capacity.eventBytesPerBlock, true);
    host_.boundRecords(capacity.recordsPerBlock, capacity.bytesPerValue);
}

void AudioModule::startStream(int32_t pin, int32_t time) {
    events_.add(gmpi::EVENT_PIN_STREAMING_START, pin, time, nullptr, 0);
}

void AudioModule::stopStream(int32_t pin, int32_t time) {
    events_.add(gmpi::EVENT_PIN_STREAMING_STOP, pin, time, nullptr, 0);
}

void AudioModule::graphStart(int32_t time) { events_.add(gmpi::EVENT_GRAPH_START, 0, time, nullptr, 0); }

void AudioModule::midi(int32_t pin, int32_t time, std::vector<uint8_t> const& bytes) {
    events_.add(gmpi::EVENT_MIDI, pin, time, bytes.data(), bytes.size());
}

void AudioModule::rawEvent(RawEvent event) { events_.addRaw(std::move(event)); }

void AudioModule::setByName(std::string_view name, int32_t time, nlohmann::json const& value) {
    if (!description_)
        throw std::invalid_argument("setByName needs the module's description in the options");
    PinDescription const* described = description_->findPin(name);
    if (!described)
        throw std::invalid_argument(description_->idText() + " has no pin named '" + std::string(name) + "'");
    if (!described->isInput() || described->isAudio())
        throw std::invalid_argument("pin '" + described->name + "' is not a control input");
    std::vector<uint8_t> const bytes = encodePinValue(described->datatype, value);
    int32_t const eventType = described->datatype == gmpi::MP_MIDI ? gmpi::EVENT_MIDI : gmpi::EVENT_PIN_SET;
    events_.add(eventType, described->index, time, bytes.data(), bytes.size());
}

void AudioModule::sendDefaults(int32_t time) {
    if (!description_)
        throw std::invalid_argument("sendDefaults needs the module's description in the options");
    for (PinDescription const& described : description_->pins)
        if (described.isInput() && described.defaultValue)
            setByName(described.name, time, *described.defaultValue);
}

// A sleeping module is not called, so its outputs keep the value they last had.
void AudioModule::holdOutputs(int32_t count) {
    for (auto& [pin, connected] : buffers_) {
        if (connected.direction != gmpi::MP_OUT)
            continue;
        std::fill_n(connected.samples.begin(), count, lastOutput_[pin]);
    }
}

void AudioModule::markOutputsUnwritten(int32_t count) {
    for (auto& [pin, connected] : buffers_)
        if (connected.direction == gmpi::MP_OUT)
            markUnwritten(std::span(connected.samples).first(static_cast<size_t>(count)));
}

void AudioModule::holdUnwrittenOutputs(int32_t count) {
    for (auto& [pin, connected] : buffers_)
        if (connected.direction == gmpi::MP_OUT)
            lastOutput_[pin] = holdUnwritten(std::span(connected.samples).first(static_cast<size_t>(count)), lastOutput_[pin]);
}

void AudioModule::runModule(int32_t count) {
    gmpi::MpEvent const* list = nullptr;
    {
        HostBookkeeping bookkeeping;
        list = events_.build();
        if (list)
            host_.wake();
        markOutputsUnwritten(count);
    }
    host_.enterBlock(blocksRun_);
    plugin_->process(count, list);
    host_.leaveBlock();
    {
        HostBookkeeping bookkeeping;
        holdUnwrittenOutputs(count);
    }
    ++processCalls_;
    samplesProcessed_ += count;
    events_.clear();
}

void AudioModule::process(int32_t count) {
    if (count < 0 || count > maxBlockSize_)
        throw std::invalid_argument("block of " + std::to_string(count) + " samples: the maximum is " +
                                    std::to_string(maxBlockSize_));
    if (!plugin_)
        throw std::logic_error("the module was released");
    if (host_.asleep() && events_.empty()) {
        // A sleeping module costs nothing per block: its outputs are filled with the held
        // value once, and again only for a longer block.
        if (count > heldSamples_) {
            HostBookkeeping bookkeeping;
            holdOutputs(count);
            heldSamples_ = count;
        }
    } else {
        heldSamples_ = 0;
        runModule(count);
    }
    ++blocksRun_;
}

void AudioModule::processBlocks(int64_t total, int32_t blockSize) {
    if (blockSize < 1)
        throw std::invalid_argument("the block size must be at least 1");
    for (int64_t done = 0; done < total; done += blockSize)
        process(static_cast<int32_t>(std::min<int64_t>(blockSize, total - done)));
}

} // namespace zr::host
