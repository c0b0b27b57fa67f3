// The chords grid's page layout, without a paint device: what goes on each
// page, where rows wrap, when a new page starts, and how it scales.
#include "print/ChordsGridLayout.h"

#include "alg/harmony/HarmonySettings.h"
#include "session/ChordMaster.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace korvanta;
using namespace korvanta::print;

namespace {

// An A4 page at 96 pixels per inch with text heights like a screen's.
GridPageMetrics screenA4(double scale = 1.0) {
    GridPageMetrics m;
    m.pageWidth = static_cast<int>(794 * scale);
    m.pageHeight = static_cast<int>(1123 * scale);
    m.scale = scale;
    const int heights[kGridFontCount] = {16, 17, 14, 17, 15};
    for (int i = 0; i < kGridFontCount; ++i)
        m.textHeight[i] = static_cast<int>(heights[i] * scale);
    return m;
}

GridDocument songOf(int bars) {
    GridDocument d;
    d.fileName = "tune.mid";
    d.title = "Tune";
    d.author = "Someone";
    d.keyName = "C-dur";
    d.meterText = " 4/ 4";
    d.date = "08/12/2026";
    for (int i = 0; i < bars; ++i)
        d.chords.push_back(i % 2 ? "G7" : "C");
    return d;
}

std::vector<const GridItem*> textsOf(const GridPage& page) {
    std::vector<const GridItem*> out;
    for (const GridItem& item : page.items)
        if (!item.framed) out.push_back(&item);
    return out;
}

const GridItem* findText(const GridPage& page, const std::string& text) {
    for (const GridItem& item : page.items)
        if (!item.framed && item.text == text) return &item;
    return nullptr;
}

// The bar label " - n - " of bar index i (from 0).
const GridItem* barLabel(const GridPage& page, int i) {
    return findText(page, " - " + std::to_string(i + 1) + " - ");
}

} // namespace

TEST(ChordsGridLayout, ASongWithoutBarsHasHeaderTitleAndFooterOnly) {
    const std::vector<GridPage> pages = layoutChordsGrid(songOf(0), screenA4());
    ASSERT_EQ(pages.size(), 1u);
    const GridPage& page = pages[0];
    EXPECT_TRUE(std::none_of(page.items.begin(), page.items.end(),
                             [](const GridItem& i) { return i.framed; }));
    std::vector<std::string> texts;
    for (const GridItem* item : textsOf(page))
        texts.push_back(item->text);
    EXPECT_EQ(texts, (std::vector<std::string>{"File name: tune.mid", "Composition title: Tune",
                                               "Author name: Someone", "Key: C-dur", "Meter:  4/ 4",
                                               kGridTitle, kGridCreditLine, "08/12/2026"}));
    EXPECT_EQ(page.firstBar, 0);
    EXPECT_EQ(page.endBar, 0);
}

TEST(ChordsGridLayout, HeaderBlockAndFooterSitWhereTheGridPutsThem) {
    const GridPageMetrics m = screenA4();
    const GridPage page = layoutChordsGrid(songOf(1), m)[0];
    EXPECT_EQ(findText(page, "File name: tune.mid")->rect.left, 40);
    EXPECT_EQ(findText(page, "File name: tune.mid")->rect.top, 20);
    // The block starts three header tops down, one line each.
    EXPECT_EQ(findText(page, "Composition title: Tune")->rect.top, 60);
    EXPECT_EQ(findText(page, "Meter:  4/ 4")->rect.top, 60 + 3 * 17);
    // A blank line, then the title 8 units and two lines lower.
    const int afterBlock = 60 + 5 * 17;
    EXPECT_EQ(findText(page, kGridTitle)->rect.top, afterBlock + 8 + 2 * 17);
    const GridItem* first = barLabel(page, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->rect.top, afterBlock + 4 * 17 + 16 + 1);
    EXPECT_EQ(first->align, GridAlign::Centre);
    // Footer: right-aligned at the right margin, 45 pixels above the bottom,
    // the date 15 lower.
    const GridItem* credit = findText(page, kGridCreditLine);
    EXPECT_EQ(credit->align, GridAlign::Right);
    EXPECT_EQ(credit->rect.right(), m.pageWidth - 40);
    EXPECT_EQ(credit->rect.top, m.pageHeight - 45);
    EXPECT_EQ(findText(page, "08/12/2026")->rect.top, m.pageHeight - 45 + 15);
}

TEST(ChordsGridLayout, CellsOverlapByOneUnitAndRowsWrapThreeCellHeightsDown) {
    const GridPageMetrics m = screenA4();
    const GridSizes sizes = gridSizes(m);
    const GridPage page = layoutChordsGrid(songOf(30), m)[0];
    // Cells 60 wide overlapping by 1: 12 fit in 794 - 40 (x + 60 <= 794).
    const int perRow =
        (m.pageWidth - sizes.leftMargin - sizes.cellWidth) / (sizes.cellWidth - sizes.unit) + 1;
    EXPECT_EQ(perRow, 12);
    for (int i = 1; i < perRow; ++i)
        EXPECT_EQ(barLabel(page, i)->rect.left - barLabel(page, i - 1)->rect.left, 59) << i;
    const GridItem* wrapped = barLabel(page, perRow);
    EXPECT_EQ(wrapped->rect.left, sizes.leftMargin);
    EXPECT_EQ(wrapped->rect.top - barLabel(page, 0)->rect.top, 3 * sizes.cellHeight);
    // Every bar has a frame pair and its chord under its label.
    const GridItem* chord = nullptr;
    for (const GridItem& item : page.items)
        if (item.text == "G7" && item.rect.left == barLabel(page, 1)->rect.left) chord = &item;
    ASSERT_NE(chord, nullptr);
    EXPECT_GT(chord->rect.top, barLabel(page, 1)->rect.top);
    EXPECT_EQ(std::count_if(page.items.begin(), page.items.end(),
                            [](const GridItem& i) { return i.framed; }),
              2 * 30);
}

