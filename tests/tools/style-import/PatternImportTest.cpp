#include "PatternImport.h"

#include "ImportTestSupport.h"
#include "styles/StyleFiles.h"
#include "styles/StyleLibrary.h"
#include "styles/StyleMaster.h"

#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvanta;
using namespace korvanta::styleimport;
using namespace korvanta::test;

namespace {

SourceNote note(std::int64_t start, std::int64_t length, int pitch, int on = 90, int off = 64,
                int channel = kNoChannel) {
    SourceNote n;
    n.start = start;
    n.length = length;
    n.pitch = pitch;
    n.velocities = static_cast<std::uint16_t>(on << 8 | off);
    n.channel = channel;
    return n;
}

PatternSource source(Meter meter, std::vector<SourceNote> notes, int division = 480) {
    PatternSource s;
    s.meter = meter;
    s.division = division;
    s.notes = std::move(notes);
    return s;
}

ImportOptions named(const std::string& name = "Test", int group = 0) {
    ImportOptions o;
    o.name = name;
    o.group = group;
    return o;
}

StyleRecord smallStyle(int program = 0) {
    const Conversion c = convertPattern(source({4, 4}, {note(0, 480, 48)}), [&] {
        ImportOptions o = named();
        o.program = program;
        return o;
    }());
    return *c.style;
}

StyleSettings settings(const std::string& name, int group) {
    StyleSettings s;
    s.name = name;
    s.group = group;
    s.meters = {{4, 4}};
    return s;
}

// Starts a process that waits until the pipe `start` is closed, then imports
// `prefix`0 .. `prefix`<rounds - 1> one after the other into `folder`. It
// exits 0 when every import succeeded; else it says why on stderr, exits 1.
pid_t startImporter(const int (&start)[2], const std::filesystem::path& folder,
                    const std::string& prefix, int rounds) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    close(start[1]); // else the child's own copy keeps the pipe open
    char byte = 0;
    while (read(start[0], &byte, 1) < 0 && errno == EINTR) {
    }
    const StyleRecord style = smallStyle();
    for (int round = 0; round < rounds; ++round) {
        const LibraryAdd added =
            addStyleToLibrary(folder, settings(prefix + std::to_string(round), 0), style, false);
        if (!added.ok) {
            std::fprintf(stderr, "%s%d: %s\n", prefix.c_str(), round, added.error.c_str());
            _exit(1);
        }
    }
    _exit(0);
}

