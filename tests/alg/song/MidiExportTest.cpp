#include "alg/song/MidiExport.h"

#include "alg/midi/RecordingReader.h"
#include "alg/song/Keys.h"
#include "alg/song/MelodyChecks.h"
#include "alg/song/TSongReader.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#if defined(__unix__)
#include <sys/resource.h>
#endif

using namespace korvanta;
namespace fs = std::filesystem;

namespace {

constexpr int kTpq = 96; // not the default, so the division is seen to travel
constexpr int kQuarter = kTpq;

// A folder of its own under the system's temporary folder, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device seed;
        m_path = fs::temp_directory_path() /
                 ("korvanta-export-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        fs::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& entry : fs::directory_iterator(m_path))
            out.insert(entry.path().filename().string());
        return out;
    }

private:
    fs::path m_path;
};

std::vector<char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TSongEvent storedEvent(std::uint8_t type, std::uint32_t value, const TBarPos& at,
                       std::int32_t value2 = 0) {
    TSongEvent e;
    e.type = type;
    e.value = value;
    e.value2 = value2;
    e.setPosition(at);
    return e;
}

TBarPos at(int bar, int beat = 0, int tick = 0) {
    return TBarPos{static_cast<std::uint16_t>(bar), static_cast<std::uint8_t>(beat), 0,
                   static_cast<std::uint16_t>(tick)};
}

void addNote(TSong& song, int pitch, const TBarPos& start, int duration, int on = 100,
             int off = 64) {
    song.notes.AddNote(static_cast<std::uint8_t>(pitch), kMelodyList,
                       static_cast<std::uint16_t>(on << 8 | off), start,
                       static_cast<std::uint16_t>(duration), static_cast<std::uint8_t>(pitch % 12));
}

// Six bars: 4/4, 4/4, 3/4, 3/4, 6/8, 6/8 with a one-beat upbeat, two tempos, a
// key signature, an SMPTE offset and channel settings on both parts. Chords:
// C, G7, Am, F (not played), none, C.
void buildSong(TSong& song) {
    TMeterMap& grid = song.meter();
    grid.SetDivision(kTpq);
    grid.sixteenthTicks = kTpq / 4;
    grid.AddMeter(0, 4, 4);
    grid.AddMeter(2, 3, 4);
    grid.AddMeter(4, 6, 8);
    song.ticksPerQuarter = kTpq;

    addNote(song, 67, at(0, 3), kQuarter, 80, 40); // the upbeat
    addNote(song, 72, at(1, 0), kQuarter);
    addNote(song, 74, at(1, 1), kQuarter);
    addNote(song, 76, at(1, 2), kQuarter, 110, 0);
    addNote(song, 76, at(1, 3), kQuarter - 10, 90, 70); // same pitch, straight after
    addNote(song, 77, at(2, 0), 2 * kQuarter);
    addNote(song, 79, at(2, 2), kQuarter);
    addNote(song, 81, at(3, 0), 3 * kQuarter, 127, 127);
    for (int i = 0; i < 6; ++i)
        addNote(song, 72 + i, at(4, i), kQuarter / 2);
    addNote(song, 74, at(5, 0), 3 * kQuarter / 2);
    addNote(song, 72, at(5, 3), 3 * kQuarter / 2, 1, 1);
    song.setBarCount(6);
    grid.barCount = 6;
    song.notes.savedLength = static_cast<std::uint32_t>(song.notes.EndTick(15, kMelodyList, 0));
    song.chordOctave = 4;
    song.text = "Harmonized by hand.";

    song.metaEvents.Append(storedEvent(kMetaTimeSignature, packEventBytes(4, 4, 24, 8), at(0)));
    song.metaEvents.Append(storedEvent(kMetaTempo, 400000, at(0)));
    song.metaEvents.Append(storedEvent(kMetaKeySignature, packEventBytes(1, 0), at(0)));
    song.metaEvents.Append(storedEvent(kMetaSmpte, packEventBytes(1, 2, 3, 4), at(0),
                                       static_cast<std::int32_t>(packEventBytes(5, 6))));
    song.metaEvents.Append(storedEvent(kMetaTimeSignature, packEventBytes(3, 4, 24, 8), at(2)));
    song.metaEvents.Append(storedEvent(kMetaTimeSignature, packEventBytes(6, 8, 36, 8), at(4)));
    song.metaEvents.Append(storedEvent(kMetaTempo, 600000, at(4)));

    song.channelEvents.Append(storedEvent(0xC0, packEventBytes(40), at(0)));
    song.channelEvents.Append(storedEvent(0xB0, packEventBytes(7, 90), at(0)));
    song.channelEvents.Append(storedEvent(0xB0, packEventBytes(10, 30), at(0)));
    song.channelEvents.Append(storedEvent(0xB0, packEventBytes(64, 127), at(1)));
    song.channelEvents.Append(storedEvent(0xC0, packEventBytes(41), at(5)));
    song.channelEvents.Append(storedEvent(0xB1, packEventBytes(7, 80), at(0)));

    ASSERT_TRUE(song.MakeBarChords());
    ASSERT_TRUE(song.MakeBarHarmony());
    song.SetBarChord(0, 0x0700); // C
    song.SetBarChord(1, 0x0801); // G7
    song.SetBarChord(2, 0x1300); // Am
    song.SetBarChord(3, 0x0600); // F, switched off below
    song.SetBarPlay(3, 0);
    song.SetBarChord(4, -1);
    song.SetBarChord(5, 0x0700);
    ASSERT_EQ(BuildChordNotes(song), 3 + 4 + 3 + 3);
}

