#include "ui/chords/ChordPalette.h"

#include "session/TuneSession.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"
#include "ui/notes/NotesView.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>
#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>
#include <utility>

namespace korvanta::ui {

namespace {

const QColor kBackground(232, 226, 206);
const QColor kLabelFace(218, 204, 188);
const QColor kLabelText(35, 71, 71);
const QColor kSelectedFace(10, 201, 163);
const QColor kMutedText(128, 128, 128);
const QColor kAppliedButtonText(0, 0, 255);
const QColor kListText(0, 0, 128);
const QColor kGlyphMajor(250, 246, 232);
const QColor kGlyphMinor(205, 221, 232);
const QColor kGlyphInk(35, 71, 71);

const QString kMuted = QStringLiteral("muted");
const QString kOther = QStringLiteral(" Other");
const QString kNoneItem = QStringLiteral("None");

QString padded(const std::string& name, int width) {
    QString text = QString::fromStdString(name);
    if (text.size() < width) text += QString(width - text.size(), QLatin1Char(' '));
    return text;
}

// The design writes a line break as "\n\r".
QString oneLine(QString text) {
    return text.replace(QStringLiteral(" \n\r"), QStringLiteral("; "));
}
QString lines(QString text) {
    return text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
}

} // namespace

// One edit of one bar: the bar's chord, play flag and labels before and after.
class ChordPalette::BarCommand : public QUndoCommand {
public:
    BarCommand(ChordPalette* palette, int bar, const BarSnapshot& before, const BarSnapshot& after,
               const QString& text)
        : QUndoCommand(text), m_palette(palette), m_bar(bar), m_before(before), m_after(after) {}

    void undo() override { m_palette->restore(m_bar, m_before); }
    void redo() override { m_palette->restore(m_bar, m_after); }

private:
    ChordPalette* m_palette;
    int m_bar;
    BarSnapshot m_before;
    BarSnapshot m_after;
};

ChordPalette::ChordPalette(TuneSession& session, const NotesView& header, QWidget* parent)
    : QWidget(parent), m_session(session), m_header(header) {
    setObjectName(QStringLiteral("TfChords"));
    setWindowTitle(tr("Chords"));
    setHelpContext(this, kHelpChordPalette);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(kOtherTop + kNarrowOtherDrop + kCustomButtonSize + 2);

    m_undo = new QUndoStack(this);
    // An undo or redo during a play is refused: the command left the song as
    // it was, so the stack goes back to where it stood.
    connect(m_undo, &QUndoStack::indexChanged, this, [this](int index) {
        if (m_revertingUndo) return;
        if (m_undoRefused) {
            undoRefused();
            return;
        }
        m_undoIndex = index;
    });

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lb_CustomChords"));
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setMouseTracking(true);
    m_list->viewport()->setMouseTracking(true);
    QPalette colours = m_list->palette();
    colours.setColor(QPalette::Base, kLabelFace);
    colours.setColor(QPalette::Text, kListText);
    m_list->setPalette(colours);
    QFont small = m_list->font();
    small.setPixelSize(kListItemHeight - 2);
    m_list->setFont(small);
    m_list->hide();
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);

    connect(&header, &NotesView::horizontalOffsetChanged, this, &ChordPalette::scrollTo);
    connect(&header, &NotesView::barSelected, this, &ChordPalette::selectBar);
}

ChordPalette::~ChordPalette() {
    // The commands call back into the palette; they go first.
    m_undo->clear();
}

void ChordPalette::attach(const Controls& controls) {
    m_controls = controls;
}

void ChordPalette::setChordSound(ChordSound sound) {
    m_sound = std::move(sound);
}

// ---- the song ----

const TSong* ChordPalette::song() const {
    return m_session.song();
}

int ChordPalette::mainCount(int bar) const {
    const TSong* s = song();
    if (!s || bar < 0 || bar >= static_cast<int>(s->barChords.size())) return 0;
    return std::min<int>(s->barChords[static_cast<std::size_t>(bar)].mainCount,
                         TBarChords::kCapacity);
}

