#pragma once
// A main window for tests, on installed settings in a temporary INI file,
// with fake message boxes and file dialogs, a scripted channel choice and a
// player on a recording output whose clock the test holds.

#include "playback/HoldingMidiClock.h"
#include "playback/RecordingOutput.h"
#include "support/FakeMessageSink.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"
#include "ui/FakeFileDialogs.h"
#include "ui/FirstStart.h"
#include "ui/TfMain.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace korvanta::ui {

namespace fs = std::filesystem;
using Kind = FakeMessageSink::Kind;

inline QString sample(const char* name) {
    return QString::fromStdString((fs::path(KORVANTA_DATA_DIR) / "samples" / name).string());
}

using test::writeBytes;

// A scale of eight notes on each channel given; program 40 on channel 5.
inline test::Bytes tuneOnChannels(std::initializer_list<int> channels) {
    test::TrackBuilder track;
    track.program(0, 5, 40);
    const int tune[] = {60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65, 64, 62, 60, 60};
    for (const int channel : channels) {
        for (const int pitch : tune)
            track.noteOn(0, channel, pitch, 100).noteOff(480, channel, pitch);
    }
    track.endOfTrack();
    return test::SmfBuilder().header(0, 1, 480).track(track).bytes();
}

struct MainWindowFixture : ::testing::Test {
    fs::path scratch = test::scratchPath("korvanta-ui");
    QString ini;
    FakeMessageSink messages;
    test::FakeFileDialogs dialogs;
    std::vector<std::vector<ChannelOption>> channelQuestions;
    std::optional<int> channelAnswer;
    test::HoldingMidiClock clock;
    RecordingOutput output{clock};
    std::unique_ptr<TfMain> window;
    // Sets more services before the window is made.
    std::function<void(MainWindowServices&)> configure;

    MainWindowFixture() {
        fs::create_directories(scratch);
        ini = QString::fromStdString((scratch / "settings.ini").string());
    }
    ~MainWindowFixture() override {
        window.reset();
        std::error_code ec;
        fs::remove_all(scratch, ec);
    }

    QString path(const char* name) const {
        return QString::fromStdString((scratch / name).string());
    }

    void install() {
        ASSERT_TRUE(ensureSettingsBase(SettingsLocation::iniFile(ini), messages,
                                       QStringLiteral(KORVANTA_DATA_DIR), path("")));
    }

    void makeWindow() {
        MainWindowServices services;
        services.settings = SettingsLocation::iniFile(ini);
        services.messages = &messages;
        services.dialogs = &dialogs;
        services.chooseChannel = [this](const std::vector<ChannelOption>& options,
                                        const PatchNames&, QWidget*) {
            channelQuestions.push_back(options);
            return channelAnswer;
        };
        services.makePlayer = [this] { return std::make_unique<Player>(output, clock); };
        if (configure) configure(services);
        window = std::make_unique<TfMain>(std::move(services));
    }

    // A window started on installed settings, optionally with a file.
    void startWindow(const QString& commandLine = {}) {
        install();
        makeWindow();
        ASSERT_TRUE(window->start(commandLine));
    }

    template <typename T>
    T* find(const char* name) const {
        T* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    bool enabled(const char* action) const { return find<QAction>(action)->isEnabled(); }
    QStringList recentCaptions() const {
        QStringList captions;
        for (QAction* a : find<QMenu>("mnRecentFiles")->actions())
            captions << a->text();
        return captions;
    }
    QVariant stored(const QString& key) const {
        QSettings settings(ini, QSettings::IniFormat);
        return settings.value(key);
    }
};

} // namespace korvanta::ui
