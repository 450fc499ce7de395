// Runs the built SheetwiseParser on real job files in a settings store of its
// own and reads the workbooks back with an independent reader.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "parser/app/tests/workbook_reader.h"

namespace fs = std::filesystem;

namespace {

const std::string kParser = SW_BINARY_DIR "/bin/SheetwiseParser";

std::string Printed(int x, const std::string& text, const char* style = "NNN") {
    return "[[" + std::to_string(x) + ",10," + std::to_string(x + 40) + ",20][9][" + style + "][Arial]]" +
           text;
}

struct Result {
    int status = -1;
    std::string errors;
};

class ParserRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("parser_e2e_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "store");
        fs::create_directories(dir_ / "job");
        setenv("SHEETWISE_REGISTRY_DIR", (dir_ / "store").c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        AddProfile(L"Sales Report", L"QUARTERLY SALES REPORT");
        AddProfile(L"Other", L"");
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
        unsetenv("SHEETWISE_REGISTRY_DIR");
    }
    void AddProfile(const wchar_t* name, const wchar_t* identifier) {
        KVDriverOptionsMgr mgr;
        auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
            mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, name));
        ASSERT_NE(profile, nullptr);
        profile->SetReportIdentifier(identifier);
        profile->SetRemoveDataSection(TRUE);  // anchors are stored only with it on
        profile->SetRemoveRowsWithSpace(TRUE);
        profile->SetRemoveColumnsWithSpace(TRUE);
        profile->SetResizeCells(TRUE);
        profile->SetRemoveFormattingOfCells(TRUE);
        profile->SetFontName(L"Courier New");
        profile->SetFontSize(10);
        profile->SetMoveToTopLeftCell(TRUE);
        profile->SetDateFormat(KVDriverOptionsExcel::GetDateFormat_yyyy_mm_dd(), L"");
        profile->SetNumericFormat(L"#,##0.00");
        KVExcelRemoveDataAnchor* anchor = profile->CreateRemoveDataAnchor();
        anchor->SetAnchorDescriptor(L"Page Total");
        anchor->SetAnchorType(KVExcelRemoveDataAnchor::enAnchorRemoveRow);
        mgr.SaveSettings(nullptr);
    }
    // A job of the virtual printer: JOB.grp naming JOB.txt.
    std::string WriteJob(const std::vector<std::string>& lines, const std::string& name = "JOB") {
        std::ofstream text(dir_ / "job" / (name + ".txt"), std::ios::binary);
        for (const auto& line : lines) {
            text << line << "\r\n";
        }
        std::ofstream grp(dir_ / "job" / (name + ".grp"), std::ios::binary);
        grp << "[Job]\r\nPages=1\r\nTextFileName=" << (dir_ / "job" / (name + ".txt")).string() << "\r\n";
        return (dir_ / "job" / (name + ".grp")).string();
    }
    std::vector<std::string> SalesLines() const {
        return {Printed(40, "QUARTERLY SALES REPORT", "BNN") + Printed(300, "Page 1"),
                "",
                Printed(40, "Customer", "BUN") + Printed(120, "Amount", "BUN") + Printed(200, "Date", "BUN"),
                Printed(40, "C1001") + Printed(120, "1,234.50") + Printed(200, "1/31/2005"),
                Printed(40, "C1002") + Printed(120, "99.00") + Printed(200, "2/1/2005"),
                Printed(40, "Page Total") + Printed(120, "1,333.50")};
    }
    Result Parse(const std::vector<std::string>& args, const std::string& program = kParser) {
        std::string command = "'" + program + "'";
        for (const auto& a : args) {
            command += " '" + a + "'";
        }
        command += " 2>'" + (dir_ / "stderr.txt").string() + "' </dev/null";
        Result r;
        const int status = std::system(command.c_str());
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream in(dir_ / "stderr.txt");
        std::stringstream ss;
        ss << in.rdbuf();
        r.errors = ss.str();
        return r;
    }
    std::string Out(const std::string& name = "out.xls") const { return (dir_ / name).string(); }
    bool JobFile(const std::string& name) const { return fs::exists(dir_ / "job" / name); }

    fs::path dir_;
};

}  // namespace

