#include "session/TuneSession.h"

#include "alg/song/Keys.h"
#include "styles/StyleChoice.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace korvanta {

namespace {

constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kVolumeController = 7;
constexpr int kChannelEvents = 1;          // the song's channel event list
constexpr std::uint8_t kNeedsCreation = 7; // a key by hand, settings, a new melody

} // namespace

SongKind songKindOf(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".mid") return SongKind::Midi;
    if (ext == ".kvt") return SongKind::Project;
    return SongKind::None;
}

std::string projectPathBeside(const std::string& path) {
    std::filesystem::path p(path);
    if (songKindOf(path) == SongKind::Project) return path;
    if (p.filename().empty()) return path + ".kvt";
    p.replace_extension(".kvt");
    return p.string();
}

std::string suggestedSaveName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.substr(0, name.find('.'));
}

std::string withDefaultExtension(const std::string& path, const std::string& defaultExtension) {
    return std::filesystem::path(path).has_extension() ? path : path + defaultExtension;
}

namespace {

SessionResult refused(Refusal why) {
    SessionResult result;
    result.refusal = why;
    return result;
}

void addMessage(SessionResult& result, Message message) {
    if (message.kind != MessageKind::None && !message.text.empty())
        result.messages.push_back(std::move(message));
}

constexpr SessionChanges kEverything =
    SessionChanges(SessionChange::Song) | SessionChange::Key | SessionChange::Settings |
    SessionChange::Harmony | SessionChange::Style | SessionChange::ChordOctave | SessionChange::Mix;

} // namespace

TuneSession::TuneSession(TuneQuestions& questions, const StyleLibrary* library)
    : m_questions(questions), m_library(library) {
    m_pendingVolume.fill(-1);
    m_pendingProgram.fill(-1);
}

void TuneSession::setPlaying(bool playing) {
    m_playing = playing;
    if (playing) return;
    for (int part = 0; part < ChannelMixState::kPartCount; ++part) {
        auto& volume = m_pendingVolume[static_cast<std::size_t>(part)];
        auto& program = m_pendingProgram[static_cast<std::size_t>(part)];
        if (hasSong() && volume >= 0) writeVolume(part, volume);
        if (hasSong() && program >= 0) writeProgram(part, program);
        volume = -1;
        program = -1;
    }
}

TuneSession::~TuneSession() {
    // The song refers to the mixer state; both go together.
    forgetSong();
}

SessionResult TuneSession::refuseUnlessEditable() const {
    if (m_playing) return refused(Refusal::Playing);
    if (!hasSong()) return refused(Refusal::NoSong);
    return {};
}

bool TuneSession::unsavedChanges() const {
    const TSong* s = song();
    return s && (s->changes & SongChange::kUnsavedMask) != 0;
}

const std::vector<std::string>& TuneSession::readerDiagnostics() const {
    static const std::vector<std::string> kNone;
    if (hasSong()) return m_master->loadDiagnostics();
    return m_failed ? m_failed->loadDiagnostics() : kNone;
}

bool TuneSession::harmonized() const {
    const TSong* s = song();
    return s && !s->barHarmony.empty();
}

void TuneSession::forgetSong() {
    if (m_master && m_master->song()) m_master->song()->channelSettings = nullptr;
    m_master.reset();
    m_kind = SongKind::None;
    m_styleShown = false;
    m_styleOn = false;
}

// --- Songs in and out --------------------------------------------------------

SessionResult TuneSession::offerToSave() {
    if (m_playing) return refused(Refusal::Playing);
    if (!unsavedChanges()) return {};
    const MessageAnswer answer = m_questions.saveChanges(" Save changes to " + m_path + "?");
    if (answer == MessageAnswer::Cancel) return refused(Refusal::Cancelled);
    if (answer == MessageAnswer::No) return {};
    // Yes always asks where, even for a song that has a project file.
    const std::optional<std::string> chosen =
        m_questions.projectPathForSave(suggestedSaveName(m_path));
    // Cancelling the dialog after Yes keeps the work: it is no "No".
    if (!chosen || chosen->empty()) return refused(Refusal::Cancelled);
    SessionResult saved = saveProject(withDefaultExtension(*chosen, ".kvt"));
    if (!saved.ok()) saved.refusal = Refusal::Cancelled; // keep the song when its save failed
    return saved;
}

