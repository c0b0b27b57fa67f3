// The main window's transport and mixer: play and pause, stop, backward,
// forward, marks, the loop button and texts, the tempo field and bar, the play
// timer, the volume sliders, mute buttons and patch lists of the two side
// panels, and the instrument dialog's edits.
//
// The player's worker reports the end of a play through a queued signal that
// carries the play's number: a notice of an older play changes nothing, and
// the window's own playing state ends only with the notice of the current one.

#include "ui/TfMainControls.h"
#include "ui/chords/ChordPalette.h"
#include "ui/dialogs/StyleAudition.h"
#include "ui/dialogs/TfPatchs.h"
#include "ui/notes/NotesView.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <algorithm>

namespace korvanta::ui {

namespace {

// A typed tempo: its first 6 characters, blanks as "0" and "," as the
// decimal point, the whole part; nothing when it is no number.
std::optional<int> typedTempo(const QString& text) {
    QString t = text.left(6);
    t.replace(QLatin1Char(' '), QLatin1Char('0'));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || value < 0 || value > 1e6) return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

// --- Wiring -------------------------------------------------------------------------

void TfMain::connectTransport() {
    Controls& c = *m_c;
    c.b_Play->setCheckable(true);
    c.b_Play->setToolTip(QStringLiteral("Play/Pause"));
    c.b_Stop->setToolTip(QStringLiteral("Stop"));
    c.b_Back->setToolTip(QStringLiteral("Backward"));
    c.b_Forw->setToolTip(QStringLiteral("Forward"));
    c.b_Mark->setToolTip(QStringLiteral("Set marker to current position"));
    c.b_Play2->setToolTip(QStringLiteral("Looping"));
    connect(c.b_Play, &QPushButton::clicked, this, &TfMain::b_PlayClick);
    connect(c.b_Stop, &QPushButton::clicked, this, &TfMain::stopPlay);
    connect(c.b_Back, &QPushButton::clicked, this, [this] { m_notes->goPrevious(); });
    connect(c.b_Forw, &QPushButton::clicked, this, [this] { m_notes->goNext(); });
    connect(c.b_Mark, &QPushButton::clicked, this, [this] { m_notes->insertMark(); });
    connect(c.b_Play2, &QPushButton::clicked, this, &TfMain::b_Play2Click);

    // The loop texts are edited in the hidden editor laid over them.
    for (QLineEdit* e : {c.me_From, c.me_To}) {
        e->setReadOnly(true);
        e->setCursor(Qt::IBeamCursor);
        e->installEventFilter(this);
    }
    c.me_From->setProperty("tag", 0);
    c.me_To->setProperty("tag", 1);
    c.me_FromTo->setMaxLength(12);
    c.me_FromTo->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9 ,]{0,5}(:[0-9 ]{0,2}(:[0-9 ]{0,3})?)?")),
        c.me_FromTo));
    c.me_FromTo->installEventFilter(this);
    connect(c.me_FromTo, &QLineEdit::editingFinished, c.me_FromTo, &QWidget::hide);

    // Tempo.
    c.t_Tempo->setReadOnly(false);
    c.t_Tempo->setMaxLength(6);
    c.sb_Tempo->setPageStep(4);
    connect(c.sb_Tempo, &QScrollBar::valueChanged, this, &TfMain::sb_TempoScroll);
    connect(c.t_Tempo, &QLineEdit::textEdited, this, &TfMain::t_TempoChange);

    // Side panels.
    connect(c.trb_VMel, &QSlider::valueChanged, this,
            [this](int position) { trb_VolChange(kMelodyList, position); });
    connect(c.trb_VChr, &QSlider::valueChanged, this,
            [this](int position) { trb_VolChange(kChordList, position); });
    connect(c.chb_MelOff, &QPushButton::clicked, this,
            [this](bool down) { chb_MuteClick(kMelodyList, down); });
    connect(c.chb_ChrOff, &QPushButton::clicked, this,
            [this](bool down) { chb_MuteClick(kChordList, down); });
    for (QLabel* caption : {c.l_MelPatch, c.l_ChrPatch}) {
        caption->setToolTip(QStringLiteral("Click for select new patch"));
        caption->setCursor(Qt::PointingHandCursor);
        caption->installEventFilter(this);
    }
    c.l_MelPatch->setProperty("tag", 0);
    c.l_ChrPatch->setProperty("tag", 1);

    c.cb_Patchs = new QListWidget(centralWidget());
    c.cb_Patchs->setObjectName(QStringLiteral("cb_Patchs"));
    QPalette colours = c.cb_Patchs->palette();
    colours.setColor(QPalette::Base, QColor(254, 245, 224));
    colours.setColor(QPalette::Text, QColor(0, 0, 128));
    c.cb_Patchs->setPalette(colours);
    c.cb_Patchs->hide();
    connect(c.cb_Patchs, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { cb_PatchsClick(m_c->cb_Patchs->row(item)); });
    connect(c.cb_Patchs, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { cb_PatchsClick(m_c->cb_Patchs->row(item)); });
    c.cb_Patchs->installEventFilter(this);

    // Moving over the middle bar or the melody panel clears the hover texts.
    for (const char* name : {"p_Middle", "p_VMel"}) {
        if (QWidget* w = findChild<QWidget*>(QLatin1String(name))) {
            w->setMouseTracking(true);
            w->installEventFilter(this);
        }
    }

    connect(c.mnAPInstr, &QAction::triggered, this, &TfMain::mnAPInstrClick);
    connect(c.tb_Instr, &QAction::triggered, this, &TfMain::mnAPInstrClick);

    // Keys a player expects: Space plays and pauses, Home goes to the start.
    auto* playKey = new QAction(QStringLiteral("Play/Pause"), this);
    playKey->setObjectName(QStringLiteral("acPlayPause"));
    playKey->setShortcut(Qt::Key_Space);
    connect(playKey, &QAction::triggered, this, [this] {
        if (!m_c->b_Play->isEnabled()) return;
        m_c->b_Play->setChecked(!m_windowPlaying);
        b_PlayClick();
    });
    auto* homeKey = new QAction(QStringLiteral("To the start"), this);
    homeKey->setObjectName(QStringLiteral("acHome"));
    homeKey->setShortcut(Qt::Key_Home);
    connect(homeKey, &QAction::triggered, this, [this] {
        if (m_session.hasSong() && !m_windowPlaying) m_notes->moveCursorToStart();
    });
    addAction(playKey);
    addAction(homeKey);
}

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
    Controls& c = *m_c;
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == c.me_From || watched == c.me_To) {
            me_FromToClick(static_cast<QLineEdit*>(watched));
            return true;
        }
        if (watched == c.l_MelPatch || watched == c.l_ChrPatch) {
            PatchClick(watched->property("tag").toInt());
            return true;
        }
    }
    if (event->type() == QEvent::KeyRelease && watched == c.me_FromTo) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key >= Qt::Key_0 && key <= Qt::Key_9) me_FromToKeyUp();
    }
    if (event->type() == QEvent::FocusOut && watched == c.me_FromTo) c.me_FromTo->hide();
    if (event->type() == QEvent::KeyPress && watched == c.cb_Patchs &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        c.cb_Patchs->hide();
        return true;
    }
    if (event->type() == QEvent::MouseMove && watched->objectName() == QLatin1String("p_Middle")) {
        c.l_MelNt->clear();
        c.l_MelPos->clear();
        c.l_ChrName->clear();
        c.l_ChrNotes->clear();
    }
    if (event->type() == QEvent::MouseMove && watched->objectName() == QLatin1String("p_VMel")) {
        c.l_MelNt->clear();
        c.l_MelPos->clear();
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Player --------------------------------------------------------------------------

bool TfMain::playing() const {
    return m_windowPlaying;
}

Player& TfMain::ensurePlayer() {
    if (!m_player) {
        if (m_services.makePlayer) {
            m_player = m_services.makePlayer();
        } else {
            // The output chosen in the options: the built-in synth with its
            // SoundFont, or a system MIDI port (its failure shows at the play).
            FluidSynthOptions synth;
            synth.soundFont = m_output.soundFont.toStdString();
            m_player = std::make_unique<Player>(synth);
            if (!m_output.port.isEmpty()) (void)m_player->setDevice(0, m_output.port.toStdString());
        }
        m_player->setErrorHandler([this](const std::string& caption, const std::string& text) {
            emit playFailed(
                QString::fromStdString(caption),
                QString::fromStdString(text.empty() ? Player::kUnknownErrorText : text));
        });
    }
    return *m_player;
}

// --- Play, pause, stop ------------------------------------------------------------------

void TfMain::b_PlayClick() {
    if (!m_session.hasSong()) {
        m_c->b_Play->setChecked(false);
        return;
    }
    if (m_windowPlaying) {
        // Pause: the next play starts where the cursor stands now.
        const std::int64_t at = m_player ? m_player->position() : m_notes->cursorTick();
        stopPlay();
        m_notes->setCursorTick(at);
        return;
    }
    play();
}

void TfMain::play() {
    if (!m_session.hasSong() || m_windowPlaying) return;
    // A style demonstration would hold the output: the song comes first.
    if (m_audition) m_audition->stop();
    Player& player = ensurePlayer();
    m_session.renderAccompaniment();
    TSong* song = m_session.masterForUpdate()->song();
    player.setSong(song);
    player.setChannelSettings(&m_session.mixForPlayer());
    player.setPositions(&m_notes->positions());
    player.setRestartFlag(&m_notes->restartFlag());
    player.setDivision(static_cast<std::uint32_t>(std::max<int>(song->ticksPerQuarter, 1)));
    player.setTempo(static_cast<std::uint32_t>(kMicrosecondsPerMinute /
                                               std::max(m_c->sb_Tempo->value(), kSlowestTempo)));
    const int number = ++m_playNumber;
    player.setEndHandler([this, number] { emit playEnded(number); });
    m_notes->positions().set(PlayPositions::kStart,
                             static_cast<std::int32_t>(m_notes->cursorTick()));
    m_notes->restartFlag().store(false);
    const bool loop = m_notes->loopOn();
    if (!player.start(loop)) {
        // Nothing plays: say so and leave the transport usable.
        m_c->b_Play->setChecked(false);
        m_messages.error("The song could not be played.", Player::kErrorCaption);
        return;
    }
    m_windowPlaying = true;
    m_c->b_Play->setChecked(true);
    m_session.setPlaying(true);
    m_notes->setPlaying(true);
    m_playTimer.start();
}

void TfMain::stopPlay() {
    if (!m_windowPlaying) return;
    m_playTimer.stop();
    if (m_player) m_player->stop();
    endPlay();
}

void TfMain::endPlay() {
    m_windowPlaying = false;
    m_playTimer.stop();
    m_c->b_Play->setChecked(false);
    m_session.setPlaying(false);
    m_notes->setPlaying(false);
    m_notes->restartFlag().store(false);
    if (m_patchs && m_session.hasSong()) m_patchs->refresh();
}

void TfMain::onPlayEnded(int number) {
    // A notice of an older play, or of a play already stopped here.
    if (number != m_playNumber || !m_windowPlaying) return;
    endPlay();
}

void TfMain::onPlayTimer() {
    if (!m_windowPlaying || !m_player || !m_session.hasSong()) return;
    m_notes->follow(m_player->position());
    const std::uint32_t tempo = std::max<std::uint32_t>(m_player->tempo(), 1);
    const int bpm = std::clamp(beatsPerMinute(tempo), kSlowestTempo, kFastestTempo);
    if (bpm != m_c->sb_Tempo->value()) m_c->sb_Tempo->setValue(bpm);
    const auto [buffer, words] = m_player->bufferStatus();
    m_c->stbPanel[2]->setText(QStringLiteral("%1:%2").arg(buffer).arg(words));
}

// --- Loop ----------------------------------------------------------------------------------

void TfMain::b_Play2Click() {
    QPushButton* loop = m_c->b_Play2;
    if (m_windowPlaying && !m_notes->loopOn()) {
        // A play without a loop stays one.
        loop->setChecked(false);
        return;
    }
    if (loop->isChecked()) {
        if (!m_notes->disposeLoopPoints()) loop->setChecked(false);
    } else {
        m_notes->deleteLoopPoints();
    }
}

void TfMain::me_FromToClick(QLineEdit* text) {
    if (!m_session.hasSong()) return;
    QLineEdit* editor = m_c->me_FromTo;
    editor->setParent(text->parentWidget());
    editor->setGeometry(text->geometry());
    editor->setText(text->text());
    editor->setProperty("tag", text->property("tag"));
    editor->show();
    editor->raise();
    editor->setFocus();
    editor->selectAll();
}

void TfMain::me_FromToKeyUp() {
    QLineEdit* editor = m_c->me_FromTo;
    QLineEdit* target = editor->property("tag").toInt() == 0 ? m_c->me_From : m_c->me_To;
    target->setText(editor->text());
    m_notes->setLoopFromTexts();
}

// --- Tempo -----------------------------------------------------------------------------------

void TfMain::applyTempo(int bpm) {
    const std::uint32_t microseconds =
        static_cast<std::uint32_t>(kMicrosecondsPerMinute / std::max(bpm, 1));
    m_tempo = microseconds;
    if (m_player) m_player->setTempo(microseconds);
}

void TfMain::sb_TempoScroll(int bpm) {
    m_c->t_Tempo->setText(QString::number(bpm));
    m_tempoText = m_c->t_Tempo->text();
    applyTempo(bpm);
}

void TfMain::t_TempoChange(const QString& text) {
    const std::optional<int> bpm = typedTempo(text);
    if (!bpm || *bpm < kSlowestTempo || *bpm > kFastestTempo) {
        // Outside the limits: the edit is undone.
        if (!text.trimmed().isEmpty()) m_c->t_Tempo->setText(m_tempoText);
        return;
    }
    m_tempoText = text;
    {
        const QSignalBlocker quiet(m_c->sb_Tempo);
        m_c->sb_Tempo->setValue(*bpm);
    }
    applyTempo(*bpm);
}

// --- Mixer -------------------------------------------------------------------------------------

void TfMain::trb_VolChange(int part, int position) {
    if (m_showingInfo || !m_session.hasSong()) return;
    setPartVolume(127 - position * 127 / std::max(m_c->trb_VMel->maximum(), 1), part);
}

void TfMain::setPartVolume(int volume, int part) {
    const bool song = m_session.hasSong();
    if (song) SetCommandState(kSaveEnabled);
    if (m_player) (void)m_player->setVolume(static_cast<std::uint8_t>(volume), part);
    if (song) {
        // The session keeps the song's events for after a play, and never stores 0.
        m_session.setVolume(part, volume);
        if (m_patchs) m_patchs->refresh();
    }
}

void TfMain::chb_MuteClick(int part, bool down) {
    QSlider* slider = part == kMelodyList ? m_c->trb_VMel : m_c->trb_VChr;
    if (!m_session.hasSong()) return;
    slider->setEnabled(!down);
    m_session.setMuted(part, down);
    setPartVolume(down ? 0 : 127 - slider->value(), part);
    if (m_player) (void)m_player->applyChannelSettings();
    if (m_patchs) m_patchs->refresh();
}

void TfMain::PatchClick(int part) {
    QListWidget* list = m_c->cb_Patchs;
    if (!m_session.hasSong()) return;
    if (list->isVisible()) {
        list->hide();
        return;
    }
    if (list->count() != kPatchCount) {
        list->clear();
        for (const std::string& name : m_patchNames)
            list->addItem(QString::fromStdString(name));
    }
    list->setProperty("tag", part);
    QWidget* panel = part == kMelodyList ? m_c->p_MelG : m_c->p_ChrG;
    QLabel* caption = part == kMelodyList ? m_c->l_MelPatch : m_c->l_ChrPatch;
    const QWidget* side = caption->parentWidget();
    const QPoint panelTop = panel->mapTo(centralWidget(), QPoint(0, 0));
    const QPoint captionAt = caption->mapTo(centralWidget(), QPoint(0, 0));
    list->setGeometry(captionAt.x() + caption->width() + 2, panelTop.y(),
                      std::max(160, caption->width() * 3), side->height());
    list->setCurrentRow(m_session.mix().program(part));
    list->scrollToItem(list->currentItem());
    list->show();
    list->raise();
    list->setFocus();
}

void TfMain::cb_PatchsClick(int program) {
    QListWidget* list = m_c->cb_Patchs;
    const int part = list->property("tag").toInt();
    list->hide();
    if (program < 0 || program >= kPatchCount) return;
    setPartProgram(part, program);
}

void TfMain::setPartProgram(int part, int program) {
    if (m_player) (void)m_player->setInstrument(static_cast<std::uint8_t>(program), part);
    if (m_session.hasSong()) {
        m_session.setProgram(part, program);
        SetCommandState(kSaveEnabled);
    }
    showPatchCaptions();
    if (m_patchs) m_patchs->refresh();
}

// --- The instrument dialog
// ------------------------------------------------------------------------

void TfMain::mnAPInstrClick() {
    if (!m_session.hasSong()) return;
    if (!m_patchs) m_patchs = new TfPatchs(*m_mixEdits, this);
    m_patchs->open(m_session.mix(), m_patchNames);
}

// Edits of parts 0 and 1 go through the side panels' handlers, so they stay
// in step; the other parts go to the mix directly.
class TfMain::WindowMixEdits final : public MixEdits {
public:
    explicit WindowMixEdits(TfMain& window) : m_w(window) {}

    void setProgram(int part, int program) override { m_w.setPartProgram(part, program); }
    void setMuted(int part, bool muted) override {
        if (part == kMelodyList || part == kChordList) {
            QPushButton* button = part == kMelodyList ? m_w.m_c->chb_MelOff : m_w.m_c->chb_ChrOff;
            button->setChecked(muted);
            m_w.chb_MuteClick(part, muted);
            return;
        }
        m_w.m_session.setMuted(part, muted);
        if (m_w.m_player) (void)m_w.m_player->applyChannelSettings();
    }
    void setSoloed(int part, bool soloed) override {
        m_w.m_session.setSoloed(part, soloed);
        if (m_w.m_player) (void)m_w.m_player->applyChannelSettings();
    }
    void setVolume(int part, int volume) override {
        if (part == kMelodyList || part == kChordList) {
            QSlider* slider = part == kMelodyList ? m_w.m_c->trb_VMel : m_w.m_c->trb_VChr;
            slider->setValue(127 - volume);
            return;
        }
        m_w.setPartVolume(volume, part);
    }

private:
    TfMain& m_w;
};

std::unique_ptr<MixEdits> TfMain::makeMixEdits() {
    return std::make_unique<WindowMixEdits>(*this);
}

} // namespace korvanta::ui
