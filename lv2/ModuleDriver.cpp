#include "lv2/ModuleDriver.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>

#include "host/UnwrittenSamples.h"
#include "sdk/Identifiers.h"

extern "C" int32_t MP_GetFactory(void** returnInterface);

namespace zr::lv2 {
namespace {

constexpr int32_t kAudioSubType = 0;
// Samples a module computes after its outputs went static before it may sleep: one short
// block, as our host's default.
constexpr int32_t kSleepCountdown = 64;
constexpr size_t kInlineBytes = 2 * sizeof(int32_t);

gmpi::IMpPlugin2* createModule(wchar_t const* id, gmpi::IMpHost* host) {
    void* factoryView = nullptr;
    if (MP_GetFactory(&factoryView) != gmpi::MP_OK || !factoryView)
        return nullptr;
    auto* unknown = static_cast<gmpi::IMpUnknown*>(factoryView);
    void* factory = nullptr;
    if (unknown->queryInterface(MP_IID_FACTORY2, &factory) != gmpi::MP_OK || !factory)
        return nullptr;
    void* created = nullptr;
    auto* factory2 = static_cast<gmpi::IMpFactory2*>(factory);
    int32_t const result = factory2->createInstance(id, kAudioSubType, host, &created);
    factory2->release();
    if (result != gmpi::MP_OK || !created)
        return nullptr;
    auto* module = static_cast<gmpi::IMpUnknown*>(created);
    void* pluginView = nullptr;
    int32_t const queried = module->queryInterface(MP_IID_PLUGIN2, &pluginView);
    module->release();
    return queried == gmpi::MP_OK ? static_cast<gmpi::IMpPlugin2*>(pluginView) : nullptr;
}

} // namespace

ModuleDriver::ModuleDriver(wchar_t const* id, float sampleRate, std::initializer_list<AudioPin> audioPins)
    : sampleRate_(sampleRate) {
    if (audioPins.size() > kMaxAudioPins)
        throw std::invalid_argument("too many audio pins for one module");
    plugin_ = createModule(id, this);
    if (!plugin_)
        throw std::runtime_error("the bundle makes no audio module of this identifier");
    for (AudioPin const& pin : audioPins) {
        Buffer& buffer = buffers_[static_cast<size_t>(bufferCount_++)];
        buffer.pin = pin.index;
        buffer.isOutput = pin.isOutput;
        plugin_->setBuffer(pin.index, buffer.samples.data());
    }
}

ModuleDriver::~ModuleDriver() {
    if (plugin_)
        plugin_->release();
}

void ModuleDriver::start() {
    plugin_->open();
    queue(gmpi::EVENT_GRAPH_START, 0, nullptr, 0);
    for (int32_t i = 0; i < bufferCount_; ++i)
        if (!buffers_[static_cast<size_t>(i)].isOutput)
            queue(gmpi::EVENT_PIN_STREAMING_START, buffers_[static_cast<size_t>(i)].pin, nullptr, 0);
}

int32_t ModuleDriver::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (!returnInterface)
        return gmpi::MP_NOSUPPORT;
    *returnInterface = nullptr;
    if (iid == MP_IID_HOST || iid == MP_IID_UNKNOWN) {
        *returnInterface = static_cast<gmpi::IMpHost*>(this);
        return gmpi::MP_OK;
    }
    return gmpi::MP_NOSUPPORT;
}

int32_t ModuleDriver::setPinStreaming(int32_t, int32_t pinIndex, int32_t isStreaming) {
    for (int32_t i = 0; i < bufferCount_; ++i)
        if (buffers_[static_cast<size_t>(i)].pin == pinIndex)
            buffers_[static_cast<size_t>(i)].streaming = isStreaming != 0;
    return gmpi::MP_OK;
}

bool ModuleDriver::isStreaming(int32_t pin) const {
    for (int32_t i = 0; i < bufferCount_; ++i)
        if (buffers_[static_cast<size_t>(i)].pin == pin)
            return buffers_[static_cast<size_t>(i)].streaming;
    return false;
}

int32_t ModuleDriver::sleep() {
    asleep_ = true;
    return gmpi::MP_OK;
}

int32_t ModuleDriver::getSleepCountdown(int32_t* returnCountdown) {
    if (returnCountdown)
        *returnCountdown = kSleepCountdown;
    return gmpi::MP_OK;
}

