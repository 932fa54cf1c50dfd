#include "host/patch/Patch.h"

#include <algorithm>
#include <stdexcept>

#include "host/DatatypeNames.h"
#include "host/ModuleDescriptions.h"
#include "host/TextConversion.h"

namespace zr::host {

struct Patch::Member {
    std::string name;
    std::unique_ptr<AudioModule> module;
    size_t recordsSeen = 0; // host records already forwarded along the wires
};

Patch::Patch(Bundle& bundle, ModuleDescriptions const& descriptions, AudioModuleOptions options)
    : bundle_(bundle), descriptions_(descriptions), options_(std::move(options)) {}

Patch::~Patch() = default;

AudioModule& Patch::add(std::string const& name, std::wstring const& id, std::optional<int32_t> repeatedPins) {
    for (auto const& member : members_)
        if (member->name == name)
            throw std::invalid_argument("the patch already has a module named '" + name + "'");
    ModuleDescription const* description = descriptions_.find(id);
    if (!description)
        throw std::invalid_argument("no module description for " + utf8FromWide(id));
    AudioModuleOptions options = options_;
    options.description = *description;
    options.repeatedPins = repeatedPins;
    auto module = std::make_unique<AudioModule>(bundle_, id, options);
    for (PinDescription const& pin : module->description()->pins)
        if (pin.isAudio())
            module->connectAudio(pin.index, pin.direction);
    module->open();
    members_.push_back(std::make_unique<Member>(Member{name, std::move(module)}));
    order_.clear(); // worked out again before the next block
    return *members_.back()->module;
}

size_t Patch::indexOf(std::string const& name) const {
    for (size_t i = 0; i < members_.size(); ++i)
        if (members_[i]->name == name)
            return i;
    throw std::invalid_argument("the patch has no module named '" + name + "'");
}

AudioModule& Patch::module(std::string const& name) { return *members_[indexOf(name)]->module; }

PinDescription const& Patch::pinOf(size_t member, std::string const& pin) const {
    ModuleDescription const* description = members_[member]->module->description();
    PinDescription const* found = description->findPin(pin);
    if (!found)
        throw std::invalid_argument("module '" + members_[member]->name + "' has no pin named '" + pin + "'");
    return *found;
}

void Patch::connect(std::string const& from, std::string const& fromPin, std::string const& to,
                    std::string const& toPin, bool delayed) {
    size_t const source = indexOf(from);
    size_t const destination = indexOf(to);
    PinDescription const& output = pinOf(source, fromPin);
    PinDescription const& input = pinOf(destination, toPin);
    std::string const wire = from + "." + fromPin + " -> " + to + "." + toPin;
    if (output.isInput())
        throw std::invalid_argument(wire + ": " + from + "." + fromPin + " is an input; wires run from an output to an input");
    if (!input.isInput())
        throw std::invalid_argument(wire + ": " + to + "." + toPin + " is an output; wires run from an output to an input");
    bool const imageOnText = output.datatype == gmpi::MP_BLOB && input.datatype == gmpi::MP_STRING;
    if (output.datatype != input.datatype && !imageOnText)
        throw std::invalid_argument(wire + ": the kinds differ (" + std::string(datatypeName(output.datatype)) +
                                    " output, " + std::string(datatypeName(input.datatype)) + " input)");
    for (Wire const& existing : wires_)
        if (existing.to == destination && existing.toPin == input.index)
            throw std::invalid_argument(wire + ": the input is wired already");
    Wire added{source, output.index, destination, input.index, output.isAudio(), delayed, {}};
    if (delayed && added.audio)
        added.lastBlock.assign(static_cast<size_t>(options_.maxBlockSize), 0.0f);
    wires_.push_back(std::move(added));
    order_.clear();
}

bool Patch::isWired(std::string const& name, std::string const& pin) const {
    size_t const member = indexOf(name);
    int32_t const index = pinOf(member, pin).index;
    return std::any_of(wires_.begin(), wires_.end(),
                       [&](Wire const& wire) { return wire.to == member && wire.toPin == index; });
}

std::vector<std::string> Patch::names() const {
    std::vector<std::string> result;
    for (auto const& member : members_)
        result.push_back(member->name);
    return result;
}

std::vector<std::string> Patch::runningOrder() const {
    std::vector<std::string> result;
    for (size_t member : dependencyOrder())
        result.push_back(members_[member]->name);
    return result;
}

// Kahn's order: repeatedly the earliest-added module whose sources have all run. What is
// left when none is ready lies on or behind a cycle; the message follows one cycle round.
std::vector<size_t> Patch::dependencyOrder() const {
    size_t const count = members_.size();
    std::vector<int> waitingFor(count, 0);
    for (Wire const& wire : wires_)
        if (!wire.delayed)
            ++waitingFor[wire.to];
    std::vector<size_t> order;
    std::vector<bool> placed(count, false);
    while (order.size() < count) {
        size_t ready = count;
        for (size_t i = 0; i < count && ready == count; ++i)
            if (!placed[i] && waitingFor[i] == 0)
                ready = i;
        if (ready == count)
            throw std::invalid_argument("the connections form a cycle: " + describeCycle(placed));
        placed[ready] = true;
        order.push_back(ready);
        for (Wire const& wire : wires_)
            if (wire.from == ready && !wire.delayed)
                --waitingFor[wire.to];
    }
    return order;
}

// From an unplaced module, walk back along wires from unplaced sources until a module repeats.
std::string Patch::describeCycle(std::vector<bool> const& placed) const {
    size_t current = static_cast<size_t>(std::find(placed.begin(), placed.end(), false) - placed.begin());
    std::vector<size_t> path;
    while (std::find(path.begin(), path.end(), current) == path.end()) {
        path.push_back(current);
        for (Wire const& wire : wires_)
            if (wire.to == current && !wire.delayed && !placed[wire.from]) {
                current = wire.from;
                break;
            }
    }
    auto const start = std::find(path.begin(), path.end(), current);
    std::vector<size_t> cycle(start, path.end());
    std::reverse(cycle.begin(), cycle.end());
    std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end()); // from the first added
    std::string text;
    for (size_t member : cycle)
        text += members_[member]->name + " -> ";
    return text + members_[cycle.front()]->name;
}