struct PlainNote {
    int pitch = 0;
    std::int64_t start = 0;
    int duration = 0;
    int on = 0;
    int off = 0;
    friend bool operator==(const PlainNote&, const PlainNote&) = default;
};

std::ostream& operator<<(std::ostream& out, const PlainNote& n) {
    return out << "{pitch " << n.pitch << " at " << n.start << " for " << n.duration << " vel "
               << n.on << "/" << n.off << "}";
}

std::vector<PlainNote> plainNotes(const TSong& song, int list) {
    std::vector<PlainNote> out;
    for (const TNote& n : song.notes.list(list))
        out.push_back(PlainNote{n.pitch, song.meter().ToTicks(n.start), n.duration, n.onVelocity(),
                                n.offVelocity()});
    return out;
}

// The stored channel events of a song as "status data0 data1 @tick" lines.
std::vector<std::string> channelLines(const TSong& song) {
    std::vector<std::string> out;
    for (int i = 0; i < song.channelEvents.Count(); ++i) {
        const TSongEvent& e = *song.channelEvents.At(i);
        char line[64];
        std::snprintf(line, sizeof line, "%02X %d %d @%d", e.type, e.dataByte(0), e.dataByte(1),
                      song.channelEvents.TickOf(i));
        out.emplace_back(line);
    }
    return out;
}

// The stored meta events of a song as "type value value2 @tick" lines.
std::vector<std::string> metaLines(const TSong& song) {
    std::vector<std::string> out;
    for (int i = 0; i < song.metaEvents.Count(); ++i) {
        const TSongEvent& e = *song.metaEvents.At(i);
        char line[64];
        std::snprintf(line, sizeof line, "%02X %08X %08X @%d", e.type, e.value,
                      static_cast<unsigned>(e.value2), song.metaEvents.TickOf(i));
        out.emplace_back(line);
    }
    return out;
}

// Every callback of a merged read of a file, as "T<track>@<tick> event" lines.
std::vector<std::string> eventLog(const std::string& path) {
    test::RecordingReader reader(path.c_str(), MidiFileIO::BufferMode::WholeFile);
    reader.withContext = true;
    EXPECT_TRUE(reader.readMerged()) << path;
    EXPECT_TRUE(reader.diagnostics().empty()) << reader.diagnostics().front();
    return reader.log;
}

std::vector<std::string> linesWith(const std::vector<std::string>& log, const std::string& part) {
    std::vector<std::string> out;
    for (const std::string& line : log)
        if (line.find(part) != std::string::npos) out.push_back(line);
    return out;
}

// The channel of a "noteon"/"noteoff" log line, -1 for other lines.
int noteChannel(const std::string& line) {
    for (const char* kind : {" noteon ", " noteoff "}) {
        const std::size_t at = line.find(kind);
        if (at != std::string::npos) return std::stoi(line.substr(at + std::strlen(kind)));
    }
    return -1;
}

std::ptrdiff_t indexOf(const std::vector<std::string>& log, const std::string& line) {
    const auto it = std::find(log.begin(), log.end(), line);
    return it == log.end() ? -1 : it - log.begin();
}

class MidiExportRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        buildSong(song);
        path = folder.file("tune_kvta.mid");
        const MidiExportResult r = exportMidiFile(song, path, "Tune");
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_EQ(r.bytesWritten, fs::file_size(path));
        const MidiLoadResult loaded = loadMidiFile(back, path);
        ASSERT_EQ(loaded.status, kStatusOk);
        ASSERT_TRUE(loaded.diagnostics.empty()) << loaded.diagnostics.front();
        EXPECT_EQ(loaded.multiChannel, kStatusSeveralChannels); // melody and chords
    }

    ScratchFolder folder;
    TSong song;
    TSong back;
    std::string path;
};

} // namespace

TEST(MidiExportName, ReplacesATrailingLowerCaseMidExtensionOnly) {
    EXPECT_EQ(exportFileName("song.mid"), "song_kvta.mid");
    EXPECT_EQ(exportFileName("song.MID"), "song.MID_kvta.mid");
    EXPECT_EQ(exportFileName("song.kvt"), "song.kvt_kvta.mid");
    EXPECT_EQ(exportFileName("tunes.mid/song"), "tunes.mid/song_kvta.mid");
    EXPECT_EQ(exportFileName(".mid"), "_kvta.mid");
    EXPECT_EQ(exportFileName("mid"), "mid_kvta.mid");
    // Long paths are not cut to a fixed buffer.
    const std::string longName = std::string(300, 'a') + ".mid";
    EXPECT_EQ(exportFileName(longName), std::string(300, 'a') + "_kvta.mid");
}

TEST_F(MidiExportRoundTrip, GivesBackTheMelodyAndChordNotesOnTheirChannels) {
    EXPECT_EQ(back.ticksPerQuarter, kTpq);
    EXPECT_EQ(back.format, 1);
    EXPECT_EQ(back.trackCount, 3);
    EXPECT_EQ(plainNotes(back, 0), plainNotes(song, kMelodyList));
    EXPECT_EQ(plainNotes(back, 1), plainNotes(song, kChordList));
    for (int list = 2; list < kNoteListCount; ++list)
        EXPECT_EQ(back.notes.Count(list), 0) << list;
}

TEST_F(MidiExportRoundTrip, KeepsTheMeterChangesAndTheUpbeat) {
    const auto& entries = back.meter().entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].firstBar, 0);
    EXPECT_EQ(entries[0].numerator, 4);
    EXPECT_EQ(entries[1].firstBar, 2);
    EXPECT_EQ(entries[1].numerator, 3);
    EXPECT_EQ(entries[1].denominator, 4);
    EXPECT_EQ(entries[2].firstBar, 4);
    EXPECT_EQ(entries[2].numerator, 6);
    EXPECT_EQ(entries[2].denominator, 8);
    EXPECT_EQ(Upbeat(back.notes, 0), 3 * kQuarter);
    // Positions agree bar for bar, not only in ticks.
    ASSERT_EQ(back.notes.Count(0), song.notes.Count(kMelodyList));
    for (int i = 0; i < song.notes.Count(kMelodyList); ++i)
        EXPECT_EQ(back.notes.Note(i, 0)->start, song.notes.Note(i, kMelodyList)->start) << i;
}

TEST_F(MidiExportRoundTrip, WritesTheConductorEventsInTimeOrder) {
    // SMPTE offset first; at each tick the time signature before tempo and key.
    EXPECT_EQ(metaLines(back), (std::vector<std::string>{
                                   "54 01020304 05060000 @0",
                                   "58 04041808 00000000 @0",
                                   "59 01000000 00000000 @0",
                                   "51 00061A80 00000000 @0",
                                   "58 03041808 00000000 @768",
                                   "58 06082408 00000000 @1344",
                                   "51 000927C0 00000000 @1344",
                               }));
}

TEST_F(MidiExportRoundTrip, StartsEachPartWithItsProgramVolumeAndPan) {
    // The start-up events come first; later changes keep their places. The
    // chords had no program of their own and start with program 0.
    EXPECT_EQ(channelLines(back), (std::vector<std::string>{
                                      "C0 40 0 @0",
                                      "B0 7 90 @0",
                                      "B0 10 30 @0",
                                      "C1 0 0 @0",
                                      "B1 7 80 @0",
                                      "B0 64 127 @384",
                                      "C0 41 0 @1632",
                                  }));
    EXPECT_EQ(exportPartSetup(back, 0), exportPartSetup(song, 0));
    EXPECT_EQ(exportPartSetup(back, 1), exportPartSetup(song, 1));
}

