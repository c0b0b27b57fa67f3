// The options dialog and the manual harmony dialog driven through their
// controls. Modal runs are answered from a zero timer inside the dialog's
// own event loop; a guard timer rejects a dialog that was left open.

#include "ui/dialogs/TfOptions.h"

#include "ui/dialogs/TfChrMan.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace korvanta::ui {
namespace {

QString plain(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

// Settings that differ from the built-in ones in every field.
HarmonySettings unusualSettings() {
    HarmonySettings s;
    s.TSYmode = 0;
    s.ApplyPKey = true;
    s.MinTaktBT = 7;
    s.ModeStT = 0x2a;
    s.MinWT = 0.55f;
    s.CSFilter = true;
    s.DSFilter = true;
    s.kRecomChr = 0.6f;
    s.kDSFilter = 0.25f;
    s.MaxNumCustomChords = 3;
    s.AutoKey = false;
    s.DefAccPatch = 40;
    s.AutoSaveOpt = false;
    return s;
}

PatchNames patchNames() {
    PatchNames names;
    for (int i = 0; i < kPatchCount; ++i)
        names[static_cast<std::size_t>(i)] = "Patch " + std::to_string(i);
    return names;
}

// The settings without a control on the page, taken from `from` into `into`.
HarmonySettings withControlLessOf(HarmonySettings into, const HarmonySettings& from) {
    into.ApplyPKey = from.ApplyPKey;
    into.MinTaktBT = from.MinTaktBT;
    into.ModeStT = from.ModeStT;
    into.MinWT = from.MinWT;
    into.kRecomChr = from.kRecomChr;
    into.kDSFilter = from.kDSFilter;
    return into;
}

struct TfOptionsTest : ::testing::Test {
    TfOptions dialog;

    template <typename W>
    W* find(const char* name) {
        W* widget = dialog.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Runs edit() and, once the dialog is up, act on it.
    bool editWith(HarmonySettings& settings, std::function<void()> act) {
        return runModal([&] { return dialog.edit(settings, patchNames()); }, std::move(act));
    }

    bool editWith(HarmonySettings& settings, OutputChoice& output, const QStringList& ports,
                  std::function<void()> act) {
        return runModal([&] { return dialog.edit(settings, output, patchNames(), ports); },
                        std::move(act));
    }

    bool runModal(const std::function<bool()>& edit, std::function<void()> act) {
        bool acted = false;
        QTimer::singleShot(0, &dialog, [&] {
            acted = dialog.isVisible();
            act();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dialog, &QDialog::reject);
        guard.start(5000);
        const bool accepted = edit();
        EXPECT_TRUE(acted) << "the dialog was not shown modally";
        EXPECT_TRUE(guard.isActive()) << "the dialog was left open";
        return accepted;
    }

    void setCustomChords(const QString& typed) {
        auto* edit = find<QLineEdit>("mt_NCC");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
    }
};

TEST_F(TfOptionsTest, HasTwoPagesNamedControlsAndADisabledHelp) {
    EXPECT_EQ(dialog.windowTitle(), "Options");
    auto* pages = find<QTabWidget>("pgc_Options");
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(plain(pages->tabText(0)), "Accompaniment");
    EXPECT_EQ(plain(pages->tabText(1)), "Output");
    EXPECT_EQ(plain(find<QCheckBox>("chb_OnGetTon")->text()), "Key Auto Recognition");
    EXPECT_EQ(plain(find<QRadioButton>("rb_Standart")->text()), "Standard");
    EXPECT_EQ(plain(find<QRadioButton>("rb_Advanced")->text()), "Advanced");
    EXPECT_EQ(plain(find<QCheckBox>("chb_DSF")->text()), "Limit Number of Dissonances");
    EXPECT_EQ(plain(find<QCheckBox>("chb_CSF")->text()), "Limit Number of Unusual Chords");
    EXPECT_EQ(plain(find<QCheckBox>("cb_setdopt")->text()), "Save as Default");
    EXPECT_EQ(plain(find<QPushButton>("b_Default")->text()), "Default");
    EXPECT_EQ(find<QPushButton>("b_OK")->text(), "OK");
    EXPECT_EQ(find<QPushButton>("b_Cancel")->text(), "Cancel");
    EXPECT_FALSE(find<QPushButton>("b_Help")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("b_OK")->isDefault());
    EXPECT_EQ(find<QComboBox>("cb_DAP")->count(), 0);
}

TEST_F(TfOptionsTest, LabelsReachTheirControlsAndMnemonicsAreUnique) {
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->buddy()) labels << plain(label->text());
    EXPECT_TRUE(labels.contains("Default Accompaniment Patch"));
    EXPECT_TRUE(labels.contains("Max Number of Custom Chords"));
    EXPECT_TRUE(labels.contains("MIDI Output"));
    EXPECT_TRUE(labels.contains("SoundFont"));

    // Two controls on one letter would make Alt+letter reach only one.
    QStringList captions;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        captions << label->text();
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        captions << button->text();
    QList<QChar> letters;
    for (const QString& caption : captions) {
        const qsizetype at = caption.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= caption.size()) continue;
        const QChar letter = caption.at(at + 1).toLower();
        EXPECT_FALSE(letters.contains(letter)) << caption.toStdString();
        letters << letter;
    }
    EXPECT_GE(letters.size(), 11);
}

TEST_F(TfOptionsTest, ShowsEverySettingInItsControl) {
    dialog.setPatchNames(patchNames());
    dialog.showSettings(unusualSettings());
    EXPECT_FALSE(find<QCheckBox>("chb_OnGetTon")->isChecked());
    EXPECT_EQ(find<QComboBox>("cb_DAP")->currentIndex(), 40);
    EXPECT_TRUE(find<QRadioButton>("rb_Standart")->isChecked());
    EXPECT_FALSE(find<QRadioButton>("rb_Advanced")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("chb_DSF")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("chb_CSF")->isChecked());
    EXPECT_EQ(find<QLineEdit>("mt_NCC")->text(), " 3");
    EXPECT_FALSE(find<QCheckBox>("cb_setdopt")->isChecked());

    dialog.showSettings(kBuiltInHarmonySettings);
    EXPECT_TRUE(find<QCheckBox>("chb_OnGetTon")->isChecked());
    EXPECT_EQ(find<QComboBox>("cb_DAP")->currentIndex(), 0);
    EXPECT_TRUE(find<QRadioButton>("rb_Advanced")->isChecked());
    EXPECT_EQ(find<QLineEdit>("mt_NCC")->text(), " 9");
    EXPECT_TRUE(find<QCheckBox>("cb_setdopt")->isChecked());
}

TEST_F(TfOptionsTest, AnyMethodButZeroShowsAdvanced) {
    HarmonySettings settings = unusualSettings();
    settings.TSYmode = 5;
    dialog.showSettings(settings);
    EXPECT_TRUE(find<QRadioButton>("rb_Advanced")->isChecked());
    EXPECT_EQ(dialog.takeSettings(settings).TSYmode, kTSYmodeAdvanced);
}

TEST_F(TfOptionsTest, PatchShownBeforeTheNamesIsSelectedWhenTheyCome) {
    dialog.showSettings(unusualSettings());
    dialog.setPatchNames(patchNames());
    EXPECT_EQ(find<QComboBox>("cb_DAP")->currentIndex(), 40);
}

TEST_F(TfOptionsTest, TakesTheControlsAndKeepsTheSettingsWithoutControls) {
    dialog.setPatchNames(patchNames());
    const HarmonySettings before = unusualSettings();
    dialog.showSettings(before);
    find<QCheckBox>("chb_OnGetTon")->click();
    find<QComboBox>("cb_DAP")->setCurrentIndex(127);
    find<QRadioButton>("rb_Advanced")->click();
    find<QCheckBox>("chb_DSF")->click();
    find<QCheckBox>("chb_CSF")->click();
    setCustomChords("5");
    find<QCheckBox>("cb_setdopt")->click();

    const HarmonySettings after = dialog.takeSettings(before);
    EXPECT_TRUE(after.AutoKey);
    EXPECT_EQ(after.DefAccPatch, 127);
    EXPECT_EQ(after.TSYmode, kTSYmodeAdvanced);
    EXPECT_FALSE(after.DSFilter);
    EXPECT_FALSE(after.CSFilter);
    EXPECT_EQ(after.MaxNumCustomChords, 5);
    EXPECT_TRUE(after.AutoSaveOpt);
    EXPECT_EQ(after.ApplyPKey, before.ApplyPKey);
    EXPECT_EQ(after.MinTaktBT, before.MinTaktBT);
    EXPECT_EQ(after.ModeStT, before.ModeStT);
    EXPECT_EQ(after.MinWT, before.MinWT);
    EXPECT_EQ(after.kRecomChr, before.kRecomChr);
    EXPECT_EQ(after.kDSFilter, before.kDSFilter);
}

TEST_F(TfOptionsTest, CustomChordCountIsReadAsDecimalAndKeptToNine) {
    dialog.showSettings(unusualSettings());
    const HarmonySettings current = unusualSettings();
    setCustomChords("12");
    EXPECT_EQ(find<QLineEdit>("mt_NCC")->text(), "12");
    EXPECT_EQ(dialog.takeSettings(current).MaxNumCustomChords, 9);
    setCustomChords("08"); // decimal, not octal
    EXPECT_EQ(dialog.takeSettings(current).MaxNumCustomChords, 8);
    setCustomChords("");
    EXPECT_EQ(dialog.takeSettings(current).MaxNumCustomChords, 0);
    setCustomChords("x-4");
    EXPECT_EQ(find<QLineEdit>("mt_NCC")->text(), "4");
    setCustomChords("123");
    EXPECT_EQ(find<QLineEdit>("mt_NCC")->text(), "12");
    find<QLineEdit>("mt_NCC")->setText(" 7");
    EXPECT_EQ(dialog.takeSettings(current).MaxNumCustomChords, 7);
}

TEST_F(TfOptionsTest, PatchStaysWhenNoListWasOffered) {
    dialog.showSettings(unusualSettings());
    EXPECT_EQ(dialog.takeSettings(unusualSettings()).DefAccPatch, 40);
}

TEST_F(TfOptionsTest, OkTakesTheControlsAndTheListIsEmptiedAfterwards) {
    HarmonySettings settings = unusualSettings();
    int listed = 0;
    QString firstName;
    int currentPage = -1;
    const bool accepted = editWith(settings, [&] {
        auto* list = find<QComboBox>("cb_DAP");
        listed = list->count();
        firstName = list->itemText(0);
        currentPage = find<QTabWidget>("pgc_Options")->currentIndex();
        list->setCurrentIndex(12);
        find<QCheckBox>("chb_OnGetTon")->click();
        find<QPushButton>("b_OK")->click();
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(listed, kPatchCount);
    EXPECT_EQ(firstName, "Patch 0");
    EXPECT_EQ(currentPage, 0);
    EXPECT_EQ(find<QComboBox>("cb_DAP")->count(), 0);
    HarmonySettings expected = unusualSettings();
    expected.DefAccPatch = 12;
    expected.AutoKey = true;
    EXPECT_EQ(settings, expected);
}

TEST_F(TfOptionsTest, DefaultThenCancelChangesNothing) {
    HarmonySettings settings = unusualSettings();
    const bool accepted = editWith(settings, [&] {
        find<QPushButton>("b_Default")->click();
        EXPECT_TRUE(find<QRadioButton>("rb_Advanced")->isChecked());
        find<QPushButton>("b_Cancel")->click();
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(settings, unusualSettings());
    EXPECT_EQ(find<QComboBox>("cb_DAP")->count(), 0);
}

TEST_F(TfOptionsTest, DefaultThenOkGivesTheBuiltInValuesButKeepsTheOthers) {
    HarmonySettings settings = unusualSettings();
    ASSERT_TRUE(editWith(settings, [&] {
        find<QPushButton>("b_Default")->click();
        find<QPushButton>("b_OK")->click();
    }));
    EXPECT_EQ(settings, withControlLessOf(kBuiltInHarmonySettings, unusualSettings()));
}

TEST_F(TfOptionsTest, EnterIsOkAndEscapeIsCancel) {
    HarmonySettings settings = unusualSettings();
    EXPECT_TRUE(editWith(settings, [&] {
        find<QCheckBox>("chb_DSF")->click();
        QTest::keyClick(find<QLineEdit>("mt_NCC"), Qt::Key_Return);
    }));
    EXPECT_FALSE(settings.DSFilter);

    EXPECT_FALSE(editWith(settings, [&] {
        find<QCheckBox>("chb_CSF")->click();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    }));
    EXPECT_TRUE(settings.CSFilter);
}

// ---- the output page ------------------------------------------------------------

// No fallback SoundFonts, so what the machine has installed does not matter.
FluidSynthOptions synthWithout() {
    FluidSynthOptions options;
    options.fallbackSoundFonts.clear();
    return options;
}

const QString kNotFound = QStringLiteral("Not found: the built-in synthesizer will be silent");

struct TfOptionsOutputTest : TfOptionsTest {
    TfOptionsOutputTest() { dialog.setSynthOptions(synthWithout()); }

    QComboBox* output() { return find<QComboBox>("cb_Output"); }
    QLineEdit* soundFont() { return find<QLineEdit>("e_SoundFont"); }
    QPushButton* browse() { return find<QPushButton>("b_SoundFont"); }
    QLabel* state() { return find<QLabel>("l_SoundFontState"); }

    QStringList listed() {
        QStringList items;
        for (int i = 0; i < output()->count(); ++i)
            items << output()->itemText(i);
        return items;
    }

    bool soundFontControlsEnabled() {
        const bool edit = soundFont()->isEnabled();
        EXPECT_EQ(browse()->isEnabled(), edit);
        EXPECT_EQ(state()->isEnabled(), edit);
        return edit;
    }

    // A file with content in its own temporary folder.
    QString makeFile(const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("RIFF");
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(TfOptionsOutputTest, ListsTheSynthFirstThenThePortsByName) {
    EXPECT_EQ(listed(), QStringList({"Built-in synthesizer"}));
    EXPECT_EQ(plain(browse()->text()), "Browse...");

    dialog.setOutputPorts({"Midi Through:0", "", "USB Keys, port 1"});
    EXPECT_EQ(listed(),
              QStringList({"Built-in synthesizer", "Midi Through:0", "USB Keys, port 1"}));
    EXPECT_EQ(output()->currentIndex(), 0);
    EXPECT_EQ(dialog.takeOutput().port, QString());
}

TEST_F(TfOptionsOutputTest, ChoosingAPortGivesItsNameAndKeepsTheSoundFont) {
    dialog.setOutputPorts({"A", "B"});
    dialog.showOutput({QString(), QStringLiteral("/fonts/x.sf2")});
    output()->setCurrentIndex(2);
    EXPECT_EQ(dialog.takeOutput(), (OutputChoice{"B", "/fonts/x.sf2"}));

    dialog.showOutput({QStringLiteral("A"), QString()});
    EXPECT_EQ(output()->currentIndex(), 1);
    EXPECT_EQ(soundFont()->text(), QString());
    EXPECT_EQ(dialog.takeOutput(), (OutputChoice{"A", ""}));
}

TEST_F(TfOptionsOutputTest, SoundFontControlsAreEnabledOnlyForTheSynth) {
    dialog.setOutputPorts({"A"});
    dialog.showOutput({});
    EXPECT_TRUE(soundFontControlsEnabled());
    output()->setCurrentIndex(1);
    EXPECT_FALSE(soundFontControlsEnabled());
    output()->setCurrentIndex(0);
    EXPECT_TRUE(soundFontControlsEnabled());

    dialog.showOutput({QStringLiteral("A"), QString()});
    EXPECT_FALSE(soundFontControlsEnabled());
    dialog.showOutput({QStringLiteral("gone"), QString()});
    EXPECT_FALSE(soundFontControlsEnabled());
}

TEST_F(TfOptionsOutputTest, AStoredPortThatIsNotConnectedIsListedAndKept) {
    dialog.setOutputPorts({"A"});
    dialog.showOutput({QStringLiteral("Synth B"), QStringLiteral("f.sf2")});
    EXPECT_EQ(listed(), QStringList({"Built-in synthesizer", "A", "Synth B (not connected)"}));
    EXPECT_EQ(output()->currentIndex(), 2);
    EXPECT_EQ(dialog.takeOutput(), (OutputChoice{"Synth B", "f.sf2"}));

    // Ports that come after the choice keep it too; once back it is listed once.
    dialog.setOutputPorts({});
    EXPECT_EQ(listed(), QStringList({"Built-in synthesizer", "Synth B (not connected)"}));
    EXPECT_EQ(dialog.takeOutput().port, "Synth B");
    dialog.setOutputPorts({"Synth B", "A"});
    EXPECT_EQ(listed(), QStringList({"Built-in synthesizer", "Synth B", "A"}));
    EXPECT_EQ(output()->currentIndex(), 1);

    // Choosing the synth instead gives up the port.
    dialog.setOutputPorts({"A"});
    output()->setCurrentIndex(0);
    EXPECT_EQ(dialog.takeOutput().port, QString());
}

TEST_F(TfOptionsOutputTest, TheStateSaysWhetherTheSoundFontCanBeRead) {
    ASSERT_TRUE(m_dir.isValid());
    const QString font = makeFile(QStringLiteral("chosen.sf2"));
    dialog.showOutput({QString(), font});
    EXPECT_EQ(state()->text(), "Found: " + QDir::toNativeSeparators(font));

    soundFont()->setText(m_dir.filePath(QStringLiteral("missing.sf2")));
    EXPECT_EQ(state()->text(), kNotFound);
    soundFont()->setText(m_dir.path()); // a folder is no SoundFont
    EXPECT_EQ(state()->text(), kNotFound);
    soundFont()->clear();
    EXPECT_EQ(state()->text(), kNotFound);

    // Without a readable choice the synth falls back to the system's file.
    const QString system = makeFile(QStringLiteral("system-GM.sf2"));
    FluidSynthOptions options = synthWithout();
    options.fallbackSoundFonts = {std::filesystem::path(system.toStdString())};
    dialog.setSynthOptions(options);
    EXPECT_EQ(state()->text(), "Found: " + QDir::toNativeSeparators(system));
    soundFont()->setText(m_dir.filePath(QStringLiteral("missing.sf2")));
    EXPECT_EQ(state()->text(), "Found: " + QDir::toNativeSeparators(system));
    soundFont()->setText(font);
    EXPECT_EQ(state()->text(), "Found: " + QDir::toNativeSeparators(font));
}

TEST_F(TfOptionsOutputTest, BrowseStartsAtTheEditAndCancelKeepsIt) {
    QString startedAt;
    QString answer = QStringLiteral("/fonts/picked.sf3");
    dialog.setSoundFontChooser([&](QWidget* parent, const QString& current) {
        EXPECT_EQ(parent, &dialog);
        startedAt = current;
        return answer;
    });
    dialog.showOutput({QString(), QStringLiteral("/fonts/old.sf2")});
    browse()->click();
    EXPECT_EQ(startedAt, "/fonts/old.sf2");
    EXPECT_EQ(dialog.takeOutput().soundFont, QDir::toNativeSeparators(answer));

    answer.clear(); // cancelled
    browse()->click();
    EXPECT_EQ(dialog.takeOutput().soundFont, QDir::toNativeSeparators("/fonts/picked.sf3"));
}

TEST_F(TfOptionsOutputTest, OkTakesTheOutputWithTheSettings) {
    HarmonySettings settings = unusualSettings();
    OutputChoice choice{QStringLiteral("gone"), QStringLiteral("/fonts/a.sf2")};
    QStringList shown;
    ASSERT_TRUE(editWith(settings, choice, {"A", "B"}, [&] {
        EXPECT_TRUE(find<QTabWidget>("pgc_Options")->isTabEnabled(1));
        shown = listed();
        output()->setCurrentIndex(2);
        find<QCheckBox>("chb_OnGetTon")->click();
        find<QPushButton>("b_OK")->click();
    }));
    EXPECT_EQ(shown, QStringList({"Built-in synthesizer", "A", "B", "gone (not connected)"}));
    EXPECT_EQ(choice, (OutputChoice{"B", "/fonts/a.sf2"}));
    EXPECT_TRUE(settings.AutoKey);
}

TEST_F(TfOptionsOutputTest, OpeningAndOkKeepsAPortThatIsNotConnected) {
    HarmonySettings settings = unusualSettings();
    const OutputChoice before{QStringLiteral("gone"), QString()};
    OutputChoice choice = before;
    ASSERT_TRUE(editWith(settings, choice, {"A"}, [&] { find<QPushButton>("b_OK")->click(); }));
    EXPECT_EQ(choice, before);
}

TEST_F(TfOptionsOutputTest, CancelChangesNeitherOutputNorSettings) {
    HarmonySettings settings = unusualSettings();
    const OutputChoice before{QString(), QStringLiteral("/fonts/a.sf2")};
    OutputChoice choice = before;
    EXPECT_FALSE(editWith(settings, choice, {"A"}, [&] {
        output()->setCurrentIndex(1);
        soundFont()->setText(QStringLiteral("/fonts/b.sf2"));
        find<QCheckBox>("chb_DSF")->click();
        find<QPushButton>("b_Cancel")->click();
    }));
    EXPECT_EQ(choice, before);
    EXPECT_EQ(settings, unusualSettings());
}

TEST_F(TfOptionsOutputTest, EditWithoutTheOutputOffersNoOutputPage) {
    HarmonySettings settings = unusualSettings();
    bool pageEnabled = true;
    ASSERT_TRUE(editWith(settings, [&] {
        pageEnabled = find<QTabWidget>("pgc_Options")->isTabEnabled(1);
        find<QPushButton>("b_OK")->click();
    }));
    EXPECT_FALSE(pageEnabled);

    OutputChoice choice;
    ASSERT_TRUE(editWith(settings, choice, {}, [&] {
        pageEnabled = find<QTabWidget>("pgc_Options")->isTabEnabled(1);
        find<QPushButton>("b_OK")->click();
    }));
    EXPECT_TRUE(pageEnabled);
}

// The manual harmony dialog: lists filled the way a caller would fill them,
// item 0 being "nothing chosen".
struct TfChrManTest : ::testing::Test {
    TfChrMan dialog;
    QComboBox* meter = dialog.meterList();
    QComboBox* key = dialog.keyList();
    QCheckBox* withoutKey = dialog.findChild<QCheckBox*>(QStringLiteral("chb_woKey"));
    QPushButton* ok = dialog.findChild<QPushButton*>(QStringLiteral("b_Ok"));

    void fill() {
        meter->addItems({"", "2/4", "3/4", "4/4"});
        key->addItems({"", "C", "G", "a"});
    }
};

TEST_F(TfChrManTest, StartsEmptyWithOkAndTheBoxDisabled) {
    EXPECT_EQ(dialog.windowTitle(), "Making chords progression manually");
    EXPECT_EQ(meter, dialog.findChild<QComboBox*>(QStringLiteral("lb_Meter")));
    EXPECT_EQ(key, dialog.findChild<QComboBox*>(QStringLiteral("lb_Key")));
    ASSERT_NE(withoutKey, nullptr);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(plain(withoutKey->text()), "Chord progression w/o Key");
    EXPECT_EQ(meter->count(), 0);
    EXPECT_EQ(key->count(), 0);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_FALSE(withoutKey->isEnabled());
    EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("b_Cancel"))->isEnabled());
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("b_Help"))->isEnabled());
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->buddy()) labels << plain(label->text());
    EXPECT_EQ(labels, QStringList({"Select Meter", "Select Key"}));
}

TEST_F(TfChrManTest, OkNeedsBothListsAndTheBoxOne) {
    fill();
    EXPECT_FALSE(ok->isEnabled()); // item 0 of each is selected: nothing chosen
    EXPECT_FALSE(withoutKey->isEnabled());

    meter->setCurrentIndex(2);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_TRUE(withoutKey->isEnabled());

    key->setCurrentIndex(1);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(withoutKey->isEnabled());

    meter->setCurrentIndex(0);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_TRUE(withoutKey->isEnabled()); // the key alone is enough

    key->setCurrentIndex(0);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_FALSE(withoutKey->isEnabled());
}

TEST_F(TfChrManTest, TheBoxTakesBothListsOutOfPlay) {
    fill();
    key->setCurrentIndex(3);
    withoutKey->click();
    EXPECT_TRUE(dialog.withoutKey());
    EXPECT_FALSE(meter->isEnabled());
    EXPECT_FALSE(key->isEnabled());
    withoutKey->click();
    EXPECT_FALSE(dialog.withoutKey());
    EXPECT_TRUE(meter->isEnabled());
    EXPECT_TRUE(key->isEnabled());
}

TEST_F(TfChrManTest, EmptiedListsReleaseACheckedBox) {
    fill();
    meter->setCurrentIndex(1);
    withoutKey->setChecked(true);
    meter->setCurrentIndex(0);
    EXPECT_FALSE(withoutKey->isEnabled());
    EXPECT_FALSE(withoutKey->isChecked());
    EXPECT_TRUE(meter->isEnabled());
    EXPECT_TRUE(key->isEnabled());
}

} // namespace
} // namespace korvanta::ui