int32_t ModuleDriver::getSampleRate(float* returnSampleRate) {
    if (returnSampleRate)
        *returnSampleRate = sampleRate_;
    return gmpi::MP_OK;
}

void ModuleDriver::setInt(int32_t pin, int32_t value) { queue(gmpi::EVENT_PIN_SET, pin, &value, sizeof value); }
void ModuleDriver::setFloat(int32_t pin, float value) { queue(gmpi::EVENT_PIN_SET, pin, &value, sizeof value); }

void ModuleDriver::setBool(int32_t pin, bool value) {
    uint8_t const byte = value ? 1 : 0;
    queue(gmpi::EVENT_PIN_SET, pin, &byte, sizeof byte);
}

bool ModuleDriver::setBytes(int32_t pin, void const* data, size_t size) {
    if (size > kEventDataBytes)
        return false;
    queue(gmpi::EVENT_PIN_SET, pin, data, size);
    return true;
}

float* ModuleDriver::buffer(int32_t pin) {
    for (int32_t i = 0; i < bufferCount_; ++i)
        if (buffers_[static_cast<size_t>(i)].pin == pin)
            return buffers_[static_cast<size_t>(i)].samples.data();
    return nullptr;
}

// Queued events reach the module in an empty block, which applies events at sample 0.
void ModuleDriver::flushIfFull(size_t size) {
    bool const dataFull = size > kInlineBytes && eventDataUsed_ + size > kEventDataBytes;
    if (eventCount_ == kMaxEvents || dataFull)
        process(0);
}

void ModuleDriver::queue(int32_t eventType, int32_t pin, void const* data, size_t size) {
    flushIfFull(size);
    gmpi::MpEvent& event = events_[static_cast<size_t>(eventCount_++)];
    event = {};
    event.eventType = eventType;
    event.parm1 = pin;
    event.parm2 = static_cast<int32_t>(size);
    if (size <= kInlineBytes) {
        uint8_t inlineBytes[kInlineBytes] = {};
        if (size > 0)
            std::memcpy(inlineBytes, data, size);
        std::memcpy(&event.parm3, inlineBytes, sizeof(int32_t));
        std::memcpy(&event.parm4, inlineBytes + sizeof(int32_t), sizeof(int32_t));
        return;
    }
    event.extraData = reinterpret_cast<char*>(eventData_.data() + eventDataUsed_);
    std::memcpy(event.extraData, data, size);
    eventDataUsed_ += size;
}

void ModuleDriver::holdOutputs(int32_t frames) {
    for (int32_t i = 0; i < bufferCount_; ++i) {
        Buffer& buffer = buffers_[static_cast<size_t>(i)];
        if (buffer.isOutput)
            std::fill_n(buffer.samples.begin(), frames, buffer.held);
    }
}

// Outputs are marked unwritten first. A module writes every sample of a block unless it goes
// to sleep, which leaves the rest of the block to the host: only then (or when the last sample
// is unwritten) are the samples searched, and the unwritten ones take the held value.
void ModuleDriver::runModule(int32_t frames) {
    auto const block = [frames](Buffer& buffer) { return std::span(buffer.samples).first(static_cast<size_t>(frames)); };
    for (int32_t i = 0; i < bufferCount_; ++i)
        if (buffers_[static_cast<size_t>(i)].isOutput)
            host::markUnwritten(block(buffers_[static_cast<size_t>(i)]));
    for (int32_t i = 0; i + 1 < eventCount_; ++i)
        events_[static_cast<size_t>(i)].next = &events_[static_cast<size_t>(i + 1)];
    plugin_->process(frames, eventCount_ > 0 ? events_.data() : nullptr);
    if (frames == 0)
        return;
    for (int32_t i = 0; i < bufferCount_; ++i) {
        Buffer& buffer = buffers_[static_cast<size_t>(i)];
        if (!buffer.isOutput)
            continue;
        float const last = buffer.samples[static_cast<size_t>(frames - 1)];
        buffer.held = !asleep_ && !host::isUnwritten(last) ? last : host::holdUnwritten(block(buffer), buffer.held);
    }
}

void ModuleDriver::process(int32_t frames) {
    frames = std::clamp(frames, 0, kMaxFrames);
    if (eventCount_ > 0)
        asleep_ = false;
    if (asleep_)
        holdOutputs(frames);
    else
        runModule(frames);
    eventCount_ = 0;
    eventDataUsed_ = 0;
}

} // namespace zr::lv2
