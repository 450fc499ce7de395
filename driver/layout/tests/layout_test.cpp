// The layout of printed words into runs, lines and column keys, read back
// through the converter's own reader of the printer text file.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/layout/PrinterText.h"
#include "driver/layout/TextLayout.h"
#include "parser/parse/KVExcelFileFieldInfoParser.h"

using sw::driver::AssignColumnKeys;
using sw::driver::LayOutPage;
using sw::driver::PageLayout;
using sw::driver::PageWords;
using sw::driver::Word;

namespace {

constexpr double kScale = 100.0 / 72.0;

// A word of a monospaced 10-point font (6 points a character) with its
// baseline at `baseline`.
Word Mono(double x, double baseline, const std::string& text, const std::string& font = "Courier") {
    return Word{x, baseline - 8, x + 6.0 * static_cast<double>(text.size()), baseline + 2, 10, font, text};
}

// Words of one line, split at blanks, placed as a monospaced printer would.
void Print(PageWords& page, double x, double baseline, const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        const std::size_t end = std::min(text.find(' ', i), text.size());
        page.words.push_back(Mono(x + 6.0 * static_cast<double>(i), baseline, text.substr(i, end - i)));
        i = end;
    }
}

std::vector<std::string> Texts(const sw::driver::Line& line) {
    std::vector<std::string> out;
    for (const auto& run : line.runs) {
        out.push_back(run.text);
    }
    return out;
}

// Key of each run text (texts are unique in these reports).
std::map<std::string, std::int64_t> Keys(const std::vector<PageLayout>& pages) {
    std::map<std::string, std::int64_t> keys;
    for (const auto& page : pages) {
        for (const auto& line : page.lines) {
            for (const auto& run : line.runs) {
                keys[run.text] = run.key;
            }
        }
    }
    return keys;
}

}  // namespace

TEST(layout_test, runs_as_printed_and_lines_by_baseline) {
    PageWords page{612, 792, {}};
    Print(page, 36, 76, "Acme Corp     1,234.50  Paid  in full");
    // A 14-point title and a 9-point page number on one baseline.
    page.words.push_back(Word{36, 40 - 11, 36 + 120, 40 + 3, 14, "ABCDEF+Arial,BoldItalic", "REPORT"});
    page.words.push_back(Word{400, 40 - 7, 430, 40 + 2, 9, "Arial", "Page"});
    page.words.push_back(Word{432.5, 40 - 7, 440, 40 + 2, 9, "Arial", "1"});
    // Pieces of one word in two fonts touch and stay one word.
    page.words.push_back(Word{36, 88 - 8, 48, 88 + 2, 10, "Courier-Bold", "To"});
    page.words.push_back(Word{48, 88 - 8, 66, 88 + 2, 10, "Courier", "tal"});
    Print(page, 36, 100, "Signed");
    Print(page, 36, 112, "Checked");
    Print(page, 36, 172, "End");  // four empty lines down

    const PageLayout layout = LayOutPage(page);
    ASSERT_EQ(layout.lines.size(), 6U);
    EXPECT_EQ(Texts(layout.lines[0]), (std::vector<std::string>{"REPORT", "Page 1"}));
    EXPECT_EQ(Texts(layout.lines[1]), (std::vector<std::string>{"Acme Corp", "1,234.50", "Paid", "in full"}));
    EXPECT_EQ(Texts(layout.lines[2]), (std::vector<std::string>{"Total"}));
    EXPECT_EQ(layout.lines[1].blankLinesBefore, 2);  // 36 points down at the page's 12-point pitch
    EXPECT_EQ(layout.lines[3].blankLinesBefore, 0);
    EXPECT_EQ(layout.lines[5].blankLinesBefore, 2);  // four, capped at two
    const auto& title = layout.lines[0].runs[0];
    EXPECT_EQ(title.style.family, "Arial");
    EXPECT_TRUE(title.style.bold);
    EXPECT_TRUE(title.style.italic);
    EXPECT_FALSE(layout.lines[1].runs[0].style.bold);
}

