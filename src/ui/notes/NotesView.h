#pragma once
// The notes view ("Melody", TfNotes_l in the design): a piano roll of the
// melody under a header of numbered bars and a strip of marks, with the play
// cursor, the loop band, navigation and scrolling. It reads the song through a
// const pointer and never changes it; the main window owns it and hands it the
// status controls it writes into. GUI thread only.

#include "alg/song/TSong.h"
#include "playback/Player.h"

#include <QAbstractScrollArea>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QAbstractButton;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QStatusBar;

namespace korvanta::ui {

// The main window's controls the view writes into; all may be null.
struct NotesStatusControls {
    QLabel* pitch = nullptr;               // l_MelNt
    QLabel* position = nullptr;            // l_MelPos
    QLineEdit* loopFrom = nullptr;         // me_From
    QLineEdit* loopTo = nullptr;           // me_To
    QLineEdit* fromTo = nullptr;           // me_FromTo (hidden editor; its property "tag" int)
    QAbstractButton* loopButton = nullptr; // b_Play2 (checkable)
    QStatusBar* status = nullptr; // panels: QLabel children "stbPanel0", "stbPanel1", "stbPanel2"
};

class NotesView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Layout of the design, in pixels at zoom 1.
    static constexpr int kRowHeight = 8;
    static constexpr int kRows = 132; // MIDI notes 0-131, 11 octaves
    static constexpr int kNominalBarWidth = 120;
    static constexpr int kExtraBars = 10; // drawn after the end of the song
    static constexpr int kMarkStripHeight = 10;
    static constexpr int kHeaderHeight = 16;
    static constexpr int kRulerWidth = 24;
    static constexpr int kMarkSize = 10;
    static constexpr int kLoopMarkerWidth = 6;
    static constexpr int kAutoScrollBeats = 2;
    static constexpr int kAutoScrollMs = 200;

    explicit NotesView(QWidget* parent = nullptr);
    ~NotesView() override;

    void attach(const NotesStatusControls& controls);
    // Null: an empty view. Resets cursor, loop, marks and drag state.
    void setSong(const TSong* song);
    // Scales, header, scroll ranges and a repaint, after a load or a meter change.
    void relayout();
    // The play cursor during playback.
    void follow(std::int64_t tick);
    void goPrevious();
    void goNext();
    // Takes the loop-from and loop-to texts; false when there is no song.
    bool setLoopFromTexts();
    void setPlaying(bool playing);
    bool isPlaying() const { return m_playing; }

    std::int64_t cursorTick() const { return m_cursorTick; }
    // Moves the cursor to a tick and brings it into sight.
    void setCursorTick(std::int64_t tick);
    // The cursor at the song's start, the view scrolled to the beginning.
    void moveCursorToStart();
    bool loopOn() const { return m_loopOn; }
    std::int64_t loopFromTick() const { return m_loopFromTick; }
    std::int64_t loopToTick() const { return m_loopToTick; }
    int loopFromX() const { return m_loopFromX; }
    int loopToX() const { return m_loopToX; }
    void deleteLoopPoints();
    // "Dispose Loop Points": a loop from the current loop points, switched on;
    // false without a song.
    bool disposeLoopPoints();
    PlayPositions& positions() { return m_positions; }
    std::atomic<bool>& restartFlag() { return m_restart; }

    // Marks on the strip above the header, kept sorted by x.
    void insertMark(); // at the last pressed x, else just left of the cursor
    void insertMarkAt(int x);
    bool deleteMark(int markId);
    void deleteAllMarks();
    void setMarkJumpsDisabled(bool disabled);
    bool markJumpsEnabled() const { return m_jumpsEnabled; }
    std::vector<int> markXs() const;
    std::vector<int> markIds() const;
    // The mark last clicked on the strip (its id), or -1.
    int selectedMark() const { return m_selectedMark; }