// Whether the process ended by exiting 0.
bool exitedCleanly(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(StyleImportConversion, EveryPitchClassBecomesItsSelectorOrIsLeftOut) {
    std::vector<SourceNote> notes;
    for (int pc = 0; pc < 12; ++pc)
        notes.push_back(note(pc * 120, 120, 48 + pc));
    const Conversion c = convertPattern(source({4, 4}, notes), named());
    ASSERT_TRUE(c.style) << c.error;
    const int expected[12] = {1, 0, 0, 3, 3, 0, 4, 5, 5, 6, 7, 7};
    ASSERT_EQ(c.notes.size(), 12u);
    std::size_t event = 0;
    for (int pc = 0; pc < 12; ++pc) {
        const NoteReport& r = c.notes[static_cast<std::size_t>(pc)];
        EXPECT_EQ(r.kept, expected[pc] != 0) << pc;
        if (!r.kept) continue;
        const PatternEvent& e = c.style->events[event++];
        EXPECT_EQ(e.selector, expected[pc]) << pc;
        EXPECT_EQ(e.octave, 4); // C3..B3 are MIDI 48..59
    }
    EXPECT_EQ(c.style->events.size(), 9u);
    // The three left-out notes are reported with their position.
    EXPECT_EQ(c.messages,
              (std::vector<std::string>{"1:1:120 C#3 is not a chord tone over C: left out",
                                        "1:1:240 D3 is not a chord tone over C: left out",
                                        "1:2:120 F3 is not a chord tone over C: left out"}));
}

TEST(StyleImportConversion, PositionsFollowThePatternsOwnMeter) {
    // 6/8 at 480: beats of 240 ticks, bars of 1440.
    const Conversion jig =
        convertPattern(source({6, 8}, {note(1440 + 3 * 240 + 60, 200, 60)}), named());
    ASSERT_TRUE(jig.style) << jig.error;
    const PatternEvent& e = jig.style->events[0];
    EXPECT_EQ(e.bar, 1);
    EXPECT_EQ(e.beat, 3);
    EXPECT_EQ(e.tick, 60);
    EXPECT_EQ(e.octave, 5);
    EXPECT_EQ(jig.notes[0].position(), "2:4:060");
    EXPECT_EQ(jig.style->beatsPerBar(), 6);
    EXPECT_EQ(jig.style->numerator(), 6);
    EXPECT_EQ(jig.style->denominator(), 8); // the plain note value, not its power

    // 2/2 at 96: beats of 192 ticks.
    const Conversion cut = convertPattern(source({2, 2}, {note(192 + 10, 96, 43)}, 96), named());
    ASSERT_TRUE(cut.style) << cut.error;
    EXPECT_EQ(cut.style->events[0].beat, 1);
    EXPECT_EQ(cut.style->events[0].tick, 10);
    EXPECT_EQ(cut.style->ticksPerQuarter, 96);
}

TEST(StyleImportConversion, EventsAreSortedHeldAndKeepTheirVelocities) {
    const Conversion c =
        convertPattern(source({4, 4}, {note(480, 40000, 67, 50, 20), note(0, 0, 64),
                                       note(0, 480, 48, 100, 7), note(480, 240, 55)}),
                       named());
    ASSERT_TRUE(c.style) << c.error;
    const auto& ev = c.style->events;
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].octave, 4); // C3 before E4 at the same start
    EXPECT_EQ(ev[0].velocities, (100 << 8) | 7);
    EXPECT_EQ(ev[1].duration, 1); // never released: held to one tick
    EXPECT_EQ(ev[2].selector, 5); // G3 before G4
    EXPECT_EQ(ev[2].octave, 4);
    EXPECT_EQ(ev[3].duration, 32767);
    EXPECT_EQ(ev[3].velocities, (50 << 8) | 20);
    EXPECT_EQ(c.style->eventCount, 4u);
    ASSERT_EQ(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[1], "1:2:000 G4 length 40000 held to 32767 ticks");
}

TEST(StyleImportConversion, BarsComeFromTheLastEndOrCutLaterNotes) {
    auto barsOf = [](std::vector<SourceNote> notes) {
        const Conversion c = convertPattern(source({3, 4}, std::move(notes)), named());
        return c.style ? c.style->bars() : -1;
    };
    EXPECT_EQ(barsOf({note(0, 1440, 48)}), 1); // ends on the bar line
    EXPECT_EQ(barsOf({note(0, 1441, 48)}), 2);
    EXPECT_EQ(barsOf({note(0, 10, 48), note(2880, 10, 50)}), 1); // a left-out D does not count

    ImportOptions two = named();
    two.bars = 2;
    const Conversion cut =
        convertPattern(source({3, 4}, {note(0, 480, 48), note(2880, 480, 52)}), two);
    ASSERT_TRUE(cut.style) << cut.error;
    EXPECT_EQ(cut.style->bars(), 2);
    EXPECT_EQ(cut.style->events.size(), 1u);
    EXPECT_EQ(cut.messages.back(), "3:1:000 E3 lies after the pattern's 2 bars: left out");
}

