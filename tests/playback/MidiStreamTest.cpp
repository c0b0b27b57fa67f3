// The stream against the recording backend on a fake clock: what is sent,
// in what order, at which moment.

#include "playback/MidiStream.h"

#include "FakeMidiClock.h"
#include "StreamTestSupport.h"
#include "playback/RecordingOutput.h"

#include <gtest/gtest.h>
#include <thread>

namespace korvanta {
namespace {

using test::makeBuffer;
using test::noteMessages;
using test::noteOff;
using test::noteOn;
using test::Us;

// 480 ticks per quarter at 500000 us per quarter: a quarter is half a second.
class MidiStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(stream.open());
        ASSERT_TRUE(stream.setDivision(480));
        ASSERT_TRUE(stream.setTempo(500000));
    }

    void play(MidiBuffer buffer) {
        ASSERT_TRUE(stream.queue(std::move(buffer)));
        ASSERT_TRUE(stream.restart());
    }

    FakeMidiClock clock;
    RecordingOutput output{clock};
    MidiStream stream{output, clock};
};

TEST_F(MidiStreamTest, PlaysMessagesInOrderAtTheirTicks) {
    play(makeBuffer(
        {{0, noteOn(0, 60)}, {480, noteOff(0, 60)}, {0, noteOn(1, 64)}, {240, noteOff(1, 64)}}));
    clock.runUntil(Us(10'000'000));

    const std::vector<RecordedMessage> expected = {{Us(0), noteOn(0, 60)},
                                                   {Us(500'000), noteOff(0, 60)},
                                                   {Us(500'000), noteOn(1, 64)},
                                                   {Us(750'000), noteOff(1, 64)}};
    EXPECT_EQ(output.messages(), expected);
}

TEST_F(MidiStreamTest, NextBufferContinuesTheTickGridOfTheLastEvent) {
    play(makeBuffer({{0, noteOn(0, 60)}, {480, noteOff(0, 60)}}, 0));
    clock.runUntil(Us(600'000));
    ASSERT_TRUE(stream.queue(makeBuffer({{480, noteOn(0, 62)}}, 1)));
    clock.runUntil(Us(10'000'000));

    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2], (RecordedMessage{Us(1'000'000), noteOn(0, 62)}));
}

TEST_F(MidiStreamTest, BufferQueuedLatePlaysAtOnceInsteadOfBeingLost) {
    play(makeBuffer({{0, noteOn(0, 60)}}, 0));
    clock.runUntil(Us(1'500'000));
    ASSERT_TRUE(stream.queue(makeBuffer({{480, noteOff(0, 60)}}, 1)));
    clock.settle();

    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], (RecordedMessage{Us(1'500'000), noteOff(0, 60)}));
}

TEST_F(MidiStreamTest, TempoSetMidBufferActsAtOnceOnTheRemainingTicks) {
    play(makeBuffer(
        {{0, noteOn(0, 60)}, {480, noteOn(0, 62)}, {480, noteOn(0, 64)}, {480, noteOn(0, 65)}}));
    clock.runUntil(Us(750'000)); // tick 720: half-way to the third note
    ASSERT_EQ(output.messages().size(), 2u);

    ASSERT_TRUE(stream.setTempo(250000));
    EXPECT_EQ(stream.tempo(), 250000u);
    clock.runUntil(Us(10'000'000));

    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[2].time, Us(875'000));   // 240 ticks at a quarter per 250 ms
    EXPECT_EQ(messages[3].time, Us(1'125'000)); // 480 more
}

TEST_F(MidiStreamTest, TempoSetBetweenTwoTicksKeepsThePartOfTheTickAlreadyPlayed) {
    // One tick lasts 1041.67 us; at 1000 us 96% of it has gone by. At the new
    // tempo the rest takes 21 us; starting the tick afresh would take 521.
    play(makeBuffer({{1, noteOn(0, 60)}}));
    clock.runUntil(Us(1000));
    ASSERT_TRUE(stream.setTempo(250000));
    clock.runUntil(Us(10'000));

    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_GE(messages[0].time, Us(1020));
    EXPECT_LE(messages[0].time, Us(1022));
}

TEST_F(MidiStreamTest, TempoEventInABufferChangesTheRateOfLaterTicks) {
    play(makeBuffer({{0, noteOn(0, 60)},
                     {480, tempoEventWord(250000)},
                     {480, noteOn(0, 62)},
                     {480, noteOn(0, 64)}}));
    clock.runUntil(Us(10'000'000));

    const auto messages = output.messages();
    ASSERT_EQ(messages.size(), 3u); // the tempo event is not a message
    EXPECT_EQ(messages[1].time, Us(750'000));
    EXPECT_EQ(messages[2].time, Us(1'000'000));
    EXPECT_EQ(stream.tempo(), 250000u);
}

TEST_F(MidiStreamTest, UnknownEventTypesAndNonMessagesTakeTheirTimeButSendNothing) {
    play(makeBuffer(
        {{0, noteOn(0, 60)}, {480, 0x02000000u}, {0, 0x00000040u}, {480, noteOff(0, 60)}}));
    clock.runUntil(Us(10'000'000));

    const std::vector<RecordedMessage> expected = {{Us(0), noteOn(0, 60)},
                                                   {Us(1'000'000), noteOff(0, 60)}};
    EXPECT_EQ(output.messages(), expected);
}

TEST_F(MidiStreamTest, PositionCountsTicksOnlyWhilePlayingAndResetRewindsIt) {
    EXPECT_EQ(stream.positionTicks(), 0u);
    ASSERT_TRUE(stream.queue(makeBuffer({{0, noteOn(0, 60)}})));
    clock.runUntil(Us(1'000'000)); // paused: time passes, the position does not
    EXPECT_EQ(stream.positionTicks(), 0u);
    EXPECT_TRUE(output.messages().empty());

    ASSERT_TRUE(stream.restart());
    clock.runUntil(Us(1'500'000));
    EXPECT_EQ(stream.positionTicks(), 480u);
    clock.runUntil(Us(3'000'000)); // past the last event it runs on
    EXPECT_EQ(stream.positionTicks(), 1920u);

    (void)stream.reset();
    EXPECT_EQ(stream.positionTicks(), 0u);
}

TEST_F(MidiStreamTest, EachBufferSignalsItsOwnCompletion) {
    ASSERT_TRUE(stream.queue(makeBuffer({{0, noteOn(0, 60)}, {480, noteOff(0, 60)}}, 0)));
    ASSERT_TRUE(stream.queue(makeBuffer({{480, noteOn(0, 62)}, {480, noteOff(0, 62)}}, 1)));
    ASSERT_TRUE(stream.restart());

    clock.runUntil(Us(600'000));
    stream.waitForCompletion(); // signalled before the wait: not lost
    auto completed = stream.takeCompleted();
    ASSERT_EQ(completed.size(), 1u);
    EXPECT_EQ(completed[0].id, 0);
    EXPECT_TRUE(completed[0].done);
    EXPECT_EQ(completed[0].words.size(), 6u); // handed back whole, ready to refill

    std::thread waiter([&] { stream.waitForCompletion(); });
    clock.runUntil(Us(10'000'000));
    waiter.join();
    completed = stream.takeCompleted();
    ASSERT_EQ(completed.size(), 1u);
    EXPECT_EQ(completed[0].id, 1);
    EXPECT_TRUE(stream.takeCompleted().empty());
}

TEST_F(MidiStreamTest, EmptyBufferCompletesAsSoonAsItsTurnComes) {
    MidiBuffer empty;
    empty.words.resize(8192);
    empty.id = 7;
    play(std::move(empty));
    clock.settle();
    const auto completed = stream.takeCompleted();
    ASSERT_EQ(completed.size(), 1u);
    EXPECT_EQ(completed[0].id, 7);
    EXPECT_EQ(completed[0].words.size(), 8192u);
}

TEST_F(MidiStreamTest, ResetHandsBackEveryBufferWakesTheWaiterAndSilencesSoundingNotes) {
    ASSERT_TRUE(stream.queue(makeBuffer(
        {{0, noteOn(0, 60)}, {0, noteOn(2, 67)}, {960, noteOff(0, 60)}, {0, noteOff(2, 67)}}, 0)));
    ASSERT_TRUE(stream.queue(makeBuffer({{480, noteOn(0, 62)}}, 1)));
    ASSERT_TRUE(stream.restart());
    clock.runUntil(Us(250'000)); // both notes of buffer 0 sound

    std::thread waiter([&] { stream.waitForCompletion(); });
    const std::vector<MidiBuffer> returned = stream.reset();
    waiter.join();

    ASSERT_EQ(returned.size(), 2u);
    EXPECT_EQ(returned[0].id, 0);
    EXPECT_EQ(returned[1].id, 1);
    EXPECT_TRUE(returned[0].done && returned[1].done);
    EXPECT_EQ(returned[0].usedWords, 12u);

    const auto messages = output.messages();
    EXPECT_EQ(test::soundingNotes(messages), 0);
    int sustainOff = 0;
    int allNotesOff = 0;
    for (const RecordedMessage& m : messages) {
        if ((messageStatus(m.message) & 0xF0) != 0xB0) continue;
        sustainOff += messageData1(m.message) == 64 ? 1 : 0;
        allNotesOff += messageData1(m.message) == 123 ? 1 : 0;
    }
    EXPECT_EQ(sustainOff, 16);
    EXPECT_EQ(allNotesOff, 16);

    // Nothing of the dropped buffers plays later.
    output.clear();
    clock.runUntil(Us(10'000'000));
    EXPECT_TRUE(output.messages().empty());
}

TEST_F(MidiStreamTest, BuffersHandedBackByResetPlayAgainFromTickZero) {
    play(makeBuffer({{0, noteOn(0, 60)}, {480, noteOff(0, 60)}}));
    clock.runUntil(Us(100'000));
    std::vector<MidiBuffer> returned = stream.reset();
    ASSERT_EQ(returned.size(), 1u);
    output.clear();

    play(std::move(returned[0]));
    clock.runUntil(Us(10'000'000));
    const std::vector<RecordedMessage> expected = {{Us(100'000), noteOn(0, 60)},
                                                   {Us(600'000), noteOff(0, 60)}};
    EXPECT_EQ(noteMessages(output.messages()), expected);
}

TEST_F(MidiStreamTest, ShortMessageGoesOutAtOnceEvenWhilePaused) {
    clock.runUntil(Us(2000));
    ASSERT_TRUE(stream.sendShortMessage(packShortMessage(0xC1, 24, 0)));
    const std::vector<RecordedMessage> expected = {{Us(2000), packShortMessage(0xC1, 24, 0)}};
    EXPECT_EQ(output.messages(), expected);

    const MidiResult invalid = stream.sendShortMessage(0x40);
    EXPECT_FALSE(invalid);
    EXPECT_FALSE(invalid.errorText().empty());
    EXPECT_EQ(output.messages().size(), 1u);
}

TEST_F(MidiStreamTest, MalformedBuffersAreRefusedAndStayWithTheCaller) {
    MidiBuffer partial = makeBuffer({{0, noteOn(0, 60)}, {0, noteOff(0, 60)}});
    partial.usedWords = 4;
    const MidiResult refused = stream.queue(std::move(partial));
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.errorText().find("inside a stream event"), std::string::npos);
    EXPECT_EQ(partial.words.size(), 6u);

    MidiBuffer overlong = makeBuffer({{0, noteOn(0, 60)}});
    overlong.usedWords = 6;
    EXPECT_FALSE(stream.queue(std::move(overlong)));
    EXPECT_EQ(overlong.words.size(), 3u);
}

TEST_F(MidiStreamTest, OutOfRangeTempoAndDivisionAreRefusedAndChangeNothing) {
    EXPECT_FALSE(stream.setTempo(0));
    EXPECT_FALSE(stream.setTempo(0x1000000));
    EXPECT_FALSE(stream.setDivision(0));
    EXPECT_FALSE(stream.setDivision(0x8000));
    EXPECT_EQ(stream.tempo(), 500000u);
    EXPECT_EQ(stream.division(), 480u);
}

TEST_F(MidiStreamTest, FailedScheduledSendIsReportedWithTheBackendsTextByTheNextCall) {
    output.failSendWith("The port went away.");
    play(makeBuffer({{0, noteOn(0, 60)}}, 0));
    clock.settle();
    EXPECT_EQ(stream.takeCompleted().size(), 1u); // the buffer still comes back

    MidiBuffer next = makeBuffer({{0, noteOn(0, 62)}}, 1);
    const MidiResult reported = stream.queue(std::move(next));
    EXPECT_FALSE(reported);
    EXPECT_EQ(reported.errorText(), "The port went away.");
    output.failSendWith(std::nullopt);
    EXPECT_TRUE(stream.queue(std::move(next)));
}

TEST(MidiStream, OpenFailureCarriesTheBackendsText) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    output.failOpenWith("No MIDI device is connected.");
    MidiStream stream(output, clock);

    const MidiResult opened = stream.open();
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.errorText(), "No MIDI device is connected.");
    EXPECT_FALSE(stream.isOpen());
}

TEST(MidiStream, CallsOnAClosedStreamFailWithATextAndNeverBlock) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    MidiStream stream(output, clock);

    const MidiResult queued = stream.queue(test::makeBuffer({{0, noteOn(0, 60)}}));
    EXPECT_FALSE(queued);
    EXPECT_EQ(queued.errorText(), "The MIDI stream is not open.");
    EXPECT_FALSE(stream.restart());
    EXPECT_FALSE(stream.sendShortMessage(noteOn(0, 60)));
    EXPECT_TRUE(stream.reset().empty());
    stream.waitForCompletion();
    stream.close();
    EXPECT_TRUE(output.messages().empty());
}

TEST(MidiStream, OpeningTwiceFailsAndReopeningAfterCloseKeepsTheBackendOpen) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    MidiStream stream(output, clock);
    ASSERT_TRUE(stream.open());
    EXPECT_FALSE(stream.open());
    stream.close();
    stream.close();
    EXPECT_TRUE(output.isOpen());
    ASSERT_TRUE(stream.open());
    EXPECT_EQ(output.openCount(), 1); // a SoundFont is not loaded again for each play
}

TEST(MidiOutputResult, ErrorTextsAreCutToTheLimitWithoutSplittingACharacter) {
    std::string text(255, 'x');
    text += "\xC3\xA9 and more";
    const MidiResult result = MidiResult::failure(text);
    EXPECT_EQ(result.errorText(), std::string(255, 'x'));
    EXPECT_LE(MidiResult::failure(std::string(1000, 'y')).errorText().size(),
              MidiResult::kMaxErrorTextLength);
}

} // namespace
} // namespace korvanta
