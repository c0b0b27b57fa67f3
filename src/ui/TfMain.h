#pragma once
// TfMain: the main window. It holds at most one open song through its
// TuneSession, shows it in the notes view, and runs the commands that open,
// close and save it; it reads the settings at start-up and writes them back
// when it closes. Message boxes and file dialogs go through the services it
// is given, so tests drive it without a person; the player is made on first
// use (loading the synth's sounds takes a while).

#include "playback/Player.h"
#include "session/PatchNames.h"
#include "session/TuneSession.h"
#include "settings/SettingsStore.h"
#include "styles/StyleLibrary.h"
#include "ui/RecentFiles.h"
#include "ui/WindowQuestions.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QSlider;
class QSpinBox;
class QStatusBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace korvanta::ui {

class ChordPalette;
class FileDialogs;
class HelpWindow;
class PrintDialogs;
class TfAbout;
class NotesView;
class StyleAudition;
class MixEdits;
class TfChrMan;
class TfOptions;
class TfPatchs;
class TfStyle;

using PlayerFactory = std::function<std::unique_ptr<Player>()>;

// What the window is given from outside.
struct MainWindowServices {
    SettingsLocation settings = SettingsLocation::platformDefault();
    MessageSink* messages = nullptr;      // required
    FileDialogs* dialogs = nullptr;       // required
    ChannelChooser chooseChannel;         // empty: the dialog TfSetChn
    PlayerFactory makePlayer;             // empty: the built-in synth
    QString importTool;                   // the style import program; empty: none
    PrintDialogs* printDialogs = nullptr; // empty: the platform's print dialogs
    // Starts a program without waiting (the browser); empty: QProcess.
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
    // The program that opens web pages; empty: the system's.
    SettingsStore::BrowserLookup browserLookup;
    // Shows the About box; empty: modally.
    std::function<void(TfAbout& about)> showAbout;
};

// Where an open comes from: Recent Files and dropped files are listed at the
// top of Recent Files afterwards; a file named on the command line is not.
enum class OpenOrigin { Dialog, CommandLine, RecentFiles, Drop };

enum class SaveMode { Save, SaveAs, Export, Prompt };

// The six command-state presets.
enum CommandState {
    kNoSongCommands = 0,
    kSongCommands = 1,
    kSaveDisabled = 2,
    kEmptyWindow = 3,
    kSaveEnabled = 4,
    kHarmonizedSong = 5,
};

class TfMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "   Korvanta Demo";
    static constexpr const char* kHelpPanelText = "For Help, press F1";
    static constexpr int kIdleTimerMs = 100;
    static constexpr int kDefaultVolume = 100;

    explicit TfMain(MainWindowServices services, QWidget* parent = nullptr);
    ~TfMain() override;

    // Reads the settings, the instrument names and the style library, then
    // opens commandLine (when not empty). False after "Please run setup
    // again": the program then ends without writing anything back.
    bool start(const QString& commandLine = {});

    // --- Commands ----------------------------------------------------------
    void OpenSong(QString path, OpenOrigin origin);
    bool CloseSong(bool offerSave);
    void SaveSong(SaveMode mode);
    void SetCommandState(int preset);
    void AddRecentFile(const QString& path);
    // Runs the close query's steps; the window may close when it returns true.
    bool closeQuery();
    void CreateAccompaniment();
    void SelectStyle();
    void SwitchStyle();
    void ShowOptions();
    // File > Print (after the print dialog) and Print preview: the chords grid.
    void printChordsGrid(bool preview);
    // The Help menu.
    void mnContentsClick();
    void showHelpTopic(int context);
    void mnBRFClick();
    void mnAboutClick();

    // --- State, for the views and for tests --------------------------------
    TuneSession& session() { return m_session; }
    NotesView* notesView() const { return m_notes; }
    ChordPalette* chordPalette() const { return m_palette; }
    TfStyle* styleDialog() const { return m_styleDialog; }
    TfOptions* optionsDialog() const { return m_options; }
    TfPatchs* patchsDialog() const { return m_patchs; }
    HelpWindow* helpWindow() const { return m_helpWindow.get(); }
    const OutputChoice& output() const { return m_output; }
    const RecentFiles& recentFiles() const { return m_recent; }
    const PatchNames& patchNames() const { return m_patchNames; }
    const ProgramFolders& folders() const { return m_folders; }
    const WindowPlacement& placement() const { return m_placement; }
    const StyleLibrary& styleLibrary() const { return m_styles; }
    bool cancelFlag() const { return m_cancelFlag; }
    int savedKind() const { return m_savedKind; }
    int playTimerInterval() const { return m_playTimer.interval(); }
    // A play runs: from its start until its end notice (or a stop here).
    bool playing() const;
    Player* player() const { return m_player.get(); }
    std::uint32_t tempo() const { return m_tempo; }

