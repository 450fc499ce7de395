#include "platform/spooler/ServiceControl.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

extern char** environ;

struct SC_HANDLE__ {
    bool manager = false;
};

namespace {

constexpr DWORD kInvalidHandle = 6;

SC_HANDLE__ g_manager{true};
SC_HANDLE__ g_spooler{false};

bool Exists(const char* path) {
    return ::access(path, X_OK) == 0;
}

// The command line that stops or starts the scheduler here.
std::vector<std::string> SchedulerCommand(const std::string& action) {
    const char* configured = std::getenv("SHEETWISE_SPOOLER_SERVICE");
    if (configured != nullptr && *configured != '\0') {
        return {configured, action};
    }
    struct stat st {};
    if (::stat("/run/systemd/system", &st) == 0 && S_ISDIR(st.st_mode)) {
        return {"systemctl", action, "cups.service"};
    }
    if (Exists("/usr/sbin/invoke-rc.d")) {
        return {"/usr/sbin/invoke-rc.d", "cups", action};
    }
    if (Exists("/etc/init.d/cups")) {
        return {"/etc/init.d/cups", action};
    }
    return {};
}

BOOL RunScheduler(const std::string& action) {
    const std::vector<std::string> command = SchedulerCommand(action);
    if (command.empty()) {
        SpoolerSetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return FALSE;
    }
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        SpoolerSetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return FALSE;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        SpoolerSetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
        return FALSE;
    }
    SpoolerSetLastError(0);
    return TRUE;
}

bool IsSpooler(SC_HANDLE handle) {
    if (handle != &g_spooler) {
        SpoolerSetLastError(kInvalidHandle);
        return false;
    }
    return true;
}

}  // namespace

SC_HANDLE OpenSCManagerW(LPCWSTR /*lpMachineName*/, LPCWSTR /*lpDatabaseName*/, DWORD /*dwDesiredAccess*/) {
    SpoolerSetLastError(0);
    return &g_manager;
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD /*dwDesiredAccess*/) {
    if (hSCManager != &g_manager || lpServiceName == nullptr) {
        SpoolerSetLastError(kInvalidHandle);
        return nullptr;
    }
    std::wstring name = lpServiceName;
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    if (name != L"spooler") {
        SpoolerSetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    SpoolerSetLastError(0);
    return &g_spooler;
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, SERVICE_STATUS* lpServiceStatus) {
    if (!IsSpooler(hService)) {
        return FALSE;
    }
    if (dwControl != SERVICE_CONTROL_STOP) {
        SpoolerSetLastError(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
        return FALSE;
    }
    const BOOL stopped = RunScheduler("stop");
    if (lpServiceStatus != nullptr) {
        *lpServiceStatus = {};
        lpServiceStatus->dwCurrentState = stopped ? SERVICE_STOPPED : SERVICE_RUNNING;
    }
    return stopped;
}

BOOL StartServiceW(SC_HANDLE hService, DWORD /*dwNumServiceArgs*/, LPCWSTR* /*lpServiceArgVectors*/) {
    if (!IsSpooler(hService)) {
        return FALSE;
    }
    return RunScheduler("start");
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) {
    return (hSCObject == &g_manager || hSCObject == &g_spooler) ? TRUE : FALSE;
}
