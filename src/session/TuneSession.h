#pragma once
// TuneSession: the song flow of the main window without a window, shared by
// the desktop program and the command line. It holds at most one open song
// (through its ChordMaster), the song's mixer state, the harmony settings
// record and the state of the style switch, and offers every operation that
// changes the song: open, melody channel, key, drafts, creating the
// accompaniment, bar chords, style, chord octave, mix, save, export and the
// accompaniment's notes.
//
// Each operation returns what it changed (SessionChanges, for views to
// refresh), its status code and the messages to show, in order. Questions go
// to the TuneQuestions given at construction. While a play runs
// (setPlaying(true)) every operation that changes the song is refused and
// leaves it as it was: the player reads the song from its own thread.
//
// One session per program window (or command-line run), used on the thread
// that owns it; songs come and go within it, and what the window keeps
// across songs (the style chosen last, the volumes of a closed song) stays.

#include "alg/harmony/HarmonySettings.h"
#include "alg/song/ChannelMixState.h"
#include "messages/MsgList.h"
#include "messages/TuneQuestions.h"
#include "session/ChordMaster.h"
#include "styles/StyleLibrary.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvanta {

// What an operation changed. Bits combine.
enum class SessionChange : std::uint32_t {
    None = 0,
    Song = 1u << 0,        // another song is open, or none is
    Key = 1u << 1,         // the key choice or the song's key signature
    Settings = 1u << 2,    // the harmony settings (a draft)
    Harmony = 1u << 3,     // the chords of every bar (a new harmonization)
    BarChord = 1u << 4,    // one bar's chosen chord or whether it plays
    Style = 1u << 5,       // the style, its switch or its identifier
    ChordOctave = 1u << 6, // the octave of the chords
    Mix = 1u << 7,         // a part's volume, program or mute
    Saved = 1u << 8,       // the song was written; its unsaved state changed
};

class SessionChanges {
public:
    constexpr SessionChanges() = default;
    constexpr SessionChanges(SessionChange change) : m_bits(static_cast<std::uint32_t>(change)) {}
    constexpr bool has(SessionChange change) const {
        return (m_bits & static_cast<std::uint32_t>(change)) != 0;
    }
    constexpr bool any() const { return m_bits != 0; }
    constexpr SessionChanges& operator|=(SessionChanges other) {
        m_bits |= other.m_bits;
        return *this;
    }
    friend constexpr SessionChanges operator|(SessionChanges a, SessionChanges b) { return a |= b; }
    friend constexpr bool operator==(SessionChanges, SessionChanges) = default;

private:
    std::uint32_t m_bits = 0;
};

// Why an operation did nothing.
enum class Refusal {
    None,
    Playing,     // a play is running
    NoSong,      // no song is open
    NothingToDo, // e.g. creating the accompaniment with nothing changed
    Cancelled,   // the user answered Cancel
};

struct SessionResult {
    Status status = kStatusOk;
    SessionChanges changes;
    std::vector<Message> messages; // to show, in order
    Refusal refusal = Refusal::None;
    // The project file written, when the operation saved the song (a save, or
    // a save prompt answered Yes); empty otherwise.
    std::string savedTo;

    // The operation did what it was asked (a warning may come with it).
    bool ok() const {
        return refusal == Refusal::None && (status == kStatusOk || status == kStatusManyKeys);
    }
};

// Which file a song came from.
enum class SongKind { None, Midi, Project };

// What a file is by its extension (".mid", ".kvt", any case); None for anything else.
SongKind songKindOf(const std::string& path);

// Where "Save" writes a song that came from path: path itself when it names a
// project (".kvt", any case), else path with its last extension replaced by
// ".kvt" (or ".kvt" added), so "a.b.mid" saves as "a.b.kvt".
std::string projectPathBeside(const std::string& path);
// The file name offered in a save dialog for path: its name without folder,
// cut before the first ".".
std::string suggestedSaveName(const std::string& path);
// A chosen file name gets defaultExtension (".kvt", ".mid") when it has none.
std::string withDefaultExtension(const std::string& path, const std::string& defaultExtension);

// The key box: Auto, the file's key signature (the command line's --key file),
// or a key index 0-23.
constexpr int kKeyAuto = -1;
constexpr int kKeyFromFile = -2;

class TuneSession {
public:
    // library may be null (no accompaniment styles: block chords).
    explicit TuneSession(TuneQuestions& questions, const StyleLibrary* library = nullptr);
    ~TuneSession();
    TuneSession(const TuneSession&) = delete;
    TuneSession& operator=(const TuneSession&) = delete;

    // --- Songs in and out ---------------------------------------------------

    // Closes the open song (asking to save its changes) and opens path: a
    // MIDI file (.mid) or a project (.kvt). Several melody channels are asked
    // about; a key that cannot be recognized is a warning and the song stays.
    SessionResult open(const std::string& path);
    // Closes the song; with offerSave, unsaved changes are asked about first:
    // Yes asks where to save (always) and saves, No drops them, Cancel (or
    // cancelling the save dialog, or a failed save) keeps the song open.
    SessionResult close(bool offerSave);
    // The save prompt alone: asks about unsaved changes as close(true) does
    // and saves on Yes; Refusal::Cancelled when the song is to stay open.
    // Nothing happens without unsaved changes.
    SessionResult offerToSave();

    // --- Harmony ------------------------------------------------------------

