// Broken project files: each must fail the load with status 101 and a message
// naming the fault, leave the song and the settings as they were, and never
// crash or allocate what the file merely claims.

#include "ProjectBytes.h"
#include "project/ProjectFile.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace korvanta;
using namespace korvanta::test;

namespace {

using Bytes = std::vector<std::byte>;

struct BrokenFile {
    const char* name;
    std::function<Bytes()> build;
    const char* expectedText; // part of the message
};

std::ostream& operator<<(std::ostream& out, const BrokenFile& f) {
    return out << f.name;
}

// The sample project with one chunk's bytes replaced by others.
Bytes withMeter(const MeterSpec& m) {
    return sampleProject(m).bytes();
}

Bytes headerAnd(const std::function<void(ProjectBytes&)>& chunks, bool withMeterTable = true) {
    ProjectBytes p;
    p.header();
    chunks(p);
    if (withMeterTable) p.meter({});
    p.end();
    return p.bytes();
}

Bytes harmonized(const std::vector<TBarHarmony>& harmony, const std::vector<TBarChords>& chords,
                 const std::vector<TNote>& notes = sampleNotes()) {
    ProjectBytes p;
    p.header().melody(notes, kSamplePitchMask, kSamplePitchClassCount, 0);
    if (!harmony.empty()) p.barHarmony(harmony);
    if (!chords.empty()) p.barChords(chords);
    return p.meter({}).end().bytes();
}

TNote noteWith(const std::function<void(TNote&)>& change) {
    TNote n = sampleNotes()[0];
    change(n);
    return n;
}

constexpr std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();

const BrokenFile kBrokenFiles[] = {
    {"Empty", [] { return Bytes{}; }, "ends before"},
    {"OnlyTheSignature", [] { return ProjectBytes().tag("VKvt").bytes(); }, "ends too early"},
    {"HeaderWithoutEnd", [] { return ProjectBytes().header().meter({}).bytes(); }, "\"FEnd\""},
    {"ChunkBeforeHeader",
     [] { return ProjectBytes().settings(sampleSettings()).header().meter({}).end().bytes(); },
     "not a Korvanta project"},
    {"EndBeforeHeader", [] { return ProjectBytes().end().bytes(); }, "not a Korvanta project"},
    {"UnknownTag", [] { return headerAnd([](ProjectBytes& p) { p.tag("ABCD").i32(0); }); },
     "unknown chunk \"ABCD\""},
    {"TagInWrongCase",
     [] {
         return headerAnd([](ProjectBytes& p) {
             p.melody({}, 0, 0, -1);
             p.tag("mnts");
         });
     },
     "unknown chunk \"mnts\""},
    {"TagWithControlBytes",
     [] { return headerAnd([](ProjectBytes& p) { p.u8(0).u8(1).u8(0xFF).u8('A'); }); },
     "\\x00\\x01\\xFFA"},
    {"NoMeterTable",
     [] {
         return headerAnd([](ProjectBytes& p) { p.melody(sampleNotes(), kSamplePitchMask, 6, 0); },
                          false);
     },
     "no meter table"},

    // Counts the file cannot back.
    {"NegativeEventCount",
     [] { return headerAnd([](ProjectBytes& p) { p.events("GPar", {}, -1); }); }, "negative"},
    {"EventCountBeyondTheFile",
     [] { return ProjectBytes().header().events("TPar", sampleChannelEvents(), 3).bytes(); },
     "needs more bytes"},
    {"HugeEventCount",
     [] { return headerAnd([](ProjectBytes& p) { p.events("GPar", {}, kHuge); }); },
     "needs more bytes"},
    {"NegativeNoteCount",
     [] { return headerAnd([](ProjectBytes& p) { p.melody({}, 0, 0, -1, -5); }); }, "negative"},
    {"NoteCountEatingTheMelodyTail",
     [] { return ProjectBytes().header().melody(sampleNotes(), 0, 0, -1, 13).bytes(); },
     "needs more bytes"},
    {"CountSmallerThanTheRecords",
     [] { return headerAnd([](ProjectBytes& p) { p.events("GPar", sampleMetaEvents(), 3); }); },
     "unknown chunk"},
    {"HugeBarHarmonyCount",
     [] { return headerAnd([](ProjectBytes& p) { p.barHarmony({}, kHuge); }); },
     "needs more bytes"},
    {"NegativeBarChordsCount",
     [] {
         return headerAnd(
             [](ProjectBytes& p) { p.barChords({}, std::numeric_limits<std::int32_t>::min()); });
     },
     "negative"},
    {"NegativeKeyCount",
     [] {
         MeterSpec m;
         m.keyCount = -1;
         return withMeter(m);
     },
     "negative"},
    {"KeyCountBeyondTheFile",
     [] {
         MeterSpec m;
         m.keyCount = 2;
         return ProjectBytes().header().meter(m).bytes();
     },
     "needs more bytes"},
    {"NegativeMeterChangeCount",
     [] {
         MeterSpec m;
         m.changeCount = -1;
         return withMeter(m);
     },
     "meter change count"},
    {"HugeMeterChangeCount",
     [] {
         MeterSpec m;
         m.changeCount = kHuge;
         return withMeter(m);
     },
     "meter change count"},
    {"NegativeReservedLength", [] { return headerAnd([](ProjectBytes& p) { p.reserved(-4, 0); }); },
     "negative"},
    {"ReservedLengthBeyondTheFile",
     [] { return headerAnd([](ProjectBytes& p) { p.reserved(1000, 4); }); }, "past the end"},

    // The meter table.
    {"MeterHeaderTooLong",
     [] {
         MeterSpec m;
         m.headerWords = 11;
         return withMeter(m);
     },
     "11 words"},
    {"MeterHeaderTooShort",
     [] {
         MeterSpec m;
         m.headerWords = 8;
         return withMeter(m);
     },
     "8 words"},
    {"ZeroNumerator",
     [] {
         MeterSpec m;
         m.changes[0].numerator = 0;
         return withMeter(m);
     },
     "impossible meter"},
    {"ZeroDenominator",
     [] {
         MeterSpec m;
         m.changes[0].denominator = 0;
         return withMeter(m);
     },
     "impossible meter"},
    {"ZeroTicksPerBeat",
     [] {
         MeterSpec m;
         m.changes.push_back(TMeterChange{2, 3, 4, {0, 0}, 1440, 0});
         return withMeter(m);
     },
     "impossible meter"},
    {"NegativeFirstBar",
     [] {
         MeterSpec m;
         m.changes[0].firstBar = -3;
         return withMeter(m);
     },
     "impossible meter"},
    {"ZeroTicksPerQuarter",
     [] {
         MeterSpec m;
         m.ticksPerQuarter = 0;
         return withMeter(m);
     },
     "time division 0"},
    {"TinyTicksPerQuarter",
     [] {
         MeterSpec m;
         m.ticksPerQuarter = 15;
         return withMeter(m);
     },
     "time division 15"},
    {"SmpteTicksPerQuarter",
     [] {
         MeterSpec m;
         m.ticksPerQuarter = 0xE728;
         return withMeter(m);
     },
     "not supported"},
    {"NegativeTicksPerQuarter",
     [] {
         MeterSpec m;
         m.ticksPerQuarter = -480;
         return withMeter(m);
     },
     "not supported"},
    {"NegativeBarCount",
     [] {
         MeterSpec m;
         m.barCount = -1;
         return ProjectBytes().header().meter(m).end().bytes();
     },
     "bar count -1"},
    {"BarCountBeyondAnyPosition",
     [] {
         MeterSpec m;
         m.barCount = 0x10001;
         return ProjectBytes().header().meter(m).end().bytes();
     },
     "out of range"},
    {"KeyIndexOutOfRange",
     [] {
         MeterSpec m;
         m.keys = {TKeyEntry{24, 0, 0}};
         return withMeter(m);
     },
     "key index 24"},

    // Notes.
    {"NoteOnAListThatDoesNotExist",
     [] { return harmonized({}, {}, {noteWith([](TNote& n) { n.list = 16; })}); }, "list 16"},
    {"NoteWithPitchAbove127",
     [] { return harmonized({}, {}, {noteWith([](TNote& n) { n.pitch = 200; })}); }, "pitch"},
    {"NoteWithPitchClass12",
     [] { return harmonized({}, {}, {noteWith([](TNote& n) { n.pitchClass = 12; })}); }, "pitch"},
    {"UpbeatBelowMinusOne",
     [] { return headerAnd([](ProjectBytes& p) { p.melody({}, 0, 0, -2); }); }, "upbeat -2"},

    // Per-bar arrays against the bar count.
    {"BarHarmonyShorterThanTheSong",
     [] {
         auto h = sampleBarHarmony();
         h.pop_back();
         return harmonized(h, sampleBarChords());
     },
     "cover 3 bars"},
    {"BarChordsLongerThanTheSong",
     [] {
         auto c = sampleBarChords();
         c.push_back(c.back());
         return harmonized(sampleBarHarmony(), c);
     },
     "cover 5 bars"},
    {"BarHarmonyWithoutBarChords", [] { return harmonized(sampleBarHarmony(), {}); }, "\"RChr\""},
    {"MelodyNoteAfterTheLastBar",
     [] {
         auto notes = sampleNotes();
         notes.back().start.bar = kSampleBars;
         return harmonized(sampleBarHarmony(), sampleBarChords(), notes);
     },
     "bar 4"},
    {"UnknownAppliedChord",
     [] {
         auto h = sampleBarHarmony();
         h[1].chord = 24 << 8;
         return harmonized(h, sampleBarChords());
     },
     "chord code 6144"},
    {"UnknownCandidateChord",
     [] {
         auto c = sampleBarChords();
         c[2].codes[1] = 7 << 8 | 5;
         return harmonized(sampleBarHarmony(), c);
     },
     "chord code 1797"},
    {"MoreCandidatesThanSlots",
     [] {
         auto c = sampleBarChords();
         c[0].mainCount = 10;
         c[0].extraCount = 3;
         return harmonized(sampleBarHarmony(), c);
     },
     "13 chords"},

    // Settings records that would poison the settings in force.
    {"SettingsWithUnknownMethod",
     [] {
         HarmonySettings s = sampleSettings();
         s.TSYmode = 2;
         return headerAnd([s](ProjectBytes& p) { p.settings(s); });
     },
     "TSYmode"},
    {"SettingsWithNaN",
     [] {
         HarmonySettings s = sampleSettings();
         s.MinWT = std::nanf("");
         return headerAnd([s](ProjectBytes& p) { p.settings(s); });
     },
     "MinWT"},
    {"SettingsWithTooManyCustomChords",
     [] {
         HarmonySettings s = sampleSettings();
         s.MaxNumCustomChords = 10;
         return headerAnd([s](ProjectBytes& p) { p.settings(s); });
     },
     "MaxNumCustomChords"},
    {"SettingsWithABooleanOf2",
     [] {
         return ProjectBytes()
             .header()
             .tag("POpt")
             .i32(1)
             .u8(1)
             .u8(2)
             .zeros(30)
             .meter({})
             .end()
             .bytes();
     },
     "0 or 1"},
    {"SettingsRecordCutShort",
     [] { return ProjectBytes().header().tag("POpt").i32(1).zeros(20).bytes(); }, "ends too early"},
};

class ProjectFileBroken : public testing::TestWithParam<BrokenFile> {};

} // namespace

