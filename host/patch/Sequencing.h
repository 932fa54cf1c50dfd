#pragma once
// Timed changes written compactly: a change that repeats ("every" seconds, "count" times)
// and notes (start, length, pitch) that become changes of a gate pin and a pitch pin. The
// loader turns what these return into timed pin changes, checking each value as any other.
// [load time] Each throws SequenceError naming the key at fault.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace zr::host {

class SequenceError : public std::invalid_argument {
public:
    SequenceError(std::string place, std::string const& message) : std::invalid_argument(message), place(std::move(place)) {}
    std::string place; // the key at fault, as a path below the entry's own place
};

// Most repeats one entry may make: far more than any sequence needs, few enough to hold.
inline constexpr int64_t kMostRepeats = 1'000'000;

// The times an entry plays: "at", then each "every" seconds after it, "count" times in all
// (the entry once when it has neither). With "every" and no "count" it repeats up to `end`.
// `place` is the entry's place, e.g. "changes[2]".
std::vector<double> repeatTimes(nlohmann::ordered_json const& entry, std::string const& place, double end);

// Volts per octave as the oscillators read them: 5 V is A4 (440 Hz), 1 V an octave. A
// number is volts as it is; a note name is a letter A-G, an optional '#' or 'b', and an
// octave (C4 is middle C, 4.25 V). No value for a text that is no note name.
std::optional<double> noteVolts(std::string_view name);

// "0.25 s": seconds for messages, without trailing zeros.
std::string secondsText(double value);

// One note of a notes section, its times in seconds.
struct Note {
    double start = 0.0;
    double end = 0.0;
    std::optional<nlohmann::ordered_json> pitch; // volts, as the pitch pin takes it
    std::string place;                           // e.g. "notes.play[3]"
};

// The notes of `play` (the section's list, at `place`), repeats expanded, sorted by start.
// Refuses a note without a positive length, a pitch that is no volts or note name, and notes
// that overlap: one gate plays one note at a time.
std::vector<Note> readNotes(nlohmann::ordered_json const& play, std::string const& place, double end);

} // namespace zr::host
