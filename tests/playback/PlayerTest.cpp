// The player against the recording backend on a clock that runs instantly up
// to a hold point: what it sends, in which order and how far apart, and that
// every way a play can end (the song's end, stop, a failing output) ends it
// cleanly. Spacing is checked with generous tolerances, never against the
// wall clock.

#include "playback/Player.h"

#include "HoldingMidiClock.h"
#include "StreamTestSupport.h"
#include "playback/RecordingOutput.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvanta {
namespace {

using test::HoldingMidiClock;
using test::noteOff;
using test::noteOn;
using test::Us;

constexpr int kQuarter = 480;
constexpr int kBar = 4 * kQuarter;
constexpr std::int64_t kQuarterUs = 500'000; // the player's default tempo

// A 4/4 song at 480 ticks per quarter, melody only, built note by note.
void addNote(TSong& song, int pitch, int startTicks, int duration) {
    song.notes.AddNote(static_cast<std::uint8_t>(pitch), kMelodyList, 100 << 8 | 64,
                       song.meter().ToPos(startTicks), static_cast<std::uint16_t>(duration),
                       static_cast<std::uint8_t>(pitch % 12));
    song.notes.length = std::max(song.notes.length, startTicks + duration);
    song.notes.savedLength = static_cast<std::uint32_t>(song.notes.length);
}

void addEvent(TEventList& list, TSong& song, std::uint8_t type, std::uint32_t value, int ticks) {
    TSongEvent e;
    e.type = type;
    e.value = value;
    e.setPosition(song.meter().ToPos(ticks));
    list.Append(e);
}

// The player with everything it is handed, and what came back.
struct Rig {
    HoldingMidiClock clock;
    RecordingOutput output{clock};
    TSong song;
    ChannelMixState mix;
    PlayPositions positions;
    std::atomic<bool> restart{false};
    std::unique_ptr<Player> player;

    std::mutex mutex;
    std::condition_variable ended;
    int endCount = 0;
    std::vector<std::pair<std::string, std::string>> errors;

    explicit Rig(int quarters = 8, int noteTicks = kQuarter) {
        song.meter().SetDivision(kQuarter);
        song.meter().sixteenthTicks = kQuarter / 4;
        song.meter().AddMeter(0, 4, 4);
        song.notes.CreateList(kChordList, 10);
        for (int i = 0; i < quarters; ++i)
            addNote(song, 60 + i % 12, i * noteTicks, noteTicks);
        song.channelSettings = &mix;
        player = std::make_unique<Player>(output, clock);
        player->setSong(&song);
        player->setChannelSettings(&mix);
        player->setPositions(&positions);
        player->setRestartFlag(&restart);
        player->setDivision(kQuarter);
        player->setEndHandler([this] {
            std::lock_guard lock(mutex);
            ++endCount;
            ended.notify_all();
        });
        player->setErrorHandler([this](const std::string& caption, const std::string& text) {
            std::lock_guard lock(mutex);
            errors.emplace_back(caption, text);
        });
    }

    void waitForEnds(int count) {
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return endCount >= count; });
    }
    int ends() {
        std::lock_guard lock(mutex);
        return endCount;
    }
    // Plays the whole song at once.
    void playToEnd(bool loop = false) {
        clock.release();
        const int before = ends();
        ASSERT_TRUE(player->start(loop));
        waitForEnds(before + 1);
    }
};

std::vector<RecordedMessage> noteOns(const std::vector<RecordedMessage>& all) {
    std::vector<RecordedMessage> ons;
    for (const RecordedMessage& m : all)
        if ((messageStatus(m.message) & 0xF0) == 0x90 && messageData2(m.message) > 0)
            ons.push_back(m);
    return ons;
}

std::int64_t us(const RecordedMessage& m) {
    return m.time.count();
}

