// Starting programs, finding and deleting files: the shell calls the
// programs make, on POSIX.
//
// Paths are wide text in the callers' code; they are converted to the
// process's narrow encoding (UTF-8) here, the one place that touches the
// file system by name.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sw::shell {

// Wide path to the narrow bytes the file system uses, and back. Bytes that
// are not valid UTF-8 are read as Windows-1252 so that no name is dropped.
std::string ToNarrow(const std::wstring& text);
std::wstring FromNarrow(const std::string& text);

// How a started program is shown. A console program started hidden gets no
// terminal input or output: its standard input and output are /dev/null;
// standard error stays with ours so that its complaints are not lost.
enum class ShowMode { Hidden, Normal };

struct Process {
    pid_t pid = -1;
    bool IsValid() const { return pid > 0; }
};

// Splits a parameter text the way a command line is split: blanks separate
// arguments, double quotes group blanks into one argument and are removed.
std::vector<std::wstring> SplitParameters(const std::wstring& parameters);

// Starts `file` (surrounding double quotes are removed) with `parameters`.
// Returns false, with the reason in `error` when given, when the program
// cannot be started (missing, not executable). `process` receives the
// process to wait for.
bool Execute(const std::wstring& file, const std::wstring& parameters, ShowMode show, Process* process,
             std::wstring* error = nullptr);

// Waits without a time limit for the process to end and returns its exit
// status (128 + signal number when a signal ended it), or -1 when there is
// nothing to wait for. The process is invalid afterwards.
int Wait(Process& process);

struct FoundFile {
    std::wstring path;  // folder of the pattern + name
    std::wstring name;
    bool isDirectory = false;
};

// Lists the entries of the pattern's folder whose names match its last
// component, where "*" matches any run of characters and "?" any one
// character ("name.*" matches "name.txt" and "name."). The folder part is
// taken literally. Entries come in name order; "." and ".." never match.
std::vector<FoundFile> FindFiles(const std::wstring& pattern);

// Deletes a file (never a folder). False, with the reason in `error` when
// given, when it does not exist or cannot be deleted.
bool DeleteFile(const std::wstring& path, std::wstring* error = nullptr);

bool FileExists(const std::wstring& path);

// True when the file exists and this process may not write it. On POSIX a
// read-only file can be unlinked from a writable folder; callers that must
// not replace a file the user protected ask this first.
bool IsReadOnlyFile(const std::wstring& path);

// True when a new file may take the place of `path`: there is none, or it is
// a file that is not read-only in a folder that lets this process put another
// file in its place. A folder at `path` cannot be replaced.
bool CanReplaceFile(const std::wstring& path);

// Folder of the running program, ending with "/".
std::wstring ProgramFolder();

// Matches `name` against a wildcard pattern of "*" and "?".
bool WildcardMatch(const std::wstring& pattern, const std::wstring& name);

}  // namespace sw::shell
