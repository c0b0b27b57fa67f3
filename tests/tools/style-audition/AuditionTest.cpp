#include "Audition.h"

#include "alg/song/ChordVocabulary.h"
#include "playback/SongRender.h"
#include "styles/StyleMaster.h"
#include "styles/StyleTestSupport.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace korvanta;
using namespace korvanta::audition;
using korvanta::test::makeStyle;
using korvanta::test::patternEvent;

namespace {

constexpr int kC = 7 << 8;      // C major triad
constexpr int kG7 = 8 << 8 | 1; // G7

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// A 4/4 song of `chords.size()` bars with no notes yet.
std::unique_ptr<TSong> emptySong(const std::vector<int>& chords) {
    auto song = std::make_unique<TSong>();
    song->meter().SetDivision(480);
    song->meter().AddMeter(0, 4, 4);
    song->setBarCount(static_cast<int>(chords.size()));
    for (int chord : chords)
        song->barHarmony.push_back(TBarHarmony{static_cast<std::int16_t>(chord), 1, 0, -1});
    return song;
}

void addNote(TSong& song, int pitch, int bar, int beat, int tick, int duration, int velocity = 80) {
    song.notes.AddNote(static_cast<std::uint8_t>(pitch), kChordList,
                       static_cast<std::uint16_t>(velocity << 8 | 64),
                       TBarPos{static_cast<std::uint16_t>(bar), static_cast<std::uint8_t>(beat), 0,
                               static_cast<std::uint16_t>(tick)},
                       static_cast<std::uint16_t>(duration), 0);
}

// Root C2 on 1, E3 G3 C4 on 2, fifth G2 on 3: a clean bar over C.
void addCleanBar(TSong& song, int bar) {
    addNote(song, 36, bar, 0, 0, 400);
    for (int p : {52, 55, 60})
        addNote(song, p, bar, 1, 0, 400);
    addNote(song, 43, bar, 2, 0, 400);
}

// Bass root and fifth, chord on 2 and 4, in 4/4; listing 4/4 and 2/2.
StyleRecord stridePattern() {
    return makeStyle(4, 4, {static_cast<int>(meterCode(4, 4)), static_cast<int>(meterCode(2, 2))},
                     {patternEvent(1, 3, 0, 0, 0, 400), patternEvent(3, 4, 0, 1, 0, 300, 70),
                      patternEvent(5, 4, 0, 1, 0, 300, 70), patternEvent(5, 3, 0, 2, 0, 400),
                      patternEvent(3, 4, 0, 3, 0, 300, 70), patternEvent(5, 4, 0, 3, 0, 300, 70)});
}

} // namespace

TEST(AuditionMeters, OwnMeterFirstThenTheOthersListed) {
    std::vector<std::string> problems;
    const StyleRecord style =
        makeStyle(4, 4, {int(meterCode(2, 2)), int(meterCode(4, 4)), int(meterCode(2, 2))}, {});
    EXPECT_EQ(auditionMeters(style, problems), (std::vector<Meter>{{4, 4}, {2, 2}}));
    EXPECT_TRUE(problems.empty());

    const StyleRecord twelve = makeStyle(12, 8, {int(meterCode(12, 8))}, {});
    EXPECT_EQ(auditionMeters(twelve, problems), (std::vector<Meter>{{12, 8}}));
    EXPECT_TRUE(problems.empty());
}

TEST(AuditionMeters, AListWithoutTheOwnMeterOrWithNoMeterIsReported) {
    std::vector<std::string> problems;
    const StyleRecord style = makeStyle(3, 4, {int(meterCode(6, 8)), 0x43 /* 4/3 */}, {});
    EXPECT_EQ(auditionMeters(style, problems), (std::vector<Meter>{{3, 4}, {6, 8}}));
    EXPECT_TRUE(mentions(problems, "own meter 3/4"));
    EXPECT_TRUE(mentions(problems, "names no meter"));
}

TEST(RenderedNoteChecks, ACleanBarPasses) {
    auto song = emptySong({kC, kC});
    addCleanBar(*song, 0);
    addCleanBar(*song, 1);
    EXPECT_EQ(checkRenderedNotes(*song), std::vector<std::string>{});
}

TEST(RenderedNoteChecks, WrongTonesRangesAndVelocitiesAreReported) {
    auto song = emptySong({kC});
    addCleanBar(*song, 0);
    addNote(*song, 50, 0, 3, 0, 200);    // D3 over C
    addNote(*song, 24, 0, 3, 0, 200);    // C1: a chord tone, far too low
    addNote(*song, 64, 0, 2, 0, 200, 0); // E4 with velocity 0
    addNote(*song, 67, 0, 1, 240, 0);    // G4 without length
    const std::vector<std::string> problems = checkRenderedNotes(*song);
    EXPECT_TRUE(mentions(problems, "D3 is not a tone of C")) << problems.size();
    EXPECT_TRUE(mentions(problems, "C1 lies outside MIDI 28..100"));
    EXPECT_TRUE(mentions(problems, "E4 has velocity 0"));
    EXPECT_TRUE(mentions(problems, "G4 has no length"));
}

