#pragma once
// TfPrintPreview: the chords grid's pages as the printer will get them, one
// image a page ("imgPP_1", "imgPP_2", ...) under each other in a scroll box,
// with "Print" and "Close". It also prints without being shown: the main
// window's direct print uses the same object. Escape on "Print" while a job
// runs aborts it.

#include "print/ChordsGridLayout.h"

#include <QDialog>
#include <QImage>
#include <functional>
#include <vector>

class QPrinter;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace korvanta {
class MessageSink;
}

namespace korvanta::ui {

class TfPrintPreview : public QDialog {
    Q_OBJECT
public:
    TfPrintPreview(MessageSink& messages, QPrinter& printer, QWidget* parent = nullptr);

    // Lays the document out on the printer's paper and draws the preview.
    void setDocument(const print::GridDocument& document);

    // Prints every page on the printer; false when the job was aborted or
    // could not start (the user has been told).
    bool printDocument();

    int pageCount() const { return static_cast<int>(m_images.size()); }
    const QImage& pageImage(int page) const { return m_images.at(static_cast<std::size_t>(page)); }

    // Asked when "Print" is pressed, before the job: the print dialog, so
    // the user picks the printer. False (cancelled) prints nothing.
    void setPrinterChooser(std::function<bool()> chooser) { m_choosePrinter = std::move(chooser); }

    // Called before each printed page (from 0); tests press Escape there.
    void setBeforePageHook(std::function<void(int)> hook) { m_beforePage = std::move(hook); }
    bool printing() const { return m_printing; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPages();

    MessageSink& m_messages;
    QPrinter& m_printer;
    print::GridDocument m_document;
    std::vector<QImage> m_images;
    QScrollArea* m_scroll;
    QWidget* m_pageBox;
    QPushButton* m_print;
    QPushButton* m_close;
    std::function<bool()> m_choosePrinter;
    std::function<void(int)> m_beforePage;
    bool m_printing = false;
    bool m_abortRequested = false;
};

} // namespace korvanta::ui