void Patch::set(std::string const& name, std::string const& pin, int32_t time, nlohmann::json const& value) {
    module(name).setByName(pin, time, value);
}

void Patch::setBytes(std::string const& name, std::string const& pin, int32_t time, std::vector<uint8_t> const& bytes) {
    size_t const member = indexOf(name);
    members_[member]->module->setBytes(pinOf(member, pin).index, time, bytes);
}

float* Patch::input(std::string const& name, std::string const& pin) {
    size_t const member = indexOf(name);
    PinDescription const& described = pinOf(member, pin);
    if (!described.isAudio() || !described.isInput())
        throw std::invalid_argument("pin '" + pin + "' of '" + name + "' is not an audio input");
    return members_[member]->module->buffer(described.index);
}

float const* Patch::output(std::string const& name, std::string const& pin) {
    size_t const member = indexOf(name);
    PinDescription const& described = pinOf(member, pin);
    if (!described.isAudio() || described.isInput())
        throw std::invalid_argument("pin '" + pin + "' of '" + name + "' is not an audio output");
    return members_[member]->module->samples(described.index);
}

void Patch::start() {
    order_ = dependencyOrder();
    for (auto const& member : members_) {
        member->module->graphStart(0);
        member->module->sendDefaults(0);
    }
}

Patch::PinHandle Patch::handle(std::string const& name, std::string const& pin) const {
    size_t const member = indexOf(name);
    return {member, pinOf(member, pin).index};
}

AudioModule& Patch::module(PinHandle pin) { return *members_[pin.member]->module; }

void Patch::setBytes(PinHandle pin, int32_t time, std::span<uint8_t const> bytes) {
    members_[pin.member]->module->setBytes(pin.pin, time, bytes);
}

void Patch::reserveRealtime(RealtimeCapacity const& capacity) {
    for (auto const& member : members_)
        member->module->reserveRealtime(capacity);
    for (CarriedEvents* events : {&carried_, &delivering_}) {
        events->events.reserve(capacity.recordsPerBlock * members_.size());
        events->bytes.reserve(capacity.bytesPerValue * capacity.recordsPerBlock);
    }
    recycleRecords_ = true;
}