TEST(RenderedNoteChecks, NotesMayRingASixteenthOverTheBarLineAndNoMore) {
    auto song = emptySong({kC, kC});
    addCleanBar(*song, 0);
    addCleanBar(*song, 1);
    addNote(*song, 64, 0, 3, 0, 480 + 120); // exactly a sixteenth over
    EXPECT_EQ(checkRenderedNotes(*song), std::vector<std::string>{});
    addNote(*song, 67, 0, 3, 0, 480 + 121);
    EXPECT_TRUE(mentions(checkRenderedNotes(*song), "G4 sounds 121 ticks past the bar line"));

    auto late = emptySong({kC});
    addCleanBar(*late, 0);
    addNote(*late, 60, 0, 4, 0, 100); // beat 5 of a 4/4 bar
    EXPECT_TRUE(mentions(checkRenderedNotes(*late), "C4 starts outside its bar"));
}

TEST(RenderedNoteChecks, EveryBarNeedsItsRootLowestOnTheFirstBeat) {
    auto song = emptySong({kC, kG7, kC});
    addCleanBar(*song, 0);
    // Bar 2: the third lowest at the downbeat, the root only later.
    addNote(*song, 47, 1, 0, 0, 400);
    addNote(*song, 43, 1, 1, 0, 400);
    // Bar 3 stays empty.
    const std::vector<std::string> problems = checkRenderedNotes(*song);
    EXPECT_TRUE(
        mentions(problems, "bar 2 (G7): the lowest note of the first beat is B2, not the root G"));
    EXPECT_TRUE(mentions(problems, "bar 3 (C): no notes"));
    EXPECT_FALSE(mentions(problems, "bar 1"));

    auto late = emptySong({kC});
    addNote(*late, 36, 0, 1, 0, 400);
    EXPECT_TRUE(mentions(checkRenderedNotes(*late), "nothing sounds on the first beat"));
}

TEST(RenderedNoteChecks, LowClustersAndRestruckKeysAreReported) {
    auto song = emptySong({kC});
    addCleanBar(*song, 0);
    // E2 against the held C2: a third in the bass.
    addNote(*song, 40, 0, 0, 240, 100);
    // G2 and C3 together: a fourth below C3.
    addNote(*song, 43, 0, 3, 0, 240);
    addNote(*song, 48, 0, 3, 120, 200);
    // E3 struck again while the chord's E3 still sounds.
    addNote(*song, 52, 0, 1, 200, 100);
    const std::vector<std::string> problems = checkRenderedNotes(*song);
    EXPECT_TRUE(mentions(problems, "C2 and E2 sound together below C3"));
    EXPECT_TRUE(mentions(problems, "G2 and C3 sound together below C3"));
    EXPECT_TRUE(mentions(problems, "E3 is struck again while it still sounds"));

    // Fifths and octaves in the bass, and close chords above C3, are fine.
    auto clean = emptySong({kC});
    addNote(*clean, 36, 0, 0, 0, 1900);
    addNote(*clean, 43, 0, 0, 0, 400);
    addNote(*clean, 48, 0, 2, 0, 400);
    for (int p : {48, 52, 55})
        addNote(*clean, p, 0, 3, 0, 400);
    EXPECT_EQ(checkRenderedNotes(*clean), std::vector<std::string>{});
}

TEST(AuditionSong, TheProgressionsFollowThePatternLengthAndTheStyleProgram) {
    StyleRecord style = stridePattern();
    style.setProgram(25);
    const auto song = renderAuditionSong(style, Meter{4, 4});
    ASSERT_EQ(song->barCount, 8);
    EXPECT_EQ(song->BarChord(2), kG7);
    EXPECT_EQ(chordLabel(song->BarChord(5)), "Dm");
    EXPECT_EQ(song->notes.Count(kChordList), 8 * 6);
    EXPECT_EQ(checkRenderedNotes(*song), std::vector<std::string>{});
    const TSongEvent* program = song->FindEvent(0xC1, 0, 1);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->dataByte(0), 25);
    EXPECT_GT(song->notes.length, 7 * 1920);
    // The stream switches the chord channel to the program before its first note.
    std::vector<std::uint32_t> words;
    ASSERT_TRUE(songStreamWords(*song, words).ok());
    ASSERT_GE(words.size(), 6u);
    EXPECT_EQ(words[2], packShortMessage(0xC1, 25, 0));
    EXPECT_EQ(words[5] & 0xF0, 0x90u);

    StyleRecord twoBars = stridePattern();
    twoBars.setBars(2);
    const auto longer = renderAuditionSong(twoBars, Meter{4, 4});
    EXPECT_EQ(longer->barCount, 16);
    EXPECT_EQ(longer->BarChord(4), kG7);
    EXPECT_EQ(longer->BarChord(5), kG7);
}