int ChordPalette::chordCount(int bar) const {
    const TSong* s = song();
    if (!s || bar < 0 || bar >= static_cast<int>(s->barChords.size())) return 0;
    const TBarChords& c = s->barChords[static_cast<std::size_t>(bar)];
    return std::min(c.mainCount + c.extraCount, TBarChords::kCapacity);
}

ChordCode ChordPalette::candidate(int bar, int index) const {
    if (index < 0 || index >= chordCount(bar)) return kNoChord;
    return song()->barChords[static_cast<std::size_t>(bar)].codes[index];
}

ChordCode ChordPalette::appliedChord(int bar) const {
    const TSong* s = song();
    return s ? s->BarChord(bar) : kNoChord;
}

bool ChordPalette::muted(int bar) const {
    const TSong* s = song();
    if (!s || bar < 0 || bar >= static_cast<int>(s->barHarmony.size())) return false;
    return s->barHarmony[static_cast<std::size_t>(bar)].play == 0;
}

int ChordPalette::tagOf(int bar, Part part, int n) const {
    if (bar < 0 || bar >= columnCount()) return -1;
    const BarState& state = m_bars[static_cast<std::size_t>(bar)];
    switch (part) {
    case Part::Applied:
        return bar * 256 + state.applied;
    case Part::Chord:
        return bar * 256 + n;
    case Part::Other:
        return bar * 256 + state.other;
    case Part::CustomButton:
        return bar * 256 + kItemCustom;
    }
    return -1;
}

ChordCode ChordPalette::chordOfTag(int tag) const {
    if (tag < 0) return kNoChord;
    const int item = tag % 256;
    if (item < 1 || item > TBarChords::kCapacity) return kNoChord;
    return candidate(tag / 256, item - 1);
}

// ---- building ----

void ChordPalette::build() {
    const TSong* s = song();
    if (!s || s->barHarmony.empty()) {
        clear();
        return;
    }
    hideList();
    m_undo->clear();
    m_undoIndex = 0;
    const int bars = static_cast<int>(s->barHarmony.size());
    m_bars.assign(static_cast<std::size_t>(bars), BarState{});
    for (int bar = 0; bar < bars; ++bar) {
        const ChordCode chord = s->barHarmony[static_cast<std::size_t>(bar)].chord;
        BarState& state = m_bars[static_cast<std::size_t>(bar)];
        if (chord < 0) continue;
        // A chord that is none of the candidates (a project's own) plays through
        // the applied label but stands for no button.
        state.applied = 0;
        const int count = chordCount(bar);
        for (int i = 0; i < count; ++i) {
            if (candidate(bar, i) != chord) continue;
            state.applied = static_cast<std::uint8_t>(i + 1);
            // An additional chord chosen earlier shows in the " Other" label.
            if (i >= mainCount(bar)) state.other = state.applied;
            break;
        }
    }
    m_selected = -1;
    m_offset = m_header.headerOffset();
    m_built = true;
    m_infoTag = -1;
    update();
}

void ChordPalette::clear() {
    stopSound();
    hideList();
    m_undo->clear();
    m_undoIndex = 0;
    m_bars.clear();
    m_built = false;
    m_selected = -1;
    m_currentTag = -1;
    m_infoTag = -1;
    update();
}

void ChordPalette::selectBar(int bar) {
    if (!m_built || bar < 0 || bar >= columnCount()) return;
    m_selected = bar;
    update();
}

void ChordPalette::scrollTo(int headerOffset) {
    if (headerOffset == m_offset) return;
    m_offset = headerOffset;
    // The list belongs to a column that has just moved.
    hideList();
    update();
}

// ---- geometry ----

int ChordPalette::originX() const {
    const QWidget* viewport = m_header.viewport();
    int left = viewport->x();
    // In one window the header may sit anywhere above; its own x decides.
    if (viewport->window() == window() && window() != this)
        left = mapFrom(window(), viewport->mapTo(window(), QPoint(0, 0))).x();
    return left + NotesView::rollLeft() - m_offset;
}

int ChordPalette::columnX(int bar) const {
    return originX() + m_header.sectionX(bar);
}

