// SheetwiseParser on a desktop: the offscreen platform stands in for the
// display and a scripted user (SHEETWISE_UI_SCRIPT) answers the real windows.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "tests/support/WorkbookReader.h"

namespace fs = std::filesystem;

namespace {

std::string RunParser(const fs::path& dir, const std::vector<std::string>& script,
                      const std::string& arguments, int* status) {
    std::ofstream(dir / "script.txt") << [&] {
        std::string text;
        for (const auto& line : script) {
            text += line + "\n";
        }
        return text;
    }();
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen SHEETWISE_VIEWER=true"
        " SHEETWISE_UI_SCRIPT='" +
        (dir / "script.txt").string() + "' timeout 120 '" SW_BINARY_DIR "/bin/SheetwiseParser' " + arguments +
        " 2>'" + (dir / "stderr.txt").string() + "' </dev/null";
    const int raw = std::system(command.c_str());
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ostringstream errors;
    errors << std::ifstream(dir / "stderr.txt").rdbuf();
    return errors.str();
}

class DesktopRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("parser_desktop_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "store");
        fs::create_directories(dir_ / "job");
        setenv("SHEETWISE_REGISTRY_DIR", (dir_ / "store").c_str(), 1);
        KVDriverOptionsMgr mgr;
        for (const wchar_t* name : {L"Sales Report", L"Other"}) {
            auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
                mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, name));
            profile->SetReportIdentifier(L"NOT IN THIS REPORT");
            profile->SetMoveToTopLeftCell(TRUE);
        }
        mgr.SaveSettings(nullptr);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        unsetenv("SHEETWISE_REGISTRY_DIR");
    }
    std::string Job() const {
        std::ofstream text(dir_ / "job" / "JOB.txt", std::ios::binary);
        text << "[[40,10,80,20][9][BNN][Arial]]QUARTERLY SALES\r\n"
                "[[40,10,80,20][9][NNN][Arial]]Customer[[120,10,160,20][9][NNN][Arial]]Amount\r\n"
                "[[40,10,80,20][9][NNN][Arial]]C1001[[120,10,160,20][9][NNN][Arial]]1,234.50\r\n";
        std::ofstream(dir_ / "job" / "JOB.grp", std::ios::binary)
            << "[Job]\r\nTextFileName=" << (dir_ / "job" / "JOB.txt").string() << "\r\n";
        return (dir_ / "job" / "JOB.grp").string();
    }

    fs::path dir_;
};

}  // namespace

TEST_F(DesktopRun, unmatched_job_is_converted_with_the_profile_and_file_the_user_chooses) {
    const std::string out = (dir_ / "chosen.xls").string();
    int status = -1;
    const std::string errors =
        RunParser(dir_,
                  {"wait Sheetwise Print Driver Properties", "choose Profile Name: = Sales Report",
                   "click OK", "wait Save As", "type File name: = " + out, "click Save"},
                  "-print '" + Job() + "'", &status);
    ASSERT_EQ(status, 0) << errors;
    EXPECT_EQ(errors.find("SHEETWISE_UI_SCRIPT"), std::string::npos) << errors;
    const WorkbookDump dump = ReadWorkbook(out);
    ASSERT_TRUE(dump.ok) << dump.error;
    EXPECT_EQ(dump.Value(0, 0), "QUARTERLY SALES");
    EXPECT_EQ(dump.Value(2, 1), "1234.5");
    EXPECT_FALSE(fs::exists(dir_ / "job" / "JOB.txt"));

    // The choice is remembered: the profile as the most recent, the file as
    // its last one.
    KVDriverOptionsMgr stored;
    auto* profile = dynamic_cast<KVDriverOptionsExcel*>(stored.GetMRUProfile());
    ASSERT_NE(profile, nullptr);
    EXPECT_STREQ(profile->GetProfileName(), L"Sales Report");
    EXPECT_EQ(std::wstring(profile->GetLastFileOpened()), fs::path(out).wstring());
}

TEST_F(DesktopRun, started_without_a_job_the_editor_opens_and_cancel_changes_nothing) {
    int status = -1;
    const std::string errors =
        RunParser(dir_,
                  {"wait Sheetwise Print Driver Properties", "menu Options = Show Advanced Options...",
                   "type Report Identifier: = CHANGED", "click Cancel"},
                  "", &status);
    EXPECT_EQ(status, 0) << errors;
    EXPECT_EQ(errors.find("SHEETWISE_UI_SCRIPT"), std::string::npos) << errors;
    KVDriverOptionsMgr stored;
    EXPECT_STREQ(
        dynamic_cast<KVDriverOptionsExcel*>(stored.GetExcelProfile(L"Sales Report"))->GetReportIdentifier(),
        L"NOT IN THIS REPORT");
}
