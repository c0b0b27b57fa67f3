#include "ui/notes/NotesView.h"

#include "alg/song/PositionText.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"

#include <QAbstractButton>
#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace korvanta::ui {

namespace {

const QColor kNoteBody(0, 128, 128);
const QColor kSemitoneLine(192, 192, 192);
const QColor kOctaveLine(128, 128, 128);
const QColor kBeatLine(192, 192, 192);
const QColor kBarLine(0, 0, 128);
const QColor kHeaderFace(210, 193, 174);
const QColor kCursor(128, 0, 0);
const QColor kOctaveText(0, 0, 255);
const QColor kLoopBand(0, 128, 0, 70);
const QColor kLoopMarker(0, 128, 0);
const QColor kMark(255, 0, 0);

constexpr const char* kNoteNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                        "F#", "G",  "G#", "A",  "A#", "B"};
constexpr double kMinZoom = 0.05;
constexpr double kMaxZoom = 20.0;
constexpr double kZoomStep = 1.25;

int clampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min() / 2,
                                                     std::numeric_limits<int>::max() / 2));
}

} // namespace

NotesView::NotesView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName("NotesView");
    setWindowTitle(tr("Melody"));
    setHelpContext(this, kHelpNotesView);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);

    m_mouseButtons = [] { return QGuiApplication::mouseButtons(); };
    m_scrollTimer.setInterval(kAutoScrollMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, &NotesView::autoScrollTick);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &NotesView::onHorizontalScroll);

    m_stripMenu = new QMenu(this);
    m_stripMenu->setObjectName("notesStripMenu");
    QAction* insert = m_stripMenu->addAction(tr("Insert Mark"));
    insert->setObjectName("insertMark");
    connect(insert, &QAction::triggered, this, [this] { insertMark(); });
    QAction* deleteAll = m_stripMenu->addAction(tr("Delete All Marks"));
    deleteAll->setObjectName("deleteAllMarks");
    connect(deleteAll, &QAction::triggered, this, &NotesView::deleteAllMarks);
    m_jumpsAction = m_stripMenu->addAction(tr("Disable Mark's Jumps"));
    m_jumpsAction->setObjectName("disableMarkJumps");
    m_jumpsAction->setCheckable(true);
    m_jumpsAction->setChecked(true);
    connect(m_jumpsAction, &QAction::triggered, this, &NotesView::setMarkJumpsDisabled);
    QAction* deleteLoop = m_stripMenu->addAction(tr("Delete Loop Points"));
    deleteLoop->setObjectName("deleteLoopPoints");
    connect(deleteLoop, &QAction::triggered, this, &NotesView::deleteLoopPoints);

    m_markMenu = new QMenu(this);
    m_markMenu->setObjectName("notesMarkMenu");
    QAction* deleteOne = m_markMenu->addAction(tr("Delete Mark"));
    deleteOne->setObjectName("deleteMark");
    connect(deleteOne, &QAction::triggered, this, [this] { deleteMark(m_selectedMark); });

    relayout();
}

NotesView::~NotesView() = default;

void NotesView::attach(const NotesStatusControls& controls) {
    m_controls = controls;
}

void NotesView::setSong(const TSong* song) {
    m_song = song;
    stopAutoScroll();
    m_dragState = 0;
    m_cursorTick = 0;
    m_playTick = 0;
    m_loopOn = false;
    m_bandShown = false;
    m_loopFromX = m_loopToX = m_savedFromX = m_savedToX = 0;
    m_loopFromTick = m_loopToTick = 0;
    m_marks.clear();
    m_jumpsEnabled = false;
    m_jumpsAction->setChecked(true);
    m_selectedMark = -1;
    m_lastPressX.reset();
    m_offset = 0;
    for (int e = 0; e < 4; ++e)
        m_positions.set(e, 0);
    if (m_song) m_positions.set(PlayPositions::kSongEnd, m_song->notes.length);
    relayout();
    placeRows();
    // A view not laid out yet places its rows again at its first real size.
    m_rowsPlaced = isVisible();
    setHeaderOffset(0);
}