TEST_F(MidiExportRoundTrip, NamesTheTracksAndMarksEveryPlayedChord) {
    const std::vector<std::string> log = eventLog(path);
    EXPECT_EQ(log.front(), "T0@0 header 1 3 96");
    EXPECT_EQ(linesWith(log, "trackname"), (std::vector<std::string>{
                                               "T1@0 text 3 trackname 'Tune'",
                                               "T2@0 text 3 trackname 'Melody'",
                                               "T3@0 text 3 trackname 'Chords'",
                                           }));
    EXPECT_GE(indexOf(log, "T1@0 text 1 text 'Harmonized by hand.'"), 0);
    // Bar 3's chord is switched off and bar 4 has none: no marker there.
    EXPECT_EQ(linesWith(log, "marker"), (std::vector<std::string>{
                                            "T3@0 text 6 marker 'C'",
                                            "T3@384 text 6 marker 'G7'",
                                            "T3@768 text 6 marker 'Am'",
                                            "T3@1632 text 6 marker 'C'",
                                        }));
    // Each track ends where the song ends.
    EXPECT_EQ(linesWith(log, "endoftrack"), (std::vector<std::string>{
                                                "T1@1920 endoftrack",
                                                "T2@1920 endoftrack",
                                                "T3@1920 endoftrack",
                                            }));
    // Notes sound on their part's channel only: melody 0 on track 2, chords 1 on track 3.
    int melodyNotes = 0;
    int chordNotes = 0;
    for (const std::string& line : log) {
        const int channel = noteChannel(line);
        if (channel < 0) continue;
        if (line.rfind("T2@", 0) == 0) {
            EXPECT_EQ(channel, kExportMelodyChannel) << line;
            ++melodyNotes;
        } else {
            EXPECT_EQ(line.rfind("T3@", 0), 0u) << line;
            EXPECT_EQ(channel, kExportChordChannel) << line;
            ++chordNotes;
        }
    }
    EXPECT_EQ(melodyNotes, 2 * song.notes.Count(kMelodyList));
    EXPECT_EQ(chordNotes, 2 * song.notes.Count(kChordList));
}

TEST_F(MidiExportRoundTrip, ClosesANoteBeforeTheSamePitchSoundsAgain) {
    const std::vector<std::string> log = eventLog(path);
    const std::ptrdiff_t off = indexOf(log, "T2@672 noteoff 0 76 0");
    const std::ptrdiff_t on = indexOf(log, "T2@672 noteon 0 76 90");
    ASSERT_GE(off, 0);
    ASSERT_GE(on, 0);
    EXPECT_LT(off, on);
    // The chord of bar 1 ends 10 ticks before bar 2 and never overlaps it.
    EXPECT_GE(indexOf(log, "T3@758 noteoff 1 55 100"), 0);
}

TEST(MidiExport, StartsAPartWithDefaultsWhenTheSongStoresNoSettings) {
    ScratchFolder folder;
    TSong song;
    song.meter().SetDivision(480);
    song.meter().AddMeter(0, 4, 4);
    for (int i = 0; i < 3; ++i)
        song.notes.AddNote(static_cast<std::uint8_t>(60 + i), kMelodyList, 0x6440, at(i), 480, 0);
    song.keys.push_back(TKeyEntry{kKeyAMinor, 0, 0});
    EXPECT_EQ(exportPartSetup(song, 0), (PartSetup{0, 100, -1}));
    EXPECT_EQ(exportPartSetup(song, 7), (PartSetup{0, 100, -1}));

    const std::string path = folder.file("lonely_kvta.mid");
    ASSERT_TRUE(exportMidiFile(song, path).ok());
    TSong back;
    ASSERT_EQ(loadMidiFile(back, path).status, kStatusOk);
    ASSERT_NE(back.FindEvent(kMetaTempo, 0, 0), nullptr);
    EXPECT_EQ(back.QueryMeta(kMetaTempo), kDefaultTempo);
    EXPECT_EQ(back.QueryMeta(kMetaKeySignature), kKeyAMinor); // from the song's key
    EXPECT_EQ(back.QueryMeta(0xC0, 0), 0);
    EXPECT_EQ(back.QueryMeta(0xB0, kControllerVolume), 100);
    EXPECT_EQ(back.QueryMeta(0xC1, 0), 0);
    EXPECT_EQ(back.QueryMeta(0xB1, kControllerVolume), 100);
    EXPECT_EQ(back.QueryMeta(0xB0, kControllerPan), -1);
    EXPECT_EQ(plainNotes(back, 0), plainNotes(song, kMelodyList));

    const std::vector<std::string> log = eventLog(path);
    EXPECT_GE(indexOf(log, "T1@0 text 3 trackname 'lonely_kvta'"), 0); // the file's stem
    EXPECT_TRUE(linesWith(log, "marker").empty());
}

