#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lib/options/KVDriverOptionsExcel.h"
#include "parser/process/KVActiveProfile.h"
#include "parser/process/KVExcelFileProcessor.h"
#include "parser/process/KVProgressDlg.h"
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

// One printed run: the header with its x position (the column key), then the text.
std::string Printed(int x, const std::string& text) {
    return "[[" + std::to_string(x) + ",10," + std::to_string(x + 40) + ",20][9][NNN][Arial]]" + text;
}

class ProcessorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("process_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        profile_.LoadDefaultValues();
        profile_.SetProfileName(L"Test");
        profile_.SetRemoveRowsWithSpace(FALSE);
        profile_.SetRemoveColumnsWithSpace(FALSE);
        profile_.SetResizeCells(FALSE);
        profile_.SetRemoveFormattingOfCells(FALSE);
        profile_.SetMoveToTopLeftCell(TRUE);
        profile_.SetDateFormat(KVDriverOptionsExcel::GetDateFormat_yyyy_mm_dd(), L"");
        profile_.SetNumericFormat(L"#,##0.00");
        profile_.ClearAllDataAnchors();
        g_pActiveProfile = &profile_;
        previous_ = sw::ui::SetMessageBoxHandler([this](const std::wstring& text, UINT type) {
            boxes_.push_back(text);
            return sw::ui::SafeDefaultAnswer(type);
        });
    }
    void TearDown() override {
        sw::ui::SetMessageBoxHandler(previous_);
        g_pActiveProfile = nullptr;
        fs::remove_all(dir_);
    }
    std::wstring WriteReport(const std::vector<std::string>& lines) {
        std::ofstream out(dir_ / "JOB.txt", std::ios::binary);
        for (const auto& line : lines) {
            out << line << "\r\n";
        }
        return sw::shell::FromNarrow((dir_ / "JOB.txt").string());
    }
    std::wstring Output(const std::string& name = "out.xls") const {
        return sw::shell::FromNarrow((dir_ / name).string());
    }
    // Converts and reads back the saved workbook.
    WorkbookDump Convert(const std::wstring& input, bool pdf = false, bool* processed = nullptr) {
        bool ok = false;
        bool saved = false;
        {
            KVExcelFileProcessor processor(input, Output());
            processor.SetPdfSource(pdf);
            ok = processor.Process();
            saved = processor.SaveOutput();
        }
        if (processed) {
            *processed = ok;
        }
        EXPECT_TRUE(saved);
        return ReadWorkbook((dir_ / "out.xls").string());
    }
    KVExcelRemoveDataAnchor* AddAnchor(const wchar_t* descriptor, KVExcelRemoveDataAnchor::enAnchorType type,
                                       CRect area = CRect()) {
        KVExcelRemoveDataAnchor* anchor = profile_.CreateRemoveDataAnchor();
        anchor->SetAnchorDescriptor(descriptor);
        anchor->SetAnchorType(type);
        anchor->SetAreaToRemove(area);
        return anchor;
    }

    fs::path dir_;
    KVDriverOptionsExcel profile_;
    std::vector<std::wstring> boxes_;
    sw::ui::MessageBoxHandler previous_;
};

}  // namespace

TEST_F(ProcessorTest, without_a_profile_nothing_is_processed) {
    g_pActiveProfile = nullptr;
    KVExcelFileProcessor processor(WriteReport({Printed(40, "a")}), Output());
    EXPECT_FALSE(processor.Process());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(processor.GetParserType(), KVFileParserTypes::enFileParserExcel);
}

