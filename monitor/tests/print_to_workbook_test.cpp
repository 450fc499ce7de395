// From lp to the workbook with nobody at the machine: a report printed to the
// virtual printer on a scheduler of the test's own goes through the filters
// and the backend, the session agent starts the monitor for it, the monitor
// follows the job and converts it with the profile its report identifier
// names, and the agent's log says what came of each job. Workbooks are read
// back with python3-xlrd.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cups/cups.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "platform/vendor/testing/TestPrinter.h"
#include "tests/support/WorkbookReader.h"

namespace fs = std::filesystem;
using sw::testing::BackgroundProgram;
using sw::testing::ReadTextFile;
using sw::testing::TestPrinter;
using sw::testing::WaitForText;

namespace {

const std::string kAgent = SW_BINARY_DIR "/bin/SheetwiseAgent";
const std::string kMonitor = SW_BINARY_DIR "/bin/KVPrintMonitor";

std::string SalesReport(int pages) {
    std::string text;
    const char* names[] = {"Acme Corp", "Bolt & Nut Ltd", "Cog Works"};
    for (int page = 1; page <= pages; ++page) {
        text += "ACME TRADING - SALES REPORT                              Page " + std::to_string(page) +
                "\n\nCustomer  Name                Invoice   Date           Amount\n";
        for (int i = 0; i < 12; ++i) {
            char line[128];
            std::snprintf(line, sizeof line, "C%04d     %-18s  %7d   %2d/%d/2005  %11s\n", 1000 + i,
                          names[i % 3], 50000 + i, 1 + i % 12, 1 + i % 28, i % 2 ? "15,566.97" : "99.00");
            text += line;
        }
        text += '\f';
    }
    return text;
}

class PrintToWorkbook : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("print_to_workbook_test_" + std::to_string(::getpid()));
        printer_ =
            new TestPrinter(root_.string(), {{"PipeName", "SheetwiseJobs"}, {"Parameter307", kMonitor}});
        if (!printer_->Failure().empty()) {
            return;
        }
        fs::create_directories(root_ / "store");
        fs::create_directories(root_ / "out");
        ::setenv("SHEETWISE_REGISTRY_DIR", (root_ / "store").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        KVDriverOptionsMgr mgr;
        auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
            mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"Sales"));
        ASSERT_NE(profile, nullptr);
        profile->SetReportIdentifier(L"ACME TRADING - SALES REPORT");
        profile->SetDefaultOutputFolder((root_ / "out").wstring().c_str());
        profile->SetRemoveRowsWithSpace(TRUE);
        mgr.SaveSettings(nullptr);
        agent_ = new BackgroundProgram({kAgent, "-mode", "unattended"}, (root_ / "agent.out").string(),
                                       (root_ / "agent.log").string());
        ASSERT_TRUE(WaitForText(Log(), "serves print jobs", 10000)) << ReadTextFile(Log());
    }
    static void TearDownTestSuite() {
        delete agent_;
        agent_ = nullptr;
        delete printer_;
        printer_ = nullptr;
        ::unsetenv("SHEETWISE_REGISTRY_DIR");
    }
    void SetUp() override {
        if (!printer_->Failure().empty()) {
            GTEST_SKIP() << printer_->Failure();
        }
    }
    static std::string Log() { return (root_ / "agent.log").string(); }

    // Prints a file and waits for the agent's line about the job.
    std::string PrintAndWait(const std::string& lpArguments) {
        std::string out;
        const int job = printer_->Print(lpArguments, &out);
        EXPECT_GT(job, 0) << out;
        EXPECT_EQ(printer_->Cupsd().WaitForJob(job, 60).state, IPP_JSTATE_COMPLETED)
            << printer_->Cupsd().ErrorLog();
        const std::string tag = "job " + std::to_string(job) + " \"";
        const std::regex outcome("(^|\n)" + tag + "[^\n]*converted");
        for (int i = 0; i < 3000 && !std::regex_search(ReadTextFile(Log()), outcome); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(std::regex_search(ReadTextFile(Log()), outcome)) << ReadTextFile(Log());
        // The job's lines, in order.
        std::string lines;
        std::istringstream log(ReadTextFile(Log()));
        for (std::string line; std::getline(log, line);) {
            if (line.rfind("job " + std::to_string(job) + ":", 0) == 0 || line.rfind(tag, 0) == 0) {
                lines += line + "\n";
            }
        }
        return lines;
    }

    static inline TestPrinter* printer_ = nullptr;
    static inline BackgroundProgram* agent_ = nullptr;
    static inline fs::path root_;
};

}  // namespace

TEST_F(PrintToWorkbook, a_report_lands_in_its_profile_folder_and_the_next_one_beside_it) {
    std::ofstream(root_ / "sales.txt") << SalesReport(2);
    const std::string lines = PrintAndWait("-t 'Sales report' '" + (root_ / "sales.txt").string() + "'");
    const fs::path book = root_ / "out" / "Sales report.xls";
    // The monitor's status lines follow the job's messages: started, one
    // page each, ended; then the one line of the outcome.
    EXPECT_TRUE(std::regex_search(
        lines, std::regex("job [0-9]+: Waiting for print driver...\n"
                          "job [0-9]+: Initializing print job.\n"
                          "job [0-9]+: Printing 1 of 2 pages\n"
                          "job [0-9]+: Printing 2 of 2 pages\n"
                          "(job [0-9]+: .*\n)*"
                          "job [0-9]+ \"Sales report\": converted with profile \"Sales\" into " +
                          book.string() + "\n")))
        << lines;
    const WorkbookDump first = ReadWorkbook(book.string());
    ASSERT_TRUE(first.ok) << first.error;
    bool amount = false;
    for (const auto& [rc, cell] : first.cells) {
        amount = amount || (cell.type == "number" && cell.value.find("15566.97") != std::string::npos);
    }
    EXPECT_TRUE(amount) << "no typed amount in the workbook";
    EXPECT_GE(first.LastDataRow(), 20);

    const auto before = fs::last_write_time(book);
    const std::string again = PrintAndWait("-t 'Sales report' '" + (root_ / "sales.txt").string() + "'");
    EXPECT_NE(again.find("into " + (root_ / "out" / "Sales report (2).xls").string()), std::string::npos)
        << again;
    EXPECT_EQ(fs::last_write_time(book), before);
    EXPECT_TRUE(ReadWorkbook((root_ / "out" / "Sales report (2).xls").string()).ok);
}

TEST_F(PrintToWorkbook, a_report_no_profile_matches_is_kept_and_named_in_the_log) {
    std::ofstream(root_ / "memo.txt") << "MEMO TO ALL STAFF\n\nThe canteen closes early on Friday.\n";
    const std::string lines = PrintAndWait("'" + (root_ / "memo.txt").string() + "'");
    std::smatch kept;
    ASSERT_TRUE(
        std::regex_search(lines, kept,
                          std::regex("job [0-9]+ \"memo.txt\": not converted: no profile's report identifier "
                                     "matches the report; the job is kept: (.*job[0-9]+\\.grp)\n")))
        << lines;
    EXPECT_TRUE(fs::exists(kept[1].str()));
    EXPECT_FALSE(fs::exists(root_ / "out" / "memo.txt.xls"));
}
