// Tests of project file loading and saving: what a load puts into the song and
// the settings, the reading rules for chunk order and repetition, byte-exact
// round trips, and saves that fail without harming the previous file.

#include "project/ProjectFile.h"

#include "ProjectBytes.h"
#include "alg/song/MelodyChecks.h"
#include "support/ScratchPath.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>

using namespace korvanta;
using namespace korvanta::test;

namespace {

using Bytes = std::vector<std::byte>;

struct Loaded {
    std::unique_ptr<TSong> song = std::make_unique<TSong>();
    HarmonySettings settings = kBuiltInHarmonySettings;
    ProjectResult result;
};

Loaded loadBytes(const Bytes& bytes) {
    Loaded l;
    l.result = ProjectFile("test.kvt", *l.song, l.settings).load(bytes);
    return l;
}

Bytes saveBytes(TSong& song, HarmonySettings& settings) {
    MemorySink sink;
    const ProjectResult r = ProjectFile("test.kvt", song, settings).save(sink);
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_TRUE(sink.committed());
    return sink.bytes();
}

// Where two files first differ, named by the chunk that holds that byte; empty
// when they are equal.
std::string firstDifference(const Bytes& expected, const Bytes& actual) {
    const auto mismatch =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    if (mismatch.first == expected.end() && mismatch.second == actual.end()) return {};
    const auto at = static_cast<std::size_t>(mismatch.first - expected.begin());
    std::string chunk = "?";
    const std::string_view text(reinterpret_cast<const char*>(expected.data()), expected.size());
    std::size_t best = 0;
    for (std::string_view tag :
         {"VKvt", "POpt", "GPar", "TPar", "MNts", "AChr", "RChr", "TTel", "Qsec", "FEnd"}) {
        const std::size_t pos = text.rfind(tag, at);
        if (pos != std::string_view::npos && pos >= best) {
            best = pos;
            chunk = tag;
        }
    }
    return "first difference at byte " + std::to_string(at) + ", in chunk " + chunk + " (sizes " +
           std::to_string(expected.size()) + " and " + std::to_string(actual.size()) + ")";
}

std::size_t tagOffset(const Bytes& bytes, std::string_view tag) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.find(tag);
}

// A song built through the song model's own calls, the way the MIDI reader and
// the harmony engine leave it.
void buildSong(TSong& song) {
    TMeterMap& meter = song.meter();
    meter.SetDivision(kSampleQuarter);
    meter.sixteenthTicks = kSampleQuarter / 4;
    meter.shortestNote = kSampleQuarter / 4;
    meter.gridTicks = kSampleQuarter / 4;
    meter.quantUnit = 4;
    meter.AddMeter(0, 3, 4);
    meter.AddMeter(2, 6, 8);
    meter.barCount = kSampleBars;
    for (const TSongEvent& e : sampleMetaEvents())
        song.metaEvents.Append(e);
    for (const TSongEvent& e : sampleChannelEvents())
        song.channelEvents.Append(e);
    for (const TNote& n : sampleNotes())
        song.notes.Append(kMelodyList, n);
    song.notes.AddNote(40, 3, 0x5000, TBarPos{1, 0, 0, 0}, 100, 4); // accompaniment, not saved
    song.notes.pitchClassCount = kSamplePitchClassCount;
    song.notes.upbeat = 0;
    song.barHarmony = sampleBarHarmony();
    song.barChords = sampleBarChords();
    song.keys = {TKeyEntry{19, 0, 0}};
    song.keyMarks[19] = 4;
    song.setBarCount(kSampleBars);
}

} // namespace

