// The backend program run as cupsd runs it, on files that must fail cleanly
// or finish in bounded time: no half job files, a clear ERROR line, and the
// exit status that cancels the job without stopping the queue.
#include <cups/backend.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/tests/HostilePdf.h"

namespace fs = std::filesystem;
using namespace sw::driver::testing;

namespace {

const std::string kBackend = SW_BINARY_DIR "/bin/cups-backend/sheetwise";

struct Outcome {
    int status = -1;
    std::string errors;
    double seconds = 0;
};

class BackendRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("backend_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "printers");
        fs::create_directories(dir_ / "run");
        Settings("");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Settings(const std::string& extra) {
        std::ofstream(dir_ / "printers" / "Sheetwise_Print_Driver.conf")
            << "SpoolFolder=" << (dir_ / "jobs").string() << "\n"
            << extra;
    }
    // `prefix` goes before the backend's command (a time-out, say).
    Outcome Run(const std::string& pdf, const std::string& title = "report.pdf", int job = 7,
                const std::string& prefix = "") {
        const fs::path input = dir_ / "input.pdf";
        std::ofstream(input, std::ios::binary) << pdf;
        const passwd* me = ::getpwuid(::getuid());
        const std::string command =
            "PRINTER=Sheetwise_Print_Driver SHEETWISE_PRINTER_DIR='" + (dir_ / "printers").string() +
            "' SHEETWISE_RUNTIME_ROOT='" + (dir_ / "run").string() + "' TMPDIR='" + dir_.string() + "' " +
            prefix + " '" + kBackend + "' " + std::to_string(job) + " '" + me->pw_name + "' '" + title +
            "' 1 '' <'" + input.string() + "' 2>'" + (dir_ / "stderr").string() + "'";
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        Outcome out;
        out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::stringstream ss;
        ss << std::ifstream(dir_ / "stderr").rdbuf();
        out.errors = ss.str();
        return out;
    }
    // Files left in the owner's job folder (hidden ones included).
    std::size_t JobFiles() const {
        const passwd* me = ::getpwuid(::getuid());
        const fs::path folder = dir_ / "jobs" / me->pw_name;
        if (!fs::exists(folder)) {
            return 0;
        }
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    fs::path dir_;
};

}  // namespace

TEST_F(BackendRun, discovery_and_jobs_that_cannot_be_converted) {
    std::string line;
    {
        FILE* pipe = ::popen(("'" + kBackend + "'").c_str(), "r");
        char buffer[256] = {};
        ASSERT_NE(std::fgets(buffer, sizeof buffer, pipe), nullptr);
        line = buffer;
        EXPECT_EQ(::pclose(pipe), 0);
    }
    EXPECT_EQ(line, "direct sheetwise:/ \"Sheetwise Print Driver\" \"Sheetwise Print Driver\"\n");

    const struct {
        std::string pdf;
        std::string message;
    } failures[] = {
        {"%PDF-1.4\nthis is no PDF at all", "not a readable PDF"},
        {NoTextPdf(), "no text to convert"},
        {"", "the job is empty"},
    };
    for (const auto& failure : failures) {
        const Outcome out = Run(failure.pdf);
        EXPECT_EQ(out.status, CUPS_BACKEND_CANCEL) << out.errors;
        EXPECT_NE(out.errors.find("ERROR: report: "), std::string::npos) << out.errors;
        EXPECT_NE(out.errors.find(failure.message), std::string::npos) << out.errors;
        EXPECT_EQ(JobFiles(), 0U) << "no half job files";
    }

    // A user without an account is the job's fault; a spool folder of someone
    // else is the printer's, which cupsd's error policy then handles.
    const std::string command =
        "PRINTER=Q '" + kBackend + "' 1 no-such-user-here t 1 '' /dev/null 2>/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), CUPS_BACKEND_CANCEL);
}

TEST_F(BackendRun, hostile_pdfs_end_in_bounded_time) {
    const Outcome broken = Run(BrokenStreamPdf());
    EXPECT_TRUE(broken.status == CUPS_BACKEND_CANCEL || broken.status == CUPS_BACKEND_OK) << broken.errors;
    const Outcome loop = Run(SelfDrawingFormPdf());
    EXPECT_EQ(loop.status, CUPS_BACKEND_OK) << loop.errors;
    const Outcome deep = Run(DeepNestingPdf(100000));
    EXPECT_TRUE(deep.status == CUPS_BACKEND_CANCEL || deep.status == CUPS_BACKEND_OK) << deep.errors;
    for (const Outcome& out : {broken, loop, deep}) {
        EXPECT_LT(out.seconds, 30) << out.errors;
    }

    // A page that takes longer than the printer allows ends the job.
    const std::size_t before = JobFiles();
    Settings("PageSeconds=1\n");
    const Outcome slow = Run(ManyRunsPdf(400000));
    EXPECT_EQ(slow.status, CUPS_BACKEND_CANCEL) << slow.errors;
    EXPECT_NE(slow.errors.find("page 1: reading took longer than 1 s"), std::string::npos) << slow.errors;
    EXPECT_LT(slow.seconds, 15);
    EXPECT_EQ(JobFiles(), before);

#if !defined(__SANITIZE_ADDRESS__)
    // The reading process may not take more memory than the printer allows
    // (the sanitizer's shadow memory rules out a limit in its builds).
    Settings("MemoryLimitMB=64\n");
    const Outcome hungry = Run(ManyRunsPdf(400000));
    EXPECT_EQ(hungry.status, CUPS_BACKEND_CANCEL) << hungry.errors;
    EXPECT_NE(hungry.errors.find("64 MB of memory the printer allows"), std::string::npos) << hungry.errors;
    EXPECT_EQ(JobFiles(), before);
#endif

    // Cancelling the job (cupsd's SIGTERM) ends it at once, without files.
    Settings("");
    const Outcome cancelled = Run(ManyPagesPdf(10000), "inventory", 9, "timeout --preserve-status -s TERM 1");
    EXPECT_EQ(cancelled.status, CUPS_BACKEND_CANCEL) << cancelled.errors;
    EXPECT_NE(cancelled.errors.find("the job was cancelled"), std::string::npos) << cancelled.errors;
    EXPECT_LT(cancelled.seconds, 5);
    EXPECT_EQ(JobFiles(), before);
}

TEST_F(BackendRun, ten_thousand_pages_are_read_page_by_page) {
    const Outcome many = Run(ManyPagesPdf(10000), "inventory", 8);
    ASSERT_EQ(many.status, CUPS_BACKEND_OK) << many.errors;
    const passwd* me = ::getpwuid(::getuid());
    std::ifstream text(dir_ / "jobs" / me->pw_name / "job8.txt");
    std::size_t lines = 0;
    for (std::string l; std::getline(text, l);) {
        lines += l.find("]]12.50") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(lines, 10000U);
}