SessionResult TuneSession::close(bool offerSave) {
    if (m_playing) return refused(Refusal::Playing);
    if (!hasSong()) {
        forgetSong();
        return {};
    }
    SessionResult result;
    if (offerSave) {
        result = offerToSave();
        if (result.refusal != Refusal::None) return result;
    }
    for (int part = 0; part < ChannelMixState::kPartCount; ++part)
        m_rememberedVolumes[static_cast<std::size_t>(part)] = m_mix.volume(part);
    forgetSong();
    m_path.clear();
    m_neverSaved = false;
    result.changes |= kEverything;
    return result;
}

void TuneSession::startMix() {
    TSong& s = songRef();
    m_mix.reset();
    const bool remembered = m_kind == SongKind::Midi && m_rememberedVolumes[0] != 0;
    for (int part = 0; part < ChannelMixState::kPartCount; ++part) {
        if (remembered) {
            // A new melody keeps the accompaniment's volumes of the last song.
            if (part > 0)
                m_mix.setVolume(part, m_rememberedVolumes[static_cast<std::size_t>(part)]);
        } else {
            const std::int32_t volume =
                s.QueryMeta(static_cast<std::uint8_t>(kControlChange | part), kVolumeController);
            if (volume >= 0) m_mix.setVolume(part, volume);
            m_rememberedVolumes[static_cast<std::size_t>(part)] = m_mix.volume(part);
        }
        const std::int32_t program =
            s.QueryMeta(static_cast<std::uint8_t>(kProgramChange | part), 0);
        if (program >= 0) m_mix.setProgram(part, static_cast<std::uint8_t>(program & 0x7F));
    }
    s.channelSettings = &m_mix;
}

Status TuneSession::loadInto(SongKind kind) {
    Status status = kind == SongKind::Midi ? m_master->loadMidiFile() : m_master->loadProjectFile();
    if (status != kStatusSeveralChannels) return status;
    const MelodyChannelChoice choice = m_master->melodyChannelChoice();
    if (choice.status != kStatusSeveralChannels) return m_master->status();
    std::vector<ChannelOption> options;
    for (const MelodyChannel& c : choice.channels)
        options.push_back({c.channel, c.program});
    const std::optional<int> channel = m_questions.melodyChannel(kSelectChannelText, options);
    return channel ? m_master->prepareMelodyChannel(*channel) : kStatusSeveralChannels;
}

void TuneSession::refuseLoaded(SessionResult& result, SongKind kind, const std::string& path) {
    if (kind == SongKind::Project && result.status == kStatusLoadFailed &&
        !m_master->projectMessage().empty())
        addMessage(result, {MessageKind::Error, m_master->projectMessage()});
    else
        addMessage(result, openStatusMessage(result.status, path));
    // Keep what the file gave, for a report.
    if (m_master->song()) m_master->song()->channelSettings = nullptr;
    m_failed = std::move(m_master);
    forgetSong();
}

void TuneSession::acceptLoaded(SongKind kind, Status status, const std::string& path) {
    m_kind = kind;
    m_path = path;
    TSong& s = songRef();
    s.warning = 0;
    m_master->clearStatus();
    if (kind == SongKind::Midi && status == kStatusKeyNotRecognised) m_settings.AutoKey = false;
    startMix();
    s.SetFlags(0, false);
    if (kind == SongKind::Midi) {
        m_neverSaved = true;
        s.SetFlags(SongChange::kNewMelody, true);
        return;
    }
    if (s.barHarmony.empty()) return;
    s.ClampSecondGroups(m_settings.MaxNumCustomChords);
    if (m_library && chooseStyleForMeter(s, *m_library, m_lastChosenStyle)) {
        // A harmonized project opens with its style switched on.
        m_styleShown = true;
        m_styleOn = true;
        s.style = s.style2;
    }
    s.SetFlags(0, false);
}

