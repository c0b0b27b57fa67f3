// How punctually the player sends a dense song: the song plays in real time
// on the steady clock into the recording backend, and each note message's
// time is compared with its scheduled time (counted from the first note, so
// the start-up does not count). Reported in microseconds as the median, the
// 99th percentile and the maximum of the lateness; the goal is a 99th
// percentile under 1000 us on an idle machine. The same play runs again
// while the main thread keeps a notes view following and repainting, as the
// window's play timer does, to show what the window costs the player.

#include "QtBenchmarkMain.h"
#include "alg/song/ChannelMixState.h"
#include "playback/Player.h"
#include "playback/RecordingOutput.h"
#include "ui/notes/NotesView.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

using namespace korvanta;

namespace {

constexpr int kQuarter = 480;
constexpr int kStepTicks = kQuarter / 16; // a 64th note
constexpr std::uint32_t kTempo = 250'000; // 240 beats per minute: a 64th every 15.6 ms
constexpr int kNotes = 320;               // five seconds

void buildDenseSong(TSong& song) {
    song.meter().SetDivision(kQuarter);
    song.meter().AddMeter(0, 4, 4);
    song.notes.CreateList(kChordList, 10);
    for (int i = 0; i < kNotes; ++i) {
        const int start = i * kStepTicks;
        song.notes.AddNote(static_cast<std::uint8_t>(48 + i % 36), kMelodyList, 100 << 8 | 64,
                           song.meter().ToPos(start), kStepTicks, 0);
        song.notes.length = start + kStepTicks;
    }
    song.notes.savedLength = static_cast<std::uint32_t>(song.notes.length);
}

// The scheduled time of every note message, in microseconds from tick 0.
std::int64_t scheduledUs(std::int64_t ticks) {
    return ticks * kTempo / kQuarter;
}

// What the main thread does while the song plays: nothing, or the window's
// follow-and-repaint of a notes view every few milliseconds.
enum class MainThread { Idle, Repainting };

void runLateness(benchmark::State& state, MainThread mainThread) {
    std::vector<double> lateness;
    for (auto _ : state) {
        SteadyMidiClock clock;
        RecordingOutput output(clock);
        TSong song;
        buildDenseSong(song);
        ChannelMixState mix;
        song.channelSettings = &mix;
        PlayPositions positions;
        Player player(output, clock);
        player.setSong(&song);
        player.setChannelSettings(&mix);
        player.setPositions(&positions);
        player.setDivision(kQuarter);
        player.setTempo(kTempo);
        std::mutex mutex;
        std::condition_variable wake;
        bool ended = false;
        player.setEndHandler([&] {
            std::lock_guard lock(mutex);
            ended = true;
            wake.notify_all();
        });
        if (!player.start(false)) {
            state.SkipWithError("the player did not start");
            return;
        }
        if (mainThread == MainThread::Idle) {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return ended; });
        } else {
            ui::NotesView view;
            view.resize(1200, 400);
            view.show();
            view.setSong(&song);
            view.setPlaying(true);
            QImage image(view.viewport()->size(), QImage::Format_RGB32);
            for (;;) {
                {
                    std::unique_lock lock(mutex);
                    if (wake.wait_for(lock, std::chrono::milliseconds(4), [&] { return ended; }))
                        break;
                }
                view.follow(player.position());
                view.viewport()->render(&image);
                QApplication::processEvents();
            }
            view.setSong(nullptr);
        }
        // Note-ons at step i; note-offs one tick before step i + 1.
        std::vector<RecordedMessage> notes;
        for (const RecordedMessage& m : output.messages())
            if ((messageStatus(m.message) & 0xE0) == 0x80) notes.push_back(m);
        if (notes.size() < 2 * static_cast<std::size_t>(kNotes)) {
            state.SkipWithError("notes were lost");
            return;
        }
        const auto origin = notes.front().time.count();
        for (std::size_t k = 0; k < 2 * static_cast<std::size_t>(kNotes); ++k) {
            const auto i = static_cast<std::int64_t>(k / 2);
            const std::int64_t ticks = k % 2 == 0 ? i * kStepTicks : (i + 1) * kStepTicks - 1;
            lateness.push_back(
                static_cast<double>(notes[k].time.count() - origin - scheduledUs(ticks)));
        }
    }
    std::sort(lateness.begin(), lateness.end());
    const auto at = [&](double q) {
        return lateness[std::min(
            lateness.size() - 1,
            static_cast<std::size_t>(q * static_cast<double>(lateness.size())))];
    };
    state.counters["messages"] = static_cast<double>(lateness.size());
    state.counters["median_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = lateness.back();
}

void BM_PlayerLateness(benchmark::State& state) {
    runLateness(state, MainThread::Idle);
}

void BM_PlayerLatenessWhileTheWindowRepaints(benchmark::State& state) {
    runLateness(state, MainThread::Repainting);
}

} // namespace

BENCHMARK(BM_PlayerLateness)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayerLatenessWhileTheWindowRepaints)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    return korvanta::bench::runQtBenchmarks(argc, argv);
}
