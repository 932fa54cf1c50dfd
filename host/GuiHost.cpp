#include "host/GuiHost.h"

#include <algorithm>
#include <cwchar>
#include <exception>

namespace zr::host {
namespace {

std::shared_ptr<GuiHostPolicy> const& honestPolicy() {
    static auto const honest = std::make_shared<GuiHostPolicy>();
    return honest;
}

} // namespace

GuiHost::GuiHost() : policy_(honestPolicy()) {}

void GuiHost::setPolicy(std::shared_ptr<GuiHostPolicy> policy) { policy_ = policy ? std::move(policy) : honestPolicy(); }

int32_t GuiHost::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (returnInterface == nullptr)
        return gmpi::MP_FAIL;
    *returnInterface = nullptr;
    void* view = nullptr;
    if (iid == MP_IID_UI_HOST2 || iid == MP_IID_UNKNOWN)
        view = static_cast<gmpi::IMpUserInterfaceHost2*>(this);
    else if (iid == MP_IID_UI_HOST)
        view = static_cast<gmpi::IMpUserInterfaceHost*>(this);
    else if (iid == SE_IID_GRAPHICS_HOST)
        view = static_cast<gmpi_gui::IMpGraphicsHost*>(this);
    else if (iid == ZR_IID_CLOCK_HOST)
        view = static_cast<zr::IClockHost*>(this);
    if (view == nullptr || !policy_->answers(iid))
        return gmpi::MP_NOSUPPORT;
    *returnInterface = view;
    addRef();
    return gmpi::MP_OK;
}

int32_t GuiHost::pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) {
    HostRecord& record = transmissions_.emplace_back();
    record.kind = HostCallKind::PinSet;
    record.pin = pinIndex;
    record.size = size;
    record.timestamp = voice;
    if (size > 0 && data != nullptr) {
        auto const* bytes = static_cast<uint8_t const*>(data);
        record.bytes.assign(bytes, bytes + size);
    }
    if (served_ != nullptr)
        policy_->transmitted(*served_, record);
    return gmpi::MP_OK;
}

int32_t GuiHost::resolveFilename(wchar_t const* shortName, int32_t maxChars, wchar_t* returnFullFilename) {
    if (shortName == nullptr || returnFullFilename == nullptr || maxChars <= 0)
        return gmpi::MP_FAIL;
    if (policy_->answersFilename({returnFullFilename, static_cast<std::size_t>(maxChars)}))
        return gmpi::MP_OK;
    try {
        std::filesystem::path const name(shortName);
        std::wstring const full = name.is_absolute() || fileFolder_.empty() ? name.wstring() : (fileFolder_ / name).wstring();
        std::size_t const written = std::min(full.size(), static_cast<std::size_t>(maxChars - 1));
        std::wmemcpy(returnFullFilename, full.data(), written);
        returnFullFilename[written] = L'\0';
        return written == full.size() ? gmpi::MP_OK : gmpi::MP_FAIL;
    } catch (std::exception const&) {
        return gmpi::MP_FAIL; // a name the file system cannot spell; nothing crosses back into the module
    }
}

int32_t GuiHost::getPinCount(int32_t* returnCount) {
    if (returnCount == nullptr)
        return gmpi::MP_FAIL;
    if (std::optional<int32_t> const answer = policy_->pinCountAnswer(pinCount_))
        *returnCount = *answer;
    return gmpi::MP_OK;
}

int32_t GuiHost::setCapture() {
    captureHeld_ = true;
    ++captureTakes_;
    return gmpi::MP_OK;
}

int32_t GuiHost::getCapture(int32_t* returnValue) {
    if (returnValue == nullptr)
        return gmpi::MP_FAIL;
    if (std::optional<int32_t> const answer = policy_->captureAnswer(captureHeld_ ? 1 : 0))
        *returnValue = *answer;
    return gmpi::MP_OK;
}

void GuiHost::invalidateRect(GmpiDrawing_API::MP1_RECT const* invalidRect) {
    ++invalidations_;
    if (invalidRect == nullptr)
        ++wholeAreaInvalidations_;
}

int32_t GuiHost::releaseCapture() {
    captureHeld_ = false;
    ++captureReleases_;
    return gmpi::MP_OK;
}

int32_t GuiHost::getSteadyTime(int64_t* returnNanoseconds) {
    if (returnNanoseconds == nullptr)
        return gmpi::MP_FAIL;
    *returnNanoseconds = now_;
    return gmpi::MP_OK;
}

std::vector<HostRecord> GuiHost::transmissionsOf(int32_t pin) const {
    std::vector<HostRecord> found;
    std::copy_if(transmissions_.begin(), transmissions_.end(), std::back_inserter(found),
                 [pin](HostRecord const& record) { return record.pin == pin; });
    return found;
}

std::optional<HostRecord> GuiHost::lastTransmission(int32_t pin) const {
    auto const last = std::find_if(transmissions_.rbegin(), transmissions_.rend(),
                                   [pin](HostRecord const& record) { return record.pin == pin; });
    if (last == transmissions_.rend())
        return std::nullopt;
    return *last;
}

void GuiHost::clearRecords() {
    transmissions_.clear();
    invalidations_ = 0;
    wholeAreaInvalidations_ = 0;
    captureTakes_ = 0;
    captureReleases_ = 0;
}

} // namespace zr::host