TEST_F(ParserRun, profile_chosen_by_identifier_converts_and_removes_the_job_files) {
    const auto grp = WriteJob(SalesLines());
    const Result r = Parse({"-print", grp, "-out", Out(), "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_FALSE(JobFile("JOB.txt"));
    EXPECT_FALSE(JobFile("JOB.grp"));
    const WorkbookDump dump = ReadWorkbook(Out());
    ASSERT_TRUE(dump.ok) << dump.error;
    // Blank row and the Page Total row are gone; the odd empty columns too.
    EXPECT_EQ(dump.Value(0, 0), "QUARTERLY SALES REPORT");
    EXPECT_EQ(dump.Value(1, 0), "Customer");
    EXPECT_EQ(dump.Value(2, 0), "C1001");
    EXPECT_EQ(dump.Value(2, 1), "1234.5");
    EXPECT_EQ(dump.At(2, 1)->format, "#,##0.00");
    EXPECT_EQ(dump.At(2, 2)->type, "date");
    EXPECT_EQ(dump.At(2, 2)->format, "yyyy-mm-dd;@");
    EXPECT_EQ(dump.At(2, 0)->font, "Courier New");
    EXPECT_EQ(dump.LastDataRow(), 3);
    ASSERT_TRUE(dump.active.has_value());
    EXPECT_EQ(*dump.active, std::make_pair(0, 0));
    EXPECT_GT(dump.widths.count(0), 0U);
}

// The program with a profile of every anchor type, its font left off and
// the selection left past the grid, on a report with times of day.
TEST_F(ParserRun, every_anchor_type_font_off_and_the_selection_past_the_grid) {
    {
        KVDriverOptionsMgr mgr;
        auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
            mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"Anchors"));
        ASSERT_NE(profile, nullptr);
        profile->SetReportIdentifier(L"ANCHOR REPORT");
        profile->SetRemoveDataSection(TRUE);
        profile->SetRemoveRowsWithSpace(TRUE);
        profile->SetRemoveColumnsWithSpace(TRUE);
        profile->SetRemoveFormattingOfCells(FALSE);
        profile->SetFontName(L"Courier New");
        profile->SetMoveToTopLeftCell(FALSE);
        profile->SetNumericFormat(L"0.0");
        const std::pair<const wchar_t*, KVExcelRemoveDataAnchor::enAnchorType> anchors[] = {
            {L"dropcell", KVExcelRemoveDataAnchor::enAnchorClearCell},
            {L"DROPCOL", KVExcelRemoveDataAnchor::enAnchorRemoveColumn},
            {L"DROPBOTH", KVExcelRemoveDataAnchor::enAnchorRemoveRowAndColumn},
            {L"AREA", KVExcelRemoveDataAnchor::enAnchorClearArea},
            {L"Page Total", KVExcelRemoveDataAnchor::enAnchorRemoveRow},
            {L"IGNORED", KVExcelRemoveDataAnchor::enAnchorNone},
        };
        for (const auto& [descriptor, type] : anchors) {
            KVExcelRemoveDataAnchor* anchor = profile->CreateRemoveDataAnchor();
            anchor->SetAnchorDescriptor(descriptor);
            anchor->SetAnchorType(type);
            if (type == KVExcelRemoveDataAnchor::enAnchorClearArea) {
                anchor->SetAreaToRemove(CRect(0, 1, 2, 0));  // one row up, two columns right
            }
        }
        mgr.SaveSettings(nullptr);
    }
    // Columns by key: 40 -> 0, 120 -> 2, 200 -> 4, 300 -> 6.
    const auto grp = WriteJob({
        Printed(40, "ANCHOR REPORT") + Printed(120, "Time"),
        Printed(40, "keep1") + Printed(120, "10:30 AM") + Printed(200, "x") + Printed(300, "DROPCOL"),
        Printed(40, "DROPCELL") + Printed(120, "5"),
        Printed(40, "IGNORED") + Printed(120, "7"),
        Printed(40, "keep2") + Printed(120, "zap"),
        Printed(40, "AREA") + Printed(120, "gone") + Printed(200, "stays"),
        Printed(40, "keep3") + Printed(200, "DROPBOTH"),
        Printed(40, "Page Total") + Printed(120, "9"),
    });
    const Result r = Parse({"-print", grp, "-out", Out(), "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    const WorkbookDump dump = ReadWorkbook(Out());
    ASSERT_TRUE(dump.ok) << dump.error;
    // DROPCOL's and DROPBOTH's columns, DROPBOTH's and Page Total's rows go;
    // AREA clears its row and the one above, which then go as empty rows.
    EXPECT_EQ(dump.Value(0, 0), "ANCHOR REPORT");
    EXPECT_EQ(dump.Value(0, 1), "Time");
    EXPECT_EQ(dump.Value(1, 0), "keep1");
    ASSERT_NE(dump.At(1, 1), nullptr);
    EXPECT_EQ(dump.At(1, 1)->type, "date");
    EXPECT_EQ(dump.At(1, 1)->format, "h:mm:ss AM/PM");
    EXPECT_EQ(dump.Value(2, 0), "");  // the cleared cell
    ASSERT_NE(dump.At(2, 1), nullptr);
    EXPECT_EQ(dump.At(2, 1)->type, "number");
    EXPECT_EQ(dump.At(2, 1)->format, "0.0");
    EXPECT_EQ(dump.Value(3, 0), "IGNORED");  // an anchor of no type acts on nothing
    EXPECT_EQ(dump.LastDataRow(), 3);
    // The profile's font is not applied: the converter's own font is.
    EXPECT_EQ(dump.At(0, 0)->font, "Arial");
    EXPECT_EQ(dump.At(0, 0)->size, 12);
    // The selection is the cell past the grid as loaded: 8 rows, and the 4
    // column keys give 9 columns.
    ASSERT_TRUE(dump.active.has_value());
    EXPECT_EQ(*dump.active, std::make_pair(8, 9));
    EXPECT_FALSE(JobFile("JOB.txt"));
}

TEST_F(ParserRun, named_profile_and_a_workbook_saved_beside_the_job_under_its_name_survive) {
    const auto grp = WriteJob({Printed(40, "no identifier here") + Printed(200, "5")});
    const std::string beside = (dir_ / "job" / "JOB.xls").string();
    const Result r = Parse({"-PRINT", grp, "-profile", "other", "-out", beside, "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_FALSE(JobFile("JOB.txt"));
    EXPECT_FALSE(JobFile("JOB.grp"));
    ASSERT_TRUE(JobFile("JOB.xls"));
    const WorkbookDump dump = ReadWorkbook(beside);
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(0, 0), "no identifier here");
    EXPECT_EQ(dump.Value(0, 1), "5");
}

TEST_F(ParserRun, xlsx_extension_writes_the_newer_format) {
    const auto grp = WriteJob(SalesLines());
    const Result r = Parse({"-print", grp, "-out", Out("out.xlsx"), "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    std::ifstream in(Out("out.xlsx"), std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "PK");
}

// A report as tall as a worksheet takes converts whole; one line more is
// refused with its reason, and neither the job nor an earlier workbook is lost.
TEST_F(ParserRun, a_report_taller_than_a_worksheet_is_refused_and_the_largest_one_converts_whole) {
    constexpr int kLargest = 1048575;  // the processor keeps a row free below the report
    std::vector<std::string> lines;
    lines.reserve(kLargest + 1);
    for (int i = 1; i <= kLargest + 1; ++i) {
        lines.push_back(Printed(40, std::to_string(i)));
    }
    std::ofstream(Out("big.xlsx")) << "earlier workbook";
    Result r = Parse({"-print", WriteJob(lines), "-out", Out("big.xlsx"), "-profile", "Other", "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("The report has 1048576 rows and 3 columns, more than a worksheet takes"),
              std::string::npos)
        << r.errors;
    EXPECT_TRUE(JobFile("JOB.txt"));
    std::ifstream old(Out("big.xlsx"));
    std::string text;
    std::getline(old, text);
    EXPECT_EQ(text, "earlier workbook");

    lines.pop_back();
    r = Parse({"-print", WriteJob(lines), "-out", Out("big.xlsx"), "-profile", "Other", "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_FALSE(JobFile("JOB.txt"));
    // The sheet's rows as its XML holds them: how many, and the last one's cell.
    const std::string count =
        "/usr/bin/python3 -c \"import re, sys, zipfile; x = zipfile.ZipFile(sys.argv[1])"
        ".read('xl/worksheets/sheet1.xml').decode(); print(x.count('<row '), "
        "re.findall(r'<c r=.(A[0-9]+)[^>]*><v>([^<]*)</v></c></row></sheetData>', x))\" '" +
        Out("big.xlsx") + "'";
    FILE* p = ::popen(count.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[256] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, p);
    ::pclose(p);
    EXPECT_EQ(std::string(buf, n), "1048575 [('A1048575', '1048575')]\n");
}

TEST_F(ParserRun, job_stops_with_its_message_when_the_text_cannot_be_found) {
    Result r = Parse({"-print", (dir_ / "job" / "MISSING.grp").string(), "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("Could not find GRP file.  Error: "), std::string::npos) << r.errors;

    std::ofstream(dir_ / "job" / "NOTEXT.grp") << "Pages=1\n";
    r = Parse({"-print", (dir_ / "job" / "NOTEXT.grp").string(), "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("Output file not found."), std::string::npos) << r.errors;
    EXPECT_TRUE(JobFile("NOTEXT.grp"));
    EXPECT_FALSE(fs::exists(Out()));

    // Without a TextFileName line the text file beside the group file serves.
    std::ofstream(dir_ / "job" / "NOTEXT.txt", std::ios::binary)
        << Printed(40, "QUARTERLY SALES REPORT") << "\r\n";
    r = Parse({"-print", (dir_ / "job" / "NOTEXT.grp").string(), "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_TRUE(fs::exists(Out()));
}

TEST_F(ParserRun, a_failed_save_exits_non_zero_and_keeps_the_job) {
    const auto grp = WriteJob(SalesLines());
    const Result r = Parse({"-print", grp, "-out", (dir_ / "no" / "such" / "out.xls").string(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("The workbook could not be saved."), std::string::npos) << r.errors;
    EXPECT_TRUE(JobFile("JOB.txt"));
    EXPECT_TRUE(JobFile("JOB.grp"));
}

TEST_F(ParserRun, read_only_output_asks_to_retry_and_batch_answers_no) {
    const auto grp = WriteJob(SalesLines());
    std::ofstream(Out()) << "old";
    fs::permissions(Out(), fs::perms::owner_read);
    const Result r = Parse({"-print", grp, "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("The specified file is either open or read only.  Retry?"), std::string::npos)
        << r.errors;
    std::ifstream in(Out());
    std::string old;
    in >> old;
    EXPECT_EQ(old, "old");
    EXPECT_TRUE(JobFile("JOB.txt"));
}

TEST_F(ParserRun, unmatched_report_in_batch_mode_cancels_the_editor_and_keeps_the_job) {
    const auto grp = WriteJob({Printed(40, "Some other report")});
    Result r = Parse({"-print", grp, "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(JobFile("JOB.txt"));
    EXPECT_FALSE(fs::exists(Out()));
    // An identifier is matched within the first ten lines only, and whole runs only.
    std::vector<std::string> lines(10, Printed(40, "filler"));
    lines.push_back(Printed(40, "QUARTERLY SALES REPORT"));
    lines[3] = Printed(40, "QUARTERLY SALES REPORT 2005");
    r = Parse({"-print", WriteJob(lines), "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(ParserRun, command_line_mistakes_get_clear_messages) {
    const auto grp = WriteJob(SalesLines());
    Result r = Parse({"-print", grp, "-profile", "No Such Profile", "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("No Such Profile"), std::string::npos) << r.errors;
    EXPECT_TRUE(JobFile("JOB.txt"));
    r = Parse({"-print", grp, "-batch", "-profile"});
    EXPECT_EQ(r.status, 2);
    // No job at all: the editor alone, cancelled without a display.
    r = Parse({"-batch"});
    EXPECT_EQ(r.status, 0) << r.errors;
}

TEST_F(ParserRun, without_an_output_path_nothing_is_written_and_the_job_is_consumed) {
    const auto grp = WriteJob(SalesLines());
    const Result r = Parse({"-print", grp, "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(JobFile("JOB.txt"));
    EXPECT_FALSE(JobFile("JOB.grp"));
}

TEST_F(ParserRun, pdf_job_without_extracted_text_stops_and_keeps_the_pdf) {
    // A copy of the parser in a folder of its own finds its extractor there:
    // first none at all, then one that writes nothing.
    fs::create_directories(dir_ / "bin");
    fs::copy_file(kParser, dir_ / "bin" / "SheetwiseParser");
    fs::copy_file(SW_SOURCE_DIR "/samples/STOCK_0002.pdf", dir_ / "job" / "stock.pdf");
    const std::string pdf = (dir_ / "job" / "stock.pdf").string();
    const std::string parser = (dir_ / "bin" / "SheetwiseParser").string();
    Result r = Parse({"-pdf", pdf, "-profile", "Other", "-out", Out(), "-batch"}, parser);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("The text of the PDF file could not be extracted."), std::string::npos)
        << r.errors;
    EXPECT_TRUE(JobFile("stock.pdf"));
    EXPECT_FALSE(fs::exists(Out()));

    std::ofstream(dir_ / "bin" / "PdfUnpack") << "#!/bin/sh\nexit 0\n";
    fs::permissions(dir_ / "bin" / "PdfUnpack", fs::perms::owner_all);
    r = Parse({"-pdf", pdf, "-profile", "Other", "-out", Out(), "-batch"}, parser);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("wrote no text"), std::string::npos) << r.errors;
    EXPECT_TRUE(JobFile("stock.pdf"));
    EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(ParserRun, pdf_job_is_extracted_converted_and_cleaned_up) {
    if (!fs::exists(SW_BINARY_DIR "/bin/PdfUnpack")) {
        GTEST_SKIP() << "PdfUnpack is not built";
    }
    fs::copy_file(SW_SOURCE_DIR "/samples/STOCK_0002.pdf", dir_ / "job" / "stock.pdf");
    const std::string pdf = (dir_ / "job" / "stock.pdf").string();
    const Result r = Parse({"-pdf", pdf, "-profile", "Other", "-out", Out(), "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_FALSE(JobFile("stock.pdf"));
    EXPECT_FALSE(JobFile("stock.TXT"));
    const WorkbookDump dump = ReadWorkbook(Out());
    ASSERT_TRUE(dump.ok) << dump.error;
    bool found = false;
    for (const auto& [rc, cell] : dump.cells) {
        found = found || cell.value.find("WAREHOUSE STOCK REPORT") != std::string::npos;
    }
    EXPECT_TRUE(found);
}