void NotesView::placeRows() {
    QScrollBar* rows = verticalScrollBar();
    const int octave = m_song ? m_song->chordOctave : 5;
    int top = octave * 12 - 12;
    // The melody must be in sight: when the chord octave's place does not show
    // all of it, the melody's range is centred instead.
    if (m_song && m_song->notes.Count(kMelodyList) > 0) {
        int lowest = kRows;
        int highest = -1;
        for (const TNote& note : m_song->notes.list(kMelodyList)) {
            lowest = std::min<int>(lowest, note.pitch);
            highest = std::max<int>(highest, note.pitch);
        }
        const int visible = std::max(rollHeight() / kRowHeight, 1);
        const int topNote = kRows - 1 - top;
        if (highest > topNote || lowest < topNote - visible + 1)
            top = kRows - 1 - (highest + lowest) / 2 - visible / 2;
    }
    rows->setValue(std::clamp(top, rows->minimum(), rows->maximum()));
}

// ---- scales ----

void NotesView::computeScales() {
    const TMeterMap* meter = m_song ? &m_song->meter() : nullptr;
    m_barCount = m_song ? std::clamp(m_song->barCount, 0, kMaxSongBars) : 0;
    m_numerator = 4;
    if (meter && meter->entryCount() > 0)
        m_numerator = std::max<int>(meter->entries()[0].numerator, 1);
    // A numerator above the nominal bar width would round to no pixels at all.
    const int basePerBeat = std::max(kNominalBarWidth / m_numerator, 1);
    m_pixelsPerBeat = std::max(static_cast<int>(std::lround(basePerBeat * m_zoom)), 1);
    m_pixelsPerBar = m_numerator * m_pixelsPerBeat;

    const int sections = m_song ? m_barCount + kExtraBars : 0;
    m_sectionStart.assign(static_cast<std::size_t>(sections) + 1, 0);
    for (int i = 0; i < sections; ++i) {
        const int numerator = meter->MeterAt(i).numerator;
        m_sectionStart[i + 1] = m_sectionStart[i] + std::int64_t{m_pixelsPerBeat} * numerator;
    }
    m_totalTicks = meter ? std::max<std::int64_t>(meter->BarStart(m_barCount), 0) : 0;
    const std::int64_t songWidth = m_sectionStart[static_cast<std::size_t>(m_barCount)];
    m_totalBeats = songWidth / m_pixelsPerBeat;
    if (m_totalTicks > 0 && songWidth > 0) {
        m_pixelsPerTick = static_cast<double>(songWidth) / static_cast<double>(m_totalTicks);
    } else {
        // An empty song still needs a usable scale: a beat of the first meter.
        int beatTicks = 0;
        if (meter && meter->entryCount() > 0) beatTicks = meter->entries()[0].ticksPerBeat;
        if (beatTicks <= 0) beatTicks = 480;
        m_pixelsPerTick = static_cast<double>(m_pixelsPerBeat) / beatTicks;
    }
}

void NotesView::relayout() {
    const double oldScale = m_pixelsPerTick;
    computeScales();
    if (oldScale != m_pixelsPerTick) {
        for (Mark& m : m_marks)
            m.x = clampToInt(std::llround(m.tick * m_pixelsPerTick));
        if (m_loopOn || m_loopToTick > m_loopFromTick) {
            m_loopFromX = xOfTick(m_loopFromTick);
            m_loopToX = xOfTick(m_loopToTick);
        }
    }
    updateScrollBars();
    setHeaderOffset(m_offset);
    viewport()->update();
    emit scalesChanged();
}

std::int64_t NotesView::tickAtX(int x) const {
    return m_pixelsPerTick > 0 ? std::llround(x / m_pixelsPerTick) : 0;
}

int NotesView::xOfTick(std::int64_t tick) const {
    return clampToInt(std::llround(static_cast<double>(tick) * m_pixelsPerTick));
}

int NotesView::sectionX(int section) const {
    if (section < 0 || section > sectionCount()) return 0;
    return clampToInt(m_sectionStart[static_cast<std::size_t>(section)]);
}

int NotesView::rollWidth() const {
    return std::max(viewport()->width() - rollLeft(), 0);
}
int NotesView::rollHeight() const {
    return std::max(viewport()->height() - rollTop(), 0);
}

