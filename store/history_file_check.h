// Whether a file is a history of ours, as the window and the command line
// both judge it before they write to it. Internal to the store.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zantor::store::detail {

enum class FileKind : int {
  kOurs,
  kEmpty,       // an SQLite file without tables (or a new one)
  kForeign,     // not a history, or one no copy of ours wrote
  kUnreadable,  // SQLite could not read it (busy, I/O); see the code
};

// The total a keep start (or the window after a kill) would take: the live
// row when there is one, else the newest saved one; and where it is.
struct CurrentTotal {
  std::string table;
  long long rowid = 0;
  long long pos = 0;
  std::string resu;
};
std::optional<CurrentTotal> ReadCurrentTotal(::sqlite3* db);

// A total without digits (an empty field, a message) restores as zero.
std::ptrdiff_t CountDigits(std::string_view text);

// The tables' shapes. *rc gets SQLite's code when the file is kUnreadable.
FileKind ClassifyHistoryFile(::sqlite3* db, int* rc);

// The tables' shapes, then the current total's saved scale against its text.
// *rc gets SQLite's code when the file is kUnreadable; *total the current
// total of a history of ours, when it has one.
FileKind ExamineHistoryFile(::sqlite3* db, int* rc, std::optional<CurrentTotal>* total);

}  // namespace zantor::store::detail
