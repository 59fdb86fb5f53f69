#include "store/history_file_check.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "store/sqlite_handle.h"

namespace zantor::store::detail {

std::ptrdiff_t CountDigits(std::string_view text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

constexpr std::array<std::string_view, 5> kMyDataColumns = {"ID", "oP", "fdata", "mdata", "re"};
constexpr std::array<std::string_view, 2> kLiveColumns = {"pos", "resu"};

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) {
             return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

// Whether a saved scale fits the saved text: a total this program shows has
// at least one digit more than its scale (0.05 is 3 digits at scale 2, a zero
// total is "0.00" at scale 0). Anything with more places behind the point than
// digits, or a negative scale, was not written by us; restoring it would ask
// the engine for as many zero digits as the scale says. A text without digits
// (an empty field, a paste message) restores as zero whatever its scale.
bool ScaleFitsText(long long pos, std::string_view resu) {
  if (pos < 0) return false;
  const std::ptrdiff_t digits = CountDigits(resu);
  return digits == 0 || pos <= digits;
}

// What a failure to read the file says about it; *failure keeps SQLite's code.
FileKind FailureKind(int rc, int* failure) {
  *failure = rc;
  const int primary = rc & 0xff;
  return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT ? FileKind::kForeign
                                                               : FileKind::kUnreadable;
}

// Whether `table` has exactly these columns, in this order.
FileKind CheckColumns(::sqlite3* db, const char* table, std::span<const std::string_view> columns,
                      int* failure) {
  sql::Statement s;
  int rc = s.Prepare(db, std::string("PRAGMA table_info(") + table + ");");
  if (rc != SQLITE_OK) return FailureKind(rc, failure);
  size_t n = 0;
  while ((rc = s.Step()) == SQLITE_ROW) {
    if (n >= columns.size() || !SameNoCase(s.ColumnText(1), columns[n])) return FileKind::kForeign;
    ++n;
  }
  if (rc != SQLITE_DONE) return FailureKind(rc, failure);
  return n == columns.size() ? FileKind::kOurs : FileKind::kForeign;
}

}  // namespace

FileKind ClassifyHistoryFile(::sqlite3* db, int* failure) {
  *failure = SQLITE_OK;
  // Reading the schema is the first read of the file: a file that is not a
  // database fails here with SQLITE_NOTADB (or SQLITE_CORRUPT).
  sql::Statement s;
  int rc = s.Prepare(db, "SELECT type,name FROM sqlite_master;");
  if (rc != SQLITE_OK) return FailureKind(rc, failure);
  bool empty = true;
  bool haveMyData = false;
  bool haveLive = false;
  while ((rc = s.Step()) == SQLITE_ROW) {
    empty = false;
    const std::string_view type = s.ColumnText(0);
    const std::string_view name = s.ColumnText(1);
    if (type == "table" && SameNoCase(name, "MyData")) haveMyData = true;
    if (type != "trigger" && SameNoCase(name, "liveTotal")) {
      // A view or an index of that name blocks our table as surely as a
      // table of another shape does.
      if (type != "table") return FileKind::kForeign;
      haveLive = true;
    }
  }
  if (rc != SQLITE_DONE) return FailureKind(rc, failure);
  s.Finalize();
  if (empty) return FileKind::kEmpty;
  if (!haveMyData) return FileKind::kForeign;

  if (const FileKind k = CheckColumns(db, "MyData", kMyDataColumns, failure);
      k != FileKind::kOurs) {
    return k;
  }
  // Every step writes the live total by rowid: a live table of any other
  // shape (an older or a foreign file) would make every save fail.
  if (haveLive) {
    if (const FileKind k = CheckColumns(db, "liveTotal", kLiveColumns, failure);
        k != FileKind::kOurs) {
      return k;
    }
    if (s.Prepare(db, "SELECT rowid FROM liveTotal;") != SQLITE_OK) return FileKind::kForeign;
  }
  return FileKind::kOurs;
}

std::optional<CurrentTotal> ReadCurrentTotal(::sqlite3* db) {
  // A killed run leaves its last total in the live row; a clean save clears
  // it, and then the last row of `resul` is the saved total.
  for (const char* table : {"liveTotal", "resul"}) {
    sql::Statement s;
    const std::string q =
        std::string("SELECT rowid,pos,resu FROM ") + table + " ORDER BY rowid DESC LIMIT 1;";
    if (s.Prepare(db, q) != SQLITE_OK) continue;  // a file without the live table
    if (s.Step() != SQLITE_ROW) continue;
    return CurrentTotal{table, s.ColumnInt(0), s.ColumnInt(1), std::string(s.ColumnText(2))};
  }
  return std::nullopt;
}

FileKind ExamineHistoryFile(::sqlite3* db, int* rc, std::optional<CurrentTotal>* total) {
  total->reset();
  const FileKind kind = ClassifyHistoryFile(db, rc);
  if (kind != FileKind::kOurs) return kind;
  *total = ReadCurrentTotal(db);
  if (*total && !ScaleFitsText((*total)->pos, (*total)->resu)) {
    total->reset();
    return FileKind::kForeign;
  }
  return FileKind::kOurs;
}

}  // namespace zantor::store::detail
