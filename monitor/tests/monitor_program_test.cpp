// KVPrintMonitor as a program, fed recorded job message sequences on the
// printer's real message pipe, with the printer on a scheduler of the test's
// own: its status lines, the converter it starts, the job it deletes after
// the end, and how it ends without a job; and the window's capture commands.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cups/cups.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "monitor/progress/KVSpoolerPrinter.h"
#include "monitor/window/KVPrintMonitorWnd.h"
#include "monitor/window/KVStatusLines.h"
#include "platform/vendor/MessagePipe.h"
#include "platform/vendor/PrinterSettings.h"
#include "platform/vendor/VendorPaths.h"
#include "platform/vendor/testing/TestPrinter.h"

namespace fs = std::filesystem;
using namespace sw::vendor;
using sw::testing::BackgroundProgram;
using sw::testing::ReadTextFile;
using sw::testing::TestPrinter;
using sw::testing::WaitForText;

namespace {

const std::string kMonitor = SW_BINARY_DIR "/bin/KVPrintMonitor";
const std::wstring kPrinter = L"Sheetwise Print Driver";

bool PipeListens(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

class MonitorProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path root =
            fs::temp_directory_path() / ("monitor_program_test_" + std::to_string(::getpid()));
        printer_ = new TestPrinter(root.string(), {{"PipeName", "SheetwiseJobs"}});
    }
    static void TearDownTestSuite() {
        delete printer_;
        printer_ = nullptr;
    }
    void SetUp() override {
        if (!printer_->Failure().empty()) {
            GTEST_SKIP() << printer_->Failure();
        }
        work_ = fs::path(printer_->Root()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(work_ / "store");
        ::setenv("SHEETWISE_REGISTRY_DIR", (work_ / "store").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        pipe_ = PipePath(::getuid(), L"SheetwiseJobs");
    }
    void TearDown() override { ::unsetenv("SHEETWISE_REGISTRY_DIR"); }

    std::unique_ptr<BackgroundProgram> StartMonitor() {
        auto monitor = std::make_unique<BackgroundProgram>(
            std::vector<std::string>{kMonitor}, (work_ / "out").string(), (work_ / "err").string());
        for (int i = 0; i < 250 && !PipeListens(pipe_); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(PipeListens(pipe_)) << ReadTextFile((work_ / "err").string());
        return monitor;
    }

    // The driver's side: a record with the page values it was sent with.
    static void Post(JobMessagePoster& poster, std::uint32_t type, const std::wstring& document,
                     PageValues values, const std::wstring& group = L"") {
        ASSERT_TRUE(poster.Post(MakeJobMessage(type, document, group, kPrinter), values));
    }

    // Records written in one go, so the monitor reads them in one batch.
    void PostTogether(const std::vector<JobMessageRecord>& records) {
        std::vector<std::uint8_t> bytes;
        for (const auto& r : records) {
            const auto one = EncodeJobMessageFrame(r, {1, 1});
            bytes.insert(bytes.end(), one.begin(), one.end());
        }
        const int fd = ::open(pipe_.c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }

    std::string Err() const { return ReadTextFile((work_ / "err").string()); }

    static inline TestPrinter* printer_ = nullptr;
    fs::path work_;
    std::string pipe_;
};

}  // namespace

TEST_F(MonitorProgram, status_lines_in_order_then_the_converter_on_the_group_file) {
    const fs::path jobs = work_ / "jobs";
    fs::create_directories(jobs);
    fs::copy_file(SW_SOURCE_DIR "/samples/SALES_0001.txt", jobs / "job5.txt");
    std::ofstream(jobs / "job5.grp") << "[Job]\nTextFileName=" << (jobs / "job5.txt").string() << "\n";

    auto monitor = StartMonitor();
    JobMessagePoster poster(::getuid(), L"SheetwiseJobs", 1000);
    Post(poster, kJobStarted, L"Quarterly sales", {2, 1});
    Post(poster, kPagePrinted, L"Quarterly sales", {2, 1});
    Post(poster, kPagePrinted, L"Quarterly sales", {1, 2});
    Post(poster, kJobEnded, L"Quarterly sales", {1, 2}, (jobs / "job5.grp").wstring());
    EXPECT_EQ(monitor->Wait(10000), 0) << Err();
    EXPECT_FALSE(fs::exists(pipe_)) << "the monitor let go of the pipe";
    // The converter, started on the job's group file, found no profile for
    // the report (the store is empty) and kept the job.
    ASSERT_TRUE(WaitForText((work_ / "err").string(), "No profile's report identifier matches", 20000))
        << Err();
    EXPECT_EQ(Err().substr(0, Err().find("Sheetwise:")),
              "Waiting for print driver...\nInitializing print job.\nPrinting 1 of 2 pages\nPrinting 2 of 2 "
              "pages\n");
    EXPECT_TRUE(fs::exists(jobs / "job5.grp"));
}

TEST_F(MonitorProgram, a_job_that_still_reports_after_the_end_is_deleted_from_the_queue) {
    std::ofstream(work_ / "ledger.txt") << "LEDGER\n";
    std::string out;
    const int held = printer_->Print("-H hold -t Ledger '" + (work_ / "ledger.txt").string() + "'", &out);
    ASSERT_GT(held, 0) << out;

    auto monitor = StartMonitor();
    PostTogether({MakeJobMessage(kJobStarted, L"Ledger", L"", kPrinter),
                  MakeJobMessage(kJobEnded, L"Ledger", (work_ / "none.grp").wstring(), kPrinter),
                  MakeJobMessage(kPagePrinted, L"LEDGER", L"", kPrinter)});
    EXPECT_EQ(monitor->Wait(10000), 0) << Err();
    EXPECT_EQ(printer_->Cupsd().WaitForJob(held, 10).state, IPP_JSTATE_CANCELED) << Err();
    EXPECT_NE(Err().find("deleted job " + std::to_string(held)), std::string::npos) << Err();
}

TEST_F(MonitorProgram, no_job_seen_is_an_error_and_a_quit_request_starts_nothing) {
    auto monitor = StartMonitor();
    PostTogether({MakeJobMessage(kJobEnded, L"", L"", kPrinter)});
    EXPECT_EQ(monitor->Wait(10000), 1);
    EXPECT_NE(Err().find("Error: Could not get resulting output from print driver!"), std::string::npos)
        << Err();

    auto stopped = StartMonitor();
    JobMessagePoster poster(::getuid(), L"SheetwiseJobs", 1000);
    Post(poster, kJobStarted, L"Quarterly sales", {3, 1});
    ASSERT_TRUE(WaitForText((work_ / "err").string(), "Initializing", 5000));
    stopped->Signal(SIGTERM);
    EXPECT_EQ(stopped->Wait(10000), 0);
    EXPECT_EQ(Err(), "Waiting for print driver...\nInitializing print job.\n");
    EXPECT_FALSE(fs::exists(pipe_));
}

TEST_F(MonitorProgram, capture_commands_and_a_printer_that_cannot_be_opened) {
    std::FILE* lines = std::tmpfile();
    KVStatusLines view(lines);
    KVSpoolerPrinter printer([](const std::string&) {});
    KVPrintMonitorWnd wnd(printer, view);
    std::string error;
    ASSERT_EQ(wnd.OnCreate(&error), 0) << error;
    EXPECT_TRUE(PipeListens(pipe_));
    EXPECT_EQ(wnd.OnCommand(KVPrintMonitorWnd::msc_nStopCapture, &error), 0);
    EXPECT_FALSE(fs::exists(pipe_));
    EXPECT_EQ(wnd.OnCommand(KVPrintMonitorWnd::msc_nStartCapture, &error), 0);
    EXPECT_TRUE(PipeListens(pipe_));
    wnd.GetReader().Stop();

    KVPrintMonitorWnd nowhere(printer, view, L"No Such Printer");
    EXPECT_EQ(nowhere.OnCreate(&error), -1);
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
    EXPECT_EQ(nowhere.OnCommand(KVPrintMonitorWnd::msc_nStopCapture, &error), -1);
    std::fclose(lines);
}
