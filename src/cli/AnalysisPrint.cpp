#include "AnalysisPrint.h"

#include "JsonWriter.h"
#include "alg/song/ChordVocabulary.h"
#include "alg/song/Keys.h"

#include <cstdio>
#include <string>

namespace korvanta::cli {

namespace {

// A chord name without the blank some names carry at their end.
std::string chordLabel(int code) {
    std::string name = ChordName(static_cast<ChordCode>(code));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!name.empty() && name.front() == ' ')
        name.erase(name.begin());
    return name.empty() ? "-" : name;
}

bool showsHarmony(const TuneRun& run) {
    return run.harmonized && run.master && run.master->song() &&
           !run.master->song()->barChords.empty();
}

int songKey(const TuneRun& run) {
    return run.master && run.master->song() ? run.master->mainKey() : -1;
}

} // namespace

void printAnalysisText(std::ostream& out, const TuneRun& run) {
    out << "file: " << run.path << "\n";
    out << "status: " << run.status << "\n";
    const TSong* song = run.master ? run.master->song() : nullptr;
    if (song) {
        const TMeterMap& m = song->meter();
        out << "format " << int{song->format} << ", " << int{song->trackCount} << " tracks, "
            << song->ticksPerQuarter << " ticks per quarter\n";
        out << "melody: channel " << run.master->melodyChannel() << ", "
            << song->notes.Count(kMelodyList) << " notes, " << song->barCount << " bars, upbeat "
            << song->notes.upbeat << " ticks, chord octave " << int{song->chordOctave} << "\n";
        out << "meter:";
        for (const TMeterChange& e : m.entries()) {
            out << " " << int{e.numerator} << "/" << int{e.denominator} << " from bar "
                << e.firstBar + 1 << ";";
        }
        out << "\n";
        out << "tempo: " << song->QueryMeta(kMetaTempo, 60) << " beats per minute\n";
        const int key = songKey(run);
        out << "key: " << (key >= 0 ? std::string(KeyEnglishName(key)) : std::string("unknown"))
            << "\n";
        out << "key marks:";
        for (int k = 0; k < kKeyCount; ++k) {
            if (song->keyMarks[k] != 0)
                out << " " << KeyEnglishName(k) << " " << int{song->keyMarks[k]} << ";";
        }
        out << "\n";
    }
    if (showsHarmony(run))
        out << "style: "
            << (run.styleName.empty() ? std::string("none (block chords)")
                                      : printable(run.styleName))
            << "\n";
    if (showsHarmony(run)) {
        out << "bar  chord    main                 additional\n";
        for (int bar = 0; bar < song->barCount; ++bar) {
            const TBarChords& bc = song->barChords[bar];
            const TBarHarmony* h =
                bar < static_cast<int>(song->barHarmony.size()) ? &song->barHarmony[bar] : nullptr;
            std::string main;
            std::string extra;
            for (int i = 0; i < bc.mainCount; ++i)
                main += chordLabel(bc.at(i)) + " ";
            for (int i = 1; i <= bc.extraCount; ++i)
                extra += chordLabel(bc.at(-i)) + " ";
            char line[160];
            std::snprintf(line, sizeof line, "%3d  %-7s  %-19s  %s%s\n", bar + 1,
                          h ? chordLabel(h->chord).c_str() : "-", main.c_str(), extra.c_str(),
                          h && h->play == 0 ? "(muted)" : "");
            out << line;
        }
    }
}

void printAnalysisJson(std::ostream& out, const TuneRun& run) {
    const TSong* song = run.master ? run.master->song() : nullptr;
    JsonWriter json(out);
    json.beginObject();
    json.field("status", run.status);
    json.field("warning", song ? song->warning : 0);
    if (!run.message.empty()) json.key("message").value(run.message);
    json.field("format", song ? song->format : 0)
        .field("tracks", song ? song->trackCount : 0)
        .field("ticksPerQuarter", song ? song->ticksPerQuarter : 0)
        .field("melodyChannel", run.master ? run.master->melodyChannel() : -1)
        .field("notes", song ? song->notes.Count(kMelodyList) : 0)
        .field("barCount", song ? song->barCount : 0)
        .field("upbeat", song ? song->notes.upbeat : -1)
        .field("chordOctave", song ? song->chordOctave : 255);
    // The tempo both ways: beats a minute (rounded) and the file's own figure.
    const std::int32_t tempo = song ? song->QueryMeta(kMetaTempo) : 0;
    json.key("tempo")
        .beginObject()
        .field("bpm", beatsPerMinute(tempo))
        .field("microsecondsPerQuarter", tempo)
        .endObject();
    json.key("meter").beginArray();
    if (song) {
        for (const TMeterChange& e : song->meter().entries()) {
            json.beginObject()
                .field("firstBar", e.firstBar)
                .field("numerator", e.numerator)
                .field("denominator", e.denominator)
                .endObject();
        }
    }
    json.endArray();
    const int key = songKey(run);
    json.field("key", key);
    json.key("keyName").value(key >= 0 ? KeyLongName(key) : std::string_view());
    json.key("keyNameEnglish").value(key >= 0 ? KeyEnglishName(key) : std::string_view());
    // The marked keys by English name: 4 the key, 3 its dominant, 2 its
    // subdominant, 1 others the melody passes through.
    json.key("keyMarks").beginObject();
    for (int k = 0; song && k < kKeyCount; ++k) {
        if (song->keyMarks[k] != 0) json.field(KeyEnglishName(k), song->keyMarks[k]);
    }
    json.endObject();
    json.key("style").value(run.styleName);
    json.field("styleId", run.styleId);
    json.key("harmony").beginArray();
    if (showsHarmony(run)) {
        for (int bar = 0; bar < song->barCount; ++bar) {
            const TBarChords& bc = song->barChords[bar];
            const TBarHarmony* h =
                bar < static_cast<int>(song->barHarmony.size()) ? &song->barHarmony[bar] : nullptr;
            json.beginObject().field("bar", bar);
            json.key("main").beginArray();
            for (int i = 0; i < bc.mainCount; ++i)
                json.value(std::int64_t{bc.at(i)});
            json.endArray();
            json.key("additional").beginArray();
            for (int i = 1; i <= bc.extraCount; ++i)
                json.value(std::int64_t{bc.at(-i)});
            json.endArray();
            const int chord = h ? h->chord : -1;
            json.field("cadence", bc.cadenceMark)
                .field("chord", chord)
                .key("chordName")
                .value(chordLabel(chord));
            json.field("play", h ? h->play : 0).endObject();
        }
    }
    json.endArray();
    json.key("readerWarnings").beginArray();
    for (const std::string& warning : run.warnings)
        json.value(warning);
    json.endArray();
    json.endObject();
    out << "\n";
}

} // namespace korvanta::cli
