#include "settings/SettingsStore.h"

#include "support/FakeMessageSink.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace korvanta {
namespace {

using Kind = FakeMessageSink::Kind;

constexpr const char* kSettings = "Settings";
constexpr const char* kRecent = "Recent Files";
constexpr const char* kDeskTop = "DeskTop";

// A record with every field away from its default and inside its limits.
HarmonySettings allChanged() {
    HarmonySettings s;
    s.TSYmode = 0;
    s.ApplyPKey = true;
    s.MinTaktBT = -300;
    s.ModeStT = 0x7FFF0005;
    s.MinWT = 0.55f;
    s.CSFilter = true;
    s.DSFilter = true;
    s.kRecomChr = 0.123456789f;
    s.kDSFilter = 1.0f / 3.0f;
    s.MaxNumCustomChords = 0;
    s.AutoKey = false;
    s.DefAccPatch = 127;
    s.AutoSaveOpt = false;
    return s;
}

// Every test gets a store on an INI file in its own temporary folder, a
// browser lookup that finds "browser", and raw access to the file.
class SettingsStoreFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString iniPath() const { return m_dir.filePath(QStringLiteral("korvanta.ini")); }

    SettingsStore store(SettingsStore::BrowserLookup lookup = [] {
        return QStringLiteral("browser");
    }) {
        return SettingsStore(SettingsLocation::iniFile(iniPath()), m_sink, std::move(lookup));
    }

    void setRaw(const char* group, const QString& name, const QVariant& value) {
        QSettings raw(iniPath(), QSettings::IniFormat);
        raw.setValue(QString::fromLatin1(group) + QLatin1Char('/') + name, value);
    }
    void removeRaw(const char* group, const QString& name) {
        QSettings raw(iniPath(), QSettings::IniFormat);
        raw.remove(QString::fromLatin1(group) + QLatin1Char('/') + name);
    }
    QVariant raw(const char* group, const QString& name) {
        QSettings raw(iniPath(), QSettings::IniFormat);
        return raw.value(QString::fromLatin1(group) + QLatin1Char('/') + name);
    }
    bool hasRaw(const char* group, const QString& name) {
        QSettings raw(iniPath(), QSettings::IniFormat);
        return raw.contains(QString::fromLatin1(group) + QLatin1Char('/') + name);
    }
    // Whether the one error shown mentions text.
    ::testing::AssertionResult oneErrorMentioning(const std::string& text) const {
        if (m_sink.messages().size() != 1)
            return ::testing::AssertionFailure() << m_sink.messages().size() << " messages shown";
        const FakeMessageSink::Message& message = m_sink.last();
        if (message.kind != Kind::Error)
            return ::testing::AssertionFailure() << "not an error: " << message.text;
        if (message.text.find(text) == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << text << "\" not in: " << message.text;
        return ::testing::AssertionSuccess();
    }

    SetupValues setupValues() const {
        SetupValues values;
        values.installPath = m_dir.filePath(QStringLiteral("install"));
        values.workPath = QStringLiteral("work/");
        values.imagesPath = QStringLiteral("images");
        values.dataPath = QStringLiteral("data/");
        values.url = QStringLiteral("www.example.org");
        return values;
    }

    QTemporaryDir m_dir;
    FakeMessageSink m_sink;
};

// ---- set-up and folders -------------------------------------------------------

using SettingsStoreSetup = SettingsStoreFixture;

TEST_F(SettingsStoreSetup, BaseDoesNotExistBeforeSetupAndDoesAfter) {
    EXPECT_FALSE(store().baseExists());
    ASSERT_TRUE(store().writeBase(setupValues()));
    EXPECT_TRUE(store().baseExists());
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreSetup, SetupMakesEveryReadAtStartUpSucceed) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    HarmonySettings settings = allChanged();
    EXPECT_TRUE(store().readSettings(settings));
    EXPECT_EQ(settings, kBuiltInHarmonySettings);
    QStringList files{QStringLiteral("old.mid")};
    int max = -1;
    EXPECT_TRUE(store().readRecentFiles(files, max));
    EXPECT_TRUE(files.isEmpty());
    EXPECT_EQ(max, SettingsStore::kSetupMaxNumberFiles);
    QString browser;
    QString url;
    EXPECT_TRUE(store().readBrowser(browser, url));
    EXPECT_EQ(url, QStringLiteral("www.example.org"));
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreSetup, SetupAgainKeepsValidChoicesAndRepairsBrokenOnes) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    HarmonySettings chosen = allChanged();
    ASSERT_TRUE(store().writeSettings(chosen));
    ASSERT_TRUE(store().writeRecentFiles({QStringLiteral("a.mid")}, 3));
    setRaw(kSettings, QStringLiteral("MinWT"), QStringLiteral("broken"));
    removeRaw(kSettings, QStringLiteral("AutoKey"));

    ASSERT_TRUE(store().writeBase(setupValues()));
    HarmonySettings read;
    ASSERT_TRUE(store().readSettings(read));
    chosen.MinWT = kBuiltInHarmonySettings.MinWT;
    chosen.AutoKey = kBuiltInHarmonySettings.AutoKey;
    EXPECT_EQ(read, chosen);
    QStringList files;
    int max = 0;
    ASSERT_TRUE(store().readRecentFiles(files, max));
    EXPECT_EQ(max, 3);
    EXPECT_EQ(files, QStringList{QStringLiteral("a.mid")});
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreSetup, SetupRefusesARelativeInstallFolder) {
    SetupValues values = setupValues();
    values.installPath = QStringLiteral("relative/folder");
    EXPECT_FALSE(store().writeBase(values));
    EXPECT_TRUE(oneErrorMentioning("relative"));
    EXPECT_FALSE(store().baseExists());
}

