// The .xlsx writer against independent readers, and against the library
// writer it replaced.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/tests/ReferenceXlsxWriter.h"
#include "platform/calc/io/tests/TestSheet.h"
#include "platform/calc/io/tests/WorkbookFiles.h"

namespace calc::io {
namespace {

using test::HasLine;
using test::Installed;
using test::kPython;
using test::Quote;
using test::ReadText;
using test::RunCommand;
using test::TestSheet;
using test::WorkbookFiles;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        lines.push_back(l);
    }
    return lines;
}

// Cells of every kind in many styles, texts repeated and not, numbers of at
// most 15 significant digits (what a cell holds; the library writes 16).
TestSheet MixedSheet(const std::wstring& name, int salt) {
    TestSheet s(name);
    std::vector<uint32_t> styles = {0};
    for (const wchar_t* code : {L"0.00", L"#,##0", L"m/d/yyyy", L"h:mm", L"0.0%", L"@",
                                L"$#,##0.00_);($#,##0.00)", L"#,##0\" pcs & <more>\""}) {
        CellStyle st;
        st.numberFormat = code;
        styles.push_back(s.addStyle(st));
    }
    const HAlign aligns[] = {HAlign::Left, HAlign::Center,  HAlign::Right,
                             HAlign::Fill, HAlign::Justify, HAlign::CenterAcrossSelection};
    for (int k = 0; k < 6; ++k) {
        CellStyle st;
        st.font.name = k % 2 ? L"Courier New" : L"Times & Sons";
        st.font.size = 8 + 1.5 * k;
        st.font.bold = k % 2 == 0;
        st.font.italic = k % 3 == 0;
        st.font.underline = k > 3;
        st.align = aligns[k];
        st.numberFormat = k == 5 ? L"0.000" : L"General";
        styles.push_back(s.addStyle(st));
    }
    const std::vector<std::wstring> pool = {
        L"a & b",        L"<tag attr=\"v\">", L"  lead",    L"trail ",     L"Zo\u00eb",
        L"\u65e5\u672c", L"\U0001F600 smile", L"tab\there", L"two\nlines", L"x'y",
        L"plain"};
    for (int r = 0; r < 300; ++r) {
        for (int c = 0; c < 8; ++c) {
            const int k = r * 8 + c + salt;
            const uint32_t style = styles[static_cast<size_t>(k * 7 % static_cast<int>(styles.size()))];
            switch (k % 7) {
                case 0:
                    s.text(r, c, pool[static_cast<size_t>(k) % pool.size()], style);
                    break;
                case 1:
                    s.number(r, c, r * 1000.0 - 150000, style);
                    break;
                case 2:
                    s.number(r, c, (k * 37 % 10000) / (k % 2 ? 100.0 : -100.0), style);
                    break;
                case 3:
                    s.number(r, c, 38000 + r + (k % 4) / 8.0, style);
                    break;
                case 4:
                    if (k % 3 == 0) {  // too large for a date format
                        s.number(r, c, 123456789012345.0 * (r % 2 ? 1 : -1), styles[2]);
                    } else {
                        s.number(r, c, r / 1e7, style);
                    }
                    break;
                case 5:
                    if (k % 3 == 0) {
                        s.boolean(r, c, k % 2 == 0, style);
                    } else if (k % 3 == 1) {
                        s.error(r, c, 2000 + (k % 2 ? 7 : 42), style);
                    } else {
                        s.blank(r, c, style == 0 ? styles[1] : style);
                    }
                    break;
                default:
                    s.text(r, c, L"row " + std::to_wstring(r) + L" col " + std::to_wstring(c), style);
                    break;
            }
        }
    }
    for (int c = 0; c < 8; ++c) {
        s.width(c, c == 3 ? 0.5 : 4.0 + 11.25 * c);
    }
    s.select(40 + salt, 3);
    return s;
}

