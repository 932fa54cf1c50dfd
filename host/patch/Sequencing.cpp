#include "host/patch/Sequencing.h"

#include <algorithm>
#include <cmath>

namespace zr::host {
namespace {

using json = nlohmann::ordered_json;

constexpr double kVoltsOfA4 = 5.0;
constexpr int kMidiOfA4 = 69;

double secondsAt(json const& entry, std::string const& key, std::string const& place) {
    json const& value = entry.at(key);
    if (!value.is_number())
        throw SequenceError(place + "." + key, "expected seconds, a number");
    return value.get<double>();
}

int semitoneOfLetter(char letter) {
    switch (letter) {
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'A': return 9;
    case 'B': return 11;
    default: return -1;
    }
}

} // namespace

std::string secondsText(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text + " s";
}

std::vector<double> repeatTimes(json const& entry, std::string const& place, double end) {
    if (!entry.contains("at"))
        throw SequenceError(place, "'at' is missing: the time in seconds");
    double const at = secondsAt(entry, "at", place);
    if (!(at >= 0.0))
        throw SequenceError(place + ".at", "expected seconds from 0");
    bool const hasEvery = entry.contains("every");
    if (entry.contains("count") && !hasEvery)
        throw SequenceError(place + ".count", "a count needs \"every\": the seconds between repeats");
    if (!hasEvery)
        return {at};
    double const every = secondsAt(entry, "every", place);
    if (!(every > 0.0))
        throw SequenceError(place + ".every", "expected seconds above 0 between repeats");
    int64_t count = 0;
    if (entry.contains("count")) {
        json const& given = entry.at("count");
        double const number = given.is_number() ? given.get<double>() : -1.0;
        if (!(number >= 1.0 && number <= static_cast<double>(kMostRepeats)) || number != std::floor(number))
            throw SequenceError(place + ".count", "expected a whole number of times from 1 to " + std::to_string(kMostRepeats));
        count = static_cast<int64_t>(number);
    } else {
        double const fit = std::ceil((end - at) / every);
        if (fit > static_cast<double>(kMostRepeats))
            throw SequenceError(place + ".every", "repeating every " + secondsText(every) + " until the end makes over " +
                                                      std::to_string(kMostRepeats) + " repeats; give a longer step");
        count = std::max<int64_t>(1, static_cast<int64_t>(fit));
    }
    std::vector<double> times;
    times.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        times.push_back(at + static_cast<double>(i) * every);
    return times;
}

std::optional<double> noteVolts(std::string_view name) {
    if (name.size() < 2)
        return std::nullopt;
    int semitone = semitoneOfLetter(static_cast<char>(std::toupper(static_cast<unsigned char>(name[0]))));
    if (semitone < 0)
        return std::nullopt;
    size_t next = 1;
    if (name[next] == '#' || name[next] == 'b') {
        semitone += name[next] == '#' ? 1 : -1;
        ++next;
    }
    std::string_view octaveText = name.substr(next);
    bool const negative = octaveText.starts_with('-');
    if (negative)
        octaveText.remove_prefix(1);
    if (octaveText.empty() || octaveText.size() > 2 ||
        !std::all_of(octaveText.begin(), octaveText.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int const octave = std::stoi(std::string(octaveText)) * (negative ? -1 : 1);
    int const midi = (octave + 1) * 12 + semitone;
    return kVoltsOfA4 + static_cast<double>(midi - kMidiOfA4) / 12.0;
}

std::vector<Note> readNotes(json const& play, std::string const& place, double end) {
    if (!play.is_array())
        throw SequenceError(place, "expected a list of notes: { \"at\": s, \"length\": s, \"pitch\": volts or a note name }");
    std::vector<Note> notes;
    for (size_t i = 0; i < play.size(); ++i) {
        std::string const here = place + "[" + std::to_string(i) + "]";
        json const& entry = play.at(i);
        if (!entry.is_object())
            throw SequenceError(here, "expected a note: { \"at\": s, \"length\": s, \"pitch\": volts or a note name }");
        for (auto const& [key, value] : entry.items())
            if (key != "at" && key != "length" && key != "pitch" && key != "every" && key != "count")
                throw SequenceError(here + "." + key, "unknown key; expected one of: at, length, pitch, every, count");
        if (!entry.contains("length"))
            throw SequenceError(here, "'length' is missing: how many seconds the gate stays on");
        double const length = secondsAt(entry, "length", here);
        if (!(length > 0.0))
            throw SequenceError(here + ".length", "expected seconds above 0");
        std::optional<json> pitch;
        if (entry.contains("pitch")) {
            json const& given = entry.at("pitch");
            if (given.is_number()) {
                pitch = given;
            } else if (given.is_string() && noteVolts(given.get<std::string>())) {
                pitch = *noteVolts(given.get<std::string>());
            } else {
                throw SequenceError(here + ".pitch", "expected volts (5 = A4, 440 Hz; 1 V per octave) or a note name such as A4, C#3 or Bb2");
            }
        }
        for (double const start : repeatTimes(entry, here, end))
            notes.push_back({start, start + length, pitch, here});
    }
    std::stable_sort(notes.begin(), notes.end(), [](Note const& a, Note const& b) { return a.start < b.start; });
    for (size_t i = 1; i < notes.size(); ++i)
        if (notes[i].start < notes[i - 1].end)
            throw SequenceError(notes[i].place, "starts at " + secondsText(notes[i].start) + ", before the note of " +
                                                    notes[i - 1].place + " ends at " + secondsText(notes[i - 1].end) +
                                                    "; one gate plays one note at a time");
    return notes;
}

} // namespace zr::host
