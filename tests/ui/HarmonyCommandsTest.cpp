// The main window's harmony and accompaniment commands driven as a user
// would: drafts, the key box, Create Accompaniment with every status, the
// style choice and its switch, the options and the chord palette's edits.

#include "styles/StyleChoice.h"
#include "support/MelodyProject.h"
#include "ui/MainWindowFixture.h"
#include "ui/chords/ChordPalette.h"
#include "ui/dialogs/TfOptions.h"
#include "ui/dialogs/TfStyle.h"
#include "ui/notes/NotesView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace korvanta::ui {
namespace {

struct HarmonyCommandsTest : MainWindowFixture {
    void create() { find<QPushButton>("b_CreateAcc")->click(); }
    void chooseKey(const QString& name) {
        auto* box = find<QComboBox>("cb_Key");
        const int item = box->findText(name);
        ASSERT_GE(item, 0) << name.toStdString();
        box->setCurrentIndex(item);
        emit box->activated(item);
    }
    const TSong& song() const { return *window->session().song(); }
};

TEST_F(HarmonyCommandsTest, CreatingShowsTheChordsTheKeyAndTheStyle) {
    startWindow(sample("twinkle-twinkle.mid"));
    ASSERT_FALSE(window->chordPalette()->built());
    create();
    ASSERT_TRUE(window->session().harmonized());
    EXPECT_TRUE(window->chordPalette()->built());
    EXPECT_EQ(window->chordPalette()->columnCount(), song().barCount);
    EXPECT_TRUE(enabled("mnAStyle"));
    EXPECT_TRUE(find<QPushButton>("b_StyleAcc")->isEnabled());
    EXPECT_EQ(find<QComboBox>("cb_Key")->currentText(), "C-dur");
    EXPECT_TRUE(find<QPushButton>("imgStl")->isVisibleTo(window.get()));
    EXPECT_EQ(window->notesView()->cursorTick(), 0);
    EXPECT_TRUE(song().TestFlags(SongChange::kMix));

    // Pressed again with nothing changed: nothing happens.
    messages.clear();
    const auto before = song().barHarmony;
    create();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(song().barHarmony.size(), before.size());
}

TEST_F(HarmonyCommandsTest, DraftsSetTheSettingsOfTheNextCreation) {
    startWindow(sample("twinkle-twinkle.mid"));
    create();
    find<QAction>("mnHDraft2")->trigger();
    const HarmonySettings& s = window->session().settings();
    EXPECT_EQ(s.MaxNumCustomChords, 5);
    EXPECT_TRUE(s.CSFilter);
    EXPECT_TRUE(s.DSFilter);
    EXPECT_EQ(s.TSYmode, 0);
    EXPECT_TRUE(find<QAction>("mnHDraft2")->isChecked());
    EXPECT_FALSE(find<QAction>("mnHDraft1")->isChecked());
    EXPECT_TRUE(song().TestFlags(SongChange::kSettings));
    EXPECT_TRUE(enabled("mnFSave"));

    // A key by hand unchecks the drafts; Draft I gives the key back to the melody.
    chooseKey("D-dur");
    EXPECT_FALSE(window->session().settings().AutoKey);
    EXPECT_FALSE(find<QAction>("mnHDraft2")->isChecked());
    find<QAction>("mnHDraft1")->trigger();
    EXPECT_TRUE(window->session().settings().AutoKey);
}

TEST_F(HarmonyCommandsTest, AKeyChosenByHandDecidesTheNextCreation) {
    startWindow(sample("twinkle-twinkle.mid"));
    chooseKey("D-dur");
    EXPECT_EQ(song().changes, SongChange::kKeyByHand | SongChange::kMix);
    // A key by hand replaces the new-melody mark: creating offers to save first.
    messages.queueAnswer(MessageAnswer::No);
    create();
    EXPECT_EQ(messages.messages().front().text,
              " Save changes to " + sample("twinkle-twinkle.mid").toStdString() + "?");
    ASSERT_TRUE(window->session().harmonized());
    EXPECT_EQ(find<QComboBox>("cb_Key")->currentText(), "D-dur");
}

TEST_F(HarmonyCommandsTest, TheKeyBoxIgnoresAChoiceWithoutASongOrDuringAPlay) {
    startWindow();
    chooseKey("G-dur");
    EXPECT_EQ(find<QComboBox>("cb_Key")->currentIndex(), 0);

    window->OpenSong(sample("twinkle-twinkle.mid"), OpenOrigin::RecentFiles);
    ASSERT_TRUE(window->session().hasSong());
    const QString shown = find<QComboBox>("cb_Key")->currentText();
    clock.holdAt(std::chrono::microseconds(1));
    window->play();
    ASSERT_TRUE(window->playing());
    const auto events = song().metaEvents.Count();
    chooseKey("G-dur");
    EXPECT_EQ(find<QComboBox>("cb_Key")->currentText(), shown);
    EXPECT_EQ(song().metaEvents.Count(), events);
    window->stopPlay();
}

TEST_F(HarmonyCommandsTest, AnAmbiguousKeyIsAskedAndTheAnswerShown) {
    ASSERT_TRUE(test::writeMelodyProject((scratch / "amb.kvt").string(), test::kAmbiguousMelody));
    startWindow(path("amb.kvt"));
    ASSERT_TRUE(window->session().hasSong());
    find<QAction>("mnHDraft1")->trigger(); // something to create
    // The save prompt first (No), then the key question.
    messages.queueAnswer(MessageAnswer::No);
    messages.queueAnswer(MessageAnswer::Cancel);
    create();
    EXPECT_EQ(messages.last().text, "Do you want to apply a minor key?");
    EXPECT_FALSE(window->session().harmonized());
    EXPECT_FALSE(window->chordPalette()->built());

    for (const auto& [answer, key] :
         {std::pair{MessageAnswer::Yes, "a-moll"}, std::pair{MessageAnswer::No, "C-dur"}}) {
        find<QAction>("mnHDraft1")->trigger();
        messages.queueAnswer(MessageAnswer::No);
        messages.queueAnswer(answer);
        create();
        ASSERT_TRUE(window->session().harmonized());
        EXPECT_EQ(find<QComboBox>("cb_Key")->currentText(), key);
        EXPECT_TRUE(window->chordPalette()->built());
    }
}

TEST_F(HarmonyCommandsTest, AKeyThatCannotBeFoundKeepsTheChordsShown) {
    // amazing-grace hides its key from the analysis: by hand it harmonizes.
    startWindow(sample("amazing-grace.mid"));
    ASSERT_TRUE(window->session().hasSong());
    chooseKey("F-dur");
    messages.setFallbackAnswer(MessageAnswer::No);
    create();
    ASSERT_TRUE(window->session().harmonized());
    const auto chords = song().barHarmony.size();

    // Back to the melody's key: the analysis fails, the chords stay and show.
    find<QAction>("mnHDraft1")->trigger();
    messages.clear();
    create();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.last().kind, Kind::Error);
    EXPECT_NE(messages.last().text.find("Can not recognize key"), std::string::npos);
    EXPECT_FALSE(window->session().settings().AutoKey);
    EXPECT_EQ(song().barHarmony.size(), chords);
    EXPECT_TRUE(window->chordPalette()->built());
    EXPECT_EQ(window->chordPalette()->columnCount(), song().barCount);
}