int ChordPalette::columnWidth(int bar) const {
    if (bar < 0 || bar >= m_header.sectionCount()) return 0;
    return m_header.sectionX(bar + 1) - m_header.sectionX(bar);
}

// The first bar whose column ends right of x (x in this widget's coordinates).
int ChordPalette::firstBarAtOrRightOf(int x) const {
    const int headerX = x - originX();
    int lo = 0;
    int hi = std::min(columnCount(), m_header.sectionCount());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (m_header.sectionX(mid + 1) <= headerX)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int ChordPalette::barAtX(int x) const {
    const int bar = firstBarAtOrRightOf(x);
    if (bar >= std::min(columnCount(), m_header.sectionCount())) return -1;
    return columnX(bar) <= x ? bar : -1;
}

QRect ChordPalette::partRect(int bar, Part part, int n) const {
    if (!m_built || bar < 0 || bar >= columnCount()) return {};
    const int w = columnWidth(bar);
    if (w <= 0) return {};
    const int x = columnX(bar);
    const int centre = x + w / 2;
    const bool thin = w <= kNarrowColumn;
    const int otherTop = kOtherTop + (thin ? kNarrowOtherDrop : 0);
    const QRect other(centre - kOtherWidth / 2, otherTop, kOtherWidth, kLabelHeight);
    switch (part) {
    case Part::Applied:
        return {x, 0, w - 1, kLabelHeight};
    case Part::Chord: {
        if (n < 1 || n > std::min(mainCount(bar), kMainButtons)) return {};
        const int bw = thin ? kNarrowButtonWidth : kButtonWidth;
        const int bh = thin ? kNarrowButtonHeight : kButtonHeight;
        return {centre - bw / 2, kButtonTop + (n - 1) * kButtonStep, bw, bh};
    }
    case Part::Other:
        return other;
    case Part::CustomButton:
        if (thin)
            return {other.right() + 1 - kCustomButtonSize, otherTop, kCustomButtonSize,
                    kCustomButtonSize};
        return {other.right() + 1, otherTop, kCustomButtonSize, kCustomButtonSize};
    }
    return {};
}

std::optional<ChordPalette::Hit> ChordPalette::hitAt(QPoint pos) const {
    // A song closed before clear() was called leaves nothing to hit.
    if (!m_built || !song()) return std::nullopt;
    const int bar = barAtX(pos.x());
    if (bar < 0) return std::nullopt;
    // The custom button lies over the " Other" label in a narrow column: it goes first.
    if (partRect(bar, Part::CustomButton).contains(pos))
        return Hit{bar, Part::CustomButton, 0, tagOf(bar, Part::CustomButton)};
    if (partRect(bar, Part::Other).contains(pos))
        return Hit{bar, Part::Other, 0, tagOf(bar, Part::Other)};
    if (partRect(bar, Part::Applied).contains(pos))
        return Hit{bar, Part::Applied, 0, tagOf(bar, Part::Applied)};
    for (int n = 1; n <= kMainButtons; ++n) {
        if (partRect(bar, Part::Chord, n).contains(pos))
            return Hit{bar, Part::Chord, n, tagOf(bar, Part::Chord, n)};
    }
    return std::nullopt;
}

QString ChordPalette::partName(int bar, Part part, int n) {
    switch (part) {
    case Part::Applied:
        return QStringLiteral("AChr_%1").arg(bar);
    case Part::Chord:
        return QStringLiteral("Chr_%1_%2").arg(bar).arg(n);
    case Part::Other:
        return QStringLiteral("NCChr_%1").arg(bar);
    case Part::CustomButton:
        return QStringLiteral("SCChr_%1").arg(bar);
    }
    return {};
}

// ---- texts and colours ----

QString ChordPalette::appliedText(int bar) const {
    if (!m_built || !song() || bar < 0 || bar >= columnCount()) return {};
    if (muted(bar)) return kMuted;
    return QString::fromStdString(ChordName(appliedChord(bar)));
}

QString ChordPalette::buttonText(int bar, int n) const {
    if (partRect(bar, Part::Chord, n).isEmpty()) return {};
    const QString name = padded(ChordName(candidate(bar, n - 1)), kNameWidth);
    return narrow(bar) ? QStringLiteral("  ") + name : name;
}

QString ChordPalette::otherText(int bar) const {
    if (!m_built || bar < 0 || bar >= columnCount()) return {};
    const int item = m_bars[static_cast<std::size_t>(bar)].other;
    if (item < 1 || item > TBarChords::kCapacity) return kOther;
    return QString::fromStdString(ChordName(candidate(bar, item - 1)));
}

QColor ChordPalette::appliedTextColour(int bar) const {
    return muted(bar) ? kMutedText : kLabelText;
}

QColor ChordPalette::appliedBackground(int bar) const {
    return bar == m_selected ? kSelectedFace : kLabelFace;
}

QColor ChordPalette::buttonTextColour(int bar, int n) const {
    const TSong* s = song();
    if (s && candidate(bar, n - 1) == s->BarChord(bar) && s->BarChord(bar) >= 0)
        return kAppliedButtonText;
    return palette().color(QPalette::ButtonText);
}

QString ChordPalette::hint(Part part) {
    if (part == Part::Applied) return QStringLiteral("Play - Left click \n\rMute - Right click");
    if (part == Part::CustomButton) return {};
    return QStringLiteral("Play - Left click \n\rSelect - Right click");
}

// ---- painting ----

const QPixmap& ChordPalette::glyph(int root) {
    QPixmap& pixmap = m_glyphs[static_cast<std::size_t>(root)];
    if (!pixmap.isNull()) return pixmap;
    // The root's note name on a tile: square for a major root, round for a minor one.
    pixmap = QPixmap(kGlyphSize, kGlyphSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kGlyphInk, 1.5));
    const QRectF tile(1.5, 1.5, kGlyphSize - 3, kGlyphSize - 3);
    if (isMinorKey(root)) {
        p.setBrush(kGlyphMinor);
        p.drawEllipse(tile);
    } else {
        p.setBrush(kGlyphMajor);
        p.drawRoundedRect(tile, 4, 4);
    }
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(15);
    p.setFont(font);
    p.drawText(tile, Qt::AlignCenter, QString::fromLatin1(NoteNames[keyTonic(root)]));
    return pixmap;
}