TEST_F(ProcessorTest, a_text_that_cannot_be_read_is_told_with_its_reason_without_a_window) {
    // With a window the box says the system's text alone.
    {
        KVExcelFileProcessor processor(L"/proc/self/mem", Output());
        testing::internal::CaptureStderr();
        EXPECT_FALSE(processor.Process());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_EQ(boxes_, std::vector<std::wstring>{KVExcelFileProcessor::msc_sLoadFailed});
    // Without one, standard error has the reason on the line after it.
    sw::ui::SetMessageBoxHandler({});
    KVExcelFileProcessor processor(L"/proc/self/mem", Output());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(processor.Process());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Sheetwise: Could not load printer output file.\n"
              "Sheetwise: /proc/self/mem: reading it failed (Input/output error)\n");
}

TEST_F(ProcessorTest, keys_become_every_other_column_and_empty_columns_can_go) {
    const auto input = WriteReport({Printed(300, "e") + Printed(40, "a") + Printed(120, "c")});
    WorkbookDump dump = Convert(input);
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(0, 0), "a");
    EXPECT_EQ(dump.Value(0, 2), "c");
    EXPECT_EQ(dump.Value(0, 4), "e");

    profile_.SetRemoveColumnsWithSpace(TRUE);
    dump = Convert(WriteReport({Printed(300, "e") + Printed(40, "a") + Printed(120, "c")}));
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(0, 0), "a");
    EXPECT_EQ(dump.Value(0, 1), "c");
    EXPECT_EQ(dump.Value(0, 2), "e");
    EXPECT_EQ(dump.columns, 3);
}

TEST_F(ProcessorTest, dates_times_and_numbers_get_formats_from_what_the_sheet_stored) {
    const auto input =
        WriteReport({Printed(40, "10:30") + Printed(100, "2005-01-31") + Printed(200, "1,234.50") +
                     Printed(300, "12%") + Printed(400, "Total") + Printed(500, "1/31/2005")});
    const WorkbookDump dump = Convert(input);
    ASSERT_TRUE(dump.ok) << dump.error;
    const WorkbookCell* time = dump.At(0, 0);
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->format, "h:mm:ss AM/PM");
    const WorkbookCell* date = dump.At(0, 2);
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->type, "date");
    const std::string dateFormat = sw::shell::ToNarrow(profile_.GetDateFormatW());
    EXPECT_EQ(date->format, dateFormat);
    const WorkbookCell* number = dump.At(0, 4);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->type, "number");
    EXPECT_EQ(number->value, "1234.5");
    EXPECT_EQ(number->format, "#,##0.00");
    const WorkbookCell* text = dump.At(0, 8);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->type, "text");
    EXPECT_EQ(dump.At(0, 10)->format, dateFormat);
}

TEST_F(ProcessorTest, each_typed_cell_gets_its_own_format_wherever_it_lies) {
    const auto input = WriteReport({Printed(40, "Name") + Printed(100, "7") + Printed(200, "x"),
                                    Printed(40, "y") + Printed(100, "z") + Printed(200, "12:15"),
                                    Printed(40, "2005-01-31") + Printed(100, "w") + Printed(200, "3.5")});
    const WorkbookDump dump = Convert(input);
    ASSERT_TRUE(dump.ok) << dump.error;
    const std::string dateFormat = sw::shell::ToNarrow(profile_.GetDateFormatW());
    struct Expected {
        int row;
        int column;
        std::string format;
    };
    for (const Expected& e : {Expected{0, 2, "#,##0.00"}, Expected{1, 4, "h:mm:ss AM/PM"},
                              Expected{2, 0, dateFormat}, Expected{2, 4, "#,##0.00"}}) {
        const WorkbookCell* cell = dump.At(e.row, e.column);
        ASSERT_NE(cell, nullptr) << e.row << "," << e.column;
        EXPECT_EQ(cell->format, e.format) << e.row << "," << e.column;
    }
    for (const auto& [row, column] : {std::pair{0, 0}, {0, 4}, {1, 0}, {1, 2}, {2, 2}}) {
        const WorkbookCell* cell = dump.At(row, column);
        ASSERT_NE(cell, nullptr) << row << "," << column;
        EXPECT_EQ(cell->type, "text");
        EXPECT_NE(cell->format, "#,##0.00") << row << "," << column;
        EXPECT_NE(cell->format, dateFormat) << row << "," << column;
    }
}