TEST_F(SettingsStoreSetup, FoldersAreTheInstallFolderFollowedByTheStoredFolders) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    const QString install = m_dir.filePath(QStringLiteral("install")) + QLatin1Char('/');
    ProgramFolders folders;
    ASSERT_TRUE(store().readPaths(folders));
    EXPECT_EQ(folders.installPath, install);
    EXPECT_EQ(folders.workPath, install + QStringLiteral("work/"));
    EXPECT_EQ(folders.imagesPath, install + QStringLiteral("images/")); // separator added
    EXPECT_EQ(folders.dataPath, install + QStringLiteral("data/"));
}

TEST_F(SettingsStoreSetup, AnAbsoluteOrEmptyStoredFolderIsNotAppendedToTheInstallFolder) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    const QString elsewhere = m_dir.filePath(QStringLiteral("elsewhere"));
    setRaw(kSettings, QStringLiteral("DataPath"), elsewhere);
    setRaw(kSettings, QStringLiteral("WorkPath"), QString());
    ProgramFolders folders;
    ASSERT_TRUE(store().readPaths(folders));
    EXPECT_EQ(folders.dataPath, elsewhere + QLatin1Char('/'));
    EXPECT_EQ(folders.workPath, folders.installPath);
}

TEST_F(SettingsStoreSetup, ReadingFoldersWithoutSettingsFailsQuietlyAndChangesNothing) {
    setRaw(kDeskTop, QStringLiteral("Height"), 10); // the store exists, the group does not
    ProgramFolders folders{QStringLiteral("i/"), QStringLiteral("w/"), QStringLiteral("m/"),
                           QStringLiteral("d/")};
    const ProgramFolders before = folders;
    EXPECT_FALSE(store().readPaths(folders));
    EXPECT_EQ(folders, before);
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreSetup, AMissingOrEmptyFolderValueIsReportedAndChangesNothing) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    removeRaw(kSettings, QStringLiteral("ImagesPath"));
    ProgramFolders folders;
    EXPECT_FALSE(store().readPaths(folders));
    EXPECT_TRUE(oneErrorMentioning("ImagesPath"));
    EXPECT_EQ(folders, ProgramFolders{});

    m_sink.clear();
    ASSERT_TRUE(store().writeBase(setupValues()));
    setRaw(kSettings, QStringLiteral("InstallPath"), QStringLiteral("  "));
    EXPECT_FALSE(store().readPaths(folders));
    EXPECT_TRUE(oneErrorMentioning("InstallPath"));
    EXPECT_EQ(folders, ProgramFolders{});
}

