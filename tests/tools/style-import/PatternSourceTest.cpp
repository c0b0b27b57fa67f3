#include "PatternSource.h"

#include "ImportTestSupport.h"

#include <gtest/gtest.h>

using namespace korvanta::styleimport;
using namespace korvanta::test;

namespace {

const char* const kHeader = "style PianoBallad\n"
                            "group 0\n"
                            "program 4\n"
                            "base C4\n"
                            "time 4/4\n"
                            "meters 4/4 2/2\n"
                            "bars 2\n"
                            "division 480\n";

SourceRead parse(const std::string& text) {
    return parsePatternText(text);
}

SourceRead readMidi(const Bytes& bytes) {
    return parseMidiPattern(std::as_bytes(std::span(bytes)));
}

} // namespace

TEST(StyleImportPatternText, ReadsHeaderAndNotes) {
    const SourceRead r = parse(std::string(kHeader) + "# position length notes velocity\n"
                                                      "1:1:0   1/2  C2        96\n"
                                                      "1:1:240 3/8  E3 G3 C4  70/40\n"
                                                      "2:3:0   480  Bb2       88 # last\n");
    ASSERT_TRUE(r.source) << r.error;
    const PatternSource& s = *r.source;
    EXPECT_EQ(s.name, "PianoBallad");
    EXPECT_EQ(s.group, 0);
    EXPECT_EQ(s.program, 4);
    EXPECT_EQ(s.baseOctave, 5); // C4 = 60, 60 / 12
    EXPECT_EQ(s.bars, 2);
    EXPECT_EQ(s.meter, (Meter{4, 4}));
    ASSERT_TRUE(s.meters);
    EXPECT_EQ(*s.meters, (std::vector<Meter>{{4, 4}, {2, 2}}));
    ASSERT_EQ(s.notes.size(), 5u);
    EXPECT_EQ(s.notes[0].start, 0);
    EXPECT_EQ(s.notes[0].length, 960);
    EXPECT_EQ(s.notes[0].pitch, 36);
    EXPECT_EQ(s.notes[0].velocities, (96 << 8) | 64); // release defaults to 64
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(s.notes[static_cast<std::size_t>(i)].start, 240);
        EXPECT_EQ(s.notes[static_cast<std::size_t>(i)].length, 720);
        EXPECT_EQ(s.notes[static_cast<std::size_t>(i)].velocities, (70 << 8) | 40);
    }
    EXPECT_EQ(s.notes[3].pitch, 60);
    EXPECT_EQ(s.notes[4].start, 1920 + 960);
    EXPECT_EQ(s.notes[4].pitch, 46);
    EXPECT_EQ(s.notes[4].line, 12);
}

TEST(StyleImportPatternText, BeatsAreTheMetersNoteValue) {
    // 6/8: a beat is an eighth (240 ticks at 480); 2/2: a half (960).
    const SourceRead jig = parse("time 6/8\n2:4:120 1/8 C3 80\n");
    ASSERT_TRUE(jig.source) << jig.error;
    EXPECT_EQ(jig.source->notes[0].start, 1440 + 3 * 240 + 120);
    EXPECT_EQ(jig.source->notes[0].length, 240);

    const SourceRead cut = parse("time 2/2\ndivision 96\n1:2 1/2 G2 80\n");
    ASSERT_TRUE(cut.source) << cut.error;
    EXPECT_EQ(cut.source->notes[0].start, 192);
    EXPECT_EQ(cut.source->notes[0].length, 192);
}

TEST(StyleImportPatternText, SharpsAreNoCommentsAndLineEndsVary) {
    const SourceRead r =
        parse("\xEF\xBB\xBFtime 4/4\r\n#comment\r\n1:1:0 480 F#3 Ab2 C#4 80 #c\r\n");
    ASSERT_TRUE(r.source) << r.error;
    ASSERT_EQ(r.source->notes.size(), 3u);
    EXPECT_EQ(r.source->notes[0].pitch, 54);
    EXPECT_EQ(r.source->notes[1].pitch, 44);
    EXPECT_EQ(r.source->notes[2].pitch, 61);
}

