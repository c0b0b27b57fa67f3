#include "SongDump.h"

#include "JsonWriter.h"
#include "alg/song/Keys.h"

#include <cstdio>
#include <string_view>

namespace korvanta::cli {

namespace {

std::string_view trimNewline(const std::string& text) {
    std::string_view v(text);
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

std::string hexByte(unsigned value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", value & 0xFF);
    return buf;
}

std::string position(unsigned bar, unsigned beat, unsigned tick) {
    return std::to_string(bar) + ":" + std::to_string(beat) + ":" + std::to_string(tick);
}

void writeEventsText(std::ostream& out, const char* title, const TEventList& list) {
    out << title << ": " << list.Count() << "\n";
    for (const TSongEvent& e : list.events()) {
        out << "  " << hexByte(e.type) << "  value " << hexByte(e.value >> 24).substr(2) << ' '
            << hexByte(e.value >> 16).substr(2) << ' ' << hexByte(e.value >> 8).substr(2) << ' '
            << hexByte(e.value).substr(2) << " (" << e.value << ")  value2 " << e.value2 << "  at "
            << position(e.bar, e.beat, e.tick) << "\n";
    }
}

void writeEventsJson(JsonWriter& json, const TEventList& list) {
    json.beginArray();
    for (const TSongEvent& e : list.events()) {
        json.beginObject()
            .field("type", e.type)
            .field("value", e.value)
            .field("value2", e.value2)
            .field("bar", e.bar)
            .field("beat", e.beat)
            .field("tick", e.tick)
            .endObject();
    }
    json.endArray();
}

} // namespace

void dumpSongText(std::ostream& out, const std::string& fileName, const TSong& song,
                  const MidiLoadResult& load) {
    const TMeterMap& m = song.meter();
    out << "file: " << fileName << " (" << load.fileSize << " bytes)\n";
    out << "result: " << load.status << (load.status == 0 ? " (read)" : " (could not be read)")
        << "\n";
    out << "diagnostics: " << load.diagnostics.size() << "\n";
    for (const std::string& d : load.diagnostics)
        out << "  " << trimNewline(d) << "\n";
    out << "header: format " << int{song.format} << ", " << int{song.trackCount} << " tracks, "
        << song.ticksPerQuarter << " ticks per quarter\n";
    out << "melody channel: " << load.melodyChannel
        << (load.multiChannel == kStatusSeveralChannels ? " (notes on several channels: 89)"
                                                        : " (notes on one channel)")
        << "\n";
    out << "meter: wholeTicks " << m.wholeTicks << ", shortestNote " << m.shortestNote
        << ", quantUnit " << m.quantUnit << ", gridTicks " << m.gridTicks << ", barCount "
        << m.barCount << ", resolution " << m.resolution << ", sixteenthTicks " << m.sixteenthTicks
        << ", ticksPerQuarter " << m.ticksPerQuarter << "\n";
    for (const TMeterChange& e : m.entries()) {
        out << "  from bar " << e.firstBar << ": " << int{e.numerator} << "/" << int{e.denominator}
            << ", " << e.ticksPerBar << " ticks per bar, " << e.ticksPerBeat << " per beat\n";
    }
    for (int list = 0; list < kNoteListCount; ++list) {
        const auto& notes = song.notes.list(list);
        if (notes.empty()) continue;
        out << "list " << list << ": " << notes.size() << " notes\n";
        out << "  pitch  name  bar:beat:tick  duration  velocity on/off\n";
        for (const TNote& n : notes) {
            char line[96];
            std::snprintf(line, sizeof line, "  %5d  %-4s  %-13s  %8d  %d/%d\n", n.pitch,
                          PitchName(n.pitch).c_str(),
                          position(n.start.bar, n.start.beat, n.start.tick).c_str(), n.duration,
                          n.onVelocity(), n.offVelocity());
            out << line;
        }
    }
    writeEventsText(out, "meta events", song.metaEvents);
    writeEventsText(out, "channel events", song.channelEvents);
    out << "length: " << song.notes.length << " ticks\n";
}

void dumpSongJson(std::ostream& out, const TSong& song, const MidiLoadResult& load) {
    const TMeterMap& m = song.meter();
    JsonWriter json(out);
    json.beginObject();
    json.field("result", load.status);
    json.key("diagnostics").beginArray();
    for (const std::string& d : load.diagnostics)
        json.value(trimNewline(d));
    json.endArray();
    json.field("format", song.format)
        .field("tracks", song.trackCount)
        .field("ticksPerQuarter", song.ticksPerQuarter)
        .field("melodyChannel", load.melodyChannel)
        .field("multiChannel", load.multiChannel == kStatusSeveralChannels);
    json.key("meter").beginObject();
    json.field("wholeTicks", m.wholeTicks)
        .field("shortestNote", m.shortestNote)
        .field("quantUnit", m.quantUnit)
        .field("gridTicks", m.gridTicks)
        .field("barCount", m.barCount)
        .field("resolution", m.resolution)
        .field("sixteenthTicks", m.sixteenthTicks)
        .field("ticksPerQuarter", m.ticksPerQuarter);
    json.key("entries").beginArray();
    for (const TMeterChange& e : m.entries()) {
        json.beginObject()
            .field("firstBar", e.firstBar)
            .field("numerator", e.numerator)
            .field("denominator", e.denominator)
            .field("ticksPerBar", e.ticksPerBar)
            .field("ticksPerBeat", e.ticksPerBeat)
            .endObject();
    }
    json.endArray().endObject();
    json.key("lists").beginArray();
    for (int list = 0; list < kNoteListCount; ++list) {
        const auto& notes = song.notes.list(list);
        if (notes.empty()) continue;
        json.beginObject().field("list", list);
        json.key("notes").beginArray();
        for (const TNote& n : notes) {
            json.beginObject()
                .field("pitch", n.pitch)
                .field("bar", n.start.bar)
                .field("beat", n.start.beat)
                .field("tick", n.start.tick)
                .field("duration", n.duration)
                .field("velocityOn", n.onVelocity())
                .field("velocityOff", n.offVelocity())
                .endObject();
        }
        json.endArray().endObject();
    }
    json.endArray();
    json.key("metaEvents");
    writeEventsJson(json, song.metaEvents);
    json.key("channelEvents");
    writeEventsJson(json, song.channelEvents);
    json.field("length", song.notes.length);
    json.endObject();
    out << "\n";
}

} // namespace korvanta::cli
