#include "platform/vendor/testing/TestPrinter.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace sw::testing {

namespace {

constexpr const char* kBackend = SW_BINARY_DIR "/bin/cups-backend/sheetwise";
constexpr const char* kPpd = SW_SOURCE_DIR "/driver/ppd/sheetwise.ppd";

}  // namespace

TestPrinter::TestPrinter(const std::string& root, const std::map<std::string, std::string>& settings)
    : root_(root) {
    if (!PrivateCupsd::Available(&failure_)) {
        return;
    }
    fs::remove_all(root_);
    for (const char* dir : {"", "/printers", "/run", "/jobs"}) {
        fs::create_directories(root_ + dir);
        // Filters and backends of other users must reach these folders.
        ::chmod((root_ + dir).c_str(), 0755);
    }
    ::setenv("SHEETWISE_PRINTER_DIR", (root_ + "/printers").c_str(), 1);
    ::setenv("SHEETWISE_RUNTIME_ROOT", (root_ + "/run").c_str(), 1);
    std::ofstream conf(root_ + "/printers/" + kQueue + ".conf");
    conf << "SpoolFolder=" << root_ << "/jobs\n";
    for (const auto& [key, value] : settings) {
        conf << key << "=" << value << "\n";
    }
    conf.close();
    cupsd_ = std::make_unique<PrivateCupsd>(CupsdOptions{
        {{"sheetwise", kBackend}},
        {{"SHEETWISE_PRINTER_DIR", root_ + "/printers"}, {"SHEETWISE_RUNTIME_ROOT", root_ + "/run"}}});
    if (!cupsd_->Running()) {
        failure_ = cupsd_->Failure();
        return;
    }
    std::string out;
    if (cupsd_->Run(std::string("lpadmin -p ") + kQueue + " -D 'Sheetwise Print Driver' -v sheetwise:/ -P '" +
                        kPpd + "' -E",
                    &out) != 0) {
        failure_ = "lpadmin failed: " + out;
    }
}

TestPrinter::~TestPrinter() {
    cupsd_.reset();
    ::unsetenv("SHEETWISE_PRINTER_DIR");
    ::unsetenv("SHEETWISE_RUNTIME_ROOT");
    if (std::getenv("SW_KEEP_CUPSD") == nullptr) {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
}

std::string TestPrinter::JobFolder() const {
    const passwd* me = ::getpwuid(::getuid());
    return root_ + "/jobs/" + (me != nullptr ? me->pw_name : std::to_string(::getuid()));
}

int TestPrinter::Print(const std::string& lpArguments, std::string* output) {
    if (cupsd_->Run(std::string("lp -d ") + kQueue + " " + lpArguments, output) != 0) {
        return -1;
    }
    return PrivateCupsd::JobIdFromLp(*output);
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv, const std::string& outFile,
                                     const std::string& errFile) {
    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0 && Wait(0) < 0) {
        ::kill(pid_, SIGTERM);
        if (Wait(5000) < 0) {
            ::kill(pid_, SIGKILL);
            Wait(5000);
        }
    }
}

int BackgroundProgram::Wait(int timeoutMs) {
    if (status_ >= 0 || pid_ <= 0) {
        return status_;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void BackgroundProgram::Signal(int signal) const {
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, signal);
    }
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool WaitForText(const std::string& path, const std::string& text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ReadTextFile(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace sw::testing
