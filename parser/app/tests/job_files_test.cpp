#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "parser/app/KVJobFiles.h"
#include "platform/shell/Shell.h"

namespace fs = std::filesystem;
using sw::shell::FromNarrow;

namespace {

class JobDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("job_files_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::wstring Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return Path(name);
    }
    std::wstring Path(const std::string& name) const { return FromNarrow((dir_ / name).string()); }
    fs::path dir_;
};

}  // namespace

TEST_F(JobDir, group_file_yields_the_first_text_file_line_in_any_case) {
    const auto grp =
        Write("JOB.grp", "[Job]\r\nPages=3\r\ntextfilename=/spool/a.txt\r\nTextFileName=/spool/b.txt\r\n");
    std::wstring text, error;
    EXPECT_EQ(kvjob::ReadGroupFile(grp, text, error), kvjob::GroupFileResult::Found);
    EXPECT_EQ(text, L"/spool/a.txt");
    EXPECT_TRUE(error.empty());

    const auto none = Write("NONE.grp", "Pages=3\nTextFile=/x\n");
    EXPECT_EQ(kvjob::ReadGroupFile(none, text, error), kvjob::GroupFileResult::NoEntry);
    EXPECT_TRUE(text.empty());
    // The first line decides, and one naming nothing names no file.
    const auto empty = Write("EMPTY.grp", "TextFileName= \r\nTextFileName=/spool/b.txt\n");
    EXPECT_EQ(kvjob::ReadGroupFile(empty, text, error), kvjob::GroupFileResult::NoEntry);
    EXPECT_TRUE(text.empty());
}

TEST_F(JobDir, an_overlong_line_is_cut_and_the_next_line_still_read) {
    const auto grp = Write("LONG.grp", std::string(200000, 'x') + "\nTextFileName=/spool/c.txt\n");
    std::wstring text, error;
    EXPECT_EQ(kvjob::ReadGroupFile(grp, text, error), kvjob::GroupFileResult::Found);
    EXPECT_EQ(text, L"/spool/c.txt");
    const auto lines = kvjob::ReadFirstLines(grp, 1);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].size(), kvjob::msc_nMaxLineBytes);
}

TEST_F(JobDir, missing_or_unreadable_group_file_gives_the_messages) {
    std::wstring text, error;
    EXPECT_EQ(kvjob::ReadGroupFile(Path("missing.grp"), text, error), kvjob::GroupFileResult::CannotOpen);
    EXPECT_EQ(error.rfind(L"Could not find GRP file.  Error: ", 0), 0U);
    EXPECT_NE(error.find(L"missing.grp"), std::wstring::npos);
    fs::create_directory(dir_ / "folder.grp");
    EXPECT_EQ(kvjob::ReadGroupFile(Path("folder.grp"), text, error), kvjob::GroupFileResult::ReadFailure);
    EXPECT_EQ(error, L"GRP file not found.");
}

TEST_F(JobDir, sibling_text_file_is_found_in_either_case) {
    EXPECT_EQ(kvjob::FindSiblingTextFile(Path("JOB.GRP")), L"");
    Write("JOB.txt", "x");
    EXPECT_EQ(kvjob::FindSiblingTextFile(Path("JOB.GRP")), Path("JOB.txt"));
    Write("JOB.TXT", "x");
    EXPECT_EQ(kvjob::FindSiblingTextFile(Path("JOB.grp")), Path("JOB.TXT"));
    EXPECT_EQ(kvjob::FindSiblingTextFile(L"ab"), L"");
}

TEST(job_files_test, pdf_text_path_and_pdf_source_rule) {
    EXPECT_EQ(kvjob::PdfTextFilePath(L"/in/report.pdf"), L"/in/report.TXT");
    EXPECT_EQ(kvjob::PdfTextFilePath(L"/in.pdf/a.Pdf.PDF"), L"/in.pdf/a.TXT.TXT");
    EXPECT_EQ(kvjob::PdfTextFilePath(L"/in.pdf/scan"), L"/in.pdf/scan.TXT");
    EXPECT_TRUE(kvjob::IsPdfTextFile(L"/spool/Job1.pdf"));
    EXPECT_TRUE(kvjob::IsPdfTextFile(L"x.PDF"));
    EXPECT_FALSE(kvjob::IsPdfTextFile(L".pdf"));
    EXPECT_FALSE(kvjob::IsPdfTextFile(L"/spool/Job1.txt"));
}

TEST_F(JobDir, first_lines_stop_at_the_limit_and_drop_carriage_returns) {
    std::string text;
    for (int i = 0; i < 15; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    const auto path = Write("t.txt", text + "caf\xe9");
    auto lines = kvjob::ReadFirstLines(path, 10);
    ASSERT_EQ(lines.size(), 10U);
    EXPECT_EQ(lines[9], L"line 9");
    lines = kvjob::ReadFirstLines(path, 100);
    ASSERT_EQ(lines.size(), 16U);
    EXPECT_EQ(lines[15], L"caf\u00e9");
    EXPECT_TRUE(kvjob::ReadFirstLines(Path("none.txt"), 10).empty());
}

TEST_F(JobDir, delete_job_files_removes_the_jobs_files_but_never_the_workbook) {
    const auto text = Write("JOB.txt", "x");
    Write("JOB.grp", "x");
    Write("JOB.xls", "workbook");
    Write("JOB2.txt", "other job");
    Write("JOB", "no extension");
    fs::create_directory(dir_ / "JOB.d");
    const auto deleted = DeleteJobFiles(text, Path("JOB.xls"));
    EXPECT_EQ(deleted.size(), 2U);
    EXPECT_FALSE(fs::exists(dir_ / "JOB.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "JOB.grp"));
    EXPECT_TRUE(fs::exists(dir_ / "JOB.xls"));
    EXPECT_TRUE(fs::exists(dir_ / "JOB2.txt"));
    EXPECT_TRUE(fs::exists(dir_ / "JOB"));
    EXPECT_TRUE(fs::is_directory(dir_ / "JOB.d"));
}

TEST_F(JobDir, delete_job_files_keeps_the_workbook_named_through_another_path_and_ignores_wildcards) {
    const auto text = Write("R*.txt", "x");
    Write("Report.xls", "workbook");
    Write("R*.xls", "workbook");
    fs::create_directory(dir_ / "sub");
    const auto keep = FromNarrow((dir_ / "sub" / ".." / "R*.xls").string());
    DeleteJobFiles(text, keep);
    EXPECT_TRUE(fs::exists(dir_ / "Report.xls"));
    EXPECT_TRUE(fs::exists(dir_ / "R*.xls"));
    EXPECT_FALSE(fs::exists(dir_ / "R*.txt"));
    EXPECT_TRUE(DeleteJobFiles(L"JOB.txt", L"").empty());
    EXPECT_TRUE(DeleteJobFiles(Path("NODOT"), L"").empty());
}
