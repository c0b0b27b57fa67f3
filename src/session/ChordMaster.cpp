// The chord master: loading, key analysis, harmonization and stamping of one
// tune.

#include "session/ChordMaster.h"

#include "alg/harmony/KeyAnalysis.h"
#include "alg/harmony/ProgressionTables.h"
#include "alg/song/Keys.h"
#include "alg/song/MidiExport.h"
#include "alg/song/TSongReader.h"
#include "project/ProjectFile.h"
#include "styles/StyleMaster.h"

#include <filesystem>
#include <new>
#include <optional>
#include <utility>

namespace korvanta {

namespace {

constexpr std::string_view kReportSuffix = "_.rep";

bool isPreparedStatus(Status status) {
    return status == kStatusOk || status == kStatusKeyNotRecognised;
}

bool isHarmonizableStatus(Status status) {
    return status == kStatusOk || status == kStatusManyKeys;
}

// What a harmonization replaces, kept so that a failed one can put it back.
struct AnalysisSnapshot {
    std::vector<TKeyEntry> keys;
    std::string text;
    std::vector<TBarChords> barChords;
    std::vector<TBarHarmony> barHarmony;
    std::array<std::uint8_t, 24> keyMarks{};

    explicit AnalysisSnapshot(const TSong& song)
        : keys(song.keys), text(song.text), barChords(song.barChords), barHarmony(song.barHarmony),
          keyMarks(song.keyMarks) {}