TEST_F(HarmonyCommandsTest, AFiveFourSongGetsPlainChordsAndNoStyle) {
    test::TrackBuilder track;
    track.timeSig(0, 5, 2);
    const int tune[] = {60, 62, 64, 65, 67};
    for (int bar = 0; bar < 8; ++bar) {
        for (int i = 0; i < 5; ++i) {
            const int pitch = tune[(i + bar) % 5];
            track.noteOn(0, 0, pitch, 90).noteOff(480, 0, pitch);
        }
    }
    track.endOfTrack();
    writeBytes(scratch / "five.mid", test::SmfBuilder().header(0, 1, 480).track(track).bytes());
    startWindow(path("five.mid"));
    ASSERT_TRUE(window->session().hasSong());
    EXPECT_EQ(find<QLabel>("l_Meter")->text(), "5/4");
    create();
    ASSERT_TRUE(window->session().harmonized());
    EXPECT_FALSE(find<QPushButton>("imgStl")->isVisibleTo(window.get()));
    EXPECT_EQ(song().style, nullptr);

    find<QPushButton>("b_StyleAcc")->click();
    EXPECT_EQ(messages.last().kind, Kind::Warning);
    EXPECT_EQ(messages.last().text,
              "There are no accompaniment style \n\r for meter 5/4 in our collection.");
}

TEST_F(HarmonyCommandsTest, SwitchingTheStyleOffAndOnRestoresIt) {
    startWindow(sample("twinkle-twinkle.mid"));
    create();
    auto* image = find<QPushButton>("imgStl");
    ASSERT_TRUE(image->isVisibleTo(window.get()));
    if (!window->session().styleOn()) image->click();
    const StyleRecord* style = song().style;
    ASSERT_NE(style, nullptr);
    image->click();
    EXPECT_EQ(song().style, nullptr);
    EXPECT_EQ(image->toolTip(), "Click to play the style");
    EXPECT_FALSE(image->isChecked());
    image->click();
    EXPECT_EQ(song().style, style);
    EXPECT_EQ(image->toolTip(), "Click to mute the style");
    EXPECT_TRUE(enabled("mnFSave"));
}

