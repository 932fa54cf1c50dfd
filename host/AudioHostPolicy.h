#pragma once
// How an AudioHost answers the queries a module makes. This base class is the honest host:
// it hands out every interface the host implements and writes every answer. The hooks sit at
// exactly the points where a host could answer otherwise, so that the test machinery can
// stand in a host that does.

#include <cstdint>
#include <optional>

#include "sdk/Interfaces.h"

namespace zr::host {

class AudioHostPolicy {
public:
    // What createPinIterator hands back (its result is MP_OK in every case).
    enum class IteratorAnswer {
        NewIterator, // a fresh iterator over the host's pins, owned by the caller
        Unwritten,   // nothing is written
        Null,        // null is written
    };

    virtual ~AudioHostPolicy() = default;

    // [audio thread] Whether queryInterface hands out `iid`, one of the interfaces the host
    // implements; when not, it answers MP_NOSUPPORT.
    virtual bool answers(gmpi::MpGuid const& /*iid*/) const { return true; }
    // [audio thread] What getSleepCountdown and getSampleRate write, given the host's own
    // value; nothing: they write nothing (their result is MP_OK either way).
    virtual std::optional<int32_t> sleepCountdownAnswer(int32_t countdown) const { return countdown; }
    virtual std::optional<float> sampleRateAnswer(float sampleRate) const { return sampleRate; }
    // [audio thread]
    virtual IteratorAnswer pinIteratorAnswer() const { return IteratorAnswer::NewIterator; }
};

} // namespace zr::host