void ChordPalette::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), kBackground);
    if (!m_built || !song()) return;
    // A zoom of the header moves the columns without a scroll: the list follows.
    if (customListBar() >= 0) {
        const QPoint anchor = partRect(m_listBar, Part::Other).topLeft();
        const QPoint place(anchor.x(), std::max(anchor.y() - 2 - m_list->height(), 0));
        if (m_list->pos() != place) m_list->move(place);
    }
    const int last = std::min(columnCount(), m_header.sectionCount());
    for (int bar = firstBarAtOrRightOf(event->rect().left());
         bar < last && columnX(bar) <= event->rect().right(); ++bar)
        paintColumn(p, bar);
}

void ChordPalette::paintColumn(QPainter& p, int bar) {
    QFont plain = font();
    QFont bold = plain;
    bold.setBold(true);

    const QRect applied = partRect(bar, Part::Applied);
    p.fillRect(applied, appliedBackground(bar));
    p.setFont(bold);
    p.setPen(appliedTextColour(bar));
    p.drawText(applied, Qt::AlignCenter, appliedText(bar));

    p.setFont(plain);
    const int buttons = std::min(mainCount(bar), kMainButtons);
    for (int n = 1; n <= buttons; ++n)
        paintButton(p, bar, n);

    const QRect other = partRect(bar, Part::Other);
    p.fillRect(other, kLabelFace);
    p.setPen(kLabelText);
    p.drawText(other, Qt::AlignLeft | Qt::AlignVCenter, otherText(bar));

    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = partRect(bar, Part::CustomButton);
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(option.rect, Qt::AlignCenter, QStringLiteral("\u25B4"));
}

