#pragma once
// The chords grid as it is printed: a header with the file name, the song's
// title, author, key and meter, numbered bar cells each with its chord below,
// and a footer with the credit line and the date. The layout is computed here
// without a paint device, page by page, as texts and frames in the target's
// pixels; the painter (ChordsGridPainter) only draws what it is given, so the
// preview, the printer and the PDF writer lay out alike.

#include <string>
#include <vector>

namespace korvanta {

class ChordMaster;

namespace print {

// What the grid shows of a song, as text.
struct GridDocument {
    std::string fileName; // without its folder
    std::string title;
    std::string author;
    std::string keyName;             // the song's first key, " - " when it has none
    std::string meterText;           // "%2d/%2d" of the first meter, " - " when none
    std::vector<std::string> chords; // one name per bar, " - " for none
    std::string date;                // today in the system's short format
};

// An empty title or author prints as "none".
GridDocument gridDocumentOf(const ChordMaster& master, const std::string& title,
                            const std::string& author, const std::string& date);

// The fonts the grid uses (all of one family).
enum class GridFont {
    Header,   // the file-name line: normal, 10 pt
    Block,    // title, author, key, meter and the grid title: bold, 10 pt
    BarLabel, // " - 1 - ": normal, 8 pt
    Chord,    // the chord under a bar label: bold, 10 pt
    Footer,   // credit line and date: normal, 9 pt
};
constexpr int kGridFontCount = 5;

// The target: its page in pixels (the part that can be printed on), how it
// scales against the screen, and the text heights of the fonts on it.
struct GridPageMetrics {
    int pageWidth = 0;
    int pageHeight = 0;
    double scale = 1.0; // target pixels per inch / screen pixels per inch
    int textHeight[kGridFontCount] = {};

    int height(GridFont font) const { return textHeight[static_cast<int>(font)]; }
};

struct GridRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }
    friend bool operator==(const GridRect&, const GridRect&) = default;
};

enum class GridAlign { Left, Centre, Right };

// One thing to draw: a text in its rectangle (left-aligned texts start at
// the rectangle's top left, right-aligned ones end at its right edge), or a
// frame when text is empty and framed is set.
struct GridItem {
    GridRect rect;
    std::string text;
    GridFont font = GridFont::Header;
    GridAlign align = GridAlign::Left;
    bool framed = false;
};

struct GridPage {
    std::vector<GridItem> items;
    int firstBar = 0; // the bars [firstBar, endBar) are on this page
    int endBar = 0;
};

// The pages of the grid: at least one, and as many as the bars need. The
// first page carries the song block and the grid title; every page starts
// with the file-name header and ends with the footer.
std::vector<GridPage> layoutChordsGrid(const GridDocument& document,
                                       const GridPageMetrics& metrics);

// The sizes of the layout, in target pixels, for tests and the painter.
struct GridSizes {
    int unit = 1;       // round(scale), at least 1
    int leftMargin = 0; // round(40 * scale)
    int headerTop = 0;  // round(20 * scale)
    int cellWidth = 0;  // round(60 * scale)
    int cellHeight = 0; // the block font's text height + round(4 * scale)
    int titleGap = 0;   // round(8 * scale): above the grid title
    int gridGap = 0;    // round(16 * scale): from the title to the grid
    int footerTop = 0;  // round(pageHeight - 45 * scale)
};
GridSizes gridSizes(const GridPageMetrics& metrics);

// The fixed texts of the grid.
inline constexpr const char* kGridCreditLine = "Accompaniment is created by means of the Korvanta.";
inline constexpr const char* kGridTitle = "Chords grid";

} // namespace print
} // namespace korvanta
