// The instrument and mixer dialog driven through its grid and editors. Its
// edits go to a fake that records them and applies them to the mix, as the
// main window does.

#include "ui/dialogs/TfPatchs.h"

#include <QComboBox>
#include <QHeaderView>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace korvanta::ui {
namespace {

struct Call {
    std::string what;
    int part;
    int value;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call) {
    return out << call.what << '(' << call.part << ", " << call.value << ')';
}

class FakeMixEdits : public MixEdits {
public:
    explicit FakeMixEdits(ChannelMixState& mix) : m_mix(mix) {}

    void setProgram(int part, int program) override {
        calls.push_back({"program", part, program});
        m_mix.setProgram(part, static_cast<std::uint8_t>(program));
    }
    void setMuted(int part, bool muted) override {
        calls.push_back({"muted", part, muted ? 1 : 0});
        m_mix.setMuted(part, muted);
    }
    void setSoloed(int part, bool soloed) override {
        calls.push_back({"soloed", part, soloed ? 1 : 0});
        m_mix.setSoloed(part, soloed);
    }
    void setVolume(int part, int volume) override {
        calls.push_back({"volume", part, volume});
        m_mix.setVolume(part, volume);
    }

    std::vector<Call> calls;

private:
    ChannelMixState& m_mix;
};

PatchNames patchNames() {
    PatchNames names;
    for (int i = 0; i < kPatchCount; ++i)
        names[static_cast<std::size_t>(i)] = "Patch " + std::to_string(i);
    return names;
}

struct TfPatchsTest : ::testing::Test {
    ChannelMixState mix;
    FakeMixEdits edits{mix};
    TfPatchs dialog{edits};
    QTableWidget* grid = nullptr;
    QComboBox* patch = nullptr;
    QSpinBox* volume = nullptr;

    void SetUp() override {
        grid = dialog.findChild<QTableWidget*>(QStringLiteral("sg_ChPs"));
        patch = dialog.findChild<QComboBox*>(QStringLiteral("cb_Patch"));
        volume = dialog.findChild<QSpinBox*>(QStringLiteral("se_Volume"));
        ASSERT_NE(grid, nullptr);
        ASSERT_NE(patch, nullptr);
        ASSERT_NE(volume, nullptr);
    }

    void openDialog() {
        dialog.open(mix, patchNames());
        ASSERT_TRUE(dialog.isVisible());
    }

    QString cell(int channel, int column) const { return grid->item(channel, column)->text(); }

