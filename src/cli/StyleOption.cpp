#include "StyleOption.h"

#include "Commands.h"
#include "JsonWriter.h"
#include "TuneRun.h"
#include "io/DataFolder.h"
#include "styles/StyleChoice.h"
#include "styles/StyleFiles.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace korvanta::cli {

namespace {

constexpr const char* kGroupNames[kStyleGroupCount] = {"Piano", "Guitar", "Other"};
constexpr std::uint8_t kProgramChange = 0xC0;

// A style's instrument for the chords part, as the song's own program event
// on the chords' channel, so that playing, WAV rendering and the MIDI export
// all use it.
void useStyleInstrument(TSong& song, const StyleRecord& style) {
    const auto program = static_cast<std::uint32_t>(style.program() & 0x7F);
    song.SetEvent(static_cast<std::uint8_t>(kProgramChange | kChordList), 0, program << 24, 0, 1,
                  0);
}

std::optional<std::int32_t> parseId(const std::string& text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

const char* groupName(int group) {
    return group >= 0 && group < kStyleGroupCount ? kGroupNames[group] : "?";
}

} // namespace

std::string meterListText(std::uint32_t meters) {
    std::string text;
    for (std::uint32_t rest = meters; rest != 0; rest >>= 8) {
        const std::uint32_t code = rest & 0xFFu;
        if (code == 0) continue;
        if (!text.empty()) text += ' ';
        text += std::to_string(code >> 4);
        text += '/';
        text += std::to_string(code & 0xFu);
    }
    return text;
}

std::filesystem::path stylesFolder(const CliCommand& cmd) {
    if (!cmd.stylesDir.empty()) return cmd.stylesDir;
    if (const char* env = std::getenv("KORVANTA_STYLES"); env && *env) return env;
    return programDataFolder() / "Styles";
}

bool loadStyles(const CliCommand& cmd, StyleContext& styles, std::ostream& err) {
    if (cmd.style == "none") return true;
    styles.folder = stylesFolder(cmd);
    const StyleLibraryStatus status = styles.library.load(styles.folder);
    if (status == StyleLibraryStatus::StyleFailed)
        err << "korvanta-cli: warning: the style library is incomplete: "
            << printable(styles.library.error()) << "\n";
    if (styles.library.loaded()) return true;
    if (!cmd.style.empty()) {
        err << "korvanta-cli: no style library in " << styles.folder.string() << ": "
            << printable(styles.library.error()) << " (give its folder with --styles DIR)\n";
        return false;
    }
    err << "korvanta-cli: note: no style library in " << styles.folder.string()
        << "; the chords play as block chords\n";
    return true;
}

StyleOutcome applyStyleOption(const CliCommand& cmd, StyleContext& styles, TSong& song) {
    StyleOutcome outcome;
    if (cmd.style == "none" || !styles.library.loaded()) {
        applySongStyle(song, nullptr);
        setSongStyleId(song, kNoStyle);
        return outcome;
    }
    if (cmd.style.empty() || cmd.style == "auto") {
        if (!chooseStyleForMeter(song, styles.library, styles.lastChosen)) {
            applySongStyle(song, nullptr);
            return outcome;
        }
        outcome.id = songStyleId(song);
        const LoadedStyle* chosen = styles.library.byId(outcome.id);
        outcome.name = chosen->entry.name;
        useStyleInstrument(song, chosen->style);
        return outcome;
    }

    std::int32_t id = kNoStyle;
    const LoadedStyle* chosen = nullptr;
    if (const auto number = parseId(cmd.style)) {
        id = *number;
        chosen = styles.library.byId(id);
    } else {
        chosen = styles.library.byName(cmd.style, &id);
    }
    if (!chosen) {
        outcome.error = "there is no style '" + printable(cmd.style) + "' in " +
                        styles.folder.string() + " (korvanta-cli styles lists them)";
        return outcome;
    }
    const SongMeter meter = songMeter(song);
    if (!styleFitsMeter(chosen->style, meter.numerator, meter.denominator)) {
        outcome.error = "the style " + printable(chosen->entry.name) + " (" +
                        meterListText(chosen->style.meters) + ") does not fit the meter " +
                        std::to_string(meter.numerator) + "/" + std::to_string(meter.denominator);
        return outcome;
    }
    applySongStyle(song, &chosen->style);
    setSongStyleId(song, id);
    styles.lastChosen = id;
    song.chordOctave = chosen->style.baseOctave();
    useStyleInstrument(song, chosen->style);
    outcome.id = id;
    outcome.name = chosen->entry.name;
    return outcome;
}

int runStyles(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    StyleLibrary library;
    const std::filesystem::path folder = stylesFolder(cmd);
    // Every group, including the one the style dialog does not show.
    library.load(folder, 7);
    if (!library.loaded()) {
        err << "korvanta-cli: no style library in " << folder.string() << ": "
            << printable(library.error()) << "\n";
        return kExitFailed;
    }
    if (library.status() == StyleLibraryStatus::StyleFailed)
        err << "korvanta-cli: warning: the style library is incomplete: "
            << printable(library.error()) << "\n";
    const bool filtered = cmd.meterFilter.has_value();
    JsonWriter json(out);
    if (cmd.json)
        json.beginObject().key("folder").value(folder.string()).key("styles").beginArray();
    else
        out << "group   index  id        name             beats  meters\n";
    for (int g = 0; g < kStyleGroupCount; ++g) {
        const auto& styles = library.group(g);
        for (std::size_t i = 0; i < styles.size(); ++i) {
            const StyleRecord& s = styles[i].style;
            if (filtered && !styleFitsMeter(s, cmd.meterFilter->first, cmd.meterFilter->second))
                continue;
            const std::int32_t id = styleId(g, static_cast<int>(i));
            if (cmd.json) {
                json.beginObject()
                    .field("group", g)
                    .field("index", static_cast<std::int64_t>(i))
                    .field("id", id)
                    .key("name")
                    .value(styles[i].entry.name)
                    .field("beatsPerBar", s.beatsPerBar())
                    .field("numerator", s.numerator())
                    .field("denominator", s.denominator())
                    .field("bars", s.bars())
                    .field("baseOctave", s.baseOctave())
                    .field("program", s.program());
                json.key("meters").value(meterListText(s.meters)).endObject();
                continue;
            }
            char line[160];
            std::snprintf(line, sizeof line, "%-6s  %5zu  %-8d  %-15s  %5d  %s\n", groupName(g), i,
                          id, printable(styles[i].entry.name).c_str(), s.beatsPerBar(),
                          meterListText(s.meters).c_str());
            out << line;
        }
    }
    if (cmd.json) {
        json.endArray().endObject();
        out << "\n";
    }
    return kExitOk;
}

} // namespace korvanta::cli