void ChordPalette::paintButton(QPainter& p, int bar, int n) {
    const QRect r = partRect(bar, Part::Chord, n);
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = r;
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);

    const ChordCode chord = candidate(bar, n - 1);
    const int root = chordRoot(chord);
    p.setPen(buttonTextColour(bar, n));
    const QString text = buttonText(bar, n).trimmed();
    if (narrow(bar)) {
        if (root >= 0) p.drawPixmap(r.x() + (r.width() - kGlyphSize) / 2, r.y() + 1, glyph(root));
        p.drawText(QRect(r.x(), r.y() + kGlyphSize, r.width(), r.height() - kGlyphSize),
                   Qt::AlignCenter, text);
    } else {
        if (root >= 0) p.drawPixmap(r.x() + 2, r.y() + (r.height() - kGlyphSize) / 2, glyph(root));
        p.drawText(QRect(r.x() + kGlyphSize + 6, r.y(), r.width() - kGlyphSize - 8, r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

// ---- edits ----

bool ChordPalette::refuseWhilePlaying() {
    if (!m_session.playing()) return false;
    emit refusedWhilePlaying();
    return true;
}

ChordPalette::BarSnapshot ChordPalette::snapshot(int bar) const {
    BarSnapshot s;
    s.chord = appliedChord(bar);
    s.plays = !muted(bar);
    s.state = m_bars[static_cast<std::size_t>(bar)];
    return s;
}

void ChordPalette::commit(int bar, const BarSnapshot& after, const QString& text) {
    m_undo->push(new BarCommand(this, bar, snapshot(bar), after, text));
}

bool ChordPalette::restore(int bar, const BarSnapshot& s) {
    if (m_revertingUndo) return true;
    if (!song() || bar < 0 || bar >= columnCount()) return false;
    if (m_session.playing()) {
        m_undoRefused = true;
        return false;
    }
    m_session.setBarChord(bar, s.chord);
    if (s.plays == muted(bar)) m_session.setBarPlays(bar, s.plays);
    m_bars[static_cast<std::size_t>(bar)] = s.state;
    m_infoTag = -1;
    update();
    emit chordsChanged();
    return true;
}

void ChordPalette::undoRefused() {
    m_undoRefused = false;
    m_revertingUndo = true;
    m_undo->setIndex(m_undoIndex);
    m_revertingUndo = false;
    emit refusedWhilePlaying();
}

void ChordPalette::applyTag(int tag) {
    const int bar = tag / 256;
    if (!m_built || bar < 0 || bar >= columnCount() || refuseWhilePlaying()) return;
    const int item = tag % 256;
    BarSnapshot after = snapshot(bar);
    after.chord = item == kItemNone ? kNoChord : chordOfTag(tag);
    after.state.applied = static_cast<std::uint8_t>(item);
    // The label now names the chord, so the bar plays it.
    after.plays = true;
    commit(bar, after, tr("Apply chord"));
}

void ChordPalette::toggleMute(int bar) {
    if (!m_built || bar < 0 || bar >= columnCount() || refuseWhilePlaying()) return;
    BarSnapshot after = snapshot(bar);
    after.plays = !after.plays;
    commit(bar, after, after.plays ? tr("Unmute bar") : tr("Mute bar"));
}

void ChordPalette::chooseFromList(int row) {
    const int bar = m_listBar;
    if (bar < 0 || bar >= columnCount() || refuseWhilePlaying()) return;
    hideList();
    const int mainChords = mainCount(bar);
    BarSnapshot after = snapshot(bar);
    after.plays = true;
    if (row >= 1 && mainChords + row <= chordCount(bar)) {
        after.state.other = static_cast<std::uint8_t>(mainChords + row);
        after.state.applied = after.state.other;
        after.chord = candidate(bar, mainChords + row - 1);
    } else {
        // "None": back to the first recommendation, or to no chord without one.
        after.state.other = kItemNone;
        after.state.applied = mainChords >= 1 ? 1 : kItemNone;
        after.chord = mainChords >= 1 ? candidate(bar, 0) : kNoChord;
    }
    commit(bar, after, tr("Choose chord"));
}

// ---- sound and information ----

void ChordPalette::sound(ChordCode chord, std::uint8_t status) {
    if (m_sound && isChordCode(chord)) m_sound(chord, status);
}

void ChordPalette::startSound(ChordCode chord) {
    stopSound();
    if (!isChordCode(chord)) return;
    sound(chord, kNoteOn);
    m_sounding = chord;
}

void ChordPalette::stopSound() {
    if (!m_sounding) return;
    const ChordCode chord = *m_sounding;
    m_sounding.reset();
    sound(chord, kNoteOff);
}

void ChordPalette::showInfo(int tag) {
    m_infoTag = tag;
    const int bar = tag / 256;
    const int item = tag % 256;
    // The applied label names the bar's own chord, a candidate or not.
    ChordCode chord = chordOfTag(tag);
    if (item == 0) chord = appliedChord(bar);
    if (item >= kItemInfoLimit || !isChordCode(chord)) {
        if (m_controls.chordName) m_controls.chordName->clear();
        if (m_controls.chordNotes) m_controls.chordNotes->clear();
        return;
    }
    QString notes;
    const int octave = song()->chordOctave;
    if (octave <= 10) {
        const ChordToneList tones = chordTonesOf(chord, 12 * octave);
        for (int i = 0; i < tones.count; ++i) {
            if (i > 0) notes += QLatin1Char(' ');
            notes += QString::fromStdString(PitchName(tones.tones[static_cast<std::size_t>(i)]));
        }
    } else {
        notes = QString::fromStdString(ChordToneNames(chord)).simplified();
    }
    if (m_controls.chordName)
        m_controls.chordName->setText(QString::fromStdString(ChordName(chord)));
    if (m_controls.chordNotes) m_controls.chordNotes->setText(notes);
}

void ChordPalette::clearInfo() {
    m_infoTag = -1;
    if (m_controls.chordName) m_controls.chordName->clear();
    if (m_controls.chordNotes) m_controls.chordNotes->clear();
}

void ChordPalette::showStatus(const QString& text) {
    if (!m_controls.status) return;
    if (text.isEmpty())
        m_controls.status->clearMessage();
    else
        m_controls.status->showMessage(oneLine(text));
}

// ---- mouse and keyboard ----

void ChordPalette::mousePressEvent(QMouseEvent* event) {
    const std::optional<Hit> hit = hitAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_pressedCustom = -1;
        if (!hit) return;
        m_currentTag = hit->tag;
        if (hit->part == Part::CustomButton) {
            m_pressedCustom = hit->bar;
            return;
        }
        // A muted bar's label stays silent; an applied chord that is none of
        // the candidates still sounds through its label.
        if (hit->part == Part::Applied)
            startSound(muted(hit->bar) ? kNoChord : appliedChord(hit->bar));
        else
            startSound(chordOfTag(hit->tag));
    } else if (event->button() == Qt::RightButton) {
        if (!hit) return;
        m_currentTag = hit->tag;
        if (hit->part == Part::Applied)
            toggleMute(hit->bar);
        else if (hit->part == Part::Chord || hit->part == Part::Other)
            applyTag(hit->tag);
    }
}

void ChordPalette::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The chord that was pressed stops, wherever the mouse went since.
    stopSound();
    const int pressed = std::exchange(m_pressedCustom, -1);
    const std::optional<Hit> hit = hitAt(event->position().toPoint());
    if (pressed >= 0 && hit && hit->part == Part::CustomButton && hit->bar == pressed) {
        if (customListBar() == pressed) {
            chooseFromList(m_list->currentRow());
        } else {
            openList(pressed);
        }
    }
}

void ChordPalette::mouseMoveEvent(QMouseEvent* event) {
    const std::optional<Hit> hit = hitAt(event->position().toPoint());
    if (!hit) {
        if (m_infoTag != -1) {
            clearInfo();
            showStatus({});
        }
        return;
    }
    if (hit->tag != m_infoTag) {
        showInfo(hit->tag);
        showStatus(hint(hit->part));
    }
}

void ChordPalette::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (m_infoTag != -1) {
        clearInfo();
        showStatus({});
    }
}