    // Scales and conversions in header coordinates (x = 0 at the start of bar 1).
    int pixelsPerBeat() const { return m_pixelsPerBeat; }
    int pixelsPerBar() const { return m_pixelsPerBar; }
    double pixelsPerTick() const { return m_pixelsPerTick; }
    std::int64_t tickAtX(int x) const;
    int xOfTick(std::int64_t tick) const;
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }
    int headerOffset() const { return m_offset; }
    // Header sections: one per bar of the song and kExtraBars more.
    int sectionCount() const { return static_cast<int>(m_sectionStart.size()) - 1; }
    int sectionX(int section) const;
    std::int64_t totalTicks() const { return m_totalTicks; }

    // Where things are in the viewport: the roll starts right of the ruler and
    // below the mark strip and the header.
    static int rollLeft() { return kRulerWidth; }
    static int rollTop() { return kMarkStripHeight + kHeaderHeight; }
    int rollWidth() const;
    int rollHeight() const;
    QPoint viewportPointOf(int headerX, int y) const {
        return {headerX - m_offset + rollLeft(), y};
    }
    // The MIDI note of a viewport y within the roll (may lie outside 0-131).
    int noteAtY(int y) const;

    // For tests and benchmarks: the drag state (0 none, 1 pressed, 2 dragging),
    // the auto-scroll step, one tick of the auto-scroll timer, the source of the
    // held mouse buttons, and how many notes the last paint looked at.
    int dragState() const { return m_dragState; }
    int autoScrollStep() const { return m_autoScroll; }
    bool autoScrollRunning() const { return m_scrollTimer.isActive(); }
    void autoScrollTick();
    void setMouseButtonsSource(std::function<Qt::MouseButtons()> source);
    std::int64_t notesVisitedByLastPaint() const { return m_notesVisited; }
    QMenu* stripMenu() const { return m_stripMenu; }
    QMenu* markMenu() const { return m_markMenu; }

signals:
    void cursorMoved(std::int64_t tick);
    void barSelected(int bar); // the chord palette selects this bar
    void loopChanged(bool on);
    void horizontalOffsetChanged(int pixels); // the chord palette scrolls in step
    void scalesChanged();                     // a new song, meter or zoom: columns move

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Mark {
        int id = 0;
        int x = 0;
        double tick = 0; // where the mark stands in the song, to keep it through a zoom
    };

    void computeScales();
    // The first row in sight for a new song: the chord octave's, or the
    // melody's middle when the melody would not be in sight there.
    void placeRows();
    void updateScrollBars();
    void setHeaderOffset(int pixels);
    void onHorizontalScroll(int value);
    void bringIntoView(int x);
    void moveCursor(std::int64_t tick);
    int cursorX() const;
    int lastBarWidth() const;
    std::int64_t melodyEndTick() const;

    void loopFromPixels();
    void setLoopOn();
    void writeLoopTexts();
    void stopAutoScroll();
    void showStatus(const QPoint& pos);
    QLabel* statusPanel(int index) const;

    void paintRoll(QPainter& p, int x0, int width, int height);
    void paintHeader(QPainter& p, int x0, int width);
    void paintMarkStrip(QPainter& p, int x0, int width);
    void paintRuler(QPainter& p);

    const TSong* m_song = nullptr;
    NotesStatusControls m_controls;
    PlayPositions m_positions;
    std::atomic<bool> m_restart{false};

    // Scales.
    double m_zoom = 1.0;
    int m_numerator = 4; // of the first meter change
    int m_pixelsPerBeat = 30;
    int m_pixelsPerBar = 120;
    double m_pixelsPerTick = 0;
    std::int64_t m_totalTicks = 0;
    std::int64_t m_totalBeats = 0;
    int m_barCount = 0;
    std::vector<std::int64_t> m_sectionStart{0}; // x of each section, and the end
    int m_offset = 0;                            // horizontal scroll in pixels

    bool m_rowsPlaced = true;
    std::int64_t m_cursorTick = 0;
    std::int64_t m_playTick = 0;
    bool m_playing = false;

    // Loop: pixels and ticks of both ends; the band shows while dragging and
    // while the loop is on.
    bool m_loopOn = false;
    bool m_bandShown = false;
    int m_loopFromX = 0;
    int m_loopToX = 0;
    int m_savedFromX = 0;
    int m_savedToX = 0;
    std::int64_t m_loopFromTick = 0;
    std::int64_t m_loopToTick = 0;

    int m_dragState = 0;
    int m_dragDirection = 1;
    int m_autoScroll = 0;
    QTimer m_scrollTimer;
    std::function<Qt::MouseButtons()> m_mouseButtons;

    std::vector<Mark> m_marks;
    int m_nextMarkId = 1; // never reused, so one id always means one mark
    bool m_jumpsEnabled = false;
    int m_selectedMark = -1;
    std::optional<int> m_lastPressX;

    QMenu* m_stripMenu = nullptr;
    QMenu* m_markMenu = nullptr;
    QAction* m_jumpsAction = nullptr;

    std::int64_t m_notesVisited = 0;
};

} // namespace korvanta::ui