TEST(StyleImportPatternText, RefusesFaultsNamingTheLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"time 4/4\nfoo 3\n", "line 2: unknown statement 'foo'"},
        {"time 4/4\n1:1:0 480 C3 80\nbars 2\n", "line 3: 'bars' must come before the notes"},
        {"time 4/4\ntime 3/4\n", "line 2: 'time' is given twice"},
        {"time 4/4\n1:5:0 480 C3 80\n", "line 2: position '1:5:0'"},
        {"time 4/4\n1:1:480 480 C3 80\n", "ticks 0-479"},
        {"time 4/4\n0:1:0 480 C3 80\n", "position '0:1:0'"},
        {"time 4/4\n1:1:0 480 C3 0\n", "where the velocity belongs"},
        {"time 4/4\n1:1:0 480 C3 80/128\n", "where the velocity belongs"},
        {"time 4/4\n1:1:0 480 C3 E3\n", "where the velocity belongs"},
        {"time 4/4\n1:1:0 480 C3\n", "needs a position, a length, notes and a velocity"},
        {"time 4/4\n1:1:0 1/7 C3 80\n", "no whole number of ticks"},
        {"time 4/4\n1:1:0 0 C3 80\n", "length '0'"},
        {"time 4/4\n1:1:0 480 H3 80\n", "'H3' is no note name"},
        {"time 4/4\n1:1:0 480 A9 80\n", "'A9' is no note name"}, // MIDI 129
        {"style X\n1:1:0 480 C3 80\n", "line 2: the header has no 'time' line"},
        {"style X\n", "the header has no 'time' line"},
        {"base D4\n", "'base' needs a C"},
        {"division 0\n", "'division' needs ticks per quarter"},
        {"time 4/0\n", "'time' needs a meter"},
        {"time 4/6\n", "'time' needs a meter"},
        {"time 4/4\nmeters 4/4 x\n", "'x' is no meter"},
        {"style A B\n", "'style' needs one value"},
        {"group 1.5\n", "'group' needs a number"},
    };
    for (const Case& c : cases) {
        const SourceRead r = parse(c.text);
        EXPECT_FALSE(r.source) << c.text;
        EXPECT_NE(r.error.find(c.expected), std::string::npos)
            << c.text << "\ngave: " << r.error << "\nwanted: " << c.expected;
    }
}

TEST(StyleImportPatternText, BinaryInputGetsAShortPrintableError) {
    std::string junk(4000, '\x01');
    junk[10] = ':';
    const SourceRead r = parse(junk);
    ASSERT_FALSE(r.source);
    EXPECT_LT(r.error.size(), 200u);
    for (const char c : r.error)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
}

TEST(StyleImportPatternText, NoteNamesAndMeterListsRoundTrip) {
    for (int pitch = 0; pitch < 128; ++pitch)
        EXPECT_EQ(parseNoteName(noteName(pitch)), pitch) << noteName(pitch);
    EXPECT_EQ(parseNoteName("C-1"), 0);
    EXPECT_EQ(parseNoteName("Cb4"), 59);
    EXPECT_EQ(parseNoteName("c4"), 60);
    EXPECT_FALSE(parseNoteName("C"));
    EXPECT_FALSE(parseNoteName("Cb-1"));

    const std::vector<Meter> two = {{4, 4}, {2, 2}};
    EXPECT_EQ(parseMeterList("4/4,2/2"), two);
    EXPECT_EQ(parseMeterList(" 4/4, 2/2 "), two);
    EXPECT_EQ(parseMeterList("4/4 2/2"), two);
    std::string error;
    EXPECT_FALSE(parseMeterList("4-4", &error));
    EXPECT_NE(error.find("'4-4'"), std::string::npos);
    EXPECT_FALSE(parseMeterList(" , ", &error));
}

