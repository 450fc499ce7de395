// One store file and this process's connection to it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <functional>
#include <string>

#include "platform/registry/Registry.h"
#include "platform/registry/Sqlite.h"

namespace sw::registry::detail {

inline constexpr std::int64_t kRootKeyId = 1;

// Remembers the explanation of the last failure for LastErrorText().
void SetLastErrorText(std::string text);
std::string LastErrorTextOfThread();

// Maps a failed SQLite call on the hive file `path` to a registry result and
// records why.
LONG MapSqliteError(const SqliteError& error, const std::string& path);

class Hive {
public:
    explicit Hive(std::string path) : path_(std::move(path)) {}
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    const std::string& Path() const { return path_; }
    const Db& db() const { return db_; }

    // Runs `work` against the open store. A missing file answers
    // ERROR_FILE_NOT_FOUND without creating anything.
    LONG Read(const std::function<LONG()>& work);
    // Runs `work` as one all-or-nothing change: its own transaction, or a
    // savepoint inside a live scope. A result other than ERROR_SUCCESS, or an
    // exception, undoes whatever `work` did. Creates the file when missing.
    LONG Write(const std::function<LONG()>& work);
    // Whether writes could succeed now (the file is ours and writable).
    bool CanWrite();

    // Transaction scopes (see sw::registry::Transaction).
    LONG BeginScope(int& level);
    LONG CommitScope(int level);
    void RollbackScope(int level);
    bool InScope() const { return depth_ > 0 && pid_ == getpid(); }

    // Drops the connection unless a scope is alive.
    void Close();

private:
    enum class Verdict { Ours, Empty };

    LONG Open(bool forWrite);
    void AdoptAfterFork();
    Verdict Inspect();
    void Connect(bool readWrite, bool mayInitialise);
    void Initialise();
    LONG BeginImmediate();
    void RollbackQuietly(const char* sql) noexcept;
    LONG Denied(const char* why);

    std::string path_;
    Db db_;
    // A file found damaged or foreign is not examined again while it stays
    // the same file with the same size and time stamp.
    bool refused_ = false;
    struct stat refusedStat_ {};
    std::string refusedText_;
    bool readOnly_ = false;
    pid_t pid_ = getpid();
    int depth_ = 0;     // live scopes
    LONG broken_ = 0;   // result of a scope that failed to start
    int brokenAt_ = 0;  // its depth
    bool forkedInScope_ = false;
};

}  // namespace sw::registry::detail
