// From lp to the workbook on a desktop (the offscreen platform stands in for
// the display): the session agent shows the job in the monitor's window,
// the monitor hands the finished job to the converter, and the user (a
// scripted one, SHEETWISE_UI_SCRIPT) names the workbook in its save dialog.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cups/cups.h>

#include <filesystem>
#include <fstream>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "platform/vendor/testing/TestPrinter.h"
#include "tests/support/WorkbookReader.h"

namespace fs = std::filesystem;
using sw::testing::BackgroundProgram;
using sw::testing::ReadTextFile;
using sw::testing::TestPrinter;
using sw::testing::WaitForText;

TEST(desktop_print_test, the_monitor_shows_the_job_and_the_user_names_the_workbook) {
    const fs::path root = fs::temp_directory_path() / ("desktop_print_test_" + std::to_string(::getpid()));
    TestPrinter printer(root.string(), {{"PipeName", "SheetwiseJobs"},
                                        {"Parameter307", SW_BINARY_DIR "/bin/KVPrintMonitor"}});
    if (!printer.Failure().empty()) {
        GTEST_SKIP() << printer.Failure();
    }
    fs::create_directories(root / "store");
    ::setenv("SHEETWISE_REGISTRY_DIR", (root / "store").c_str(), 1);
    {
        KVDriverOptionsMgr mgr;
        auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
            mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"Sales"));
        ASSERT_NE(profile, nullptr);
        profile->SetReportIdentifier(L"ACME TRADING - SALES REPORT");
        mgr.SaveSettings(nullptr);
    }
    const fs::path book = root / "chosen.xls";
    std::ofstream(root / "script.txt")
        << "wait Save As\ntype File name: = " << book.string() << "\nclick Save\n";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("SHEETWISE_VIEWER", "true", 1);
    ::setenv("SHEETWISE_UI_SCRIPT", (root / "script.txt").c_str(), 1);
    const std::string log = (root / "agent.log").string();
    {
        BackgroundProgram agent({SW_BINARY_DIR "/bin/SheetwiseAgent", "-mode", "desktop"},
                                (root / "agent.out").string(), log);
        ASSERT_TRUE(WaitForText(log, "serves print jobs", 10000)) << ReadTextFile(log);

        std::ofstream(root / "sales.txt") << "ACME TRADING - SALES REPORT                    Page 1\n\n"
                                             "Customer  Name                Amount\n"
                                             "C1001     Acme Corp           1,234.50\n"
                                             "C1002     Bolt & Nut Ltd         99.00\n";
        std::string out;
        const int job = printer.Print("-t 'Sales report' '" + (root / "sales.txt").string() + "'", &out);
        ASSERT_GT(job, 0) << out;
        EXPECT_EQ(printer.Cupsd().WaitForJob(job, 60).state, IPP_JSTATE_COMPLETED);
        EXPECT_TRUE(WaitForText(log, "job " + std::to_string(job) + " \"Sales report\": followed by", 10000))
            << ReadTextFile(log);
        // The agent stays until the converter has ended: its output comes to the log.
        EXPECT_TRUE(WaitForText(log, "\"Sales report\": the monitor ended (status 0)", 60000))
            << ReadTextFile(log);
    }
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("SHEETWISE_VIEWER");
    ::unsetenv("SHEETWISE_UI_SCRIPT");
    ::unsetenv("SHEETWISE_REGISTRY_DIR");
    EXPECT_EQ(ReadTextFile(log).find("SHEETWISE_UI_SCRIPT"), std::string::npos) << ReadTextFile(log);
    const WorkbookDump dump = ReadWorkbook(book.string());
    ASSERT_TRUE(dump.ok) << dump.error << ReadTextFile(log);
    EXPECT_EQ(dump.Value(0, 0), "ACME TRADING - SALES REPORT");
}