TEST_F(WorkbookFiles, xlsx_holds_the_same_cells_as_the_library_writer_gives) {
    TestSheet rich = test::RichSheet();
    TestSheet first = MixedSheet(L"Mixed", 0);
    TestSheet second = MixedSheet(L"Second & last", 3);
    const std::vector<const SheetView*> sheets = {&rich, &first, &second};
    ASSERT_TRUE(WriteXlsx(sheets, path("ours.xlsx")).ok);
    ASSERT_TRUE(test::WriteXlsxWithLibrary(sheets, path("reference.xlsx")).ok);
    std::vector<std::string> ours = Lines(readBack("xlsx", path("ours.xlsx")));
    std::vector<std::string> reference = Lines(readBack("xlsx", path("reference.xlsx")));
    SKIP_IF_NO_READER();
    // The library can store an error value only as a formula giving it; ours
    // is the error itself.
    for (std::string& line : reference) {
        const size_t at = line.find(" f =#");
        if (at != std::string::npos) {
            line.replace(at, 5, " e #");
        }
    }
    ASSERT_GT(ours.size(), 4000u);
    const auto differ = std::mismatch(ours.begin(), ours.end(), reference.begin(), reference.end());
    EXPECT_EQ(ours.size(), reference.size());
    if (differ.first != ours.end() || differ.second != reference.end()) {
        ADD_FAILURE() << "first difference, line " << (differ.first - ours.begin())
                      << ":\n  ours:      " << (differ.first != ours.end() ? *differ.first : "(none)")
                      << "\n  reference: " << (differ.second != reference.end() ? *differ.second : "(none)");
    }
}

TEST_F(WorkbookFiles, xlsx_texts_with_markup_control_and_astral_characters_read_back_in_three_readers) {
    TestSheet s(L"R&D <\"Q'1\">");
    s.text(0, 0, L"<a href=\"x\">&amp; 'q' </a>");
    s.text(1, 0, L"tab\there");
    s.text(2, 0, L"line1\nline2");
    s.text(3, 0, L"cr\rlf");
    s.text(4, 0, std::wstring(L"c\x01\x1f") + std::wstring(1, L'\0') + L"d");
    s.text(5, 0, L"_x0041_ stays");
    s.text(6, 0, L"\U0001F600 astral \U0001D11E");
    s.text(7, 0, L"  padded  ");
    s.number(8, 0, 0.1 + 0.2);
    s.number(9, 0, -5e-324);
    s.number(10, 0, 1.7976931348623157e308);
    CellStyle odd;
    odd.numberFormat = L"#,##0\" pcs & <more>\"";
    odd.font.name = L"A&B <Font>";
    s.number(11, 0, 1234, s.addStyle(odd));
    const std::string file = path("special.xlsx");
    ASSERT_TRUE(WriteXlsx({&s}, file).ok);

    const std::string dump = readBack("xlsx", file);
    SKIP_IF_NO_READER();
    // openpyxl decodes no _xHHHH_ escape but the underscore's: control
    // characters show as the file holds them.
    for (const char* line : {
             "activesheet R&D <\"Q'1\">",
             "cell 0 A1 s <a href=\"x\">&amp; 'q' </a> fmt=General font=Arial|10.0|b0|i0|uNone align=None "
             "date=0",
             "cell 0 A2 s tab\there fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A3 s line1\\nline2 fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A4 s cr\rlf fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A5 s c_x0001__x001F__x0000_d fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A6 s _x0041_ stays fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A7 s \U0001F600 astral \U0001D11E fmt=General font=Arial|10.0|b0|i0|uNone align=None "
             "date=0",
             "cell 0 A8 s   padded   fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A9 n 0.30000000000000004 fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A10 n -5e-324 fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A11 n 1.7976931348623157e+308 fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A12 n 1234 fmt=#,##0\" pcs & <more>\" font=A&B <Font>|10.0|b0|i0|uNone align=None "
             "date=0",
         }) {
        EXPECT_TRUE(HasLine(dump, line)) << "missing: " << line << "\n--- dump:\n" << dump;
    }

    if (Installed("soffice")) {
        // LibreOffice decodes every escape.
        const std::string csv = libreOfficeCsv(file);
        for (const std::string& part :
             {std::string("\"<a href=\"\"x\"\">&amp; 'q' </a>\"\n"),
              std::string("tab\there\n\"line1\nline2\"\n\"cr\rlf\"\n"),
              std::string("c\x01\x1f", 3) + std::string(1, '\0') + "d\n",
              std::string("_x0041_ stays\n\U0001F600 astral \U0001D11E\n  padded  \n"),
              std::string("\"1,234 pcs & <more>\"\n")}) {
            EXPECT_NE(csv.find(part), std::string::npos) << "missing: " << part << "\n--- csv:\n" << csv;
        }
    }
    if (Installed("ssconvert")) {
        // gnumeric decodes none: the control characters, and the underscore
        // escaped in front of a text that looks like an escape, show as stored.
        const std::string csv = gnumericCsv(file);
        for (const char* part :
             {"\"<a href=\"\"x\"\">&amp; 'q' </a>\"\n", "\"tab\there\"\n\"line1\nline2\"\ncr\rlf\n",
              "c_x0001__x001F__x0000_d\n\"_x005F_x0041_ stays\"\n",
              "\"\U0001F600 astral \U0001D11E\"\n\"  padded  \"\n0.30000000000000004\n"}) {
            EXPECT_NE(csv.find(part), std::string::npos) << "missing: " << part << "\n--- csv:\n" << csv;
        }
    }
}

