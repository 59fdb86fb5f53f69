// Owners for the two SQLite resources the store uses: a connection and a
// prepared statement. Each has exactly one owner, moves but never copies, and
// releases its resource in a destructor that never throws. Failures come back
// as SQLite's result codes; nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace zantor::store::sql {

class Connection {
 public:
  static constexpr int kBusyTimeoutMs = 1000;

  Connection() = default;
  ~Connection() { Close(); }
  Connection(Connection&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
  Connection& operator=(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // sqlite3_open_v2 with `flags`, waiting up to kBusyTimeoutMs for a lock
  // another connection holds (sqlite3_busy_timeout may shorten it after). On
  // failure the connection stays closed, the code is returned and `error`
  // (when given) receives SQLite's message.
  int Open(const std::string& path, int flags, std::string* error = nullptr);
  // sqlite3_close_v2: a statement that is still alive defers the real close
  // until it is finalized, so the order of destruction never matters.
  void Close() noexcept;

  ::sqlite3* get() const { return db_; }
  explicit operator bool() const { return db_ != nullptr; }

  // sqlite3_exec without a callback; SQLite's error text is discarded.
  int Exec(const char* sql) const noexcept;
  // A transaction is open (the connection is not in autocommit mode).
  bool InTransaction() const noexcept;
  bool ReadOnly() const noexcept;

 private:
  ::sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement() = default;
  ~Statement() { Finalize(); }
  Statement(Statement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Prepares the first statement of `sql`. `rest` (when given) receives what
  // follows it. Returns SQLite's code; on failure the statement stays empty.
  int Prepare(::sqlite3* db, std::string_view sql, std::string_view* rest = nullptr);
  void Finalize() noexcept;

  ::sqlite3_stmt* get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }
  bool ReadOnly() const noexcept;

  // Parameters count from 1. Texts are copied by SQLite (SQLITE_TRANSIENT).
  int BindText(int index, std::string_view text) noexcept;
  int BindInt(int index, std::int64_t value) noexcept;

  // sqlite3_step: SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() noexcept;
  // Steps to the end, then resets and clears the bindings. Returns SQLITE_OK
  // (0) when the statement ran to completion, else the error code.
  int Run() noexcept;
  // sqlite3_reset and sqlite3_clear_bindings; ends any read the statement holds.
  void Reset() noexcept;

  int ColumnCount() const noexcept;
  // A NULL cell reads as an empty text. Valid until the next step or reset.
  std::string_view ColumnText(int column) const noexcept;
  std::string_view ColumnName(int column) const noexcept;
  std::int64_t ColumnInt(int column) const noexcept;

 private:
  ::sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace zantor::store::sql