int NotesView::noteAtY(int y) const {
    const int row = (y - rollTop()) / kRowHeight + verticalScrollBar()->value();
    return kRows - 1 - row;
}

void NotesView::setZoom(double zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == m_zoom) return;
    const int keep = cursorX() - m_offset; // the cursor stays where it stands
    m_zoom = zoom;
    relayout();
    setHeaderOffset(cursorX() - keep);
}

void NotesView::updateScrollBars() {
    QScrollBar* h = horizontalScrollBar();
    const QSignalBlocker block(h);
    std::int64_t maxBeats = m_totalBeats - rollWidth() / (2 * m_pixelsPerBeat);
    if (maxBeats < 0) maxBeats = m_totalBeats;
    h->setRange(0, clampToInt(maxBeats));
    h->setSingleStep(1);
    h->setPageStep(m_numerator);
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(kRows - rollHeight() / kRowHeight, 0));
    v->setSingleStep(1);
    v->setPageStep(6);
}

void NotesView::setHeaderOffset(int pixels) {
    pixels = std::max(pixels, 0);
    QScrollBar* h = horizontalScrollBar();
    {
        const QSignalBlocker block(h);
        h->setValue(pixels / m_pixelsPerBeat);
    }
    if (pixels == m_offset) return;
    m_offset = pixels;
    viewport()->update();
    emit horizontalOffsetChanged(m_offset);
}

void NotesView::onHorizontalScroll(int value) {
    if (m_playing) {
        // While playing the view follows the player, not the scroll bar.
        const QSignalBlocker block(horizontalScrollBar());
        horizontalScrollBar()->setValue(m_offset / m_pixelsPerBeat);
        return;
    }
    setHeaderOffset(value * m_pixelsPerBeat);
}

void NotesView::scrollContentsBy(int, int) {
    viewport()->update();
}

void NotesView::bringIntoView(int x) {
    if (x < m_offset)
        setHeaderOffset(x - m_pixelsPerBar);
    else if (x >= m_offset + rollWidth())
        setHeaderOffset(x - rollWidth() + m_pixelsPerBar);
}

void NotesView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (!m_rowsPlaced && isVisible()) {
        placeRows();
        m_rowsPlaced = true;
    }
    const int x = cursorX();
    if (x < m_offset || x >= m_offset + rollWidth()) setHeaderOffset(x - m_pixelsPerBar);
}

// ---- cursor and navigation ----

int NotesView::cursorX() const {
    return xOfTick(m_playing ? m_playTick : m_cursorTick);
}

void NotesView::moveCursor(std::int64_t tick) {
    m_cursorTick = std::max<std::int64_t>(tick, 0);
    m_positions.set(PlayPositions::kStart, saturateTicks(m_cursorTick));
    viewport()->update();
    emit cursorMoved(m_cursorTick);
}

void NotesView::setCursorTick(std::int64_t tick) {
    moveCursor(tick);
    bringIntoView(cursorX());
}

void NotesView::moveCursorToStart() {
    moveCursor(0);
    setHeaderOffset(0);
}

int NotesView::lastBarWidth() const {
    if (m_barCount <= 0) return m_pixelsPerBar;
    return clampToInt(m_sectionStart[static_cast<std::size_t>(m_barCount)] -
                      m_sectionStart[static_cast<std::size_t>(m_barCount) - 1]);
}

std::int64_t NotesView::melodyEndTick() const {
    if (!m_song) return 0;
    const std::int32_t count = m_song->notes.Count(kMelodyList);
    return count > 0 ? std::max(m_song->notes.EndTick(count - 1, kMelodyList, 0), 0) : 0;
}

void NotesView::goPrevious() {
    if (m_loopOn) {
        moveCursor(m_loopFromTick);
        if (m_offset > 0 || m_loopFromX >= m_offset + rollWidth())
            setHeaderOffset(m_loopFromX - m_pixelsPerBar);
        return;
    }
    if (m_jumpsEnabled) {
        const int x = cursorX();
        for (auto it = m_marks.rbegin(); it != m_marks.rend(); ++it) {
            if (it->x < x) {
                moveCursor(tickAtX(it->x));
                bringIntoView(it->x);
                return;
            }
        }
    }
    moveCursor(0);
    setHeaderOffset(0);
}

