#pragma once
// Hosts that break their side of the contract, as policies for the host runners: refused
// interfaces, answers left unwritten or untrue, and a GUI host that echoes every transmission
// straight back. A module must survive each.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "host/AudioHostPolicy.h"
#include "host/GuiHostPolicy.h"
#include "host/HostRecord.h"

namespace zr::hostile {

struct HostileSwitches {
    bool refuseHost = false;               // queryInterface(MP_IID_HOST) answers MP_NOSUPPORT
    bool refuseProcessorHost = false;      // queryInterface(MP_IID_PROCESSOR_HOST) likewise
    bool leaveCountdownUnwritten = false;  // getSleepCountdown returns MP_OK, writes nothing
    bool leaveSampleRateUnwritten = false; // getSampleRate returns MP_OK, writes nothing
    bool leaveIteratorUnwritten = false;   // createPinIterator returns MP_OK, writes nothing
    bool nullIterator = false;             // createPinIterator writes null and returns MP_OK
};

// An audio host that breaks the contract where its switches say. [audio thread] Read-only.
class HostileAudioPolicy final : public host::AudioHostPolicy {
public:
    explicit HostileAudioPolicy(HostileSwitches switches) : switches_(switches) {}

    bool answers(gmpi::MpGuid const& iid) const override;
    std::optional<int32_t> sleepCountdownAnswer(int32_t countdown) const override;
    std::optional<float> sampleRateAnswer(float sampleRate) const override;
    IteratorAnswer pinIteratorAnswer() const override;

private:
    HostileSwitches switches_;
};

struct GuiHostileSwitches {
    bool refuseUiHost2 = false;             // queryInterface(MP_IID_UI_HOST2) answers MP_NOSUPPORT
    bool refuseUiHost = false;              // queryInterface(MP_IID_UI_HOST) likewise
    bool refuseGraphicsHost = false;        // queryInterface(SE_IID_GRAPHICS_HOST) likewise
    bool refuseClock = false;               // queryInterface(ZR_IID_CLOCK_HOST) likewise
    bool leaveCaptureUnwritten = false;     // getCapture returns MP_OK, writes nothing
    bool leavePinCountUnwritten = false;    // getPinCount returns MP_OK, writes nothing
    bool leaveFilenameUnwritten = false;    // resolveFilename returns MP_OK, writes nothing
    bool fillFilenameUnterminated = false;  // resolveFilename fills all maxChars with 'x', no terminator
    std::optional<int32_t> pinCountAnswer = std::nullopt; // getPinCount writes this instead of the described count
    // Sends each transmission straight back to the module, as a host that echoes a value to
    // the pin it came from would (setPin, then notifyPin, inside the transmit call).
    bool echoTransmissions = false;
    // How deep an echoing host nests: a transmission made while this many echoes are under
    // way is recorded but not sent back (1: only the module's own transmissions are echoed).
    int echoDepth = 1;
};

// A GUI host that breaks the contract where its switches say. [ui thread]
class HostileGuiPolicy final : public host::GuiHostPolicy {
public:
    explicit HostileGuiPolicy(GuiHostileSwitches switches) : switches_(switches) {}

    GuiHostileSwitches const& switches() const { return switches_; }
    // Transmissions not echoed because the echoes were already nested echoDepth deep, since
    // the last clearEchoCutOffs.
    int echoCutOffs() const { return echoCutOffs_; }
    void clearEchoCutOffs() { echoCutOffs_ = 0; }

    bool answers(gmpi::MpGuid const& iid) override;
    std::optional<int32_t> captureAnswer(int32_t held) override;
    std::optional<int32_t> pinCountAnswer(int32_t count) override;
    bool answersFilename(std::span<wchar_t> answer) override;
    void transmitted(gmpi::IMpUserInterface2B& module, host::HostRecord const& sent) override;

private:
    GuiHostileSwitches switches_;
    int echoesUnderWay_ = 0;
    int echoCutOffs_ = 0;
};

// A GUI host that keeps the contract but echoes every transmission, nested up to `depth`.
std::shared_ptr<HostileGuiPolicy> echoingGuiHost(int depth = 1);

} // namespace zr::hostile
