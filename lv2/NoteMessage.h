#pragma once
// What a MIDI message means to a plug-in that plays notes: a note starting, a note ending
// (also a note-on of velocity 0), every note ending (all notes off, all sound off), or
// nothing it plays.

#include <cstdint>

namespace zr::lv2 {

struct NoteMessage {
    enum class Kind { Other, NoteOn, NoteOff, AllOff };
    Kind kind = Kind::Other;
    int32_t note = 0;
};

// [audio thread] Any channel; messages shorter than three bytes mean nothing.
inline NoteMessage readNoteMessage(uint8_t const* message, uint32_t size) {
    constexpr uint8_t kNoteOff = 0x80, kNoteOn = 0x90, kControlChange = 0xB0;
    constexpr uint8_t kAllSoundOff = 120, kAllNotesOff = 123;
    if (size < 3)
        return {};
    uint8_t const status = message[0] & 0xF0;
    if (status == kNoteOn && message[2] > 0)
        return {NoteMessage::Kind::NoteOn, message[1]};
    if (status == kNoteOff || status == kNoteOn)
        return {NoteMessage::Kind::NoteOff, message[1]};
    if (status == kControlChange && (message[1] == kAllNotesOff || message[1] == kAllSoundOff))
        return {NoteMessage::Kind::AllOff, 0};
    return {};
}

} // namespace zr::lv2