SessionResult TuneSession::open(const std::string& path) {
    if (m_playing) return refused(Refusal::Playing);
    SessionResult result = close(true);
    if (result.refusal != Refusal::None) return result;

    const SongKind kind = songKindOf(path);
    if (kind == SongKind::None) {
        result.status = kStatusLoadFailed;
        addMessage(result, unknownFileTypeMessage(path));
        return result;
    }
    // A MIDI file starts from the built-in settings; a project brings its own.
    if (kind == SongKind::Midi) m_settings = kBuiltInHarmonySettings;
    m_failed.reset();
    m_master = std::make_unique<ChordMaster>(path, 0, m_settings);
    result.status = loadInto(kind);
    if (result.status != kStatusOk && result.status != kStatusKeyNotRecognised) {
        refuseLoaded(result, kind, path);
        return result;
    }
    addMessage(result, openStatusMessage(result.status, path)); // the key warning, if any
    acceptLoaded(kind, result.status, path);
    result.changes |= kEverything;
    return result;
}

// --- Harmony -------------------------------------------------------------------

SessionResult TuneSession::applyDraft(int tag) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    if (!m_master->applyDraft(tag)) return refused(Refusal::NothingToDo);
    result.changes = SessionChange::Settings;
    return result;
}

SessionResult TuneSession::chooseKey(int key) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    if (key == kKeyAuto) {
        m_master->setAutoKey();
    } else if (key == kKeyFromFile) {
        // As after a key the melody did not give away: the signature decides.
        m_settings.AutoKey = false;
        songRef().SetFlags(SongChange::kMix, true);
    } else if (!m_master->setKeyByHand(key)) {
        return refused(Refusal::NothingToDo);
    }
    result.changes = SessionChange::Key;
    return result;
}

SessionResult TuneSession::createAccompaniment(bool evenUnchanged) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    TSong& s = songRef();
    if (!evenUnchanged && (s.changes & kNeedsCreation) == 0) return refused(Refusal::NothingToDo);
    if (!s.TestFlags(SongChange::kNewMelody)) {
        SessionResult saved = offerToSave();
        if (saved.refusal != Refusal::None) return saved;
        result.messages = std::move(saved.messages);
        result.changes |= saved.changes;
        result.savedTo = std::move(saved.savedTo);
    }

    s.warning = 0;
    m_master->clearStatus();
    Status status = m_master->Harmonize();
    if (status == kStatusKeyAmbiguous) {
        const MessageAnswer answer = m_questions.minorKey(createStatusMessage(status).text);
        if (answer == MessageAnswer::Cancel) {
            result.status = status;
            result.refusal = Refusal::Cancelled;
            return result;
        }
        status = m_master->answerMinorKeyQuestion(answer == MessageAnswer::Yes);
        result.changes |= SessionChange::Key;
    }
    result.status = status;
    if (status == kStatusKeyUnknown) m_settings.AutoKey = false;
    if (status != kStatusOk) addMessage(result, createStatusMessage(status));
    if (status != kStatusOk && status != kStatusManyKeys) return result;

    s.SetFlags(0, false);
    s.SetFlags(SongChange::kMix, true);
    result.changes |= SessionChanges(SessionChange::Harmony) | SessionChange::Key;
    settleStyleAfterCreation(result);
    return result;
}

void TuneSession::settleStyleAfterCreation(SessionResult& result) {
    TSong& s = songRef();
    if (!m_library || !chooseStyleForMeter(s, *m_library, m_lastChosenStyle)) {
        m_styleShown = false;
        return;
    }
    if (!m_styleShown) {
        m_styleOn = s.style != nullptr;
        m_styleShown = true;
        s.SetFlags(SongChange::kStyle, true);
    }
    if (!s.style)
        writeProgram(kChordList, m_settings.DefAccPatch);
    else if (!m_styleOn)
        s.style = nullptr;
    result.changes |= SessionChange::Style;
}

