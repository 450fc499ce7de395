#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "parser/sheet/KVSpreadSheet.h"
#include "platform/automation/Automation.h"
#include "platform/calc/engine/CalcApplication.h"
#include "platform/shell/Shell.h"
#include "platform/ui/MessageBox.h"
#include "tests/support/WorkbookReader.h"

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
// fontconfig, which the spreadsheet engine uses to measure text, keeps a few
// allocations for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

namespace {

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(AfxOleInit());
        ASSERT_EQ(calc::RegisterExcelApplication(), S_OK);
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new Environment);

// Records every message box and answers from a script.
class Boxes {
public:
    explicit Boxes(std::vector<int> answers = {}) : m_answers(std::move(answers)) {
        m_previous = sw::ui::SetMessageBoxHandler([this](const std::wstring& text, UINT type) {
            texts.push_back(text);
            if (m_next < m_answers.size()) {
                return m_answers[m_next++];
            }
            return sw::ui::SafeDefaultAnswer(type);
        });
    }
    ~Boxes() { sw::ui::SetMessageBoxHandler(m_previous); }
    std::vector<std::wstring> texts;

private:
    std::vector<int> m_answers;
    size_t m_next = 0;
    sw::ui::MessageBoxHandler m_previous;
};

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("sheet_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        sheet_ = std::make_unique<KVSpreadSheet>(Out("out.xls"));
    }
    void TearDown() override {
        sheet_.reset();
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::wstring Out(const std::string& name) const { return sw::shell::FromNarrow((dir_ / name).string()); }

    // Writes rows of texts from A1 in one block.
    void WriteRows(const std::vector<std::vector<const wchar_t*>>& rows) {
        const long nRows = static_cast<long>(rows.size());
        long nColumns = 0;
        for (const auto& r : rows) {
            nColumns = std::max(nColumns, static_cast<long>(r.size()));
        }
        std::unique_ptr<KVValueBlock> block(sheet_->CreateBlock(nRows, nColumns));
        ASSERT_TRUE(block);
        for (long i = 0; i < nRows; ++i) {
            for (size_t j = 0; j < rows[i].size(); ++j) {
                if (rows[i][j]) {
                    sheet_->SetBlockText(rows[i][j], i, static_cast<long>(j), block.get());
                }
            }
        }
        sheet_->WriteBlock(block.get(), nRows, nColumns);
    }
    std::wstring CellText(long row, long column) {
        VARIANT v;
        VariantInit(&v);
        sheet_->GetCellValue(row, column, &v);
        std::wstring text = v.vt == VT_BSTR ? std::wstring(v.bstrVal) : L"";
        VariantClear(&v);
        return text;
    }
    VARTYPE CellType(long row, long column) {
        VARIANT v;
        VariantInit(&v);
        sheet_->GetCellValue(row, column, &v);
        const VARTYPE vt = v.vt;
        VariantClear(&v);
        return vt;
    }
    std::wstring Format(long row, long column) {
        xl::Range range;
        if (!sheet_->GetCellRange(row, column, &range) || !range.IsAttached()) {
            return L"<no range>";
        }
        VARIANT v = range.GetNumberFormat();
        std::wstring text = v.vt == VT_BSTR ? std::wstring(v.bstrVal) : L"";
        VariantClear(&v);
        return text;
    }
    void SetFormat(long row, long column, const wchar_t* format) {
        sheet_->SetCellNumberFormat(row, column, format);
    }

    fs::path dir_;
    std::unique_ptr<KVSpreadSheet> sheet_;
};

}  // namespace

TEST(sheet_names_test, cell_names_follow_the_column_letters) {
    KVSpreadSheet sheet(L"/nonexistent/never-saved.xls");
    std::wstring name;
    const std::pair<std::pair<long, long>, const wchar_t*> cases[] = {
        {{1, 1}, L"A1"},     {{7, 27}, L"AA7"},
        {{3, 52}, L"AZ3"},   {{10, 256}, L"IV10"},
        {{1, 26}, L"Z1"},    {{1, 27}, L"AA1"},
        {{12, 52}, L"AZ12"}, {{1, 702}, L"ZZ1"},
        {{1, 703}, L"AAA1"}, {{65536, 16384}, L"XFD65536"}};
    for (const auto& [rc, expected] : cases) {
        sheet.GetCellName(&name, rc.first, rc.second);
        EXPECT_EQ(name, expected) << rc.first << "," << rc.second;
    }
    sheet.GetCellName(nullptr, 1, 1);  // no out argument: nothing happens

    // Out of the grid the name is still made the same way: no letters for a
    // column below 1, the row's sign kept, the widest values whole.
    const std::pair<std::pair<long, long>, std::wstring> outside[] = {
        {{0, 0}, L"0"},
        {{-12, 3}, L"C-12"},
        {{5, -1}, L"5"},
        {{1048576, 16384}, L"XFD1048576"},
        {{LONG_MIN, 1}, L"A" + std::to_wstring(LONG_MIN)},
        {{LONG_MAX, LONG_MAX}, L"CRPXNLSKVLJFHG" + std::to_wstring(LONG_MAX)}};
    for (const auto& [rc, expected] : outside) {
        sheet.GetCellName(&name, rc.first, rc.second);
        EXPECT_EQ(name, expected) << rc.first << "," << rc.second;
    }
}

