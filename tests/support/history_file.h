// Reading a history file the way another process would: a connection of its
// own, every cell as text. One reader for every test suite, so that they all
// show NULL the same way and none of them mistakes an error for "no rows".
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace zantor::testsupport {

using Rows = std::vector<std::vector<std::string>>;

// The text a NULL cell reads as.
inline constexpr char kNull[] = "<null>";

// Every row of `sql` on an open connection. A statement that cannot be
// prepared or that fails part way fails the current test and gives no rows.
inline Rows QueryRows(sqlite3* db, const std::string& sql) {
  Rows rows;
  if (db == nullptr) {
    ADD_FAILURE() << sql << ": no connection";
    return rows;
  }
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    sqlite3_finalize(s);
    return rows;
  }
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(s); ++c) {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
      row.emplace_back(t != nullptr ? t : kNull);
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    rows.clear();
  }
  sqlite3_finalize(s);
  return rows;
}

// Every row of `sql` on the file at `path`, through a read-only connection
// of its own; a file that cannot be opened fails the current test.
inline Rows ReadHistory(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db);
    sqlite3_close(db);
    return {};
  }
  Rows rows = QueryRows(db, sql);
  sqlite3_close(db);
  return rows;
}

}  // namespace zantor::testsupport