SessionResult TuneSession::setBarChord(int bar, ChordCode chord) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    TSong& s = songRef();
    if (bar < 0 || bar >= static_cast<int>(s.barHarmony.size()))
        return refused(Refusal::NothingToDo);
    s.SetBarChord(bar, chord);
    s.SetFlags(SongChange::kSettings, true);
    result.changes = SessionChange::BarChord;
    return result;
}

SessionResult TuneSession::setBarPlays(int bar, bool plays) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    TSong& s = songRef();
    if (bar < 0 || bar >= static_cast<int>(s.barHarmony.size()))
        return refused(Refusal::NothingToDo);
    s.SetBarPlay(bar, plays ? 1 : 0);
    s.SetFlags(SongChange::kSettings, true);
    result.changes = SessionChange::BarChord;
    return result;
}

SessionResult TuneSession::changeSettings(const HarmonySettings& settings) {
    if (m_playing) return refused(Refusal::Playing);
    m_settings = settings;
    SessionResult result;
    if (hasSong()) songRef().SetFlags(SongChange::kSettings, true);
    result.changes = SessionChange::Settings;
    return result;
}

// --- Accompaniment -------------------------------------------------------------

bool TuneSession::findStyleForMeter() {
    if (!hasSong() || m_playing || !m_library) return false;
    TSong& s = songRef();
    if (!chooseStyleForMeter(s, *m_library, m_lastChosenStyle)) return false;
    // Looking for a style does not switch one on.
    if (m_styleShown && !m_styleOn) s.style = nullptr;
    return true;
}

void TuneSession::libraryReloaded() {
    if (!hasSong()) return;
    TSong& s = songRef();
    const LoadedStyle* found = m_library ? m_library->byId(songStyleId(s)) : nullptr;
    const bool wasOn = s.style != nullptr;
    s.style2 = found ? &found->style : nullptr;
    s.style = wasOn ? s.style2 : nullptr;
    if (!found) {
        s.style = nullptr;
        m_styleOn = false;
    }
    if (m_lastChosenStyle >= 0 && !(m_library && m_library->byId(m_lastChosenStyle)))
        m_lastChosenStyle = -1;
}

SessionResult TuneSession::selectStyle(std::int32_t id) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    const LoadedStyle* chosen = m_library ? m_library->byId(id) : nullptr;
    if (!chosen) return refused(Refusal::NothingToDo);
    TSong& s = songRef();
    applySongStyle(s, &chosen->style);
    s.chordOctave = chosen->style.baseOctave();
    writeProgram(kChordList, chosen->style.program() & 0x7F);
    setSongStyleId(s, id);
    m_lastChosenStyle = id;
    m_styleShown = true;
    m_styleOn = true;
    s.SetFlags(SongChange::kStyle, true);
    result.changes =
        SessionChanges(SessionChange::Style) | SessionChange::ChordOctave | SessionChange::Mix;
    return result;
}

SessionResult TuneSession::clearStyle() {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    TSong& s = songRef();
    applySongStyle(s, nullptr);
    setSongStyleId(s, kNoStyle);
    m_styleOn = false;
    s.SetFlags(SongChange::kStyle, true);
    result.changes = SessionChange::Style;
    return result;
}

SessionResult TuneSession::switchStyle() {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    if (!m_styleShown) return refused(Refusal::NothingToDo);
    TSong& s = songRef();
    m_styleOn = !m_styleOn;
    s.style = m_styleOn ? s.style2 : nullptr;
    s.SetFlags(SongChange::kStyle, true);
    result.changes = SessionChange::Style;
    return result;
}

SessionResult TuneSession::setChordOctave(int octave) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    if (octave < 0 || octave > 11) return refused(Refusal::NothingToDo);
    songRef().chordOctave = static_cast<std::uint8_t>(octave);
    result.changes = SessionChange::ChordOctave;
    return result;
}

