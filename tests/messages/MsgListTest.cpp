// Tests of the message table: exact texts and the message chosen per status.

#include "messages/MsgList.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace korvanta;

namespace {

constexpr std::string_view kPath = "tunes/song.mid";

TEST(MsgList, MelodyAndKeyTextsAreExact) {
    EXPECT_EQ(
        statusText(90),
        "Please, submit only monophonic melody - \n\r using only one note sounding at a time.");
    EXPECT_EQ(statusText(91), "Submitted fragment is too short to find out its harmony "
                              "correctly.\n\r Load the most part of the melody");
    EXPECT_EQ(statusText(92), "  Warning!\n\r Can not recognize key of the melody.\n\r Define its "
                              "key yourself or load other tune.");
    EXPECT_EQ(statusText(95), "   Warning! \n\r Can not recognize key of the melody. \n\r Define "
                              "its key yourself or load other tune.");
    EXPECT_EQ(statusText(96), "Do you want to apply a minor key?");
    EXPECT_EQ(statusText(97), " Warning!\n\r Maybe accompaniment will not be created "
                              "correctly.\n\r Probably there are many keys..\n\r Try it anyway.");
}

TEST(MsgList, NewMelodyStatusesHaveTextsOfTheirOwn) {
    std::set<std::string> texts;
    for (Status s : {90, 91, 92, 93, 94, 98, 99}) {
        const std::string text(statusText(s));
        EXPECT_FALSE(text.empty()) << s;
        EXPECT_EQ(text.find('\r'), text.find('\n') + 1) << s; // lines end in "\n\r"
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 7u);
    EXPECT_NE(statusText(93).find("five different pitch classes"), std::string_view::npos);
    EXPECT_NE(statusText(94).find("no notes"), std::string_view::npos);
    EXPECT_NE(statusText(98).find("No channel"), std::string_view::npos);
    EXPECT_NE(statusText(99).find("at least 7 notes"), std::string_view::npos);
}

TEST(MsgList, CodesWithoutAFixedTextGiveAnEmptyOne) {
    for (Status s : {0, 1, 89, 101, 102, -1, 100, 1000})
        EXPECT_TRUE(statusText(s).empty()) << s;
}

TEST(MsgList, OpeningShowsNothingOnSuccessOrTheChannelChoice) {
    EXPECT_EQ(openStatusMessage(0, kPath).kind, MessageKind::None);
    EXPECT_EQ(openStatusMessage(89, kPath).kind, MessageKind::None);
    EXPECT_TRUE(openStatusMessage(89, kPath).text.empty());
}

TEST(MsgList, OpeningWarnsAboutTheKeyAndRejectsUnusableMelodies) {
    const Message key = openStatusMessage(92, kPath);
    EXPECT_EQ(key.kind, MessageKind::Warning);
    EXPECT_EQ(key.text, statusText(92));
    for (Status s : {90, 91, 93, 94, 98, 99}) {
        const Message m = openStatusMessage(s, kPath);
        EXPECT_EQ(m.kind, MessageKind::Error) << s;
        EXPECT_EQ(m.text, statusText(s)) << s;
    }
}

TEST(MsgList, OtherOpeningFailuresNameTheFileAndTheCode) {
    EXPECT_EQ(openStatusMessage(101, kPath),
              (Message{MessageKind::Error, "Can't open file tunes/song.mid \n\r101"}));
    EXPECT_EQ(openStatusMessage(1, "a.kvt").text, "Can't open file a.kvt \n\r1");
    EXPECT_EQ(unknownFileTypeMessage("song.txt"),
              (Message{MessageKind::Error, "Can't open file song.txt"}));
}

TEST(MsgList, CreationMessagesFollowTheKeyAnalysisOutcome) {
    EXPECT_EQ(createStatusMessage(0).kind, MessageKind::None);
    EXPECT_EQ(createStatusMessage(95), (Message{MessageKind::Error, std::string(statusText(95))}));
    EXPECT_EQ(createStatusMessage(96),
              (Message{MessageKind::Confirmation, "Do you want to apply a minor key?"}));
    EXPECT_EQ(createStatusMessage(97),
              (Message{MessageKind::Warning, std::string(statusText(97))}));
    EXPECT_EQ(createStatusMessage(92), (Message{MessageKind::Plain, "Error 92"}));
    EXPECT_EQ(createStatusMessage(1), (Message{MessageKind::Plain, "Error 1"}));
}

} // namespace
