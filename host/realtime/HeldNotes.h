#pragma once
// The keys held down on a MIDI keyboard, newest last, for last-note priority: the newest held
// key sounds; releasing it returns to the one held before it. Fixed storage: no call allocates.

#include <array>
#include <cstdint>
#include <optional>

namespace zr::host {

class HeldNotes {
public:
    // [audio thread] A key goes down (again: it becomes the newest).
    void press(uint8_t note);
    // [audio thread] A key comes up; a key not held changes nothing.
    void release(uint8_t note);
    // The key that sounds: the newest held; none when no key is held.
    std::optional<uint8_t> sounding() const;

private:
    std::array<uint8_t, 128> order_{}; // held keys, oldest first
    int count_ = 0;
};

} // namespace zr::host
