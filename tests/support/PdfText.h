#pragma once
// Reads a PDF back as text with poppler's tools, for tests of printed pages.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace korvanta::test {

inline bool havePoppler() {
    return std::system("command -v pdftotext >/dev/null 2>&1 && command -v pdfinfo >/dev/null "
                       "2>&1") == 0;
}

// What a shell command prints on standard output.
inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// The whole text, laid out as on the page.
inline std::string pdfText(const std::filesystem::path& pdf) {
    return commandOutput("pdftotext -layout '" + pdf.string() + "' -");
}

// The text of each page (pdftotext ends every page with a form feed).
inline std::vector<std::string> pdfPageTexts(const std::filesystem::path& pdf) {
    std::vector<std::string> pages(1);
    for (const char c : pdfText(pdf)) {
        if (c == '\f')
            pages.emplace_back();
        else
            pages.back() += c;
    }
    if (pages.back().empty()) pages.pop_back();
    return pages;
}

} // namespace korvanta::test