TEST_F(ProcessorTest, typed_cells_of_a_large_mostly_empty_report_all_get_their_format) {
    // Twenty keys make 39 columns; 6600 lines make a read-back block of more
    // than 4 MB, whose unwritten parts are skipped. The second column holds
    // a number on every line; the last one only in a few places, between long
    // stretches that no one wrote, and through one whole stretch of lines.
    constexpr int kLines = 6600;
    auto sparse = [](int i) { return i == 0 || i == 777 || (i >= 2000 && i <= 2600) || i == kLines - 1; };
    std::vector<std::string> lines;
    for (int i = 0; i < kLines; ++i) {
        std::string line = Printed(40, "r") + Printed(80, std::to_string(i) + ".5");
        if (i == 0) {
            for (int k = 2; k < 19; ++k) {
                line += Printed(40 + 40 * k, "k");
            }
        }
        if (sparse(i)) {
            line += Printed(40 + 40 * 19, std::to_string(i));
        }
        lines.push_back(line);
    }
    const WorkbookDump dump = Convert(WriteReport(lines));
    ASSERT_TRUE(dump.ok) << dump.error;
    int numbers = 0;
    for (int i = 0; i < kLines; ++i) {
        const WorkbookCell* every = dump.At(i, 2);
        ASSERT_NE(every, nullptr) << i;
        EXPECT_EQ(every->format, "#,##0.00") << i;
        const WorkbookCell* text = dump.At(i, 0);
        ASSERT_NE(text, nullptr) << i;
        EXPECT_NE(text->format, "#,##0.00") << i;
        const WorkbookCell* last = dump.At(i, 38);
        if (sparse(i)) {
            ASSERT_NE(last, nullptr) << i;
            EXPECT_EQ(last->format, "#,##0.00") << i;
            ++numbers;
        } else {
            EXPECT_TRUE(last == nullptr || last->format != "#,##0.00") << i;
        }
    }
    EXPECT_EQ(numbers, 604);
}

TEST_F(ProcessorTest, page_total_rows_go_in_any_case_and_adjacent_marks_both_go) {
    AddAnchor(L"Page Total", KVExcelRemoveDataAnchor::enAnchorRemoveRow);
    std::vector<std::string> lines;
    for (int i = 0; i < 11; ++i) {
        lines.push_back(Printed(40, "r" + std::to_string(i)));
    }
    lines[4] += Printed(200, "PAGE TOTAL");
    lines[9] += Printed(200, "page total");
    lines[2] += Printed(300, "Page Total");
    lines[3] += Printed(300, "Page Total");
    lines[5] += Printed(300, "Page Totals");  // not a whole-cell match
    const WorkbookDump dump = Convert(WriteReport(lines));
    ASSERT_TRUE(dump.ok) << dump.error;
    std::vector<std::string> kept;
    for (int r = 0; r < dump.rows && !dump.Value(r, 0).empty(); ++r) {
        kept.push_back(dump.Value(r, 0));
    }
    EXPECT_EQ(dump.LastDataRow(), 6);
    EXPECT_EQ(kept, (std::vector<std::string>{"r0", "r1", "r5", "r6", "r7", "r8", "r10"}));
}

