#pragma once
// The host side one GUI module talks to: the UI hosts (pin transmission, file-name
// resolution, pin count), the graphics host (redraw requests, pointer capture) and a clock
// that the runner drives. Records every call the module makes.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "host/GuiHostPolicy.h"
#include "host/HostRecord.h"
#include "sdk/ClockHost.h"
#include "sdk/GuiInterfaces.h"

namespace zr::host {

class GuiHost final : public gmpi::IMpUserInterfaceHost2,
                      public gmpi::IMpUserInterfaceHost,
                      public gmpi_gui::IMpGraphicsHost,
                      public zr::IClockHost {
public:
    // Far from 0, so that a module's first click never looks like the second of a pair.
    static constexpr int64_t startTimeNanoseconds = 1'000'000'000'000;

    GuiHost();
    GuiHost(GuiHost const&) = delete;
    GuiHost& operator=(GuiHost const&) = delete;

    // How the host answers and what follows each transmission; null: the honest host.
    void setPolicy(std::shared_ptr<GuiHostPolicy> policy);
    void setPinCount(int32_t count) { pinCount_ = count; }
    // Short file names resolve against this folder; absolute ones stay as they are.
    void setFileFolder(std::filesystem::path folder) { fileFolder_ = std::move(folder); }
    // The module whose transmissions the policy is shown (GuiHostPolicy::transmitted); null:
    // the policy is shown none. Set once the module is initialised, cleared before its release.
    void serve(gmpi::IMpUserInterface2B* module) { served_ = module; }

    // Clock: starts at startTimeNanoseconds and moves only when told to.
    void advanceClock(int64_t nanoseconds) { now_ += nanoseconds; }
    int64_t now() const { return now_; }

    // gmpi::IMpUnknown, shared by every view. Answers MP_IID_UI_HOST2, MP_IID_UI_HOST,
    // SE_IID_GRAPHICS_HOST, ZR_IID_CLOCK_HOST and MP_IID_UNKNOWN, as far as the policy answers
    // them. References are counted but never delete: the runner owns this object.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    int32_t addRef() override { return ++referenceCount_; }
    int32_t release() override { return --referenceCount_; }

    // UI hosts [ui thread]
    int32_t pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) override;
    int32_t resolveFilename(wchar_t const* shortName, int32_t maxChars, wchar_t* returnFullFilename) override;
    int32_t getPinCount(int32_t* returnCount) override;
    int32_t unusedSlot5() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot6() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot7() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot8() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot9() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot10() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot11() override { return gmpi::MP_NOSUPPORT; }

    // Graphics host [ui thread]
    int32_t setCapture() override;
    int32_t getCapture(int32_t* returnValue) override;
    void invalidateRect(GmpiDrawing_API::MP1_RECT const* invalidRect) override;
    int32_t releaseCapture() override;

    // Clock
    int32_t getSteadyTime(int64_t* returnNanoseconds) override;

    // What the module sent: every transmission as a PinSet record (voice in `timestamp`).
    std::vector<HostRecord> const& transmissions() const { return transmissions_; }
    std::vector<HostRecord> transmissionsOf(int32_t pin) const;
    std::optional<HostRecord> lastTransmission(int32_t pin) const;
    int invalidations() const { return invalidations_; }
    int wholeAreaInvalidations() const { return wholeAreaInvalidations_; }
    bool captureHeld() const { return captureHeld_; }
    int captureTakes() const { return captureTakes_; }
    int captureReleases() const { return captureReleases_; }
    // Clears the records and counts; the capture state, clock and configuration stay.
    void clearRecords();

    int32_t referenceCount() const { return referenceCount_; }

private:
    std::shared_ptr<GuiHostPolicy> policy_;
    int32_t pinCount_ = 0;
    std::filesystem::path fileFolder_;
    gmpi::IMpUserInterface2B* served_ = nullptr;
    int64_t now_ = startTimeNanoseconds;

    std::vector<HostRecord> transmissions_;
    int invalidations_ = 0;
    int wholeAreaInvalidations_ = 0;
    bool captureHeld_ = false;
    int captureTakes_ = 0;
    int captureReleases_ = 0;
    int32_t referenceCount_ = 0;
};

} // namespace zr::host
