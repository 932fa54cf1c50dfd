#include "host/AudioHost.h"

#include <algorithm>

#include "host/HostBookkeeping.h"

namespace zr::host {
namespace {

std::shared_ptr<AudioHostPolicy const> const& honestPolicy() {
    static auto const honest = std::make_shared<AudioHostPolicy const>();
    return honest;
}

} // namespace

AudioHost::AudioHost() : policy_(honestPolicy()) {}

void AudioHost::setPolicy(std::shared_ptr<AudioHostPolicy const> policy) {
    policy_ = policy ? std::move(policy) : honestPolicy();
}

int32_t AudioHost::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (!returnInterface)
        return gmpi::MP_FAIL;
    *returnInterface = nullptr;
    bool const implemented = iid == MP_IID_HOST || iid == MP_IID_PROCESSOR_HOST || iid == MP_IID_UNKNOWN;
    if (!implemented || !policy_->answers(iid))
        return gmpi::MP_NOSUPPORT;
    *returnInterface = static_cast<gmpi::IMpHost*>(this);
    addRef();
    return gmpi::MP_OK;
}

int32_t AudioHost::addRef() { return ++referenceCount_; }

int32_t AudioHost::release() { return --referenceCount_; }

HostRecord* AudioHost::newRecord(HostCallKind kind) {
    if (recordsBounded_ && (records_.size() == records_.capacity() || spareBytes_.empty())) {
        ++droppedRecords_;
        return nullptr;
    }
    HostRecord& record = records_.emplace_back();
    record.kind = kind;
    record.block = currentBlock_;
    if (recordsBounded_) {
        record.bytes = std::move(spareBytes_.back());
        spareBytes_.pop_back();
    }
    return &record;
}

int32_t AudioHost::setPin(int32_t timestamp, int32_t pinIndex, int32_t size, void const* data) {
    HostBookkeeping bookkeeping;
    bool const withBytes = size > 0 && data;
    if (recordsBounded_ && withBytes && static_cast<std::size_t>(size) > recordBytesBound_) {
        ++droppedRecords_;
        return gmpi::MP_OK;
    }
    HostRecord* record = newRecord(HostCallKind::PinSet);
    if (!record)
        return gmpi::MP_OK;
    record->timestamp = timestamp;
    record->pin = pinIndex;
    record->size = size;
    if (withBytes) {
        auto const* bytes = static_cast<uint8_t const*>(data);
        record->bytes.assign(bytes, bytes + size);
    }
    return gmpi::MP_OK;
}

int32_t AudioHost::setPinStreaming(int32_t timestamp, int32_t pinIndex, int32_t isStreaming) {
    HostBookkeeping bookkeeping;
    HostRecord* record = newRecord(HostCallKind::Streaming);
    if (!record)
        return gmpi::MP_OK;
    record->timestamp = timestamp;
    record->pin = pinIndex;
    record->streamingFlag = isStreaming;
    return gmpi::MP_OK;
}

int32_t AudioHost::sleep() {
    HostBookkeeping bookkeeping;
    newRecord(HostCallKind::Sleep);
    asleep_ = true;
    return gmpi::MP_OK;
}

void AudioHost::boundRecords(std::size_t records, std::size_t bytesEach) {
    recycleRecords();
    records_.reserve(records);
    spareBytes_.reserve(records);
    while (spareBytes_.size() < records) {
        std::vector<uint8_t>& bytes = spareBytes_.emplace_back();
        bytes.reserve(bytesEach);
    }
    recordBytesBound_ = bytesEach;
    recordsBounded_ = true;
}

// The bytes' storage goes back to the spares before the records go, so that nothing is freed.
void AudioHost::recycleRecords() {
    HostBookkeeping bookkeeping;
    for (HostRecord& record : records_) {
        if (!recordsBounded_ || record.bytes.capacity() == 0)
            continue;
        record.bytes.clear();
        spareBytes_.push_back(std::move(record.bytes));
    }
    records_.clear();
}

int32_t AudioHost::getSleepCountdown(int32_t* returnCountdown) {
    ++countdownQueries_;
    if (!returnCountdown)
        return gmpi::MP_FAIL;
    if (std::optional<int32_t> const answer = policy_->sleepCountdownAnswer(countdown_))
        *returnCountdown = *answer;
    return gmpi::MP_OK;
}

int32_t AudioHost::getSampleRate(float* returnSampleRate) {
    ++sampleRateQueries_;
    if (!returnSampleRate)
        return gmpi::MP_FAIL;
    if (std::optional<float> const answer = policy_->sampleRateAnswer(sampleRate_))
        *returnSampleRate = *answer;
    return gmpi::MP_OK;
}

int32_t AudioHost::createPinIterator(void** returnIterator) {
    ++iteratorQueries_;
    if (!returnIterator)
        return gmpi::MP_FAIL;
    switch (policy_->pinIteratorAnswer()) {
    case AudioHostPolicy::IteratorAnswer::Unwritten: return gmpi::MP_OK;
    case AudioHostPolicy::IteratorAnswer::Null: *returnIterator = nullptr; return gmpi::MP_OK;
    case AudioHostPolicy::IteratorAnswer::NewIterator: break;
    }
    HostBookkeeping bookkeeping;
    *returnIterator = static_cast<gmpi::IMpPinIterator*>(new HostPinIterator(iteratorPins_));
    return gmpi::MP_OK;
}

std::vector<HostRecord> AudioHost::recordsOf(HostCallKind kind, int32_t pin) const {
    std::vector<HostRecord> found;
    for (HostRecord const& record : records_)
        if (record.kind == kind && record.pin == pin)
            found.push_back(record);
    return found;
}

std::vector<HostRecord> AudioHost::pinSets(int32_t pin) const { return recordsOf(HostCallKind::PinSet, pin); }

std::vector<HostRecord> AudioHost::streamingChanges(int32_t pin) const {
    return recordsOf(HostCallKind::Streaming, pin);
}

std::optional<HostRecord> AudioHost::lastPinSet(int32_t pin) const {
    auto const last = std::find_if(records_.rbegin(), records_.rend(), [pin](HostRecord const& record) {
        return record.kind == HostCallKind::PinSet && record.pin == pin;
    });
    if (last == records_.rend())
        return std::nullopt;
    return *last;
}

std::optional<bool> AudioHost::streamingOf(int32_t pin) const {
    auto const last = std::find_if(records_.rbegin(), records_.rend(), [pin](HostRecord const& record) {
        return record.kind == HostCallKind::Streaming && record.pin == pin;
    });
    if (last == records_.rend())
        return std::nullopt;
    return last->isStreaming();
}

int AudioHost::sleepCount() const {
    return static_cast<int>(std::count_if(records_.begin(), records_.end(), [](HostRecord const& record) {
        return record.kind == HostCallKind::Sleep;
    }));
}

void AudioHost::clearRecords() {
    recycleRecords();
    countdownQueries_ = 0;
    sampleRateQueries_ = 0;
    iteratorQueries_ = 0;
}

} // namespace zr::host