TEST(Player, PlaysTheMelodyInOrderAQuarterApartAndEndsOnce) {
    Rig rig;
    rig.playToEnd();
    const auto notes = test::noteMessages(rig.output.messages());
    ASSERT_EQ(notes.size(), 16u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(notes[2 * i].message, noteOn(0, 60 + i)) << i;
        EXPECT_EQ(notes[2 * i + 1].message & 0xFFFF, noteOff(0, 60 + i) & 0xFFFF) << i;
        if (i > 0) {
            EXPECT_NEAR(us(notes[2 * i]) - us(notes[2 * i - 2]), kQuarterUs, 1000) << i;
        }
        // A note sounds for its duration less one tick.
        EXPECT_NEAR(us(notes[2 * i + 1]) - us(notes[2 * i]), kQuarterUs, 2000) << i;
    }
    EXPECT_EQ(rig.ends(), 1);
    EXPECT_TRUE(rig.errors.empty());
    EXPECT_FALSE(rig.player->isPlaying());
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
    EXPECT_EQ(rig.positions.get(PlayPositions::kSongEnd), 8 * kQuarter);
}

TEST(Player, SendsTheProgramsAndVolumesOfBothPartsBeforeTheFirstNote) {
    Rig rig;
    rig.mix.setProgram(0, 5);
    rig.mix.setProgram(1, 20);
    rig.mix.setVolume(0, 90);
    rig.mix.setVolume(1, 80);
    rig.playToEnd();
    std::vector<std::uint32_t> before;
    for (const RecordedMessage& m : rig.output.messages()) {
        if ((messageStatus(m.message) & 0xF0) == 0x90) break;
        before.push_back(m.message);
    }
    const std::vector<std::uint32_t> expected = {
        packShortMessage(0xC0, 5, 0), packShortMessage(0xB0, 7, 90), packShortMessage(0xC1, 20, 0),
        packShortMessage(0xB1, 7, 80)};
    EXPECT_EQ(before, expected);
}

