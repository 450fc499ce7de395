#include "platform/shell/Shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace sw::shell;

namespace {

class ShellDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("shell_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::wstring Touch(const std::string& name) {
        std::ofstream(dir_ / name) << "x";
        return FromNarrow((dir_ / name).string());
    }
    std::wstring Dir() const { return FromNarrow(dir_.string()) + L"/"; }
    fs::path dir_;
};

}  // namespace

TEST(shell_test, parameters_split_on_blanks_and_keep_quoted_blanks) {
    EXPECT_EQ(SplitParameters(L"-i \"/tmp/my job.pdf\" -o \"/tmp/out.txt\""),
              (std::vector<std::wstring>{L"-i", L"/tmp/my job.pdf", L"-o", L"/tmp/out.txt"}));
    EXPECT_EQ(SplitParameters(L"  a\t\"\"  b "), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_TRUE(SplitParameters(L"").empty());
}

TEST(shell_test, narrow_conversion_round_trips_and_reads_stray_bytes_as_cp1252) {
    const std::wstring text = L"Gr\u00fc\u00dfe \u20ac \U0001F600";
    EXPECT_EQ(FromNarrow(ToNarrow(text)), text);
    EXPECT_EQ(FromNarrow("caf\xe9 \x80"), L"caf\u00e9 \u20ac");
    EXPECT_EQ(FromNarrow("\xe2\x82"), L"\u00e2\u201a");  // truncated sequence
}

TEST(shell_test, wildcards_match_whole_names) {
    EXPECT_TRUE(WildcardMatch(L"JOB.*", L"JOB.txt"));
    EXPECT_TRUE(WildcardMatch(L"JOB.*", L"JOB."));
    EXPECT_FALSE(WildcardMatch(L"JOB.*", L"JOB"));
    EXPECT_FALSE(WildcardMatch(L"JOB.*", L"JOB2.txt"));
    EXPECT_FALSE(WildcardMatch(L"JOB.*", L"job.txt"));
    EXPECT_TRUE(WildcardMatch(L"a?c*", L"abc"));
    EXPECT_TRUE(WildcardMatch(L"*.*.x", L"a.b.c.x"));
    EXPECT_FALSE(WildcardMatch(L"a?c", L"ac"));
}

TEST_F(ShellDir, find_files_lists_matches_in_name_order_and_marks_folders) {
    Touch("JOB.txt");
    Touch("JOB.grp");
    Touch("JOB2.txt");
    fs::create_directory(dir_ / "JOB.d");
    const auto found = FindFiles(Dir() + L"JOB.*");
    ASSERT_EQ(found.size(), 3U);
    EXPECT_EQ(found[0].name, L"JOB.d");
    EXPECT_TRUE(found[0].isDirectory);
    EXPECT_EQ(found[1].path, Dir() + L"JOB.grp");
    EXPECT_FALSE(found[1].isDirectory);
    EXPECT_EQ(found[2].name, L"JOB.txt");
    EXPECT_TRUE(FindFiles(Dir() + L"missing/*").empty());
}

TEST_F(ShellDir, delete_file_removes_files_but_never_folders) {
    const auto file = Touch("a.txt");
    fs::create_directory(dir_ / "sub");
    std::wstring error;
    EXPECT_TRUE(DeleteFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(DeleteFile(file, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(DeleteFile(Dir() + L"sub"));
    EXPECT_TRUE(fs::is_directory(dir_ / "sub"));
}

TEST_F(ShellDir, a_file_without_write_permission_counts_as_read_only_and_is_not_replaced) {
    const auto file = Touch("locked.xls");
    EXPECT_FALSE(IsReadOnlyFile(file));
    EXPECT_TRUE(CanReplaceFile(file));
    fs::permissions(dir_ / "locked.xls", fs::perms::owner_read);
    EXPECT_TRUE(IsReadOnlyFile(file));
    EXPECT_FALSE(CanReplaceFile(file));
    EXPECT_FALSE(IsReadOnlyFile(Dir() + L"missing.xls"));
    EXPECT_TRUE(CanReplaceFile(Dir() + L"missing.xls"));
    fs::create_directory(dir_ / "sub");
    EXPECT_FALSE(CanReplaceFile(Dir() + L"sub"));
}

TEST_F(ShellDir, execute_waits_for_the_program_and_passes_quoted_arguments) {
    const auto out = Dir() + L"out file.txt";
    Process p;
    std::ofstream(dir_ / "write.sh") << "echo \"$1\" > \"$2\"\n";
    ASSERT_TRUE(
        Execute(L"\"/bin/sh\"", L"\"" + Dir() + L"write.sh\" hello \"" + out + L"\"", ShowMode::Hidden, &p));
    EXPECT_EQ(Wait(p), 0);
    EXPECT_FALSE(p.IsValid());
    std::ifstream in(dir_ / "out file.txt");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "hello");
}

TEST_F(ShellDir, execute_reports_a_missing_program_and_wait_gives_the_exit_status) {
    Process p;
    std::wstring error;
    EXPECT_FALSE(Execute(Dir() + L"NoSuchProgram", L"", ShowMode::Hidden, &p, &error));
    EXPECT_FALSE(p.IsValid());
    EXPECT_NE(error.find(L"NoSuchProgram"), std::wstring::npos);
    EXPECT_EQ(Wait(p), -1);
    ASSERT_TRUE(Execute(L"/bin/sh", L"-c \"exit 3\"", ShowMode::Hidden, &p));
    EXPECT_EQ(Wait(p), 3);
}

TEST(shell_test, program_folder_is_the_folder_of_this_test) {
    const auto folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'/');
    EXPECT_TRUE(FileExists(folder + L"shell_test"));
}