bool ChordPalette::event(QEvent* event) {
    // Space sounds the selected bar's chord here; the window's Space
    // (play and pause) must not take it first.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && m_built &&
            song() && m_selected >= 0) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::optional<Hit> hit = hitAt(help->pos());
        const QString text = hit ? hint(hit->part) : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), lines(text), this,
                               partRect(hit->bar, hit->part, hit->n));
        }
        return true;
    }
    return QWidget::event(event);
}

void ChordPalette::keyPressEvent(QKeyEvent* event) {
    if (!m_built || columnCount() == 0 || !song()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        const int step = key == Qt::Key_Left ? -1 : 1;
        const int from = m_selected < 0 ? (step > 0 ? -1 : 1) : m_selected;
        const int bar = std::clamp(from + step, 0, columnCount() - 1);
        if (bar != m_selected) {
            selectBar(bar);
            emit barChosen(bar);
        }
    } else if (key >= Qt::Key_1 && key <= Qt::Key_3) {
        const int n = key - Qt::Key_0;
        if (m_selected >= 0 && n <= std::min(mainCount(m_selected), kMainButtons))
            applyTag(m_selected * 256 + n);
    } else if (key == Qt::Key_M) {
        if (m_selected >= 0) toggleMute(m_selected);
    } else if (key == Qt::Key_Space) {
        if (!event->isAutoRepeat() && m_selected >= 0 && !muted(m_selected)) {
            stopSound();
            startSound(appliedChord(m_selected));
        }
    } else if (key == Qt::Key_Escape && customListBar() >= 0) {
        hideList();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void ChordPalette::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        stopSound();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

// ---- the custom chord list ----

int ChordPalette::customListBar() const {
    return m_list->isHidden() ? -1 : m_listBar;
}

void ChordPalette::openList(int bar) {
    const int mainChords = mainCount(bar);
    const int count = chordCount(bar);
    m_list->clear();
    m_list->addItem(kNoneItem);
    for (int i = mainChords; i < count; ++i)
        m_list->addItem(QString::fromStdString(ChordName(candidate(bar, i))));
    int listWidth = kOtherWidth;
    const QFontMetrics metrics(m_list->font());
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem* item = m_list->item(row);
        item->setSizeHint(QSize(0, kListItemHeight));
        listWidth = std::max(listWidth, metrics.horizontalAdvance(item->text()) + 8);
    }
    const int frame = 2 * m_list->frameWidth();
    const int listHeight = m_list->count() * kListItemHeight + frame;
    const QRect other = partRect(bar, Part::Other);
    m_list->setGeometry(other.left(), std::max(other.top() - 2 - listHeight, 0), listWidth + frame,
                        listHeight);
    // The current choice stays selected when the list opens again.
    const int chosen = m_bars[static_cast<std::size_t>(bar)].other;
    m_list->setCurrentRow(chosen > mainChords && chosen <= count ? chosen - mainChords : 0);
    m_listBar = bar;
    m_list->show();
    m_list->raise();
    m_list->setFocus();
}

void ChordPalette::hideList() {
    if (m_list->isHidden()) return;
    const bool hadFocus = m_list->hasFocus();
    m_list->hide();
    m_listBar = -1;
    stopSound();
    if (hadFocus) setFocus();
}

bool ChordPalette::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            onListPress(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonRelease:
            onListRelease(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseMove: {
            const int row =
                m_list->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row();
            if (row >= 1 && m_listBar >= 0)
                showInfo(m_listBar * 256 + mainCount(m_listBar) + row);
            else
                clearInfo();
            return false;
        }
        default:
            return false;
        }
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            chooseFromList(m_list->currentRow());
            return true;
        }
        if (key == Qt::Key_Escape) {
            hideList();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ChordPalette::onListPress(QMouseEvent* event) {
    const int row = m_list->indexAt(event->position().toPoint()).row();
    if (event->button() == Qt::LeftButton) {
        if (row >= 0) m_list->setCurrentRow(row);
        if (row >= 1 && m_listBar >= 0)
            startSound(candidate(m_listBar, mainCount(m_listBar) + row - 1));
    } else if (event->button() == Qt::RightButton && row >= 0) {
        m_list->setCurrentRow(row);
        chooseFromList(row);
    }
}

void ChordPalette::onListRelease(QMouseEvent* event) {
    // The chord that was pressed stops, even when the mouse left its row.
    if (event->button() == Qt::LeftButton) stopSound();
}

} // namespace korvanta::ui