TEST(StyleImportConversion, HeaderTakesOptionsOverTheSourceHeader) {
    PatternSource s = source({4, 4}, {note(0, 480, 48)});
    s.name = "FromFile";
    s.group = 1;
    s.program = 25;
    s.baseOctave = 5;
    s.meters = std::vector<Meter>{{4, 4}, {2, 2}};
    const Conversion fromFile = convertPattern(s, {});
    ASSERT_TRUE(fromFile.style) << fromFile.error;
    EXPECT_EQ(fromFile.settings.name, "FromFile");
    EXPECT_EQ(fromFile.settings.group, 1);
    const StyleRecord& st = *fromFile.style;
    EXPECT_EQ(st.formatByte(), kStyleFormatVersion);
    EXPECT_EQ(st.program(), 25);
    EXPECT_EQ(st.baseOctave(), 5);
    EXPECT_EQ(st.meters, meterCode(4, 4) | meterCode(2, 2) << 8);

    ImportOptions o;
    o.name = "Given";
    o.program = 0;
    o.baseOctave = 3;
    o.meters = std::vector<Meter>{{2, 2}, {4, 4}, {2, 4}};
    const Conversion given = convertPattern(s, o);
    ASSERT_TRUE(given.style) << given.error;
    EXPECT_EQ(given.settings.name, "Given");
    EXPECT_EQ(given.settings.group, 1);
    EXPECT_EQ(given.style->program(), 0);
    EXPECT_EQ(given.style->baseOctave(), 3);
    EXPECT_EQ(given.style->meters, 0x244422u); // in the order given, lowest byte first
}

TEST(StyleImportConversion, MidiChannelChoosesNotesAndProgram) {
    PatternSource s = source({4, 4}, {note(0, 480, 48, 90, 64, 0), note(0, 480, 52, 90, 64, 3)});
    s.kind = SourceKind::Midi;
    s.firstProgram[3] = 26;
    ImportOptions o = named();
    o.channel = 3;
    const Conversion c = convertPattern(s, o);
    ASSERT_TRUE(c.style) << c.error;
    ASSERT_EQ(c.style->events.size(), 1u);
    EXPECT_EQ(c.style->events[0].selector, 3);
    EXPECT_EQ(c.style->program(), 26);
    const Conversion all = convertPattern(s, named());
    EXPECT_EQ(all.style->events.size(), 2u);
    EXPECT_EQ(all.style->program(), 26); // the only program of a channel with notes
}

TEST(StyleImportConversion, RefusesWhatCannotBecomeAStyle) {
    struct Case {
        const char* what;
        std::function<void(PatternSource&, ImportOptions&)> change;
        const char* expected;
    };
    const Case cases[] = {
        {"no notes", [](PatternSource& s, ImportOptions&) { s.notes.clear(); },
         "no note understood"},
        {"only D", [](PatternSource& s, ImportOptions&) { s.notes = {note(0, 10, 50)}; },
         "no note understood"},
        {"five meters",
         [](PatternSource&, ImportOptions& o) {
             o.meters = std::vector<Meter>{{4, 4}, {2, 2}, {2, 4}, {3, 4}, {6, 8}};
         },
         "at most 4 meters"},
        {"zero numerator",
         [](PatternSource&, ImportOptions& o) {
             o.meters = std::vector<Meter>{{4, 4}, {0, 4}};
         },
         "meter 0/4 cannot be listed"},
        {"zero denominator",
         [](PatternSource&, ImportOptions& o) {
             o.meters = std::vector<Meter>{{4, 4}, {3, 0}};
         },
         "meter 3/0 cannot be listed"},
        {"numerator 16",
         [](PatternSource&, ImportOptions& o) {
             o.meters = std::vector<Meter>{{4, 4}, {16, 8}};
         },
         "meter 16/8 cannot be listed"},
        {"twice",
         [](PatternSource&, ImportOptions& o) {
             o.meters = std::vector<Meter>{{4, 4}, {4, 4}};
         },
         "listed twice"},
        {"own meter missing",
         [](PatternSource&, ImportOptions& o) {
             o.meters = std::vector<Meter>{{2, 2}};
         },
         "must include the pattern's own meter 4/4"},
        {"own meter 17/8",
         [](PatternSource& s, ImportOptions&) {
             s.meter = {17, 8};
         },
         "pattern's meter 17/8 cannot be stored"},
        {"empty name", [](PatternSource&, ImportOptions& o) { o.name = ""; }, "needs a name"},
        {"long name", [](PatternSource&, ImportOptions& o) { o.name = "SixteenCharsLong"; },
         "must be 1-15"},
        {"name with blank", [](PatternSource&, ImportOptions& o) { o.name = "Piano Pop"; },
         "must be 1-15"},
        {"name with dot", [](PatternSource&, ImportOptions& o) { o.name = "../x"; },
         "must be 1-15"},
        {"no group", [](PatternSource&, ImportOptions& o) { o.group.reset(); }, "needs a group"},
        {"group 3", [](PatternSource&, ImportOptions& o) { o.group = 3; }, "outside 0..2"},
        {"program 128", [](PatternSource&, ImportOptions& o) { o.program = 128; },
         "outside 0..127"},
        {"octave 11", [](PatternSource&, ImportOptions& o) { o.baseOctave = 11; }, "outside 0..10"},
        {"bars 0", [](PatternSource&, ImportOptions& o) { o.bars = 0; }, "outside 1..255"},
        {"bars 256", [](PatternSource&, ImportOptions& o) { o.bars = 256; }, "outside 1..255"},
        {"too long",
         [](PatternSource& s, ImportOptions&) { s.notes.push_back(note(300 * 1920, 10, 48)); },
         "301 bars long; a style holds at most 255"},
    };
    for (const Case& c : cases) {
        PatternSource s = source({4, 4}, {note(0, 480, 48)});
        ImportOptions o = named();
        c.change(s, o);
        const Conversion conv = convertPattern(s, o);
        EXPECT_FALSE(conv.style) << c.what;
        EXPECT_NE(conv.error.find(c.expected), std::string::npos) << c.what << ": " << conv.error;
    }
}