SessionResult TuneSession::renderAccompaniment() {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    BuildChordNotes(songRef());
    return result;
}

// --- Mix -------------------------------------------------------------------------

void TuneSession::writeProgram(int part, int program) {
    const auto value = static_cast<std::uint8_t>(std::clamp(program, 0, 127));
    m_mix.setProgram(part, value);
    if (m_playing) {
        // The player's thread reads the song's events: later.
        m_pendingProgram[static_cast<std::size_t>(part)] = value;
        return;
    }
    songRef().SetEvent(static_cast<std::uint8_t>(kProgramChange | part), 0,
                       static_cast<std::uint32_t>(value) << 24, 0, kChannelEvents, 0);
    songRef().SetFlags(SongChange::kMix, true);
}

void TuneSession::writeVolume(int part, int volume) {
    songRef().SetEvent(static_cast<std::uint8_t>(kControlChange | part), kVolumeController,
                       packEventBytes(kVolumeController, static_cast<std::uint8_t>(volume)), 0,
                       kChannelEvents, 0);
    songRef().SetFlags(SongChange::kMix, true);
}

SessionResult TuneSession::setVolume(int part, int volume) {
    if (!hasSong()) return refused(Refusal::NoSong);
    if (part < 0 || part >= ChannelMixState::kPartCount) return refused(Refusal::NothingToDo);
    const int v = std::clamp(volume, 0, int{ChannelMixState::kMaxVolume});
    // A volume of 0 silences the part for now; it is never stored.
    if (v > 0) {
        m_mix.setVolume(part, v);
        if (m_playing)
            m_pendingVolume[static_cast<std::size_t>(part)] = static_cast<std::int16_t>(v);
        else
            writeVolume(part, v);
    }
    SessionResult result;
    result.changes = SessionChange::Mix;
    return result;
}

SessionResult TuneSession::setProgram(int part, int program) {
    if (!hasSong()) return refused(Refusal::NoSong);
    if (part < 0 || part >= ChannelMixState::kPartCount) return refused(Refusal::NothingToDo);
    writeProgram(part, program);
    SessionResult result;
    result.changes = SessionChange::Mix;
    return result;
}

SessionResult TuneSession::setMuted(int part, bool muted) {
    // Muting acts on a running play at once and does not touch the song.
    if (!hasSong()) return refused(Refusal::NoSong);
    if (part < 0 || part >= ChannelMixState::kPartCount) return refused(Refusal::NothingToDo);
    m_mix.setMuted(part, muted);
    SessionResult result;
    result.changes = SessionChange::Mix;
    return result;
}

SessionResult TuneSession::setSoloed(int part, bool soloed) {
    if (!hasSong()) return refused(Refusal::NoSong);
    if (part < 0 || part >= ChannelMixState::kPartCount) return refused(Refusal::NothingToDo);
    m_mix.setSoloed(part, soloed);
    SessionResult result;
    result.changes = SessionChange::Mix;
    return result;
}

// --- Files -----------------------------------------------------------------------

SessionResult TuneSession::saveProject(const std::string& path) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    result.status = m_master->saveProjectFile(path);
    if (result.status != kStatusOk) {
        addMessage(result, {MessageKind::Error, m_master->projectMessage()});
        return result;
    }
    m_path = path;
    m_kind = SongKind::Project;
    m_neverSaved = false;
    // What is written is saved: a later close has nothing to ask about. The
    // new-melody mark stays, as creating the accompaniment still needs it.
    songRef().SetFlags(SongChange::kUnsavedMask, false);
    result.changes = SessionChange::Saved;
    result.savedTo = path;
    return result;
}

SessionResult TuneSession::exportMidi(const std::string& path) {
    SessionResult result = refuseUnlessEditable();
    if (result.refusal != Refusal::None) return result;
    result.status = m_master->Export(path);
    if (result.status != kStatusOk)
        addMessage(result, {MessageKind::Error, m_master->projectMessage()});
    return result;
}

} // namespace korvanta