TEST(ChordsGridLayout, BarsBeyondThePageContinueOnFurtherPages) {
    const GridPageMetrics m = screenA4();
    const GridSizes sizes = gridSizes(m);
    const std::vector<GridPage> pages = layoutChordsGrid(songOf(1000), m);
    ASSERT_GT(pages.size(), 2u);
    EXPECT_EQ(pages.front().firstBar, 0);
    EXPECT_EQ(pages.back().endBar, 1000);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const GridPage& page = pages[p];
        if (p > 0) {
            EXPECT_EQ(page.firstBar, pages[p - 1].endBar);
        }
        EXPECT_GT(page.endBar, page.firstBar);
        // Each page starts with the file name and says where it belongs.
        EXPECT_EQ(textsOf(page).front()->text, "File name: tune.mid");
        EXPECT_NE(
            findText(page, "Page " + std::to_string(p + 1) + " of " + std::to_string(pages.size())),
            nullptr);
        // Only the first page has the song block.
        EXPECT_EQ(findText(page, "Key: C-dur") != nullptr, p == 0);
        // No cell reaches into the footer; every bar of the page is there.
        for (const GridItem& item : page.items) {
            if (item.framed) {
                EXPECT_LE(item.rect.bottom(), sizes.footerTop) << p;
            }
        }
        for (int bar = page.firstBar; bar < page.endBar; ++bar)
            ASSERT_NE(barLabel(page, bar), nullptr) << bar;
    }
    // A continued page fills from the top, so it holds more than the first.
    EXPECT_GT(pages[1].endBar - pages[1].firstBar, pages[0].endBar - pages[0].firstBar);
}

TEST(ChordsGridLayout, ALetterPageKeepsTheFooterOnThePage) {
    // Letter is shorter than A4: laid out on its own height, the footer and
    // the cells stay on it.
    GridPageMetrics letter = screenA4();
    letter.pageWidth = 816;
    letter.pageHeight = 1056;
    const std::vector<GridPage> pages = layoutChordsGrid(songOf(400), letter);
    for (const GridPage& page : pages)
        for (const GridItem& item : page.items)
            EXPECT_LE(item.rect.bottom(), letter.pageHeight) << item.text;
    EXPECT_EQ(pages.back().endBar, 400);
}

TEST(ChordsGridLayout, AHigherResolutionScalesEveryLength) {
    const double s = 300.0 / 96.0;
    const GridPageMetrics screen = screenA4();
    const GridPageMetrics printer = screenA4(s);
    const GridSizes sizes = gridSizes(printer);
    EXPECT_EQ(sizes.unit, 3);
    EXPECT_EQ(sizes.leftMargin, 125);
    EXPECT_EQ(sizes.headerTop, 63);
    EXPECT_EQ(sizes.cellWidth, 188);
    const std::vector<GridPage> small = layoutChordsGrid(songOf(200), screen);
    const std::vector<GridPage> large = layoutChordsGrid(songOf(200), printer);
    // The page looks the same: the same bars on each page, and each item
    // where the screen has it, times the scale (within rounding).
    ASSERT_EQ(small.size(), large.size());
    EXPECT_EQ(small[0].endBar, large[0].endBar);
    for (int bar : {0, 11, 12, small[0].endBar - 1}) {
        const GridItem* a = barLabel(small[0], bar);
        const GridItem* b = barLabel(large[0], bar);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_NEAR(b->rect.left, a->rect.left * s, 12 * s) << bar;
        EXPECT_NEAR(b->rect.top, a->rect.top * s, 12 * s) << bar;
    }
}

TEST(ChordsGridLayout, ATinyPageStillEndsWithEveryBarPlaced) {
    GridPageMetrics m = screenA4();
    m.pageWidth = 10;
    m.pageHeight = 10;
    const std::vector<GridPage> pages = layoutChordsGrid(songOf(5), m);
    EXPECT_EQ(pages.back().endBar, 5);
    EXPECT_LE(pages.size(), 5u);
}

TEST(ChordsGridLayout, ASongWithoutKeyOrChordsPrintsDashes) {
    // A MIDI file read but not harmonized has no key entry and no chords.
    HarmonySettings settings = kBuiltInHarmonySettings;
    ChordMaster master(std::string(KORVANTA_DATA_DIR) + "/samples/twinkle-twinkle.mid", 0,
                       settings);
    ASSERT_EQ(master.loadMidiFile(), kStatusOk);
    const GridDocument d = gridDocumentOf(master, "", "", "today");
    EXPECT_EQ(d.fileName, "twinkle-twinkle.mid");
    EXPECT_EQ(d.title, "none");
    EXPECT_EQ(d.author, "none");
    EXPECT_EQ(d.keyName, " - ");
    EXPECT_EQ(d.meterText, " 4/ 4");
    ASSERT_FALSE(d.chords.empty());
    EXPECT_EQ(d.chords.front(), " - ");

    ASSERT_EQ(master.Harmonize(), kStatusOk);
    const GridDocument h = gridDocumentOf(master, "T", "A", "today");
    EXPECT_EQ(h.keyName, "C-dur");
    EXPECT_EQ(h.chords.front(), "C");
    EXPECT_EQ(static_cast<int>(h.chords.size()), master.song()->barCount);
}