TEST(StyleImportLibrary, StartsAListInAnEmptyFolderThatReadsBack) {
    ScratchFolder dir;
    const StyleRecord style = smallStyle(24);
    const LibraryAdd added = addStyleToLibrary(dir.path(), settings("Strum", 1), style, false);
    ASSERT_TRUE(added.ok) << added.error;
    EXPECT_EQ(added.id, styleId(1, 0));
    const auto list = readStyleList(dir / "styles.lst", 7);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->groups[1].size(), 1u);
    EXPECT_EQ(list->groups[1][0], (StyleListEntry{styleId(1, 0), {}, "Strum"}));
    const StyleLoad load = loadStyle(dir.path(), list->groups[1][0]);
    ASSERT_TRUE(load.ok()) << load.message;
    EXPECT_EQ(load.value, style);
}

TEST(StyleImportLibrary, AppendsToItsGroupAndKeepsEveryOtherEntry) {
    ScratchFolder dir;
    StyleList before;
    before.groups[0] = {{styleId(0, 0), {1, 2, 3, 4, 5, 6, 7, 8}, "Ballad"}};
    before.groups[1] = {{styleId(1, 0), {}, "Folk"}, {styleId(1, 1), {}, "Bossa"}};
    before.groups[2] = {{styleId(2, 0), {9}, "Hidden"}};
    ASSERT_TRUE(writeStyleList(dir / "styles.lst", before));
    const LibraryAdd added =
        addStyleToLibrary(dir.path(), settings("Travis", 1), smallStyle(), false);
    ASSERT_TRUE(added.ok) << added.error;
    EXPECT_EQ(added.id, styleId(1, 2));
    StyleList expected = before;
    expected.groups[1].push_back({styleId(1, 2), {}, "Travis"});
    EXPECT_EQ(*readStyleList(dir / "styles.lst", 7), expected);
}

TEST(StyleImportLibrary, ReplacesOnlyWhenAskedAndInItsOwnGroup) {
    ScratchFolder dir;
    ASSERT_TRUE(addStyleToLibrary(dir.path(), settings("Pop", 0), smallStyle(0), false).ok);
    ASSERT_TRUE(addStyleToLibrary(dir.path(), settings("Rock", 0), smallStyle(0), false).ok);
    const std::string listBefore = readFile(dir / "styles.lst");

    LibraryAdd again = addStyleToLibrary(dir.path(), settings("Pop", 1), smallStyle(5), false);
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.error.find("already in group 0"), std::string::npos) << again.error;
    again = addStyleToLibrary(dir.path(), settings("pop", 0), smallStyle(5), true);
    EXPECT_FALSE(again.ok); // would share Pop.stt on a case-blind file system
    again = addStyleToLibrary(dir.path(), settings("Pop", 1), smallStyle(5), true);
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.error.find("keeps its group"), std::string::npos) << again.error;
    EXPECT_EQ(readFile(dir / "styles.lst"), listBefore);

    const LibraryAdd replaced =
        addStyleToLibrary(dir.path(), settings("Pop", 0), smallStyle(5), true);
    ASSERT_TRUE(replaced.ok) << replaced.error;
    EXPECT_TRUE(replaced.replaced);
    EXPECT_EQ(replaced.id, styleId(0, 0));
    EXPECT_EQ(readFile(dir / "styles.lst"), listBefore); // same place, same id
    EXPECT_EQ(loadStyle(dir.path(), {styleId(0, 0), {}, "Pop"}).value.program(), 5);
}