    void restore(TSong& song) {
        song.keys = std::move(keys);
        song.text = std::move(text);
        song.barChords = std::move(barChords);
        song.barHarmony = std::move(barHarmony);
        song.keyMarks = keyMarks;
    }
};

} // namespace

ChordMaster::ChordMaster(std::string fileName, std::int64_t callerValue, HarmonySettings& settings)
    : m_fileName(std::move(fileName)), m_callerValue(callerValue), m_settings(settings) {
    m_reportName = m_fileName + std::string(kReportSuffix);
    m_exportName = exportFileName(m_fileName);
}

ChordMaster::~ChordMaster() = default;

void ChordMaster::replaceSong(std::unique_ptr<TSong> song) {
    m_harmonizer.reset();
    m_song = std::move(song);
    m_prepared = false;
    m_keyResult = -1;
}

Status ChordMaster::installMidiSong(std::unique_ptr<TSong> song, const MidiLoadResult& result) {
    m_diagnostics = result.diagnostics;
    if (result.status != kStatusOk) {
        m_status = result.status;
        return m_status;
    }
    replaceSong(std::move(song));
    m_formatWord = m_song->format;
    m_melodyChannel = result.multiChannel == kStatusSeveralChannels ? -1 : result.melodyChannel;
    m_status = loadMelody(*m_song, result.multiChannel, result.melodyChannel);
    m_loadStatus = m_status;
    m_prepared = isPreparedStatus(m_status);
    return m_status;
}

Status ChordMaster::loadMidiFile() {
    m_status = kStatusLoadFailed;
    try {
        auto song = std::make_unique<TSong>();
        const MidiLoadResult result = ::korvanta::loadMidiFile(*song, m_fileName);
        return installMidiSong(std::move(song), result);
    } catch (const std::bad_alloc&) {
        m_status = kStatusLoadFailed;
        return m_status;
    }
}

Status ChordMaster::loadMidiMemory(std::span<const std::byte> bytes) {
    m_status = kStatusLoadFailed;
    try {
        auto song = std::make_unique<TSong>();
        const MidiLoadResult result = ::korvanta::loadMidiMemory(*song, bytes);
        return installMidiSong(std::move(song), result);
    } catch (const std::bad_alloc&) {
        m_status = kStatusLoadFailed;
        return m_status;
    }
}

MelodyChannelChoice ChordMaster::melodyChannelChoice() {
    if (!m_song || m_prepared || m_status != kStatusSeveralChannels)
        return MelodyChannelChoice{{}, m_status};
    MelodyChannelChoice choice = chooseMelodyChannel(*m_song);
    if (choice.channels.size() == 1) m_melodyChannel = choice.channels.front().channel;
    m_status = choice.status;
    m_loadStatus = m_status;
    m_prepared = choice.channels.size() == 1 && isPreparedStatus(m_status);
    return choice;
}

Status ChordMaster::prepareMelodyChannel(int channel) {
    if (!m_song || m_prepared || m_status != kStatusSeveralChannels) return m_status;
    m_melodyChannel = channel;
    m_status = prepareChosenMelody(*m_song, channel);
    m_loadStatus = m_status;
    m_prepared = isPreparedStatus(m_status);
    return m_status;
}

Status ChordMaster::loadProjectFile() {
    return installProject([](ProjectFile& file) { return file.load(); });
}

Status ChordMaster::loadProjectMemory(std::span<const std::byte> bytes) {
    return installProject([bytes](ProjectFile& file) { return file.load(bytes); });
}

template <typename LoadFunction>
Status ChordMaster::installProject(LoadFunction load) {
    m_status = kStatusLoadFailed;
    try {
        auto song = std::make_unique<TSong>();
        ProjectFile file(m_fileName, *song, m_settings);
        const ProjectResult result = load(file);
        m_projectMessage = result.message;
        if (!result.ok()) return m_status;
        replaceSong(std::move(song));
    } catch (const std::bad_alloc&) {
        return m_status;
    }
    m_formatWord = kProjectFormat;
    m_melodyChannel = kMelodyList;
    m_status = loadProjectMelody(*m_song);
    m_loadStatus = m_status;
    m_prepared = isPreparedStatus(m_status);
    return m_status;
}

Status ChordMaster::saveProjectFile(const std::string& fileName) {
    m_status = kStatusSaveFailed;
    if (!m_song || !m_prepared) {
        m_projectMessage = "There is no prepared melody to save.";
        return m_status;
    }
    try {
        ProjectFile file(fileName, *m_song, m_settings);
        const ProjectResult result = file.save();
        m_projectMessage = result.message;
        if (result.ok()) m_status = kStatusOk;
    } catch (const std::bad_alloc&) {
        m_status = kStatusSaveFailed;
        m_projectMessage = "The project " + std::filesystem::path(fileName).filename().string() +
                           " could not be saved: out of memory.";
    }
    return m_status;
}

Status ChordMaster::Export(const std::string& fileName) {
    m_status = kStatusSaveFailed;
    if (!m_song || !melodyPrepared()) return m_status;
    // The accompaniment goes out as it sounds: the chosen chords rendered now.
    if (!m_song->barHarmony.empty()) BuildChordNotes(*m_song);
    const MidiExportResult result = exportMidiFile(*m_song, fileName);
    m_projectMessage = result.message;
    m_status = result.status;
    return m_status;
}

bool ChordMaster::applyDraft(int tag) {
    const std::optional<HarmonyDraft> draft = harmonyDraftFromTag(tag);
    if (!draft) return false;
    applyHarmonyDraft(*draft, m_settings);
    if (m_song) m_song->SetFlags(SongChange::kSettings, true);
    return true;
}

void ChordMaster::setAutoKey() {
    m_settings.AutoKey = true;
    if (m_song) m_song->SetFlags(SongChange::kMix, true);
}

void ChordMaster::setKeySignature(int key) {
    const KeySignature sig = KeyToSignature(key);
    m_song->SetEvent(
        kMetaKeySignature, 0,
        packEventBytes(static_cast<std::uint8_t>(sig.sf), static_cast<std::uint8_t>(sig.mi)), 0, 0,
        0);
}

bool ChordMaster::setKeyByHand(int key) {
    if (!isKey(key) || !m_song) return false;
    m_settings.AutoKey = false;
    // A key by hand is the one change that counts: the others are dropped.
    m_song->SetFlags(0, false);
    m_song->SetFlags(SongChange::kKeyByHand, true);
    m_song->SetFlags(SongChange::kMix, true);
    setKeySignature(key);
    return true;
}

Status ChordMaster::answerMinorKeyQuestion(bool minor) {
    if (!m_song || m_status != kStatusKeyAmbiguous || !isKey(m_keyResult)) return m_status;
    m_settings.AutoKey = false;
    m_song->SetFlags(0, false);
    m_song->SetFlags(SongChange::kKeyByHand, true);
    if (minor) m_keyResult = relativeKey(m_keyResult);
    setKeySignature(m_keyResult);
    return Harmonize();
}

int ChordMaster::mainKey() const {
    if (!m_song || m_song->keys.empty()) return -1;
    return m_song->keys.front().key;
}

ChordCode ChordMaster::barChord(int bar) const {
    return m_song ? m_song->BarChord(bar) : kNoChord;
}

Status ChordMaster::Harmonize() {
    if (!m_song) loadMidiFile();
    if (!m_song || !m_prepared) {
        // A melody that was never prepared has no bar grid to harmonize.
        m_status = m_song ? m_loadStatus : m_status;
        return m_status;
    }

    try {
        AnalysisSnapshot previous(*m_song);
        m_song->ClearAnalysis();
        KeyAnalyzer analyzer(*m_song, m_settings);
        m_status = analyzer.Run();
        m_keyResult = analyzer.keyResult();
        if (isHarmonizableStatus(m_status)) {
            const Status harmonized = harmonizeAndStamp();
            if (harmonized != kStatusOk) m_status = harmonized;
        }
        if (!isHarmonizableStatus(m_status)) previous.restore(*m_song);
    } catch (const std::bad_alloc&) {
        m_harmonizer.reset();
        m_status = kStatusNoResult;
    }
    return m_status;
}

Status ChordMaster::harmonizeAndStamp() {
    const int key = mainKey();
    m_harmonizer.reset();
    m_harmonizer =
        std::make_unique<Harmonizer>(*m_song, m_settings, progression::progressionTableFor(key));
    if (m_harmonizer->failed() || m_harmonizer->Run() != HarmonizerResult::Done ||
        !m_song->MakeBarHarmony()) {
        m_harmonizer.reset();
        return kStatusNoResult;
    }
    if (isKey(key)) setKeySignature(key);
    m_song->text = std::string(kGeneratedComment);
    return kStatusOk;
}

} // namespace korvanta