TEST(MidiExport, MakesOddNotesWritableWithoutOverlaps) {
    ScratchFolder folder;
    TSong song;
    song.meter().SetDivision(kTpq);
    song.meter().AddMeter(0, 4, 4);
    addNote(song, 60, at(0, 0), 0);              // never ended: one tick
    addNote(song, 62, at(0, 1), kQuarter, 0, 5); // silent note-on: velocity 1
    addNote(song, 64, at(0, 2), 2 * kQuarter);   // runs into the next 64: cut there
    addNote(song, 64, at(0, 3), kQuarter);
    addNote(song, 65, at(1, 0), 50);        // two 65s together: the longer stays
    addNote(song, 65, at(1, 0), kQuarter);  //
    addNote(song, 200, at(1, 1), kQuarter); // no MIDI pitch: left out

    const std::string path = folder.file("odd.mid");
    ASSERT_TRUE(exportMidiFile(song, path).ok());
    TSong back;
    ASSERT_EQ(loadMidiFile(back, path).status, kStatusOk);
    EXPECT_EQ(plainNotes(back, 0), (std::vector<PlainNote>{
                                       {60, 0, 1, 100, 64},
                                       {62, 96, 96, 1, 5},
                                       {64, 192, 96, 100, 64},
                                       {64, 288, 96, 100, 64},
                                       {65, 384, 96, 100, 64},
                                   }));
}

TEST(MidiExport, RoundTripsAHarmonizedSample) {
    TSong song;
    const std::string sample = std::string(KORVANTA_DATA_DIR) + "/samples/amazing-grace.mid";
    const MidiLoadResult loaded = loadMidiFile(song, sample);
    ASSERT_EQ(loaded.status, kStatusOk);
    const Status prepared = loadMelody(song, loaded.multiChannel, loaded.melodyChannel);
    ASSERT_TRUE(prepared == kStatusOk || prepared == kStatusKeyNotRecognised) << prepared;
    ASSERT_GT(Upbeat(song.notes, kMelodyList), 0);
    ASSERT_TRUE(song.MakeBarChords());
    ASSERT_TRUE(song.MakeBarHarmony());
    const std::int16_t progression[] = {0x0800, 0x0700, 0x0901, 0x1400}; // G C D7 Em
    for (int bar = 0; bar < song.barCount; ++bar)
        song.SetBarChord(bar, progression[bar % 4]);
    ASSERT_GT(BuildChordNotes(song), 0);

    ScratchFolder folder;
    const std::string path = folder.file(exportFileName("amazing-grace.mid"));
    ASSERT_TRUE(exportMidiFile(song, path, "Amazing Grace").ok());
    TSong back;
    ASSERT_EQ(loadMidiFile(back, path).status, kStatusOk);
    EXPECT_EQ(back.ticksPerQuarter, song.ticksPerQuarter);
    EXPECT_EQ(plainNotes(back, 0), plainNotes(song, kMelodyList));
    EXPECT_EQ(plainNotes(back, 1), plainNotes(song, kChordList));
    EXPECT_EQ(back.QueryMeta(kMetaTempo), song.QueryMeta(kMetaTempo));
    EXPECT_EQ(back.QueryMeta(kMetaKeySignature), song.QueryMeta(kMetaKeySignature));
    EXPECT_EQ(exportPartSetup(back, 0), exportPartSetup(song, 0));
    const std::vector<std::string> markers = linesWith(eventLog(path), "marker");
    ASSERT_EQ(markers.size(), static_cast<std::size_t>(song.barCount));
    EXPECT_EQ(markers[2], "T3@" + std::to_string(song.meter().BarStart(2)) + " text 6 marker 'D7'");
}

TEST(MidiExport, AReplacedFileKeepsItsPermissions) {
    ScratchFolder folder;
    TSong song;
    buildSong(song);
    const std::string target = folder.file("tune_kvta.mid");
    // Two modes, so that neither matches what a fresh file gets from the umask.
    for (const fs::perms mode :
         {fs::perms::owner_read | fs::perms::owner_write,
          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read}) {
        writeFile(target, "an older export");
        fs::permissions(target, mode);
        const MidiExportResult r = exportMidiFile(song, target);
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_EQ(fs::status(target).permissions(), mode);
        EXPECT_EQ(fileBytes(target).size(), r.bytesWritten);
        EXPECT_EQ(folder.names(), (std::set<std::string>{"tune_kvta.mid"}));
    }
}