TEST_F(SheetTest, block_write_and_read_back_give_the_types_the_sheet_made) {
    WriteRows(
        {{L"Name", L"1,234.50", L"1/31/2005"}, {L"10:30", L"12%", nullptr}, {nullptr, nullptr, nullptr}});
    KVValueBlock* block = nullptr;
    sheet_->ReadBlock(1, 1, 3, 3, &block);
    ASSERT_NE(block, nullptr);
    std::unique_ptr<KVValueBlock> owned(block);
    LONG lower = -1, upper = -1;
    block->GetLBound(1, &lower);
    block->GetUBound(1, &upper);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);
    auto at = [&](LONG r, LONG c) {
        LONG index[2] = {r, c};
        VARIANT v;
        VariantInit(&v);
        block->GetElement(index, &v);
        return v;
    };
    VARIANT name = at(1, 1), number = at(1, 2), date = at(1, 3), time = at(2, 1), empty = at(2, 3);
    EXPECT_EQ(name.vt, VT_BSTR);
    ASSERT_EQ(number.vt, VT_R8);
    EXPECT_DOUBLE_EQ(number.dblVal, 1234.5);
    ASSERT_EQ(date.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(date.date, 38383.0);  // 31 January 2005
    ASSERT_EQ(time.vt, VT_DATE);
    EXPECT_EQ(std::trunc(time.date), 0.0);
    EXPECT_EQ(empty.vt, VT_EMPTY);
    for (VARIANT* v : {&name, &number, &date, &time, &empty}) {
        VariantClear(v);
    }
    EXPECT_EQ(Format(1, 3), L"d-mmm-yy");
}

TEST_F(SheetTest, block_text_replaces_what_the_element_held_and_ignores_indices_outside) {
    std::unique_ptr<KVValueBlock> block(sheet_->CreateBlock(2, 2));
    ASSERT_TRUE(block);
    sheet_->SetBlockText(L"first", 0, 1, block.get());
    sheet_->SetBlockText(std::wstring(L"sec\0ond", 7), 0, 1, block.get());
    sheet_->SetBlockText(L"", 1, 0, block.get());
    sheet_->SetBlockText(L"lost", 2, 0, block.get());
    sheet_->SetBlockText(L"lost", 0, -1, block.get());
    sheet_->SetBlockText(L"lost", 0, 0, nullptr);
    auto at = [&](LONG r, LONG c) {
        LONG index[2] = {r, c};
        VARIANT v;
        VariantInit(&v);
        block->GetElement(index, &v);
        return v;
    };
    VARIANT replaced = at(0, 1), empty = at(1, 0), untouched = at(0, 0);
    ASSERT_EQ(replaced.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(replaced.bstrVal, SysStringLen(replaced.bstrVal)), std::wstring(L"sec\0ond", 7));
    ASSERT_EQ(empty.vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(empty.bstrVal), 0u);
    EXPECT_EQ(untouched.vt, VT_EMPTY);
    for (VARIANT* v : {&replaced, &empty, &untouched}) {
        VariantClear(v);
    }
}

TEST_F(SheetTest, read_block_of_a_single_row_or_column_leaves_the_out_argument_alone) {
    WriteRows({{L"a", L"b"}, {L"c", L"d"}});
    auto* sentinel = reinterpret_cast<KVValueBlock*>(0x1);
    KVValueBlock* block = sentinel;
    sheet_->ReadBlock(1, 1, 1, 2, &block);
    EXPECT_EQ(block, sentinel);
    sheet_->ReadBlock(1, 1, 2, 1, &block);
    EXPECT_EQ(block, sentinel);
    sheet_->ReadBlock(2, 2, 1, 3, &block);
    EXPECT_EQ(block, sentinel);
}

