#include "store/history_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>

#include "store/history_file_check.h"
#include "store/local_time.h"

namespace zantor::store {
namespace {

// The statement texts stored files and older copies rely on, exactly.
constexpr char kCreateMyData[] =
    "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re TEXT);";
constexpr char kCreateResul[] = "CREATE TABLE resul(pos INTEGER,resu TEXT);";
constexpr char kDropResul[] = "DROP TABLE resul;";
constexpr char kBegin[] = "BEGIN;";
constexpr char kCommit[] = "COMMIT;";
// The inserts, in the tables' column order, values bound.
constexpr char kInsertRow[] = "INSERT INTO MyData VALUES(NULL,?,?,?,?);";
constexpr char kInsertResul[] = "INSERT INTO resul VALUES(?,?);";
// The crash-recovery total (the mend): one row, always rowid 1.
constexpr char kCreateLive[] = "CREATE TABLE IF NOT EXISTS liveTotal(pos INTEGER,resu TEXT);";
constexpr char kWriteLive[] = "INSERT OR REPLACE INTO liveTotal(rowid,pos,resu) VALUES(1,?,?);";
constexpr char kClearLive[] = "DELETE FROM liveTotal;";

int ClampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

}  // namespace

std::string DatabasePath(const std::string& dataDir) {
  if (dataDir.empty()) return kDbFileName;
  if (dataDir.back() == '/') return dataDir + kDbFileName;
  return dataDir + "/" + kDbFileName;
}

HistoryStore::HistoryStore(std::string dbPath) : dbPath_(std::move(dbPath)) {}

HistoryStore::~HistoryStore() { CloseHistoryDatabase(); }

bool HistoryStore::NeedsSizeQuestion() const {
  struct stat st {};
  if (::stat(dbPath_.c_str(), &st) != 0) return false;
  return st.st_size / 1048576 > 40;
}

Notice HistoryStore::Report(Notice notice) {
  if (notice == Notice::kNone || notice == reported_) return Notice::kNone;
  reported_ = notice;
  return notice;
}

long long HistoryStore::StepCount() const {
  struct stat st {};
  if (::stat(dbPath_.c_str(), &st) != 0) return 0;
  sql::Connection db;
  if (db.Open(dbPath_, SQLITE_OPEN_READONLY) != SQLITE_OK) return 0;
  sqlite3_stmt* count = nullptr;
  long long steps = 0;
  if (sqlite3_prepare_v2(db.get(), "SELECT count(*) FROM MyData;", -1, &count, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(count) == SQLITE_ROW) {
    steps = sqlite3_column_int64(count, 0);
  }
  sqlite3_finalize(count);
  return steps;
}

HistoryStore::FileKind HistoryStore::Examine(SavedTotal* out, std::string* error) const {
  sql::Connection db;
  if (db.Open(dbPath_, SQLITE_OPEN_READWRITE, error) != SQLITE_OK) return FileKind::kUnreadable;
  // The open that follows uses the -wal file as it is: checkpointing it here
  // (with its fsyncs) would only slow the start after a killed run.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  int rc = SQLITE_OK;
  std::optional<detail::CurrentTotal> total;
  const FileKind kind = detail::ExamineHistoryFile(db.get(), &rc, &total);
  if (kind == FileKind::kUnreadable) error->assign(sqlite3_errmsg(db.get()));
  out->found = total.has_value();
  if (total) {
    out->pos = ClampToInt(total->pos);
    out->resu = std::move(total->resu);
  }
  return kind;
}

SavedTotal HistoryStore::RestoreLastTotal() {
  SavedTotal out;
  carried_.reset();
  notOurs_ = false;
  if (!FileExists(dbPath_)) return out;  // first run: nothing to restore

  std::string error;
  switch (Examine(&out, &error)) {
    case FileKind::kOurs:
    case FileKind::kEmpty:
      break;
    case FileKind::kForeign:
      // Left alone; the open that follows does not take it over either.
      notOurs_ = true;
      out = SavedTotal{};
      out.notice = Report(Notice::kDamagedFile);
      return out;
    case FileKind::kUnreadable:
      // The file is not deleted: it may hold the user's history.
      std::fprintf(stderr, "Can't open database: %s\n", error.c_str());
      out = SavedTotal{};
      out.openFailed = true;
      out.notice = Report(Notice::kHistoryUnavailable);
      return out;
  }
  if (out.found) {
    if (detail::CountDigits(out.resu) == 0) out.pos = 0;  // zero at any scale is zero
    carried_ = Carried{out.pos, out.resu};
  } else {
    out.pos = 0;
    out.resu.clear();
  }
  return out;
}

void HistoryStore::PrepareStatements() {
  ::sqlite3* db = db_.get();
  insertRow_.Prepare(db, kInsertRow);
  writeLive_.Prepare(db, kWriteLive);
  clearLive_.Prepare(db, kClearLive);
  insertResul_.Prepare(db, kInsertResul);
  begin_.Prepare(db, kBegin);
  commit_.Prepare(db, kCommit);
}

void HistoryStore::FinalizeStatements() noexcept {
  insertRow_.Finalize();
  writeLive_.Finalize();
  clearLive_.Finalize();
  insertResul_.Finalize();
  begin_.Finalize();
  commit_.Finalize();
}

Notice HistoryStore::OpenHistoryDatabase() {
  CloseHistoryDatabase();
  std::optional<Carried> carried = std::exchange(carried_, std::nullopt);
  if (notOurs_) return Report(Notice::kDamagedFile);
  // One thread uses the connection (see the header): SQLite's lock around
  // every call would only cost, a fifth of a million-row search's statement.
  if (db_.Open(dbPath_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX) !=
      SQLITE_OK) {
    return Report(Notice::kHistoryUnavailable);
  }
  if (db_.ReadOnly()) {
    db_.Close();
    return Report(Notice::kHistoryUnavailable);
  }
  int rc = SQLITE_OK;
  switch (detail::ClassifyHistoryFile(db_.get(), &rc)) {
    case FileKind::kOurs:
    case FileKind::kEmpty:  // ours to fill
      break;
    case FileKind::kForeign:
      db_.Close();
      notOurs_ = true;
      return Report(Notice::kDamagedFile);
    case FileKind::kUnreadable:
      db_.Close();
      return Report(Notice::kHistoryUnavailable);
  }
  // WAL with synchronous=NORMAL: a commit is a write into the -wal file without
  // fsync, durable against the process being killed and never corrupting the
  // file. (Should WAL be refused, the rollback journal keeps working.)
  db_.Exec("PRAGMA journal_mode=WAL;");
  db_.Exec("PRAGMA synchronous=NORMAL;");

  // Tables first, then the transaction; results ignored; one transaction, so that a kill in the
  // middle cannot lose the carried total.
  db_.Exec(kBegin);
  db_.Exec(kCreateMyData);
  db_.Exec(kCreateLive);
  db_.Exec(kDropResul);
  db_.Exec(kCreateResul);
  PrepareStatements();
  clearLive_.Run();
  if (carried) {
    writeLive_.BindInt(1, carried->pos);
    writeLive_.BindText(2, carried->resu);
    writeLive_.Run();
  }
  commit_.Run();
  begin_.Run();
  reported_ = Notice::kNone;
  damaged_ = false;
  struct stat st {};
  if (::stat(dbPath_.c_str(), &st) == 0) {
    fileDevice_ = st.st_dev;
    fileInode_ = st.st_ino;
    knownSize_ = static_cast<long long>(st.st_size);
  }
  return Notice::kNone;
}

void HistoryStore::NoteDamage(int rc) {
  const int primary = rc & 0xff;
  if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) damaged_ = true;
}

HistoryStore::FileState HistoryStore::CheckFile() {
  struct stat st {};
  if (::stat(dbPath_.c_str(), &st) != 0) return FileState::kReplaced;
  if (st.st_dev != fileDevice_ || st.st_ino != fileInode_) return FileState::kReplaced;
  // The header is read through SQLite's own descriptor: opening and closing
  // the file here would drop every POSIX lock the connection holds on it, and
  // another reader could then take the write-ahead log away from under us.
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
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
  if (static_cast<long long>(st.st_size) < knownSize_) return FileState::kDamaged;
  knownSize_ = static_cast<long long>(st.st_size);
  return FileState::kOurs;
}

void HistoryStore::Abandon(bool replaced) noexcept {
  if (!db_) return;
  if (replaced) {
    sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  } else if (db_.InTransaction()) {
    commit_.Run();
  }
  FinalizeStatements();
  db_.Close();
  if (replaced) {
    for (const char* suffix : {"-wal", "-shm"}) ::unlink((dbPath_ + suffix).c_str());
  }
  damaged_ = false;
}

void HistoryStore::CommitWithTotal(int accScale, const std::string& resultText, bool rowFailed) {
  bool failed = rowFailed;
  const bool inTransaction = db_.InTransaction();
  if (!inTransaction) begin_.Run();
  writeLive_.BindInt(1, accScale);
  writeLive_.BindText(2, resultText);
  if (writeLive_.Run() != SQLITE_OK) failed = true;
  if (commit_.Run() != SQLITE_OK && !db_.InTransaction()) {
    // Rolled back: this step (and any appended rows) are lost. A commit that
    // failed with the transaction still open (busy) is retried by the next one.
    failed = true;
  }
  if (inTransaction && !db_.InTransaction()) begin_.Run();
  if (failed) unsaved_ = true;
}

void HistoryStore::RecordStep(const engine::HistoryRow& row, int accScale) {
  if (!db_) return;
  const bool inTransaction = db_.InTransaction();
  if (!inTransaction) begin_.Run();
  insertRow_.BindText(1, std::string_view(&row.oP, 1));
  insertRow_.BindText(2, row.fdata);  // REAL affinity stores "0.05" as the number 0.05
  insertRow_.BindText(3, row.mdata);
  insertRow_.BindText(4, row.re);
  const int rowRc = insertRow_.Run();
  NoteDamage(rowRc);
  const bool rowFailed = rowRc != SQLITE_OK;
  if (!inTransaction) {
    // Started here: commit here and leave the connection in autocommit mode.
    writeLive_.BindInt(1, accScale);
    writeLive_.BindText(2, row.re);
    const bool liveFailed = writeLive_.Run() != SQLITE_OK;
    const bool commitFailed = commit_.Run() != SQLITE_OK;
    if (rowFailed || liveFailed || commitFailed) unsaved_ = true;
    return;
  }
  CommitWithTotal(accScale, row.re, rowFailed);
}

void HistoryStore::RecordTotal(int accScale, const std::string& resultText) {
  if (!db_) return;
  CommitWithTotal(accScale, resultText, false);
}

void HistoryStore::AppendStep(const engine::HistoryRow& row) {
  if (!db_) return;
  insertRow_.BindText(1, std::string_view(&row.oP, 1));
  insertRow_.BindText(2, row.fdata);
  insertRow_.BindText(3, row.mdata);
  insertRow_.BindText(4, row.re);
  if (insertRow_.Run() != SQLITE_OK) unsaved_ = true;
}

Notice HistoryStore::SaveLastTotal(int accScale, const std::string& resultText) {
  if (!db_) return Notice::kNone;
  if (const FileState state = CheckFile(); state != FileState::kOurs || damaged_) {
    const bool replaced = state == FileState::kReplaced;
    Abandon(replaced);
    unsaved_ = false;
    notOurs_ = true;
    return Report(Notice::kDamagedFile);
  }
  Notice notice = Notice::kNone;
  // "COMMIT;" only when a transaction is open: a commit without one is no failure.
  if (db_.InTransaction() && commit_.Run() != SQLITE_OK) notice = Notice::kSaveFailed;
  if (std::exchange(unsaved_, false)) notice = Notice::kSaveFailed;

  // The resul row and the cleared live row go together; after this the
  // connection is in autocommit mode until the next BeginTransaction.
  const bool own = !db_.InTransaction();
  if (own) begin_.Run();
  insertResul_.BindInt(1, accScale);
  insertResul_.BindText(2, resultText);
  if (insertResul_.Run() == SQLITE_OK) clearLive_.Run();
  if (own && commit_.Run() != SQLITE_OK) notice = Notice::kSaveFailed;
  return notice;
}

void HistoryStore::BeginTransaction() {
  if (!db_) return;
  begin_.Run();
}

void HistoryStore::CloseHistoryDatabase() noexcept {
  if (!db_) return;
  if (CheckFile() == FileState::kReplaced) {
    Abandon(true);
    notOurs_ = true;
    return;
  }
  if (db_.InTransaction()) commit_.Run();
  FinalizeStatements();
  db_.Close();
}

std::string HistoryStore::DeleteHistoryFile() {
  CloseHistoryDatabase();
  carried_.reset();
  unsaved_ = false;
  if (!notOurs_ && FileExists(dbPath_)) {
    SavedTotal ignored;
    std::string error;
    notOurs_ = Examine(&ignored, &error) == FileKind::kForeign;
  }
  if (notOurs_) {
    std::string aside = MoveAside();
    // Should it stay where it is, the next open still leaves it alone.
    if (!aside.empty()) notOurs_ = false;
    return aside;
  }
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    ::unlink((dbPath_ + suffix).c_str());
  }
  return {};
}

