#include "ui/dialogs/StyleThumbnail.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace korvanta::ui {

StyleColours StyleThumbnail::fittingColours() {
    return {QColor(218, 204, 188), QColor(165, 130, 90), QColor(0, 0, 128)};
}

StyleColours StyleThumbnail::greyColours() {
    return {QColor(192, 192, 192), QColor(128, 128, 128), QColor(128, 128, 128)};
}

QPixmap StyleThumbnail::draw(const StyleRecord& style, const StyleColours& colours) {
    QPixmap image(kWidth, kHeight);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(colours.outline);
    painter.setBrush(colours.background);
    painter.drawRoundedRect(QRect(0, 0, kWidth - 1, kHeight - 1), kCorner, kCorner);

    // The pattern spans the width less the margins: bars × ticks per bar.
    // A field of zero would divide by zero or squeeze the pattern to nothing:
    // a bar at least, and a denominator and numerator of one at least.
    const double bars = std::max<int>(style.bars(), 1);
    const double numerator = std::max<int>(style.numerator(), 1);
    const double beatTicks =
        4.0 * style.ticksPerQuarter / std::max<int>(style.denominator(), 1); // ticks of a beat
    const double span = bars * beatTicks * numerator;
    const double scale = span > 0 ? (kWidth - 10) / span : 0.0;
    const int b = kBarHeight;
    for (const PatternEvent& e : style.events) {
        const double x = ((e.bar * numerator + e.beat) * beatTicks + e.tick) * scale + 2;
        double length = e.duration * scale;
        if (length > 6) length -= 2;
        const int step = std::abs(static_cast<int>(e.selector));
        int a = step + 1;
        if (e.octave > style.baseOctave())
            a = step + 8;
        else if (e.octave < style.baseOctave())
            a = step - 6;
        const int y = b + kHeight / 2 - b * a;
        painter.fillRect(QRectF(x, y, std::max(length, 0.0), b), colours.pattern);
    }
    return image;
}

StyleThumbnail::StyleThumbnail(const StyleRecord& style, std::int32_t id, bool fits,
                               QWidget* parent)
    : QLabel(parent), m_style(style), m_id(id), m_fits(fits),
      m_colours(fits ? fittingColours() : greyColours()), m_normalOutline(m_colours.outline) {
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    setProperty("styleId", m_id);
    setPixmap(draw(m_style, m_colours));
}

void StyleThumbnail::setOutline(const QColor& colour) {
    if (colour == m_colours.outline) return;
    m_colours.outline = colour;
    setPixmap(draw(m_style, m_colours));
}

void StyleThumbnail::mousePressEvent(QMouseEvent* event) {
    emit pressed(this, event->button());
    event->accept();
}

} // namespace korvanta::ui