void NotesView::goNext() {
    if (m_loopOn) {
        moveCursor(m_loopToTick);
        if (m_loopToX > m_offset + rollWidth() || m_loopToX < m_offset)
            setHeaderOffset(m_loopToX - rollWidth() + m_pixelsPerBar);
        return;
    }
    if (m_jumpsEnabled) {
        const int x = cursorX();
        for (const Mark& m : m_marks) {
            if (m.x > x) {
                moveCursor(tickAtX(m.x));
                bringIntoView(m.x);
                return;
            }
        }
    }
    const std::int64_t end = melodyEndTick();
    moveCursor(end);
    setHeaderOffset(xOfTick(end) - 2 * lastBarWidth());
}

void NotesView::follow(std::int64_t tick) {
    tick = std::max<std::int64_t>(tick, 0);
    const int oldX = cursorX();
    if (m_playing) m_playTick = tick;
    const int x = xOfTick(tick);
    if (QLabel* panel = statusPanel(1); panel && m_song)
        panel->setText(QString::fromStdString(positionText(m_song->meter(), tick)));
    if (!m_song) return;
    const int bar = m_song->meter().ToPos(tick).bar;
    emit barSelected(bar);
    const int barStart = xOfTick(m_song->meter().BarStart(bar));
    const int barEnd = xOfTick(m_song->meter().BarStart(bar + 1));
    if (barStart < m_offset) {
        setHeaderOffset(barStart);
    } else if (barEnd > m_offset + rollWidth()) {
        setHeaderOffset(x - m_pixelsPerBar);
    } else {
        // Only the two columns of the old and the new cursor line change.
        for (const int cx : {oldX, x}) {
            const int vx = cx - m_offset + rollLeft();
            viewport()->update(QRect(vx - 1, 0, 3, viewport()->height()));
        }
    }
}

void NotesView::setPlaying(bool playing) {
    if (playing == m_playing) return;
    m_playing = playing;
    stopAutoScroll();
    m_dragState = 0;
    m_playTick = m_cursorTick;
    viewport()->update();
}

// ---- loop ----

void NotesView::loopFromPixels() {
    int from = std::min(m_loopFromX, m_loopToX);
    int to = std::max(m_loopFromX, m_loopToX);
    const int half = m_pixelsPerBar / 2;
    if (to - from < half) to += half;
    m_loopFromX = from;
    m_loopToX = to;
    m_loopFromTick = tickAtX(from);
    m_loopToTick = tickAtX(to);
    writeLoopTexts();
}

bool NotesView::setLoopFromTexts() {
    if (!m_song) return false;
    const TMeterMap& meter = m_song->meter();
    const auto read = [&](QLineEdit* edit) {
        const std::string text = edit ? edit->text().toStdString() : std::string();
        return ticksOfPositionText(text, meter, m_song->barCount, m_song->notes.length);
    };
    std::int64_t from = read(m_controls.loopFrom);
    std::int64_t to = read(m_controls.loopTo);
    if (from > to) std::swap(from, to);
    const std::int64_t half = meter.TicksPerBar(meter.ToPos(from).bar) / 2;
    if (to - from < half) to += half;
    m_loopFromTick = from;
    m_loopToTick = to;
    m_loopFromX = xOfTick(from);
    m_loopToX = xOfTick(to);
    writeLoopTexts();
    setLoopOn();
    return true;
}

void NotesView::writeLoopTexts() {
    if (!m_song) return;
    const QString from = QString::fromStdString(positionText(m_song->meter(), m_loopFromTick));
    const QString to = QString::fromStdString(positionText(m_song->meter(), m_loopToTick));
    if (m_controls.loopFrom) m_controls.loopFrom->setText(from);
    if (m_controls.loopTo) m_controls.loopTo->setText(to);
    if (m_controls.fromTo)
        m_controls.fromTo->setText(m_controls.fromTo->property("tag").toInt() != 0 ? to : from);
}