TEST(ProjectFileLoad, FillsTheSongFromEveryChunk) {
    Loaded l = loadBytes(sampleProject().bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    const TSong& song = *l.song;

    ASSERT_EQ(song.metaEvents.Count(), 4);
    EXPECT_EQ(song.metaEvents.At(0)->value, 500000u);
    EXPECT_EQ(song.metaEvents.At(3)->value2, 0x1A2B3C4D);
    EXPECT_EQ(song.metaEvents.At(1)->position(), (TBarPos{0, 1, 0, 7}));
    ASSERT_EQ(song.channelEvents.Count(), 2);
    EXPECT_EQ(song.channelEvents.At(1)->type, 0xB0);
    EXPECT_EQ(song.channelEvents.At(1)->bar, 2);

    ASSERT_EQ(song.notes.Count(kMelodyList), 12);
    const TNote* last = song.notes.Note(11, kMelodyList);
    EXPECT_EQ(last->pitch, 72);
    EXPECT_EQ(last->velocities, 0x6440);
    EXPECT_EQ(last->start, (TBarPos{3, 2, 0, 0}));
    EXPECT_EQ(last->duration, 2 * kSampleQuarter);
    EXPECT_EQ(song.notes.pitchMask, kSamplePitchMask);
    EXPECT_EQ(song.notes.pitchClassCount, kSamplePitchClassCount);
    EXPECT_EQ(song.notes.upbeat, 0);

    ASSERT_EQ(song.barHarmony.size(), 4u);
    EXPECT_EQ(song.barHarmony[0].style, (2 << 24) + 5);
    EXPECT_EQ(song.barHarmony[2].chord, -1);
    EXPECT_EQ(song.barHarmony[2].play, 0);
    ASSERT_EQ(song.barChords.size(), 4u);
    EXPECT_EQ(song.barChords[3].at(-1), (6 << 8) | 3);
    EXPECT_EQ(song.barChords[3].cadenceMark, 1);
    EXPECT_EQ(song.barChords[0].codes[11], 0x55);

    const TMeterMap& meter = song.meter();
    EXPECT_EQ(meter.wholeTicks, 1920);
    EXPECT_EQ(meter.quantUnit, 4u);
    EXPECT_EQ(meter.resolution, 64);
    ASSERT_EQ(meter.entryCount(), 1u);
    EXPECT_EQ(meter.TicksPerBar(3), 1920);
    EXPECT_EQ(meter.BarStart(2), 3840);
    ASSERT_EQ(song.keyCount(), 1);
    EXPECT_EQ(song.keys[0].key, 7);
    EXPECT_EQ(song.keyMarks[7], 4);
    EXPECT_EQ(song.keyMarks[19], 1);

    EXPECT_EQ(l.settings, sampleSettings());
}

TEST(ProjectFileLoad, TakesBarCountAndDivisionFromTheMeterTable) {
    MeterSpec m;
    m.ticksPerQuarter = 96;
    m.wholeTicks = 384;
    m.sixteenthTicks = 24;
    m.changes = {TMeterChange{0, 4, 4, {0, 0}, 384, 96}};
    Loaded l = loadBytes(ProjectBytes().header().meter(m).end().bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(l.song->barCount, kSampleBars);
    EXPECT_EQ(l.song->barCount2, static_cast<std::uint32_t>(kSampleBars));
    EXPECT_EQ(l.song->notes.barCount, kSampleBars);
    EXPECT_EQ(l.song->ticksPerQuarter, 96);
}

TEST(ProjectFileLoad, ALoadedProjectPassesTheMelodyStep) {
    Loaded l = loadBytes(sampleProject().bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(loadProjectMelody(*l.song), kStatusOk);
    EXPECT_EQ(l.song->barFirstNote().size(), static_cast<std::size_t>(kSampleBars));
    EXPECT_GE(l.song->notes.list(kChordList).capacity(),
              static_cast<std::size_t>(kProjectChordListCapacity));
}

TEST(ProjectFileLoad, ReadsAFileByName) {
    const auto path = test::scratchPath("korvanta-project-by-name", ".kvt");
    {
        std::ofstream out(path, std::ios::binary);
        const Bytes& bytes = sampleProject().bytes();
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    TSong song;
    HarmonySettings settings;
    const ProjectResult r = ProjectFile(path, song, settings).load();
    std::filesystem::remove(path);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(song.notes.Count(kMelodyList), 12);
}

TEST(ProjectFileLoad, AMissingFileFailsWithItsNameInTheMessage) {
    TSong song;
    HarmonySettings settings;
    const auto path = test::scratchPath("korvanta-no-such-project", ".kvt");
    const ProjectResult r = ProjectFile(path, song, settings).load();
    EXPECT_EQ(r.status, kStatusLoadFailed);
    EXPECT_NE(r.message.find(path.filename().string()), std::string::npos) << r.message;
}

// --- reading rules -----------------------------------------------------------

TEST(ProjectFileRules, ChunksMayComeInAnyOrderAfterTheHeader) {
    ProjectBytes shuffled;
    shuffled.header()
        .reserved()
        .meter({})
        .barChords(sampleBarChords())
        .melody(sampleNotes(), kSamplePitchMask, kSamplePitchClassCount, 0)
        .events("TPar", sampleChannelEvents())
        .barHarmony(sampleBarHarmony())
        .settings(sampleSettings())
        .events("GPar", sampleMetaEvents())
        .end();
    Loaded l = loadBytes(shuffled.bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(firstDifference(sampleProject().bytes(), saveBytes(*l.song, l.settings)), "");
}

TEST(ProjectFileRules, RepeatedListChunksAppend) {
    ProjectBytes p;
    p.header()
        .events("GPar", {sampleEvent(kMetaTempo, 400000)})
        .melody({sampleNotes()[0]}, 1, 1, -1)
        .meter({})
        .events("GPar", {sampleEvent(kMetaTempo, 300000)})
        .melody({sampleNotes()[1]}, 4, 1, 0)
        .end();
    Loaded l = loadBytes(p.bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    ASSERT_EQ(l.song->metaEvents.Count(), 2);
    EXPECT_EQ(l.song->metaEvents.At(0)->value, 400000u);
    EXPECT_EQ(l.song->metaEvents.At(1)->value, 300000u);
    ASSERT_EQ(l.song->notes.Count(kMelodyList), 2);
    EXPECT_EQ(l.song->notes.Note(1, kMelodyList)->pitch, 62);
    // The melody facts are those of the later chunk.
    EXPECT_EQ(l.song->notes.pitchMask, 4);
    EXPECT_EQ(l.song->notes.upbeat, 0);
}

TEST(ProjectFileRules, RepeatedArrayChunksReplace) {
    std::vector<TBarHarmony> other(kSampleBars, TBarHarmony{(3 << 8) | 2, 1, 0, 9});
    ProjectBytes p;
    p.header()
        .barHarmony(sampleBarHarmony())
        .barChords(sampleBarChords())
        .barHarmony(other)
        .meter({})
        .end();
    Loaded l = loadBytes(p.bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    ASSERT_EQ(l.song->barHarmony.size(), 4u);
    EXPECT_EQ(l.song->barHarmony[2].chord, (3 << 8) | 2);
}

TEST(ProjectFileRules, ALaterMeterTableClearsAndRefillsTheMap) {
    MeterSpec first;
    first.changes.push_back(TMeterChange{2, 3, 4, {0, 0}, 1440, 480});
    first.keys = {TKeyEntry{3, 0, 0}, TKeyEntry{4, 0, 0}};
    MeterSpec second;
    second.changes = {TMeterChange{0, 6, 8, {0, 0}, 1440, 240}};
    second.barCount = 7;
    Loaded l = loadBytes(ProjectBytes().header().meter(first).meter(second).end().bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    ASSERT_EQ(l.song->meter().entryCount(), 1u);
    EXPECT_EQ(l.song->meter().entries()[0].numerator, 6);
    EXPECT_EQ(l.song->barCount, 7);
    ASSERT_EQ(l.song->keyCount(), 1);
    EXPECT_EQ(l.song->keys[0].key, 7);
}

TEST(ProjectFileRules, SettingsRecordReplacesTheSettingsInForceAndTheLastOneWins) {
    HarmonySettings later = sampleSettings();
    later.MaxNumCustomChords = 2;
    Loaded l = loadBytes(ProjectBytes()
                             .header()
                             .settings(sampleSettings())
                             .meter({})
                             .settings(later, 7)
                             .end()
                             .bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(l.settings, later);
}

TEST(ProjectFileRules, WithoutSettingsChunkTheSettingsInForceStay) {
    Loaded l = loadBytes(ProjectBytes().header().meter({}).end().bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(l.settings, kBuiltInHarmonySettings);
    EXPECT_EQ(l.song->metaEvents.Count(), 0);
    EXPECT_EQ(l.song->notes.Count(kMelodyList), 0);
    EXPECT_TRUE(l.song->barHarmony.empty());
    EXPECT_TRUE(l.song->barChords.empty());
}

TEST(ProjectFileRules, ZeroCountsReadAsEmptyLists) {
    MeterSpec m;
    m.barCount = 0;
    m.changes.clear();
    m.keys.clear();
    ProjectBytes p;
    p.header()
        .events("GPar", {})
        .events("TPar", {})
        .melody({}, 0, 0, -1)
        .barHarmony({})
        .barChords({});
    Loaded l = loadBytes(p.meter(m).end().bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(l.song->channelEvents.Count(), 0);
    EXPECT_EQ(l.song->meter().entryCount(), 0u);
    EXPECT_EQ(l.song->keyCount(), 0);
}

TEST(ProjectFileRules, ReservedChunksOfAnyLengthAreSkipped) {
    for (int length : {0, 4, 37}) {
        ProjectBytes p;
        p.header().reserved(length, static_cast<std::size_t>(length)).meter({}).end();
        EXPECT_TRUE(loadBytes(p.bytes()).result.ok()) << "length " << length;
    }
}

TEST(ProjectFileRules, ReservedMeterWordIsIgnoredOrMayBeLeftOut) {
    MeterSpec nonzero;
    nonzero.reserved = 12345;
    EXPECT_TRUE(loadBytes(ProjectBytes().header().meter(nonzero).end().bytes()).result.ok());
    MeterSpec nineWords;
    nineWords.headerWords = 9;
    Loaded l = loadBytes(ProjectBytes().header().meter(nineWords).end().bytes());
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(l.song->ticksPerQuarter, kSampleQuarter);
    EXPECT_EQ(l.song->keys.size(), 1u);
}

TEST(ProjectFileRules, VersionIsNotCheckedAndBytesAfterTheEndAreIgnored) {
    ProjectBytes p;
    p.header(7).meter({}).end().tag("junk").i32(-1);
    EXPECT_TRUE(loadBytes(p.bytes()).result.ok());
}

TEST(ProjectFileRules, AFailedLoadLeavesSongAndSettingsUntouched) {
    ProjectBytes p;
    p.header()
        .settings(sampleSettings())
        .events("GPar", sampleMetaEvents())
        .meter({})
        .tag("Zzzz")
        .end();
    Loaded l = loadBytes(p.bytes());
    EXPECT_EQ(l.result.status, kStatusLoadFailed);
    EXPECT_NE(l.result.message.find("Zzzz"), std::string::npos) << l.result.message;
    EXPECT_EQ(l.settings, kBuiltInHarmonySettings);
    EXPECT_EQ(l.song->metaEvents.Count(), 0);
    EXPECT_EQ(l.song->meter().entryCount(), 0u);
    EXPECT_EQ(l.song->barCount, 0);
}

// --- round trips ---------------------------------------------------------------

TEST(ProjectFileRoundTrip, SavingAHandMadeFileReproducesItExactly) {
    const Bytes original = sampleProject().bytes();
    Loaded l = loadBytes(original);
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(firstDifference(original, saveBytes(*l.song, l.settings)), "");
}

TEST(ProjectFileRoundTrip, SaveLoadSaveIsByteIdentical) {
    TSong song;
    buildSong(song);
    HarmonySettings settings = sampleSettings();
    const Bytes first = saveBytes(song, settings);

    Loaded l = loadBytes(first);
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(l.settings, settings);
    EXPECT_EQ(l.song->notes.Count(3), 0) << "accompaniment notes are not saved";
    ASSERT_EQ(l.song->meter().entryCount(), 2u);
    EXPECT_EQ(l.song->meter().BarStart(3), song.meter().BarStart(3));
    EXPECT_EQ(firstDifference(first, saveBytes(*l.song, l.settings)), "");
}

TEST(ProjectFileRoundTrip, PaddingIsWrittenAsZerosWhateverTheRecordsHold) {
    TSong song;
    buildSong(song);
    song.metaEvents.At(0)->pad1[1] = 0xEE;
    song.barHarmony[0].pad = 0xEE;
    HarmonySettings settings = sampleSettings();
    settings.padding29[0] = 0xEE;
    const Bytes bytes = saveBytes(song, settings);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), std::byte{0xEE}), 0);
}

TEST(ProjectFileSave, WritesTheChunksInOrder) {
    TSong song;
    buildSong(song);
    HarmonySettings settings;
    const Bytes bytes = saveBytes(song, settings);
    std::size_t previous = 0;
    for (std::string_view tag :
         {"VKvt", "POpt", "GPar", "TPar", "MNts", "AChr", "RChr", "TTel", "Qsec", "FEnd"}) {
        const std::size_t at = tagOffset(bytes, tag);
        ASSERT_NE(at, std::string_view::npos) << tag;
        EXPECT_GE(at, previous) << tag;
        previous = at;
    }
    EXPECT_EQ(previous + 4, bytes.size());
}

TEST(ProjectFileSave, ASongWithoutHarmonyOrChannelEventsSavesAndLoadsAgain) {
    TSong song;
    buildSong(song);
    song.barChords.clear();
    song.barHarmony.clear();
    song.channelEvents.Clear();
    HarmonySettings settings;
    const Bytes bytes = saveBytes(song, settings);
    EXPECT_EQ(tagOffset(bytes, "AChr"), std::string_view::npos);
    EXPECT_EQ(tagOffset(bytes, "RChr"), std::string_view::npos);
    Loaded l = loadBytes(bytes);
    ASSERT_TRUE(l.result.ok()) << l.result.message;
    EXPECT_EQ(l.song->channelEvents.Count(), 0);
    EXPECT_EQ(l.song->notes.Count(kMelodyList), 12);
}

// --- failed saves ----------------------------------------------------------------

namespace {

// Accepts a number of writes (and forwards them), then refuses every write.
class FailingSink : public OutputSink {
public:
    FailingSink(int acceptedWrites, OutputSink* inner = nullptr)
        : m_accepted(acceptedWrites), m_inner(inner) {}
    bool write(std::span<const std::byte> bytes) override {
        ++m_writes;
        if (m_writes > m_accepted) return false;
        return m_inner ? m_inner->write(bytes) : true;
    }
    bool commit() override {
        m_committed = m_refuseCommit ? false : (m_inner ? m_inner->commit() : true);
        return m_committed;
    }
    std::string error() const override { return "injected failure"; }
    int writes() const { return m_writes; }
    bool committed() const { return m_committed; }
    bool m_refuseCommit = false;

private:
    int m_accepted;
    OutputSink* m_inner;
    int m_writes = 0;
    bool m_committed = false;
};

class ProjectFileSaveToDisk : public testing::Test {
protected:
    void SetUp() override {
        m_dir = test::scratchPath("korvanta-project-save");
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        buildSong(m_song);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_dir, ec);
    }
    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string readAll(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path m_dir;
    TSong m_song;
    HarmonySettings m_settings;
};

} // namespace

TEST(ProjectFileSave, EveryRefusedWriteFailsTheSave) {
    TSong song;
    buildSong(song);
    HarmonySettings settings;
    FailingSink probe(1000);
    ASSERT_TRUE(ProjectFile("x.kvt", song, settings).save(probe).ok());
    ASSERT_GT(probe.writes(), 5);
    for (int accepted = 0; accepted < probe.writes(); ++accepted) {
        FailingSink sink(accepted);
        const ProjectResult r = ProjectFile("x.kvt", song, settings).save(sink);
        EXPECT_EQ(r.status, kStatusSaveFailed) << "after " << accepted << " writes";
        EXPECT_NE(r.message.find("injected failure"), std::string::npos) << r.message;
        EXPECT_FALSE(sink.committed());
    }
}

TEST(ProjectFileSave, ARefusedCommitFailsTheSave) {
    TSong song;
    buildSong(song);
    HarmonySettings settings;
    FailingSink sink(1000);
    sink.m_refuseCommit = true;
    EXPECT_EQ(ProjectFile("x.kvt", song, settings).save(sink).status, kStatusSaveFailed);
}

TEST_F(ProjectFileSaveToDisk, ReplacesThePreviousFileAndLeavesNoTemporaryFile) {
    const auto target = m_dir / "song.kvt";
    std::ofstream(target) << "previous";
    ASSERT_TRUE(ProjectFile(target, m_song, m_settings).save().ok());
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"song.kvt"});
    TSong loaded;
    HarmonySettings settings;
    const ProjectResult r = ProjectFile(target, loaded, settings).load();
    EXPECT_TRUE(r.ok()) << r.message;
}

TEST_F(ProjectFileSaveToDisk, AWriteFailingHalfwayKeepsThePreviousFile) {
    const auto target = m_dir / "song.kvt";
    std::ofstream(target) << "previous";
    for (int accepted : {0, 1, 4}) {
        {
            AtomicFileSink file(target);
            ASSERT_TRUE(file.isOpen());
            FailingSink sink(accepted, &file);
            EXPECT_EQ(ProjectFile(target, m_song, m_settings).save(sink).status, kStatusSaveFailed);
        }
        EXPECT_EQ(readAll(target), "previous");
        EXPECT_EQ(folderEntries(), std::vector<std::string>{"song.kvt"});
    }
}

TEST_F(ProjectFileSaveToDisk, AFailedRenameKeepsTheTargetAndRemovesTheTemporaryFile) {
    // A folder where the file should go: the bytes can be written, the final
    // rename cannot replace it.
    const auto target = m_dir / "song.kvt";
    std::filesystem::create_directory(target);
    std::ofstream(target / "inside") << "keep";
    const ProjectResult r = ProjectFile(target, m_song, m_settings).save();
    EXPECT_EQ(r.status, kStatusSaveFailed);
    EXPECT_FALSE(r.message.empty());
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(readAll(target / "inside"), "keep");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"song.kvt"});
}

TEST_F(ProjectFileSaveToDisk, AMissingFolderFailsTheSave) {
    const auto target = m_dir / "no-such-folder" / "song.kvt";
    EXPECT_EQ(ProjectFile(target, m_song, m_settings).save().status, kStatusSaveFailed);
    EXPECT_FALSE(std::filesystem::exists(target.parent_path()));
}

TEST_F(ProjectFileSaveToDisk, AFolderWithoutWritePermissionFailsTheSave) {
    const auto target = m_dir / "song.kvt";
    std::ofstream(target) << "previous";
    std::filesystem::permissions(m_dir,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    if (std::ofstream(m_dir / "probe")) GTEST_SKIP() << "this user writes into read-only folders";
    EXPECT_EQ(ProjectFile(target, m_song, m_settings).save().status, kStatusSaveFailed);
    EXPECT_EQ(readAll(target), "previous");
}
