#pragma once

// A merged reader for tests that logs every callback as one line of text, such as
// "noteon 0 60 100". With withContext set, each line starts with "T<track>@<ticks> ".

#include "alg/midi/MidiMergeReader.h"

#include <cstdio>
#include <string>
#include <vector>

namespace korvanta::test {

class RecordingReader : public MidiMergeReader {
public:
    using MidiMergeReader::MidiMergeReader;

    std::vector<std::string> log;
    bool withContext = false;
    bool logDeltas = false;
    bool logProgress = false;
    std::vector<int> progressSeen;
    std::vector<std::int64_t> eventTimes; // eventTicks() at each note event

    // The one-track-after-another reading of the base parser.
    bool readPlain() { return MidiReader::read(); }
    bool readMerged() { return read(); }

    using MidiReader::read16;
    using MidiReader::read24;
    using MidiReader::read32;
    using MidiReader::readbyte;
    using MidiReader::readvlq;

protected:
    template <typename... Args>
    void put(const char* format, Args... args) {
        char text[256];
        std::snprintf(text, sizeof text, format, args...);
        if (withContext) {
            char prefix[64];
            std::snprintf(prefix, sizeof prefix, "T%d@%lld ", currentTrack(),
                          static_cast<long long>(trackTime()));
            log.push_back(std::string(prefix) + text);
        } else {
            log.emplace_back(text);
        }
    }
    static std::string hex(std::uint32_t length, const std::uint8_t* data) {
        std::string out;
        char b[4];
        for (std::uint32_t i = 0; data && i < length; ++i) {
            std::snprintf(b, sizeof b, i ? " %02X" : "%02X", data[i]);
            out += b;
        }
        return out;
    }

    void onheader(int f, int n, int d) override { put("header %d %d %d", f, n, d); }
    void ontrackstart(int t, std::uint32_t len, int ch) override {
        put("trackstart %d %u %d", t, len, ch);
    }
    void ontrackend(int t) override { put("trackend %d", t); }
    void ondelta(std::int64_t d) override {
        if (logDeltas) put("delta %lld", static_cast<long long>(d));
    }
    void onrawevent(int s, std::uint32_t len, const std::uint8_t* data) override {
        put("raw %02X %u [%s]", s, len, hex(len, data).c_str());
    }
    void onrawfileevent(int s, std::uint32_t len, std::FILE* f) override {
        put("rawfile %02X %u", s, len);
    }
    void onmeta(int type, std::uint32_t len, const std::uint8_t* data) override {
        put("meta %02X %u [%s]", type, len, hex(len, data).c_str());
    }
    void onmetafile(int type, std::uint32_t len, std::FILE* f) override {
        put("metafile %02X %u", type, len);
    }
    void ontext(int type, std::uint32_t len, const char* name, const std::uint8_t* data) override {
        put("text %d %s '%s'", type, name,
            std::string(reinterpret_cast<const char*>(data), len).c_str());
    }
    void onendoftrack() override { put("endoftrack"); }
    void onchannelprefix(int c) override { put("channelprefix %d", c); }
    void onport(int p) override { put("port %d", p); }
    void onseqnumber(int n) override { put("seqnumber %d", n); }
    void onsmpte(int r, int h, int m, int s, int f, int ff) override {
        put("smpte %d %d %d %d %d %d", r, h, m, s, f, ff);
    }
    void ontimesig(int n, int d, int c, int b) override { put("timesig %d %d %d %d", n, d, c, b); }
    void ontempo(std::uint32_t t) override { put("tempo %u", t); }
    void onkeysig(int sf, int mi) override { put("keysig %d %d", sf, mi); }
    void onprogram(int c, int p) override { put("program %d %d", c, p); }
    void oncontroller(int c, int n, int v) override { put("controller %d %d %d", c, n, v); }
    void onbendrange(int c, int s) override {
        put("bendrange %d %d", c, s);
        MidiMergeReader::onbendrange(c, s);
    }
    void onnoteon(int c, int p, int v) override {
        eventTimes.push_back(eventTicks());
        put("noteon %d %d %d", c, p, v);
    }
    void onnoteoff(int c, int p, int v) override {
        eventTimes.push_back(eventTicks());
        put("noteoff %d %d %d", c, p, v);
    }
    void onpitchbend(int c, int v) override { put("pitchbend %d %d", c, v); }
    void onkeypressure(int c, int p, int v) override { put("keypressure %d %d %d", c, p, v); }
    void onchannelpressure(int c, int v) override { put("channelpressure %d %d", c, v); }
    void onsongposition(int v) override { put("songposition %d", v); }
    void onsongselect(int n) override { put("songselect %d", n); }
    void ontunerequest() override { put("tunerequest"); }
    void onclock() override { put("clock"); }
    void onstart() override { put("start"); }
    void oncontinue() override { put("continue"); }
    void onstop() override { put("stop"); }
    void onactivesensing() override { put("activesensing"); }
    void onsysex(std::uint32_t len, const std::uint8_t* data) override {
        put("sysex %u [%s]", len, hex(len, data).c_str());
    }
    void onsysexfile(std::uint32_t len, std::FILE* f) override { put("sysexfile %u", len); }
    void onxgon() override { put("xgon"); }
    void ongmon() override { put("gmon"); }
    void ongsreset() override { put("gsreset"); }
    void ongsexit() override { put("gsexit"); }
    void onfinished() override { put("finished"); }
    void onlargepause(std::int64_t d) override {
        put("largepause %lld", static_cast<long long>(d));
        MidiMergeReader::onlargepause(d);
    }
    void onprogress(int p) override {
        progressSeen.push_back(p);
        if (logProgress) put("progress %d", p);
    }
};

// The lines of the log that start with prefix.
inline std::vector<std::string> linesStartingWith(const std::vector<std::string>& log,
                                                  const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& line : log)
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
}

} // namespace korvanta::test