void NotesView::setLoopOn() {
    m_loopOn = true;
    m_bandShown = true;
    if (m_controls.loopButton) m_controls.loopButton->setChecked(true);
    m_positions.set(PlayPositions::kLoopStart, saturateTicks(m_loopFromTick));
    m_positions.set(PlayPositions::kLoopEnd, saturateTicks(m_loopToTick));
    viewport()->update();
    emit loopChanged(true);
}

bool NotesView::disposeLoopPoints() {
    if (!m_song) return false;
    loopFromPixels();
    setLoopOn();
    return true;
}

void NotesView::deleteLoopPoints() {
    const bool wasOn = m_loopOn;
    m_loopOn = false;
    m_bandShown = false;
    if (m_controls.loopButton) m_controls.loopButton->setChecked(false);
    if (wasOn) {
        moveCursor(m_loopFromTick);
        m_restart.store(true);
    }
    viewport()->update();
    if (wasOn) emit loopChanged(false);
}

// ---- marks ----

void NotesView::insertMark() {
    if (m_lastPressX) {
        insertMarkAt(*m_lastPressX);
        return;
    }
    insertMarkAt(std::max(cursorX() - m_pixelsPerBeat / 2, 0));
}

void NotesView::insertMarkAt(int x) {
    x = std::max(x, 0);
    const auto at = std::lower_bound(m_marks.begin(), m_marks.end(), x,
                                     [](const Mark& m, int v) { return m.x < v; });
    if (at != m_marks.end() && at->x == x) return;
    m_marks.insert(at, Mark{m_nextMarkId++, x, m_pixelsPerTick > 0 ? x / m_pixelsPerTick : 0});
    setMarkJumpsDisabled(false);
    viewport()->update();
}

bool NotesView::deleteMark(int markId) {
    const auto it = std::find_if(m_marks.begin(), m_marks.end(),
                                 [markId](const Mark& m) { return m.id == markId; });
    if (it == m_marks.end()) return false;
    m_marks.erase(it);
    if (m_selectedMark == markId) m_selectedMark = -1;
    if (m_marks.empty()) setMarkJumpsDisabled(true);
    viewport()->update();
    return true;
}

void NotesView::deleteAllMarks() {
    m_marks.clear();
    m_selectedMark = -1;
    setMarkJumpsDisabled(true);
    viewport()->update();
}

void NotesView::setMarkJumpsDisabled(bool disabled) {
    m_jumpsEnabled = !disabled;
    m_jumpsAction->setChecked(disabled);
}

std::vector<int> NotesView::markXs() const {
    std::vector<int> xs;
    xs.reserve(m_marks.size());
    for (const Mark& m : m_marks)
        xs.push_back(m.x);
    return xs;
}

std::vector<int> NotesView::markIds() const {
    std::vector<int> ids;
    ids.reserve(m_marks.size());
    for (const Mark& m : m_marks)
        ids.push_back(m.id);
    return ids;
}

// ---- mouse and keyboard ----

QLabel* NotesView::statusPanel(int index) const {
    if (!m_controls.status) return nullptr;
    return m_controls.status->findChild<QLabel*>(QStringLiteral("stbPanel%1").arg(index));
}

void NotesView::showStatus(const QPoint& pos) {
    if (m_controls.pitch) m_controls.pitch->clear();
    if (m_controls.position) m_controls.position->clear();
    if (!m_song || pos.x() < rollLeft() || pos.y() < rollTop()) return;
    const int note = noteAtY(pos.y());
    if (note >= 0 && note < kRows && m_controls.pitch)
        m_controls.pitch->setText(
            QStringLiteral(" %1%2").arg(kNoteNames[note % 12]).arg(note / 12));
    const int x = pos.x() - rollLeft() + m_offset;
    if (m_controls.position)
        m_controls.position->setText(
            QString::fromStdString(positionText(m_song->meter(), tickAtX(x))));
}