TEST(StyleImportMidi, ReadsNotesPerChannelInTicks) {
    // Track 0: 3/4 and a program for channel 3; track 1: notes on channels 1 and 3.
    TrackBuilder meta;
    meta.timeSig(0, 3, 2).program(0, 2, 24).endOfTrack();
    TrackBuilder notes;
    notes.noteOn(0, 0, 48, 100).noteOff(480, 0, 48, 30);
    notes.noteOn(1440 - 480, 2, 64, 77).noteOff(100, 2, 64);
    notes.endOfTrack();
    const Bytes file = SmfBuilder().header(1, 2, 480).track(meta).track(notes).bytes();
    const SourceRead r = readMidi(file);
    ASSERT_TRUE(r.source) << r.error;
    const PatternSource& s = *r.source;
    EXPECT_EQ(s.kind, SourceKind::Midi);
    EXPECT_EQ(s.division, 480);
    EXPECT_EQ(s.meter, (Meter{3, 4}));
    EXPECT_FALSE(s.name);
    EXPECT_EQ(s.firstProgram[2], 24);
    EXPECT_EQ(s.firstProgram[0], -1);
    ASSERT_EQ(s.notes.size(), 2u);
    EXPECT_EQ(s.notes[0].channel, 0);
    EXPECT_EQ(s.notes[0].length, 480);
    EXPECT_EQ(s.notes[0].velocities, (100 << 8) | 30);
    EXPECT_EQ(s.notes[1].channel, 2);
    EXPECT_EQ(s.notes[1].start, 1440); // bar 2 of 3/4
    EXPECT_EQ(s.notes[1].pitch, 64);
    EXPECT_EQ(s.channelNoteCounts()[2], 1);
}

TEST(StyleImportMidi, MeterIsTheFirstTimeSignature) {
    EXPECT_EQ(readMidi(simplePatternMidi()).source->meter, (Meter{4, 4}));

    TrackBuilder t;
    t.timeSig(0, 6, 3).noteOn(0, 0, 60, 90).noteOff(1440, 0, 60).timeSig(0, 2, 2);
    t.noteOn(0, 0, 60, 90).noteOff(480, 0, 60).endOfTrack();
    const SourceRead r = readMidi(singleTrackFile(t, 480));
    ASSERT_TRUE(r.source) << r.error;
    EXPECT_EQ(r.source->meter, (Meter{6, 8}));
    ASSERT_EQ(r.source->notes.size(), 2u);
    EXPECT_EQ(r.source->notes[1].start, 1440); // ticks stay right across the change
    ASSERT_FALSE(r.source->warnings.empty());
    EXPECT_NE(r.source->warnings[0].find("read in 6/8 throughout"), std::string::npos);

    // A first time signature after a bar of the default 4/4 is noticed too.
    TrackBuilder late;
    late.noteOn(0, 0, 60, 90).noteOff(1920, 0, 60).timeSig(0, 3, 2);
    late.noteOn(0, 0, 64, 90).noteOff(480, 0, 64).endOfTrack();
    const SourceRead l = readMidi(singleTrackFile(late, 480));
    ASSERT_TRUE(l.source) << l.error;
    EXPECT_EQ(l.source->meter, (Meter{3, 4}));
    EXPECT_EQ(l.source->notes[1].start, 1920);
    EXPECT_EQ(l.source->warnings.size(), 1u);
}

TEST(StyleImportMidi, RefusesWhatIsNoMidiFile) {
    const SourceRead r = readMidi(Bytes{'M', 'T', 'h', 'd', 0, 0});
    ASSERT_FALSE(r.source);
    EXPECT_NE(r.error.find("not a readable MIDI file"), std::string::npos);
}

TEST(StyleImportSourceFile, ChoosesTheReaderByExtensionAndNamesTheFile) {
    ScratchFolder dir;
    writeFile(dir / "pattern.KVP", std::string("time 3/4\n1:1:0 480 C3 80\n"));
    const SourceRead text = readPatternSource(dir / "pattern.KVP");
    ASSERT_TRUE(text.source) << text.error;
    EXPECT_EQ(text.source->kind, SourceKind::PatternText);

    writeFile(dir / "pattern.mid", simplePatternMidi());
    const SourceRead midi = readPatternSource(dir / "pattern.mid");
    ASSERT_TRUE(midi.source) << midi.error;
    EXPECT_EQ(midi.source->notes.size(), 5u);

    writeFile(dir / "broken.kvp", std::string("time 4/4\nnonsense\n"));
    const SourceRead broken = readPatternSource(dir / "broken.kvp");
    EXPECT_EQ(broken.error, "broken.kvp: line 2: unknown statement 'nonsense'");

    const SourceRead missing = readPatternSource(dir / "missing.mid");
    ASSERT_FALSE(missing.source);
    EXPECT_NE(missing.error.find("no such file"), std::string::npos);
}
