#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/tests/BiffReader.h"
#include "platform/calc/io/tests/TestSheet.h"
#include "platform/calc/io/tests/WorkbookFiles.h"

namespace calc::io {
namespace {

namespace fs = std::filesystem;
using test::GeneratedSheet;
using test::HasLine;
using test::ReadText;
using test::RichSheet;
using test::TestSheet;
using test::WorkbookFiles;

TEST_F(WorkbookFiles, xls_keeps_values_types_formats_fonts_alignment_widths_and_active_cell) {
    TestSheet s = RichSheet();
    std::string file = path("rich.xls");
    WriteResult r = WriteXls({&s}, file);
    ASSERT_TRUE(r.ok) << r.error;
    std::string dump = readBack("xls", file);
    SKIP_IF_NO_READER();
    for (const char* line : {
             "datemode 0 codepage 1200",
             "sheet 0 Report rows=5 cols=5",
             "cell 0 A1 text Name fmt=General ifmt=0 font=Arial|240|b1|i0|u0|w700 align=1",
             "cell 0 B1 text Amount fmt=General ifmt=0 font=Arial|200|b0|i1|u1|w400 align=2",
             "cell 0 A2 text Widget \u20ac fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 B2 number 1234.5 fmt=#,##0.00 ifmt=4 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 A3 text \u00dcn\u00efc\u00f6d\u00e9 fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 "
             "align=0",
             "cell 0 B3 number -5.0 fmt=$#,##0.00 ifmt=164 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 A4 text \u65e5\u672c\u8a9e fmt=General ifmt=0 font=Courier New|200|b0|i0|u0|w400 "
             "align=3",
             "cell 0 B4 number 0.125 fmt=0.0% ifmt=165 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 C2 date 38383.0/(2005, 1, 31, 0, 0, 0) fmt=m/d/yy ifmt=14 font=Arial|200|b0|i0|u0|w400 "
             "align=0",
             "cell 0 C3 date 38383.4375/(2005, 1, 31, 10, 30, 0) fmt=dddd, mmmm dd, yyyy ifmt=166 "
             "font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 C4 date 0.4375/(0, 0, 0, 10, 30, 0) fmt=h:mm:ss AM/PM ifmt=19 "
             "font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 C5 date 38383.0/(2005, 1, 31, 0, 0, 0) fmt=yyyy-mm-dd;@ ifmt=167 "
             "font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 D2 bool 1 fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 D3 error 7 fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 D4 blank  fmt=General ifmt=0 font=Arial|200|b1|i0|u0|w700 align=0",
             "cell 0 E2 number 0.3333333333333333 fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 E3 number 123456789.0 fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 E4 number 12.34 fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 E5 number 1e+300 fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "width 0 A 5302",
             "width 0 C 8009",
             "active 0 C7",
         }) {
        EXPECT_TRUE(HasLine(dump, line)) << "missing: " << line << "\n--- dump:\n" << dump;
    }
    EXPECT_EQ(files(), std::vector<std::string>{"rich.xls"});
}

TEST_F(WorkbookFiles, xlsx_keeps_values_types_formats_fonts_alignment_widths_and_active_cell) {
    TestSheet s = RichSheet();
    std::string file = path("rich.xlsx");
    WriteResult r = WriteXlsx({&s}, file);
    ASSERT_TRUE(r.ok) << r.error;
    std::string dump = readBack("xlsx", file);
    SKIP_IF_NO_READER();
    for (const char* line : {
             "activesheet Report",
             "sheet 0 Report rows=5 cols=5",
             "cell 0 A1 s Name fmt=General font=Arial|12.0|b1|i0|uNone align=left date=0",
             "cell 0 B1 s Amount fmt=General font=Arial|10.0|b0|i1|usingle align=center date=0",
             "cell 0 A2 s Widget \u20ac fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 B2 n 1234.5 fmt=#,##0.00 font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 B3 n -5 fmt=$#,##0.00 font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A4 s \u65e5\u672c\u8a9e fmt=General font=Courier New|10.0|b0|i0|uNone align=right "
             "date=0",
             "cell 0 B4 n 0.125 fmt=0.0% font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 C2 d 2005-01-31 00:00:00 fmt=m/d/yyyy font=Arial|10.0|b0|i0|uNone align=None date=1",
             "cell 0 C3 d 2005-01-31 10:30:00 fmt=dddd, mmmm dd, yyyy font=Arial|10.0|b0|i0|uNone align=None "
             "date=1",
             "cell 0 C4 d 10:30:00 fmt=h:mm:ss AM/PM font=Arial|10.0|b0|i0|uNone align=None date=1",
             "cell 0 C5 d 2005-01-31 00:00:00 fmt=yyyy-mm-dd;@ font=Arial|10.0|b0|i0|uNone align=None date=1",
             "cell 0 D2 b True fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 D3 e #DIV/0! fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 E2 n 0.3333333333333333 fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 E3 n 123456789 fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 E5 n 1e+300 fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "width 0 A 20.7109375",
             "width 0 C 31.28515625",
             "active 0 C7",
         }) {
        EXPECT_TRUE(HasLine(dump, line)) << "missing: " << line << "\n--- dump:\n" << dump;
    }
    EXPECT_EQ(files(), std::vector<std::string>{"rich.xlsx"});
}

TEST_F(WorkbookFiles, xls_with_several_sheets_points_each_sheet_at_its_own_records) {
    TestSheet first(L"First");
    first.text(0, 0, L"one");
    first.number(1, 0, 1);
    TestSheet second(L"Zweite \u00dcbersicht");
    second.text(0, 0, L"two");
    second.text(0, 1, L"one");
    second.number(3, 2, 2.5);
    second.select(3, 2);
    std::string file = path("two.xls");
    ASSERT_TRUE(WriteXls({&first, &second}, file).ok);
    std::string dump = readBack("xls", file);
    SKIP_IF_NO_READER();
    for (const char* line : {"sheet 0 First rows=2 cols=1", "sheet 1 Zweite \u00dcbersicht rows=4 cols=3",
                             "active 0 A1", "active 1 C4"}) {
        EXPECT_TRUE(HasLine(dump, line)) << line << "\n" << dump;
    }
    EXPECT_NE(dump.find("cell 1 B1 text one "), std::string::npos) << dump;
    EXPECT_NE(dump.find("cell 1 C4 number 2.5 "), std::string::npos) << dump;
    EXPECT_NE(dump.find("cell 0 A2 number 1.0 "), std::string::npos) << dump;
}

TEST_F(WorkbookFiles, xls_shared_strings_survive_continue_records) {
    TestSheet s(L"Strings");
    std::wstring longNarrow(9000, L'n');
    longNarrow[8999] = L'!';
    std::wstring mixed;
    for (int i = 0; i < 4100; ++i) {
        mixed += (i % 3 == 0) ? L'\u0416' : L'x';
    }
    s.text(0, 0, longNarrow);
    s.text(0, 1, mixed);
    s.text(0, 2, L"\U0001F600 emoji");  // outside the BMP: a surrogate pair
    const int kDistinct = 70000;
    for (int i = 0; i < kDistinct; ++i) {
        s.text(1 + i / 10, i % 10,
               L"distinct " + std::to_wstring(i) + (i % 11 == 0 ? L" \u00e4\u00f6\u00fc" : L""));
    }
    std::string file = path("strings.xls");
    WriteResult r = WriteXls({&s}, file);
    ASSERT_TRUE(r.ok) << r.error;

    auto records = test::Records(test::WorkbookStream(test::ReadFileBytes(file)));
    const size_t sst = test::FindRecord(records, 0x00FC);
    ASSERT_LT(sst, records.size());
    auto strings = test::DecodeSst(records, sst);
    ASSERT_EQ(strings.size(), static_cast<size_t>(kDistinct + 3));
    EXPECT_EQ(strings[0].size(), 9000u);
    EXPECT_EQ(strings[0].back(), u'!');
    EXPECT_EQ(strings[1].size(), 4100u);
    EXPECT_EQ(strings[1][3], u'\u0416');
    EXPECT_EQ(strings[2], u"\U0001F600 emoji");
    EXPECT_EQ(strings[3 + 69999], u"distinct 69999");

    std::string dump = readBack("xls", file);
    SKIP_IF_NO_READER();
    EXPECT_NE(dump.find("cell 0 A1 text " + std::string(8999, 'n') + "! "), std::string::npos);
    EXPECT_NE(dump.find("cell 0 C1 text \U0001F600 emoji "), std::string::npos);
    EXPECT_TRUE(dump.find("cell 0 A7001 text distinct 69990 fmt") != std::string::npos)
        << dump.substr(0, 2000);
    EXPECT_TRUE(dump.find("cell 0 A1 text distinct 0 \u00e4\u00f6\u00fc") == std::string::npos);
    EXPECT_TRUE(dump.find("cell 0 A2 text distinct 0 \u00e4\u00f6\u00fc fmt") != std::string::npos);
    size_t textCells = 0;
    for (size_t at = dump.find(" text "); at != std::string::npos; at = dump.find(" text ", at + 1)) {
        ++textCells;
    }
    EXPECT_EQ(textCells, static_cast<size_t>(kDistinct + 3));
}

// Labels of two pooled sheets and a plain one name their own strings.
void ExpectPooledLabels(const std::string& file, bool numbered);

TEST_F(WorkbookFiles, xls_labels_of_pooled_texts_name_their_own_string_across_sheets) {
    // Each sheet pools its texts; equal texts of the two pools sit at different
    // addresses (and have their own numbers when the sheets number them), and
    // so does the one text that a plain sheet keeps per cell.
    for (const bool numbered : {false, true}) {
        SCOPED_TRACE(numbered ? "texts numbered" : "texts by address");
        ExpectPooledLabels(path(numbered ? "pooled-numbered.xls" : "pooled.xls"), numbered);
    }
}

void ExpectPooledLabels(const std::string& file, bool numbered) {
    test::PooledSheet first(L"First", {L"north", L"south", L"east", L"north "},
                            {0, 1, 0, 2, 1, 1, 3, 0, 2, 3}, numbered);
    test::PooledSheet second(L"Second", {L"east", L"west", L"north"}, {1, 0, 1, 2, 2, 0}, numbered);
    TestSheet third(L"Third");
    third.text(0, 0, L"west");
    third.text(1, 0, L"west");
    third.text(2, 0, L"centre");
    WriteResult r = WriteXls({&first, &second, &third}, file);
    ASSERT_TRUE(r.ok) << r.error;

    auto records = test::Records(test::WorkbookStream(test::ReadFileBytes(file)));
    const size_t sst = test::FindRecord(records, 0x00FC);
    ASSERT_LT(sst, records.size());
    const auto strings = test::DecodeSst(records, sst);
    EXPECT_EQ(strings,
              (std::vector<std::u16string>{u"north", u"south", u"east", u"north ", u"west", u"centre"}));
    EXPECT_EQ(test::Le32(records[sst].body, 0), 19u);  // every label counts, repeated or not
    EXPECT_EQ(test::Le32(records[sst].body, 4), 6u);

    const std::vector<std::vector<std::u16string>> expected = {
        {u"north", u"south", u"north", u"east", u"south", u"south", u"north ", u"north", u"east", u"north "},
        {u"west", u"east", u"west", u"north", u"north", u"east"},
        {u"west", u"west", u"centre"}};
    std::vector<std::vector<std::u16string>> shown(3);
    int sheet = -1;
    for (const auto& rec : records) {
        if (rec.id == 0x0809 && test::Le16(rec.body, 2) == 0x0010) {
            ++sheet;
        } else if (rec.id == 0x00FD) {
            ASSERT_GE(sheet, 0);
            ASSERT_EQ(test::Le16(rec.body, 0), shown[static_cast<size_t>(sheet)].size());
            const uint32_t index = test::Le32(rec.body, 6);
            ASSERT_LT(index, strings.size());
            shown[static_cast<size_t>(sheet)].push_back(strings[index]);
        }
    }
    EXPECT_EQ(shown, expected);
}

TEST_F(WorkbookFiles, xls_fills_the_whole_grid_up_to_its_limits) {
    TestSheet s(L"Edge");
    s.text(0, 0, L"first");
    s.number(65535, 255, 42);
    s.select(70000, 300);  // past the grid: kept at its edge
    std::string file = path("edge.xls");
    WriteResult r = WriteXls({&s}, file);
    ASSERT_TRUE(r.ok) << r.error;
    std::string dump = readBack("xls", file);
    SKIP_IF_NO_READER();
    EXPECT_TRUE(HasLine(dump, "sheet 0 Edge rows=65536 cols=256")) << dump;
    EXPECT_NE(dump.find("cell 0 IV65536 number 42.0 "), std::string::npos) << dump;
    EXPECT_TRUE(HasLine(dump, "active 0 IV65536")) << dump;
}

TEST_F(WorkbookFiles, an_empty_sheet_makes_a_readable_workbook) {
    TestSheet empty(L"Nothing");
    ASSERT_TRUE(WriteXls({&empty}, path("empty.xls")).ok);
    ASSERT_TRUE(WriteXlsx({&empty}, path("empty.xlsx")).ok);
    std::string dump = readBack("xls", path("empty.xls"));
    SKIP_IF_NO_READER();
    EXPECT_TRUE(HasLine(dump, "sheet 0 Nothing rows=0 cols=0")) << dump;
    EXPECT_TRUE(HasLine(dump, "active 0 A1")) << dump;
    dump = readBack("xlsx", path("empty.xlsx"));
    EXPECT_TRUE(HasLine(dump, "activesheet Nothing")) << dump;
}

TEST_F(WorkbookFiles, sheets_beyond_the_file_limits_are_refused_and_nothing_is_written) {
    const std::string xls = path("book.xls");
    const std::string xlsx = path("book.xlsx");
    { std::ofstream(xls) << "previous workbook"; }
    { std::ofstream(xlsx) << "previous workbook"; }

    TestSheet rows;
    rows.number(0, 0, 1);
    rows.extent(65536, 0);
    WriteResult r = WriteXls({&rows}, xls);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("65,537 rows"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("at most 65,536 rows"), std::string::npos) << r.error;

    TestSheet cols;
    cols.number(0, 256, 1);
    r = WriteXls({&cols}, xls);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("at most 256 columns"), std::string::npos) << r.error;