void NotesView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (pos.x() < rollLeft()) return; // the octave ruler
    const int x = pos.x() - rollLeft() + m_offset;
    m_lastPressX = std::max(x, 0);
    if (pos.y() < kMarkStripHeight) {
        const auto hit = std::find_if(m_marks.begin(), m_marks.end(), [x](const Mark& m) {
            return x >= m.x && x < m.x + kMarkSize;
        });
        if (hit != m_marks.end()) m_selectedMark = hit->id;
        if (event->button() == Qt::RightButton)
            (hit != m_marks.end() ? m_markMenu : m_stripMenu)
                ->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() == Qt::RightButton && pos.y() < rollTop()) {
        m_stripMenu->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    m_bandShown = false;
    viewport()->update();
    if (m_playing || !m_song) return;
    m_dragState = 1;
    m_savedFromX = m_loopFromX;
    m_savedToX = m_loopToX;
    m_loopFromX = m_loopToX = std::max(x, 0);
    m_dragDirection = 1;
}

void NotesView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    showStatus(pos);
    if (!(event->buttons() & Qt::LeftButton) || m_dragState < 1 || m_playing) return;
    const int x = std::max(pos.x() - rollLeft() + m_offset, 0);
    m_dragState = 2;
    if (QLabel* panel = statusPanel(2))
        panel->setText(QStringLiteral("%1 :: %2").arg(-m_offset).arg(x));
    if (std::abs(x - m_loopToX) > m_pixelsPerBeat) {
        m_dragDirection = x >= m_loopFromX ? 1 : -1;
        m_loopToX = x;
        m_bandShown = true;
        viewport()->update();
        if (x > m_offset + rollWidth())
            m_autoScroll = kAutoScrollBeats;
        else if (x < m_offset)
            m_autoScroll = -kAutoScrollBeats;
        else
            m_autoScroll = 0;
        if (m_autoScroll != 0 && !m_scrollTimer.isActive()) m_scrollTimer.start();
        if (m_autoScroll == 0) m_scrollTimer.stop();
    }
}

void NotesView::autoScrollTick() {
    // The release may happen where the view never hears of it (another
    // window, a grab lost): the held button is the truth.
    if (m_autoScroll == 0 || !(m_mouseButtons() & Qt::LeftButton)) {
        stopAutoScroll();
        return;
    }
    QScrollBar* h = horizontalScrollBar();
    h->setValue(h->value() + m_autoScroll);
    // The band follows the edge the view scrolls towards.
    m_loopToX = m_autoScroll > 0 ? m_offset + rollWidth() : m_offset;
    viewport()->update();
}

void NotesView::stopAutoScroll() {
    m_scrollTimer.stop();
    m_autoScroll = 0;
}

void NotesView::setMouseButtonsSource(std::function<Qt::MouseButtons()> source) {
    m_mouseButtons = source ? std::move(source) : [] { return QGuiApplication::mouseButtons(); };
}

void NotesView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_dragState == 0) return;
    if (m_scrollTimer.isActive()) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + m_autoScroll);
        stopAutoScroll();
    }
    const int x = std::max(event->position().toPoint().x() - rollLeft() + m_offset, 0);
    const bool drag = m_dragState == 2;
    m_dragState = 0;
    if (drag && std::abs(m_loopToX - m_loopFromX) > 0.8 * m_pixelsPerBar) {
        loopFromPixels();
        setLoopOn();
        return;
    }
    m_loopFromX = m_savedFromX;
    m_loopToX = m_savedToX;
    m_bandShown = m_loopOn;
    const std::int64_t tick = tickAtX(x);
    if (m_song) emit barSelected(m_song->meter().ToPos(tick).bar);
    moveCursor(tick);
}

void NotesView::focusOutEvent(QFocusEvent* event) {
    stopAutoScroll();
    QAbstractScrollArea::focusOutEvent(event);
}

void NotesView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta == 0) return;
        const int vx = static_cast<int>(event->position().x()) - rollLeft();
        const std::int64_t tick = tickAtX(vx + m_offset);
        setZoom(delta > 0 ? m_zoom * kZoomStep : m_zoom / kZoomStep);
        setHeaderOffset(xOfTick(tick) - vx);
        event->accept();
        return;
    }
    QScrollBar* v = verticalScrollBar();
    v->setValue(v->value() - delta / 100);
    event->accept();
}

