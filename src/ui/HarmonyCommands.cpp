// The main window's harmony and accompaniment commands: the Harmony drafts,
// the key box, Create Accompaniment, the style choice and its switch image,
// the chord octave and the options.

#include "playback/RtMidiOutput.h"
#include "styles/StyleChoice.h"
#include "ui/TfMainControls.h"
#include "ui/chords/ChordPalette.h"
#include "ui/dialogs/StyleAudition.h"
#include "ui/dialogs/TfChrMan.h"
#include "ui/dialogs/TfOptions.h"
#include "ui/dialogs/TfStyle.h"
#include "ui/notes/NotesView.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace korvanta::ui {

// --- Harmony menu ------------------------------------------------------------------

void TfMain::onDraftChosen(int tag) {
    if (tag == 0) {
        // "Create manually ...": the dialog alone; nothing else changes.
        if (!m_manual) m_manual = new TfChrMan(this);
        if (m_manual->exec() == QDialog::Accepted) m_messages.info(kManualHarmonyDone, "Korvanta");
        return;
    }
    const SessionResult result = m_session.applyDraft(tag);
    checkDraft(result.ok() ? tag : 0);
    if (result.ok()) SetCommandState(kSaveEnabled);
}

void TfMain::checkDraft(int tag) {
    for (QAction* draft : m_c->mnHDraft)
        draft->setChecked(draft->data().toInt() == tag);
}

// --- Key box ------------------------------------------------------------------------

void TfMain::onKeyChosen(int item) {
    // No song, or a play that reads the song's events: the choice is ignored
    // and the box shows what it showed.
    if (!m_session.hasSong() || m_session.playing()) {
        setKeyBox(m_keyItem);
        return;
    }
    const SessionResult result = m_session.chooseKey(item <= 0 ? kKeyAuto : item - 1);
    if (!result.ok()) {
        setKeyBox(m_keyItem);
        return;
    }
    m_keyItem = item;
    if (item > 0) checkDraft(0);
    SetCommandState(kSaveEnabled);
}

void TfMain::setKeyBox(int item) {
    const QSignalBlocker quiet(m_c->cb_Key);
    m_c->cb_Key->setCurrentIndex(item);
    m_keyItem = m_c->cb_Key->currentIndex();
}

// --- Create Accompaniment -------------------------------------------------------------

void TfMain::CreateAccompaniment() {
    if (!m_session.hasSong() || playing()) return;
    const SessionResult result = m_session.createAccompaniment();
    if (result.refusal == Refusal::NothingToDo) return;
    showMessages(result);
    if (!result.savedTo.empty()) afterProjectSaved(result.savedTo);
    if (!result.ok()) {
        // The chords are as they were: show them again.
        if (m_session.harmonized()) buildPalette();
        return;
    }
    m_notes->moveCursorToStart();
    resetChordDisplay();
    buildPalette();
    SetCommandState(kHarmonizedSong);
    // The key box shows the key the harmony was made in.
    const TSong* song = m_session.song();
    if (song->keyCount() > 0 && isKey(song->keys.front().key))
        setKeyBox(song->keys.front().key + 1);
    showStyleImage();
    showPatchCaptions();
}

void TfMain::resetChordDisplay() {
    const QSignalBlocker quiet(m_c->cse_ChrOkt);
    m_c->cse_ChrOkt->setValue(kLowestChordOctaveShown);
    m_c->l_ChrName->clear();
    m_c->l_ChrName->setProperty("tag", 255);
    m_c->l_ChrNotes->clear();
}

// --- Styles ----------------------------------------------------------------------------

void TfMain::showStyleImage() {
    QPushButton* image = m_c->imgStl;
    const TSong* song = m_session.song();
    if (!song || !m_session.styleShown()) {
        image->setVisible(false);
        return;
    }
    const bool on = m_session.styleOn();
    const std::int32_t id = songStyleId(*song);
    const QPixmap thumb = m_styleDialog ? m_styleDialog->thumbnail(id, on) : QPixmap();
    image->setIcon(QIcon(thumb));
    image->setIconSize(thumb.size());
    image->setText(thumb.isNull() ? QStringLiteral("Style") : QString());
    image->setChecked(on);
    image->setProperty("tag", on ? 1 : 0);
    image->setToolTip(on ? QStringLiteral("Click to mute the style")
                         : QStringLiteral("Click to play the style"));
    image->setVisible(true);
}

void TfMain::SwitchStyle() {
    if (playing() || !m_session.hasSong()) {
        showStyleImage();
        return;
    }
    m_session.switchStyle();
    SetCommandState(kSaveEnabled);
    showStyleImage();
}

void TfMain::SelectStyle() {
    if (playing() || !m_session.hasSong() || !m_styleDialog) return;
    if (!m_session.findStyleForMeter()) {
        m_messages.warning(noStyleForMeterText(m_c->l_Meter->text().toStdString()), "Warning");
        return;
    }
    const SongMeter meter = songMeter(*m_session.song());
    m_styleDialog->setSongMeter(meter.numerator, meter.denominator);
    m_styleDialog->setImportTool(m_services.importTool);
    m_styleDialog->setLastChosen(m_session.lastChosenStyle());
    m_styleDialog->selectById(songStyleId(*m_session.song()));
    if (m_styleDialog->exec() != QDialog::Accepted) return;
    const std::int32_t chosen = m_styleDialog->chosenStyle();
    const SessionResult result =
        chosen >= 0 ? m_session.selectStyle(chosen) : m_session.clearStyle();
    if (!result.ok()) return;
    if (chosen >= 0) {
        const QSignalBlocker quiet(m_c->cse_ChrOkt);
        m_c->cse_ChrOkt->setValue(m_session.song()->chordOctave);
    }
    SetCommandState(kSaveEnabled);
    // With the choice cleared there is no style behind the switch: it goes.
    if (chosen < 0)
        m_c->imgStl->setVisible(false);
    else
        showStyleImage();
    showPatchCaptions();
}

void TfMain::onStyleLibraryReloaded() {
    m_session.libraryReloaded();
    showStyleImage();
}

// --- Chord octave and options ----------------------------------------------------------------

void TfMain::onChordOctaveChanged(int octave) {
    if (m_session.hasSong()) m_session.setChordOctave(octave);
}

void TfMain::ShowOptions() {
    if (!m_options) m_options = new TfOptions(this);
    HarmonySettings settings = m_session.settings();
    OutputChoice output = m_output;
    QStringList ports;
    for (const std::string& name : RtMidiOutput::portNames().names)
        ports << QString::fromStdString(name);
    if (!m_options->edit(settings, output, m_patchNames, ports)) return;
    if (m_session.changeSettings(settings).ok() && m_session.hasSong())
        SetCommandState(kSaveEnabled);
    if (output != m_output) {
        m_output = output;
        if (m_store) m_store->writeOutput(m_output);
        // The next play opens the new output; one that plays keeps its own.
        if (!m_windowPlaying && !m_services.makePlayer) {
            m_audition.reset();
            m_player.reset();
        }
    }
}

} // namespace korvanta::ui
