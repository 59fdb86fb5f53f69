#include "store/history_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <string_view>
#include <utility>

#include "store/history_file_check.h"
#include "store/local_time.h"
#include "store/move_aside.h"

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
// Any read: in rollback-journal mode it takes the shared lock the open
// transaction then keeps.
constexpr char kHoldRead[] = "SELECT 1 FROM MyData LIMIT 1;";

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

SavedTotal HistoryStore::RestoreLastTotal() {
  SavedTotal out;
  carried_.reset();
  restoredTotal_.reset();
  notOurs_ = false;
  unreadable_ = false;
  busy_ = false;
  if (!FileExists(dbPath_)) return out;  // first run: nothing to restore

  std::string error;
  int rc = SQLITE_OK;
  std::optional<detail::CurrentTotal> total;
  switch (detail::ExamineHistoryFileAt(dbPath_, &total, &error, &rc)) {
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
      // The file is not deleted: it may hold the user's history. Nor is it
      // opened for writing: whoever holds it (a correction, say) may be
      // about to change the total this start could not read.
      std::fprintf(stderr, "Can't open database: %s\n", error.c_str());
      unreadable_ = true;
      out = SavedTotal{};
      out.openFailed = true;
      out.notice = Report(Notice::kHistoryUnavailable);
      return out;
  }
  if (total) {
    out.found = true;
    out.pos = ClampToInt(total->pos);
    out.resu = total->resu;
    restoredTotal_.emplace(Carried{ClampToInt(total->pos), std::move(total->resu)});
  } else {
    restoredTotal_.emplace();
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
  holdRead_.Prepare(db, kHoldRead);
}

void HistoryStore::FinalizeStatements() noexcept {
  insertRow_.Finalize();
  writeLive_.Finalize();
  clearLive_.Finalize();
  insertResul_.Finalize();
  begin_.Finalize();
  commit_.Finalize();
  holdRead_.Finalize();
}

void HistoryStore::Begin() {
  begin_.Run();
  if (!wal_) holdRead_.Run();
}

Notice HistoryStore::OpenHistoryDatabase() {
  CloseHistoryDatabase();
  std::optional<Carried> carried = std::exchange(carried_, std::nullopt);
  stopNotice_ = Notice::kNone;
  if (notOurs_) return Report(Notice::kDamagedFile);
  if (unreadable_ || busy_) return Report(Notice::kHistoryUnavailable);
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
  {
    sql::Statement mode;
    wal_ = mode.Prepare(db_.get(), "PRAGMA journal_mode=WAL;") == SQLITE_OK &&
           mode.Step() == SQLITE_ROW && mode.ColumnText(0) == "wal";
  }
  db_.Exec("PRAGMA synchronous=NORMAL;");

  settleCarried_ = std::move(carried);
  settlePending_ = true;
  PrepareStatements();
  if (!Settle() && !db_) {
    stopNotice_ = Notice::kNone;
    return Report(Notice::kHistoryUnavailable);
  }
  // Another program holding the write lock now does not stop the run: the
  // open's writes are done at the first step that gets the lock.
  Begin();
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

bool HistoryStore::Settle() {
  if (!settlePending_) return true;
  if (!db_) return false;
  const bool inTransaction = db_.InTransaction();
  if (inTransaction) db_.Exec(kCommit);
  // Tables first, then the transaction; one transaction, so that a kill in
  // the middle cannot lose the carried total.
  if (db_.Exec("BEGIN IMMEDIATE;") != SQLITE_OK) {
    if (inTransaction) Begin();
    return false;
  }
  if (restoredTotal_) {
    std::optional<Carried> now;
    if (const auto current = detail::ReadCurrentTotal(db_.get())) {
      now = Carried{ClampToInt(current->pos), current->resu};
    }
    const std::optional<Carried>& shown = *restoredTotal_;
    if (now.has_value() != shown.has_value() ||
        (now && (now->pos != shown->pos || now->resu != shown->resu))) {
      db_.Exec("ROLLBACK;");
      FinalizeStatements();
      db_.Close();
      settlePending_ = false;
      stopNotice_ = Notice::kHistoryUnavailable;
      return false;
    }
  }
  // Results ignored, as the statements the original program runs.
  db_.Exec(kCreateMyData);
  db_.Exec(kCreateLive);
  db_.Exec(kDropResul);
  db_.Exec(kCreateResul);
  PrepareStatements();
  clearLive_.Run();
  if (settleCarried_) {
    writeLive_.BindInt(1, settleCarried_->pos);
    writeLive_.BindText(2, settleCarried_->resu);
    writeLive_.Run();
  }
  if (commit_.Run() != SQLITE_OK) {
    // In rollback-journal mode a reader elsewhere can hold the commit off.
    db_.Exec("ROLLBACK;");
    if (inTransaction) Begin();
    return false;
  }
  settlePending_ = false;
  restoredTotal_.reset();
  settleCarried_.reset();
  if (inTransaction) Begin();
  return true;
}

void HistoryStore::NoteDamage(int rc) {
  if (detail::IsDamage(rc)) damaged_ = true;
}

HistoryStore::FileState HistoryStore::CheckFile() {
  detail::FileIdentity known{fileDevice_, fileInode_, knownSize_};
  const FileState state = detail::CheckOpenFile(db_.get(), dbPath_, &known);
  knownSize_ = known.size;
  return state;
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
  if (inTransaction && !db_.InTransaction()) Begin();
  if (failed) unsaved_ = true;
}

void HistoryStore::RecordStep(const engine::HistoryRow& row, int accScale) {
  if (!db_) return;
  if (settlePending_ && !Settle()) {
    unsaved_ = true;
    return;
  }
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
  if (settlePending_ && !Settle()) {
    unsaved_ = true;
    return;
  }
  CommitWithTotal(accScale, resultText, false);
}

void HistoryStore::AppendStep(const engine::HistoryRow& row) {
  if (!db_) return;
  if (settlePending_ && !Settle()) {
    unsaved_ = true;
    return;
  }
  insertRow_.BindText(1, std::string_view(&row.oP, 1));
  insertRow_.BindText(2, row.fdata);
  insertRow_.BindText(3, row.mdata);
  insertRow_.BindText(4, row.re);
  if (insertRow_.Run() != SQLITE_OK) unsaved_ = true;
}

Notice HistoryStore::SaveLastTotal(int accScale, const std::string& resultText) {
  if (!db_) return Report(std::exchange(stopNotice_, Notice::kNone));
  if (settlePending_ && !Settle()) {
    // Held by another program since the open: nothing of this run is in the
    // file, and nothing will be.
    if (db_) {
      Abandon(false);
      unsaved_ = false;
    }
    stopNotice_ = Notice::kNone;
    return Report(Notice::kHistoryUnavailable);
  }
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
  Begin();
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
  restoredTotal_.reset();
  unsaved_ = false;
  unreadable_ = false;
  busy_ = false;
  detail::ClearVerdict verdict = detail::JudgeForClearing(dbPath_);
  // Found not to be ours in this run (damaged, or written over since): it
  // may look like a history now, but it is not provably one.
  if (notOurs_ && verdict == detail::ClearVerdict::kDelete) {
    verdict = detail::ClearVerdict::kMoveAside;
  }
  switch (verdict) {
    case detail::ClearVerdict::kAbsent:
    case detail::ClearVerdict::kDelete:
      break;
    case detail::ClearVerdict::kBusy:
      busy_ = true;
      return {};
    case detail::ClearVerdict::kMoveAside: {
      std::string aside = detail::MoveAside(dbPath_, detail::LocalTime("-%Y%m%d-%H%M%S"));
      // Should it stay where it is, the next open still leaves it alone.
      notOurs_ = aside.empty();
      return aside;
    }
  }
  notOurs_ = false;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    ::unlink((dbPath_ + suffix).c_str());
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
