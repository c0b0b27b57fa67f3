// The harmony engine's set-up, the order of its steps, and the filling of the
// additional chords once every bar has its own.

#include "alg/harmony/Harmonizer.h"

#include "alg/harmony/HarmonyTables.h"
#include "alg/song/MelodyChecks.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace korvanta {

namespace {

// Settings a run can not work with are replaced by the built-in values, and the
// additional chords are held to what a record can hold.
HarmonySettings usableSettings(const HarmonySettings& settings) {
    HarmonySettings usable = settings;
    if (!std::isfinite(usable.kRecomChr)) usable.kRecomChr = kBuiltInHarmonySettings.kRecomChr;
    if (!std::isfinite(usable.kDSFilter)) usable.kDSFilter = kBuiltInHarmonySettings.kDSFilter;
    return usable;
}

bool contains(const TBarChords& record, ChordCode code) {
    const int total = std::min(record.mainCount + record.extraCount, TBarChords::kCapacity);
    for (int k = 0; k < total; ++k) {
        if (record.codes[k] == code) return true;
    }
    return false;
}

// Appends an additional chord; false (nothing written) when the record is full.
bool appendAdditional(TBarChords& record, ChordCode code) {
    const int total = record.mainCount + record.extraCount;
    if (total >= TBarChords::kCapacity) return false;
    record.codes[total] = code;
    ++record.extraCount;
    return true;
}

int codeCount(const TBarChords& record) {
    return std::min(record.mainCount + record.extraCount, TBarChords::kCapacity);
}

// The first key marked with mark, or -1.
int markedKey(const std::array<std::uint8_t, 24>& keyMarks, std::uint8_t mark) {
    for (int j = 0; j < kKeyCount; ++j) {
        if (keyMarks[static_cast<std::size_t>(j)] == mark) return j;
    }
    return -1;
}

constexpr std::uint8_t kMainKeyMark = 4;
constexpr std::uint8_t kDominantKeyMark = 3;
constexpr std::uint8_t kSubdominantKeyMark = 2;
// Borrowing from the neighbours starts only below this many additional chords.
constexpr int kBorrowBelow = 5;
// Filling with tonic, dominant seventh and subdominant only up to this many codes.
constexpr int kFillUpTo = 4;

} // namespace

Harmonizer::Harmonizer(TSong& song, const HarmonySettings& settings,
                       progression::ProgressionTable progressions)
    : m_song(song), m_settings(usableSettings(settings)), m_progressions(progressions) {
    m_additionalLimit =
        std::clamp(static_cast<int>(m_settings.MaxNumCustomChords), 0, kMaxAdditionalChords);
    try {
        m_noteFlags.assign(m_song.notes.list(kMelodyList).size(), 0xFF);
        m_failed = !m_song.MakeBarChords();
        if (!m_failed) m_anchorNote.assign(m_song.barChords.size(), -1);
    } catch (const std::bad_alloc&) {
        m_failed = true;
    }
}

HarmonizerResult Harmonizer::Run() {
    if (m_failed) return HarmonizerResult::NotSetUp;
    try {
        reset();
    } catch (const std::bad_alloc&) {
        m_failed = true;
        return HarmonizerResult::NotSetUp;
    }
    if (!isKey(m_mainKey)) return HarmonizerResult::NoKey;
    if (noteCount() == 0) return HarmonizerResult::NoMelody;

    m_direction = 1;
    m_lastAnchorBar = 0;
    m_keyRelationWeight = m_settings.TSYmode == kTSYmodeStandard ? 3 : 2;
    setUpFirstBar();
    computeFunctions();
    markAnchorsAndCadences();
    findLastAnchorBar();
    if (m_lastAnchorBar != 0 && m_settings.TSYmode == kTSYmodeAdvanced) {
        // From the last anchor back to the start, so that the phrase ends lead;
        // then on to the end.
        harmonizeBars(m_lastAnchorBar, m_firstBar, -1);
        harmonizeBars(m_lastAnchorBar + 1, m_barCount - 1, +1);
    } else {
        harmonizeBars(m_firstBar, m_barCount - 1, +1);
    }
    fillAdditionalChords();
    return HarmonizerResult::Done;
}

// ---- working state ----