// ---- harmony settings -----------------------------------------------------------

using SettingsStoreHarmony = SettingsStoreFixture;

TEST_F(SettingsStoreHarmony, EveryValueSurvivesAWriteAndARead) {
    const HarmonySettings written = allChanged();
    ASSERT_TRUE(store().writeSettings(written));
    HarmonySettings read;
    ASSERT_TRUE(store().readSettings(read));
    EXPECT_EQ(read, written);

    ASSERT_TRUE(store().writeSettings(kBuiltInHarmonySettings));
    ASSERT_TRUE(store().readSettings(read));
    EXPECT_EQ(read, kBuiltInHarmonySettings);
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreHarmony, ValuesAreStoredAsIntegersDecimalRealsAndZeroOrOne) {
    ASSERT_TRUE(store().writeSettings(kBuiltInHarmonySettings));
    QFile file(iniPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* line : {"TSYmode=1", "ApplyPKey=0", "MinTaktBT=4", "ModeStT=21", "MinWT=0.7",
                             "CSFilter=0", "DSFilter=0", "kDSFilter=0.4", "kRecomChr=0.8",
                             "MaxNumCustomChords=9", "AutoKey=1", "DefAccPatch=0", "AutoSaveOpt=1"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line << " not in:\n"
                                                        << text.toStdString();
}

TEST_F(SettingsStoreHarmony, HandEditedFormsAreAccepted) {
    ASSERT_TRUE(store().writeSettings(kBuiltInHarmonySettings));
    setRaw(kSettings, QStringLiteral("AutoKey"), QStringLiteral("false"));
    setRaw(kSettings, QStringLiteral("MinTaktBT"), QStringLiteral(" 6 "));
    setRaw(kSettings, QStringLiteral("MinWT"), QStringLiteral("1"));
    HarmonySettings read;
    ASSERT_TRUE(store().readSettings(read));
    EXPECT_FALSE(read.AutoKey);
    EXPECT_EQ(read.MinTaktBT, 6);
    EXPECT_EQ(read.MinWT, 1.0f);
}

TEST_F(SettingsStoreHarmony, ReadingWithoutTheSettingsGroupFailsQuietlyAndChangesNothing) {
    HarmonySettings settings = allChanged();
    EXPECT_FALSE(store().readSettings(settings));
    EXPECT_EQ(settings, allChanged());
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreHarmony, AnUnwritableStoreIsReported) {
    QFile blocker(m_dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // A folder can not be created below a plain file.
    SettingsStore unwritable(
        SettingsLocation::iniFile(blocker.fileName() + QStringLiteral("/k.ini")), m_sink);
    EXPECT_FALSE(unwritable.writeSettings(kBuiltInHarmonySettings));
    EXPECT_TRUE(oneErrorMentioning("Can't save"));
}

class SettingsStoreMissingValue : public SettingsStoreFixture,
                                  public ::testing::WithParamInterface<const char*> {};

TEST_P(SettingsStoreMissingValue, IsReportedByNameAndLeavesTheRecordUnchanged) {
    ASSERT_TRUE(store().writeSettings(allChanged()));
    removeRaw(kSettings, QString::fromLatin1(GetParam()));
    HarmonySettings settings;
    EXPECT_FALSE(store().readSettings(settings));
    EXPECT_EQ(settings, kBuiltInHarmonySettings);
    EXPECT_TRUE(oneErrorMentioning(std::string("\"") + GetParam() + "\""));
    EXPECT_TRUE(oneErrorMentioning("missing"));
}

INSTANTIATE_TEST_SUITE_P(EveryValue, SettingsStoreMissingValue,
                         ::testing::Values("TSYmode", "ApplyPKey", "MinTaktBT", "ModeStT", "MinWT",
                                           "CSFilter", "DSFilter", "kDSFilter", "kRecomChr",
                                           "MaxNumCustomChords", "AutoKey", "DefAccPatch",
                                           "AutoSaveOpt"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param);
                         });

struct BadValue {
    const char* name;
    const char* stored;
};

class SettingsStoreBadValue : public SettingsStoreFixture,
                              public ::testing::WithParamInterface<BadValue> {};

TEST_P(SettingsStoreBadValue, IsReportedByNameAndLeavesTheRecordUnchanged) {
    ASSERT_TRUE(store().writeSettings(allChanged()));
    setRaw(kSettings, QString::fromLatin1(GetParam().name), QString::fromLatin1(GetParam().stored));
    HarmonySettings settings;
    EXPECT_FALSE(store().readSettings(settings));
    EXPECT_EQ(settings, kBuiltInHarmonySettings);
    EXPECT_TRUE(oneErrorMentioning(std::string("\"") + GetParam().name + "\""));
}

INSTANTIATE_TEST_SUITE_P(
    MistypedOrOutOfRange, SettingsStoreBadValue,
    ::testing::Values(BadValue{"TSYmode", "advanced"}, BadValue{"TSYmode", "2"},
                      BadValue{"ApplyPKey", "yes"}, BadValue{"ApplyPKey", ""},
                      BadValue{"MinTaktBT", "4.5"}, BadValue{"MinTaktBT", "40000"},
                      BadValue{"ModeStT", "0x15"}, BadValue{"ModeStT", "4294967296"},
                      BadValue{"MinWT", "abc"}, BadValue{"MinWT", "nan"},
                      BadValue{"kDSFilter", "1e300"}, BadValue{"kRecomChr", "inf"},
                      BadValue{"MaxNumCustomChords", "10"}, BadValue{"MaxNumCustomChords", "-1"},
                      BadValue{"DefAccPatch", "128"}, BadValue{"AutoSaveOpt", "2.0"}),
    [](const ::testing::TestParamInfo<BadValue>& param) {
        return std::string(param.param.name) + "_" + std::to_string(param.index);
    });

// ---- MIDI output --------------------------------------------------------------

using SettingsStoreOutput = SettingsStoreFixture;

TEST_F(SettingsStoreOutput, PortAndSoundFontSurviveAWriteAndARead) {
    // A comma and a leading @ are special in INI files.
    const OutputChoice written{QString::fromUtf8("@Synth, Port 1 — ü"),
                               QStringLiteral("/fonts/a b, c.sf2")};
    ASSERT_TRUE(store().writeOutput(written));
    OutputChoice read{QStringLiteral("stale"), QStringLiteral("stale")};
    ASSERT_TRUE(store().readOutput(read));
    EXPECT_EQ(read, written);
    EXPECT_EQ(raw(kSettings, QStringLiteral("MidiPort")).toString(), written.port);

    ASSERT_TRUE(store().writeOutput(OutputChoice{}));
    ASSERT_TRUE(store().readOutput(read));
    EXPECT_EQ(read, OutputChoice{});
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreOutput, AStoreFromBeforeTheChoiceReadsAsTheBuiltInSynth) {
    ASSERT_TRUE(store().writeSettings(kBuiltInHarmonySettings));
    OutputChoice read{QStringLiteral("stale"), QStringLiteral("stale")};
    EXPECT_TRUE(store().readOutput(read));
    EXPECT_EQ(read, OutputChoice{});

    setRaw(kSettings, QStringLiteral("SoundFont"), QStringLiteral("/fonts/gm.sf2"));
    EXPECT_TRUE(store().readOutput(read));
    EXPECT_EQ(read, (OutputChoice{QString(), QStringLiteral("/fonts/gm.sf2")}));
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreOutput, ReadingWithoutTheSettingsGroupFailsQuietlyAndChangesNothing) {
    ASSERT_TRUE(store().writePlacement(WindowPlacement{}));
    OutputChoice read{QStringLiteral("port"), QStringLiteral("font")};
    EXPECT_FALSE(store().readOutput(read));
    EXPECT_EQ(read, (OutputChoice{QStringLiteral("port"), QStringLiteral("font")}));
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreOutput, AValueThatIsNotATextIsReportedByNameAndChangesNothing) {
    const OutputChoice before{QStringLiteral("port"), QStringLiteral("font")};
    for (const char* name : {"MidiPort", "SoundFont"}) {
        m_sink.clear();
        ASSERT_TRUE(store().writeOutput(before));
        // Read back from an INI file as a list, not as one text.
        setRaw(kSettings, QString::fromLatin1(name), QStringList{"a", "b"});
        OutputChoice read = before;
        EXPECT_FALSE(store().readOutput(read)) << name;
        EXPECT_EQ(read, before) << name;
        EXPECT_TRUE(oneErrorMentioning(std::string("\"") + name + "\""));
        EXPECT_TRUE(oneErrorMentioning("not a text"));
    }
}

TEST_F(SettingsStoreOutput, OutputAndHarmonyValuesDoNotOverwriteEachOther) {
    const OutputChoice output{QStringLiteral("port"), QStringLiteral("font.sf3")};
    ASSERT_TRUE(store().writeOutput(output));
    ASSERT_TRUE(store().writeSettings(allChanged()));
    ASSERT_TRUE(store().writeBase(setupValues()));

    OutputChoice read;
    ASSERT_TRUE(store().readOutput(read));
    EXPECT_EQ(read, output);
    HarmonySettings settings;
    ASSERT_TRUE(store().readSettings(settings));
    EXPECT_EQ(settings, allChanged());
}

TEST_F(SettingsStoreOutput, SetupWritesNoOutputSoTheBuiltInSynthIsChosen) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    EXPECT_FALSE(hasRaw(kSettings, QStringLiteral("MidiPort")));
    EXPECT_FALSE(hasRaw(kSettings, QStringLiteral("SoundFont")));
    OutputChoice read{QStringLiteral("stale"), QString()};
    EXPECT_TRUE(store().readOutput(read));
    EXPECT_EQ(read, OutputChoice{});
}

// ---- recent files -------------------------------------------------------------

using SettingsStoreRecentFiles = SettingsStoreFixture;

TEST_F(SettingsStoreRecentFiles, ListAndMaximumSurviveAWriteAndARead) {
    const QStringList written{QStringLiteral("/songs/a.mid"), QStringLiteral("/songs/b, c.kvt"),
                              QString::fromUtf8("/songs/ünïcode.mid")};
    ASSERT_TRUE(store().writeRecentFiles(written, 5));
    QStringList files{QStringLiteral("stale")};
    int max = 0;
    ASSERT_TRUE(store().readRecentFiles(files, max));
    EXPECT_EQ(files, written);
    EXPECT_EQ(max, 5);
    EXPECT_EQ(raw(kRecent, QStringLiteral("File1")).toString(), QStringLiteral("/songs/b, c.kvt"));
}

TEST_F(SettingsStoreRecentFiles, TheListEndsAtTheFirstEmptyValue) {
    setRaw(kRecent, QStringLiteral("MaxNumberFiles"), 9);
    setRaw(kRecent, QStringLiteral("File0"), QStringLiteral("a.mid"));
    setRaw(kRecent, QStringLiteral("File1"), QStringLiteral("b.mid"));
    setRaw(kRecent, QStringLiteral("File2"), QString());
    setRaw(kRecent, QStringLiteral("File3"), QStringLiteral("d.mid"));
    QStringList files;
    int max = 0;
    ASSERT_TRUE(store().readRecentFiles(files, max));
    EXPECT_EQ(files, (QStringList{QStringLiteral("a.mid"), QStringLiteral("b.mid")}));
    EXPECT_EQ(max, 9);
}

TEST_F(SettingsStoreRecentFiles, TheListEndsAtTheMaximumOrAtAnAbsentValue) {
    setRaw(kRecent, QStringLiteral("MaxNumberFiles"), 2);
    setRaw(kRecent, QStringLiteral("File0"), QStringLiteral("a.mid"));
    setRaw(kRecent, QStringLiteral("File1"), QStringLiteral("b.mid"));
    setRaw(kRecent, QStringLiteral("File2"), QStringLiteral("c.mid"));
    setRaw(kRecent, QStringLiteral("File4"), QStringLiteral("e.mid"));
    QStringList files;
    int max = 0;
    ASSERT_TRUE(store().readRecentFiles(files, max));
    EXPECT_EQ(files.size(), 2);

    setRaw(kRecent, QStringLiteral("MaxNumberFiles"), 9);
    ASSERT_TRUE(store().readRecentFiles(files, max));
    EXPECT_EQ(files.size(), 3); // File3 is absent
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreRecentFiles, TheFirstEntryIsReadEvenWithAMaximumOfZero) {
    setRaw(kRecent, QStringLiteral("MaxNumberFiles"), 0);
    setRaw(kRecent, QStringLiteral("File0"), QStringLiteral("a.mid"));
    setRaw(kRecent, QStringLiteral("File1"), QStringLiteral("b.mid"));
    QStringList files;
    int max = 7;
    ASSERT_TRUE(store().readRecentFiles(files, max));
    EXPECT_EQ(files, QStringList{QStringLiteral("a.mid")});
    EXPECT_EQ(max, 0);
}

TEST_F(SettingsStoreRecentFiles, WritingAShorterListRemovesTheEntriesBeyondIt) {
    ASSERT_TRUE(store().writeRecentFiles(
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}, 4));
    ASSERT_TRUE(store().writeRecentFiles({QStringLiteral("x"), QString(), QStringLiteral("y")}, 4));
    EXPECT_EQ(raw(kRecent, QStringLiteral("File0")).toString(), QStringLiteral("x"));
    EXPECT_EQ(raw(kRecent, QStringLiteral("File1")).toString(), QStringLiteral("y"));
    EXPECT_FALSE(hasRaw(kRecent, QStringLiteral("File2")));
    EXPECT_FALSE(hasRaw(kRecent, QStringLiteral("File3")));
}