TEST_F(ProcessorTest, clear_cell_column_row_and_column_and_area_anchors) {
    AddAnchor(L"DROPCELL", KVExcelRemoveDataAnchor::enAnchorClearCell);
    AddAnchor(L"DROPCOL", KVExcelRemoveDataAnchor::enAnchorRemoveColumn);
    AddAnchor(L"DROPBOTH", KVExcelRemoveDataAnchor::enAnchorRemoveRowAndColumn);
    AddAnchor(L"AREA", KVExcelRemoveDataAnchor::enAnchorClearArea, CRect(0, 1, 2, 0));
    AddAnchor(L"IGNORED", KVExcelRemoveDataAnchor::enAnchorNone);
    // Columns: key 40 -> 0, 100 -> 2, 200 -> 4, 300 -> 6.
    const auto input = WriteReport({
        Printed(40, "a0") + Printed(100, "b0") + Printed(200, "c0") + Printed(300, "d0"),
        Printed(40, "a1") + Printed(100, "DROPCELL") + Printed(200, "c1") + Printed(300, "IGNORED"),
        Printed(40, "a2") + Printed(100, "b2") + Printed(200, "DROPCOL") + Printed(300, "d2"),
        Printed(40, "a3") + Printed(100, "b3") + Printed(200, "c3") + Printed(300, "d3"),
        Printed(40, "AREA") + Printed(100, "b4") + Printed(200, "c4") + Printed(300, "d4"),
        Printed(40, "a5") + Printed(100, "b5") + Printed(200, "c5") + Printed(300, "DROPBOTH"),
        Printed(40, "a6") + Printed(100, "b6") + Printed(200, "c6") + Printed(300, "d6"),
    });
    const WorkbookDump dump = Convert(input);
    ASSERT_TRUE(dump.ok) << dump.error;
    // Column 4 (DROPCOL) and column 6 (DROPBOTH) are gone, and row 5.
    EXPECT_EQ(dump.Value(0, 0), "a0");
    EXPECT_EQ(dump.Value(0, 2), "b0");
    EXPECT_EQ(dump.Value(0, 4), "");
    EXPECT_EQ(dump.Value(1, 2), "");  // cleared cell
    // AREA at (4, 0): one row up, two columns right, cleared cell by cell.
    EXPECT_EQ(dump.Value(3, 0), "");
    EXPECT_EQ(dump.Value(3, 2), "");
    EXPECT_EQ(dump.Value(4, 0), "");
    EXPECT_EQ(dump.Value(4, 2), "");
    EXPECT_EQ(dump.Value(5, 0), "a6");
    EXPECT_EQ(dump.LastDataRow(), 5);
}

TEST_F(ProcessorTest, empty_rows_go_and_the_profile_font_applies_only_when_asked) {
    profile_.SetRemoveRowsWithSpace(TRUE);
    profile_.SetFontName(L"Courier New");
    profile_.SetFontSize(10);
    profile_.SetFontBold(TRUE);
    const auto input =
        WriteReport({Printed(40, "a"), "", "", Printed(40, "b"), "no tokens here", Printed(40, "c")});
    WorkbookDump dump = Convert(input);
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(0, 0), "a");
    EXPECT_EQ(dump.Value(1, 0), "b");
    EXPECT_EQ(dump.Value(2, 0), "c");
    EXPECT_EQ(dump.LastDataRow(), 2);
    EXPECT_EQ(dump.At(0, 0)->font, "Arial");
    EXPECT_EQ(dump.At(0, 0)->size, 12);
    EXPECT_EQ(dump.At(0, 0)->bold, 0);

    profile_.SetRemoveFormattingOfCells(TRUE);
    dump = Convert(WriteReport({Printed(40, "a")}));
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.At(0, 0)->font, "Courier New");
    EXPECT_EQ(dump.At(0, 0)->size, 10);
    EXPECT_EQ(dump.At(0, 0)->bold, 1);
}

TEST_F(ProcessorTest, final_selection_is_top_left_or_just_past_the_grid) {
    const auto lines = std::vector<std::string>{Printed(40, "a") + Printed(100, "b"), Printed(40, "c")};
    WorkbookDump dump = Convert(WriteReport(lines));
    ASSERT_TRUE(dump.ok && dump.active) << dump.error;
    EXPECT_EQ(*dump.active, std::make_pair(0, 0));
    profile_.SetMoveToTopLeftCell(FALSE);
    dump = Convert(WriteReport(lines));
    ASSERT_TRUE(dump.ok && dump.active) << dump.error;
    // Two rows and two keys (a column limit of 5): the cell (R + 1, C + 1) is F3.
    EXPECT_EQ(*dump.active, std::make_pair(2, 5));
}

