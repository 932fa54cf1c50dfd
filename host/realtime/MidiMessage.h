#pragma once
// One short MIDI message at its frame inside a period, copied out of the audio server's
// buffer so that the patch runner never sees the server's types.

#include <cstdint>

namespace zr::host {

struct MidiMessage {
    int32_t frame = 0;       // from the period's first frame
    uint8_t bytes[3] = {};   // status, then up to two data bytes
    uint8_t size = 0;
};

} // namespace zr::host