TEST_P(ProjectFileBroken, FailsCleanlyAndLeavesSongAndSettingsAlone) {
    const Bytes bytes = GetParam().build();
    TSong song;
    HarmonySettings settings = kBuiltInHarmonySettings;
    const ProjectResult r = ProjectFile("broken.kvt", song, settings).load(bytes);
    EXPECT_EQ(r.status, kStatusLoadFailed);
    EXPECT_NE(r.message.find(GetParam().expectedText), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("broken.kvt"), std::string::npos) << r.message;
    EXPECT_EQ(settings, kBuiltInHarmonySettings);
    EXPECT_EQ(song.notes.Count(kMelodyList), 0);
    EXPECT_EQ(song.metaEvents.Count(), 0);
    EXPECT_TRUE(song.barHarmony.empty());
    EXPECT_EQ(song.meter().entryCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(ProjectFiles, ProjectFileBroken, testing::ValuesIn(kBrokenFiles),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(ProjectFileBrokenSources, TheFilesTheFaultsAreMadeFromLoad) {
    auto loads = [](const Bytes& bytes) {
        TSong song;
        HarmonySettings settings;
        return ProjectFile("ok.kvt", song, settings).load(bytes).ok();
    };
    EXPECT_TRUE(loads(sampleProject().bytes()));
    EXPECT_TRUE(loads(harmonized(sampleBarHarmony(), sampleBarChords())));
    EXPECT_TRUE(loads(headerAnd([](ProjectBytes& p) { p.settings(sampleSettings()); })));
}

TEST(ProjectFileTruncated, EveryProperPrefixOfAValidFileFails) {
    const Bytes whole = sampleProject().bytes();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        TSong song;
        HarmonySettings settings;
        const ProjectResult r =
            ProjectFile("cut.kvt", song, settings).load(std::span(whole.data(), size));
        ASSERT_EQ(r.status, kStatusLoadFailed) << "prefix of " << size << " bytes";
        ASSERT_EQ(settings, kBuiltInHarmonySettings) << "prefix of " << size << " bytes";
    }
}