    // Transport: plays from the cursor (the loop while one is on) and stops.
    void play();
    void stopPlay();
    void b_PlayClick();
    // One tick of the play timer (tests call it instead of waiting).
    void onPlayTimer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

signals:
    // From the player's thread, delivered on the window's; `play` numbers it.
    void playEnded(int play);
    void playFailed(QString caption, QString text);

private:
    struct Controls;
    class WindowMixEdits;

    // Building the window (TfMainLayout.cpp).
    void buildWindow();
    void buildMenus();
    void buildToolBar();
    QWidget* buildMelodyArea();
    QWidget* buildMiddleBar();
    QWidget* buildChordsArea();
    void buildStatusBar();

    // Song flow (SongCommands.cpp).
    void ShowSongInfo(SongKind kind);
    void resetDisplays();
    void setCaptionSuffix(const QString& suffix);
    void rebuildRecentMenu();
    void showMessages(const SessionResult& result);
    void afterProjectSaved(const std::string& path);
    void detachSong();
    void buildPalette();
    void attachSong();
    void setSongCommandsEnabled(bool enabled);
    void showPatchCaptions();
    QString dialogFolder() const;

    // Harmony commands (HarmonyCommands.cpp).
    void onDraftChosen(int tag);
    void checkDraft(int tag);
    void onKeyChosen(int item);
    void setKeyBox(int item);
    void resetChordDisplay();
    void showStyleImage();
    void onStyleLibraryReloaded();
    void onChordOctaveChanged(int octave);

    // Printing and help (PrintAndHelpCommands.cpp).
    void connectPrintAndHelp();
    void createHelpWindow();

    // Start-up and shutdown (TfMain.cpp).
    bool readSettings();
    void writeSettings();
    void readPatchNames();
    void restorePlacement();
    Player& ensurePlayer();

    // Transport and mixer (Transport.cpp).
    void connectTransport();
    void endPlay();
    void onPlayEnded(int play);
    void b_Play2Click();
    void me_FromToClick(QLineEdit* text);
    void me_FromToKeyUp();
    void applyTempo(int bpm);
    void sb_TempoScroll(int bpm);
    void t_TempoChange(const QString& text);
    void trb_VolChange(int part, int position);
    void setPartVolume(int volume, int part);
    void chb_MuteClick(int part, bool down);
    void PatchClick(int part);
    void cb_PatchsClick(int program);
    void setPartProgram(int part, int program);
    void mnAPInstrClick();
    std::unique_ptr<MixEdits> makeMixEdits();

    MainWindowServices m_services;
    MessageSink& m_messages;
    FileDialogs& m_dialogs;
    PatchNames m_patchNames = numberedPatchNames();
    WindowQuestions m_questions;
    StyleLibrary m_styles;
    TuneSession m_session;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<Player> m_player;
    std::unique_ptr<Controls> m_c;
    NotesView* m_notes = nullptr;      // owned by the melody area
    ChordPalette* m_palette = nullptr; // owned by the chords area
    TfStyle* m_styleDialog = nullptr;  // made at start-up, kept
    TfOptions* m_options = nullptr;    // made on first use, kept
    TfChrMan* m_manual = nullptr;      // made on first use, kept
    TfPatchs* m_patchs = nullptr;      // made on first use, kept
    std::unique_ptr<MixEdits> m_mixEdits;
    std::unique_ptr<StyleAudition> m_audition;
    std::unique_ptr<PrintDialogs> m_ownPrintDialogs; // when none were given
    PrintDialogs* m_printDialogs = nullptr;
    std::unique_ptr<HelpWindow> m_helpWindow; // made at start-up
    RecentFiles m_recent;
    ProgramFolders m_folders;
    WindowPlacement m_placement;
    QString m_browserProgram;
    QString m_siteUrl;
    QString m_lastFolder; // of the last file opened or saved
    QTimer m_playTimer;
    int m_keyItem = 0; // what the key box shows
    bool m_windowPlaying = false;
    int m_playNumber = 0;           // of the latest play; end notices of older ones are stale
    std::uint32_t m_tempo = 500000; // microseconds per quarter, from the tempo controls
    QString m_tempoText;            // the tempo field's last accepted text
    OutputChoice m_output;          // the output the next play uses
    int m_savedKind = 0;            // 0 none, 1 exported as MIDI, 2 saved as a project
    bool m_cancelFlag = false;
    bool m_settingsRead = false;
    bool m_closed = false;      // the close query ran
    bool m_showingInfo = false; // ShowSongInfo sets the controls; their handlers stay quiet
};

} // namespace korvanta::ui
