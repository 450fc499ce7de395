// The session agent between a driver and the monitor: the test plays the
// driver (the hand-off and the job's messages, as the backend sends them) to
// a real SheetwiseAgent starting the real KVPrintMonitor, with the printer on
// a scheduler of the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/vendor/AgentLink.h"
#include "platform/vendor/MessagePipe.h"
#include "platform/vendor/PrinterSettings.h"
#include "platform/vendor/agent/SessionEnvironment.h"
#include "platform/vendor/testing/TestPrinter.h"

namespace fs = std::filesystem;
using namespace sw::vendor;
using sw::testing::BackgroundProgram;
using sw::testing::ReadTextFile;
using sw::testing::TestPrinter;
using sw::testing::WaitForText;

namespace {

const std::string kAgent = SW_BINARY_DIR "/bin/SheetwiseAgent";
const std::string kMonitor = SW_BINARY_DIR "/bin/KVPrintMonitor";
const std::wstring kPrinter = L"Sheetwise Print Driver";

// A listening unix socket: a display server as far as the agent can tell.
class FakeDisplaySocket {
public:
    explicit FakeDisplaySocket(const std::string& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 1) != 0) {
            ADD_FAILURE() << "cannot listen on " << path << ": " << std::strerror(errno);
        }
    }
    ~FakeDisplaySocket() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }

private:
    std::string path_;
    int fd_ = -1;
};

class SessionAgentRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("agent_test_" + std::to_string(::getpid()));
        printer_ =
            new TestPrinter(root_.string(), {{"PipeName", "SheetwiseJobs"}, {"Parameter307", kMonitor}});
    }
    static void TearDownTestSuite() {
        delete printer_;
        printer_ = nullptr;
    }
    void SetUp() override {
        if (!printer_->Failure().empty()) {
            GTEST_SKIP() << printer_->Failure();
        }
        work_ = root_ / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(work_ / "store");
        ::setenv("SHEETWISE_REGISTRY_DIR", (work_ / "store").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }
    void TearDown() override {
        agent_.reset();
        ::unsetenv("SHEETWISE_REGISTRY_DIR");
    }

    std::string Log() const { return (work_ / "agent.log").string(); }
    void StartAgent(const std::string& mode) {
        agent_ = std::make_unique<BackgroundProgram>(std::vector<std::string>{kAgent, "-mode", mode},
                                                     (work_ / "agent.out").string(), Log());
        ASSERT_TRUE(WaitForText(Log(), "serves print jobs", 10000)) << ReadTextFile(Log());
    }
    static std::unique_ptr<AgentHandOff> Announce(int job, const std::wstring& document) {
        std::string error;
        auto handOff =
            AgentHandOff::Announce(::getuid(), {job, TestPrinter::kQueue, document, "tester"}, &error);
        EXPECT_NE(handOff, nullptr) << error;
        return handOff;
    }
    static void Post(std::uint32_t type, const std::wstring& document, const std::wstring& group = L"") {
        JobMessagePoster poster(::getuid(), L"SheetwiseJobs", 2000);
        ASSERT_TRUE(poster.Post(MakeJobMessage(type, document, group, kPrinter)));
    }
    static void SetMonitor(const std::string& program) {
        PrinterSettings settings = PrinterSettings::Load(TestPrinter::kQueue);
        settings.SetParameter(307, program);
        std::string error;
        ASSERT_TRUE(settings.Save(&error)) << error;
    }

    static inline TestPrinter* printer_ = nullptr;
    static inline fs::path root_;
    fs::path work_;
    std::unique_ptr<BackgroundProgram> agent_;
};

}  // namespace