TEST(layout_test, one_key_per_printed_column_across_pages) {
    std::vector<PageLayout> pages;
    const char* const rows[][4] = {{"C1001", "Acme Corp", "3/27/2005", "15,566.97"},
                                   {"C1002", "Bolt & Nut", "3/28/2005", "99.00"},
                                   {"C1003", "Cog Works", "4/1/2005", "1,200.00"}};
    for (int p = 0; p < 2; ++p) {
        PageWords page{612, 792, {}};
        Print(page, 36, 40, "SALES REPORT");          // over the first two columns
        page.words.push_back(Mono(318, 40, "Page"));  // over the amounts
        page.words.push_back(Mono(348, 40, std::to_string(p + 1)));
        Print(page, 36, 64, "Customer");
        Print(page, 120, 64, "Name");
        page.words.push_back(Mono(238, 64, "Date"));  // centred over dates
        Print(page, 300, 64, "Amount");               // left-aligned over right-aligned amounts
        for (int r = 0; r < 3; ++r) {
            const double y = 76 + 12.0 * r;
            const std::string date = rows[r][2];
            const std::string amount = std::string(rows[r][3]) + (p ? "1" : "");
            Print(page, 36, y, rows[r][0]);
            Print(page, 120, y, rows[r][1] + std::string(p ? " Ltd" : ""));
            page.words.push_back(Mono(250 - 3.0 * static_cast<double>(date.size()), y, date));
            page.words.push_back(Mono(360 - 6.0 * static_cast<double>(amount.size()), y, amount));
        }
        Print(page, 238, 124, "Total");
        page.words.push_back(Mono(360 - 6.0 * 9, 124, "16,866.97"));
        pages.push_back(LayOutPage(page));
    }
    AssignColumnKeys(pages, kScale);
    const auto keys = Keys(pages);
    const std::set<std::int64_t> distinct = [&] {
        std::set<std::int64_t> s;
        for (const auto& [text, key] : keys) {
            s.insert(key);
        }
        return s;
    }();
    EXPECT_EQ(distinct.size(), 4U) << "four printed columns";
    EXPECT_EQ(keys.at("SALES REPORT"), keys.at("C1001"));
    EXPECT_EQ(keys.at("Customer"), keys.at("C1003"));
    EXPECT_EQ(keys.at("Name"), keys.at("Bolt & Nut Ltd"));
    EXPECT_EQ(keys.at("Date"), keys.at("4/1/2005"));
    EXPECT_EQ(keys.at("Total"), keys.at("3/27/2005"));
    EXPECT_EQ(keys.at("Amount"), keys.at("99.00"));
    EXPECT_EQ(keys.at("16,866.97"), keys.at("1,200.001"));
    EXPECT_EQ(keys.at("Page 2"), keys.at("99.00"));
    EXPECT_EQ(keys.at("C1001"), 50);  // 36 points at 100 dots an inch
    EXPECT_LT(keys.at("C1001"), keys.at("Acme Corp"));
    EXPECT_LT(keys.at("Acme Corp"), keys.at("3/27/2005"));
    EXPECT_LT(keys.at("3/27/2005"), keys.at("15,566.97"));
}

TEST(layout_test, crowded_runs_never_share_a_key_and_the_reader_gets_them_back) {
    // Runs far narrower than the alignment tolerance, overprinted words and
    // bracket pairs in the text.
    PageWords page{612, 792, {}};
    for (int i = 0; i < 12; ++i) {
        page.words.push_back(Word{10.0 + 0.4 * i, 20, 10.3 + 0.4 * i, 21, 0.5, "Times", std::to_string(i)});
    }
    page.words.push_back(Word{100, 10, 160, 21, 10, "Times-Bold", "a[[b]]c"});
    std::vector<PageLayout> pages{LayOutPage(page)};
    AssignColumnKeys(pages, kScale);

    std::ostringstream out;
    sw::driver::WritePrinterText(out, pages, kScale);
    std::vector<std::wstring> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(KVDecodeText(line));
    }
    KVExcelFileFieldInfoParser parser;
    parser.Parse(lines);
    std::size_t tokens = 0;
    std::set<std::pair<int, int>> cells;
    bool bracketTextKept = false;
    for (int key : parser.GetKeyList()) {
        for (const auto& token : *parser.GetTokenArray(key)) {
            ++tokens;
            EXPECT_TRUE(cells.emplace(token.m_nLineIndex, key).second)
                << "two runs of a line share key " << key;
            if (token.m_strText == L"a[ [b] ]c") {
                bracketTextKept = token.m_bBold && token.m_strName == L"Times";
            }
        }
    }
    std::size_t runs = 0;
    for (const auto& line : pages[0].lines) {
        runs += line.runs.size();
    }
    EXPECT_EQ(tokens, runs);
    EXPECT_TRUE(bracketTextKept);
}
