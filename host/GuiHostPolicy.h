#pragma once
// How a GuiHost answers the queries a GUI module makes, and what follows a transmission. This
// base class is the honest host: it hands out every interface the host implements, writes
// every answer and does nothing more once a transmission is recorded. The hooks sit at
// exactly the points where a host could behave otherwise, so that the test machinery can
// stand in a host that does.

#include <cstdint>
#include <optional>
#include <span>

#include "host/HostRecord.h"
#include "sdk/GuiInterfaces.h"

namespace zr::host {

class GuiHostPolicy {
public:
    virtual ~GuiHostPolicy() = default;

    // [ui thread] Whether queryInterface hands out `iid`, one of the interfaces the host
    // implements; when not, it answers MP_NOSUPPORT.
    virtual bool answers(gmpi::MpGuid const& /*iid*/) { return true; }
    // [ui thread] What getCapture and getPinCount write, given the host's own value; nothing:
    // they write nothing (their result is MP_OK either way).
    virtual std::optional<int32_t> captureAnswer(int32_t held) { return held; }
    virtual std::optional<int32_t> pinCountAnswer(int32_t count) { return count; }
    // [ui thread] Lets the policy give resolveFilename an answer of its own, written into
    // `answer` (the caller's maxChars characters) or not at all; true when it did, and the
    // host then returns MP_OK without resolving the name.
    virtual bool answersFilename(std::span<wchar_t> /*answer*/) { return false; }
    // [ui thread] Called inside pinTransmit once the host has recorded `sent` (its voice in
    // `timestamp`); `module` is the module that transmitted it. The record stays valid only
    // until the module transmits again.
    virtual void transmitted(gmpi::IMpUserInterface2B& /*module*/, HostRecord const& /*sent*/) {}
};

} // namespace zr::host
