// The envelope and the synth driven as a host drives them: MIDI notes open and close gates,
// the host's beat restarts the contour, a ninth note steals the oldest voice.

#include <gtest/gtest.h>

#include <numeric>

#include "lv2/BeatClock.h"
#include "lv2/VoiceAllocator.h"
#include "tests/lv2/PluginCases.h"

namespace zr::test {
namespace {

std::string const kEnvelopeUri = "urn:zr-shapes:lv2:envelope";
std::string const kSynthUri = "urn:zr-shapes:lv2:synth";

float peakOf(std::vector<float> const& samples, size_t from, size_t to) {
    float highest = 0.0f;
    for (size_t i = from; i < to && i < samples.size(); ++i)
        highest = std::fmax(highest, std::fabs(samples[i]));
    return highest;
}

class NotesAndBeats : public ::testing::Test {
protected:
    LilvTestWorld world_{lv2Path()};
};

TEST_F(NotesAndBeats, EnvelopeIsSilentUntilANoteAndReleasesAfterIt) {
    PluginInstance envelope(world_, kEnvelopeUri);
    envelope.setControl("duration", 50.0f);
    Channels silent = renderInBlocks(envelope, 4800, 480);
    EXPECT_EQ(peak(silent), 0.0f);

    envelope.midi(100, {0x90, 60, 100});
    envelope.midi(200, {0x80, 60, 0});
    Channels const played = renderInBlocks(envelope, 9600, 480);
    EXPECT_GT(peakOf(played[0], 100, 2500), 0.05f);
    EXPECT_EQ(peakOf(played[0], 0, 100), 0.0f) << "sound before the note";
    EXPECT_EQ(peakOf(played[0], 4800, 9600), 0.0f) << "the 50 ms contour did not end";
}

TEST_F(NotesAndBeats, EnvelopeRestartsOnEveryBeatWhenAsked) {
    struct Case {
        bool retrigger;
        size_t soundingBeats; // of the three beats at 0, 24000 and 48000
    };
    for (Case const& tested : {Case{true, 3}, Case{false, 0}}) {
        SCOPED_TRACE(tested.retrigger ? "retriggered" : "not retriggered");
        PluginInstance envelope(world_, kEnvelopeUri);
        envelope.setControl("duration", 20.0f);
        envelope.setControl("beat_retrigger", tested.retrigger ? 1.0f : 0.0f);
        envelope.position(0, 0.0, 120.0, 1.0); // 120 beats per minute: a beat every 24000 samples
        Channels const played = renderInBlocks(envelope, 60000, 1000);
        size_t sounding = 0;
        for (size_t beat : {0u, 24000u, 48000u}) {
            if (peakOf(played[0], beat, beat + 960) > 0.05f)
                ++sounding;
            EXPECT_EQ(peakOf(played[0], beat + 2000, beat + 23990), 0.0f) << "sound between beats after beat " << beat;
        }
        EXPECT_EQ(sounding, tested.soundingBeats);
    }
}

TEST_F(NotesAndBeats, EnvelopeDurationInBeatsFollowsTheTempo) {
    for (double tempo : {60.0, 240.0}) {
        SCOPED_TRACE(tempo);
        PluginInstance envelope(world_, kEnvelopeUri);
        envelope.setControl("duration_unit", 1.0f);
        envelope.setControl("duration_beats", 0.5f);
        envelope.setControl("sustain_node", -1.0f);
        envelope.position(0, 0.5, tempo, 0.0);
        envelope.midi(0, {0x90, 60, 100});
        Channels const played = renderInBlocks(envelope, 48000, 512);
        // Half a beat: 500 ms at 60 per minute, 125 ms at 240.
        auto const end = static_cast<size_t>(0.5 * 60.0 / tempo * 48000.0);
        EXPECT_GT(peakOf(played[0], end - 1500, end - 500), 0.0f);
        EXPECT_EQ(peakOf(played[0], end + 100, 48000), 0.0f);
    }
}

TEST_F(NotesAndBeats, SynthPlaysEachNoteAtItsPitch) {
    for (uint8_t note : {45, 69, 81}) {
        SCOPED_TRACE(int(note));
        PluginInstance synth(world_, kSynthUri);
        synth.setControl("sustain_node", 1.0f);
        synth.midi(0, {0x90, note, 100});
        Channels const played = renderInBlocks(synth, 48000, 512);
        // Rising zero crossings over the held part give the frequency.
        int crossings = 0;
        for (size_t i = 9601; i < 38400; ++i)
            crossings += played[0][i - 1] < 0.0f && played[0][i] >= 0.0f;
        double const expected = 440.0 * std::pow(2.0, (note - 69) / 12.0) * (38400 - 9601) / 48000.0;
        EXPECT_NEAR(crossings, expected, expected * 0.03 + 2);
    }
}

TEST_F(NotesAndBeats, SynthStealsTheOldestOfEightHeldVoices) {
    PluginInstance synth(world_, kSynthUri);
    synth.setControl("sustain_node", 1.0f);
    for (uint8_t note = 60; note < 68; ++note)
        synth.midi(note - 60, {0x90, note, 100});
    renderInBlocks(synth, 4800, 512);
    synth.midi(0, {0x90, 72, 100}); // steals note 60's voice
    synth.midi(10, {0x80, 60, 0});  // no voice holds 60 any more: nothing is released
    for (uint8_t note = 61; note < 68; ++note)
        synth.midi(20, {0x80, note, 0});
    Channels const played = renderInBlocks(synth, 48000, 512);
    EXPECT_TRUE(allFinite(played));
    // The contour's release ends well within the second; note 72 still holds its voice.
    EXPECT_GT(peakOf(played[0], 40000, 48000), 0.01f);
    synth.midi(0, {0x80, 72, 0});
    EXPECT_GT(peak(renderInBlocks(synth, 48000, 512)), 0.0f) << "the release of note 72";
    EXPECT_EQ(peakOf(renderInBlocks(synth, 4800, 512)[0], 0, 4800), 0.0f) << "a voice kept sounding after every release";
}

TEST(VoiceAllocator, TakesFreeVoicesOldestFirstThenStealsTheOldestHeld) {
    lv2::VoiceAllocator<3> voices;
    EXPECT_EQ(voices.noteOn(60), 0u);
    EXPECT_EQ(voices.noteOn(62), 1u);
    EXPECT_EQ(voices.noteOn(64), 2u);
    EXPECT_EQ(voices.noteOn(65), 0u) << "all held: the oldest is stolen";
    EXPECT_EQ(voices.noteOff(60), 3u) << "the stolen note holds no voice";
    EXPECT_EQ(voices.noteOff(64), 2u);
    EXPECT_EQ(voices.noteOff(62), 1u);
    EXPECT_EQ(voices.noteOn(67), 1u) << "of the free voices, the one started longest ago";
    EXPECT_EQ(voices.noteOn(69), 2u);
    EXPECT_EQ(voices.noteOn(71), 0u);
    voices.releaseAll();
    for (size_t voice = 0; voice < 3; ++voice)
        EXPECT_FALSE(voices.held(voice));
}

TEST(BeatClock, FindsTheNextWholeBeat) {
    struct Case {
        double barBeat;
        double tempo;
        double speed;
        uint32_t frames;
        std::optional<uint32_t> beatAt;
    };
    for (Case const& tested : {Case{0.0, 120.0, 1.0, 10, 0u}, Case{0.5, 120.0, 1.0, 20000, 12000u},
                               Case{0.5, 120.0, 1.0, 12000, std::nullopt}, Case{3.75, 60.0, 1.0, 48000, 12000u},
                               Case{0.5, 120.0, 0.0, 48000, std::nullopt}, Case{0.5, 120.0, 2.0, 48000, 6000u},
                               Case{2.0 + 1e-12, 120.0, 1.0, 10, 0u}}) {
        SCOPED_TRACE(std::to_string(tested.barBeat) + " at " + std::to_string(tested.tempo));
        lv2::BeatClock clock(48000.0);
        EXPECT_EQ(clock.nextBeatWithin(tested.frames), std::nullopt) << "a beat before any position";
        clock.update(tested.barBeat, tested.tempo, tested.speed);
        EXPECT_EQ(clock.nextBeatWithin(tested.frames), tested.beatAt);
    }
}

TEST(BeatClock, KeepsValuesThatAreNotNumbers) {
    lv2::BeatClock clock(48000.0);
    clock.update(0.0, 90.0, 1.0);
    clock.update(std::nan(""), -5.0, std::nullopt);
    EXPECT_EQ(clock.tempo(), 90.0);
    EXPECT_EQ(clock.beat(), 0.0);
    clock.advance(32000);
    EXPECT_DOUBLE_EQ(clock.beat(), 1.0);
}

} // namespace
} // namespace zr::test