TEST_F(SheetTest, unforced_formats_replace_only_what_the_sheet_chose_itself) {
    WriteRows({{L"12", L"13", L"14", L"15"}, {L"1/31/2005", L"1/31/2005", L"1/31/2005", L"x"}});
    SetFormat(1, 1, L"0%");
    SetFormat(1, 2, L"general");
    SetFormat(1, 3, L"GENERAL");
    xl::Range range;
    for (long c = 1; c <= 4; ++c) {
        ASSERT_TRUE(sheet_->GetCellRange(1, c, &range));
        sheet_->SetRangeNumberFormat(range, L"#,##0.00", 0);
    }
    EXPECT_EQ(Format(1, 1), L"0%");
    EXPECT_EQ(Format(1, 2), L"#,##0.00");
    EXPECT_EQ(Format(1, 3), L"#,##0.00");
    EXPECT_EQ(Format(1, 4), L"#,##0.00");

    sheet_->SetCellDateFormat(2, 2, L"D-MMM-YY");
    sheet_->SetCellDateFormat(2, 3, L"mm/dd/yyyy");
    for (long c = 1; c <= 3; ++c) {
        ASSERT_TRUE(sheet_->GetCellRange(2, c, &range));
        sheet_->SetRangeDateFormat(range, L"yyyy-mm-dd", 0);
    }
    EXPECT_EQ(Format(2, 1), L"yyyy-mm-dd");
    EXPECT_EQ(Format(2, 2), L"D-MMM-YY");
    EXPECT_EQ(Format(2, 3), L"mm/dd/yyyy");
    // Forced, any format is replaced.
    ASSERT_TRUE(sheet_->GetCellRange(1, 1, &range));
    sheet_->SetRangeNumberFormat(range, L"0.0", 1);
    EXPECT_EQ(Format(1, 1), L"0.0");
}

TEST_F(SheetTest, cells_formatted_one_after_another_each_get_the_format_asked_for) {
    WriteRows({{L"1", L"2", L"3", L"4", L"5"}});
    sheet_->SetCellNumberFormat(1, 1, L"0.00");
    sheet_->SetCellNumberFormat(1, 2, L"0.0%");  // as long as the last, another text
    sheet_->SetCellDateFormat(1, 3, L"0.00");
    sheet_->SetCellNumberFormat(1, 4, L"");
    sheet_->SetCellDateFormat(1, 5, L"0.0%");
    EXPECT_EQ(Format(1, 1), L"0.00");
    EXPECT_EQ(Format(1, 2), L"0.0%");
    EXPECT_EQ(Format(1, 3), L"0.00");
    EXPECT_EQ(Format(1, 4), L"General");
    EXPECT_EQ(Format(1, 5), L"0.0%");
}

// A list of cells longer than one range name takes is formatted in parts;
// the cells between those listed keep their format.
TEST_F(SheetTest, cells_formatted_as_a_list_each_get_the_format_and_no_other_cell_does) {
    const std::vector<std::vector<const wchar_t*>> rows(120, std::vector<const wchar_t*>(30, L"7"));
    WriteRows(rows);
    std::vector<std::pair<long, long>> listed;
    for (long r = 1; r <= 120; r += 3) {
        for (long c = 1; c <= 30; c += 2) {
            listed.emplace_back(r, c);  // names up to "AC118", 600 cells
        }
    }
    sheet_->SetCellsFormat(listed, L"0.000");
    sheet_->SetCellsFormat({}, L"0.0");
    sheet_->SetCellsFormat({{2, 2}}, L"0.0");
    for (long r = 1; r <= 120; ++r) {
        for (long c = 1; c <= 30; ++c) {
            const bool inList = (r - 1) % 3 == 0 && (c - 1) % 2 == 0;
            const std::wstring want = inList ? L"0.000" : (r == 2 && c == 2 ? L"0.0" : L"General");
            ASSERT_EQ(Format(r, c), want) << r << "," << c;
        }
    }
}