int64_t Patch::droppedEvents() const {
    int64_t dropped = 0;
    for (auto const& member : members_)
        dropped += member->module->refusedEvents() + member->module->host().droppedRecords();
    return dropped;
}

void Patch::process(int32_t count) {
    std::swap(carried_, delivering_);
    carried_.clear();
    for (Carried const& event : delivering_.events)
        deliver(event.to, event.toPin, event.kind, event.streaming,
                std::span<uint8_t const>(delivering_.bytes).subspan(event.bytesAt, event.byteCount),
                std::min(event.time, count - 1));
    if (order_.size() != members_.size())
        order_ = dependencyOrder();
    keepDelayedAudio();
    lastCount_ = count;
    for (size_t member : order_) {
        feedAudio(member, count);
        members_[member]->module->process(count);
        forwardSends(member, count);
    }
}

// Before any module runs, each source still holds what it wrote in the block before: that is
// what a delayed wire carries in this block. A block longer than the one before (only the
// first can be) gets silence for the samples the block before did not have.
void Patch::keepDelayedAudio() {
    for (Wire& wire : wires_) {
        if (!wire.delayed || !wire.audio)
            continue;
        float const* source = members_[wire.from]->module->samples(wire.fromPin);
        std::fill(std::copy_n(source, lastCount_, wire.lastBlock.begin()), wire.lastBlock.end(), 0.0f);
    }
}

void Patch::feedAudio(size_t member, int32_t count) {
    for (Wire const& wire : wires_) {
        if (wire.to != member || !wire.audio)
            continue;
        float const* source = wire.delayed ? wire.lastBlock.data() : members_[wire.from]->module->samples(wire.fromPin);
        std::copy_n(source, count, members_[member]->module->buffer(wire.toPin));
    }
}

// Whatever the module sent in this block reaches the inputs wired to that output, at the
// same sample; a send stamped at the block's end arrives at the start of the next one, and a
// send along a delayed wire at the same sample of the next one.
void Patch::forwardSends(size_t member, int32_t count) {
    Member& source = *members_[member];
    std::vector<HostRecord> const& records = source.module->host().records();
    if (source.recordsSeen > records.size())
        source.recordsSeen = 0; // the records were cleared
    for (size_t i = source.recordsSeen; i < records.size(); ++i) {
        HostRecord const& record = records[i];
        if (record.kind == HostCallKind::Sleep)
            continue;
        for (Wire const& wire : wires_) {
            if (wire.from != member || wire.fromPin != record.pin)
                continue;
            if (wire.delayed)
                carry(wire.to, wire.toPin, record, std::max(record.timestamp, 0));
            else if (record.timestamp >= count)
                carry(wire.to, wire.toPin, record, 0);
            else
                deliver(wire.to, wire.toPin, record.kind, record.isStreaming(), record.bytes,
                        std::max(record.timestamp, 0));
        }
    }
    source.recordsSeen = records.size();
    if (recycleRecords_) {
        source.module->host().recycleRecords();
        source.recordsSeen = 0;
    }
}

// With room set aside (reserveRealtime), an event that does not fit is dropped.
void Patch::carry(size_t to, int32_t toPin, HostRecord const& record, int32_t time) {
    bool const fits = carried_.events.size() < carried_.events.capacity() &&
                      carried_.bytes.size() + record.bytes.size() <= carried_.bytes.capacity();
    if (recycleRecords_ && !fits)
        return;
    carried_.events.push_back(
        Carried{to, toPin, record.kind, record.isStreaming(), carried_.bytes.size(), record.bytes.size(), time});
    carried_.bytes.insert(carried_.bytes.end(), record.bytes.begin(), record.bytes.end());
}

void Patch::deliver(size_t to, int32_t toPin, HostCallKind kind, bool streaming, std::span<uint8_t const> bytes,
                    int32_t time) {
    AudioModule& destination = *members_[to]->module;
    if (kind == HostCallKind::PinSet)
        destination.setBytes(toPin, time, bytes);
    else if (streaming)
        destination.startStream(toPin, time);
    else
        destination.stopStream(toPin, time);
}

} // namespace zr::host