void NotesView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        h->setValue(h->value() - 1);
        break;
    case Qt::Key_Right:
        h->setValue(h->value() + 1);
        break;
    case Qt::Key_PageUp:
        h->setValue(h->value() - rollWidth() / m_pixelsPerBeat);
        break;
    case Qt::Key_PageDown:
        h->setValue(h->value() + rollWidth() / m_pixelsPerBeat);
        break;
    case Qt::Key_Home:
        h->setValue(h->minimum());
        break;
    case Qt::Key_End:
        h->setValue(h->maximum());
        break;
    case Qt::Key_Up:
        v->setValue(v->value() - 1);
        break;
    case Qt::Key_Down:
        v->setValue(v->value() + 1);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        if (!ctrl) return QAbstractScrollArea::keyPressEvent(event);
        setZoom(m_zoom * kZoomStep);
        break;
    case Qt::Key_Minus:
        if (!ctrl) return QAbstractScrollArea::keyPressEvent(event);
        setZoom(m_zoom / kZoomStep);
        break;
    default:
        return QAbstractScrollArea::keyPressEvent(event);
    }
    event->accept();
}

// ---- painting ----

void NotesView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int width = rollWidth();
    p.fillRect(QRect(0, 0, rollLeft(), rollTop()), palette().window());
    p.save();
    p.translate(rollLeft(), rollTop());
    p.setClipRect(0, 0, width, rollHeight());
    paintRoll(p, m_offset, width, rollHeight());
    p.restore();

    p.save();
    p.translate(rollLeft(), kMarkStripHeight);
    p.setClipRect(0, 0, width, kHeaderHeight);
    paintHeader(p, m_offset, width);
    p.restore();

    p.save();
    p.translate(rollLeft(), 0);
    p.setClipRect(0, 0, width, kMarkStripHeight);
    paintMarkStrip(p, m_offset, width);
    p.restore();

    p.save();
    p.translate(0, rollTop());
    p.setClipRect(0, 0, rollLeft(), rollHeight());
    paintRuler(p);
    p.restore();
}

void NotesView::paintRoll(QPainter& p, int x0, int width, int height) {
    m_notesVisited = 0;
    const int top = -verticalScrollBar()->value() * kRowHeight; // y of note 131's row
    p.fillRect(QRect(0, 0, width, height), Qt::white);

    // Rows: a silver line under every semitone, grey at each octave boundary.
    const int firstRow = std::max(-top / kRowHeight, 0);
    const int lastRow = std::min((height - top) / kRowHeight + 1, kRows);
    for (int row = firstRow; row < lastRow; ++row) {
        const int note = kRows - 1 - row;
        const int y = top + (row + 1) * kRowHeight - 1;
        p.setPen(note % 12 == 0 ? kOctaveLine : kSemitoneLine);
        p.drawLine(0, y, width, y);
    }
    if (!m_song || m_pixelsPerTick <= 0) return;

    const TMeterMap& meter = m_song->meter();
    const std::int64_t fromTick = std::llround(x0 / m_pixelsPerTick);
    const std::int64_t toTick = std::llround((x0 + width) / m_pixelsPerTick);

    // Columns: silver every beat, navy at each bar end.
    int bar = meter.ToPos(fromTick).bar;
    for (int guard = 0; guard <= width + 1; ++guard) {
        const std::int64_t start = meter.BarStart(bar);
        if (start > toTick) break;
        const TMeterChange& m = meter.MeterAt(bar);
        if (m.ticksPerBar <= 0) break;
        if (m.ticksPerBeat > 0) {
            p.setPen(kBeatLine);
            for (int beat = 1; beat < m.numerator; ++beat) {
                const int x = xOfTick(start + std::int64_t{beat} * m.ticksPerBeat) - x0;
                if (x >= 0 && x <= width) p.drawLine(x, 0, x, height);
            }
        }
        const int end = xOfTick(meter.BarStart(bar + 1)) - x0;
        p.setPen(kBarLine);
        p.drawLine(end, 0, end, height);
        if (++bar > m_barCount + kExtraBars) break;
    }

    // Notes: from the first one that may still reach into the window, found by
    // binary search, to the last one that starts in it.
    const std::vector<TNote>& notes = m_song->notes.list(kMelodyList);
    const std::int64_t earliest = fromTick - meter.TicksPerBar(meter.ToPos(fromTick).bar);
    auto it = std::partition_point(notes.begin(), notes.end(), [&](const TNote& n) {
        return meter.ToTicks(n.start) < earliest;
    });
    p.setRenderHint(QPainter::Antialiasing, false);
    for (; it != notes.end(); ++it) {
        ++m_notesVisited;
        const std::int64_t start = meter.ToTicks(it->start);
        if (start > toTick) break;
        const double x = static_cast<double>(start - fromTick) * m_pixelsPerTick;
        const double x2 = x + it->duration * m_pixelsPerTick;
        if (x2 < 0) continue;
        const double y = top + static_cast<double>(kRows - 1 - it->pitch) * kRowHeight;
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(x, y, x2 - x, kRowHeight), 2.5, 2.5);
        if (x2 - 1 > x + 2) {
            p.setPen(Qt::NoPen);
            p.setBrush(kNoteBody);
            p.drawRoundedRect(QRectF(x + 2, y + 2, x2 - 1 - (x + 2), 5), 2, 2);
        }
    }
    p.setBrush(Qt::NoBrush);

    const int cursor = cursorX() - x0;
    p.setPen(kCursor);
    p.drawLine(cursor, 0, cursor, height);
    if (m_bandShown) {
        const int a = std::min(m_loopFromX, m_loopToX) - x0;
        const int b = std::max(m_loopFromX, m_loopToX) - x0;
        p.fillRect(QRect(a, 0, b - a, height), kLoopBand);
    }
}

