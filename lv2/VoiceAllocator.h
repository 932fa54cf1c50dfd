#pragma once
// Which voice plays a new note: a free voice (no key held) that started longest ago, else the
// oldest held voice, which is stolen.

#include <array>
#include <cstdint>

namespace zr::lv2 {

template <size_t Voices>
class VoiceAllocator {
public:
    static constexpr int32_t kNoNote = -1;

    // [audio thread] The voice that plays `note` from now.
    size_t noteOn(int32_t note) {
        size_t chosen = oldest(false);
        if (chosen == Voices)
            chosen = oldest(true);
        voices_[chosen] = {note, true, ++clock_};
        return chosen;
    }

    // [audio thread] Releases the voice holding `note`; Voices when none does.
    size_t noteOff(int32_t note) {
        for (size_t i = 0; i < Voices; ++i)
            if (voices_[i].held && voices_[i].note == note) {
                voices_[i].held = false;
                return i;
            }
        return Voices;
    }

    void releaseAll() {
        for (auto& voice : voices_)
            voice.held = false;
    }

    bool held(size_t voice) const { return voices_[voice].held; }
    int32_t note(size_t voice) const { return voices_[voice].note; }

private:
    struct Voice {
        int32_t note = kNoNote;
        bool held = false;
        uint64_t started = 0; // 0: never played
    };

    size_t oldest(bool held) const {
        size_t found = Voices;
        for (size_t i = 0; i < Voices; ++i)
            if (voices_[i].held == held && (found == Voices || voices_[i].started < voices_[found].started))
                found = i;
        return found;
    }

    std::array<Voice, Voices> voices_{};
    uint64_t clock_ = 0;
};

} // namespace zr::lv2