std::string HistoryStore::MoveAside() const {
  const std::filesystem::path path(dbPath_);
  const std::string stamp = detail::LocalTime("-%Y%m%d-%H%M%S");
  if (stamp.empty()) return {};
  const std::string stem = path.stem().string() + stamp;
  const std::string extension = path.extension().string();
  for (int n = 1; n < 100; ++n) {
    // Appended piece by piece: GCC 12 at -O3 takes `"-" + std::to_string(n)`
    // for an overlapping copy and fails the build with -Werror.
    std::string name = stem;
    if (n > 1) name.append("-").append(std::to_string(n));
    name.append(extension);
    const std::string aside = (path.parent_path() / name).string();
    if (FileExists(aside)) continue;
    if (::rename(dbPath_.c_str(), aside.c_str()) != 0) return {};
    // Its log and journal go with it: they may hold the other program's
    // latest writes.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
      ::rename((dbPath_ + suffix).c_str(), (aside + suffix).c_str());
    }
    return aside;
  }
  return {};
}

Table HistoryStore::Query(const std::string& sql) {
  Table table;
  std::vector<std::string> names;
  const bool ok = ForEachRow(
      sql,
      [&](std::span<const std::string_view> cells) {
        if (table.rows == 0) {
          table.cells.reserve(cells.size() * 2);
          table.cells.insert(table.cells.end(), names.begin(), names.end());
        }
        for (std::string_view c : cells) table.cells.emplace_back(c);
        ++table.rows;
      },
      &names);
  if (!ok || table.rows == 0) return Table{};
  table.columns = static_cast<int>(names.size());
  return table;
}

bool HistoryStore::ForEachRow(const std::string& sql, const RowVisitor& row,
                              std::vector<std::string>* names) {
  if (!db_) return false;
  sql::Statement s;
  std::string_view rest;
  const int prepared = s.Prepare(db_.get(), sql, &rest);
  NoteDamage(prepared);
  if (prepared != SQLITE_OK || !s.ReadOnly()) return false;
  if (rest.find_first_not_of(" \t\r\n;") != std::string_view::npos) return false;
  const int columns = s.ColumnCount();
  std::vector<std::string_view> cells(static_cast<size_t>(columns));
  int rc;
  bool first = true;
  while ((rc = s.Step()) == SQLITE_ROW) {
    if (first && names != nullptr) {
      for (int c = 0; c < columns; ++c) names->emplace_back(s.ColumnName(c));
    }
    first = false;
    for (int c = 0; c < columns; ++c) cells[static_cast<size_t>(c)] = s.ColumnText(c);
    row(cells);
  }
  NoteDamage(rc);
  return rc == SQLITE_DONE;
}

}  // namespace zantor::store