TEST(agent_test, hand_off_lines_and_display_detection) {
    const auto line = [](std::string text) {
        EXPECT_EQ(text.back(), '\n');
        text.pop_back();
        return text;
    };
    AgentJob job;
    ASSERT_TRUE(DecodeAgentJob(line(EncodeAgentJob({12, "Q", L"Sales\tQ3\nfinal", "ann"})), &job));
    EXPECT_EQ(job.document, L"Sales Q3 final");
    EXPECT_EQ(job.user, "ann");
    EXPECT_FALSE(DecodeAgentJob("JOB\t-1\tQ\td\tu", &job));
    EXPECT_FALSE(DecodeAgentJob("JOB\t1\t\td\tu", &job));
    std::map<std::string, std::string> env;
    ASSERT_TRUE(DecodeAgentSession(line(EncodeAgentSession({{"DISPLAY", ":0"}})), &env));
    EXPECT_EQ(env["DISPLAY"], ":0");

    const std::string dir = fs::temp_directory_path() / ("agent_display_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    EXPECT_FALSE(sw::agent::WaylandDisplayIsLive("wayland-0", dir));
    {
        FakeDisplaySocket wayland(dir + "/wayland-0");
        EXPECT_TRUE(sw::agent::WaylandDisplayIsLive("wayland-0", dir));
        EXPECT_TRUE(sw::agent::WaylandDisplayIsLive(dir + "/wayland-0", ""));
    }
    EXPECT_FALSE(sw::agent::WaylandDisplayIsLive("wayland-0", dir));  // the desktop has ended
    EXPECT_TRUE(sw::agent::X11DisplayIsLive("localhost:10.0"));       // forwarded: taken on trust
    EXPECT_FALSE(sw::agent::X11DisplayIsLive(":7x"));
    sw::agent::SessionEnvironment session({{"DISPLAY", ":0"}, {"PATH", "/bin"}});
    EXPECT_EQ(session.ForProgram(false), std::vector<std::string>{"PATH=/bin"});
    fs::remove_all(dir);
}

TEST_F(SessionAgentRun, jobs_of_one_pipe_are_followed_one_after_another) {
    StartAgent("unattended");
    auto first = Announce(41, L"First");
    std::string answer;
    ASSERT_TRUE(first->WaitReady(10000, &answer)) << answer << ReadTextFile(Log());
    EXPECT_NE(answer.find("unattended"), std::string::npos) << answer;

    // The second job waits while the first job's monitor holds the pipe: its
    // messages must not reach the first job's monitor.
    auto second = Announce(42, L"Second");
    EXPECT_FALSE(second->WaitReady(500, &answer));
    Post(kJobStarted, L"First");
    Post(kJobEnded, L"First", (work_ / "gone.grp").wstring());
    ASSERT_TRUE(second->WaitReady(10000, &answer)) << answer << ReadTextFile(Log());
    Post(kJobStarted, L"Second");
    Post(kJobAborted, L"Second");

    ASSERT_TRUE(
        WaitForText(Log(), "job 42 \"Second\": not converted: the printer could not convert the job", 10000))
        << ReadTextFile(Log());
    // The first monitor frees the pipe before it converts: the second job's
    // monitor may start, and even end, before the first one's outcome is in
    // the log. What counts is that each outcome is its own job's.
    EXPECT_TRUE(WaitForText(Log(), "job 41 \"First\": not converted: Could not find GRP file.", 10000))
        << ReadTextFile(Log());
}

TEST_F(SessionAgentRun, a_monitor_it_cannot_start_is_refused_with_the_reason) {
    StartAgent("unattended");
    SetMonitor((work_ / "no-such-monitor").string());
    auto handOff = Announce(43, L"Lost");
    std::string answer;
    EXPECT_FALSE(handOff->WaitReady(10000, &answer));
    EXPECT_NE(answer.find("cannot be found"), std::string::npos) << answer;
    EXPECT_TRUE(WaitForText(Log(), "job 43 \"Lost\": not followed: the monitor program", 5000))
        << ReadTextFile(Log());
    SetMonitor(kMonitor);
}

TEST_F(SessionAgentRun, a_desktop_session_that_starts_later_gets_the_jobs_while_it_lasts) {
    StartAgent("auto");
    const std::string display = (work_ / "wayland-test").string();
    {
        auto server = std::make_unique<FakeDisplaySocket>(display);
        ::setenv("WAYLAND_DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // windows that need no real server
        BackgroundProgram autostart({kAgent}, (work_ / "second.out").string(),
                                    (work_ / "second.log").string());
        EXPECT_EQ(autostart.Wait(10000), 0) << ReadTextFile((work_ / "second.log").string());
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ASSERT_TRUE(WaitForText(Log(), "a desktop session started: display " + display, 5000))
            << ReadTextFile(Log());

        auto shown = Announce(44, L"Shown");
        std::string answer;
        ASSERT_TRUE(shown->WaitReady(10000, &answer)) << answer;
        EXPECT_EQ(answer.find("unattended"), std::string::npos) << answer;
        EXPECT_TRUE(
            WaitForText(Log(), "job 44 \"Shown\": followed by " + kMonitor + " on display " + display, 5000))
            << ReadTextFile(Log());
        Post(kJobStarted, L"Shown");
        Post(kJobAborted, L"Shown");
        EXPECT_TRUE(WaitForText(Log(), "job 44 \"Shown\": the monitor ended", 10000)) << ReadTextFile(Log());
    }
    // The desktop has gone: the next job is converted unattended.
    auto later = Announce(45, L"Later");
    std::string answer;
    ASSERT_TRUE(later->WaitReady(10000, &answer)) << answer;
    EXPECT_NE(answer.find("unattended"), std::string::npos) << answer;
    Post(kJobStarted, L"Later");
    Post(kJobAborted, L"Later");
    EXPECT_TRUE(WaitForText(Log(), "job 45 \"Later\": not converted", 10000)) << ReadTextFile(Log());
}

TEST_F(SessionAgentRun, a_monitor_left_waiting_by_a_vanished_driver_is_stopped) {
    StartAgent("unattended");
    {
        auto handOff = Announce(46, L"Vanished");
        std::string answer;
        ASSERT_TRUE(handOff->WaitReady(10000, &answer)) << answer;
        Post(kJobStarted, L"Vanished");
    }  // the driver is gone without the job's end
    EXPECT_TRUE(
        WaitForText(Log(), "job 46 \"Vanished\": the printer ended the job without reporting its end", 15000))
        << ReadTextFile(Log());
    EXPECT_TRUE(WaitForText(
        Log(), "job 46 \"Vanished\": not converted: the monitor was stopped before the job ended", 10000))
        << ReadTextFile(Log());
    // The pipe is free again for the next job.
    auto next = Announce(47, L"Next");
    std::string answer;
    EXPECT_TRUE(next->WaitReady(10000, &answer)) << answer;
    Post(kJobStarted, L"Next");
    Post(kJobAborted, L"Next");
    EXPECT_TRUE(WaitForText(Log(), "job 47 \"Next\": not converted", 10000)) << ReadTextFile(Log());
}

TEST_F(SessionAgentRun, a_monitor_killed_while_it_listens_is_reported_at_once) {
    StartAgent("unattended");
    auto handOff = Announce(48, L"Killed");
    std::string answer;
    ASSERT_TRUE(handOff->WaitReady(10000, &answer)) << answer << ReadTextFile(Log());
    // "READY<tab>monitor PID listens, unattended"
    const std::size_t at = answer.find("monitor ");
    ASSERT_NE(at, std::string::npos) << answer;
    const pid_t monitor = static_cast<pid_t>(std::stol(answer.substr(at + 8)));
    ASSERT_GT(monitor, 0) << answer;
    // Killed, it leaves its pipe behind: only its exit tells the agent, and
    // nothing else wakes the agent after that.
    ASSERT_EQ(::kill(monitor, SIGKILL), 0);
    EXPECT_TRUE(WaitForText(Log(), "job 48 \"Killed\": the monitor ended (signal Killed)", 5000))
        << ReadTextFile(Log());
    EXPECT_TRUE(
        WaitForText(Log(), "without converting the job; its files stay in the printer's spool folder", 5000))
        << ReadTextFile(Log());
}
