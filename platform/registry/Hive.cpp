#include "platform/registry/Hive.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

namespace sw::registry::detail {

namespace {

// "SWRG": marks a file as a settings store of this system.
constexpr std::int64_t kApplicationId = 0x53575247;
constexpr std::int64_t kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 10000;
constexpr char kSqliteMagic[] = "SQLite format 3";  // 16 bytes with its NUL

thread_local std::string t_lastError;

// Connections inherited over fork(): the child must neither use nor close
// them. Kept reachable so leak checkers do not report them.
std::vector<Db>& Abandoned() {
    static std::vector<Db> abandoned;
    return abandoned;
}

struct Rejected {
    LONG code;
};

[[noreturn]] void Reject(const std::string& path, const std::string& why) {
    SetLastErrorText("settings store " + path + " " + why + "; the file was left untouched");
    throw Rejected{ERROR_BADDB};
}

std::string UriFor(const std::string& path) {
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7F) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            uri += buf;
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri;
}

// Creates every missing folder of `dir`.
int MakeFolders(const std::string& dir) {
    if (dir.empty()) {
        return 0;
    }
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (int rc = MakeFolders(dir.substr(0, slash)); rc != 0) {
            return rc;
        }
    }
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        return errno;
    }
    return 0;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void SetLastErrorText(std::string text) {
    t_lastError = std::move(text);
}

std::string LastErrorTextOfThread() {
    return t_lastError;
}

LONG MapSqliteError(const SqliteError& error, const std::string& path) {
    const std::string where = "settings store " + path;
    switch (error.code()) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            SetLastErrorText(where + " stayed locked by another process: " + error.what());
            return ERROR_BUSY;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            SetLastErrorText("no write permission for " + where + ": " + error.what());
            return ERROR_ACCESS_DENIED;
        case SQLITE_FULL:
        case SQLITE_IOERR:
            SetLastErrorText("cannot write " + where + ": " + error.what());
            return ERROR_CANTWRITE;
        case SQLITE_CANTOPEN:
            SetLastErrorText("cannot open " + where + ": " + error.what());
            return ERROR_CANTOPEN;
        case SQLITE_NOMEM:
            SetLastErrorText("out of memory using " + where);
            return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_TOOBIG:
            SetLastErrorText("value too large for " + where);
            return ERROR_INVALID_PARAMETER;
        default:
            SetLastErrorText(where + " is damaged (" + error.what() + "); the file was left untouched");
            return ERROR_BADDB;
    }
}

LONG Hive::Denied(const char* why) {
    SetLastErrorText("no write permission for settings store " + path_ + ": " + why);
    return ERROR_ACCESS_DENIED;
}

