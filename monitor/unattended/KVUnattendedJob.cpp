#include "monitor/unattended/KVUnattendedJob.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "parser/app/KVJobFiles.h"
#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "platform/shell/Shell.h"

extern char** environ;

namespace kvmonitor {

namespace {

constexpr size_t kIdentifierLines = 10;
constexpr size_t kMaxNameUnits = 200;
constexpr int kMaxNumber = 9999;

std::string Narrow(const std::wstring& text) {
    return sw::shell::ToNarrow(text);
}

std::string Kept(const std::wstring& groupFile) {
    return "; the job is kept: " + Narrow(groupFile);
}

// The printer text file the group file names (beside it when the name is
// relative), or the text file beside it; empty with the reason.
std::wstring TextFileOf(const std::wstring& groupFile, std::string* reason) {
    std::wstring textFile;
    std::wstring error;
    if (kvjob::ReadGroupFile(groupFile, textFile, error) == kvjob::GroupFileResult::Found) {
        const size_t slash = groupFile.rfind(L'/');
        if (textFile[0] != L'/' && slash != std::wstring::npos) {
            textFile = groupFile.substr(0, slash + 1) + textFile;
        }
        return textFile;
    }
    if (!error.empty()) {
        *reason = Narrow(error);
        return {};
    }
    textFile = kvjob::FindSiblingTextFile(groupFile);
    if (textFile.empty()) {
        *reason = "Output file not found.";
    }
    return textFile;
}

// Runs the converter and waits; its standard error is passed on, and its
// last line kept for the reason of a failure.
int RunParser(const std::vector<std::string>& arguments, std::string* lastLine) {
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) {
        *lastLine = std::string("cannot make a pipe: ") + std::strerror(errno);
        return -1;
    }
    std::vector<std::string> store = arguments;
    std::vector<char*> argv;
    for (auto& a : store) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(err[1]);
    if (rc != 0) {
        ::close(err[0]);
        *lastLine = "cannot start " + store[0] + ": " + std::strerror(rc);
        return -1;
    }
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(err[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        std::fwrite(buffer, 1, static_cast<size_t>(n), stderr);
        pending.append(buffer, static_cast<size_t>(n));
        if (pending.size() > 16384) {
            pending.erase(0, pending.size() - 8192);  // only the last line is wanted
        }
    }
    ::close(err[0]);
    while (!pending.empty() && (pending.back() == '\n' || pending.back() == '\r')) {
        pending.pop_back();
    }
    const size_t start = pending.rfind('\n');
    *lastLine = start == std::string::npos ? pending : pending.substr(start + 1);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

bool IsEmptyFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

}  // namespace

KVDriverOptionsExcel* MatchReportIdentifier(KVDriverOptionsMgr& mgr, const std::wstring& textFile) {
    const std::vector<std::wstring> lines = kvjob::ReadFirstLines(textFile, kIdentifierLines);
    if (lines.empty()) {
        return nullptr;
    }
    KVExcelFileFieldInfoParser parser;
    parser.Parse(lines);
    for (KVDriverOptionsProfile* entry : mgr.GetExcelProfileArray()) {
        auto* profile = dynamic_cast<KVDriverOptionsExcel*>(entry);
        if (profile == nullptr) {
            continue;
        }
        const wchar_t* identifier = profile->GetReportIdentifier();
        if (identifier != nullptr && *identifier != L'\0' && parser.ContainsText(identifier)) {
            return profile;
        }
    }
    return nullptr;
}

std::wstring WorkbookFileName(const std::wstring& documentName) {
    std::wstring name;
    for (wchar_t c : documentName) {
        name += (c == L'/' || c == L'\\' || c < 0x20 || c == 0x7F) ? L'_' : c;
    }
    const size_t first = name.find_first_not_of(L" .");
    name = first == std::wstring::npos ? std::wstring() : name.substr(first);
    while (!name.empty() && name.back() == L' ') {
        name.pop_back();
    }
    if (name.size() > kMaxNameUnits) {
        name.resize(kMaxNameUnits);
    }
    return (name.empty() ? L"untitled" : name) + L".xls";
}

std::wstring ReserveWorkbook(const std::wstring& folder, const std::wstring& documentName,
                             std::string* error) {
    const std::wstring file = WorkbookFileName(documentName);
    const std::wstring stem = file.substr(0, file.size() - 4);
    const std::wstring base = folder.empty() || folder.back() == L'/' ? folder : folder + L"/";
    for (int number = 1; number <= kMaxNumber; ++number) {
        std::wstring path = base;
        path += number == 1 ? file : stem + L" (" + std::to_wstring(number) + L").xls";
        const int fd =
            ::open(Narrow(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            *error = "cannot write in the output folder " + Narrow(folder) + ": " + std::strerror(errno);
            return {};
        }
    }
    *error = "the output folder " + Narrow(folder) + " holds " + std::to_string(kMaxNumber) +
             " workbooks of that name already";
    return {};
}

KVUnattendedOutcome ConvertUnattended(const std::wstring& documentName, const std::wstring& groupFileName,
                                      const std::wstring& parser) {
    KVUnattendedOutcome outcome;
    std::string reason;
    const std::wstring textFile = TextFileOf(groupFileName, &reason);
    if (textFile.empty()) {
        outcome.line = "not converted: " + reason + Kept(groupFileName);
        return outcome;
    }
    KVDriverOptionsMgr mgr;
    KVDriverOptionsExcel* profile = MatchReportIdentifier(mgr, textFile);
    if (profile == nullptr) {
        outcome.line =
            "not converted: no profile's report identifier matches the report" + Kept(groupFileName);
        return outcome;
    }
    const std::wstring profileName = profile->GetProfileName();
    const std::string with = "not converted with profile \"" + Narrow(profileName) + "\": ";
    const wchar_t* folderText = profile->GetDefaultOutputFolder();
    const std::wstring folder = folderText != nullptr ? folderText : L"";
    struct stat st {};
    if (folder.empty()) {
        outcome.line = with + "the profile names no output folder" + Kept(groupFileName);
        return outcome;
    }
    if (::stat(Narrow(folder).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        outcome.line = with + "the output folder " + Narrow(folder) + " does not exist" + Kept(groupFileName);
        return outcome;
    }
    const std::wstring workbook = ReserveWorkbook(folder, documentName, &reason);
    if (workbook.empty()) {
        outcome.line = with + reason + Kept(groupFileName);
        return outcome;
    }
    if (parser.empty()) {
        ::unlink(Narrow(workbook).c_str());
        outcome.line = with + "SheetwiseParser is neither beside the print monitor nor on the PATH" +
                       Kept(groupFileName);
        return outcome;
    }
    std::fprintf(stderr, "KVPrintMonitor: converting with profile \"%s\" into %s\n",
                 Narrow(profileName).c_str(), Narrow(workbook).c_str());
    std::fflush(stderr);
    std::string lastLine;
    const int status = RunParser({Narrow(parser), "-print", Narrow(groupFileName), "-profile",
                                  Narrow(profileName), "-out", Narrow(workbook), "-batch"},
                                 &lastLine);
    if (status == 0 && !IsEmptyFile(Narrow(workbook))) {
        outcome.converted = true;
        outcome.line = "converted with profile \"" + Narrow(profileName) + "\" into " + Narrow(workbook);
        return outcome;
    }
    if (IsEmptyFile(Narrow(workbook))) {
        ::unlink(Narrow(workbook).c_str());
    }
    if (lastLine.empty()) {
        lastLine = "the converter ended with status " + std::to_string(status);
    }
    outcome.line = with + lastLine + Kept(groupFileName);
    return outcome;
}

}  // namespace kvmonitor