// Every row of the grid, a number in each and a text in the first and last;
// `strayRow` adds a cell at that row without counting it in the extent, as a
// sheet whose extent is out of date would.
class TallSheet : public test::PlainLayoutView {
public:
    explicit TallSheet(int32_t strayRow = -1) : strayRow_(strayRow) { styles_.emplace_back(); }
    std::wstring name() const override { return L"Tall"; }
    const std::vector<CellStyle>& styles() const override { return styles_; }
    int32_t lastRow() const override { return kRows - 1; }
    int32_t lastCol() const override { return 1; }
    void forEachCell(const std::function<void(const CellRef&)>& visit) const override {
        for (int32_t r = 0; r < kRows; ++r) {
            visit(Number(r));
            if (r == 0 || r == kRows - 1) {
                CellRef text;
                text.row = r;
                text.col = 1;
                text.kind = CellKind::Text;
                text.text = r == 0 ? &first_ : &last_;
                visit(text);
            }
        }
        if (strayRow_ >= 0) {
            visit(Number(strayRow_));
        }
    }

    static constexpr int32_t kRows = 1048576;

private:
    static CellRef Number(int32_t r) {
        CellRef cell;
        cell.row = r;
        cell.kind = CellKind::Number;
        cell.number = r + 1;
        return cell;
    }
    int32_t strayRow_;
    std::vector<CellStyle> styles_;
    const std::wstring first_ = L"first", last_ = L"last";
};

TEST_F(WorkbookFiles, xlsx_of_every_row_reads_back_whole_in_three_readers_and_a_row_more_is_refused) {
    const std::string file = path("tall.xlsx");
    TallSheet tall;
    WriteResult r = WriteXlsx({&tall}, file);
    ASSERT_TRUE(r.ok) << r.error;

    // A cell past the last row, met only on the way: the save stops there and
    // the workbook saved before stays as it was.
    TallSheet stray(TallSheet::kRows);
    r = WriteXlsx({&stray}, file);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("has a cell at A1048577, beyond the 1,048,576 rows"), std::string::npos)
        << r.error;
    EXPECT_EQ(files(), std::vector<std::string>{"tall.xlsx"});

    // The three readers at once: each takes seconds over a million rows.
    const std::string openpyxl =
        std::string(kPython) +
        " -c 'import openpyxl, sys\n"
        "rows = openpyxl.load_workbook(sys.argv[1], read_only=True).active.iter_rows("
        "values_only=True)\n"
        "n, first, last = 0, None, None\n"
        "for row in rows:\n"
        "    n, first, last = n + 1, first or row, row\n"
        "print(n, first, last)' " +
        Quote(file) + " >" + Quote(path("openpyxl.txt")) + " 2>&1";
    std::string all = "(" + openpyxl + ") & ";
    const bool gnumeric = Installed("ssconvert");
    if (gnumeric) {
        all += "(ssconvert " + Quote(file) + " " + Quote(path("tall-gnumeric.csv")) + " >/dev/null 2>&1) & ";
    }
    all += "wait";
    std::thread others([&all] { RunCommand(all); });
    const bool office = Installed("soffice");
    const std::string officeCsv = office ? libreOfficeCsv(file) : "";
    others.join();

    const std::string seen = ReadText(path("openpyxl.txt"));
    if (seen.find("No module named") != std::string::npos) {
        GTEST_SKIP() << seen;
    }
    EXPECT_EQ(seen, "1048576 (1, 'first') (1048576, 'last')\n");
    if (gnumeric) {
        const std::string csv = ReadText(path("tall-gnumeric.csv"));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), TallSheet::kRows);
        EXPECT_EQ(csv.substr(0, 8), "1,first\n");
        EXPECT_EQ(csv.substr(csv.size() - 13), "1048576,last\n");
    }
    if (office) {
        EXPECT_EQ(std::count(officeCsv.begin(), officeCsv.end(), '\n'), TallSheet::kRows);
        EXPECT_EQ(officeCsv.substr(0, 8), "1,first\n");
        EXPECT_EQ(officeCsv.substr(officeCsv.size() - 13), "1048576,last\n");
    }
}

}  // namespace
}  // namespace calc::io