Hive::Verdict Hive::Inspect() {
    // Another process may be creating the file this very moment, so a header
    // that does not look right is read once more before the file is refused.
    for (int attempt = 0;; ++attempt) {
        int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            int err = errno;
            if (err == EACCES || err == EPERM) {
                SetLastErrorText("no read permission for settings store " + path_);
                throw Rejected{ERROR_ACCESS_DENIED};
            }
            SetLastErrorText("cannot open settings store " + path_ + ": " + std::strerror(err));
            throw Rejected{ERROR_CANTOPEN};
        }
        char header[100];
        ssize_t got = 0;
        while (got < static_cast<ssize_t>(sizeof header)) {
            ssize_t n = ::read(fd, header + got, sizeof header - static_cast<std::size_t>(got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += n;
        }
        ::close(fd);
        if (got == 0) {
            // A crash right after the file was created leaves it empty.
            return Verdict::Empty;
        }
        if (got == static_cast<ssize_t>(sizeof header) &&
            std::memcmp(header, kSqliteMagic, sizeof kSqliteMagic) == 0) {
            break;
        }
        if (attempt > 0) {
            Reject(path_, "is not an SQLite database (damaged, or a file of another program)");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    // Judge the file through a read-only connection that never folds a log
    // into it, so even a foreign database is not changed by looking at it.
    Db probe;
    try {
        try {
            probe = Db::Open(path_, SQLITE_OPEN_READONLY);
            probe.SetBusyTimeout(kBusyTimeoutMs);
            probe.DisableCheckpointOnClose();
            probe.QueryInt("PRAGMA schema_version");
        } catch (const SqliteError& e) {
            if (e.code() != SQLITE_CANTOPEN && e.code() != SQLITE_READONLY) {
                throw;
            }
            // The folder does not let us create the shared-memory file of
            // the log: nobody can be writing through it, read the file as is.
            probe = Db::Open(UriFor(path_) + "?immutable=1", SQLITE_OPEN_READONLY);
        }
        std::int64_t appId = probe.QueryInt("PRAGMA application_id");
        std::int64_t version = probe.QueryInt("PRAGMA user_version");
        std::int64_t objects = probe.QueryInt("SELECT count(*) FROM sqlite_schema");
        if (appId == 0 && version == 0 && objects == 0) {
            return Verdict::Empty;
        }
        if (appId != kApplicationId) {
            char id[16];
            std::snprintf(id, sizeof id, "0x%08llX", static_cast<unsigned long long>(appId & 0xFFFFFFFF));
            Reject(path_,
                   std::string("is an SQLite database of another program (application id ") + id + ")");
        }
        if (version > kSchemaVersion) {
            Reject(path_,
                   "was written by a newer version of this system (format " + std::to_string(version) + ")");
        }
        if (version < 1 ||
            probe.QueryInt("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN "
                           "('keys', 'vals')") != 2) {
            Reject(path_, "is damaged (its tables are missing)");
        }
        if (probe.QueryInt("SELECT count(*) FROM keys WHERE id = 1 AND parent IS NULL") != 1) {
            Reject(path_, "is damaged (its root key is missing)");
        }
        // Once per connection: a damaged page anywhere must stop writes
        // before they mix new data into a broken file. Stores are small.
        Statement check(probe, "PRAGMA quick_check(1)");
        if (!check.Step() || check.Text(0) != "ok") {
            Reject(path_, "is damaged (" + check.Text(0) + ")");
        }
    } catch (const SqliteError& e) {
        if (e.code() == SQLITE_BUSY || e.code() == SQLITE_NOMEM) {
            throw;
        }
        Reject(path_, std::string("is damaged (") + e.what() + ")");
    }
    return Verdict::Ours;
}

void Hive::Initialise() {
    // Two processes may create the file at once: decide under the write lock.
    db_.Exec("BEGIN IMMEDIATE");
    try {
        std::int64_t appId = db_.QueryInt("PRAGMA application_id");
        if (appId != kApplicationId) {
            if (appId != 0 || db_.QueryInt("SELECT count(*) FROM sqlite_schema") != 0) {
                Reject(path_, "is an SQLite database of another program");
            }
            db_.Exec(
                "CREATE TABLE keys("
                "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
                "  parent INTEGER,"
                "  name TEXT NOT NULL,"
                "  fold TEXT NOT NULL,"
                "  modified INTEGER NOT NULL DEFAULT 0);"
                "CREATE UNIQUE INDEX keys_by_parent ON keys(parent, fold);"
                "CREATE TABLE vals("
                "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
                "  key INTEGER NOT NULL,"
                "  name TEXT NOT NULL,"
                "  fold TEXT NOT NULL,"
                "  type INTEGER NOT NULL,"
                "  data BLOB NOT NULL);"
                "CREATE UNIQUE INDEX vals_by_key ON vals(key, fold);"
                "INSERT INTO keys(id, parent, name, fold) VALUES(1, NULL, '', '');"
                "PRAGMA application_id = 1398231623;"
                "PRAGMA user_version = 1;");
        }
        db_.Exec("COMMIT");
    } catch (...) {
        RollbackQuietly("ROLLBACK");
        throw;
    }
}

void Hive::Connect(bool readWrite, bool mayInitialise) {
    db_.Close();
    if (readWrite) {
        db_ = Db::Open(path_, SQLITE_OPEN_READWRITE | (mayInitialise ? SQLITE_OPEN_CREATE : 0));
    } else {
        try {
            db_ = Db::Open(path_, SQLITE_OPEN_READONLY);
            db_.QueryInt("PRAGMA schema_version");
        } catch (const SqliteError& e) {
            if (e.code() != SQLITE_CANTOPEN && e.code() != SQLITE_READONLY) {
                throw;
            }
            db_ = Db::Open(UriFor(path_) + "?immutable=1", SQLITE_OPEN_READONLY);
        }
    }
    db_.SetBusyTimeout(kBusyTimeoutMs);
    readOnly_ = !readWrite;
    if (!readWrite) {
        return;
    }
    if (mayInitialise) {
        Initialise();
    }
    // Write-ahead logging lets readers and one writer work at once; with it,
    // NORMAL sync keeps the file consistent when a process dies at any moment.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        try {
            Statement st(db_, "PRAGMA journal_mode = WAL");
            st.Step();
            break;
        } catch (const SqliteError& e) {
            if (e.code() != SQLITE_BUSY || std::chrono::steady_clock::now() > deadline) {
                throw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    db_.Exec("PRAGMA synchronous = NORMAL");
}

void Hive::AdoptAfterFork() {
    if (pid_ == getpid()) {
        return;
    }
    // Inherited over fork(): start afresh with a connection of our own. If
    // the parent was inside a transaction, SQLite's per-process lock records
    // that the child inherited say this process holds the write lock, which
    // it does not; any use of the file would misbehave, so it is refused.
    if (db_) {
        Abandoned().push_back(std::move(db_));
    }
    forkedInScope_ = depth_ > 0;
    pid_ = getpid();
    depth_ = 0;
    broken_ = 0;
    brokenAt_ = 0;
}

LONG Hive::Open(bool forWrite) {
    AdoptAfterFork();
    if (forkedInScope_) {
        SetLastErrorText("settings store " + path_ +
                         " cannot be used by a process forked while its parent held a transaction on it");
        return ERROR_BUSY;
    }
    if (depth_ > 0) {
        return db_ ? ERROR_SUCCESS : (broken_ ? broken_ : ERROR_CANTOPEN);
    }
    try {
        if (db_) {
            if (!forWrite || !readOnly_) {
                return ERROR_SUCCESS;
            }
            if (::access(path_.c_str(), W_OK) != 0) {
                return Denied("the file is read-only for this user");
            }
            db_.Close();
        }
        struct stat st {};
        if (::stat(path_.c_str(), &st) != 0) {
            int err = errno;
            if (err != ENOENT) {
                if (err == EACCES) {
                    return forWrite ? Denied("its folder cannot be entered") : ERROR_FILE_NOT_FOUND;
                }
                SetLastErrorText("cannot reach settings store " + path_ + ": " + std::strerror(err));
                return ERROR_CANTOPEN;
            }
            if (!forWrite) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (int rc = MakeFolders(FolderOf(path_)); rc != 0) {
                if (rc == EACCES || rc == EPERM || rc == EROFS) {
                    return Denied("its folder cannot be created");
                }
                SetLastErrorText("cannot create the folder of settings store " + path_ + ": " +
                                 std::strerror(rc));
                return ERROR_CANTWRITE;
            }
            if (::access(FolderOf(path_).c_str(), W_OK) != 0) {
                return Denied("its folder is read-only for this user");
            }
            Connect(true, true);
            return ERROR_SUCCESS;
        }
        if (refused_ && st.st_ino == refusedStat_.st_ino && st.st_dev == refusedStat_.st_dev &&
            st.st_size == refusedStat_.st_size && st.st_mtim.tv_sec == refusedStat_.st_mtim.tv_sec &&
            st.st_mtim.tv_nsec == refusedStat_.st_mtim.tv_nsec) {
            SetLastErrorText(refusedText_);
            return ERROR_BADDB;
        }
        refused_ = false;
        Verdict verdict;
        try {
            if (!S_ISREG(st.st_mode)) {
                Reject(path_, "is not a regular file");
            }
            verdict = Inspect();
        } catch (const Rejected& r) {
            if (r.code == ERROR_BADDB) {
                refused_ = true;
                refusedStat_ = st;
                refusedText_ = LastErrorTextOfThread();
            }
            throw;
        }
        bool writable = ::access(path_.c_str(), W_OK) == 0;
        if (verdict == Verdict::Empty) {
            if (!forWrite) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (!writable) {
                return Denied("the file is read-only for this user");
            }
            Connect(true, true);
            return ERROR_SUCCESS;
        }
        if (forWrite && !writable) {
            return Denied("the file is read-only for this user");
        }
        Connect(writable, false);
        return ERROR_SUCCESS;
    } catch (const Rejected& r) {
        db_.Close();
        return r.code;
    } catch (const SqliteError& e) {
        db_.Close();
        return MapSqliteError(e, path_);
    } catch (const std::bad_alloc&) {
        db_.Close();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

bool Hive::CanWrite() {
    if (Open(false) == ERROR_FILE_NOT_FOUND) {
        return true;  // a write will create it
    }
    if (InScope()) {
        return db_ && !readOnly_ && broken_ == 0;
    }
    return Open(true) == ERROR_SUCCESS;
}

void Hive::RollbackQuietly(const char* sql) noexcept {
    if (db_) {
        sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
    }
}

LONG Hive::BeginImmediate() {
    // The busy timeout covers ordinary waits; a few retries cover the cases
    // where SQLite reports "busy" without waiting (log recovery by another
    // process).
    for (int attempt = 0;; ++attempt) {
        try {
            db_.Exec("BEGIN IMMEDIATE");
            return ERROR_SUCCESS;
        } catch (const SqliteError& e) {
            if (e.code() == SQLITE_BUSY && attempt < 50) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            return MapSqliteError(e, path_);
        }
    }
}

LONG Hive::Read(const std::function<LONG()>& work) {
    LONG rc = Open(false);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    try {
        return work();
    } catch (const SqliteError& e) {
        return MapSqliteError(e, path_);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG Hive::Write(const std::function<LONG()>& work) {
    if (InScope() && broken_ != 0) {
        return broken_;
    }
    LONG rc = Open(true);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (readOnly_) {
        return Denied("the file is read-only for this user");
    }
    if (!InScope() && ::access(path_.c_str(), W_OK) != 0) {
        return Denied("the file is read-only for this user");
    }
    try {
        if (InScope()) {
            db_.Exec("SAVEPOINT sw_op");
            LONG result;
            try {
                result = work();
            } catch (...) {
                RollbackQuietly("ROLLBACK TO sw_op; RELEASE sw_op");
                throw;
            }
            if (result != ERROR_SUCCESS) {
                RollbackQuietly("ROLLBACK TO sw_op; RELEASE sw_op");
                return result;
            }
            db_.Exec("RELEASE sw_op");
            return ERROR_SUCCESS;
        }
        if (rc = BeginImmediate(); rc != ERROR_SUCCESS) {
            return rc;
        }
        LONG result;
        try {
            result = work();
            if (result == ERROR_SUCCESS) {
                db_.Exec("COMMIT");
            }
        } catch (...) {
            RollbackQuietly("ROLLBACK");
            throw;
        }
        if (result != ERROR_SUCCESS) {
            RollbackQuietly("ROLLBACK");
        }
        return result;
    } catch (const SqliteError& e) {
        return MapSqliteError(e, path_);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG Hive::BeginScope(int& level) {
    if (InScope()) {
        level = ++depth_;
        if (broken_ != 0) {
            return broken_;
        }
        try {
            db_.Exec("SAVEPOINT sw_scope");
            return ERROR_SUCCESS;
        } catch (const SqliteError& e) {
            broken_ = MapSqliteError(e, path_);
            brokenAt_ = level;
            return broken_;
        }
    }
    LONG rc = Open(true);
    if (rc == ERROR_SUCCESS && readOnly_) {
        rc = Denied("the file is read-only for this user");
    }
    if (rc == ERROR_SUCCESS) {
        rc = BeginImmediate();
    }
    level = ++depth_;
    if (rc != ERROR_SUCCESS) {
        broken_ = rc;
        brokenAt_ = level;
    }
    return rc;
}

LONG Hive::CommitScope(int level) {
    if (!InScope() || level != depth_) {
        return ERROR_INVALID_PARAMETER;
    }
    if (broken_ != 0) {
        LONG rc = broken_;
        RollbackScope(level);
        return rc;
    }
    LONG rc = ERROR_SUCCESS;
    try {
        db_.Exec(level == 1 ? "COMMIT" : "RELEASE sw_scope");
    } catch (const SqliteError& e) {
        rc = MapSqliteError(e, path_);
        RollbackQuietly(level == 1 ? "ROLLBACK" : "ROLLBACK TO sw_scope; RELEASE sw_scope");
    }
    --depth_;
    return rc;
}

void Hive::RollbackScope(int level) {
    if (!InScope() || level != depth_) {
        return;
    }
    if (broken_ == 0 || brokenAt_ > level) {
        RollbackQuietly(level == 1 ? "ROLLBACK" : "ROLLBACK TO sw_scope; RELEASE sw_scope");
    }
    --depth_;
    if (depth_ < brokenAt_) {
        broken_ = 0;
        brokenAt_ = 0;
    }
}

void Hive::Close() {
    if (pid_ != getpid()) {
        AdoptAfterFork();
        return;
    }
    if (depth_ == 0) {
        db_.Close();
    }
    refused_ = false;
}

}  // namespace sw::registry::detail