TEST(StyleImportLibrary, LeavesABrokenListAloneAndWritesNothing) {
    ScratchFolder dir;
    const std::string broken = std::string("LST\0\x05\0\0\0", 8) + "short";
    writeFile(dir / "styles.lst", broken);
    const LibraryAdd added = addStyleToLibrary(dir.path(), settings("New", 0), smallStyle(), true);
    EXPECT_FALSE(added.ok);
    EXPECT_NE(added.error.find("left as it is"), std::string::npos) << added.error;
    EXPECT_EQ(readFile(dir / "styles.lst"), broken);
    EXPECT_FALSE(std::filesystem::exists(dir / "New.stt"));
}

TEST(StyleImportLibrary, DryRunWritesNothingAndMissingFoldersAreRefused) {
    ScratchFolder dir;
    const LibraryAdd dry =
        addStyleToLibrary(dir.path(), settings("Dry", 2), smallStyle(), false, true);
    ASSERT_TRUE(dry.ok) << dry.error;
    EXPECT_EQ(dry.id, styleId(2, 0));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    const LibraryAdd nowhere =
        addStyleToLibrary(dir / "missing", settings("X", 0), smallStyle(), false);
    EXPECT_FALSE(nowhere.ok);
    EXPECT_NE(nowhere.error.find("does not exist"), std::string::npos);
}

TEST(StyleImportLibrary, WritesOverAStyleFileNoEntryNamesAndListsIt) {
    ScratchFolder dir;
    ASSERT_TRUE(addStyleToLibrary(dir.path(), settings("Listed", 1), smallStyle(), false).ok);
    // What an import leaves when it stops between the style file and the list.
    writeFile(dir / "Orphan.stt", std::string("half an import"));
    const LibraryAdd dry =
        addStyleToLibrary(dir.path(), settings("Orphan", 1), smallStyle(7), false, true);
    ASSERT_TRUE(dry.ok) << dry.error;
    EXPECT_TRUE(dry.replacedUnlisted);
    EXPECT_EQ(readFile(dir / "Orphan.stt"), "half an import");

    const LibraryAdd added =
        addStyleToLibrary(dir.path(), settings("Orphan", 1), smallStyle(7), false);
    ASSERT_TRUE(added.ok) << added.error;
    EXPECT_TRUE(added.replacedUnlisted);
    EXPECT_FALSE(added.replaced);
    EXPECT_EQ(added.id, styleId(1, 1));
    EXPECT_EQ(summaryLine(settings("Orphan", 1), smallStyle(7), added),
              "Orphan.stt: 1 event, 1 bar, meters 4/4, group 1, id 16777217, replacing "
              "Orphan.stt, which no list entry named");
    const auto list = readStyleList(dir / "styles.lst", 7);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->groups[1].size(), 2u);
    EXPECT_EQ(list->groups[1][1], (StyleListEntry{styleId(1, 1), {}, "Orphan"}));
    EXPECT_EQ(loadStyle(dir.path(), list->groups[1][1]).value, smallStyle(7));

    // Now that an entry names it, only --replace may write over it.
    const std::string listed = readFile(dir / "Orphan.stt");
    const LibraryAdd again =
        addStyleToLibrary(dir.path(), settings("Orphan", 1), smallStyle(9), false);
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.error.find("already in group 1"), std::string::npos) << again.error;
    EXPECT_EQ(readFile(dir / "Orphan.stt"), listed);
    const LibraryAdd replaced =
        addStyleToLibrary(dir.path(), settings("Orphan", 1), smallStyle(9), true);
    ASSERT_TRUE(replaced.ok) << replaced.error;
    EXPECT_TRUE(replaced.replaced);
    EXPECT_FALSE(replaced.replacedUnlisted);
}

