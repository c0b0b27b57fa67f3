#include "ImportWindow.h"

#include "ImportTestSupport.h"
#include "styles/StyleFiles.h"
#include "styles/StyleLibrary.h"
#include "styles/StyleMaster.h"
#include "support/FakeMessageSink.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <memory>

using namespace korvanta;
using namespace korvanta::styleimport;
using namespace korvanta::test;

// Qt's font setup leaves fontconfig's caches allocated at exit; that is no
// leak of ours. The leak checker of sanitizer builds asks for this list.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

// One application for all window tests, on the display-less platform. It
// is never destroyed: tearing Qt down during static destruction can crash.
void ensureApplication() {
    static QApplication* app = nullptr;
    if (app) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "korvanta_style_import_tests";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
}

class StyleImportWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        std::filesystem::create_directories(m_dir / "Styles");
        m_window = std::make_unique<ImportWindow>(QString::fromStdString(folder().string()));
        m_window->setMessageSink(m_messages);
    }

    std::filesystem::path folder() const { return m_dir / "Styles"; }
    template <typename T>
    T* child(const char* name) const {
        T* widget = m_window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QCheckBox* meterBox(const char* meter) const {
        return child<QCheckBox>((std::string("meter-") + meter).c_str());
    }
    bool load(const std::string& file, const Bytes& bytes) {
        writeFile(m_dir / file, bytes);
        return m_window->loadSource(QString::fromStdString((m_dir / file).string()));
    }

    ScratchFolder m_dir;
    std::unique_ptr<ImportWindow> m_window;
    FakeMessageSink m_messages;
    // The texts of the warnings the window showed.
    QStringList errors() const {
        QStringList texts;
        for (const FakeMessageSink::Message& m : m_messages.messages()) {
            EXPECT_EQ(m.kind, FakeMessageSink::Kind::Warning);
            texts << QString::fromStdString(m.text);
        }
        return texts;
    }
};

// Channel 1: C2 and E3; channel 3: D3 (left out) and G2.
Bytes twoChannelMidi() {
    TrackBuilder t;
    t.noteOn(0, 0, 36, 100).noteOn(0, 0, 52, 80).noteOn(0, 2, 50, 60);
    t.noteOff(480, 0, 36).noteOff(0, 0, 52).noteOff(0, 2, 50);
    t.noteOn(0, 2, 43, 90).noteOff(480, 2, 43).endOfTrack();
    return singleTrackFile(t, 480);
}

} // namespace

TEST_F(StyleImportWindow, ListsChannelsAndShowsWhatItUnderstood) {
    ASSERT_TRUE(load("pattern.mid", twoChannelMidi()));
    auto* channel = child<QComboBox>("channel");
    ASSERT_EQ(channel->count(), 3);
    EXPECT_EQ(channel->itemText(0), "All (4 notes)");
    EXPECT_EQ(channel->itemText(1), "Channel 1 (2 notes)");
    EXPECT_EQ(channel->itemText(2), "Channel 3 (2 notes)");
    EXPECT_EQ(child<QLineEdit>("name")->text(), "pattern"); // suggested by the file name

    auto* table = child<QTableWidget>("table");
    ASSERT_EQ(table->rowCount(), 4);
    channel->setCurrentIndex(2);
    ASSERT_EQ(table->rowCount(), 2);
    // D3 is greyed with its reason; G2 is a fifth.
    EXPECT_EQ(table->item(0, 2)->text(), "D3");
    EXPECT_EQ(table->item(0, 7)->text(), "is not a chord tone over C: left out");
    EXPECT_NE(table->item(0, 2)->foreground().color(), table->item(1, 2)->foreground().color());
    EXPECT_EQ(table->item(1, 0)->text(), "1:2:000");
    EXPECT_EQ(table->item(1, 4)->text(), "fifth");
    EXPECT_EQ(m_window->conversion().style->events.size(), 1u);
}

TEST_F(StyleImportWindow, OwnMeterStaysCheckedAndAtMostFourAreListed) {
    ASSERT_TRUE(load("pattern.mid", twoChannelMidi()));
    QCheckBox* own = meterBox("4/4");
    EXPECT_TRUE(own->isChecked());
    EXPECT_FALSE(own->isEnabled());
    meterBox("2/2")->setChecked(true);
    meterBox("2/4")->setChecked(true);
    meterBox("3/4")->setChecked(true);
    EXPECT_FALSE(meterBox("6/8")->isEnabled());
    EXPECT_TRUE(meterBox("3/4")->isEnabled()); // a checked box can still be cleared
    EXPECT_EQ(m_window->conversion().style->meters, 0x34242244u);
    meterBox("2/4")->setChecked(false);
    EXPECT_TRUE(meterBox("6/8")->isEnabled());
}