TEST_F(SettingsStoreRecentFiles, AMaximumOfZeroIsNotWritten) {
    ASSERT_TRUE(store().writeRecentFiles({}, 6));
    ASSERT_TRUE(store().writeRecentFiles({}, 0));
    EXPECT_EQ(raw(kRecent, QStringLiteral("MaxNumberFiles")).toInt(), 6);
}

TEST_F(SettingsStoreRecentFiles, ReadingWithoutTheGroupFailsQuietlyAndChangesNothing) {
    ASSERT_TRUE(store().writeSettings(kBuiltInHarmonySettings));
    QStringList files{QStringLiteral("kept.mid")};
    int max = 4;
    EXPECT_FALSE(store().readRecentFiles(files, max));
    EXPECT_EQ(files, QStringList{QStringLiteral("kept.mid")});
    EXPECT_EQ(max, 4);
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreRecentFiles, AMissingOrBadMaximumIsReportedAndChangesNothing) {
    setRaw(kRecent, QStringLiteral("File0"), QStringLiteral("a.mid"));
    QStringList files{QStringLiteral("kept.mid")};
    int max = 4;
    EXPECT_FALSE(store().readRecentFiles(files, max));
    EXPECT_TRUE(oneErrorMentioning("MaxNumberFiles"));

    m_sink.clear();
    setRaw(kRecent, QStringLiteral("MaxNumberFiles"), -3);
    EXPECT_FALSE(store().readRecentFiles(files, max));
    EXPECT_TRUE(oneErrorMentioning("MaxNumberFiles"));
    EXPECT_EQ(files, QStringList{QStringLiteral("kept.mid")});
    EXPECT_EQ(max, 4);
}

