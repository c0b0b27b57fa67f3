#pragma once
// One style of the style dialog as a small picture of its pattern: a rounded
// card in the colours of a style that fits the song's meter (or grey), each
// pattern note a short bar, placed by its time and chord tone. The outline
// shows the dialog's state (first click, chosen). Reports mouse presses; the
// dialog decides what a click means. Points at a style of the library, so the
// dialog rebuilds its thumbnails whenever the library is reloaded.

#include "styles/StyleRecords.h"

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <cstdint>

namespace korvanta::ui {

// The colours a style is drawn in.
struct StyleColours {
    QColor background;
    QColor outline;
    QColor pattern;
};

class StyleThumbnail : public QLabel {
    Q_OBJECT
public:
    static constexpr int kWidth = 50;
    static constexpr int kHeight = 36;
    static constexpr int kBarHeight = 2; // the height of a note, and the pitch step
    static constexpr int kCorner = 6;

    // A style that fits the meter, and one that does not.
    static StyleColours fittingColours();
    static StyleColours greyColours();
    static QColor firstClickOutline() { return QColor(255, 255, 0); }
    static QColor chosenOutline() { return QColor(0, 255, 0); }

    // The picture of a style; any field of the record may be zero.
    static QPixmap draw(const StyleRecord& style, const StyleColours& colours);

    StyleThumbnail(const StyleRecord& style, std::int32_t id, bool fits, QWidget* parent);

    std::int32_t styleId() const { return m_id; }
    bool fits() const { return m_fits; }
    // The outline it is drawn with now, and the one for no particular state.
    QColor outline() const { return m_colours.outline; }
    QColor normalOutline() const { return m_normalOutline; }
    void setOutline(const QColor& colour);

signals:
    void pressed(korvanta::ui::StyleThumbnail* thumbnail, Qt::MouseButton button);

protected:
    // Qt's widgets get the second press of a double click as a double-click
    // event alone, which QWidget passes on here: the dialog times the presses.
    void mousePressEvent(QMouseEvent* event) override;

private:
    const StyleRecord& m_style;
    std::int32_t m_id;
    bool m_fits;
    StyleColours m_colours;
    QColor m_normalOutline;
};

} // namespace korvanta::ui