TEST_F(StyleImportWindow, WritesTheStyleIntoTheLibrary) {
    ASSERT_TRUE(load("pattern.mid", twoChannelMidi()));
    child<QLineEdit>("name")->setText("Strum");
    child<QComboBox>("group")->setCurrentIndex(1);
    child<QSpinBox>("octave")->setValue(5);
    ASSERT_TRUE(m_window->writeStyle()) << m_window->statusText().toStdString();
    EXPECT_TRUE(errors().isEmpty());
    EXPECT_TRUE(m_window->statusText().contains("Strum.stt: 3 events, 1 bar, meters 4/4, group 1"))
        << m_window->statusText().toStdString();
    const auto list = readStyleList(folder() / "styles.lst", 7);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->groups[1].size(), 1u);
    const StyleLoad load = loadStyle(folder(), list->groups[1][0]);
    ASSERT_TRUE(load.ok()) << load.message;
    EXPECT_EQ(load.value.baseOctave(), 5);

    // The same name again is refused, and said so.
    EXPECT_FALSE(m_window->writeStyle());
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("already in group 1"));
}

TEST_F(StyleImportWindow, NeverWritesOverABrokenList) {
    ASSERT_TRUE(load("pattern.mid", twoChannelMidi()));
    const std::string broken = "not a list at all";
    writeFile(folder() / "styles.lst", broken);
    EXPECT_FALSE(m_window->writeStyle());
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("cannot be read"));
    EXPECT_EQ(m_window->statusText(), errors()[0]);
    EXPECT_EQ(readFile(folder() / "styles.lst"), broken);
    EXPECT_FALSE(std::filesystem::exists(folder() / "pattern.stt"));
}

TEST_F(StyleImportWindow, WritesOverAStyleFileNoEntryNamesAndSaysSo) {
    ASSERT_TRUE(load("pattern.mid", twoChannelMidi()));
    writeFile(folder() / "pattern.stt", std::string("left by an import that stopped"));
    ASSERT_TRUE(m_window->writeStyle()) << m_window->statusText().toStdString();
    EXPECT_TRUE(m_window->statusText().endsWith("replacing pattern.stt, which no list entry named"))
        << m_window->statusText().toStdString();
    const auto list = readStyleList(folder() / "styles.lst", 7);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->groups[0].size(), 1u);
    EXPECT_EQ(list->groups[0][0].name, "pattern");
    EXPECT_TRUE(loadStyle(folder(), list->groups[0][0]).ok());
}

TEST_F(StyleImportWindow, SaysWhyTheLibraryCannotBeLocked) {
    ASSERT_TRUE(load("pattern.mid", twoChannelMidi()));
    std::filesystem::create_directory(folder() / "styles.lst");
    EXPECT_FALSE(m_window->writeStyle());
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].startsWith("cannot lock the style list ")) << errors()[0].toStdString();
    EXPECT_TRUE(errors()[0].contains("Is a directory")) << errors()[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(folder() / "pattern.stt"));
}

TEST_F(StyleImportWindow, PatternSourceFillsTheChoices) {
    const std::string text = "style GuitarJig\ngroup 1\nprogram 25\nbase C4\ntime 6/8\n"
                             "meters 6/8 12/8\nbars 2\n1:1:0 3/8 C2 90\n";
    ASSERT_TRUE(load("jig.kvp", Bytes(text.begin(), text.end())));
    EXPECT_EQ(child<QLineEdit>("name")->text(), "GuitarJig");
    EXPECT_EQ(child<QComboBox>("group")->currentIndex(), 1);
    EXPECT_EQ(child<QComboBox>("program")->currentIndex(), 25);
    EXPECT_EQ(child<QSpinBox>("octave")->value(), 5);
    EXPECT_EQ(child<QSpinBox>("bars")->value(), 2);
    EXPECT_FALSE(child<QComboBox>("channel")->isEnabled());
    EXPECT_TRUE(meterBox("12/8")->isChecked());
    EXPECT_FALSE(meterBox("4/4")->isChecked());
    ASSERT_TRUE(m_window->conversion().style) << m_window->conversion().error;
    EXPECT_EQ(m_window->conversion().style->meters, meterCode(6, 8) | meterCode(12, 8) << 8);
}

TEST_F(StyleImportWindow, ShowsInstrumentNamesAndReportsUnreadableFiles) {
    writeFile(m_dir / "gmi.txt", std::string("Acoustic Grand Piano\nBright Acoustic Piano\n"));
    ImportWindow window(QString::fromStdString(folder().string()));
    auto* program = window.findChild<QComboBox*>("program");
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->count(), 128);
    EXPECT_EQ(program->itemText(1), "1  Bright Acoustic Piano");
    EXPECT_EQ(program->itemText(2), "2");

    EXPECT_FALSE(load("junk.mid", Bytes{'j', 'u', 'n', 'k'}));
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].startsWith("junk.mid: not a readable MIDI file"))
        << errors()[0].toStdString();
}