TEST(Player, TheSongsOwnTempoRulesUnlessTheTempoIsFixed) {
    Rig rig;
    addEvent(rig.song.metaEvents, rig.song, kMetaTempo, 250'000, 0);
    rig.playToEnd();
    auto ons = noteOns(rig.output.messages());
    ASSERT_EQ(ons.size(), 8u);
    EXPECT_NEAR(us(ons[7]) - us(ons[0]), 7 * 250'000, 2000);

    rig.output.clear();
    rig.player->setFollowSongTempo(false);
    rig.playToEnd();
    ons = noteOns(rig.output.messages());
    ASSERT_EQ(ons.size(), 8u);
    EXPECT_NEAR(us(ons[7]) - us(ons[0]), 7 * kQuarterUs, 2000);
}

TEST(Player, ASongOfManyBuffersPlaysEveryNoteEvenlySpaced) {
    // 3000 sixteenths: 6000 events, more than two buffers of 2730.
    Rig rig(3000, kQuarter / 4);
    rig.playToEnd();
    const auto ons = noteOns(rig.output.messages());
    ASSERT_EQ(ons.size(), 3000u);
    for (std::size_t i = 1; i < ons.size(); ++i) {
        ASSERT_EQ(messageData1(ons[i].message), 60 + i % 12) << i;
        ASSERT_NEAR(us(ons[i]) - us(ons[i - 1]), kQuarterUs / 4, 1000) << i;
    }
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
    EXPECT_EQ(rig.ends(), 1);
}

TEST(Player, LoopModeRepeatsTheRangeWithItsRestsWithoutReopeningTheOutput) {
    Rig rig(16); // four bars
    // Bar 2 loses its last note: the loop ends in a rest.
    rig.song.notes = TNotes{};
    rig.song.meter().SetDivision(kQuarter);
    rig.song.meter().AddMeter(0, 4, 4);
    for (int i = 0; i < 16; ++i)
        if (i != 11) addNote(rig.song, 60 + i % 12, i * kQuarter, kQuarter);
    rig.song.notes.length = 16 * kQuarter;
    rig.song.notes.savedLength = 16 * kQuarter;
    rig.positions.set(PlayPositions::kLoopStart, kBar);
    rig.positions.set(PlayPositions::kLoopEnd, 3 * kBar);
    const std::int64_t loopUs = 8 * kQuarterUs;
    rig.clock.holdAt(rig.clock.now() + Us(3 * loopUs + 100'000));
    ASSERT_TRUE(rig.player->start(true));
    rig.clock.waitForHold();
    EXPECT_EQ(rig.player->position(), kBar + kQuarter / 5); // 0.1 s into the fourth pass
    rig.player->stop();

    const auto ons = noteOns(rig.output.messages());
    ASSERT_EQ(ons.size(), 3u * 7u + 1u); // three passes and the first note of the fourth
    for (std::size_t i = 0; i < ons.size(); ++i) {
        EXPECT_EQ(messageData1(ons[i].message), 64 + i % 7) << i; // quarters 4-10
        if (i >= 7) {
            EXPECT_NEAR(us(ons[i]) - us(ons[i - 7]), loopUs, 2000) << i;
        }
    }
    EXPECT_EQ(rig.output.openCount(), 1);
    EXPECT_EQ(rig.ends(), 1);
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
    EXPECT_FALSE(rig.player->isPlaying());
}

TEST(Player, ARestartRequestPlaysOnFromTheLoopEndOnce) {
    Rig rig;
    rig.positions.set(PlayPositions::kLoopEnd, 6 * kQuarter);
    rig.restart = true;
    rig.playToEnd();
    const auto ons = noteOns(rig.output.messages());
    ASSERT_EQ(ons.size(), 10u); // all eight, then the last two again
    EXPECT_EQ(messageData1(ons[8].message), 66);
    EXPECT_EQ(messageData1(ons[9].message), 67);
    EXPECT_FALSE(rig.restart);
    EXPECT_EQ(rig.positions.get(PlayPositions::kStart), 6 * kQuarter);
    EXPECT_EQ(rig.ends(), 1);
}

TEST(Player, StoppingMidSongManyTimesEndsEachPlayCleanly) {
    Rig rig(64, kQuarter / 2); // 16 s of eighths
    int stoppedDuringANote = 0;
    for (int round = 0; round < 200; ++round) {
        rig.output.clear();
        rig.clock.holdAt(rig.clock.now() + Us(1 + round * 70'001 % 15'000'000));
        ASSERT_TRUE(rig.player->start(round % 2 == 1));
        rig.clock.waitForHold();
        if (test::soundingNotes(rig.output.messages()) > 0) ++stoppedDuringANote;
        rig.player->stop();
        EXPECT_FALSE(rig.player->isPlaying()) << round;
        EXPECT_EQ(rig.ends(), round + 1) << round;
        EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0) << round;
    }
    EXPECT_GT(stoppedDuringANote, 150);
    EXPECT_TRUE(rig.errors.empty());
}

TEST(Player, StopRacingTheStartOfThePlayStillEndsIt) {
    Rig rig;
    rig.clock.release();
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(rig.player->start(true)); // a loop would never end by itself
        rig.player->stop();
        EXPECT_FALSE(rig.player->isPlaying()) << round;
        EXPECT_EQ(rig.ends(), round + 1) << round;
    }
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
}

TEST(Player, StopAtTheVeryEndOrTwiceIsHarmless) {
    Rig rig;
    for (int round = 0; round < 50; ++round) {
        // Held on the last note's end, then let go while stop comes.
        rig.clock.holdAt(rig.clock.now() + Us(8 * kQuarterUs - 2000 - round * 10));
        ASSERT_TRUE(rig.player->start(false));
        rig.clock.waitForHold();
        rig.clock.release();
        rig.player->stop();
        rig.player->stop();
        EXPECT_EQ(rig.ends(), round + 1);
    }
    rig.playToEnd();
    rig.player->stop();
    rig.player->stop();
    EXPECT_EQ(rig.ends(), 51);
    EXPECT_TRUE(rig.errors.empty());
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
}

TEST(Player, AStopFromTheEndHandlerDoesNotDeadlock) {
    Rig rig;
    rig.player->setEndHandler([&] {
        rig.player->stop();
        std::lock_guard lock(rig.mutex);
        ++rig.endCount;
        rig.ended.notify_all();
    });
    rig.playToEnd();
    EXPECT_EQ(rig.ends(), 1);
}

TEST(Player, ATempoChangeMidSongSpacesTheRestAtTheNewTempo) {
    Rig rig;
    rig.clock.holdAt(rig.clock.now() + Us(4 * kQuarterUs + 100'000));
    ASSERT_TRUE(rig.player->start(false));
    rig.clock.waitForHold();
    EXPECT_EQ(rig.player->position(), 4 * kQuarter + kQuarter / 5);
    rig.player->setTempo(250'000);
    EXPECT_EQ(rig.player->tempo(), 250'000u);
    rig.clock.release();
    rig.waitForEnds(1);
    const auto ons = noteOns(rig.output.messages());
    ASSERT_EQ(ons.size(), 8u);
    for (int i = 1; i < 5; ++i)
        EXPECT_NEAR(us(ons[i]) - us(ons[i - 1]), kQuarterUs, 1000) << i;
    // 0.1 s played at the old tempo, the rest of the quarter at the new one.
    EXPECT_NEAR(us(ons[5]) - us(ons[4]), 100'000 + 400'000 / 2, 1000);
    for (int i = 6; i < 8; ++i)
        EXPECT_NEAR(us(ons[i]) - us(ons[i - 1]), 250'000, 1000) << i;
    EXPECT_EQ(rig.player->tempo(), 250'000u); // kept for the next play
}

TEST(Player, PositionReportsTheEndOnceWithinASixteenthOfIt) {
    Rig rig;
    rig.clock.holdAt(rig.clock.now() + Us(8 * kQuarterUs - 50'000)); // 48 ticks before
    ASSERT_TRUE(rig.player->start(false));
    rig.clock.waitForHold();
    EXPECT_EQ(rig.player->position(), 8 * kQuarter - 48);
    EXPECT_EQ(rig.player->position(), 8 * kQuarter); // the last report was close enough
    rig.player->stop();
}

TEST(Player, ChannelSettingsFollowSoloAndMute) {
    Rig rig;
    rig.mix.setVolume(0, 90);
    rig.mix.setVolume(1, 80);
    rig.clock.holdAt(rig.clock.now() + Us(kQuarterUs));
    ASSERT_TRUE(rig.player->start(false));
    rig.clock.waitForHold();
    const auto volumesAfter = [&](auto change) {
        rig.output.clear();
        change();
        EXPECT_TRUE(rig.player->applyChannelSettings().ok());
        std::vector<int> volumes;
        for (const RecordedMessage& m : rig.output.messages())
            if ((messageStatus(m.message) & 0xF0) == 0xB0 && messageData1(m.message) == 7)
                volumes.push_back(messageData2(m.message));
        return volumes;
    };
    EXPECT_EQ(volumesAfter([] {}), (std::vector<int>{90, 80}));
    EXPECT_EQ(volumesAfter([&] { rig.mix.setSoloed(1, true); }), (std::vector<int>{0, 80}));
    EXPECT_EQ(volumesAfter([&] { rig.mix.setMuted(1, true); }), (std::vector<int>{0, 0}));
    EXPECT_EQ(volumesAfter([&] { rig.mix.setSoloed(0, true); }), (std::vector<int>{90, 0}));
    EXPECT_EQ(volumesAfter([&] {
                  rig.mix.setSoloed(0, false);
                  rig.mix.setSoloed(1, false);
              }),
              (std::vector<int>{90, 0}));
    // A volume of 0 (a mute) reaches the output but is not stored.
    rig.output.clear();
    EXPECT_TRUE(rig.player->setVolume(0, 0).ok());
    EXPECT_EQ(rig.mix.volume(0), 90);
    ASSERT_EQ(rig.output.messages().size(), 1u);
    EXPECT_EQ(rig.output.messages()[0].message, packShortMessage(0xB0, 7, 0));
    EXPECT_TRUE(rig.player->setInstrument(33, 1).ok());
    EXPECT_EQ(rig.mix.program(1), 33);
    EXPECT_EQ(rig.output.messages().back().message, packShortMessage(0xC1, 33, 0));
    rig.player->stop();
}

TEST(Player, MutingDuringPlaybackHoldsBackTheSongsQueuedVolumeChanges) {
    // The whole song fits one buffer, so its volume changes are queued before
    // the mute; they still must not lift the muted part again.
    const auto songVolumes = [](bool muteMidSong) {
        Rig rig;
        addEvent(rig.song.channelEvents, rig.song, 0xB0, packEventBytes(7, 50), 2 * kQuarter);
        addEvent(rig.song.channelEvents, rig.song, 0xB0, packEventBytes(7, 60), 5 * kQuarter);
        rig.clock.holdAt(rig.clock.now() + Us(kQuarterUs));
        EXPECT_TRUE(rig.player->start(false));
        rig.clock.waitForHold();
        if (muteMidSong) {
            rig.mix.setMuted(0, true);
            EXPECT_TRUE(rig.player->applyChannelSettings().ok());
        }
        rig.output.clear();
        rig.clock.release();
        rig.waitForEnds(1);
        std::vector<int> volumes;
        for (const RecordedMessage& m : rig.output.messages())
            if (messageStatus(m.message) == 0xB0 && messageData1(m.message) == 7)
                volumes.push_back(messageData2(m.message));
        return volumes;
    };
    EXPECT_EQ(songVolumes(false), (std::vector<int>{50, 60}));
    EXPECT_EQ(songVolumes(true), std::vector<int>{});
}

TEST(Player, ALiveMessageIsRefusedWhenNothingIsOpen) {
    Rig rig;
    EXPECT_FALSE(rig.player->shortMessage(0x90, 60, 100).ok());
    EXPECT_TRUE(rig.player->setVolume(70, 0).ok()); // stored only
    EXPECT_EQ(rig.mix.volume(0), 70);
    EXPECT_TRUE(rig.output.messages().empty());
}

TEST(Player, SoundChordSendsTheChordTonesAtTheChordOctave) {
    Rig rig;
    rig.song.chordOctave = 4;
    rig.mix.setProgram(1, 24);
    rig.mix.setVolume(1, 77);
    const ChordCode cMajor = makeChordCode(7, 0);
    ASSERT_TRUE(rig.player->soundChord(cMajor, 0x91).ok());
    ASSERT_TRUE(rig.player->soundChord(cMajor, 0x81).ok());
    std::vector<std::uint32_t> sent;
    for (const RecordedMessage& m : rig.output.messages())
        sent.push_back(m.message);
    const std::vector<std::uint32_t> expected = {
        packShortMessage(0xC1, 24, 0),   packShortMessage(0xB1, 7, 77),
        packShortMessage(0x91, 48, 100), packShortMessage(0x91, 52, 100),
        packShortMessage(0x91, 55, 100), packShortMessage(0x81, 48, 100),
        packShortMessage(0x81, 52, 100), packShortMessage(0x81, 55, 100)};
    EXPECT_EQ(sent, expected);

    // An octave beyond the keyboard sounds nothing and breaks nothing.
    rig.output.clear();
    rig.song.chordOctave = 255;
    EXPECT_TRUE(rig.player->soundChord(cMajor, 0x91).ok());
    EXPECT_TRUE(rig.output.messages().empty());
    // A play takes over the open stream.
    rig.playToEnd();
    EXPECT_EQ(noteOns(rig.output.messages()).size(), 8u);
    EXPECT_TRUE(rig.errors.empty());
}

TEST(Player, PreviewPlaysThePatternForItsLengthAndAQuarterThenCloses) {
    Rig rig;
    rig.clock.release();
    TNotes pattern;
    pattern.meter.SetDivision(kQuarter);
    pattern.meter.AddMeter(0, 4, 4);
    pattern.CreateList(kChordList, 4);
    for (int i = 0; i < 3; ++i)
        pattern.AddNote(static_cast<std::uint8_t>(48 + 4 * i), kChordList, 100 << 8 | 64,
                        pattern.meter.ToPos(i * kQuarter), kQuarter, 0);
    pattern.length = 4 * kQuarter;
    const auto start = rig.clock.now();
    ASSERT_TRUE(rig.player->preview(pattern, 400'000, kQuarter, 40).ok());
    // (a + a x length / b) microseconds: one quarter more than the pattern.
    EXPECT_EQ((rig.clock.now() - start).count(), 400'000 + 400'000 * 4);
    const auto all = rig.output.messages();
    ASSERT_GE(all.size(), 8u);
    EXPECT_EQ(all[0].message, packShortMessage(0xB1, 7, 100));
    EXPECT_EQ(all[1].message, packShortMessage(0xC1, 40, 0));
    const auto ons = noteOns(all);
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_EQ(us(ons[2]) - us(ons[0]), 2 * 400'000);
    EXPECT_EQ(test::soundingNotes(all), 0);
    EXPECT_FALSE(rig.player->shortMessage(0x90, 60, 1).ok()); // closed again
}

// A 4/4 style: root on 1, third on 2, fifth on 3, the fourth tone on 4.
StyleRecord quarterStyle() {
    StyleRecord s;
    s.setBars(1);
    s.setBaseOctave(4);
    s.setBeatsPerBar(4);
    s.setProgram(24);
    s.setTimeSignature(4, 4);
    s.ticksPerQuarter = kQuarter;
    s.meters = 0x44;
    const int selectors[4] = {1, 3, 5, 7};
    for (int beat = 0; beat < 4; ++beat) {
        PatternEvent e;
        e.selector = static_cast<std::int8_t>(selectors[beat]);
        e.octave = 4;
        e.beat = static_cast<std::uint8_t>(beat);
        e.duration = 400;
        e.velocities = 80 << 8 | 64;
        s.events.push_back(e);
    }
    s.eventCount = 4;
    return s;
}

TEST(Player, PlaysTheSongsStyleWithAHeldChordUnderTheLastMelodyNote) {
    Rig rig; // eight quarters: two bars of melody
    rig.song.setBarCount(2);
    rig.song.chordOctave = 4;
    rig.song.barHarmony.assign(2, TBarHarmony{});
    rig.song.barHarmony[0].chord = 0x0700; // C
    rig.song.barHarmony[1].chord = 0x0600; // F
    for (TBarHarmony& h : rig.song.barHarmony)
        h.play = 1;
    const StyleRecord style = quarterStyle();
    rig.song.style = &style;
    rig.playToEnd();
    std::vector<int> chordPitches;
    for (const RecordedMessage& m : noteOns(rig.output.messages()))
        if ((messageStatus(m.message) & 0x0F) == 1) chordPitches.push_back(messageData1(m.message));
    // Bar 1: the pattern over C, the fourth selector the root an octave up;
    // bar 2 (the last melody note's): F held as a block chord, whose tones
    // are pitch classes over the chord octave.
    EXPECT_EQ(chordPitches, (std::vector<int>{48, 52, 55, 60, 53, 57, 48}));
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
}

TEST(Player, PreviewsAStyleForItsBarAndAQuarter) {
    Rig rig;
    rig.clock.release();
    TNotes preview;
    ASSERT_EQ(BuildPreview(quarterStyle(), preview), 4);
    const auto start = rig.clock.now();
    ASSERT_TRUE(rig.player->preview(preview, 500'000, kQuarter, 24).ok());
    EXPECT_EQ((rig.clock.now() - start).count(), 5 * 500'000);
    const auto ons = noteOns(rig.output.messages());
    ASSERT_EQ(ons.size(), 4u);
    EXPECT_EQ(messageData1(ons[3].message), 60); // C4: the root an octave up on a triad
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
}

// Waits until a started preview has ended; false when it never does (a
// guard against a hang, far beyond what an instant clock needs).
bool previewEnds(const Player& player) {
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (player.isPreviewing()) {
        if (std::chrono::steady_clock::now() > guard) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TNotes quarterStylePreview() {
    TNotes preview;
    BuildPreview(quarterStyle(), preview);
    return preview;
}

TEST(Player, StartPreviewReturnsAtOnceAndPlaysThePatternOnItsOwnThread) {
    Rig rig;
    const auto start = rig.clock.now();
    rig.clock.holdAt(start); // nothing beyond the first moment plays yet
    ASSERT_TRUE(rig.player->startPreview(quarterStylePreview(), 500'000, kQuarter, 24));
    EXPECT_TRUE(rig.player->isPreviewing());
    // One preview or play at a time.
    EXPECT_FALSE(rig.player->startPreview(quarterStylePreview(), 500'000, kQuarter, 24));
    EXPECT_FALSE(rig.player->start(false));
    rig.clock.release();
    ASSERT_TRUE(previewEnds(*rig.player));
    EXPECT_EQ((rig.clock.now() - start).count(), 5 * 500'000);
    const auto all = rig.output.messages();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[1].message, packShortMessage(0xC1, 24, 0));
    EXPECT_EQ(noteOns(all).size(), 4u);
    EXPECT_EQ(test::soundingNotes(all), 0);
    EXPECT_TRUE(rig.errors.empty());
    // Once it has ended the song plays, and so does the next preview.
    rig.playToEnd();
    EXPECT_EQ(rig.ends(), 1);
    ASSERT_TRUE(rig.player->startPreview(quarterStylePreview(), 500'000, kQuarter, 24));
    ASSERT_TRUE(previewEnds(*rig.player));
    EXPECT_EQ(noteOns(rig.output.messages()).size(), 4u + 8u + 4u);
}

TEST(Player, StopPreviewCutsAPreviewShortAndSilencesIt) {
    Rig rig;
    rig.clock.holdAt(rig.clock.now() + Us(kQuarterUs / 2)); // within the first beat
    ASSERT_TRUE(rig.player->startPreview(quarterStylePreview(), 500'000, kQuarter, 24));
    rig.clock.waitForHold();
    rig.player->stopPreview();
    EXPECT_FALSE(rig.player->isPreviewing());
    const auto all = rig.output.messages();
    EXPECT_EQ(noteOns(all).size(), 1u);
    EXPECT_EQ(test::soundingNotes(all), 0);
    EXPECT_FALSE(rig.player->shortMessage(0x90, 60, 1).ok()); // the stream is closed
    rig.player->stopPreview();                                // twice does nothing
    rig.playToEnd();
    EXPECT_EQ(rig.ends(), 1);
}

TEST(Player, StopPreviewAtAnyMomentOfItsStartNeverHangs) {
    Rig rig;
    for (int round = 0; round < 20; ++round) {
        // Held: the stop meets a preview opening or waiting; released: one
        // that may have played to its end already.
        if (round % 2 == 0)
            rig.clock.holdAt(rig.clock.now());
        else
            rig.clock.release();
        ASSERT_TRUE(rig.player->startPreview(quarterStylePreview(), 500'000, kQuarter, 24))
            << round;
        rig.player->stopPreview();
        EXPECT_FALSE(rig.player->isPreviewing()) << round;
    }
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
    EXPECT_TRUE(rig.errors.empty());
}

TEST(Player, DestroyingThePlayerEndsARunningPreview) {
    Rig rig;
    rig.clock.holdAt(rig.clock.now() + Us(kQuarterUs / 2));
    ASSERT_TRUE(rig.player->startPreview(quarterStylePreview(), 500'000, kQuarter, 24));
    rig.clock.waitForHold();
    rig.player.reset();
    EXPECT_EQ(test::soundingNotes(rig.output.messages()), 0);
}

TEST(Player, AStartedPreviewReportsAFailingOutputThroughTheErrorHandler) {
    Rig rig;
    rig.output.failOpenWith("No audio device");
    ASSERT_TRUE(rig.player->startPreview(quarterStylePreview(), 500'000, kQuarter, 24));
    ASSERT_TRUE(previewEnds(*rig.player));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Error", "No audio device"}};
    EXPECT_EQ(rig.errors, expected);
    EXPECT_EQ(rig.ends(), 0); // no play ended
}

TEST(Player, AnOutputThatFailsToOpenReportsItsTextAndEndsThePlay) {
    Rig rig;
    rig.clock.release();
    rig.output.failOpenWith("No audio device");
    ASSERT_TRUE(rig.player->start(false));
    rig.waitForEnds(1);
    rig.output.failOpenWith(std::string());
    ASSERT_TRUE(rig.player->start(false));
    rig.waitForEnds(2);
    const std::vector<std::pair<std::string, std::string>> expected = {{"Error", "No audio device"},
                                                                       {"Error", "Unknown Error"}};
    EXPECT_EQ(rig.errors, expected);
    EXPECT_FALSE(rig.player->isPlaying());
    // And the next play works.
    rig.output.failOpenWith(std::nullopt);
    rig.playToEnd();
    EXPECT_EQ(noteOns(rig.output.messages()).size(), 8u);
    EXPECT_EQ(rig.errors.size(), 2u);
}

TEST(Player, AFailingSendEndsThePlayWithItsText) {
    Rig rig(3000, kQuarter / 4); // long enough to refill a buffer after the failure
    rig.clock.release();
    rig.output.failSendWith("The port went away");
    ASSERT_TRUE(rig.player->start(false));
    rig.waitForEnds(1);
    ASSERT_EQ(rig.errors.size(), 1u);
    EXPECT_EQ(rig.errors[0].second, "The port went away");
}

TEST(Player, StartIsRefusedWithoutASongOrWhilePlaying) {
    Rig rig;
    rig.clock.holdAt(rig.clock.now() + Us(kQuarterUs));
    ASSERT_TRUE(rig.player->start(false));
    EXPECT_FALSE(rig.player->start(false));
    rig.player->stop();
    rig.player->setSong(nullptr);
    EXPECT_FALSE(rig.player->start(false));
    EXPECT_EQ(rig.ends(), 1);
}

} // namespace
} // namespace korvanta
