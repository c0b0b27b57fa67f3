#pragma once
// The chord palette ("Chords", TfChords in the design): bar by bar, under the
// notes view's bar header, the chord applied to each bar and the chords the
// harmony engine recommends for it. A left click plays a chord, a right click
// applies it (or mutes the bar, on the applied label); a small list offers the
// bar's additional chords. Every column is painted by this one widget, so a
// song of ten thousand bars costs no more widgets than a short one; tests
// reach the parts through partRect() and hitAt(). Changes go through the
// TuneSession and onto an undo stack. GUI thread only.

#include "alg/song/ChordVocabulary.h"
#include "alg/song/TSong.h"

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QStatusBar;
class QUndoStack;

namespace korvanta {
class TuneSession;
}

namespace korvanta::ui {

class NotesView;

class ChordPalette : public QWidget {
    Q_OBJECT
public:
    // Layout of the design, in pixels.
    static constexpr int kLabelHeight = 17;
    static constexpr int kButtonTop = kLabelHeight + 12;
    static constexpr int kButtonStep = 53;
    static constexpr int kButtonWidth = 80;
    static constexpr int kButtonHeight = 37;
    static constexpr int kNarrowButtonWidth = 41;
    static constexpr int kNarrowButtonHeight = 49;
    static constexpr int kNarrowColumn = 82; // this wide or narrower: glyph above text
    static constexpr int kOtherWidth = 54;
    static constexpr int kOtherTop = 3 * kButtonHeight + kLabelHeight + 60 + 2;
    static constexpr int kNarrowOtherDrop = 18;
    static constexpr int kCustomButtonSize = 20;
    static constexpr int kListItemHeight = 13;
    static constexpr int kGlyphSize = 33;
    static constexpr int kMainButtons = 3;
    static constexpr int kNameWidth = 9; // chord names on buttons are padded to this

    // Items of a tag (bar x 256 + item).
    static constexpr int kItemNone = 255;   // no chord
    static constexpr int kItemCustom = 101; // the button that opens the custom list
    static constexpr int kItemInfoLimit = 100;

    // Status bytes of the chord sound.
    static constexpr std::uint8_t kNoteOn = 0x91;
    static constexpr std::uint8_t kNoteOff = 0x81;

    // The parts of one column: the applied-chord label ("AChr_b"), the main
    // chord buttons ("Chr_b_n"), the " Other" label ("NCChr_b") and the button
    // that opens the custom list ("SCChr_b").
    enum class Part { Applied, Chord, Other, CustomButton };
    struct Hit {
        int bar = -1;
        Part part = Part::Applied;
        int n = 0; // the chord button's number 1..3; 0 for the other parts
        int tag = 0;
    };

    ChordPalette(TuneSession& session, const NotesView& header, QWidget* parent = nullptr);
    ~ChordPalette() override;

    struct Controls {
        QLabel* chordName = nullptr;  // l_ChrName
        QLabel* chordNotes = nullptr; // l_ChrNotes
        QStatusBar* status = nullptr;
    };
    void attach(const Controls& controls);
    // Sounds a chord: status 0x91 note on, 0x81 note off.
    using ChordSound = std::function<void(ChordCode chord, std::uint8_t status)>;
    void setChordSound(ChordSound sound);

    // Columns from the session's song (after a harmonization or opening a
    // harmonized project); forgets the undo history of the last song.
    void build();
    // No columns; forgets the selected bar and the undo history, hides the custom list.
    void clear();
    bool built() const { return m_built; }
    int columnCount() const { return static_cast<int>(m_bars.size()); }
    // Highlights a bar's applied label; bars beyond the song or before build() are ignored.
    void selectBar(int bar);
    int selectedBar() const { return m_selected; }
    void scrollTo(int headerOffset);
    QUndoStack* undoStack() { return m_undo; }