    void click(int channel, int column) {
        const QRect rect = grid->visualItemRect(grid->item(channel, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void typeVolume(const QString& typed) {
        ASSERT_TRUE(volume->isVisible());
        QTest::keyClicks(volume, typed);
    }
};

TEST_F(TfPatchsTest, IsANonModalToolWindowThatStaysOnTop) {
    EXPECT_EQ(dialog.windowTitle(), "Patches");
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dialog.isModal());
    openDialog();
    EXPECT_FALSE(dialog.isModal());
}

TEST_F(TfPatchsTest, GridHasTheHeaderWidthsAndOneRowPerChannel) {
    ASSERT_EQ(grid->rowCount(), 16);
    ASSERT_EQ(grid->columnCount(), 5);
    const QStringList captions{"#", "Patch", "Mute", "Solo", "Volume"};
    const int widths[] = {20, 215, 34, 34, 34};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), captions[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
    }
    for (int r = 0; r < 16; ++r)
        EXPECT_EQ(grid->rowHeight(r), 18) << r;
    EXPECT_FALSE(grid->isEnabled()) << "nothing to edit before a song is shown";
    EXPECT_FALSE(patch->isVisible());
    EXPECT_FALSE(volume->isVisible());
    EXPECT_EQ(volume->minimum(), 0);
    EXPECT_EQ(volume->maximum(), 127);

    openDialog(); // the whole grid shows without scrolling
    const QRect last = grid->visualItemRect(grid->item(15, TfPatchs::kVolume));
    EXPECT_TRUE(grid->viewport()->rect().contains(last)) << "last cell cut off";
}

TEST_F(TfPatchsTest, OpenShowsEveryChannelOfTheMix) {
    mix.setProgram(0, 5);
    mix.setProgram(9, 40); // the drums channel names no program
    mix.setProgram(15, 127);
    mix.setMuted(3, true);
    mix.setSoloed(4, true);
    mix.setVolume(2, 0);
    mix.setVolume(7, 127);
    openDialog();
    EXPECT_TRUE(grid->isEnabled());
    for (int c = 0; c < 16; ++c)
        EXPECT_EQ(cell(c, TfPatchs::kNumber), QString::number(c + 1));
    EXPECT_EQ(cell(0, TfPatchs::kPatch), "Patch 5");
    EXPECT_EQ(cell(1, TfPatchs::kPatch), "Patch 0");
    EXPECT_EQ(cell(9, TfPatchs::kPatch), "General MIDI Drums");
    EXPECT_EQ(cell(15, TfPatchs::kPatch), "Patch 127");
    EXPECT_EQ(cell(3, TfPatchs::kMute), "M");
    EXPECT_EQ(cell(4, TfPatchs::kMute), "");
    EXPECT_EQ(cell(4, TfPatchs::kSolo), "S");
    EXPECT_EQ(cell(3, TfPatchs::kSolo), "");
    EXPECT_EQ(cell(2, TfPatchs::kVolume), "0");
    EXPECT_EQ(cell(7, TfPatchs::kVolume), "127");
    EXPECT_EQ(cell(8, TfPatchs::kVolume), "100");
    EXPECT_TRUE(edits.calls.empty()) << "showing the mix is not an edit";
}

TEST_F(TfPatchsTest, PatchCellOffersTheListAtTheChannelsProgram) {
    mix.setProgram(4, 10);
    openDialog();
    click(4, TfPatchs::kPatch);
    ASSERT_TRUE(patch->isVisible());
    EXPECT_EQ(patch->count(), 128);
    EXPECT_EQ(patch->currentIndex(), 10);
    EXPECT_EQ(patch->width(), grid->columnWidth(TfPatchs::kPatch));
    EXPECT_TRUE(
        patch->geometry().contains(grid->visualItemRect(grid->item(4, TfPatchs::kPatch)).center()));
    EXPECT_TRUE(edits.calls.empty()) << "showing the list is not an edit";

    QTest::keyClick(patch, Qt::Key_Down);
    EXPECT_EQ(cell(4, TfPatchs::kPatch), "Patch 11");
    EXPECT_EQ(edits.calls, (std::vector<Call>{{"program", 4, 11}}));

    // Nothing chosen: no edit, the cell stays.
    emit patch->activated(-1);
    EXPECT_EQ(cell(4, TfPatchs::kPatch), "Patch 11");
    EXPECT_EQ(edits.calls.size(), 1u);
}

TEST_F(TfPatchsTest, DrumsRowOffersNoInstrumentList) {
    openDialog();
    click(9, TfPatchs::kPatch);
    EXPECT_FALSE(patch->isVisible());
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_FALSE(patch->isVisible());
    EXPECT_EQ(cell(9, TfPatchs::kPatch), "General MIDI Drums");
    EXPECT_TRUE(edits.calls.empty());
}

TEST_F(TfPatchsTest, MuteAndSoloToggleBackAndForth) {
    openDialog();
    click(6, TfPatchs::kMute);
    EXPECT_EQ(cell(6, TfPatchs::kMute), "M");
    click(6, TfPatchs::kMute);
    EXPECT_EQ(cell(6, TfPatchs::kMute), "");
    click(0, TfPatchs::kSolo);
    EXPECT_EQ(cell(0, TfPatchs::kSolo), "S");
    click(0, TfPatchs::kSolo);
    EXPECT_EQ(cell(0, TfPatchs::kSolo), "");
    EXPECT_EQ(
        edits.calls,
        (std::vector<Call>{{"muted", 6, 1}, {"muted", 6, 0}, {"soloed", 0, 1}, {"soloed", 0, 0}}));
    EXPECT_FALSE(mix.muted(6));
    EXPECT_FALSE(mix.soloed(0));
}

TEST_F(TfPatchsTest, MuteStartsFromTheMixNotFromAnOldCell) {
    openDialog();
    mix.setMuted(2, true); // changed behind the dialog, no refresh yet
    click(2, TfPatchs::kMute);
    EXPECT_EQ(edits.calls, (std::vector<Call>{{"muted", 2, 0}}));
    EXPECT_EQ(cell(2, TfPatchs::kMute), "");
}

TEST_F(TfPatchsTest, VolumeFieldShowsTheChannelsVolumeAndSendsEveryChange) {
    mix.setVolume(12, 64);
    openDialog();
    click(12, TfPatchs::kVolume);
    ASSERT_TRUE(volume->isVisible());
    EXPECT_EQ(volume->value(), 64);
    EXPECT_TRUE(edits.calls.empty()) << "showing the field is not an edit";
    EXPECT_TRUE(grid->viewport()->rect().contains(volume->geometry()));

    typeVolume("90");
    EXPECT_EQ(cell(12, TfPatchs::kVolume), "90");
    EXPECT_EQ(edits.calls, (std::vector<Call>{{"volume", 12, 9}, {"volume", 12, 90}}));

    QTest::keyClick(volume, Qt::Key_Up);
    EXPECT_EQ(cell(12, TfPatchs::kVolume), "91");
    EXPECT_EQ(edits.calls.back(), (Call{"volume", 12, 91}));
}

TEST_F(TfPatchsTest, TypedVolumeAbove127IsStoredAndShownAs127) {
    openDialog();
    click(1, TfPatchs::kVolume);
    typeVolume("200");
    EXPECT_EQ(cell(1, TfPatchs::kVolume), "127");
    EXPECT_EQ(edits.calls.back(), (Call{"volume", 1, 127}));
    EXPECT_EQ(mix.volume(1), 127);
}

TEST_F(TfPatchsTest, BlanksInTheTypedVolumeReadAsNoughts) {
    openDialog();
    click(3, TfPatchs::kVolume);
    typeVolume("1 5");
    EXPECT_EQ(cell(3, TfPatchs::kVolume), "105");
    EXPECT_EQ(edits.calls.back(), (Call{"volume", 3, 105}));
    volume->selectAll();
    QTest::keyClick(volume, Qt::Key_Space);
    EXPECT_EQ(cell(3, TfPatchs::kVolume), "0");
    EXPECT_EQ(edits.calls.back(), (Call{"volume", 3, 0}));
}

TEST_F(TfPatchsTest, SelectingAnotherCellHidesTheEditors) {
    openDialog();
    click(2, TfPatchs::kPatch);
    ASSERT_TRUE(patch->isVisible());
    click(5, TfPatchs::kVolume);
    EXPECT_FALSE(patch->isVisible());
    ASSERT_TRUE(volume->isVisible());
    click(5, TfPatchs::kMute);
    EXPECT_FALSE(volume->isVisible());
    click(5, TfPatchs::kNumber);
    EXPECT_FALSE(patch->isVisible());
    EXPECT_FALSE(volume->isVisible());
    EXPECT_EQ(edits.calls, (std::vector<Call>{{"muted", 5, 1}}));
}

TEST_F(TfPatchsTest, KeyboardMovesStartsAndCloses) {
    openDialog();
    dialog.activateWindow();
    grid->setFocus();
    grid->setCurrentCell(0, TfPatchs::kPatch);
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(grid->currentColumn(), TfPatchs::kMute);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_TRUE(edits.calls.empty()) << "moving is not toggling";

    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(cell(1, TfPatchs::kMute), "M");
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(cell(1, TfPatchs::kMute), "");
    EXPECT_EQ(edits.calls, (std::vector<Call>{{"muted", 1, 1}, {"muted", 1, 0}}));

    grid->setCurrentCell(1, TfPatchs::kVolume);
    QTest::keyClick(grid, Qt::Key_F2);
    ASSERT_TRUE(volume->isVisible());
    QTest::keyClick(volume, Qt::Key_Escape);
    EXPECT_FALSE(volume->isVisible());
    EXPECT_TRUE(dialog.isVisible()) << "the first Escape closes only the editor";

    grid->setCurrentCell(1, TfPatchs::kPatch);
    QTest::keyClick(grid, Qt::Key_Enter);
    ASSERT_TRUE(patch->isVisible());
    QTest::keyClick(patch, Qt::Key_Escape);
    EXPECT_FALSE(patch->isVisible());
    EXPECT_TRUE(dialog.isVisible());

    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(edits.calls.size(), 2u);
}

TEST_F(TfPatchsTest, DetachEmptiesAndDisablesSoLaterInputDoesNothing) {
    mix.setMuted(0, true);
    openDialog();
    click(3, TfPatchs::kVolume);
    ASSERT_TRUE(volume->isVisible());
    dialog.detach();
    EXPECT_FALSE(dialog.attached());
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_FALSE(volume->isVisible());
    EXPECT_FALSE(patch->isVisible());
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < TfPatchs::kColumnCount; ++c)
            EXPECT_EQ(cell(r, c), "") << r << ',' << c;
    }