// ---- window placement -----------------------------------------------------------

using SettingsStorePlacement = SettingsStoreFixture;

TEST_F(SettingsStorePlacement, PlacementSurvivesAWriteAndARead) {
    const WindowPlacement written{480, 640, -1200, 35, true};
    ASSERT_TRUE(store().writePlacement(written));
    WindowPlacement read;
    ASSERT_TRUE(store().readPlacement(read));
    EXPECT_EQ(read, written);
    EXPECT_EQ(raw(kDeskTop, QStringLiteral("Maximize")).toString(), QStringLiteral("1"));
}

TEST_F(SettingsStorePlacement, ReadingWithoutTheGroupFailsQuietlyAndChangesNothing) {
    const WindowPlacement before{1, 2, 3, 4, true};
    WindowPlacement placement = before;
    EXPECT_FALSE(store().readPlacement(placement));
    EXPECT_EQ(placement, before);
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStorePlacement, AMissingOrMistypedValueIsReportedAndChangesNothing) {
    ASSERT_TRUE(store().writePlacement({480, 640, 10, 20, false}));
    removeRaw(kDeskTop, QStringLiteral("Maximize"));
    WindowPlacement placement;
    EXPECT_FALSE(store().readPlacement(placement));
    EXPECT_TRUE(oneErrorMentioning("Maximize"));
    EXPECT_EQ(placement, WindowPlacement{});

    m_sink.clear();
    setRaw(kDeskTop, QStringLiteral("Maximize"), 0);
    setRaw(kDeskTop, QStringLiteral("Width"), QStringLiteral("wide"));
    EXPECT_FALSE(store().readPlacement(placement));
    EXPECT_TRUE(oneErrorMentioning("Width"));
    EXPECT_EQ(placement, WindowPlacement{});
}

