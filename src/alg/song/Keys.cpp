// Keys, scales and degrees; the key statistics and fitness of key detection.

#include "alg/song/Keys.h"

#include "alg/song/TSong.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

namespace korvanta {

static_assert(kStatSize == static_cast<std::size_t>(kKeyStatisticsSize));
static_assert(kStatWork + kKeyCount == kStatSize);
static_assert(sizeof(float) == sizeof(std::int32_t));

namespace {

constexpr double kOneSeventh = 0.14285714285714285714;

bool isDegreeIndex(int d) {
    return d >= 0 && d < kDegreeCount;
}

// Semitone shift of an altered degree: down for the 6th and 7th of a major
// key, up everywhere else.
int alterationShift(int mode, int d) {
    return (mode == 0 && d >= 5) ? -1 : +1;
}

// Adds to a statistics value, holding it at the 32-bit limits instead of
// wrapping (long melodies can sum more ticks than fit).
void addSaturated(std::int32_t& slot, std::int64_t amount) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    slot = static_cast<std::int32_t>(std::clamp(std::int64_t{slot} + amount, kMin, kMax));
}

int pitchClassOf(const TNote& note) {
    return note.pitchClass < 12 ? note.pitchClass : note.pitch % 12;
}

// v / (v + r) of a pitch class against its rival, or a negative value when
// neither occurs.
double share(std::int32_t v, std::int32_t r) {
    const std::int64_t total = std::int64_t{v} + r;
    if (total <= 0) return -1.0;
    return static_cast<double>(v) / static_cast<double>(total);
}

} // namespace

int DegreePitch(int key, int d) {
    if (!isKey(key) || !isDegreeIndex(d)) return -1;
    return KeyScales[key][d];
}

int DegreePitch(int key, int d, int& rival) {
    const int pitch = DegreePitch(key, d);
    rival = pitch < 0 ? -1 : Wrap12(pitch + kNeighbourOffsets[keyMode(key)][d]);
    return pitch;
}

int AlteredDegreePitch(int key, int d) {
    if (!isKey(key) || !isDegreeIndex(d)) return -1;
    return Wrap12(KeyScales[key][d] + alterationShift(keyMode(key), d));
}

int AlteredDegreePitch(int key, int d, int& rival) {
    const int altered = AlteredDegreePitch(key, d);
    rival = altered < 0 ? -1 : Wrap12(altered - kNeighbourOffsets[keyMode(key)][d]);
    return altered;
}

int DegreeOf(int pitchClass, int key) {
    if (!isKey(key) || pitchClass < 0 || pitchClass >= 12) return 0;
    const auto& scale = KeyScales[key];
    const auto& alterations = kAllowedAlterations[keyMode(key)];
    for (int d = 0; d < kDegreeCount; ++d) {
        if (scale[d] == pitchClass) return d + 1;
        if (alterations[d] != 0 && Wrap12(scale[d] + alterations[d]) == pitchClass) return -(d + 1);
    }
    return 0;
}

int WeightSlot(int degree) {
    if (degree >= 1 && degree <= 7) return degree - 1;
    if (degree == -6) return 7;
    if (degree == -7) return 8;
    return 9;
}

int Weight(int degree, int row) {
    if (row < 0 || row >= kWeightRowCount) return 0;
    return kDegreeWeights[row][WeightSlot(degree)];
}

std::uint32_t DegreeMaskBit(int degree) {
    if (degree >= 1 && degree <= 7) return 1u << (degree - 1);
    if (degree == -6 || degree == -7) return 1u << (1 - degree);
    return 0;
}

RelatedKeyPair RelatedKeys(int key) {
    RelatedKeyPair pair;
    if (!isKey(key)) return pair;
    const int fifth = KeyScales[key][4];
    const int fourth = KeyScales[key][3];
    const int subdominantBase = isMinorKey(key) ? 12 : 0;
    for (int k = 0; k < 12; ++k) {
        if (KeyScales[k][0] == fifth) pair.dominant = k;
        if (KeyScales[subdominantBase + k][0] == fourth) pair.subdominant = subdominantBase + k;
    }
    return pair;
}

std::string_view KeyEnglishName(int key) {
    // In the order of KeyLongNames.
    static constexpr std::string_view kNames[kKeyCount] = {
        "C# major", "F# major", "B major",  "Ab major", "Eb major", "Bb major",
        "F major",  "C major",  "G major",  "D major",  "A major",  "E major",
        "Bb minor", "Eb minor", "Ab minor", "F minor",  "C minor",  "G minor",
        "D minor",  "A minor",  "E minor",  "B minor",  "F# minor", "C# minor"};
    if (key < 0 || key >= kKeyCount) return {};
    return kNames[key];
}