    TestSheet big;
    big.extent(1048576, 3);
    r = WriteXlsx({&big}, xlsx);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("at most 1,048,576 rows"), std::string::npos) << r.error;
    big.extent(0, 16384);
    r = WriteXlsx({&big}, xlsx);
    EXPECT_NE(r.error.find("at most 16,384 columns"), std::string::npos) << r.error;

    TestSheet tooLong;
    tooLong.text(3, 1, std::wstring(32768, L'x'));
    // Later ones, in the same block of rows and in another, are not the one named.
    tooLong.text(3, 4, std::wstring(40000, L'x'));
    tooLong.text(90, 0, std::wstring(40000, L'x'));
    for (auto* write : {&WriteXls, &WriteXlsx}) {
        r = write({&tooLong}, xls);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("Cell B4"), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("32,767"), std::string::npos) << r.error;
    }
    // A text of exactly the limit is fine.
    TestSheet atLimit;
    atLimit.text(0, 0, std::wstring(32767, L'y'));
    EXPECT_TRUE(WriteXls({&atLimit}, path("limit.xls")).ok);

    EXPECT_EQ(ReadText(xls), "previous workbook");
    EXPECT_EQ(ReadText(xlsx), "previous workbook");
    EXPECT_EQ(files(), (std::vector<std::string>{"book.xls", "book.xlsx", "limit.xls"}));
}