TEST_F(HarmonyCommandsTest, SelectStyleTakesTheDialogsChoiceAndAClearedChoiceHidesTheSwitch) {
    startWindow(sample("twinkle-twinkle.mid"));
    create();
    const std::int32_t first = songStyleId(song());
    // Another style of group 0 that fits 4/4 (its identifier is its index).
    std::int32_t other = -1;
    const auto& piano = window->styleLibrary().group(0);
    for (std::size_t i = 0; i < piano.size() && other < 0; ++i) {
        const auto id = static_cast<std::int32_t>(i);
        if (id != first && styleFitsMeter(piano[i].style, 4, 4)) other = id;
    }
    ASSERT_GE(other, 0);
    QTimer::singleShot(0, window.get(), [&] {
        window->styleDialog()->selectById(other);
        window->styleDialog()->accept();
    });
    find<QPushButton>("b_StyleAcc")->click();
    EXPECT_EQ(songStyleId(song()), other);
    EXPECT_EQ(song().style, &window->styleLibrary().byId(other)->style);
    EXPECT_TRUE(find<QPushButton>("imgStl")->isVisibleTo(window.get()));
    EXPECT_TRUE(find<QPushButton>("imgStl")->isChecked());

    // Right-clicking the chosen style again clears the choice.
    QTimer::singleShot(0, window.get(), [&] {
        for (QWidget* w : window->styleDialog()->findChildren<QWidget*>()) {
            if (w->property("styleId").isValid() && w->property("styleId").toInt() == other) {
                QTest::mouseClick(w, Qt::RightButton);
                break;
            }
        }
        window->styleDialog()->accept();
    });
    find<QPushButton>("b_StyleAcc")->click();
    EXPECT_EQ(song().style, nullptr);
    EXPECT_FALSE(find<QPushButton>("imgStl")->isVisibleTo(window.get()));
}

TEST_F(HarmonyCommandsTest, OptionsOkChangesTheSettingsAndCancelDoesNot) {
    startWindow(sample("twinkle-twinkle.mid"));
    auto answer = [&](const QString& count, const char* button) {
        QTimer::singleShot(0, window.get(), [&, count, button] {
            TfOptions* options = window->optionsDialog();
            ASSERT_NE(options, nullptr);
            options->findChild<QLineEdit*>(QStringLiteral("mt_NCC"))->setText(count);
            options->findChild<QPushButton*>(QLatin1String(button))->click();
        });
        find<QAction>("mnAOptions")->trigger();
    };
    answer(QStringLiteral("3"), "b_Cancel");
    EXPECT_EQ(window->session().settings().MaxNumCustomChords,
              kBuiltInHarmonySettings.MaxNumCustomChords);
    EXPECT_FALSE(song().TestFlags(SongChange::kSettings));
    answer(QStringLiteral("3"), "b_OK");
    EXPECT_EQ(window->session().settings().MaxNumCustomChords, 3);
    EXPECT_TRUE(song().TestFlags(SongChange::kSettings));
    EXPECT_TRUE(enabled("mnFSave"));
}

TEST_F(HarmonyCommandsTest, PaletteEditsEnableSaveAndUndoBringsTheChordBack) {
    startWindow(sample("twinkle-twinkle.mid"));
    create();
    dialogs.saveAnswers.push_back(path("t.kvt"));
    find<QAction>("mnFSaveAs")->trigger();
    ASSERT_FALSE(enabled("mnFSave"));

    ChordPalette* palette = window->chordPalette();
    int bar = -1;
    for (int b = 0; b < song().barCount && bar < 0; ++b)
        if (!palette->partRect(b, ChordPalette::Part::Chord, 2).isEmpty()) bar = b;
    ASSERT_GE(bar, 0);
    const std::int16_t before = song().BarChord(bar);
    window->show();
    window->notesView()->setCursorTick(song().meter().BarStart(bar));
    QTest::mouseClick(palette, Qt::RightButton, {},
                      palette->partRect(bar, ChordPalette::Part::Chord, 2).center());
    EXPECT_NE(song().BarChord(bar), before);
    EXPECT_TRUE(enabled("mnFSave"));
    find<QAction>("mnEUndo")->trigger();
    EXPECT_EQ(song().BarChord(bar), before);
}

TEST_F(HarmonyCommandsTest, TheChordsComeAndGoWithTheSong) {
    startWindow(sample("greensleeves.mid"));
    create();
    ASSERT_TRUE(window->session().saveProject(path("green.kvt").toStdString()).ok());
    ASSERT_TRUE(window->CloseSong(true));
    EXPECT_FALSE(window->chordPalette()->built());
    window->OpenSong(path("green.kvt"), OpenOrigin::RecentFiles);
    EXPECT_TRUE(window->chordPalette()->built());
    EXPECT_EQ(window->chordPalette()->columnCount(), song().barCount);
}

} // namespace
} // namespace korvanta::ui
