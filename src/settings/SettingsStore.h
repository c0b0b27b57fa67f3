#pragma once
// SettingsStore keeps the user's preferences between runs: the program's
// folders, the harmony settings, the MIDI output, the recent-files list, the
// main window's placement and the site address, in three groups "Settings",
// "Recent Files" and "DeskTop" of one QSettings store.
//
// Every operation opens the store, does its work, closes it again and returns
// whether it succeeded. A group that does not exist makes it return false
// quietly and leaves the caller's values unchanged. A value that is missing,
// of the wrong kind or out of range inside an existing group, and a store that
// can not be read or written, is reported to the user through the
// MessageSink; the operation then returns false and, again, leaves the
// caller's values unchanged (values are only handed back all together).
//
// Owned by the main window (and by the set-up step that installs the
// program); the MessageSink must outlive it. GUI thread only, because errors
// open message boxes.

#include "alg/harmony/HarmonySettings.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace korvanta {

class MessageSink;

// Where the store lives: the platform's own store for the program (the
// registry on Windows, an INI file elsewhere), or an INI file named by path.
class SettingsLocation {
public:
    static constexpr const char* kOrganisation = "Orvel";
    static constexpr const char* kApplication = "Korvanta Demo";

    // The current user's store for organisation "Orvel", application
    // "Korvanta Demo"; reads fall back to the machine-wide store.
    static SettingsLocation platformDefault();
    // An INI file; used by tests and by portable installs.
    static SettingsLocation iniFile(const QString& path);

    // A fresh access object for one operation.
    std::unique_ptr<QSettings> open() const;
    // Readable name for messages (file name or registry path).
    QString describe() const;

private:
    SettingsLocation() = default;
    QString m_iniPath; // empty: the platform default
};

// The program's folders, each ending with a path separator.
struct ProgramFolders {
    QString installPath;
    QString workPath;
    QString imagesPath;
    QString dataPath;

    bool operator==(const ProgramFolders&) const = default;
};

// What an installer writes: the install folder (absolute), the other folders
// relative to it (or absolute), and the site address.
struct SetupValues {
    QString installPath;
    QString workPath;
    QString imagesPath;
    QString dataPath;
    QString url;
};

// Main window placement in its normal state, in pixels.
struct WindowPlacement {
    int height = 0;
    int width = 0;
    int left = 0;
    int top = 0;
    bool maximized = false;

    bool operator==(const WindowPlacement&) const = default;
};

// Where the song plays: the built-in synth or a system MIDI port.
struct OutputChoice {
    QString port;      // empty: the built-in synth; else a system MIDI port's name
    QString soundFont; // the built-in synth's SoundFont file; empty: the system's General MIDI one

    bool operator==(const OutputChoice&) const = default;
};

class SettingsStore {
public:
    // Group and value names other parts of the program rely on.
    static constexpr const char* kSettingsGroup = "Settings";
    static constexpr const char* kRecentFilesGroup = "Recent Files";
    static constexpr const char* kDeskTopGroup = "DeskTop";
    // Length of the recent-files list that set-up stores on a first install.
    static constexpr int kSetupMaxNumberFiles = 8;

    // Finds the program that opens web pages; returns it, or an empty text
    // when the system has none. Replaceable so tests need no real browser.
    using BrowserLookup = std::function<QString()>;

    SettingsStore(SettingsLocation location, MessageSink& messages);
    SettingsStore(SettingsLocation location, MessageSink& messages, BrowserLookup browserLookup);

    // Whether the program's store has been set up (holds anything at all).
    bool baseExists() const;

    // The install folder and the work, images and data folders, each formed
    // as install folder + stored folder (a stored absolute folder is used as
    // it is).
    bool readPaths(ProgramFolders& folders);

    bool readSettings(HarmonySettings& settings);
    bool writeSettings(const HarmonySettings& settings);

    // The output lives in "Settings" as MidiPort and SoundFont. Stores
    // written before there was a choice have neither: a missing value reads
    // as empty (the built-in synth with the system's SoundFont).
    bool readOutput(OutputChoice& choice);
    bool writeOutput(const OutputChoice& choice);

    // Reads the list, most recent first, and its maximum length. The list
    // ends at the first empty (or absent) entry or at maxCount entries; the
    // first entry is read even when maxCount is 0.
    bool readRecentFiles(QStringList& files, int& maxCount);
    // Stores every non-empty entry as File0, File1, ...; stores maxCount
    // only when it is above 0. Entries left from a longer list are removed.
    bool writeRecentFiles(const QStringList& files, int maxCount);

    bool readPlacement(WindowPlacement& placement);
    bool writePlacement(const WindowPlacement& placement);

    // The program that opens web pages and the stored site address. The
    // address is read even when no browser is known; the result is true only
    // when both were found. Nothing is started here.
    bool readBrowser(QString& browserProgram, QString& url);

    // Installs the program's settings: writes the folders and the site
    // address, and the default harmony settings and recent-files length
    // wherever no usable value is stored yet (a user's valid choices stay).
    bool writeBase(const SetupValues& values);

private:
    bool reportError(const QString& text);
    // The store opened for one operation, or nullptr (reported) when it can
    // not be read.
    std::unique_ptr<QSettings> openChecked();
    bool finishWrite(QSettings& settings);

    SettingsLocation m_location;
    MessageSink& m_messages;
    BrowserLookup m_browserLookup;
};

// The program part of a Windows shell command such as
// "\"C:\\Program Files\\Web\\browser.exe\" -url \"%1\"": the quotes dropped and
// the text after ".exe" (any case) cut off. An unquoted command without
// ".exe" is cut at its first blank.
QString browserProgramFromCommand(const QString& command);

// The platform's program for opening web pages, or an empty text: on Windows
// from the shell's command for HTML files, elsewhere the desktop's opener.
QString findPlatformBrowser();

} // namespace korvanta