    // Where the parts are, in this widget's coordinates; an empty rectangle
    // for a part the bar does not have.
    QRect partRect(int bar, Part part, int n = 0) const;
    std::optional<Hit> hitAt(QPoint pos) const;
    // The design's name of a part ("AChr_4", "Chr_4_2", ...).
    static QString partName(int bar, Part part, int n = 0);
    int tagOf(int bar, Part part, int n = 0) const;
    // The chord a tag stands for; kNoChord for item 0, 255, 101 and items
    // beyond the bar's chords.
    ChordCode chordOfTag(int tag) const;

    // What the parts show.
    QString appliedText(int bar) const;
    QString buttonText(int bar, int n) const;
    QString otherText(int bar) const;
    QColor appliedTextColour(int bar) const;
    QColor appliedBackground(int bar) const;
    QColor buttonTextColour(int bar, int n) const;
    // The tool tip of a part, as the design writes it ("\n\r" between lines).
    static QString hint(Part part);

    // The custom chord list and the bar it is open for (-1 when hidden).
    QListWidget* customList() const { return m_list; }
    int customListBar() const;

signals:
    void chordsChanged();
    void refusedWhilePlaying();
    // The keyboard moved the selection; the main window moves the notes cursor.
    void barChosen(int bar);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class BarCommand;
    friend class BarCommand;

    // What the palette keeps of a bar beyond the song's own chord and play
    // flag: the items its applied label and its " Other" label stand for.
    struct BarState {
        std::uint8_t applied = kItemNone;
        std::uint8_t other = kItemNone;
    };
    // Everything one edit changes, for undo.
    struct BarSnapshot {
        ChordCode chord = kNoChord;
        bool plays = true;
        BarState state;
    };

    const TSong* song() const;
    int mainCount(int bar) const;
    int chordCount(int bar) const;
    ChordCode candidate(int bar, int index) const;
    ChordCode appliedChord(int bar) const; // kNoChord without a song
    bool muted(int bar) const;
    // The left edge of bar 0's column in this widget and a column's extent.
    int originX() const;
    int columnX(int bar) const;
    int columnWidth(int bar) const;
    bool narrow(int bar) const { return columnWidth(bar) <= kNarrowColumn; }
    int firstBarAtOrRightOf(int x) const;
    int barAtX(int x) const;

    void paintColumn(QPainter& p, int bar);
    void paintButton(QPainter& p, int bar, int n);
    const QPixmap& glyph(int root);

    // Edits: each checks for a play, pushes one undo step and says so.
    bool refuseWhilePlaying();
    void applyTag(int tag);
    void toggleMute(int bar);
    void chooseFromList(int row);
    void commit(int bar, const BarSnapshot& after, const QString& text);
    BarSnapshot snapshot(int bar) const;
    bool restore(int bar, const BarSnapshot& snapshot); // false while playing
    void undoRefused();

    void sound(ChordCode chord, std::uint8_t status);
    void startSound(ChordCode chord);
    void stopSound();
    void showInfo(int tag);
    void clearInfo();
    void showStatus(const QString& text);

    void openList(int bar);
    void hideList();
    void onListPress(QMouseEvent* event);
    void onListRelease(QMouseEvent* event);

    TuneSession& m_session;
    const NotesView& m_header;
    Controls m_controls;
    ChordSound m_sound;
    QUndoStack* m_undo = nullptr;
    QListWidget* m_list = nullptr;
    int m_listBar = -1;

    bool m_built = false;
    std::vector<BarState> m_bars;
    int m_selected = -1;
    int m_offset = 0;

    // The tag the mouse last pressed, the chord it sounds until release, and
    // the tag whose chord the information labels show.
    int m_currentTag = -1;
    std::optional<ChordCode> m_sounding;
    std::optional<ChordCode> m_keySounding;
    int m_pressedCustom = -1;
    int m_infoTag = -1;
    // Set while an undo or redo was refused, so the stack can be put back.
    bool m_undoRefused = false;
    int m_undoIndex = 0; // the stack's index after the last accepted step
    bool m_revertingUndo = false;
    std::array<QPixmap, kKeyCount> m_glyphs;
};

} // namespace korvanta::ui
