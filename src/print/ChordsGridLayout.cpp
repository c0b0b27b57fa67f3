#include "print/ChordsGridLayout.h"

#include "alg/song/ChordVocabulary.h"
#include "alg/song/Keys.h"
#include "alg/song/TSong.h"
#include "session/ChordMaster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace korvanta::print {

namespace {

constexpr const char* kNone = " - ";

int scaled(double length, double scale) {
    return static_cast<int>(std::lround(length * scale));
}

std::string withoutFolder(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A chord's name without the blank a triad's name ends in, so it centres
// in its cell; " - " (no chord) as it is.
std::string chordText(int code) {
    std::string name = ChordName(code);
    if (name == kNone) return name;
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

// Builds one page's items; the position of the next text line is kept here.
class PageBuilder {
public:
    PageBuilder(const GridPageMetrics& metrics, const GridSizes& sizes)
        : m_metrics(metrics), m_sizes(sizes) {}

    void text(int left, int top, std::string text, GridFont font, GridAlign align = GridAlign::Left,
              int width = -1) {
        if (width < 0) width = std::max(1, m_metrics.pageWidth - left - m_sizes.leftMargin);
        m_page.items.push_back(
            {{left, top, width, m_metrics.height(font)}, std::move(text), font, align, false});
    }
    void frame(const GridRect& rect) {
        m_page.items.push_back({rect, {}, GridFont::Header, GridAlign::Left, true});
    }

    // Adds bar i's two cells at (x, y).
    void barCells(int x, int y, int bar, const std::string& chord) {
        const int u = m_sizes.unit;
        const int w = m_sizes.cellWidth;
        const int h = m_sizes.cellHeight;
        frame({x, y, w, h});
        text(x, y + u, " - " + std::to_string(bar + 1) + " - ", GridFont::BarLabel,
             GridAlign::Centre, w);
        const int chordTop = y + h - u;
        frame({x, chordTop, w, h});
        text(x, chordTop + (h - m_metrics.height(GridFont::Chord)) / 2, chord, GridFont::Chord,
             GridAlign::Centre, w);
    }

    GridPage take() { return std::move(m_page); }
    GridPage& page() { return m_page; }

private:
    const GridPageMetrics& m_metrics;
    const GridSizes& m_sizes;
    GridPage m_page;
};

// Places bars from the page's first bar on while they fit; returns the end.
int placeBars(PageBuilder& builder, const GridDocument& document, const GridPageMetrics& metrics,
              const GridSizes& sizes, int firstBar, int top) {
    const int barCount = static_cast<int>(document.chords.size());
    const int left = sizes.leftMargin;
    // A new row must end above the footer (and the page's bottom).
    const int lowest = std::min(metrics.pageHeight, sizes.footerTop);
    int x = left;
    int y = top;
    int bar = firstBar;
    for (; bar < barCount; ++bar) {
        // The first cell of a row always goes in, however narrow the page.
        if (x > left && metrics.pageWidth < x + sizes.cellWidth) {
            if (lowest < y + 5 * sizes.cellHeight) break;
            x = left;
            y += 3 * sizes.cellHeight;
        }
        builder.barCells(x, y, bar, document.chords[static_cast<std::size_t>(bar)]);
        x += sizes.cellWidth - sizes.unit;
    }
    return bar;
}

} // namespace

GridSizes gridSizes(const GridPageMetrics& metrics) {
    GridSizes sizes;
    const double s = metrics.scale > 0 ? metrics.scale : 1.0;
    sizes.unit = std::max(1, scaled(1, s));
    sizes.leftMargin = scaled(40, s);
    sizes.headerTop = scaled(20, s);
    // Lengths scale by the exact factor, not by the rounded unit, so a
    // printer of 300 pixels per inch lays out the same rows as the screen.
    sizes.cellWidth = scaled(60, s);
    sizes.cellHeight = metrics.height(GridFont::Block) + scaled(4, s);
    sizes.titleGap = scaled(8, s);
    sizes.gridGap = scaled(16, s);
    sizes.footerTop = static_cast<int>(std::lround(metrics.pageHeight - 45 * s));
    return sizes;
}

GridDocument gridDocumentOf(const ChordMaster& master, const std::string& title,
                            const std::string& author, const std::string& date) {
    GridDocument document;
    document.fileName = withoutFolder(master.fileName());
    document.title = title.empty() ? "none" : title;
    document.author = author.empty() ? "none" : author;
    document.keyName = kNone;
    document.meterText = kNone;
    document.date = date;
    const TSong* song = master.song();
    if (!song) return document;
    if (!song->keys.empty() && song->keys.front().key >= 0 && song->keys.front().key < kKeyCount)
        document.keyName = KeyLongName(song->keys.front().key);
    if (!song->meter().entries().empty()) {
        const TMeterChange& meter = song->meter().entries().front();
        char text[16];
        std::snprintf(text, sizeof text, "%2d/%2d", meter.numerator, meter.denominator);
        document.meterText = text;
    }
    const int bars = std::max(0, song->barCount);
    document.chords.reserve(static_cast<std::size_t>(bars));
    for (int bar = 0; bar < bars; ++bar)
        document.chords.push_back(chordText(song->BarChord(bar)));
    return document;
}

std::vector<GridPage> layoutChordsGrid(const GridDocument& document,
                                       const GridPageMetrics& metrics) {
    const GridSizes sizes = gridSizes(metrics);
    const int left = sizes.leftMargin;
    const int barCount = static_cast<int>(document.chords.size());
    std::vector<GridPage> pages;
    int bar = 0;
    do {
        PageBuilder builder(metrics, sizes);
        builder.text(left, sizes.headerTop, "File name: " + document.fileName, GridFont::Header);
        int y = 3 * sizes.headerTop;
        if (pages.empty()) {
            const int line = metrics.height(GridFont::Block);
            for (std::string text :
                 {"Composition title: " + document.title, "Author name: " + document.author,
                  "Key: " + document.keyName, "Meter: " + document.meterText}) {
                builder.text(left, y, std::move(text), GridFont::Block);
                y += line;
            }
            y += line; // a blank line
            builder.text(left, y + sizes.titleGap + 2 * line, kGridTitle, GridFont::Block);
            y += 4 * line + sizes.gridGap;
        }
        builder.page().firstBar = bar;
        bar = placeBars(builder, document, metrics, sizes, bar, y);
        builder.page().endBar = bar;
        pages.push_back(builder.take());
    } while (bar < barCount);

    const int right = metrics.pageWidth - left;
    const int footerWidth = std::max(1, right - left);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        PageBuilder builder(metrics, sizes);
        builder.text(left, sizes.footerTop, kGridCreditLine, GridFont::Footer, GridAlign::Right,
                     footerWidth);
        builder.text(left, sizes.footerTop + scaled(15, metrics.scale), document.date,
                     GridFont::Footer, GridAlign::Right, footerWidth);
        // Pages of a longer song say where they belong.
        if (pages.size() > 1)
            builder.text(left, sizes.footerTop,
                         "Page " + std::to_string(i + 1) + " of " + std::to_string(pages.size()),
                         GridFont::Footer, GridAlign::Left, footerWidth);
        for (GridItem& item : builder.take().items)
            pages[i].items.push_back(std::move(item));
    }
    return pages;
}

} // namespace korvanta::print
