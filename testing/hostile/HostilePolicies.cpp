#include "testing/hostile/HostilePolicies.h"

#include <algorithm>
#include <vector>

#include "sdk/ClockHost.h"
#include "sdk/Identifiers.h"

namespace zr::hostile {

bool HostileAudioPolicy::answers(gmpi::MpGuid const& iid) const {
    return !(iid == MP_IID_HOST && switches_.refuseHost) &&
           !(iid == MP_IID_PROCESSOR_HOST && switches_.refuseProcessorHost);
}

std::optional<int32_t> HostileAudioPolicy::sleepCountdownAnswer(int32_t countdown) const {
    return switches_.leaveCountdownUnwritten ? std::nullopt : std::optional(countdown);
}

std::optional<float> HostileAudioPolicy::sampleRateAnswer(float sampleRate) const {
    return switches_.leaveSampleRateUnwritten ? std::nullopt : std::optional(sampleRate);
}

host::AudioHostPolicy::IteratorAnswer HostileAudioPolicy::pinIteratorAnswer() const {
    if (switches_.leaveIteratorUnwritten)
        return IteratorAnswer::Unwritten;
    return switches_.nullIterator ? IteratorAnswer::Null : IteratorAnswer::NewIterator;
}

bool HostileGuiPolicy::answers(gmpi::MpGuid const& iid) {
    return !(iid == MP_IID_UI_HOST2 && switches_.refuseUiHost2) && !(iid == MP_IID_UI_HOST && switches_.refuseUiHost) &&
           !(iid == SE_IID_GRAPHICS_HOST && switches_.refuseGraphicsHost) &&
           !(iid == ZR_IID_CLOCK_HOST && switches_.refuseClock);
}

std::optional<int32_t> HostileGuiPolicy::captureAnswer(int32_t held) {
    return switches_.leaveCaptureUnwritten ? std::nullopt : std::optional(held);
}

std::optional<int32_t> HostileGuiPolicy::pinCountAnswer(int32_t count) {
    if (switches_.leavePinCountUnwritten)
        return std::nullopt;
    return switches_.pinCountAnswer.value_or(count);
}

bool HostileGuiPolicy::answersFilename(std::span<wchar_t> answer) {
    if (switches_.leaveFilenameUnwritten)
        return true;
    if (!switches_.fillFilenameUnterminated)
        return false;
    std::ranges::fill(answer, L'x');
    return true;
}

void HostileGuiPolicy::transmitted(gmpi::IMpUserInterface2B& module, host::HostRecord const& sent) {
    if (!switches_.echoTransmissions)
        return;
    if (echoesUnderWay_ >= switches_.echoDepth) {
        ++echoCutOffs_;
        return;
    }
    ++echoesUnderWay_;
    // Copied: the module may transmit again meanwhile, which moves the record.
    int32_t const pin = sent.pin, voice = sent.timestamp;
    std::vector<uint8_t> const echoed = sent.bytes;
    module.setPin(pin, voice, static_cast<int32_t>(echoed.size()), echoed.data());
    module.notifyPin(pin, voice);
    --echoesUnderWay_;
}

std::shared_ptr<HostileGuiPolicy> echoingGuiHost(int depth) {
    return std::make_shared<HostileGuiPolicy>(GuiHostileSwitches{.echoTransmissions = true, .echoDepth = depth});
}

} // namespace zr::hostile
