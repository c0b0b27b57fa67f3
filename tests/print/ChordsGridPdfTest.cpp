// The chords grid written as a PDF file, read back with poppler's tools:
// every page is there with its texts, and a failed write harms nothing.
#include "print/ChordsGridPainter.h"
#include "support/PdfText.h"
#include "support/ScratchPath.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

using namespace korvanta;
using namespace korvanta::print;
namespace fs = std::filesystem;

namespace {

using test::commandOutput;
using test::havePoppler;
using test::pdfPageTexts;

int pdfPages(const fs::path& pdf) {
    const std::string info = commandOutput("pdfinfo '" + pdf.string() + "'");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

GridDocument longSong(int bars) {
    GridDocument d;
    d.fileName = "long.mid";
    d.title = "A Long Tune";
    d.author = "Nobody";
    d.keyName = "F-dur";
    d.meterText = " 3/ 4";
    d.date = "2026-12-08";
    for (int i = 0; i < bars; ++i)
        d.chords.push_back(i % 3 == 0 ? "F" : i % 3 == 1 ? "Bb7" : "Cmaj7");
    return d;
}

struct ScratchFile {
    fs::path path = test::scratchPath("korvanta-grid", ".pdf");
    ~ScratchFile() { fs::remove(path); }
};

} // namespace

TEST(ChordsGridPdf, EveryPageOfALongSongIsWrittenWithItsTexts) {
    if (!havePoppler()) GTEST_SKIP() << "pdftotext/pdfinfo (poppler-utils) not installed";
    ScratchFile file;
    int pages = 0;
    ASSERT_EQ(writeChordsGridPdf(longSong(300), file.path.string(), PaperSize::A4, &pages), "");
    EXPECT_GT(pages, 1);
    EXPECT_EQ(pdfPages(file.path), pages);
    const std::vector<std::string> texts = pdfPageTexts(file.path);
    ASSERT_EQ(static_cast<int>(texts.size()), pages);
    EXPECT_NE(texts[0].find("Composition title: A Long Tune"), std::string::npos);
    EXPECT_NE(texts[0].find("Key: F-dur"), std::string::npos);
    EXPECT_NE(texts[0].find("Chords grid"), std::string::npos);
    for (int p = 0; p < pages; ++p) {
        const std::string& t = texts[static_cast<std::size_t>(p)];
        EXPECT_NE(t.find("File name: long.mid"), std::string::npos) << p;
        EXPECT_NE(t.find("Accompaniment is created by means of the Korvanta."), std::string::npos)
            << p;
        EXPECT_NE(t.find("Page " + std::to_string(p + 1) + " of " + std::to_string(pages)),
                  std::string::npos)
            << p;
    }
    // The last bar made it onto the last page.
    EXPECT_NE(texts.back().find("- 300 -"), std::string::npos);
}

TEST(ChordsGridPdf, LetterPaperGivesLetterPages) {
    if (!havePoppler()) GTEST_SKIP() << "pdftotext/pdfinfo (poppler-utils) not installed";
    ScratchFile file;
    ASSERT_EQ(writeChordsGridPdf(longSong(20), file.path.string(), PaperSize::Letter), "");
    EXPECT_NE(commandOutput("pdfinfo '" + file.path.string() + "'").find("612 x 792 pts"),
              std::string::npos);
    // The footer is on the page, not cut off below it.
    EXPECT_NE(pdfPageTexts(file.path)[0].find("Accompaniment is created"), std::string::npos);
}

TEST(ChordsGridPdf, AFailedWriteSaysWhyAndKeepsTheOldFile) {
    const fs::path missing = test::scratchPath("korvanta-no-folder") / "grid.pdf";
    const std::string problem = writeChordsGridPdf(longSong(4), missing.string(), PaperSize::A4);
    EXPECT_NE(problem.find("cannot write"), std::string::npos) << problem;
    EXPECT_FALSE(fs::exists(missing));
}

TEST(ChordsGridPdf, AnOldFileIsReplacedWhole) {
    ScratchFile file;
    std::ofstream(file.path) << "old bytes";
    ASSERT_EQ(writeChordsGridPdf(longSong(4), file.path.string(), PaperSize::A4), "");
    std::ifstream in(file.path, std::ios::binary);
    std::string head(5, '\0');
    in.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
}
