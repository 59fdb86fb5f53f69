#include "store/history_file_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

#include "store/sqlite_handle.h"

namespace zantor::store::detail {

bool IsBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

bool IsDamage(int rc) { return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB; }

std::ptrdiff_t CountDigits(std::string_view text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

// The tables any copy of ours writes. Only MyData must be there: a file of
// the original program has no liveTotal, one never corrected no corrections.
// `keyed`: the first column is an INTEGER PRIMARY KEY, so that a row's ID is
// its own and never shared (a correction finds the row by it).
struct TableShape {
  std::string_view name;
  std::span<const std::string_view> columns;
  bool keyed;
};
constexpr std::string_view kMyData[] = {"ID", "oP", "fdata", "mdata", "re"};
constexpr std::string_view kTotal[] = {"pos", "resu"};
constexpr std::string_view kCorrections[] = {"ID",    "stepId",   "oldOp", "oldEntry",
                                             "newOp", "newEntry", "time"};
constexpr std::string_view kNotes[] = {"ID", "note"};
constexpr std::array<TableShape, 5> kTables = {{
    {"MyData", kMyData, true},
    {"resul", kTotal, false},
    {"liveTotal", kTotal, false},
    {"corrections", kCorrections, true},
    {"notes", kNotes, true},
}};

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) {
             return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

const TableShape* OurTable(std::string_view name) {
  for (const TableShape& t : kTables) {
    if (SameNoCase(name, t.name)) return &t;
  }
  return nullptr;
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
  return IsDamage(rc) ? FileKind::kForeign : FileKind::kUnreadable;
}

// Whether the table has exactly our columns, in our order, the key where we
// put it and nowhere else, and rows of its own (not WITHOUT ROWID): every
// write of ours goes by rowid.
FileKind CheckTable(::sqlite3* db, const TableShape& table, int* failure) {
  const std::string name(table.name);
  sql::Statement s;
  int rc = s.Prepare(db, "PRAGMA table_info(" + name + ");");
  if (rc != SQLITE_OK) return FailureKind(rc, failure);
  const std::span<const std::string_view> columns = table.columns;
  size_t n = 0;
  while ((rc = s.Step()) == SQLITE_ROW) {
    if (n >= columns.size() || !SameNoCase(s.ColumnText(1), columns[n])) return FileKind::kForeign;
    const bool key = table.keyed && n == 0;
    if ((s.ColumnInt(5) != 0) != key) return FileKind::kForeign;
    if (key && !SameNoCase(s.ColumnText(2), "INTEGER")) return FileKind::kForeign;
    ++n;
  }
  if (rc != SQLITE_DONE) return FailureKind(rc, failure);
  if (n != columns.size()) return FileKind::kForeign;
  if (s.Prepare(db, "SELECT rowid FROM " + name + ";") != SQLITE_OK) return FileKind::kForeign;
  return FileKind::kOurs;
}

}  // namespace

FileKind ClassifyHistoryFile(::sqlite3* db, int* failure) {
  *failure = SQLITE_OK;
  // Reading the schema is the first read of the file: a file that is not a
  // database fails here with SQLITE_NOTADB (or SQLITE_CORRUPT).
  sql::Statement s;
  int rc = s.Prepare(db, "SELECT type,name,tbl_name FROM sqlite_master;");
  if (rc != SQLITE_OK) return FailureKind(rc, failure);
  bool empty = true;
  std::array<bool, kTables.size()> present{};
  while ((rc = s.Step()) == SQLITE_ROW) {
    empty = false;
    const std::string_view type = s.ColumnText(0);
    // A trigger runs its own statements whenever we write: no copy of ours
    // makes one, and one on our tables could do anything to the history.
    if (type == "trigger") {
      if (OurTable(s.ColumnText(2)) != nullptr) return FileKind::kForeign;
      continue;
    }
    const TableShape* ours = OurTable(s.ColumnText(1));
    if (ours == nullptr) continue;
    // A view (which could take our writes elsewhere) or an index of one of
    // our names is not our table.
    if (type != "table") return FileKind::kForeign;
    present[static_cast<size_t>(ours - kTables.data())] = true;
  }
  if (rc != SQLITE_DONE) return FailureKind(rc, failure);
  s.Finalize();
  if (empty) return FileKind::kEmpty;
  if (!present[0]) return FileKind::kForeign;
  for (size_t i = 0; i < kTables.size(); ++i) {
    if (!present[i]) continue;
    if (const FileKind k = CheckTable(db, kTables[i], failure); k != FileKind::kOurs) return k;
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

namespace {

// A connection for looking at the file: never creates it, and leaves its
// -wal as it is (checkpointing it here, with its fsyncs, would only slow the
// start after a killed run, and would write into a file not yet known to be
// ours).
int OpenToLook(const std::string& path, sql::Connection* db, std::string* error) {
  const int rc = db->Open(path, SQLITE_OPEN_READWRITE, error);
  if (rc == SQLITE_OK) sqlite3_db_config(db->get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  return rc;
}

}  // namespace

FileKind ExamineHistoryFileAt(const std::string& path, std::optional<CurrentTotal>* total,
                              std::string* error, int* rc) {
  total->reset();
  sql::Connection db;
  *rc = OpenToLook(path, &db, error);
  if (*rc != SQLITE_OK) return FileKind::kUnreadable;
  const FileKind kind = ExamineHistoryFile(db.get(), rc, total);
  if (kind == FileKind::kUnreadable) error->assign(sqlite3_errmsg(db.get()));
  return kind;
}

long long DataVersion(::sqlite3* db) {
  sql::Statement s;
  if (s.Prepare(db, "PRAGMA data_version;") != SQLITE_OK || s.Step() != SQLITE_ROW) return -1;
  return s.ColumnInt(0);
}

int ClaimAlone(::sqlite3* db, long long* version) {
  sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE;", nullptr, nullptr, nullptr);
  const int rc = sqlite3_exec(db, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    if (version != nullptr) *version = DataVersion(db);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
  }
  // The lock goes at the first read in normal mode.
  sqlite3_exec(db, "PRAGMA locking_mode=NORMAL;", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
  return rc;
}

ClearVerdict JudgeForClearing(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    return ClearVerdict::kAbsent;
  }
  sql::Connection db;
  std::string error;
  if (OpenToLook(path, &db, &error) != SQLITE_OK) return ClearVerdict::kMoveAside;
  int rc = SQLITE_OK;
  std::optional<CurrentTotal> total;
  const FileKind kind = ExamineHistoryFile(db.get(), &rc, &total);
  if (kind == FileKind::kUnreadable) {
    return IsBusy(rc) ? ClearVerdict::kBusy : ClearVerdict::kMoveAside;
  }
  // Even a history of ours is not taken from under a program still using it:
  // its later writes would go into a file that is no longer there.
  if (IsBusy(ClaimAlone(db.get(), nullptr))) return ClearVerdict::kBusy;
  return kind == FileKind::kOurs || kind == FileKind::kEmpty ? ClearVerdict::kDelete
                                                             : ClearVerdict::kMoveAside;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  *identity = {st.st_dev, st.st_ino, static_cast<long long>(st.st_size)};
  return true;
}

FileState CheckOpenFile(::sqlite3* db, const std::string& path, FileIdentity* known) {
  FileIdentity now;
  if (!IdentifyFile(path, &now)) return FileState::kReplaced;
  if (now.device != known->device || now.inode != known->inode) return FileState::kReplaced;
  // The header is read through SQLite's own descriptor: opening and closing
  // the file here would drop every POSIX lock the connection holds on it, and
  // another reader could then take the write-ahead log away from under us.
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr) {
    return FileState::kOurs;  // cannot look: assume it is
  }
  char header[16] = {};
  if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK ||
      std::memcmp(header, "SQLite format 3", sizeof header) != 0) {
    return FileState::kReplaced;
  }
  // The file never shrinks under us (no vacuum, and a checkpoint only grows
  // it), so a file shorter than when we last looked was cut by someone else.
  if (now.size < known->size) return FileState::kDamaged;
  known->size = now.size;
  return FileState::kOurs;
}

}  // namespace zantor::store::detail
