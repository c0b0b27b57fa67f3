// The main window's song flow: opening, showing, closing and saving a song,
// the command-state presets and the Recent Files list.

#include "alg/song/Keys.h"
#include "ui/FileDialogs.h"
#include "ui/TfMainControls.h"
#include "ui/chords/ChordPalette.h"
#include "ui/dialogs/TfPatchs.h"
#include "ui/notes/NotesView.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedLayout>
#include <QToolButton>
#include <algorithm>

namespace korvanta::ui {

namespace {

const QString kStartPosition = QStringLiteral("01:01:000");

} // namespace

// --- Messages ------------------------------------------------------------------

void TfMain::showMessages(const SessionResult& result) {
    for (const Message& m : result.messages) {
        switch (m.kind) {
        case MessageKind::Error:
            m_messages.error(m.text, "Error");
            break;
        case MessageKind::Warning:
            m_messages.warning(m.text, "Warning");
            break;
        case MessageKind::Plain:
        case MessageKind::Confirmation:
            m_messages.info(m.text, "Korvanta");
            break;
        case MessageKind::None:
            break;
        }
    }
}

// --- Command states -------------------------------------------------------------

void TfMain::setSongCommandsEnabled(bool enabled) {
    Controls& c = *m_c;
    c.mnAcc->menuAction()->setEnabled(enabled);
    c.mnHarm->menuAction()->setEnabled(enabled);
    for (QAction* a : {c.mnFClose, c.mnFSave, c.mnFSaveAs, c.mnFExport, c.tb_Instr, c.tb_Arran,
                       c.tb_Opt, c.tb_Save, c.tb_Export, c.tb_Close})
        a->setEnabled(enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{
             c.b_CreateAcc, c.b_StyleAcc, c.b_Play, c.b_Stop, c.b_Back, c.b_Forw, c.b_Mark,
             c.b_Play2, c.me_From, c.me_To, c.trb_VMel, c.trb_VChr, c.chb_MelOff, c.chb_ChrOff})
        w->setEnabled(enabled);
    if (!enabled) {
        for (QAction* a : {c.mnFPrint, c.mnFPrintPrev, c.tb_Print, c.tb_PrintPr})
            a->setEnabled(false);
    }
}

void TfMain::SetCommandState(int preset) {
    Controls& c = *m_c;
    switch (preset) {
    case kNoSongCommands:
        setSongCommandsEnabled(false);
        break;
    case kSongCommands:
        setSongCommandsEnabled(true);
        c.mnAStyle->setEnabled(false);
        c.b_StyleAcc->setEnabled(false);
        break;
    case kSaveDisabled:
        c.mnFSave->setEnabled(false);
        c.tb_Save->setEnabled(false);
        break;
    case kEmptyWindow: {
        setSongCommandsEnabled(false);
        c.chb_MelOff->setChecked(false);
        c.chb_ChrOff->setChecked(false);
        c.trb_VMel->setEnabled(false);
        c.trb_VChr->setEnabled(false);
        setKeyBox(0);
        c.l_Meter->clear();
        break;
    }
    case kHarmonizedSong:
        c.mnAStyle->setEnabled(true);
        c.b_StyleAcc->setEnabled(true);
        for (QAction* a : {c.mnFPrint, c.mnFPrintPrev, c.tb_Print, c.tb_PrintPr})
            a->setEnabled(true);
        [[fallthrough]];
    case kSaveEnabled:
        c.mnFSave->setEnabled(true);
        c.tb_Save->setEnabled(true);
        break;
    default:
        break;
    }
}

// --- Caption and Recent Files ---------------------------------------------------

void TfMain::setCaptionSuffix(const QString& suffix) {
    setWindowTitle(QLatin1String(kTitle) + suffix);
}

void TfMain::AddRecentFile(const QString& path) {
    if (m_recent.add(path)) rebuildRecentMenu();
}

void TfMain::rebuildRecentMenu() {
    Controls& c = *m_c;
    for (QMenu* menu : {c.mnRecentFiles, c.pmntbOpen}) {
        menu->clear();
        for (const QString& path : m_recent.paths()) {
            QAction* a = menu->addAction(RecentFiles::menuCaption(path));
            a->setData(path);
            connect(a, &QAction::triggered, this,
                    [this, path] { OpenSong(path, OpenOrigin::RecentFiles); });
        }
    }
    c.mnRecentFiles->setEnabled(!m_recent.paths().isEmpty());
}

QString TfMain::dialogFolder() const {
    // The dialogs start where the user was last: the song's folder, else the
    // folder of the last file opened or saved, else the work folder.
    const QString current = QString::fromStdString(m_session.path());
    if (!current.isEmpty()) return QFileInfo(current).absolutePath();
    if (!m_lastFolder.isEmpty()) return m_lastFolder;
    return m_folders.workPath;
}

// --- Opening --------------------------------------------------------------------

void TfMain::OpenSong(QString path, OpenOrigin origin) {
    if (!CloseSong(true)) return;
    SetCommandState(kEmptyWindow);
    if (origin == OpenOrigin::Dialog) {
        path = m_dialogs.openFileName(this, dialogFolder(), kOpenSongFilter);
        if (path.isEmpty()) return;
    }
    const std::string file = path.toStdString();
    if (songKindOf(file) == SongKind::None) {
        const Message m = unknownFileTypeMessage(file);
        m_messages.error(m.text, "Error");
        return;
    }
    m_lastFolder = QFileInfo(path).absolutePath();
    m_questions.setSaveFolder(m_lastFolder);
    const SessionResult result = m_session.open(file);
    showMessages(result);
    if (!m_session.hasSong()) return;

    attachSong();
    for (QAction* draft : m_c->mnHDraft)
        draft->setChecked(false);
    m_c->mnHDraft[0]->setChecked(true);
    if (origin != OpenOrigin::CommandLine) AddRecentFile(path);

    const SongKind kind = m_session.kind();
    ShowSongInfo(kind);
    SetCommandState(kSongCommands);
    setCaptionSuffix(QStringLiteral(" - ") + QFileInfo(path).fileName());
    m_savedKind = 0;
    if (kind == SongKind::Project && m_session.harmonized()) {
        buildPalette();
        SetCommandState(kHarmonizedSong);
        // No style found: no switch to show (and none to run).
        showStyleImage();
    }
    SetCommandState(kSaveDisabled);
}

void TfMain::attachSong() {
    const TSong* song = m_session.song();
    m_notes->setSong(song);
    m_notes->relayout();
    if (m_player) {
        m_player->setSong(m_session.masterForUpdate()->song());
        m_player->setChannelSettings(&m_session.mixForPlayer());
        m_player->setPositions(&m_notes->positions());
        m_player->setRestartFlag(&m_notes->restartFlag());
    }
}

void TfMain::ShowSongInfo(SongKind kind) {
    Controls& c = *m_c;
    const TSong* song = m_session.song();
    if (!song) return;
    m_showingInfo = true;

    const int key = song->QueryMeta(kMetaKeySignature);
    setKeyBox(isKey(key) ? key + 1 : 0);
    std::int32_t meter[2] = {4, 4};
    song->QueryMeta(kMetaTimeSignature, 0, meter);
    c.l_Meter->setText(QStringLiteral("%1/%2").arg(meter[0]).arg(meter[1]));

    const ChannelMixState& mix = m_session.mix();
    c.trb_VMel->setValue(127 - mix.volume(kMelodyList));
    c.trb_VChr->setValue(127 - mix.volume(kChordList));
    c.trb_VMel->setEnabled(true);
    c.trb_VChr->setEnabled(true);
    c.chb_MelOff->setChecked(mix.muted(kMelodyList));
    c.chb_ChrOff->setChecked(mix.muted(kChordList));
    c.trb_VMel->setEnabled(!mix.muted(kMelodyList));
    c.trb_VChr->setEnabled(!mix.muted(kChordList));
    showPatchCaptions();

    // A tempo of 0 reads as the default (the song model sees to it).
    const std::int32_t tempo = std::max<std::int32_t>(song->QueryMeta(kMetaTempo), 1);
    m_playTimer.setInterval(std::max(1, tempo / 8000));
    const int bpm = std::clamp(beatsPerMinute(tempo), kSlowestTempo, kFastestTempo);
    c.sb_Tempo->setValue(bpm);
    c.t_Tempo->setText(QString::number(c.sb_Tempo->value()));
    m_tempoText = c.t_Tempo->text();
    applyTempo(c.sb_Tempo->value());
    if (m_player) m_player->setDivision(static_cast<std::uint32_t>(song->ticksPerQuarter));

    {
        // Showing the octave must not write it back into the song.
        const QSignalBlocker quiet(c.cse_ChrOkt);
        c.cse_ChrOkt->setValue(std::max(int{song->chordOctave} - 1, kLowestChordOctaveShown));
    }
    (void)kind;
    m_showingInfo = false;
}

void TfMain::showPatchCaptions() {
    const ChannelMixState& mix = m_session.mix();
    auto show = [this](QLabel* label, int program) {
        const QString name =
            QString::fromStdString(m_patchNames[static_cast<std::size_t>(program & 0x7F)]);
        // One line in the narrow side panel; the whole name in the tool tip.
        label->setText(label->fontMetrics().elidedText(name, Qt::ElideRight, label->width() - 4));
        label->setToolTip(name);
    };
    show(m_c->l_MelPatch, mix.program(kMelodyList));
    show(m_c->l_ChrPatch, mix.program(kChordList));
}

// --- Closing --------------------------------------------------------------------

void TfMain::buildPalette() {
    m_palette->build();
    m_c->paletteStack->setCurrentWidget(m_palette);
}

void TfMain::detachSong() {
    // Nothing may point at the song once it is gone: the palette (and its
    // undo steps, which name bars of it), the player, the view.
    m_palette->clear();
    m_c->paletteStack->setCurrentIndex(0);
    // The instrument dialog and an open patch list edit this song: detached.
    if (m_patchs) m_patchs->detach();
    m_c->cb_Patchs->hide();
    if (m_player) {
        m_player->setSong(nullptr);
        m_player->setChannelSettings(nullptr);
    }
    m_notes->setSong(nullptr);
}

bool TfMain::CloseSong(bool offerSave) {
    if (playing()) return false;
    m_c->b_Play2->setChecked(false);
    if (offerSave && m_session.hasSong()) {
        SaveSong(SaveMode::Prompt);
        if (m_cancelFlag) return false;
    }
    setCaptionSuffix(QStringLiteral(" "));
    detachSong();
    m_session.close(false);
    m_savedKind = 0;
    resetDisplays();
    return true;
}

void TfMain::resetDisplays() {
    Controls& c = *m_c;
    c.l_MelNt->clear();
    c.l_MelPos->clear();
    c.me_From->setText(kStartPosition);
    c.me_To->setText(kStartPosition);
    c.imgStl->setVisible(false);
    resetChordDisplay();
    c.l_MelPatch->clear();
    c.l_ChrPatch->clear();
    c.t_Tempo->clear();
}

// --- Saving ---------------------------------------------------------------------

void TfMain::afterProjectSaved(const std::string& path) {
    m_savedKind = 2;
    const QString saved = QString::fromStdString(path);
    m_lastFolder = QFileInfo(saved).absolutePath();
    AddRecentFile(saved);
    setCaptionSuffix(QStringLiteral(" - ") + QFileInfo(saved).fileName());
    SetCommandState(kSaveDisabled);
}

void TfMain::SaveSong(SaveMode mode) {
    m_cancelFlag = false;
    if (!m_session.hasSong()) return;

    if (mode == SaveMode::Prompt) {
        const SessionResult result = m_session.offerToSave();
        showMessages(result);
        if (result.refusal != Refusal::None) {
            // Cancel, a cancelled save dialog or a failed save: nothing closes.
            m_cancelFlag = true;
            return;
        }
        if (!result.savedTo.empty()) afterProjectSaved(result.savedTo);
        return;
    }
    if (mode == SaveMode::Save && !m_session.unsavedChanges()) return;

    const bool exporting = mode == SaveMode::Export;
    std::string name;
    if (mode != SaveMode::Save || m_session.neverSaved()) {
        const QString suggested =
            QDir(dialogFolder())
                .filePath(QString::fromStdString(suggestedSaveName(m_session.path())));
        const QString chosen =
            m_dialogs.saveFileName(this, suggested, exporting ? kMidiFilter : kProjectFilter,
                                   exporting ? QStringLiteral("mid") : QStringLiteral("kvt"));
        if (chosen.isEmpty()) return;
        name = withDefaultExtension(chosen.toStdString(), exporting ? ".mid" : ".kvt");
    } else {
        name = projectPathBeside(m_session.path());
    }

    if (exporting) {
        const SessionResult result = m_session.exportMidi(name);
        showMessages(result);
        if (result.ok()) m_savedKind = 1;
        return;
    }
    const SessionResult result = m_session.saveProject(name);
    showMessages(result);
    if (!result.ok()) return; // the document stays as it was
    afterProjectSaved(result.savedTo);
}

} // namespace korvanta::ui