TEST_F(WorkbookFiles, bad_sheet_names_are_refused) {
    auto named = [](const std::wstring& n) { return TestSheet(n); };
    struct Case {
        std::wstring name;
        const char* message;
    };
    for (const Case& c : std::vector<Case>{
             {std::wstring(32, L'a'), "has 32 characters; a sheet name may have at most 31"},
             {L"", "empty name"},
             {L"a/b", "may not contain"},
             {L"[x]", "may not contain"},
             {L"'quoted'", "apostrophe"},
         }) {
        TestSheet s = named(c.name);
        for (auto* write : {&WriteXls, &WriteXlsx}) {
            WriteResult r = write({&s}, path("names.out"));
            EXPECT_FALSE(r.ok);
            EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
        }
    }
    TestSheet ok31 = named(std::wstring(31, L'b'));
    EXPECT_TRUE(WriteXls({&ok31}, path("ok.xls")).ok);
    TestSheet a = named(L"Data"), b = named(L"DATA");
    EXPECT_NE(WriteXls({&a, &b}, path("dup.xls")).error.find("Two sheets are named"), std::string::npos);
    EXPECT_EQ(WriteXlsx({}, path("none.xlsx")).error, "The workbook has no sheet to save.");
    EXPECT_EQ(files(), std::vector<std::string>{"ok.xls"});
}

