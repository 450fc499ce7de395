#include "platform/spooler/testing/PrivateCupsd.h"

#include <cups/cups.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace sw::testing {

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kSystemServerBin = "/usr/lib/cups";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Accepting(const std::string& socket) {
    http_t* http =
        httpConnect2(socket.c_str(), ippPort(), nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, 1000, nullptr);
    if (http == nullptr) {
        return false;
    }
    httpClose(http);
    return true;
}

}  // namespace

bool PrivateCupsd::Available(std::string* reason) {
    if (::access(kCupsd, X_OK) != 0) {
        *reason = std::string(kCupsd) + " is not installed (Debian package cups-daemon)";
        return false;
    }
    return true;
}

PrivateCupsd::PrivateCupsd(const CupsdOptions& options) {
    char pattern[] = "/tmp/sw-cupsd-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        failure_ = "cannot make a temporary folder";
        return;
    }
    root_ = pattern;
    // Filters run as "lp" when we are root: the tree must be traversable.
    ::chmod(root_.c_str(), 0755);
    for (const char* dir : {"conf", "bin", "bin/backend", "spool", "cache", "state", "log"}) {
        fs::create_directories(root_ + "/" + dir);
        ::chmod((root_ + "/" + dir).c_str(), 0755);
    }
    // The system's filters and helper programs, our backends only.
    fs::create_symlink(std::string(kSystemServerBin) + "/filter", root_ + "/bin/filter");
    fs::create_symlink(std::string(kSystemServerBin) + "/daemon", root_ + "/bin/daemon");
    const bool root = ::geteuid() == 0;
    for (const auto& [name, program] : options.backends) {
        const std::string target = root_ + "/bin/backend/" + name;
        fs::copy_file(program, target, fs::copy_options::overwrite_existing);
        // cupsd runs a backend as root only when it is private to root.
        ::chmod(target.c_str(), root ? 0700 : 0755);
    }

    const std::string socket = root_ + "/cups.sock";
    std::string files = "ServerRoot " + root_ + "/conf\nServerBin " + root_ +
                        "/bin\nDataDir /usr/share/cups\n" + "RequestRoot " + root_ + "/spool\nCacheDir " +
                        root_ + "/cache\nStateDir " + root_ + "/state\nErrorLog " + root_ +
                        "/log/error_log\nAccessLog " + root_ + "/log/access_log\nPageLog " + root_ +
                        "/log/page_log\nPrintcap " + root_ + "/printcap\nFileDevice No\n";
    if (root) {
        files += "User lp\nGroup lp\nSystemGroup root\n";
    } else {
        const group* g = ::getgrgid(::getegid());
        files += std::string("SystemGroup ") + (g != nullptr ? g->gr_name : "root") + "\n";
    }
    std::string conf = "Listen " + socket +
                       "\nLogLevel debug\nBrowsing No\nDefaultAuthType None\nWebInterface No\n"
                       "MaxLogSize 0\nPreserveJobHistory Yes\nJobKillDelay 5\n"
                       "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                       "<Location /admin>\nOrder allow,deny\nAllow all\n</Location>\n"
                       "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n";
    for (const auto& [name, value] : options.environment) {
        files.append("SetEnv ").append(name).append(" ").append(value).append("\n");
    }
    Write(root_ + "/conf/cups-files.conf", files);
    Write(root_ + "/conf/cupsd.conf", conf);

    const std::string out = root_ + "/log/cupsd.out";
    // Stopping and starting it from another process: the scheduler started
    // anew lives in a session of its own, bounded in time so it cannot
    // outlive a test that dies.
    Write(root_ + "/spooler-service",
          "#!/bin/sh\n"
          "root='" +
              root_ +
              "'\n"
              "case \"$1\" in\n"
              "stop)\n"
              "  pid=$(cat \"$root/cupsd.pid\" 2>/dev/null) || exit 0\n"
              "  kill -TERM \"$pid\" 2>/dev/null || exit 0\n"
              "  i=0\n"
              "  while [ -d /proc/$pid ] && ! grep -q '^State:.*Z' /proc/$pid/status 2>/dev/null && [ $i -lt "
              "150 ]; do\n"
              "    sleep 0.1; i=$((i+1)); done ;;\n"
              "start)\n"
              "  setsid timeout 900 " +
              std::string(kCupsd) +
              " -f -c \"$root/conf/cupsd.conf\" -s \"$root/conf/cups-files.conf\" \\\n"
              "    >>\"$root/log/cupsd.out\" 2>&1 </dev/null &\n"
              "  echo $! >\"$root/cupsd.pid\"\n"
              "  i=0\n"
              "  until lpstat -h \"$root/cups.sock\" -r >/dev/null 2>&1; do\n"
              "    [ $i -ge 150 ] && exit 1; sleep 0.1; i=$((i+1)); done ;;\n"
              "*) exit 2 ;;\n"
              "esac\n");
    ::chmod((root_ + "/spooler-service").c_str(), 0755);
    pid_ = ::fork();
    if (pid_ == 0) {
        // A test that dies takes its scheduler with it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        std::FILE* log = std::freopen(out.c_str(), "w", stderr);
        (void)log;
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        const std::string c = root_ + "/conf/cupsd.conf";
        const std::string s = root_ + "/conf/cups-files.conf";
        ::execl(kCupsd, kCupsd, "-f", "-c", c.c_str(), "-s", s.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 150; ++i) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            failure_ = "cupsd ended at start: " + ReadAll(out) + ReadAll(root_ + "/log/error_log");
            return;
        }
        if (Accepting(socket)) {
            Write(root_ + "/cupsd.pid", std::to_string(pid_) + "\n");
            // libcups keeps the server it chose first: tell it anew.
            ::setenv("CUPS_SERVER", socket.c_str(), 1);
            cupsSetServer(socket.c_str());
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    failure_ = "cupsd did not answer on " + socket + ": " + ReadAll(out);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

PrivateCupsd::~PrivateCupsd() {
    const pid_t original = pid_;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
    }
    // A scheduler started again through ServiceCommand().
    const pid_t restarted = static_cast<pid_t>(std::atoi(ReadAll(root_ + "/cupsd.pid").c_str()));
    if (restarted > 0 && restarted != original && ::kill(restarted, SIGTERM) == 0) {
        for (int i = 0; i < 100 && ::kill(restarted, 0) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (!root_.empty() && std::getenv("SW_KEEP_CUPSD") == nullptr) {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
}

int PrivateCupsd::Run(const std::string& command, std::string* output) const {
    const std::string file = root_ + "/log/command.out";
    const int status = std::system((command + " >'" + file + "' 2>&1 </dev/null").c_str());
    if (output != nullptr) {
        *output = ReadAll(file);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string PrivateCupsd::ErrorLog() const {
    return ReadAll(root_ + "/log/error_log");
}

int PrivateCupsd::JobIdFromLp(const std::string& lpOutput) {
    std::smatch m;
    static const std::regex pattern("request id is .*-([0-9]+)");
    return std::regex_search(lpOutput, m, pattern) ? std::stoi(m[1].str()) : -1;
}

PrivateCupsd::JobEnd PrivateCupsd::WaitForJob(int jobId, int timeoutSeconds) const {
    JobEnd end;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        char uri[HTTP_MAX_URI];
        std::snprintf(uri, sizeof uri, "ipp://localhost/jobs/%d", jobId);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
        int state = 0;
        if (response != nullptr) {
            ipp_attribute_t* attr = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
            state = attr != nullptr ? ippGetInteger(attr, 0) : 0;
            attr = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT);
            end.message = attr != nullptr && ippGetString(attr, 0, nullptr) != nullptr
                              ? ippGetString(attr, 0, nullptr)
                              : "";
            ippDelete(response);
        }
        if (state >= IPP_JSTATE_STOPPED) {
            end.state = state;
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return end;
}

bool PrivateCupsd::QueueState(const std::string& queue, int* state, bool* accepting) const {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (response == nullptr) {
        return false;
    }
    ipp_attribute_t* attr = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
    *state = attr != nullptr ? ippGetInteger(attr, 0) : 0;
    attr = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    *accepting = attr != nullptr && ippGetBoolean(attr, 0) != 0;
    ippDelete(response);
    return true;
}

}  // namespace sw::testing