void Harmonizer::reset() {
    m_barCount = static_cast<int>(m_song.barChords.size());
    std::fill(m_song.barChords.begin(), m_song.barChords.end(), TBarChords{});
    m_anchorNote.assign(static_cast<std::size_t>(m_barCount), -1);

    const auto& melody = m_song.notes.list(kMelodyList);
    const int notes = static_cast<int>(melody.size());
    m_noteFlags.assign(melody.size(), 0xFF);
    m_startTicks.resize(melody.size());
    for (int i = 0; i < notes; ++i)
        m_startTicks[static_cast<std::size_t>(i)] = m_song.MelodyStartTick(i);
    m_barStarts.resize(static_cast<std::size_t>(m_barCount) + 1);
    for (int b = 0; b <= m_barCount; ++b)
        m_barStarts[static_cast<std::size_t>(b)] = m_song.MelodyStartTick(-1, b);
    cacheWalkBack();

    m_mainKey = m_song.keys.empty() ? -1 : m_song.keys.front().key;
    m_direction = 1;
    m_upbeat = 0;
    m_firstBar = 0;
    m_firstCadenceBar = 0;
    m_lastAnchorBar = 0;
    m_candidateFunction.fill(harmony::kNoFunction);
    m_candidateScore.fill(0.0f);
    m_candidateVariant.fill(-1);
}

// For every note, where a walk back over the notes of its own pitch class
// stops, and the largest rest met on the way; the cadence bonus asks this of
// anchor notes, and a long run of one pitch would otherwise be walked again
// for every anchor in it.
void Harmonizer::cacheWalkBack() {
    const int notes = noteCount();
    m_walkBackNote.assign(static_cast<std::size_t>(notes), -1);
    m_walkBackRest.assign(static_cast<std::size_t>(notes), 0);
    for (int i = 1; i < notes; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const std::int32_t rest = m_song.MelodyGap(i - 1, i);
        if (pitchClass(i - 1) != pitchClass(i)) {
            m_walkBackNote[at] = i - 1;
            m_walkBackRest[at] = rest;
        } else {
            m_walkBackNote[at] = m_walkBackNote[at - 1];
            m_walkBackRest[at] = std::max(rest, m_walkBackRest[at - 1]);
        }
    }
}

const TNote& Harmonizer::note(int i) const {
    return m_song.notes.list(kMelodyList)[static_cast<std::size_t>(i)];
}
int Harmonizer::noteBar(int i) const {
    return note(i).start.bar;
}
int Harmonizer::pitchClass(int i) const {
    return note(i).pitchClass % 12;
}
int Harmonizer::duration(int i) const {
    return note(i).duration;
}
int Harmonizer::barStart(int bar) const {
    if (bar < 0) return m_barStarts.empty() ? 0 : m_barStarts.front();
    if (bar > m_barCount) return m_song.MelodyStartTick(-1, bar);
    return m_barStarts[static_cast<std::size_t>(bar)];
}
int Harmonizer::barLength(int bar) const {
    return m_song.meter().TicksPerBar(bar);
}

int Harmonizer::firstNoteIn(int bar) const {
    if (!isBar(bar)) return -1;
    const int first = m_song.MelodyFirstNoteOfBar(bar);
    if (first < 0 || first >= noteCount() || noteBar(first) != bar) return -1;
    return first;
}

void Harmonizer::setAnchor(int bar, int note, std::uint8_t mark) {
    m_anchorNote[static_cast<std::size_t>(bar)] = note;
    record(bar).cadenceMark = mark;
}

int Harmonizer::anchorNote(int bar) const {
    return bar >= 0 && bar < static_cast<int>(m_anchorNote.size())
               ? m_anchorNote[static_cast<std::size_t>(bar)]
               : -1;
}
int Harmonizer::noteFunctionFlags(int note) const {
    return note >= 0 && note < static_cast<int>(m_noteFlags.size())
               ? m_noteFlags[static_cast<std::size_t>(note)]
               : 0xFF;
}
int Harmonizer::candidateFunction(int candidate) const {
    return isKey(candidate) ? m_candidateFunction[static_cast<std::size_t>(candidate)]
                            : harmony::kNoFunction;
}
float Harmonizer::candidateScore(int candidate) const {
    return isKey(candidate) ? m_candidateScore[static_cast<std::size_t>(candidate)] : 0.0f;
}
int Harmonizer::candidateVariant(int candidate) const {
    return isKey(candidate) ? m_candidateVariant[static_cast<std::size_t>(candidate)] : -1;
}

// ---- steps of a run ----