TEST_F(WorkbookFiles, a_folder_that_cannot_be_written_gives_a_reason_and_leaves_the_old_file) {
    TestSheet s;
    s.number(0, 0, 1);
    WriteResult r = WriteXls({&s}, path("missing/book.xls"));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("missing"), std::string::npos) << r.error;
    r = WriteXlsx({&s}, path("missing/book.xlsx"));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("missing"), std::string::npos) << r.error;
    // A destination that is a folder cannot be replaced; the folder stays.
    fs::create_directory(path("taken.xls"));
    r = WriteXls({&s}, path("taken.xls"));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("taken.xls"), std::string::npos) << r.error;
    EXPECT_TRUE(fs::is_directory(path("taken.xls")));
    EXPECT_EQ(files(), std::vector<std::string>{"taken.xls"});
}

TEST_F(WorkbookFiles, an_existing_workbook_is_replaced_whole) {
    TestSheet big;
    for (int r = 0; r < 2000; ++r) {
        big.text(r, 0, L"row " + std::to_wstring(r));
    }
    TestSheet small;
    small.number(0, 0, 7);
    std::string file = path("book.xls");
    ASSERT_TRUE(WriteXls({&big}, file).ok);
    ASSERT_TRUE(WriteXls({&small}, file).ok);
    std::string dump = readBack("xls", file);
    SKIP_IF_NO_READER();
    EXPECT_TRUE(HasLine(dump, "sheet 0 Sheet1 rows=1 cols=1")) << dump;
}