TEST_F(SheetTest, delete_row_if_empty_examines_all_but_the_last_cell_of_the_span) {
    WriteRows({{L"a", nullptr, nullptr},
               {nullptr, L"b", nullptr},
               {nullptr, nullptr, L"c"},
               {L"d", nullptr, nullptr}});
    // Row 2 has a value in an examined column: kept.
    EXPECT_FALSE(sheet_->DeleteRowIfEmpty(2, 3));
    EXPECT_EQ(CellText(2, 2), L"b");
    // Row 3's only value lies in the last, unexamined cell: the span goes and
    // the rows below move up.
    EXPECT_TRUE(sheet_->DeleteRowIfEmpty(3, 3));
    EXPECT_EQ(CellText(3, 1), L"d");
    EXPECT_EQ(CellText(4, 1), L"");
    // The column variant mirrors it.
    EXPECT_FALSE(sheet_->DeleteColumnIfEmpty(1, 4));
    WriteRows({{nullptr, L"x"}, {nullptr, L"y"}});
    EXPECT_TRUE(sheet_->DeleteColumnIfEmpty(1, 3));
    EXPECT_EQ(CellText(1, 1), L"x");
    EXPECT_EQ(CellText(2, 1), L"y");
}

TEST_F(SheetTest, delete_row_and_column_shift_the_rest) {
    WriteRows({{L"a1", L"b1", L"c1"}, {L"a2", L"b2", L"c2"}, {L"a3", L"b3", L"c3"}});
    sheet_->DeleteRow(2);
    EXPECT_EQ(CellText(2, 1), L"a3");
    sheet_->DeleteColumn(1);
    EXPECT_EQ(CellText(1, 1), L"b1");
    EXPECT_EQ(CellText(2, 2), L"c3");
    EXPECT_TRUE(sheet_->IsCellEmpty(3, 1));
    EXPECT_FALSE(sheet_->IsCellEmpty(1, 1));
}

TEST_F(SheetTest, clear_around_a_cell_stops_at_the_sheet_edge) {
    std::vector<std::vector<const wchar_t*>> rows(6, std::vector<const wchar_t*>(6, L"v"));
    WriteRows(rows);
    // 5 rows up and 5 columns left of (2, 3) would leave the sheet: cleared from A1.
    sheet_->ClearAroundCell(2, 3, 5, 5, 1, 1);
    for (long r = 1; r <= 6; ++r) {
        for (long c = 1; c <= 6; ++c) {
            const bool cleared = r <= 3 && c <= 4;
            EXPECT_EQ(sheet_->IsCellEmpty(r, c), cleared) << r << "," << c;
        }
    }
    sheet_->ClearCell(6, 6);
    EXPECT_TRUE(sheet_->IsCellEmpty(6, 6));
}

TEST_F(SheetTest, save_writes_the_file_with_fonts_formats_widths_and_selection) {
    WriteRows({{L"Name", L"1,234.50", L"1/31/2005"}, {L"A much longer text than the rest", L"7", L"x"}});
    sheet_->SetBlockFont(2, 3, L"Courier New", 10, false, true, false);  // italic only
    sheet_->SetCellNumberFormat(1, 2, L"#,##0.00");
    sheet_->SetCellDateFormat(1, 3, L"yyyy-mm-dd");
    sheet_->AutoFitColumn(1, 2);
    sheet_->SetColumnWidth(3, 20);
    sheet_->SelectCell(2, 2);
    ASSERT_TRUE(sheet_->Save());
    EXPECT_TRUE(sheet_->GetSaveError().empty());
    const WorkbookDump dump = ReadWorkbook((dir_ / "out.xls").string());
    ASSERT_TRUE(dump.ok) << dump.error;
    const WorkbookCell* number = dump.At(0, 1);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->type, "number");
    EXPECT_EQ(number->value, "1234.5");
    EXPECT_EQ(number->format, "#,##0.00");
    EXPECT_EQ(number->font, "Courier New");
    EXPECT_EQ(number->italic, 1);
    EXPECT_EQ(number->underline, 0);
    EXPECT_EQ(number->bold, 0);
    const WorkbookCell* date = dump.At(0, 2);
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->type, "date");
    EXPECT_EQ(date->format, "yyyy-mm-dd");
    ASSERT_TRUE(dump.active.has_value());
    EXPECT_EQ(*dump.active, std::make_pair(1, 1));
    ASSERT_TRUE(dump.widths.count(0) && dump.widths.count(2));
    EXPECT_GT(dump.widths.at(0), 20 * 256);  // fitted to the long text
    EXPECT_EQ(dump.widths.at(2) / 256, 20);
}