// A melody that starts on the first beat of bar 0 gets the tonic there in
// advance, so that bar 1 has a chord to follow even in a backward pass. A
// melody that starts later (an upbeat, or silent bars first) starts the
// harmony at its first bar and leaves the upbeat bar to the filling step.
void Harmonizer::setUpFirstBar() {
    const int firstBar = noteBar(0);
    const std::int32_t upbeat = Upbeat(m_song.notes, kMelodyList);
    m_upbeat = std::max(upbeat, 0);
    if (m_upbeat != 0 || firstBar != 0) {
        if (m_barCount > 0) {
            record(0).mainCount = 0;
            record(0).extraCount = 0;
        }
        m_firstBar = firstBar;
        const int length = barLength(firstBar);
        const bool lateInBar =
            length > 0 && static_cast<double>(m_upbeat) / static_cast<double>(length) > 0.5;
        m_firstCadenceBar = lateInBar ? firstBar + 1 : firstBar;
    } else {
        if (m_barCount > 0) {
            record(0).mainCount = 1;
            record(0).codes[0] = makeChordCode(m_mainKey, 0);
        }
        m_firstBar = 0;
        m_firstCadenceBar = 0;
    }
    // No phrase closes in its first bars.
    m_firstCadenceBar += 3;
}

void Harmonizer::computeFunctions() {
    for (int j = 0; j < kCandidateCount; ++j)
        m_candidateFunction[static_cast<std::size_t>(j)] = harmony::chordFunction(m_mainKey, j);
    for (int i = 0; i < noteCount(); ++i)
        m_noteFlags[static_cast<std::size_t>(i)] =
            harmony::noteFunctionFlags(m_mainKey, pitchClass(i));
}

void Harmonizer::harmonizeBars(int from, int to, int direction) {
    m_direction = direction;
    for (int bar = from; direction > 0 ? bar <= to : bar >= to; bar += direction) {
        if (!isBar(bar)) continue;
        if (bar == 0 && m_upbeat != 0) continue;
        if (firstNoteIn(bar) < 0) continue;
        harmonizeBar(bar);
    }
}

// Offers more chords than the bar's own: the tonic, the dominant seventh and
// the subdominant of the main key where few were found, then chords of the
// neighbouring bars. Bars are filled in order, so a bar borrows what its
// predecessor already borrowed.
void Harmonizer::fillAdditionalChords() {
    const int tonic = markedKey(m_song.keyMarks, kMainKeyMark);
    const int dominant = markedKey(m_song.keyMarks, kDominantKeyMark);
    const int subdominant = markedKey(m_song.keyMarks, kSubdominantKeyMark);
    const ChordCode keyChords[] = {makeChordCode(tonic, 0), makeChordCode(dominant, 1),
                                   makeChordCode(subdominant, 0)};

    for (int bar = 0; bar < m_barCount; ++bar) {
        TBarChords& here = record(bar);
        if (here.mainCount + here.extraCount <= kFillUpTo) {
            for (const ChordCode code : keyChords) {
                if (code >= 0 && !contains(here, code)) appendAdditional(here, code);
            }
        }
        if (here.extraCount >= kBorrowBelow || m_barCount < 2) continue;

        // The limit is tested after an append, so one code is borrowed even
        // when the bar already has as many additional chords as allowed.
        auto borrow = [&](ChordCode code) {
            if (!appendAdditional(here, code)) return false;
            return here.extraCount < m_additionalLimit;
        };
        if (bar == 0 || bar == m_barCount - 1) {
            const TBarChords& source = record(bar == 0 ? 1 : bar - 1);
            for (int k = 0; k < codeCount(source); ++k) {
                const ChordCode code = source.codes[k];
                if (code < 0 || contains(here, code)) continue;
                if (!borrow(code)) break;
            }
            continue;
        }
        const TBarChords& before = record(bar - 1);
        const TBarChords& after = record(bar + 1);
        const int rounds = std::max(codeCount(before), codeCount(after));
        for (int round = 0; round < rounds; ++round) {
            ChordCode pick = kNoChord;
            if (round < codeCount(after) && after.codes[round] >= 0 &&
                !contains(here, after.codes[round]))
                pick = after.codes[round];
            else if (round < codeCount(before) && before.codes[round] >= 0 &&
                     !contains(here, before.codes[round]))
                pick = before.codes[round];
            if (pick >= 0 && !borrow(pick)) break;
        }
    }
}

} // namespace korvanta