TEST_F(WorkbookFiles, a_million_cells_write_to_xls_with_every_record_in_place) {
    GeneratedSheet sheet(62500, 16);
    std::string file = path("million.xls");
    auto start = std::chrono::steady_clock::now();
    WriteResult r = WriteXls({&sheet}, file);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(r.ok) << r.error;
    std::printf("1,000,000 cells to .xls: %lld ms, %lld bytes\n", static_cast<long long>(ms.count()),
                static_cast<long long>(fs::file_size(file)));

    auto stream = test::WorkbookStream(test::ReadFileBytes(file));
    auto records = test::Records(stream);
    size_t cells = 0, rowRecords = 0, continues = 0;
    uint32_t sheetOffset = 0;
    for (const auto& rec : records) {
        cells += rec.id == 0x00FD || rec.id == 0x027E || rec.id == 0x0203;
        rowRecords += rec.id == 0x0208;
        continues += rec.id == 0x003C;
        if (rec.id == 0x0085) {
            sheetOffset = test::Le32(rec.body, 0);
        }
        ASSERT_LE(rec.body.size(), 8224u);
    }
    EXPECT_EQ(cells, 1000000u);
    EXPECT_EQ(rowRecords, 62500u);
    EXPECT_GT(continues, 0u);
    EXPECT_EQ(test::Le16(stream, sheetOffset), 0x0809);
    EXPECT_EQ(test::Le16(stream, sheetOffset + 6), 0x0010);
}

class LibreOfficeCheck : public WorkbookFiles {};

TEST_F(LibreOfficeCheck, converts_xls_and_xlsx_showing_every_value_as_formatted) {
    if (!test::Installed("soffice")) {
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the LibreOffice conversion check needs it";
    }
    TestSheet s = RichSheet();
    ASSERT_TRUE(WriteXls({&s}, path("rich.xls")).ok);
    ASSERT_TRUE(WriteXlsx({&s}, path("rich.xlsx")).ok);
    for (const char* name : {"rich.xls", "rich.xlsx"}) {
        std::string csv = libreOfficeCsv(path(name));
        SCOPED_TRACE(name);
        // LibreOffice shows a boolean of an .xls file (its own included) as 1 under the
        // General format; xlrd above confirms the cell is stored as a boolean.
        const std::string shownTrue = std::string(name) == "rich.xls" ? "1" : "TRUE";
        EXPECT_TRUE(HasLine(csv, "Name,Amount,,,")) << csv;
        EXPECT_TRUE(HasLine(csv, "Widget \u20ac,\"1,234.50\",1/31/2005," + shownTrue + ",0.333333333333333"))
            << csv;
        EXPECT_TRUE(
            HasLine(csv, "\u00dcn\u00efc\u00f6d\u00e9,-$5.00,\"Monday, January 31, 2005\",#DIV/0!,123456789"))
            << csv;
        EXPECT_TRUE(HasLine(csv, "\u65e5\u672c\u8a9e,12.5%,10:30:00 AM,,12.34")) << csv;
        EXPECT_TRUE(HasLine(csv, ",,2005-01-31,,1E+300")) << csv;
    }
}

}  // namespace
}  // namespace calc::io
