#include "print/ChordsGridPainter.h"

#include <QDate>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <array>
#include <cstdio>
#include <memory>

namespace korvanta::print {

namespace {

constexpr QColor kFrameColour(192, 192, 192);
constexpr int kPdfResolution = 300;
// About what a printer cannot reach at the paper's edges.
constexpr double kPdfMarginMillimetres = 6.35;

QString qText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Qt's chatter about the offscreen platform's set-up (no runtime folder and
// the like) would only confuse a command-line user; real failures are ours
// to report.
void dropQtNotes(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
}

// A GUI application on the offscreen platform for as long as it lives, when
// the process has none; fonts cannot be measured without one.
class GuiForFonts {
public:
    GuiForFonts() {
        if (QGuiApplication::instance()) return;
        m_previousHandler = qInstallMessageHandler(dropQtNotes);
        m_app = std::make_unique<QGuiApplication>(m_argc, m_argv.data());
    }
    ~GuiForFonts() {
        if (!m_app) return;
        m_app.reset();
        qInstallMessageHandler(m_previousHandler);
    }
    GuiForFonts(const GuiForFonts&) = delete;
    GuiForFonts& operator=(const GuiForFonts&) = delete;

private:
    int m_argc = 3;
    char m_name[16] = "korvanta-print";
    char m_platformFlag[16] = "-platform";
    char m_platform[16] = "offscreen";
    std::array<char*, 4> m_argv{m_name, m_platformFlag, m_platform, nullptr};
    QtMessageHandler m_previousHandler = nullptr;
    std::unique_ptr<QGuiApplication> m_app;
};

} // namespace

QFont gridFont(GridFont font) {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    switch (font) {
    case GridFont::Header:
        f.setPointSize(10);
        break;
    case GridFont::Block:
    case GridFont::Chord:
        f.setPointSize(10);
        f.setBold(true);
        break;
    case GridFont::BarLabel:
        f.setPointSize(8);
        break;
    case GridFont::Footer:
        f.setPointSize(9);
        break;
    }
    return f;
}

GridPageMetrics measureGridPage(const QPaintDevice& device, int pageWidth, int pageHeight,
                                double screenDpi) {
    GridPageMetrics metrics;
    metrics.pageWidth = pageWidth;
    metrics.pageHeight = pageHeight;
    metrics.scale = device.logicalDpiY() / (screenDpi > 0 ? screenDpi : kDefaultScreenDpi);
    for (int i = 0; i < kGridFontCount; ++i) {
        // QFontMetrics takes a non-const device but only reads its resolution.
        const QFontMetrics fm(gridFont(static_cast<GridFont>(i)),
                              const_cast<QPaintDevice*>(&device));
        metrics.textHeight[i] = fm.height();
    }
    return metrics;
}

void paintGridPage(QPainter& painter, const GridPage& page) {
    painter.save();
    for (const GridItem& item : page.items) {
        const QRect rect(item.rect.left, item.rect.top, item.rect.width, item.rect.height);
        if (item.framed) {
            painter.setPen(kFrameColour);
            painter.setBrush(Qt::NoBrush);
            // A frame covers the rectangle's pixels, its last row and column included.
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
            continue;
        }
        painter.setPen(Qt::black);
        painter.setFont(gridFont(item.font));
        const int horizontal = item.align == GridAlign::Centre  ? Qt::AlignHCenter
                               : item.align == GridAlign::Right ? Qt::AlignRight
                                                                : Qt::AlignLeft;
        // Texts never wrap; one that is too long runs past its rectangle.
        painter.drawText(rect, horizontal | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine,
                         qText(item.text));
    }
    painter.restore();
}

GridRenderOutcome renderChordsGrid(QPagedPaintDevice& device, const GridDocument& document,
                                   double screenDpi, const std::function<bool()>& aborted) {
    GridRenderOutcome outcome;
    // The device's own size is its printable area, whatever the paper.
    const GridPageMetrics metrics =
        measureGridPage(device, device.width(), device.height(), screenDpi);
    const std::vector<GridPage> pages = layoutChordsGrid(document, metrics);
    QPainter painter;
    if (!painter.begin(&device)) return outcome;
    outcome.started = true;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (aborted && aborted()) {
            outcome.aborted = true;
            break;
        }
        if (i > 0 && !device.newPage()) break;
        paintGridPage(painter, pages[i]);
        ++outcome.pagesDrawn;
    }
    painter.end();
    return outcome;
}

std::string shortDateToday() {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

std::string writeChordsGridPdf(const GridDocument& document, const std::string& path,
                               PaperSize paper, int* pages) {
    GuiForFonts gui;
    QSaveFile file(qText(path));
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + path + ": " + file.errorString().toStdString();
    GridRenderOutcome outcome;
    {
        QPdfWriter writer(&file);
        writer.setResolution(kPdfResolution);
        writer.setCreator(QStringLiteral("Korvanta"));
        writer.setTitle(qText(document.title));
        writer.setPageLayout(
            QPageLayout(QPageSize(paper == PaperSize::Letter ? QPageSize::Letter : QPageSize::A4),
                        QPageLayout::Portrait,
                        QMarginsF(kPdfMarginMillimetres, kPdfMarginMillimetres,
                                  kPdfMarginMillimetres, kPdfMarginMillimetres),
                        QPageLayout::Millimeter));
        outcome = renderChordsGrid(writer, document, kDefaultScreenDpi);
    }
    if (!outcome.started || outcome.pagesDrawn == 0) {
        file.cancelWriting();
        return "cannot draw the PDF " + path;
    }
    if (!file.commit()) return "cannot write " + path + ": " + file.errorString().toStdString();
    if (pages) *pages = outcome.pagesDrawn;
    return {};
}

} // namespace korvanta::print
