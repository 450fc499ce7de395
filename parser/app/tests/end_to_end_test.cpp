// Runs the built SheetwiseParser on real job files in a settings store of its
// own and reads the workbooks back with an independent reader.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "tests/support/WorkbookReader.h"

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
    // Runs the parser; from `folder` when given, so that relative paths are
    // taken from there.
    Result Parse(const std::vector<std::string>& args, const std::string& program = kParser,
                 const fs::path& folder = {}) {
        std::string command = folder.empty() ? "" : "cd '" + folder.string() + "' && ";
        command += "'" + program + "'";
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
    Result ParseIn(const fs::path& folder, const std::vector<std::string>& args) {
        return Parse(args, kParser, folder);
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

// A report as tall as a worksheet converts whole; one line more is refused
// with its reason, and neither the job nor an earlier workbook is lost.
TEST_F(ParserRun, a_report_of_every_worksheet_row_converts_whole_and_one_line_more_is_refused) {
    constexpr int kRows = 1048576;
    std::vector<std::string> lines;
    lines.reserve(kRows + 1);
    for (int i = 1; i <= kRows + 1; ++i) {
        lines.push_back(Printed(40, std::to_string(i)));
    }
    std::ofstream(Out("big.xlsx")) << "earlier workbook";
    Result r = Parse({"-print", WriteJob(lines), "-out", Out("big.xlsx"), "-profile", "Other", "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.errors.find("The report has 1048577 rows and 3 columns; a worksheet holds at most 1048576 rows"),
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
    EXPECT_EQ(std::string(buf, n), "1048576 [('A1048576', '1048576')]\n");
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
    // In batch mode a command line that would do nothing gets one line of
    // usage: the group file forgotten, a mistyped switch, a stray argument.
    const std::pair<std::vector<std::string>, std::string> mistakes[] = {
        {{"-print", "-batch"}, "The switch -print needs the path of a group file."},
        {{"-print", grp, "-zzz", "-batch"}, "Unknown switch -zzz."},
        {{"-batch", grp}, "Unexpected argument"},
    };
    for (const auto& [args, reason] : mistakes) {
        r = Parse(args);
        EXPECT_EQ(r.status, 2) << reason;
        EXPECT_NE(r.errors.find(reason), std::string::npos) << r.errors;
        EXPECT_NE(r.errors.find(". Usage: SheetwiseParser [-print"), std::string::npos) << r.errors;
        EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
    }
    EXPECT_TRUE(JobFile("JOB.txt"));
    // Without -batch an unknown switch is ignored: the editor alone again.
    r = Parse({"-zzz"});
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

// A group file that names no text file, by leaving its line out or empty:
// the text file beside it serves in every step, however the job is named.
TEST_F(ParserRun, the_sibling_text_file_serves_a_relative_or_absolute_group_file_naming_none) {
    for (const std::string group : {"[Job]\r\nPages=1\r\n", "[Job]\r\nTextFileName=\r\n"}) {
        for (const bool relative : {true, false}) {
            SCOPED_TRACE(group + (relative ? "relative" : "absolute"));
            std::ofstream(dir_ / "job" / "JOB.TXT", std::ios::binary)
                << Printed(40, "QUARTERLY SALES REPORT") << "\r\n"
                << Printed(40, "C1001") + Printed(120, "99.00") << "\r\n";
            std::ofstream(dir_ / "job" / "JOB.GRP", std::ios::binary) << group;
            // The profile is found by the identifier in the text's first lines.
            const Result r =
                relative ? ParseIn(dir_, {"-print", "job/JOB.GRP", "-out", "out.xls", "-batch"})
                         : Parse({"-print", (dir_ / "job" / "JOB.GRP").string(), "-out", Out(), "-batch"});
            ASSERT_EQ(r.status, 0) << r.errors;
            EXPECT_FALSE(JobFile("JOB.TXT"));
            EXPECT_FALSE(JobFile("JOB.GRP"));
            const WorkbookDump dump = ReadWorkbook(Out());
            ASSERT_TRUE(dump.ok) << dump.error;
            EXPECT_EQ(dump.Value(0, 0), "QUARTERLY SALES REPORT");
            EXPECT_EQ(dump.Value(1, 1), "99");
            fs::remove(Out());
        }
    }
    // An empty name beside no text file names nothing at all.
    std::ofstream(dir_ / "job" / "JOB.GRP", std::ios::binary) << "TextFileName=\r\n";
    const Result r = ParseIn(dir_ / "job", {"-print", "JOB.GRP", "-out", "../out.xls", "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("Output file not found."), std::string::npos) << r.errors;
    EXPECT_TRUE(JobFile("JOB.GRP"));
    EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(ParserRun, a_pdf_is_never_read_as_text_and_no_clean_up_takes_the_workbook) {
    if (!fs::exists(SW_BINARY_DIR "/bin/PdfUnpack")) {
        GTEST_SKIP() << "PdfUnpack is not built";
    }
    const fs::path sample = SW_SOURCE_DIR "/samples/STOCK_0002.pdf";
    const auto holdsTheReport = [](const std::string& path) {
        const WorkbookDump dump = ReadWorkbook(path);
        EXPECT_TRUE(dump.ok) << dump.error;
        bool report = false;
        for (const auto& [rc, cell] : dump.cells) {
            report = report || cell.value.find("WAREHOUSE STOCK REPORT") != std::string::npos;
            EXPECT_EQ(cell.value.find("%PDF"), std::string::npos);
        }
        return report;
    };
    // A PDF whose name lacks ".pdf", named relatively: its text goes beside it.
    fs::copy_file(sample, dir_ / "job" / "scan");
    Result r = ParseIn(dir_ / "job", {"-pdf", "scan", "-profile", "Other", "-out", "../out.xls", "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_TRUE(holdsTheReport(Out()));
    EXPECT_TRUE(JobFile("scan"));
    EXPECT_FALSE(JobFile("scan.TXT"));

    // The workbook saved under the name of the PDF's own text file stays.
    fs::copy_file(sample, dir_ / "job" / "r.pdf");
    r = ParseIn(dir_ / "job",
                {"-pdf", (dir_ / "job" / "r.pdf").string(), "-profile", "Other", "-out", "r.TXT", "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_FALSE(JobFile("r.pdf"));
    ASSERT_TRUE(JobFile("r.TXT"));
    EXPECT_TRUE(holdsTheReport((dir_ / "job" / "r.TXT").string()));

    // A group file naming a PDF: the PDF's text is extracted, as for -pdf.
    fs::copy_file(sample, dir_ / "job" / "g.pdf");
    std::ofstream(dir_ / "job" / "g.grp") << "TextFileName=g.pdf\r\n";
    r = Parse(
        {"-print", (dir_ / "job" / "g.grp").string(), "-profile", "Other", "-out", Out("g.xls"), "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_TRUE(holdsTheReport(Out("g.xls")));
    EXPECT_FALSE(JobFile("g.pdf"));
    EXPECT_FALSE(JobFile("g.TXT"));
    EXPECT_FALSE(JobFile("g.grp"));
}

TEST_F(ParserRun, a_report_beyond_one_block_goes_in_bands_and_one_beyond_the_sheet_is_refused) {
    {
        // The sheet's own font: the empty positions then need no record of
        // their own, and the workbook stays small.
        KVDriverOptionsMgr mgr;
        auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
            mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"Wide"));
        ASSERT_NE(profile, nullptr);
        profile->SetRemoveColumnsWithSpace(TRUE);
        profile->SetRemoveFormattingOfCells(TRUE);
        profile->SetFontSize(10);
        profile->SetNumericFormat(L"#,##0.00");
        mgr.SaveSettings(nullptr);
    }
    // 8,000 column keys over 1,100 lines make 1,101 rows by 16,002 columns:
    // more cells than one block carries, few enough for a worksheet.
    std::vector<std::string> lines(1100);
    for (int k = 0; k < 8000; ++k) {
        lines[static_cast<size_t>(k % 1100)] +=
            Printed(10 * (k + 1), k % 2 != 0 ? std::to_string(k) + ".5" : "v" + std::to_string(k));
    }
    Result r =
        Parse({"-print", WriteJob(lines, "WIDE"), "-profile", "Wide", "-out", Out("wide.xlsx"), "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_FALSE(JobFile("WIDE.txt"));
    const WorkbookDump dump = ReadWorkbook(Out("wide.xlsx"));
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.cells.size(), 8000U);
    EXPECT_EQ(dump.Value(0, 0), "v0");
    // Typed and formatted in the first band and in the last.
    for (const auto& [row, column] : {std::pair(1, 1101), std::pair(1099, 7699)}) {
        const WorkbookCell* cell = dump.At(row, column);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->type, "number");
        EXPECT_EQ(cell->value, std::to_string(column) + ".5");
        EXPECT_EQ(cell->format, "#,##0.00");
    }

    // More lines than a worksheet has rows: refused, and the job stays.
    {
        std::ofstream text(dir_ / "job" / "BIG.txt", std::ios::binary);
        const std::string line = Printed(40, "r") + "\r\n";
        for (int i = 0; i < 1100000; ++i) {
            text << line;
        }
    }
    std::ofstream(dir_ / "job" / "BIG.grp") << "TextFileName=BIG.txt\r\n";
    r = ParseIn(dir_, {"-print", "job/BIG.grp", "-profile", "Wide", "-out", "big.xlsx", "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.errors.find("The report has 1100000 rows and 3 columns; a worksheet holds at most 1048576 rows"),
        std::string::npos)
        << r.errors;
    EXPECT_TRUE(JobFile("BIG.txt"));
    EXPECT_TRUE(JobFile("BIG.grp"));
    EXPECT_FALSE(fs::exists(Out("big.xlsx")));
}

TEST_F(ParserRun, a_failed_save_keeps_the_workbook_it_was_to_replace) {
    Result r = ParseIn(dir_, {"-print", WriteJob(SalesLines()), "-out", "out.xls", "-batch"});
    ASSERT_EQ(r.status, 0) << r.errors;
    // More rows than an .xls workbook holds.
    std::vector<std::string> lines(70000, Printed(40, "row"));
    lines[0] = Printed(40, "QUARTERLY SALES REPORT");
    r = Parse({"-print", WriteJob(lines, "BIG"), "-out", Out(), "-batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("The workbook could not be saved."), std::string::npos) << r.errors;
    EXPECT_TRUE(JobFile("BIG.txt"));
    EXPECT_TRUE(JobFile("BIG.grp"));
    const WorkbookDump dump = ReadWorkbook(Out());
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(2, 0), "C1001");
    EXPECT_EQ(dump.LastDataRow(), 3);
}

TEST_F(ParserRun, a_text_file_that_cannot_be_read_keeps_the_job_and_the_old_workbook) {
    // Reading fails: the reader's own memory at address 0.
    fs::create_symlink("/proc/self/mem", dir_ / "job" / "JOB.txt");
    std::ofstream(dir_ / "job" / "JOB.grp") << "TextFileName=JOB.txt\r\n";
    std::ofstream(Out()) << "old";
    for (const bool relative : {true, false}) {
        const Result r =
            relative
                ? ParseIn(dir_, {"-print", "job/JOB.grp", "-profile", "Other", "-out", "out.xls", "-batch"})
                : Parse({"-print", (dir_ / "job" / "JOB.grp").string(), "-profile", "Other", "-out", Out(),
                         "-batch"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.errors.find("Could not load printer output file."), std::string::npos) << r.errors;
        EXPECT_TRUE(fs::is_symlink(dir_ / "job" / "JOB.txt"));
        EXPECT_TRUE(JobFile("JOB.grp"));
        std::ifstream in(Out());
        std::string old;
        in >> old;
        EXPECT_EQ(old, "old");
    }
}