    // A Harmony draft by its menu tag (1, 2, 3).
    SessionResult applyDraft(int tag);
    // The key box: kKeyAuto, kKeyFromFile or a key index 0-23.
    SessionResult chooseKey(int key);
    // Harmonizes when something asks for it (a key by hand, other settings, a
    // new melody; always with evenUnchanged), asking the major-or-minor
    // question, then settles the style for the song's meter.
    SessionResult createAccompaniment(bool evenUnchanged = false);

    // A bar's chosen chord from the chord palette; kNoChord clears it.
    SessionResult setBarChord(int bar, ChordCode chord);
    // Whether a bar's chord plays (the palette's mute).
    SessionResult setBarPlays(int bar, bool plays);

    // The options dialog's "Ok": the settings the next creation uses; the
    // song counts as changed.
    SessionResult changeSettings(const HarmonySettings& settings);

    // --- Accompaniment --------------------------------------------------------

    // Whether the library has a style for the song's meter (the song's own,
    // the one chosen last, or the meter's default, which the song then
    // names). A style switched off stays off.
    bool findStyleForMeter();
    // After the library was loaded again: the song's style records are found
    // again by the song's style identifier (the old ones are gone).
    void libraryReloaded();

    // The style dialog's choice: the song's style, its base octave and its
    // instrument for the chords part; the style switch goes on.
    SessionResult selectStyle(std::int32_t id);
    // Plays block chords (style none) with the switch shown off.
    SessionResult clearStyle();
    // The style switch: off plays block chords, on puts the style back.
    SessionResult switchStyle();
    SessionResult setChordOctave(int octave);
    // Renders the chords (styled or block) into the song's chord list.
    SessionResult renderAccompaniment();

    // --- Mix ------------------------------------------------------------------

    // Volume and program act on a running play at once (through the mixer
    // state); the song's events follow when the play has ended.
    SessionResult setVolume(int part, int volume);
    SessionResult setProgram(int part, int program);
    SessionResult setMuted(int part, bool muted);
    SessionResult setSoloed(int part, bool soloed);

    // --- Files ----------------------------------------------------------------

    // Writes the project; on success the song's unsaved changes are cleared
    // and path becomes the song's file. A failure leaves everything as it was
    // and says which file and why.
    SessionResult saveProject(const std::string& path);
    SessionResult exportMidi(const std::string& path);

    // --- State ----------------------------------------------------------------

    // The player says when a play starts and ends. At the end the volumes and
    // programs changed during the play go into the song's events, which the
    // player's thread read while it played.
    void setPlaying(bool playing);
    bool playing() const { return m_playing; }

    bool hasSong() const { return m_master && m_master->hasSong(); }
    SongKind kind() const { return m_kind; }
    const std::string& path() const { return m_path; }
    bool neverSaved() const { return m_neverSaved; }
    // Changes a save would keep: a key by hand, settings, style, mix.
    bool unsavedChanges() const;
    bool harmonized() const;
    bool styleShown() const { return m_styleShown; }
    bool styleOn() const { return m_styleOn; }
    std::int32_t lastChosenStyle() const { return m_lastChosenStyle; }
    const HarmonySettings& settings() const { return m_settings; }
    // The settings the program starts with (read from the settings store).
    void setSettings(const HarmonySettings& settings) { m_settings = settings; }
    const ChannelMixState& mix() const { return m_mix; }
    // The mixer state a player reads while it plays (its fields are atomics).
    ChannelMixState& mixForPlayer() { return m_mix; }
    const TSong* song() const { return hasSong() ? m_master->song() : nullptr; }
    const ChordMaster* master() const { return m_master.get(); }
    // For readers that need the song itself (rendering, the command line's
    // own options); changes through it bypass the session's bookkeeping.
    ChordMaster* masterForUpdate() { return m_master.get(); }
    const StyleLibrary* library() const { return m_library; }
    // What the MIDI reader said about the open song's file, or about the file
    // that failed to open last ("warning: ..."/"error: ...", one per line).
    const std::vector<std::string>& readerDiagnostics() const;
    // The chord master of the last open that failed, kept for a report of
    // what the file held (the command line prints it); null after a success.
    ChordMaster* failedOpen() { return m_failed.get(); }

private:
    SessionResult refuseUnlessEditable() const;
    // The steps of open: read the file (asking for the melody channel),
    // then keep the song or let it go with the reason.
    Status loadInto(SongKind kind);
    void acceptLoaded(SongKind kind, Status status, const std::string& path);
    void refuseLoaded(SessionResult& result, SongKind kind, const std::string& path);
    void forgetSong();
    void startMix();
    void settleStyleAfterCreation(SessionResult& result);
    void writeProgram(int part, int program);
    void writeVolume(int part, int volume);
    TSong& songRef() { return *m_master->song(); }

    TuneQuestions& m_questions;
    const StyleLibrary* m_library = nullptr;
    HarmonySettings m_settings = kBuiltInHarmonySettings;
    std::unique_ptr<ChordMaster> m_master;
    ChannelMixState m_mix;
    SongKind m_kind = SongKind::None;
    std::string m_path;
    bool m_neverSaved = false;
    bool m_playing = false;
    bool m_styleShown = false; // the style switch is visible
    bool m_styleOn = false;    // and switched on
    std::int32_t m_lastChosenStyle = -1;
    // Volumes of the last closed song; all 0 until a song is closed.
    std::array<std::uint8_t, ChannelMixState::kPartCount> m_rememberedVolumes{};
    std::unique_ptr<ChordMaster> m_failed;
    // Mix changes made during a play, for the song's events afterwards; -1 none.
    std::array<std::int16_t, ChannelMixState::kPartCount> m_pendingVolume;
    std::array<std::int16_t, ChannelMixState::kPartCount> m_pendingProgram;
};

} // namespace korvanta
