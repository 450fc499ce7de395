// Small owners for the SQLite handles the store uses; SQLite's own header
// stays inside this layer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace sw::registry::detail {

// A failed SQLite call: its primary result code and SQLite's own text.
class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

class Db {
public:
    Db() = default;
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    Db(Db&& other) noexcept : db_(other.db_), idle_(std::move(other.idle_)) {
        other.db_ = nullptr;
        other.idle_.clear();
    }
    Db& operator=(Db&& other) noexcept;

    // Opens with sqlite3_open_v2 flags; throws SqliteError on failure.
    static Db Open(const std::string& uri, int flags);

    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }
    void Close();
    // Lets go of the connection without closing it: after fork() a child must
    // not close (and so checkpoint or unlock) a connection it inherited.
    void Abandon() {
        db_ = nullptr;
        idle_.clear();
    }

    // Runs statements without results; throws SqliteError.
    void Exec(const char* sql) const;
    // Integer result of a one-row, one-column query (a pragma, a count).
    std::int64_t QueryInt(const char* sql) const;
    std::int64_t LastInsertId() const;
    int Changes() const;
    // Waits up to this long for another connection's lock.
    void SetBusyTimeout(int milliseconds) const;
    // A connection that must never fold the write-ahead log into the file on close.
    void DisableCheckpointOnClose() const;

private:
    friend class Statement;
    // Prepared statements are kept for reuse, keyed by their (literal) text:
    // every call of the layer runs the same few statements.
    sqlite3_stmt* Acquire(const char* sql) const;
    void Release(const char* sql, sqlite3_stmt* st) const;

    sqlite3* db_ = nullptr;
    mutable std::unordered_map<const char*, sqlite3_stmt*> idle_;
};

class Statement {
public:
    Statement(const Db& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text);
    Statement& BindBlob(int index, const void* data, std::size_t size);

    // True while a row is available; false when done. Throws SqliteError.
    bool Step();
    // Steps a statement that returns no rows.
    void Run();

    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::string Blob(int column) const;

private:
    const Db* owner_;
    const char* sql_;
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

}  // namespace sw::registry::detail