TEST(AuditionSong, APatternInAnotherListedMeterKeepsItsTiming) {
    const auto song = renderAuditionSong(stridePattern(), Meter{2, 2});
    EXPECT_EQ(checkRenderedNotes(*song), std::vector<std::string>{});
    // The chord on quarter 2 of 4/4 lies a quarter into the first half of 2/2.
    const TNote* chord = song->notes.Note(1, kChordList);
    ASSERT_NE(chord, nullptr);
    EXPECT_EQ(song->meter().ToTicks(chord->start), 480);
}

TEST(AuditionSong, APatternWithTheThirdInTheBassFails) {
    const StyleRecord style =
        makeStyle(4, 4, {int(meterCode(4, 4))},
                  {patternEvent(3, 3, 0, 0, 0, 400), patternEvent(1, 4, 0, 1, 0, 400)});
    const std::vector<std::string> problems =
        checkRenderedNotes(*renderAuditionSong(style, Meter{4, 4}));
    EXPECT_TRUE(mentions(problems, "bar 1 (C): the lowest note of the first beat is E2"));
    EXPECT_TRUE(mentions(problems, "bar 5 (Am): the lowest note of the first beat is C3"));
}

TEST(AudioLevel, SilenceAndClippingFailAndAMiddleLevelPasses) {
    const std::vector<std::int16_t> silence(1000, 0);
    EXPECT_TRUE(mentions(checkLevel(measureLevel(silence)), "silent"));
    EXPECT_TRUE(mentions(checkLevel(measureLevel({})), "silent"));

    std::vector<std::int16_t> sine(44100);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<std::int16_t>(8000 * std::sin(0.05 * double(i)));
    const AudioLevel level = measureLevel(sine);
    EXPECT_NEAR(level.rmsDbfs, 20 * std::log10(8000 / 32768.0 / std::sqrt(2.0)), 0.1);
    EXPECT_NEAR(level.peak, 8000 / 32768.0, 0.001);
    EXPECT_TRUE(checkLevel(level).empty());

    std::vector<std::int16_t> clipped = sine;
    clipped[100] = -32768;
    EXPECT_DOUBLE_EQ(measureLevel(clipped).peak, 1.0);
    EXPECT_TRUE(mentions(checkLevel(measureLevel(clipped)), "clipped"));
}

TEST(AuditionSynth, RendersAStyleAudiblyAndEachRenderStartsFresh) {
    if (!FluidSynthOutput::findSoundFont(FluidSynthOptions{}))
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    AuditionSynth synth{FluidSynthOptions{}};
    ASSERT_TRUE(synth.open().ok());
    auto song = renderAuditionSong(stridePattern(), Meter{4, 4});
    std::vector<std::int16_t> first;
    ASSERT_TRUE(synth.render(*song, first).ok());
    // Eight bars at 120 quarters a minute, and the release tail.
    EXPECT_NEAR(double(first.size()) / 2 / synth.sampleRateHz(), 16.0 + 2.0, 0.6);
    EXPECT_TRUE(checkLevel(measureLevel(first)).empty());

    std::vector<std::int16_t> second;
    ASSERT_TRUE(synth.render(*song, second).ok());
    ASSERT_EQ(second.size(), first.size());
    // The first tenth of a second sounds the same: nothing left over from before.
    const std::span<const std::int16_t> a(first.data(), 8820);
    const std::span<const std::int16_t> b(second.data(), 8820);
    EXPECT_NEAR(measureLevel(a).rmsDbfs, measureLevel(b).rmsDbfs, 0.5);
}

TEST(AuditionNames, NotesChordsAndFileNames) {
    EXPECT_EQ(noteName(60), "C4");
    EXPECT_EQ(noteName(46), "Bb2");
    EXPECT_EQ(noteName(0), "C-1");
    EXPECT_EQ(chordLabel(kC), "C");
    EXPECT_EQ(chordLabel(kG7), "G7");
    EXPECT_EQ(chordLabel(-1), "-");
    EXPECT_EQ(safeFileName("Piano6-8Jig"), "Piano6-8Jig");
    EXPECT_EQ(safeFileName("../etc/x"), "___etc_x");
    EXPECT_EQ(safeFileName(""), "_");
}

TEST(AuditionNotes, OneLinePerOnsetFromLowToHigh) {
    auto song = emptySong({kC});
    addCleanBar(*song, 0);
    const std::vector<std::string> lines = describeNotes(*song);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("bar 1 (C)"), std::string::npos);
    EXPECT_NE(lines[1].find("1:2:000  E3 80/400  G3 80/400  C4 80/400"), std::string::npos);
}