// ---- web browser and site address ---------------------------------------------

using SettingsStoreBrowser = SettingsStoreFixture;

TEST_F(SettingsStoreBrowser, TheBrowserAndTheSiteAddressAreBothRead) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    QString browser;
    QString url;
    EXPECT_TRUE(store().readBrowser(browser, url));
    EXPECT_EQ(browser, QStringLiteral("browser"));
    EXPECT_EQ(url, QStringLiteral("www.example.org"));
}

TEST_F(SettingsStoreBrowser, WithoutABrowserTheSiteAddressIsStillRead) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    QString browser = QStringLiteral("unchanged");
    QString url;
    EXPECT_FALSE(store([] { return QString(); }).readBrowser(browser, url));
    EXPECT_EQ(browser, QStringLiteral("unchanged"));
    EXPECT_EQ(url, QStringLiteral("www.example.org"));
    EXPECT_TRUE(m_sink.empty());
}

TEST_F(SettingsStoreBrowser, AMissingSiteAddressIsReported) {
    ASSERT_TRUE(store().writeBase(setupValues()));
    removeRaw(kSettings, QStringLiteral("URL"));
    QString browser;
    QString url = QStringLiteral("unchanged");
    EXPECT_FALSE(store().readBrowser(browser, url));
    EXPECT_EQ(url, QStringLiteral("unchanged"));
    EXPECT_TRUE(oneErrorMentioning("URL"));
}

TEST(SettingsStoreBrowserCommand, TheProgramIsCutFromTheShellCommand) {
    EXPECT_EQ(browserProgramFromCommand(
                  QStringLiteral("\"C:\\Program Files\\Web\\browse.exe\" -nohome \"%1\"")),
              QStringLiteral("C:\\Program Files\\Web\\browse.exe"));
    EXPECT_EQ(browserProgramFromCommand(QStringLiteral("C:\\PROGRA~1\\WEB\\BROWSE.EXE -nohome")),
              QStringLiteral("C:\\PROGRA~1\\WEB\\BROWSE.EXE"));
    EXPECT_EQ(browserProgramFromCommand(QStringLiteral("C:\\Web Tools\\browse.Exe %1")),
              QStringLiteral("C:\\Web Tools\\browse.Exe"));
    EXPECT_EQ(browserProgramFromCommand(QStringLiteral("browse %1")), QStringLiteral("browse"));
    EXPECT_EQ(browserProgramFromCommand(QStringLiteral("\"unterminated.exe")),
              QStringLiteral("unterminated.exe"));
    EXPECT_EQ(browserProgramFromCommand(QString()), QString());
}

} // namespace
} // namespace korvanta
