#pragma once
// The audio host that one module instance talks to: answers its queries and records every
// call it makes, stamped with the runner's block number.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "host/AudioHostPolicy.h"
#include "host/HostPinIterator.h"
#include "host/HostRecord.h"
#include "sdk/Interfaces.h"

namespace zr::host {

class AudioHost final : public gmpi::IMpHost {
public:
    static constexpr float defaultSampleRate = 48000.0f;
    // One typical block: a module whose outputs went static runs 64 more samples and then
    // sleeps, which keeps sleep tests short while still exercising the countdown.
    static constexpr int32_t defaultCountdown = 64;

    AudioHost();
    AudioHost(AudioHost const&) = delete;
    AudioHost& operator=(AudioHost const&) = delete;

    // Configuration; may change between blocks.
    void setSampleRate(float sampleRate) { sampleRate_ = sampleRate; }
    void setCountdown(int32_t countdown) { countdown_ = countdown; }
    void setIteratorPins(std::vector<IteratorPin> pins) { iteratorPins_ = std::move(pins); }
    std::vector<IteratorPin> const& iteratorPins() const { return iteratorPins_; }
    // How the host answers; null: honestly. Set before the module is created.
    void setPolicy(std::shared_ptr<AudioHostPolicy const> policy);

    // gmpi::IMpUnknown. Answers MP_IID_HOST, MP_IID_PROCESSOR_HOST (this object stands in for
    // the processor host) and MP_IID_UNKNOWN, as far as the policy answers them. References
    // are counted but never delete: the runner owns this object.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    int32_t addRef() override;
    int32_t release() override;

    // gmpi::IMpHost [audio thread]
    int32_t setPin(int32_t timestamp, int32_t pinIndex, int32_t size, void const* data) override;
    int32_t setPinStreaming(int32_t timestamp, int32_t pinIndex, int32_t isStreaming) override;
    int32_t sleep() override;
    int32_t unusedSlot6() override { return gmpi::MP_NOSUPPORT; }
    int32_t getSleepCountdown(int32_t* returnCountdown) override;
    int32_t getSampleRate(float* returnSampleRate) override;
    int32_t unusedSlot9() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot10() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot11() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot12() override { return gmpi::MP_NOSUPPORT; }
    int32_t createPinIterator(void** returnIterator) override;

    // Runner side: which block the module is in (outsideAnyBlock between blocks).
    void enterBlock(int64_t blockIndex) { currentBlock_ = blockIndex; }
    void leaveBlock() { currentBlock_ = outsideAnyBlock; }
    // Set by the module's sleep call; the runner clears it when an event arrives.
    bool asleep() const { return asleep_; }
    void wake() { asleep_ = false; }

    // What the module sent.
    std::vector<HostRecord> const& records() const { return records_; }
    std::vector<HostRecord> pinSets(int32_t pin) const;
    std::optional<HostRecord> lastPinSet(int32_t pin) const;
    std::vector<HostRecord> streamingChanges(int32_t pin) const;
    // The streaming state last announced for `pin`; empty if none was.
    std::optional<bool> streamingOf(int32_t pin) const;
    int sleepCount() const;
    int countdownQueries() const { return countdownQueries_; }
    int sampleRateQueries() const { return sampleRateQueries_; }
    int iteratorQueries() const { return iteratorQueries_; }
    // Clears the records and the query counts; configuration and the asleep flag stay.
    void clearRecords();

    // [load time] Bounds the records for a runner that forwards them after every block and
    // then recycles them: room for `records` calls per block, each with up to `bytesEach`
    // bytes, set aside now. Beyond that a call is not recorded (droppedRecords counts it),
    // so that recording never allocates on the audio thread.
    void boundRecords(std::size_t records, std::size_t bytesEach);
    // [audio thread] Forgets the records, keeping their storage for the next ones.
    void recycleRecords();
    int64_t droppedRecords() const { return droppedRecords_; }

    // References handed out by queryInterface and addRef, less those released.
    int32_t referenceCount() const { return referenceCount_; }

private:
    std::vector<HostRecord> recordsOf(HostCallKind kind, int32_t pin) const;
    // Null when bounded records are full.
    HostRecord* newRecord(HostCallKind kind);

    float sampleRate_ = defaultSampleRate;
    int32_t countdown_ = defaultCountdown;
    std::vector<IteratorPin> iteratorPins_;
    std::shared_ptr<AudioHostPolicy const> policy_;

    int64_t currentBlock_ = outsideAnyBlock;
    bool asleep_ = false;
    std::vector<HostRecord> records_;
    bool recordsBounded_ = false;
    std::size_t recordBytesBound_ = 0;
    std::vector<std::vector<uint8_t>> spareBytes_; // storage of recycled records' bytes
    int64_t droppedRecords_ = 0;
    int countdownQueries_ = 0;
    int sampleRateQueries_ = 0;
    int iteratorQueries_ = 0;
    int32_t referenceCount_ = 0;
};

} // namespace zr::host