TEST_F(ProcessorTest, missing_text_file_still_saves_an_empty_workbook) {
    bool processed = true;
    const WorkbookDump dump =
        Convert(sw::shell::FromNarrow((dir_ / "missing.txt").string()), false, &processed);
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_TRUE(dump.cells.empty());
    EXPECT_EQ(processed, boxes_.empty());
}

TEST_F(ProcessorTest, pdf_text_loads_by_tabs_and_aligns_left) {
    std::ofstream(dir_ / "JOB.TXT", std::ios::binary) << "Item\tQty\n\nA-100\t12,400\n";
    profile_.SetRemoveRowsWithSpace(TRUE);
    profile_.SetRemoveColumnsWithSpace(TRUE);
    const WorkbookDump dump = Convert(sw::shell::FromNarrow((dir_ / "JOB.TXT").string()), true);
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(0, 0), "Item");
    EXPECT_EQ(dump.Value(1, 0), "A-100");
    EXPECT_EQ(dump.Value(1, 1), "12400");
}

TEST_F(ProcessorTest, a_failed_save_is_shown_and_reported_false) {
    const auto input = WriteReport({Printed(40, "a")});
    KVExcelFileProcessor processor(input, sw::shell::FromNarrow((dir_ / "missing" / "out.xls").string()));
    processor.Process();
    EXPECT_FALSE(processor.SaveOutput());
    ASSERT_EQ(boxes_.size(), 1U);
    EXPECT_EQ(boxes_[0].rfind(L"The workbook could not be saved.", 0), 0U) << boxes_[0];
}

TEST_F(ProcessorTest, a_grid_wider_than_xls_allows_is_not_cut_and_the_advice_is_given) {
    std::string line;
    for (int k = 0; k < 140; ++k) {  // 140 keys: 281 columns
        line += Printed(10 + 5 * k, "v" + std::to_string(k));
    }
    const auto input = WriteReport({line});
    {
        KVExcelFileProcessor processor(input, Output("wide.xls"));
        processor.Process();
        EXPECT_FALSE(processor.SaveOutput());
    }
    ASSERT_FALSE(boxes_.empty());
    EXPECT_NE(boxes_.back().find(L"The report has 1 rows and 281 columns; an .xls workbook"),
              std::wstring::npos)
        << boxes_.back();
    EXPECT_NE(boxes_.back().find(L"Save it as .xlsx"), std::wstring::npos) << boxes_.back();
    boxes_.clear();
    {
        KVExcelFileProcessor processor(input, Output("wide.xlsx"));
        processor.Process();
        EXPECT_TRUE(processor.SaveOutput());
    }
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(fs::exists(dir_ / "wide.xlsx"));
}

TEST(progress_test, status_lines_and_bar_steps) {
    char* text = nullptr;
    size_t size = 0;
    FILE* echo = open_memstream(&text, &size);
    KVProgressDlg::SetEcho(echo);
    {
        KVProgressDlg dlg;
        dlg.Create();
        dlg.ShowWindow();
        EXPECT_TRUE(dlg.IsVisible());
        dlg.SetStatus(L"Reading file...");
        dlg.OffsetPos(50);
        dlg.SetStatus(L"Writing data...");
        dlg.OffsetPos(75);
        EXPECT_EQ(dlg.GetPos(), 100);
        dlg.DestroyWindow();
        EXPECT_FALSE(dlg.IsVisible());
    }
    KVProgressDlg::SetEcho(nullptr);
    fclose(echo);
    EXPECT_EQ(std::string(text), "Progress:   0% Reading file...\nProgress:  50% Writing data...\n");
    free(text);
}