// ---- failures ----

TEST(MidiExportFailure, AMissingFolderGives102AndCreatesNothing) {
    ScratchFolder folder;
    TSong song;
    buildSong(song);
    const MidiExportResult r = exportMidiFile(song, folder.file("missing/tune_kvta.mid"));
    EXPECT_EQ(r.status, kStatusSaveFailed);
    EXPECT_EQ(r.message, "cannot create a file in the folder of " +
                             folder.file("missing/tune_kvta.mid") + ": No such file or directory");
    EXPECT_EQ(r.bytesWritten, 0u);
    EXPECT_TRUE(folder.names().empty());
}

TEST(MidiExportFailure, AFolderInTheWayIsRefusedAndStaysAsItWas) {
    ScratchFolder folder;
    TSong song;
    buildSong(song);
    const std::string target = folder.file("tune_kvta.mid");
    fs::create_directory(target); // a folder in the way
    writeFile(target + "/inside.txt", "keep");
    const MidiExportResult r = exportMidiFile(song, target);
    EXPECT_EQ(r.status, kStatusSaveFailed);
    EXPECT_EQ(r.message, target + " is a folder, not a file");
    EXPECT_EQ(folder.names(), (std::set<std::string>{"tune_kvta.mid"}));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(fileBytes(target + "/inside.txt"), (std::vector<char>{'k', 'e', 'e', 'p'}));
}

TEST(MidiExportFailure, ASuccessfulExportReplacesTheOldFileAndLeavesNothingElse) {
    ScratchFolder folder;
    TSong song;
    buildSong(song);
    const std::string target = folder.file("tune_kvta.mid");
    writeFile(target, "an older export");
    ASSERT_TRUE(exportMidiFile(song, target).ok());
    EXPECT_EQ(folder.names(), (std::set<std::string>{"tune_kvta.mid"}));
    const std::vector<char> bytes = fileBytes(target);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MThd");
}

TEST(MidiExportFailure, AFullDiskGives102) {
    TSong song;
    buildSong(song);
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full here";
    const MidiExportResult r = writeMidiExport(song, full, "Tune");
    std::fclose(full);
    EXPECT_EQ(r.status, kStatusSaveFailed);
    EXPECT_EQ(r.message, "write error (may be disk full)");
}

#if defined(__unix__)
TEST(MidiExportFailure, AWriteThatStopsHalfwayLeavesTheOldFileByteForByte) {
    ScratchFolder folder;
    TSong song;
    buildSong(song);
    const std::string target = folder.file("tune_kvta.mid");
    writeFile(target, "the previous export, kept as it was");
    const std::vector<char> before = fileBytes(target);

    // Files may grow to 64 bytes only: the export runs out of room midway.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const MidiExportResult r = exportMidiFile(song, target);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(r.status, kStatusSaveFailed);
    EXPECT_EQ(r.message, "write error: File too large");
    EXPECT_EQ(fileBytes(target), before);
    EXPECT_EQ(folder.names(), (std::set<std::string>{"tune_kvta.mid"}));
}
#endif

TEST(MidiExportFailure, ASongWithoutAWritableMeterGives102AndNoFile) {
    ScratchFolder folder;
    TSong noMeter;
    noMeter.notes.AddNote(60, kMelodyList, 0x6440, at(0), 96, 0);
    const MidiExportResult r = exportMidiFile(noMeter, folder.file("a.mid"));
    EXPECT_EQ(r.status, kStatusSaveFailed);
    EXPECT_EQ(r.message, "the song has no meter");

    TSong oddMeter;
    oddMeter.meter().SetDivision(96);
    oddMeter.meter().AddMeter(0, 4, 4);
    oddMeter.meter().AddMeter(1, 3, 3); // a beat that is no note value
    const MidiExportBytes bytes = renderMidiExport(oddMeter, "x");
    EXPECT_EQ(bytes.status, kStatusSaveFailed);
    EXPECT_EQ(bytes.message, "the meter 3/3 cannot be written");
    EXPECT_TRUE(bytes.bytes.empty());
    EXPECT_EQ(exportMidiFile(oddMeter, folder.file("b.mid")).status, kStatusSaveFailed);
    EXPECT_TRUE(folder.names().empty());
}
