#include "platform/shell/Shell.h"
#include "platform/base/TextCodec.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace sw::shell {
namespace {

std::wstring ErrnoText(int err) {
    return FromNarrow(std::strerror(err));
}

}  // namespace

std::string ToNarrow(const std::wstring& text) {
    return sw::base::ToUtf8(text);
}

std::wstring FromNarrow(const std::string& text) {
    return sw::base::FromUtf8OrCp1252(text);
}

std::vector<std::wstring> SplitParameters(const std::wstring& parameters) {
    std::vector<std::wstring> args;
    std::wstring current;
    bool inQuotes = false;
    bool have = false;
    for (wchar_t c : parameters) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            have = true;
        } else if (!inQuotes && (c == L' ' || c == L'\t')) {
            if (have) {
                args.push_back(current);
                current.clear();
                have = false;
            }
        } else {
            current += c;
            have = true;
        }
    }
    if (have) {
        args.push_back(current);
    }
    return args;
}

bool Execute(const std::wstring& file, const std::wstring& parameters, ShowMode show, Process* process,
             std::wstring* error) {
    std::wstring program = file;
    if (program.size() >= 2 && program.front() == L'"' && program.back() == L'"') {
        program = program.substr(1, program.size() - 2);
    }
    if (program.empty()) {
        if (error) {
            *error = L"No program given.";
        }
        return false;
    }
    const std::string narrowProgram = ToNarrow(program);
    // posix_spawn reports a missing program only through the child's exit
    // status on some C libraries; check first so the caller hears why.
    if (access(narrowProgram.c_str(), X_OK) != 0) {
        if (error) {
            *error = ErrnoText(errno) + L": " + program;
        }
        return false;
    }
    std::vector<std::string> narrowArgs;
    narrowArgs.push_back(narrowProgram);
    for (const auto& arg : SplitParameters(parameters)) {
        narrowArgs.push_back(ToNarrow(arg));
    }
    std::vector<char*> argv;
    for (auto& arg : narrowArgs) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (show == ShowMode::Hidden) {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, narrowProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        if (error) {
            *error = ErrnoText(rc) + L": " + program;
        }
        return false;
    }
    if (process) {
        process->pid = pid;
    } else {
        // Nobody will wait: reap it now rather than leave a zombie behind.
        Process p{pid};
        Wait(p);
    }
    return true;
}

int Wait(Process& process) {
    if (!process.IsValid()) {
        return -1;
    }
    int status = 0;
    pid_t r;
    do {
        r = waitpid(process.pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    process.pid = -1;
    if (r < 0) {
        return -1;
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

bool WildcardMatch(const std::wstring& pattern, const std::wstring& name) {
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::wstring::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

std::vector<FoundFile> FindFiles(const std::wstring& pattern) {
    std::vector<FoundFile> found;
    const size_t slash = pattern.rfind(L'/');
    const std::wstring folder = slash == std::wstring::npos ? L"" : pattern.substr(0, slash + 1);
    const std::wstring namePattern = slash == std::wstring::npos ? pattern : pattern.substr(slash + 1);
    DIR* dir = opendir(folder.empty() ? "." : ToNarrow(folder).c_str());
    if (!dir) {
        return found;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string narrowName = entry->d_name;
        if (narrowName == "." || narrowName == "..") {
            continue;
        }
        const std::wstring name = FromNarrow(narrowName);
        if (!WildcardMatch(namePattern, name)) {
            continue;
        }
        FoundFile f;
        f.name = name;
        f.path = folder + name;
        struct stat st {};
        f.isDirectory = stat(ToNarrow(f.path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        found.push_back(std::move(f));
    }
    closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
    return found;
}

bool DeleteFile(const std::wstring& path, std::wstring* error) {
    const std::string narrow = ToNarrow(path);
    struct stat st {};
    if (lstat(narrow.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (error) {
            *error = ErrnoText(EISDIR);
        }
        return false;
    }
    if (unlink(narrow.c_str()) != 0) {
        if (error) {
            *error = ErrnoText(errno);
        }
        return false;
    }
    return true;
}

bool FileExists(const std::wstring& path) {
    struct stat st {};
    return stat(ToNarrow(path).c_str(), &st) == 0;
}

bool IsReadOnlyFile(const std::wstring& path) {
    const std::string narrow = ToNarrow(path);
    struct stat st {};
    if (stat(narrow.c_str(), &st) != 0) {
        return false;
    }
    // The superuser may write anything, but a file without any write bit was
    // still protected by its owner on purpose.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(narrow.c_str(), W_OK) != 0;
}

bool CanReplaceFile(const std::wstring& path) {
    const std::string narrow = ToNarrow(path);
    struct stat st {};
    if (stat(narrow.c_str(), &st) != 0) {
        return true;
    }
    if (S_ISDIR(st.st_mode) || IsReadOnlyFile(path)) {
        return false;
    }
    const size_t slash = narrow.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : narrow.substr(0, slash);
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

std::wstring ProgramFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return L"./";
    }
    std::string path(buffer, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return FromNarrow(slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1));
}

}  // namespace sw::shell
