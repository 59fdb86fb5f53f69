#include "store/sqlite_handle.h"

#include <sqlite3.h>

#include <climits>

namespace zantor::store::sql {

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = other.db_;
    other.db_ = nullptr;
  }
  return *this;
}

int Connection::Open(const std::string& path, int flags, std::string* error) {
  Close();
  ::sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    if (error != nullptr) {
      *error = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    }
    sqlite3_close_v2(db);  // a handle is returned even on most failures
    return rc;
  }
  // Other processes share the file: a reader that closes it last checkpoints
  // the log under an exclusive lock, a writer holds the lock for its commit.
  // Such a lock lasts milliseconds; without a wait, the very first read (the
  // schema) fails with "database is locked" and the history goes unrecorded.
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  db_ = db;
  return SQLITE_OK;
}

void Connection::Close() noexcept {
  if (db_ != nullptr) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

int Connection::Exec(const char* sql) const noexcept {
  if (db_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

bool Connection::InTransaction() const noexcept {
  return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

bool Connection::ReadOnly() const noexcept {
  return db_ != nullptr && sqlite3_db_readonly(db_, "main") == 1;
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    Finalize();
    stmt_ = other.stmt_;
    other.stmt_ = nullptr;
  }
  return *this;
}

int Statement::Prepare(::sqlite3* db, std::string_view sql, std::string_view* rest) {
  Finalize();
  if (db == nullptr) return SQLITE_MISUSE;
  if (sql.size() > static_cast<size_t>(INT_MAX)) return SQLITE_TOOBIG;
  const char* tail = nullptr;
  ::sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return rc;
  }
  stmt_ = stmt;  // null for a text holding no statement (blanks, comments)
  if (rest != nullptr) {
    *rest =
        tail != nullptr ? sql.substr(static_cast<size_t>(tail - sql.data())) : std::string_view{};
  }
  return stmt_ != nullptr ? SQLITE_OK : SQLITE_MISUSE;
}

void Statement::Finalize() noexcept {
  if (stmt_ != nullptr) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

bool Statement::ReadOnly() const noexcept {
  return stmt_ != nullptr && sqlite3_stmt_readonly(stmt_) != 0;
}

int Statement::BindText(int index, std::string_view text) noexcept {
  if (stmt_ == nullptr) return SQLITE_MISUSE;
  if (text.size() > static_cast<size_t>(INT_MAX)) return SQLITE_TOOBIG;
  // A null data pointer would bind NULL; an empty text must stay a text.
  const char* data = text.data() != nullptr ? text.data() : "";
  return sqlite3_bind_text(stmt_, index, data, static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int Statement::BindInt(int index, std::int64_t value) noexcept {
  if (stmt_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_bind_int64(stmt_, index, value);
}

int Statement::Step() noexcept {
  if (stmt_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_step(stmt_);
}

int Statement::Run() noexcept {
  if (stmt_ == nullptr) return SQLITE_MISUSE;
  int rc;
  do {
    rc = sqlite3_step(stmt_);
  } while (rc == SQLITE_ROW);
  Reset();
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

void Statement::Reset() noexcept {
  if (stmt_ != nullptr) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

int Statement::ColumnCount() const noexcept {
  return stmt_ != nullptr ? sqlite3_column_count(stmt_) : 0;
}

std::string_view Statement::ColumnText(int column) const noexcept {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (text == nullptr) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::string_view Statement::ColumnName(int column) const noexcept {
  const char* name = sqlite3_column_name(stmt_, column);
  return name != nullptr ? std::string_view(name) : std::string_view{};
}

std::int64_t Statement::ColumnInt(int column) const noexcept {
  return sqlite3_column_int64(stmt_, column);
}

}  // namespace zantor::store::sql
