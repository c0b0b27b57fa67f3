#pragma once
// Draws the chords grid's pages (ChordsGridLayout) with Qt: on a printer, on
// a PDF writer, or on an image for the preview. One routine for all of them,
// so what the preview shows is what the paper gets.

#include "print/ChordsGridLayout.h"

#include <QFont>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QImage;

namespace korvanta::print {

// The screen resolution the grid's lengths are given in when no screen is
// there to ask (a printer's scale is its resolution over this).
constexpr double kDefaultScreenDpi = 96.0;

QFont gridFont(GridFont font);

// The metrics of a page of pageWidth x pageHeight pixels on device, whose
// fonts are measured there; screenDpi is the window's resolution.
GridPageMetrics measureGridPage(const QPaintDevice& device, int pageWidth, int pageHeight,
                                double screenDpi);

// Draws one page's items with painter (its origin at the page's top left).
void paintGridPage(QPainter& painter, const GridPage& page);

struct GridRenderOutcome {
    int pagesDrawn = 0;
    bool aborted = false;
    bool started = false; // false when the device could not be painted on
};

// Lays the document out on device's printable area and draws every page,
// starting a new page between them. aborted is asked before each page; when
// it answers true, drawing ends there.
GridRenderOutcome renderChordsGrid(QPagedPaintDevice& device, const GridDocument& document,
                                   double screenDpi, const std::function<bool()>& aborted = {});

// Today's date in the system's short format, as the footer shows it.
std::string shortDateToday();

enum class PaperSize { A4, Letter };

// Writes the grid as a PDF file through a temporary file, so a failed write
// leaves an older file as it was. Needs no display: without a running Qt GUI
// application one is made for the call on the offscreen platform. Returns an
// empty text on success, else why it failed; pages gets the page count.
std::string writeChordsGridPdf(const GridDocument& document, const std::string& path,
                               PaperSize paper, int* pages = nullptr);

} // namespace korvanta::print