std::string_view KeyLongName(int key) {
    if (!isKey(key)) return {};
    return KeyLongNames[key];
}

std::size_t KeyLongName(int key, std::span<char> buffer) {
    if (buffer.empty()) return 0;
    const std::string_view name = KeyLongName(key);
    const std::size_t n = std::min(name.size(), buffer.size() - 1);
    std::copy_n(name.begin(), n, buffer.begin());
    buffer[n] = '\0';
    return n;
}

std::string PitchName(int pitch) {
    // Floor division keeps negative pitches inside the name table.
    const int pitchClass = Wrap12(pitch);
    const int octave = (pitch - pitchClass) / 12;
    return std::string(NoteNames[pitchClass]) + std::to_string(octave);
}

float keyFitness(std::span<const std::int32_t> statistics, int key) {
    if (!isKey(key) || statistics.size() < kStatFitness + kKeyCount) return 0.0f;
    return std::bit_cast<float>(statistics[kStatFitness + static_cast<std::size_t>(key)]);
}

void setKeyFitness(std::span<std::int32_t> statistics, int key, float fitness) {
    if (!isKey(key) || statistics.size() < kStatFitness + kKeyCount) return;
    statistics[kStatFitness + static_cast<std::size_t>(key)] = std::bit_cast<std::int32_t>(fitness);
}

void GatherKeyStatistics(std::span<const TNote> melody,
                         std::span<std::int32_t, kStatSize> statistics) {
    std::fill(statistics.begin(), statistics.end(), 0);
    for (const TNote& note : melody) {
        const auto pc = static_cast<std::size_t>(pitchClassOf(note));
        addSaturated(statistics[kStatCounts + pc], 1);
        addSaturated(statistics[kStatDurations + pc], note.duration);
    }
    for (int key = 0; key < kKeyCount; ++key) {
        std::uint32_t mask = 0;
        for (int pc = 0; pc < 12; ++pc) {
            const std::int32_t count = statistics[kStatCounts + static_cast<std::size_t>(pc)];
            if (count <= 0) continue;
            const std::int32_t duration = statistics[kStatDurations + static_cast<std::size_t>(pc)];
            const int degree = DegreeOf(pc, key);
            for (int row = 0; row < kWeightRowCount; ++row) {
                const std::int64_t weight = Weight(degree, row);
                addSaturated(statistics[countScoreIndex(row, key)], weight * count);
                addSaturated(statistics[durationScoreIndex(row, key)], weight * duration);
            }
            mask |= DegreeMaskBit(degree);
        }
        statistics[kStatDegreeMasks + static_cast<std::size_t>(key)] =
            static_cast<std::int32_t>(mask);
    }
}

bool GatherKeyStatistics(TSong& song) {
    try {
        song.keyStatistics.assign(kStatSize, 0);
    } catch (const std::bad_alloc&) {
        song.keyStatistics.clear();
        return false;
    }
    GatherKeyStatistics(song.notes.list(kMelodyList),
                        std::span<std::int32_t, kStatSize>(song.keyStatistics.data(), kStatSize));
    return true;
}

int ScoreKeys(std::span<const std::int32_t, 12> counts, std::span<float, kKeyCount> fitness) {
    int result = -1;
    for (int key = 0; key < kKeyCount; ++key) {
        double sum = 0.0;
        for (int d = 0; d < kDegreeCount; ++d) {
            int rival = 0;
            const int pitch = DegreePitch(key, d, rival);
            const double s = share(counts[static_cast<std::size_t>(pitch)],
                                   counts[static_cast<std::size_t>(rival)]);
            if (s >= 0.0) sum += s;
            // A rare altered 6th or 7th counts in the key's favour too.
            if (d >= 5) {
                const int altered = AlteredDegreePitch(key, d, rival);
                const double a = share(counts[static_cast<std::size_t>(altered)],
                                       counts[static_cast<std::size_t>(rival)]);
                if (a >= 0.0 && a < 0.5) sum += a;
            }
        }
        const auto value = static_cast<float>(sum * kOneSeventh);
        fitness[static_cast<std::size_t>(key)] = value;
        if (value == 1.0f) result = 2;
    }
    return result;
}

int ScoreKeys(std::span<std::int32_t> statistics) {
    if (statistics.size() < kStatFitness + kKeyCount) return -1;
    std::array<float, kKeyCount> fitness{};
    const int result = ScoreKeys(statistics.subspan<kStatCounts, 12>(), fitness);
    for (int key = 0; key < kKeyCount; ++key)
        setKeyFitness(statistics, key, fitness[key]);
    return result;
}

} // namespace korvanta