void NotesView::paintHeader(QPainter& p, int x0, int width) {
    p.fillRect(QRect(0, 0, width, kHeaderHeight), kHeaderFace);
    const int sections = sectionCount();
    if (sections <= 0) return;
    auto it = std::upper_bound(m_sectionStart.begin(), m_sectionStart.end(), std::int64_t{x0});
    int i = std::max(static_cast<int>(it - m_sectionStart.begin()) - 1, 0);
    p.setPen(Qt::black);
    for (; i < sections; ++i) {
        const int left = sectionX(i) - x0;
        if (left > width) break;
        const int w = sectionX(i + 1) - sectionX(i);
        const QRect r(left, 0, w, kHeaderHeight);
        p.drawText(r, Qt::AlignCenter, QString::number(i + 1));
        p.drawLine(r.right(), 0, r.right(), kHeaderHeight);
    }
    if (m_bandShown) {
        const int a = std::min(m_loopFromX, m_loopToX) - x0;
        const int b = std::max(m_loopFromX, m_loopToX) - x0;
        p.fillRect(QRect(a, 0, b - a, kHeaderHeight), kLoopBand);
    }
}

void NotesView::paintMarkStrip(QPainter& p, int x0, int width) {
    p.fillRect(QRect(0, 0, width, kMarkStripHeight), kHeaderFace);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(kMark);
    for (const Mark& m : m_marks) {
        const int x = m.x - x0;
        if (x + kMarkSize < 0 || x > width) continue;
        const QPoint triangle[3] = {{x, 0}, {x, kMarkSize}, {x + kMarkSize, 0}};
        p.drawPolygon(triangle, 3);
    }
    if (m_loopOn) {
        p.setBrush(kLoopMarker);
        p.drawRect(QRect(m_loopFromX - x0, 0, kLoopMarkerWidth, kMarkStripHeight));
        p.drawRect(QRect(m_loopToX - kLoopMarkerWidth - x0, 0, kLoopMarkerWidth, kMarkStripHeight));
    }
    p.setBrush(Qt::NoBrush);
}

void NotesView::paintRuler(QPainter& p) {
    const int top = -verticalScrollBar()->value() * kRowHeight;
    p.fillRect(QRect(0, 0, rollLeft(), rollHeight()), palette().window());
    QFont font = p.font();
    font.setUnderline(true);
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(kOctaveText);
    const int octaveHeight = 12 * kRowHeight;
    for (int i = 1; i <= 10; ++i)
        p.drawText(2, top + i * octaveHeight - 2, QString::number(11 - i));
    p.drawText(2, top + kRows * kRowHeight - 2, QStringLiteral("0"));
}

} // namespace korvanta::ui