TEST_F(SheetTest, block_font_passes_underline_and_italic_to_their_own_flags) {
    WriteRows({{L"a", L"b"}, {L"c", L"d"}});
    sheet_->SetBlockFont(2, 2, L"Arial", 12, true, false, true);  // bold, not italic, underline
    ASSERT_TRUE(sheet_->Save());
    const WorkbookDump dump = ReadWorkbook((dir_ / "out.xls").string());
    ASSERT_TRUE(dump.ok) << dump.error;
    const WorkbookCell* cell = dump.At(1, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->bold, 1);
    EXPECT_EQ(cell->italic, 0);
    EXPECT_EQ(cell->underline, 1);
    EXPECT_EQ(cell->size, 12);
}

TEST_F(SheetTest, save_over_a_read_only_file_asks_and_no_abandons_the_workbook) {
    { std::ofstream(dir_ / "out.xls") << "old"; }
    fs::permissions(dir_ / "out.xls", fs::perms::owner_read);
    WriteRows({{L"a", L"b"}, {L"c", L"d"}});
    Boxes boxes({IDNO});
    EXPECT_FALSE(sheet_->Save());
    ASSERT_EQ(boxes.texts.size(), 1U);
    EXPECT_EQ(boxes.texts[0], L"The specified file is either open or read only.  Retry?");
    EXPECT_TRUE(sheet_->IsAbandoned());
    std::ifstream in(dir_ / "out.xls");
    std::string old;
    in >> old;
    EXPECT_EQ(old, "old");
}

TEST_F(SheetTest, retry_after_the_file_was_freed_saves) {
    { std::ofstream(dir_ / "out.xls") << "old"; }
    fs::permissions(dir_ / "out.xls", fs::perms::owner_read);
    WriteRows({{L"a", L"b"}, {L"c", L"d"}});
    int asked = 0;
    auto previous = sw::ui::SetMessageBoxHandler([&](const std::wstring&, UINT) {
        ++asked;
        if (asked == 2) {
            fs::permissions(dir_ / "out.xls", fs::perms::owner_read | fs::perms::owner_write);
        }
        return IDYES;
    });
    const bool saved = sheet_->Save();
    sw::ui::SetMessageBoxHandler(previous);
    EXPECT_TRUE(saved);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(sheet_->IsAbandoned());
    const WorkbookDump dump = ReadWorkbook((dir_ / "out.xls").string());
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(1, 1), "d");
}

TEST_F(SheetTest, a_failed_save_is_reported_as_a_failure_with_its_reason) {
    KVSpreadSheet sheet(Out("no/such/folder/out.xls"));
    EXPECT_FALSE(sheet.Save());
    EXPECT_FALSE(sheet.GetSaveError().empty());
    EXPECT_FALSE(sheet.IsAbandoned());
}

TEST_F(SheetTest, caught_failures_go_to_the_debug_log_only) {
    const auto log = dir_ / "debug.log";
    setenv("SHEETWISE_DEBUG_LOG", log.c_str(), 1);
    xl::Range range;
    Boxes boxes;
    sheet_->GetRange(L"not a cell", L"A1", &range);
    unsetenv("SHEETWISE_DEBUG_LOG");
    EXPECT_TRUE(boxes.texts.empty());
    std::ifstream in(log);
    std::string line;
    std::getline(in, line);
    EXPECT_NE(line.find("GetRange: COle"), std::string::npos) << line;
    EXPECT_NE(line.find("SCODE: "), std::string::npos) << line;
}

TEST(sheet_missing_application_test, without_the_application_every_operation_does_nothing) {
    ASSERT_EQ(sw::automation::UnregisterClassFactory(calc::kCalcApplicationClsid), S_OK);
    {
        Boxes boxes;
        KVSpreadSheet sheet(L"/tmp/never-written-by-sheet-test.xls");
        EXPECT_TRUE(sheet.IsStarted());
        xl::Range range;
        EXPECT_FALSE(sheet.GetCellRange(1, 1, &range));
        EXPECT_FALSE(sheet.GetRange(L"A1", L"B2", &range));
        EXPECT_EQ(sheet.GetRowCount(), -1);
        EXPECT_EQ(sheet.GetColumnCount(), -1);
        EXPECT_FALSE(sheet.IsCellEmpty(1, 1));
        EXPECT_FALSE(sheet.DeleteRowIfEmpty(1, 2));
        EXPECT_FALSE(sheet.Save());
        EXPECT_TRUE(boxes.texts.empty());
    }
    EXPECT_FALSE(sw::shell::FileExists(L"/tmp/never-written-by-sheet-test.xls"));
    ASSERT_EQ(calc::RegisterExcelApplication(), S_OK);
}