    click(0, TfPatchs::kMute);
    click(1, TfPatchs::kSolo);
    click(2, TfPatchs::kPatch);
    click(3, TfPatchs::kVolume);
    grid->setCurrentCell(4, TfPatchs::kMute);
    QTest::keyClick(grid, Qt::Key_Space);
    emit volume->valueChanged(50); // a change still queued from before
    emit patch->activated(3);
    dialog.refresh();
    EXPECT_TRUE(edits.calls.empty());
    EXPECT_FALSE(volume->isVisible());
    EXPECT_FALSE(patch->isVisible());
    EXPECT_EQ(cell(0, TfPatchs::kMute), "");

    // A song opened later is shown again.
    openDialog();
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_EQ(cell(0, TfPatchs::kMute), "M");
}

TEST_F(TfPatchsTest, RefreshShowsTheMixsNewValues) {
    openDialog();
    mix.setProgram(1, 33);
    mix.setMuted(1, true);
    mix.setSoloed(14, true);
    mix.setVolume(14, 12);
    dialog.refresh();
    EXPECT_EQ(cell(1, TfPatchs::kPatch), "Patch 33");
    EXPECT_EQ(cell(1, TfPatchs::kMute), "M");
    EXPECT_EQ(cell(14, TfPatchs::kSolo), "S");
    EXPECT_EQ(cell(14, TfPatchs::kVolume), "12");
    EXPECT_TRUE(edits.calls.empty());
}

TEST_F(TfPatchsTest, RefreshKeepsWhatIsTypedUnlessTheChannelChanged) {
    openDialog();
    click(0, TfPatchs::kVolume);
    typeVolume("200");
    dialog.refresh(); // the main window echoing the edit
    ASSERT_TRUE(volume->isVisible());
    EXPECT_EQ(volume->text(), "200");

    mix.setVolume(0, 30); // its side panel moved the slider
    dialog.refresh();
    EXPECT_TRUE(volume->isVisible());
    EXPECT_EQ(volume->value(), 30);
    EXPECT_EQ(cell(0, TfPatchs::kVolume), "30");
    EXPECT_EQ(edits.calls.back(), (Call{"volume", 0, 127})) << "showing is not an edit";

    click(0, TfPatchs::kPatch);
    mix.setProgram(0, 72);
    dialog.refresh();
    EXPECT_EQ(patch->currentIndex(), 72);
    EXPECT_EQ(edits.calls.back(), (Call{"volume", 0, 127}));
}

} // namespace
} // namespace korvanta::ui
