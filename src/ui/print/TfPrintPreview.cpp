#include "ui/print/TfPrintPreview.h"

#include "messages/MessageSink.h"
#include "messages/MsgList.h"
#include "print/ChordsGridPainter.h"
#include "ui/Named.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

namespace korvanta::ui {

namespace {

constexpr int kPageGap = 10; // pixels around and between the page images
constexpr double kInchesPerMetre = 39.37007874;

} // namespace

TfPrintPreview::TfPrintPreview(MessageSink& messages, QPrinter& printer, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_printer(printer),
      m_scroll(named(new QScrollArea(this), "sb_Preview")), m_pageBox(new QWidget),
      m_print(named(new QPushButton(QStringLiteral("Print"), this), "b_Print")),
      m_close(named(new QPushButton(QStringLiteral("Close"), this), "b_Close")) {
    setObjectName(QStringLiteral("TfPrintPreview"));
    setWindowTitle(QStringLiteral("Print preview"));
    m_pageBox->setObjectName(QStringLiteral("pageBox"));
    m_pageBox->setBackgroundRole(QPalette::Dark);
    m_pageBox->setAutoFillBackground(true);
    m_scroll->setWidget(m_pageBox);
    m_scroll->setWidgetResizable(false);
    // The wheel scrolls a tenth of its turn in pixels, over the pages too.
    m_scroll->viewport()->installEventFilter(this);
    m_print->installEventFilter(this);
    m_print->setDefault(true);
    connect(m_print, &QPushButton::clicked, this, [this] {
        if (m_choosePrinter && !m_choosePrinter()) return;
        printDocument();
    });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_print);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_scroll, 1);
    layout->addLayout(buttons);
    resize(900, 800);
}

void TfPrintPreview::setDocument(const print::GridDocument& document) {
    m_document = document;
    m_images.clear();
    // The paper at the screen's resolution, laid out on the part of it the
    // printer can reach, exactly as printDocument lays it out on the printer.
    const double screenDpi = logicalDpiY();
    const QPageLayout pageLayout = m_printer.pageLayout();
    const QRect paper = pageLayout.fullRectPixels(static_cast<int>(std::lround(screenDpi)));
    const QRect printable = pageLayout.paintRectPixels(static_cast<int>(std::lround(screenDpi)));
    QImage probe(1, 1, QImage::Format_RGB32);
    const int dotsPerMetre = static_cast<int>(std::lround(screenDpi * kInchesPerMetre));
    probe.setDotsPerMeterX(dotsPerMetre);
    probe.setDotsPerMeterY(dotsPerMetre);
    const print::GridPageMetrics metrics =
        print::measureGridPage(probe, printable.width(), printable.height(), screenDpi);
    for (const print::GridPage& page : print::layoutChordsGrid(m_document, metrics)) {
        QImage image(paper.size(), QImage::Format_RGB32);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(printable.topLeft() - paper.topLeft());
        print::paintGridPage(painter, page);
        painter.end();
        m_images.push_back(std::move(image));
    }
    showPages();
}

void TfPrintPreview::showPages() {
    for (QLabel* old : m_pageBox->findChildren<QLabel*>())
        delete old;
    int y = kPageGap;
    int width = 0;
    for (std::size_t i = 0; i < m_images.size(); ++i) {
        auto* label = new QLabel(m_pageBox);
        label->setObjectName(QStringLiteral("imgPP_%1").arg(i + 1));
        label->setPixmap(QPixmap::fromImage(m_images[i]));
        label->setFrameShape(QFrame::Box);
        label->resize(m_images[i].size());
        label->move(kPageGap, y);
        y += m_images[i].height() + kPageGap;
        width = std::max(width, m_images[i].width());
    }
    m_pageBox->resize(width + 2 * kPageGap, y);
}

bool TfPrintPreview::printDocument() {
    if (m_printing) return false;
    m_printing = true;
    m_abortRequested = false;
    int page = 0;
    const print::GridRenderOutcome outcome =
        print::renderChordsGrid(m_printer, m_document, logicalDpiY(), [this, &page] {
            // Between pages the window answers keys, so Escape can stop the job.
            if (m_beforePage) m_beforePage(page);
            QCoreApplication::processEvents();
            ++page;
            return m_abortRequested;
        });
    m_printing = false;
    if (outcome.aborted) {
        m_printer.abort();
        m_messages.info(kPrintingAborted, "Information");
        return false;
    }
    if (!outcome.started) {
        m_messages.error(kPrinterNotStarted, "Error");
        return false;
    }
    return true;
}

bool TfPrintPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_print && event->type() == QEvent::KeyPress && m_printing &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_abortRequested = true;
        return true;
    }
    if (watched == m_scroll->viewport() && event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        QScrollBar* bar = m_scroll->verticalScrollBar();
        bar->setValue(bar->value() - delta / 10);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace korvanta::ui
