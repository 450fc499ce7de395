#include "platform/registry/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace sw::registry::detail {

namespace {

[[noreturn]] void Fail(sqlite3* db, int rc) {
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw SqliteError(rc & 0xff, text);
}

}  // namespace

Db::~Db() {
    Close();
}

Db& Db::operator=(Db&& other) noexcept {
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
        idle_ = std::move(other.idle_);
        other.idle_.clear();
    }
    return *this;
}

Db Db::Open(const std::string& uri, int flags) {
    Db db;
    int rc = sqlite3_open_v2(uri.c_str(), &db.db_, flags | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        std::string text = db.db_ ? sqlite3_errmsg(db.db_) : sqlite3_errstr(rc);
        throw SqliteError(rc & 0xff, text);
    }
    sqlite3_extended_result_codes(db.db_, 0);
    return db;
}

void Db::Close() {
    for (auto& [sql, st] : idle_) {
        sqlite3_finalize(st);
    }
    idle_.clear();
    if (db_) {
        // Every statement is finalised by now, so close_v2 frees at once.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Db::Exec(const char* sql) const {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Fail(db_, rc);
    }
}

std::int64_t Db::QueryInt(const char* sql) const {
    Statement st(*this, sql);
    return st.Step() ? st.Int(0) : 0;
}

std::int64_t Db::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Db::Changes() const {
    return sqlite3_changes(db_);
}

void Db::SetBusyTimeout(int milliseconds) const {
    sqlite3_busy_timeout(db_, milliseconds);
}

void Db::DisableCheckpointOnClose() const {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

sqlite3_stmt* Db::Acquire(const char* sql) const {
    auto found = idle_.find(sql);
    if (found != idle_.end()) {
        sqlite3_stmt* st = found->second;
        idle_.erase(found);
        return st;
    }
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        Fail(db_, rc);
    }
    return st;
}

void Db::Release(const char* sql, sqlite3_stmt* st) const {
    if (!st) {
        return;
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (!db_ || !idle_.emplace(sql, st).second) {
        sqlite3_finalize(st);  // a second copy was in use at the same time
    }
}

Statement::Statement(const Db& db, const char* sql) : owner_(&db), sql_(sql), db_(db.get()) {
    st_ = db.Acquire(sql);
}

Statement::~Statement() {
    owner_->Release(sql_, st_);
}

Statement& Statement::Bind(int index, std::int64_t value) {
    int rc = sqlite3_bind_int64(st_, index, value);
    if (rc != SQLITE_OK) {
        Fail(db_, rc);
    }
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    int rc = sqlite3_bind_text64(st_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK) {
        Fail(db_, rc);
    }
    return *this;
}

Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
    // A zero-length blob must still be a blob, not NULL.
    static const char kEmpty = 0;
    int rc = sqlite3_bind_blob64(st_, index, size ? data : &kEmpty, size, SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) {
        Fail(db_, rc);
    }
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    // With legacy result codes off, sqlite3_step reports the real error itself.
    Fail(db_, rc);
}

void Statement::Run() {
    while (Step()) {
    }
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(st_, column);
}

std::string Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st_, column));
    int size = sqlite3_column_bytes(st_, column);
    return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::string Statement::Blob(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(st_, column));
    int size = sqlite3_column_bytes(st_, column);
    return data ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

}  // namespace sw::registry::detail
