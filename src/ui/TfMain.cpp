// The main window: creation, start-up, shutdown, drops and the play timer.

#include "ui/TfMain.h"

#include "playback/RtMidiOutput.h"
#include "ui/FileDialogs.h"
#include "ui/TfMainControls.h"
#include "ui/TfSetChn.h"
#include "ui/chords/ChordPalette.h"
#include "ui/dialogs/StyleAudition.h"
#include "ui/dialogs/TfChrMan.h"
#include "ui/dialogs/TfOptions.h"
#include "ui/dialogs/TfPatchs.h"
#include "ui/dialogs/TfStyle.h"
#include "ui/help/HelpWindow.h"
#include "ui/notes/NotesView.h"
#include "ui/print/PrintDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStackedLayout>
#include <QToolButton>
#include <QUndoStack>
#include <QUrl>
#include <algorithm>

namespace korvanta::ui {

namespace {

ChannelChooser defaultChooser(ChannelChooser chooser) {
    if (chooser) return chooser;
    return [](const std::vector<ChannelOption>& channels, const PatchNames& names,
              QWidget* parent) { return TfSetChn::choose(channels, names, parent); };
}

// The one local song file a drop carries, or an empty text.
QString droppedSong(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    return songKindOf(path.toStdString()) == SongKind::None ? QString() : path;
}

} // namespace

TfMain::TfMain(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_messages(*m_services.messages),
      m_dialogs(*m_services.dialogs),
      m_questions(m_messages, m_dialogs, defaultChooser(m_services.chooseChannel), m_patchNames,
                  this),
      m_session(m_questions, &m_styles), m_c(std::make_unique<Controls>()) {
    buildWindow();
    m_mixEdits = makeMixEdits();
    if (m_services.printDialogs) {
        m_printDialogs = m_services.printDialogs;
    } else {
        m_ownPrintDialogs = std::make_unique<QtPrintDialogs>();
        m_printDialogs = m_ownPrintDialogs.get();
    }
    m_playTimer.setInterval(kIdleTimerMs);
    connect(&m_playTimer, &QTimer::timeout, this, &TfMain::onPlayTimer);
    connect(this, &TfMain::playEnded, this, &TfMain::onPlayEnded, Qt::QueuedConnection);
    connect(
        this, &TfMain::playFailed, this,
        [this](const QString& caption, const QString& text) {
            m_messages.error(text.toStdString(), caption.toStdString());
        },
        Qt::QueuedConnection);

    Controls& c = *m_c;
    connect(c.mnFOpen, &QAction::triggered, this, [this] { OpenSong({}, OpenOrigin::Dialog); });
    connect(c.tb_Open, &QToolButton::clicked, this, [this] { OpenSong({}, OpenOrigin::Dialog); });
    auto close = [this] {
        if (CloseSong(true)) SetCommandState(kEmptyWindow);
    };
    connect(c.mnFClose, &QAction::triggered, this, close);
    connect(c.tb_Close, &QAction::triggered, this, close);
    connect(c.mnFSave, &QAction::triggered, this, [this] { SaveSong(SaveMode::Save); });
    connect(c.tb_Save, &QAction::triggered, this, [this] { SaveSong(SaveMode::Save); });
    connect(c.mnFSaveAs, &QAction::triggered, this, [this] { SaveSong(SaveMode::SaveAs); });
    connect(c.mnFExport, &QAction::triggered, this, [this] { SaveSong(SaveMode::Export); });
    connect(c.tb_Export, &QAction::triggered, this, [this] { SaveSong(SaveMode::Export); });
    connect(c.mnFExit, &QAction::triggered, this, [this] { this->close(); });
    connect(c.mnMidiSamples, &QAction::triggered, this, [this] {
        // The open dialog in the samples folder.
        if (!CloseSong(true)) return;
        const QString path = m_dialogs.openFileName(
            this, m_folders.installPath + QStringLiteral("samples"), kOpenSongFilter);
        if (!path.isEmpty()) OpenSong(path, OpenOrigin::RecentFiles);
    });

    connectTransport();
    connectPrintAndHelp();

    // Harmony and accompaniment.
    for (QAction* draft : c.mnHDraft)
        connect(draft, &QAction::triggered, this,
                [this, draft] { onDraftChosen(draft->data().toInt()); });
    connect(c.mnHCreateman, &QAction::triggered, this, [this] { onDraftChosen(0); });
    connect(c.cb_Key, &QComboBox::activated, this, &TfMain::onKeyChosen);
    connect(c.b_CreateAcc, &QPushButton::clicked, this, &TfMain::CreateAccompaniment);
    connect(c.mnACreate, &QAction::triggered, this, &TfMain::CreateAccompaniment);
    connect(c.b_StyleAcc, &QPushButton::clicked, this, &TfMain::SelectStyle);
    connect(c.mnAStyle, &QAction::triggered, this, &TfMain::SelectStyle);
    connect(c.imgStl, &QPushButton::clicked, this, &TfMain::SwitchStyle);
    connect(c.cse_ChrOkt, &QSpinBox::valueChanged, this, &TfMain::onChordOctaveChanged);
    connect(c.mnAOptions, &QAction::triggered, this, &TfMain::ShowOptions);
    connect(c.tb_Opt, &QAction::triggered, this, &TfMain::ShowOptions);
    // "Arrangement ..." has no function of its own.
    c.mnAPArran->setVisible(false);
    c.tb_Arran->setVisible(false);

    // The chord palette follows the notes view.
    ChordPalette::Controls paletteControls;
    paletteControls.chordName = c.l_ChrName;
    paletteControls.chordNotes = c.l_ChrNotes;
    paletteControls.status = c.stbStatus;
    m_palette->attach(paletteControls);
    m_palette->setChordSound([this](ChordCode chord, std::uint8_t status) {
        if (!m_session.hasSong() || playing()) return;
        // A style audition would hold the output: the chord comes first.
        if (m_audition) m_audition->stop();
        Player& player = ensurePlayer();
        player.setSong(m_session.masterForUpdate()->song());
        player.setChannelSettings(&m_session.mixForPlayer());
        (void)player.soundChord(chord, status);
    });
    connect(m_notes, &NotesView::barSelected, m_palette, &ChordPalette::selectBar);
    connect(m_notes, &NotesView::horizontalOffsetChanged, m_palette, &ChordPalette::scrollTo);
    connect(m_notes, &NotesView::scalesChanged, m_palette, qOverload<>(&QWidget::update));
    connect(m_palette, &ChordPalette::chordsChanged, this,
            [this] { SetCommandState(kSaveEnabled); });
    connect(m_palette, &ChordPalette::barChosen, this, [this](int bar) {
        if (const TSong* song = m_session.song())
            m_notes->setCursorTick(song->meter().BarStart(bar));
    });
    QAction* undo = m_palette->undoStack()->createUndoAction(this, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("mnEUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = m_palette->undoStack()->createRedoAction(this, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("mnERedo"));
    redo->setShortcuts({QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    c.mnEdit->addAction(undo);
    c.mnEdit->addAction(redo);

    NotesStatusControls status;
    status.pitch = c.l_MelNt;
    status.position = c.l_MelPos;
    status.loopFrom = c.me_From;
    status.loopTo = c.me_To;
    status.fromTo = c.me_FromTo;
    status.loopButton = c.b_Play2;
    status.status = c.stbStatus;
    m_notes->attach(status);

    SetCommandState(kNoSongCommands);
    resetDisplays();
    rebuildRecentMenu();
}

TfMain::~TfMain() {
    // The player's thread may still read the song: stop it before anything goes.
    if (m_audition) m_audition->stop();
    if (m_player) m_player->stop();
    detachSong();
}

// --- Start-up -------------------------------------------------------------------

bool TfMain::readSettings() {
    m_store = m_services.browserLookup
                  ? std::make_unique<SettingsStore>(m_services.settings, m_messages,
                                                    m_services.browserLookup)
                  : std::make_unique<SettingsStore>(m_services.settings, m_messages);
    if (!m_store->baseExists()) return false;
    QStringList files;
    int maxCount = SettingsStore::kSetupMaxNumberFiles;
    if (m_store->readRecentFiles(files, maxCount)) {
        m_recent.setMaximum(maxCount);
        for (const QString& f : files)
            m_recent.appendStored(f);
    }
    WindowPlacement placement;
    if (m_store->readPlacement(placement)) {
        m_placement = placement;
        restorePlacement();
    }
    HarmonySettings settings = m_session.settings();
    if (m_store->readSettings(settings)) m_session.setSettings(settings);
    m_store->readPaths(m_folders);
    m_store->readBrowser(m_browserProgram, m_siteUrl);
    m_store->readOutput(m_output);
    return true;
}

void TfMain::restorePlacement() {
    if (m_placement.width <= 0 || m_placement.height <= 0) return;
    QRect wanted(m_placement.left, m_placement.top, m_placement.width, m_placement.height);
    wanted.setSize(wanted.size().expandedTo(minimumSize()));
    // The window comes back on the screen it was on, moved fully into it where
    // it fits; a window stored on a screen that is gone comes back on the
    // primary one.
    const QScreen* home = QApplication::primaryScreen();
    for (const QScreen* screen : QApplication::screens()) {
        if (screen->availableGeometry().intersects(wanted)) {
            home = screen;
            break;
        }
    }
    if (home) {
        const QRect area = home->availableGeometry();
        if (!area.intersects(wanted)) wanted.moveCenter(area.center());
        wanted.moveLeft(std::clamp(wanted.left(), area.left(),
                                   std::max(area.left(), area.right() - wanted.width() + 1)));
        wanted.moveTop(std::clamp(wanted.top(), area.top(),
                                  std::max(area.top(), area.bottom() - wanted.height() + 1)));
    }
    setGeometry(wanted);
    if (m_placement.maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TfMain::readPatchNames() {
    const std::filesystem::path file =
        (m_folders.dataPath + QStringLiteral("gmi.txt")).toStdString();
    const Result<PatchNames> names = korvanta::readPatchNames(file);
    if (names.ok()) {
        m_patchNames = *names;
        return;
    }
    // The program goes on with numbered names.
    m_patchNames = numberedPatchNames();
    m_messages.error(names.message, "Error");
}

bool TfMain::start(const QString& commandLine) {
    if (!readSettings()) {
        m_messages.error(kSetupAgain, "Error");
        m_store.reset();
        return false;
    }
    m_settingsRead = true;
    createHelpWindow();
    SetCommandState(kNoSongCommands);
    readPatchNames();
    const QString stylesFolder = m_folders.dataPath + QStringLiteral("Styles");
    if (m_styles.load(stylesFolder.toStdString()) == StyleLibraryStatus::NotCreated)
        m_messages.error(m_styles.error(), "Error");
    m_styleDialog = new TfStyle(m_styles, m_messages, this);
    m_styleDialog->setStylesFolder(stylesFolder);
    m_styleDialog->setImportTool(m_services.importTool);
    m_styleDialog->setAudition([this](const StyleRecord& style) {
        if (playing()) return;
        if (!m_audition) m_audition = std::make_unique<StyleAudition>(ensurePlayer());
        (void)m_audition->play(style);
    });
    connect(m_styleDialog, &TfStyle::libraryReloaded, this, &TfMain::onStyleLibraryReloaded);
    resetDisplays();
    rebuildRecentMenu();
    if (!commandLine.isEmpty()) OpenSong(commandLine, OpenOrigin::CommandLine);
    return true;
}

// --- Shutdown -------------------------------------------------------------------

void TfMain::writeSettings() {
    if (!m_store || !m_settingsRead) return;
    if (m_recent.changed()) m_store->writeRecentFiles(m_recent.paths(), m_recent.maximum());
    m_placement.maximized = isMaximized();
    m_store->writePlacement(m_placement);
    m_store->writeSettings(m_session.settings());
}

bool TfMain::closeQuery() {
    if (m_closed) return !playing();
    // Closing stops a play first, then offers to save like closing the song.
    stopPlay();
    if (!CloseSong(true)) return false;
    SetCommandState(kEmptyWindow);
    writeSettings();
    m_closed = true;
    return true;
}

void TfMain::closeEvent(QCloseEvent* event) {
    if (closeQuery())
        event->accept();
    else
        event->ignore();
}

void TfMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) return;
    m_placement.width = width();
    m_placement.height = height();
    m_placement.left = x();
    m_placement.top = y();
}

void TfMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) return;
    m_placement.left = x();
    m_placement.top = y();
}

// --- Drops ----------------------------------------------------------------------

void TfMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedSong(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfMain::dropEvent(QDropEvent* event) {
    const QString path = droppedSong(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    OpenSong(path, OpenOrigin::Drop);
}

} // namespace korvanta::ui
