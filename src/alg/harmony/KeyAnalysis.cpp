// Key analysis of a prepared melody: global vote, segments, the main key and
// the key marks.

#include "alg/harmony/KeyAnalysis.h"

#include "alg/harmony/ExchangeSort.h"

#include <algorithm>
#include <new>
#include <numeric>

namespace korvanta {

namespace {

// Past this many distinct pitch classes a segment says enough about its key.
constexpr int kSegmentPitchClasses = 6;
// With no segment closed, a melody needs more pitch classes than this.
constexpr int kFewestPitchClasses = 2;
// Up to this many segments each forms its own group for the key marks.
constexpr std::size_t kSingleGroupLimit = 5;

int pitchClassOf(const TNote& note) {
    return note.pitchClass < 12 ? note.pitchClass : note.pitch % 12;
}

void addUnique(std::vector<int>& keys, int key) {
    if (isKey(key) && std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
}

// Keys ordered by value (descending) through the engine's exchange sort.
std::array<int, kKeyCount> orderByValue(std::array<std::int32_t, kKeyCount>& values) {
    std::array<int, kKeyCount> order{};
    std::iota(order.begin(), order.end(), 0);
    exchangeSort<std::int32_t>(values, order);
    return order;
}

// Marks the keys a group of segments supports: in how many of its segments
// each key is a candidate key.
void markGroup(std::array<std::uint8_t, kKeyCount>& marks, std::span<const KeySegment> group,
               bool single, const std::array<float, kKeyCount>& melodyFitness) {
    std::array<std::int32_t, kKeyCount> counts{};
    for (const KeySegment& segment : group) {
        for (const int k : segment.candidates) {
            if (isKey(k)) ++counts[static_cast<std::size_t>(k)];
        }
    }
    if (single) {
        for (std::size_t k = 0; k < counts.size(); ++k) {
            if (counts[k] > 0 && melodyFitness[k] > kMarkFitness) marks[k] = 1;
        }
        return;
    }

    std::array<std::int32_t, kKeyCount> sorted = counts;
    const std::array<int, kKeyCount> order = orderByValue(sorted);
    std::vector<int> marked;
    if (sorted[0] >= 1) {
        marks[static_cast<std::size_t>(order[0])] = 1;
        marked.push_back(order[0]);
    }
    // Walk down: keys as common as the current level are marked; the first
    // drop sets a new level without marking, the second drop ends the walk.
    std::int32_t level = sorted[0];
    int drops = 0;
    for (std::size_t j = 1; j < sorted.size() && level != 0; ++j) {
        if (sorted[j] == level) {
            marks[static_cast<std::size_t>(order[j])] = 1;
            marked.push_back(order[j]);
            continue;
        }
        if (++drops == 2) break;
        level = sorted[j];
    }
    // A level shared by too many keys tells nothing about any of them.
    if (static_cast<int>(marked.size()) > kMaxMarkedKeys) {
        for (const int k : marked) {
            if (counts[static_cast<std::size_t>(k)] == level)
                marks[static_cast<std::size_t>(k)] = 0;
        }
    }
}

} // namespace

int ambiguousMajorKey(const std::array<int, kWeightRowCount>& schemeResults) {
    const auto [r0, r1, r2] = schemeResults;
    int key = -1;
    if (r0 == -1 && isKey(r1) && (relativeKey(r1) == r0 || relativeKey(r1) == r2))
        key = r1;
    else if (isKey(r0) && (relativeKey(r0) == r1 || relativeKey(r0) == r2))
        key = r0;
    // The question is put as "the major key, or its relative minor?".
    return isMinorKey(key) ? key - 12 : key;
}

void markMainKey(std::array<std::uint8_t, kKeyCount>& marks, int key) {
    if (!isKey(key)) return;
    marks[static_cast<std::size_t>(key)] = 4;
    const RelatedKeyPair related = RelatedKeys(key);
    if (isKey(related.dominant)) marks[static_cast<std::size_t>(related.dominant)] = 3;
    if (isKey(related.subdominant)) marks[static_cast<std::size_t>(related.subdominant)] = 2;
}

int markSegmentKeys(std::array<std::uint8_t, kKeyCount>& marks,
                    const std::vector<KeySegment>& segments, int mainKey,
                    const std::array<float, kKeyCount>& melodyFitness) {
    const std::size_t n = segments.size();
    // Long analyses are looked at in about five groups.
    const std::size_t groupSize = n > kSingleGroupLimit ? n / ((n + 4) / 5) : 1;
    const std::size_t groupCount = n / groupSize;
    const std::span<const KeySegment> all(segments);
    for (std::size_t g = 0; g < groupCount; ++g) {
        const std::size_t begin = g * groupSize;
        // A short last group joins the one before.
        const std::size_t end = g + 1 == groupCount ? n : begin + groupSize;
        markGroup(marks, all.subspan(begin, end - begin), groupSize == 1, melodyFitness);
    }
    markMainKey(marks, mainKey);
    return static_cast<int>(
        std::count_if(marks.begin(), marks.end(), [](std::uint8_t mark) { return mark != 0; }));
}

KeyAnalyzer::KeyAnalyzer(TSong& song, const HarmonySettings& settings)
    : m_song(song), m_settings(settings) {}

Status KeyAnalyzer::Run() {
    m_status = kStatusNoResult;
    m_keyResult = -1;
    m_globalKey = -1;
    m_schemeResults = {-1, -1, -1};
    m_tally.clear();
    m_segments.clear();
    m_song.keyMarks.fill(0);
    m_song.keys.clear(); // the song's key is what this analysis finds
    try {
        // Statistics left over from an interrupted analysis are stale.
        m_song.keyStatistics.clear();
        if (!GatherKeyStatistics(m_song)) {
            m_status = kStatusNoResult;
        } else if (m_settings.AutoKey) {
            m_status = runAutomatic();
        } else {
            takeKeyFromSignature();
            m_status = kStatusOk;
        }
    } catch (const std::bad_alloc&) {
        m_status = kStatusNoResult;
    }
    m_song.keyStatistics.clear();
    m_song.keyStatistics.shrink_to_fit();
    return m_status;
}

std::span<const std::int32_t, kKeyCount> KeyAnalyzer::melodyCountScores(int row) const {
    return std::span<const std::int32_t, kKeyCount>(
        m_song.keyStatistics.data() + countScoreIndex(row, 0), kKeyCount);
}

std::span<const std::int32_t, kKeyCount> KeyAnalyzer::melodyDurationScores(int row) const {
    return std::span<const std::int32_t, kKeyCount>(
        m_song.keyStatistics.data() + durationScoreIndex(row, 0), kKeyCount);
}

void KeyAnalyzer::setSongKey(int key) {
    m_song.keys.assign(1, TKeyEntry{static_cast<std::int16_t>(key), 0, 0});
}

Status KeyAnalyzer::runAutomatic() {
    std::vector<std::int32_t>& stats = m_song.keyStatistics;
    const bool perfect = ScoreKeys(stats) == 2;
    std::copy_n(stats.begin() + kStatCounts, 12, m_evidence.counts.begin());
    for (int k = 0; k < kKeyCount; ++k)
        m_evidence.fitness[static_cast<std::size_t>(k)] = keyFitness(stats, k);
    m_evidence.maxFitness = 1.0f;
    m_evidence.minWeight = m_settings.MinWT;

    if (perfect) findGlobalKey();
    if (!buildSegments()) return kStatusKeyNotRecognised;
    if (m_song.keys.empty()) voteOverSegments();
    if (m_song.keys.empty()) {
        settleUnknownKey();
        return m_status;
    }
    settleKnownKey();
    return m_status;
}

void KeyAnalyzer::findGlobalKey() {
    for (int row = 0; row < kWeightRowCount; ++row) {
        // Every major key that fits perfectly, or whose relative minor does,
        // enters together with that relative.
        std::vector<int> keys;
        std::vector<std::int32_t> scores;
        const auto countScores = melodyCountScores(row);
        for (int i = 0; i < 12; ++i) {
            if (m_evidence.fitness[static_cast<std::size_t>(i)] != 1.0f &&
                m_evidence.fitness[static_cast<std::size_t>(i + 12)] != 1.0f)
                continue;
            for (const int k : {i, i + 12}) {
                keys.push_back(k);
                scores.push_back(countScores[static_cast<std::size_t>(k)]);
            }
        }
        exchangeSort<std::int32_t>(scores, keys);
        Vote(keys, countScores, melodyDurationScores(row), m_evidence, m_tally);
    }
    m_globalKey = m_tally.decided();
    if (m_globalKey >= 0) setSongKey(m_globalKey);
}

void KeyAnalyzer::closeSegment(KeySegment& current, bool& lastKeyless, int nextNote) {
    KeySegment closed = current;
    closed.computeKey(m_settings);
    if (lastKeyless)
        m_segments.back() = std::move(closed);
    else
        m_segments.push_back(std::move(closed));
    const KeySegment& last = m_segments.back();
    lastKeyless = last.key < 0;
    if (lastKeyless) return; // its notes stay the start of the next closing

    const auto& melody = m_song.notes.list(kMelodyList);
    current = KeySegment{};
    current.firstNote = nextNote;
    current.firstBar = nextNote < static_cast<int>(melody.size())
                           ? melody[static_cast<std::size_t>(nextNote)].start.bar
                           : last.lastBar;
}

bool KeyAnalyzer::buildSegments() {
    const auto& melody = m_song.notes.list(kMelodyList);
    const int n = static_cast<int>(melody.size());
    KeySegment current;
    current.firstNote = 0;
    current.firstBar = n > 0 ? melody.front().start.bar : 0;
    bool lastKeyless = false;
    int sinceClosing = 0;

    for (int i = 0; i < n; ++i) {
        const TNote& note = melody[static_cast<std::size_t>(i)];
        current.addNote(pitchClassOf(note), note.duration);
        current.lastNote = i;
        current.lastBar = note.start.bar;
        ++sinceClosing;
        if (current.distinctPitchClasses() <= kSegmentPitchClasses) continue;

        bool close = i == 0 || i == n - 1;
        if (!close) {
            const int bar = note.start.bar;
            const int nextBar = melody[static_cast<std::size_t>(i + 1)].start.bar;
            close = nextBar != bar && bar - current.firstBar + 1 >= m_settings.MinTaktBT;
        }
        if (!close) continue;
        closeSegment(current, lastKeyless, i + 1);
        sinceClosing = 0;
    }

    if (!m_segments.empty()) {
        if (sinceClosing > 0) {
            // The tail joins the last segment, which then decides again.
            if (lastKeyless) {
                m_segments.back() = current;
            } else {
                m_segments.back().merge(current);
            }
            m_segments.back().computeKey(m_settings);
        }
        return true;
    }
    if (current.distinctPitchClasses() <= kFewestPitchClasses) return false;
    current.computeKey(m_settings);
    m_segments.push_back(std::move(current));
    return true;
}

void KeyAnalyzer::voteOverSegments() {
    // How many segments chose each key; a segment without a key speaks for
    // every key it voted for at all.
    std::array<std::int32_t, kKeyCount> chosen{};
    for (const KeySegment& segment : m_segments) {
        if (segment.key >= 0) {
            ++chosen[static_cast<std::size_t>(segment.key)];
            continue;
        }
        for (std::size_t k = 0; k < chosen.size(); ++k) {
            if (segment.tally.votes[k] > 0) ++chosen[k];
        }
    }
    std::array<std::int32_t, kKeyCount> sorted = chosen;
    const std::array<int, kKeyCount> order = orderByValue(sorted);

    // The most chosen keys with their relatives, each once, in that order:
    // the list is not ranked by score, so a key chosen by more segments is
    // tried before one that merely scores higher.
    std::vector<int> keys;
    addUnique(keys, order[0]);
    addUnique(keys, relativeKey(order[0]));
    for (std::size_t j = 1; j < order.size(); ++j) {
        if (sorted[j] != sorted[0]) continue;
        addUnique(keys, order[j]);
        addUnique(keys, relativeKey(order[j]));
    }

    // The votes of the global step still count; only the lead is contested anew.
    m_tally.bestKey = -1;
    m_tally.bestCount = 0;
    for (int row = 0; row < kWeightRowCount; ++row) {
        std::vector<int> list = keys;
        m_schemeResults[static_cast<std::size_t>(row)] =
            Vote(list, melodyCountScores(row), melodyDurationScores(row), m_evidence, m_tally);
    }
    if (m_tally.bestCount > 1) setSongKey(m_tally.bestKey);
}

void KeyAnalyzer::settleKnownKey() {
    int key = m_song.keys.front().key;
    if (m_settings.ApplyPKey) {
        key = relativeKey(key);
        m_song.keys.front().key = static_cast<std::int16_t>(key);
    }
    const int marked = markSegmentKeys(m_song.keyMarks, m_segments, key, m_evidence.fitness);
    m_keyResult = m_tally.decided();
    m_status = marked > kMaxMarkedKeys ? kStatusManyKeys : kStatusOk;
}

void KeyAnalyzer::settleUnknownKey() {
    m_keyResult = ambiguousMajorKey(m_schemeResults);
    m_status = m_keyResult >= 0 ? kStatusKeyAmbiguous : kStatusKeyUnknown;
}

void KeyAnalyzer::takeKeyFromSignature() {
    const int key = m_song.QueryMeta(kMetaKeySignature);
    setSongKey(key);
    markMainKey(m_song.keyMarks, key);
    m_keyResult = key;
}

} // namespace korvanta