TEST(StyleImportLibrary, AListThatCannotBeLockedIsAnErrorWithTheReason) {
    ScratchFolder dir;
    std::filesystem::create_directory(dir / "styles.lst");
    const LibraryAdd added = addStyleToLibrary(dir.path(), settings("New", 0), smallStyle(), false);
    EXPECT_FALSE(added.ok);
    EXPECT_NE(added.error.find("cannot lock the style list " + (dir / "styles.lst").string() +
                               ": Is a directory; nothing was written"),
              std::string::npos)
        << added.error;
    EXPECT_FALSE(std::filesystem::exists(dir / "New.stt"));
}

TEST(StyleImportLibrary, AReadOnlyFolderCannotBeLockedAndSaysWhy) {
    // The superuser writes into read-only folders: there is nothing to refuse.
    if (geteuid() == 0) GTEST_SKIP() << "running as root, which a read-only folder does not stop";
    ScratchFolder dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    const LibraryAdd added = addStyleToLibrary(dir.path(), settings("New", 0), smallStyle(), false);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_FALSE(added.ok);
    EXPECT_NE(added.error.find("cannot lock the style list " + (dir / "styles.lst").string() +
                               ": Permission denied; nothing was written"),
              std::string::npos)
        << added.error;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(StyleImportLibrary, TwoImportsAtOnceKeepBothEntries) {
    constexpr int kRounds = 20;
    ScratchFolder dir;
    int start[2] = {-1, -1};
    ASSERT_EQ(pipe(start), 0);
    const pid_t left = startImporter(start, dir.path(), "Left", kRounds);
    const pid_t right = startImporter(start, dir.path(), "Right", kRounds);
    close(start[0]);
    close(start[1]); // both begin now
    ASSERT_GT(left, 0);
    ASSERT_GT(right, 0);
    EXPECT_TRUE(exitedCleanly(left));
    EXPECT_TRUE(exitedCleanly(right));

    // Every round of each importer left its entry, each with its own identifier.
    const auto list = readStyleList(dir / "styles.lst", 7);
    ASSERT_TRUE(list);
    std::set<std::string> names;
    std::set<std::int32_t> ids;
    for (const StyleListEntry& entry : list->groups[0]) {
        names.insert(entry.name);
        ids.insert(entry.id);
    }
    for (int round = 0; round < kRounds; ++round) {
        for (const std::string prefix : {"Left", "Right"}) {
            const std::string name = prefix + std::to_string(round);
            EXPECT_TRUE(names.count(name)) << name << " lost its list entry";
        }
    }
    EXPECT_EQ(list->groups[0].size(), 2u * kRounds);
    EXPECT_EQ(ids.size(), 2u * kRounds);
}

TEST(StyleImportLibrary, SummaryLineSaysWhatWasWritten) {
    StyleSettings s = settings("PianoBallad", 0);
    s.meters = {{4, 4}, {2, 2}};
    StyleRecord style = smallStyle();
    style.events.resize(23);
    LibraryAdd added;
    added.id = 5;
    EXPECT_EQ(summaryLine(s, style, added),
              "PianoBallad.stt: 23 events, 1 bar, meters 4/4 2/2, group 0, id 5");
}

TEST(StyleImportLibrary, InstrumentNamesComeFromBesideTheStylesFolder) {
    ScratchFolder dir;
    std::filesystem::create_directories(dir / "Styles");
    writeFile(dir / "gmi.txt",
              std::string("Acoustic Grand Piano\r\n  Bright Piano \n\nHonky-tonk\n"));
    const auto names = readInstrumentNames(instrumentNamesFile(dir / "Styles"));
    EXPECT_EQ(names,
              (std::vector<std::string>{"Acoustic Grand Piano", "Bright Piano", "", "Honky-tonk"}));
    EXPECT_TRUE(readInstrumentNames(dir / "none.txt").empty());
}
