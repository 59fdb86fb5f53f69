// Helpers for the store and tape tests: a temporary directory, file reading,
// and a plain SQLite connection for looking at what the store wrote.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/history_file.h"

namespace zantor::testing {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] == '/' ? base : "/tmp") +
                          "/zantor-store-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A second, independent connection to a history file, to check what is on
// disk (not what the store's connection sees).
class Peek {
 public:
  explicit Peek(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
    }
  }
  ~Peek() { sqlite3_close(db_); }
  Peek(const Peek&) = delete;
  Peek& operator=(const Peek&) = delete;

  bool ok() const { return db_ != nullptr; }
  // All cells of a query, row by row; NULL as "<null>". An error fails the
  // test and gives no rows.
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const {
    return testsupport::QueryRows(db_, sql);
  }
  std::string Scalar(const std::string& sql) const {
    const auto rows = Rows(sql);
    return rows.empty() || rows[0].empty() ? std::string("<none>") : rows[0][0];
  }
  long Count(const std::string& table) const {
    return std::stol(Scalar("SELECT count(*) FROM " + table + ";") == "<none>"
                         ? std::string("-1")
                         : Scalar("SELECT count(*) FROM " + table + ";"));
  }
  // For polling a file another process is still writing: the row count, or
  // -1 while the file is locked, not there yet or has no such table.
  long CountIfReadable(const std::string& table) const {
    sqlite3_stmt* s = nullptr;
    long n = -1;
    if (db_ != nullptr &&
        sqlite3_prepare_v2(db_, ("SELECT count(*) FROM " + table + ";").c_str(), -1, &s, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
      n = sqlite3_column_int64(s, 0);
    }
    sqlite3_finalize(s);
    return n;
  }
  int Exec(const std::string& sql) const {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }

 private:
  sqlite3* db_ = nullptr;
};

// MyData and resul, each in its exact shape, column names and types included.
inline void ExpectHistoryTableShapes(const Peek& peek) {
  EXPECT_EQ(peek.Scalar("SELECT sql FROM sqlite_master WHERE name='MyData';"),
            "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re "
            "TEXT)");
  EXPECT_EQ(peek.Scalar("SELECT sql FROM sqlite_master WHERE name='resul';"),
            "CREATE TABLE resul(pos INTEGER,resu TEXT)");
}

}  // namespace zantor::testing
