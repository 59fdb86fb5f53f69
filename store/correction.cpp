#include "store/correction.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/replay.h"
#include "store/history_file_check.h"
#include "store/history_store.h"
#include "store/local_time.h"
#include "store/sqlite_handle.h"

namespace zantor::store {
namespace {

constexpr char kCreateCorrections[] =
    "CREATE TABLE IF NOT EXISTS corrections(ID INTEGER PRIMARY KEY,stepId INTEGER,oldOp CHAR(1),"
    "oldEntry TEXT,newOp CHAR(1),newEntry TEXT,time TEXT);";
constexpr char kInsertCorrection[] =
    "INSERT INTO corrections(stepId,oldOp,oldEntry,newOp,newEntry,time) VALUES(?,?,?,?,?,?);";
constexpr char kSelectRow[] = "SELECT oP,mdata,re FROM MyData WHERE ID=?;";
constexpr char kSelectPrevious[] =
    "SELECT oP,mdata,re FROM MyData WHERE ID<? ORDER BY ID DESC LIMIT 1;";
constexpr char kSelectFollowing[] =
    "SELECT ID,oP,mdata,re FROM MyData WHERE ID>? ORDER BY ID LIMIT ?;";
constexpr char kUpdateCorrected[] = "UPDATE MyData SET oP=?,fdata=?,mdata=?,re=? WHERE ID=?;";
// A slice's new totals go in with one statement over its ID range rather
// than one UPDATE a row: per-row statements were half the time of a long run.
constexpr char kTotalFunction[] = "zantor_recomputed_total";
constexpr char kUpdateTotals[] =
    "UPDATE MyData SET re=zantor_recomputed_total(ID) WHERE ID>=? AND ID<=?;";
constexpr char kSelectWritten[] =
    "SELECT ID,oP,mdata,re FROM MyData WHERE ID>=? AND ID<=? ORDER BY ID;";

// Rows are read a slice at a time and written before the next slice is read,
// so that no read is open on the table while it is being changed.
constexpr long long kSlice = 8192;

bool Busy(int rc) { return detail::IsBusy(rc); }

// Reads the row's operator, grouped entry and total from column `first` on,
// into *row's own buffers. The run's recomputation feeds on those alone; the
// bare entry is derived only when asked for.
void ReadRow(const sql::Statement& s, int first, engine::HistoryRow* row, bool withBare = true) {
  const std::string_view op = s.ColumnText(first);
  row->oP = op.empty() ? '?' : op[0];
  row->mdata.assign(s.ColumnText(first + 1));
  if (withBare) row->fdata = engine::BareEntry(row->mdata);
  row->re.assign(s.ColumnText(first + 2));
}

// The new totals of one slice, in ID order, handed to the UPDATE through
// kTotalFunction. Each row's total is looked up by its ID, so the result does
// not depend on the order in which SQLite visits the rows.
struct SliceTotals {
  std::vector<std::pair<long long, std::string>> totals;
  const CorrectionProgress* progress = nullptr;
};

void RecomputedTotal(sqlite3_context* context, int, sqlite3_value** argv) {
  const auto* slice = static_cast<const SliceTotals*>(sqlite3_user_data(context));
  const long long id = sqlite3_value_int64(argv[0]);
  const auto& totals = slice->totals;
  const auto at =
      std::lower_bound(totals.begin(), totals.end(), id,
                       [](const auto& entry, long long key) { return entry.first < key; });
  if (at == totals.end() || at->first != id) {
    sqlite3_result_error(context, "row outside the recomputed slice", -1);
    return;
  }
  sqlite3_result_text(context, at->second.data(), static_cast<int>(at->second.size()),
                      SQLITE_STATIC);
  if (*slice->progress) (*slice->progress)(id);
}

// Registers kTotalFunction on the connection for as long as it lives: the
// window's connection outlives the correction and must not keep it.
class TotalFunction {
 public:
  TotalFunction(::sqlite3* db, SliceTotals* slice) : db_(db) {
    ok_ = sqlite3_create_function(db_, kTotalFunction, 1, SQLITE_UTF8 | SQLITE_DIRECTONLY, slice,
                                  RecomputedTotal, nullptr, nullptr) == SQLITE_OK;
  }
  ~TotalFunction() {
    if (ok_) {
      sqlite3_create_function(db_, kTotalFunction, 1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                              nullptr);
    }
  }
  TotalFunction(const TotalFunction&) = delete;
  TotalFunction& operator=(const TotalFunction&) = delete;
  bool ok() const { return ok_; }

 private:
  ::sqlite3* db_;
  bool ok_ = false;
};

// Rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(::sqlite3* db) : db_(db) {}
  ~Transaction() {
    if (!done_ && sqlite3_get_autocommit(db_) == 0) {
      sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
    }
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  int Commit() {
    const int rc = sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr);
    done_ = rc == SQLITE_OK;
    return rc;
  }

 private:
  ::sqlite3* db_;
  bool done_ = false;
};

bool WriteCurrentTotal(::sqlite3* db, const detail::CurrentTotal& current, int pos,
                       const std::string& resu) {
  sql::Statement s;
  const std::string q = "UPDATE " + current.table + " SET pos=?,resu=? WHERE rowid=?;";
  if (s.Prepare(db, q) != SQLITE_OK) return false;
  s.BindInt(1, pos);
  s.BindText(2, resu);
  s.BindInt(3, current.rowid);
  return s.Run() == SQLITE_OK;
}

CorrectionOutcome Outcome(CorrectionStatus status) {
  CorrectionOutcome out;
  out.status = status;
  return out;
}

}  // namespace

namespace {

// `claimed`, when given, is the data version at which the caller found the
// file to be its alone: a writer that came in since (a window's open) makes
// the history in use after all.
CorrectionOutcome Correct(::sqlite3* db, const CorrectionRequest& request,
                          const CorrectionProgress& progress, const long long* claimed) {
  if (db == nullptr) return Outcome(CorrectionStatus::kUnavailable);
  const int begun = sqlite3_exec(db, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
  if (begun != SQLITE_OK) {
    return Outcome(Busy(begun) ? CorrectionStatus::kInUse : CorrectionStatus::kFailed);
  }
  Transaction transaction(db);
  if (claimed != nullptr && detail::DataVersion(db) != *claimed) {
    return Outcome(CorrectionStatus::kInUse);
  }
  CorrectionOutcome out = Outcome(CorrectionStatus::kFailed);

  sql::Statement select;
  if (select.Prepare(db, kSelectRow) != SQLITE_OK) return out;
  select.BindInt(1, request.id);
  int rc = select.Step();
  if (rc == SQLITE_DONE) return Outcome(CorrectionStatus::kUnknownId);
  if (rc != SQLITE_ROW) return Outcome(Busy(rc) ? CorrectionStatus::kInUse : out.status);
  engine::HistoryRow original;
  ReadRow(select, 0, &original);
  select.Finalize();

  std::optional<engine::HistoryRow> previous;
  if (select.Prepare(db, kSelectPrevious) != SQLITE_OK) return out;
  select.BindInt(1, request.id);
  rc = select.Step();
  if (rc == SQLITE_ROW) {
    ReadRow(select, 0, &previous.emplace());
  } else if (rc != SQLITE_DONE) {
    return out;
  }
  select.Finalize();

  const char op = request.op != 0 ? request.op : original.oP;
  if (op != '+' && op != '-' && op != '*') return out;
  engine::RunCorrection correction;
  switch (correction.Begin(previous ? &*previous : nullptr, original, op, request.entry)) {
    case engine::RunCorrection::Start::kStarted:
      break;
    case engine::RunCorrection::Start::kRefused:
      out.status = CorrectionStatus::kEntryRefused;
      out.message = correction.message();
      return out;
    case engine::RunCorrection::Start::kNoBase:
      return Outcome(CorrectionStatus::kNoBase);
  }

  const engine::HistoryRow& corrected = correction.corrected();
  sql::Statement update;
  if (update.Prepare(db, kUpdateCorrected) != SQLITE_OK) return out;
  update.BindText(1, std::string_view(&corrected.oP, 1));
  update.BindText(2, corrected.fdata);  // REAL affinity makes it a number, as a step's row
  update.BindText(3, corrected.mdata);
  update.BindText(4, corrected.re);
  update.BindInt(5, request.id);
  if (update.Run() != SQLITE_OK) return out;
  if (progress) progress(request.id);
  out.firstId = request.id;
  out.lastId = request.id;

  // The rest of the run, slice by slice, until it ends, settles or the
  // history ends.
  bool reachedEnd = false;
  std::string lastOriginalTotal = original.re;
  if (corrected.re != original.re) {
    SliceTotals written;
    written.progress = &progress;
    const TotalFunction function(db, &written);
    if (!function.ok() || update.Prepare(db, kUpdateTotals) != SQLITE_OK) return out;
    std::vector<std::pair<long long, engine::HistoryRow>> slice(kSlice);
    long long after = request.id;
    bool stopped = false;
    while (!stopped) {
      size_t read = 0;
      if (select.Prepare(db, kSelectFollowing) != SQLITE_OK) return out;
      select.BindInt(1, after);
      select.BindInt(2, kSlice);
      while ((rc = select.Step()) == SQLITE_ROW) {
        slice[read].first = select.ColumnInt(0);
        ReadRow(select, 1, &slice[read].second, false);
        ++read;
      }
      if (rc != SQLITE_DONE) return out;
      select.Finalize();
      written.totals.clear();
      for (size_t i = 0; i < read; ++i) {
        const auto& [id, row] = slice[i];
        std::string total;
        const engine::RunCorrection::Next next = correction.Feed(row, &total);
        if (next == engine::RunCorrection::Next::kFailed) return out;
        if (next != engine::RunCorrection::Next::kRecomputed) {
          stopped = true;
          break;
        }
        written.totals.emplace_back(id, std::move(total));
        lastOriginalTotal = row.re;
      }
      if (!written.totals.empty()) {
        update.BindInt(1, written.totals.front().first);
        update.BindInt(2, written.totals.back().first);
        if (update.Run() != SQLITE_OK) return out;
        if (sqlite3_changes(db) != static_cast<int>(written.totals.size())) return out;
        out.lastId = written.totals.back().first;
      }
      if (!stopped && static_cast<long long>(read) < kSlice) {
        reachedEnd = true;
        stopped = true;
      }
      if (read > 0) after = slice[read - 1].first;
    }
  }

  // The current total follows the run only if nothing (a zeroing, a start
  // without keep) came after its last row.
  if (reachedEnd) {
    const std::optional<detail::CurrentTotal> current = detail::ReadCurrentTotal(db);
    if (current && current->resu == lastOriginalTotal) {
      if (!WriteCurrentTotal(db, *current, correction.accScale(), correction.total())) return out;
      out.totalChanged = true;
      out.accScale = correction.accScale();
      out.total = correction.total();
    }
  }

  if (sqlite3_exec(db, kCreateCorrections, nullptr, nullptr, nullptr) != SQLITE_OK) return out;
  sql::Statement trail;
  if (trail.Prepare(db, kInsertCorrection) != SQLITE_OK) return out;
  trail.BindInt(1, request.id);
  trail.BindText(2, std::string_view(&original.oP, 1));
  trail.BindText(3, original.mdata);
  trail.BindText(4, std::string_view(&corrected.oP, 1));
  trail.BindText(5, corrected.mdata);
  trail.BindText(6, detail::LocalTime("%Y-%m-%d %H:%M:%S"));
  if (trail.Run() != SQLITE_OK) return out;

  rc = transaction.Commit();
  if (rc != SQLITE_OK) return Outcome(Busy(rc) ? CorrectionStatus::kInUse : out.status);
  out.status = CorrectionStatus::kDone;
  return out;
}

}  // namespace

namespace detail {

// Opens `path` for the command line. With `exclusive`, the file must be open
// nowhere else (a running window, a recording zantor-tape); *version (when
// given) gets the data version at which that was so.
CorrectionStatus OpenForCommandLine(const std::string& path, bool exclusive, sql::Connection* db,
                                    long long* version) {
  if (db->Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX) != SQLITE_OK) {
    return CorrectionStatus::kUnavailable;
  }
  sqlite3_busy_timeout(db->get(), 200);
  // The file the window would call damaged is refused here too.
  int rc = SQLITE_OK;
  std::optional<detail::CurrentTotal> total;
  switch (detail::ExamineHistoryFile(db->get(), &rc, &total)) {
    case detail::FileKind::kOurs:
      if (!exclusive) return CorrectionStatus::kDone;
      // Only for a moment: readers (a search, sqlite3) may read while the
      // correction works; writers wait for it.
      rc = detail::ClaimAlone(db->get(), version);
      if (rc == SQLITE_OK) return CorrectionStatus::kDone;
      return Busy(rc) ? CorrectionStatus::kInUse : CorrectionStatus::kFailed;
    case detail::FileKind::kEmpty:
    case detail::FileKind::kForeign:
      return CorrectionStatus::kNotHistory;
    case detail::FileKind::kUnreadable:
      break;
  }
  return Busy(rc) ? CorrectionStatus::kInUse : CorrectionStatus::kUnavailable;
}

}  // namespace detail

using detail::OpenForCommandLine;

CorrectionOutcome CorrectStep(::sqlite3* db, const CorrectionRequest& request,
                              const CorrectionProgress& progress) {
  return Correct(db, request, progress, nullptr);
}

CorrectionOutcome CorrectStepInFile(const std::string& path, const CorrectionRequest& request,
                                    const StoredRowSink& stored,
                                    const CorrectionProgress& progress) {
  sql::Connection db;
  long long version = -1;
  if (const CorrectionStatus s = OpenForCommandLine(path, true, &db, &version);
      s != CorrectionStatus::kDone) {
    return Outcome(s);
  }
  const CorrectionOutcome out = Correct(db.get(), request, progress, &version);
  if (out.status != CorrectionStatus::kDone || !stored) return out;
  sql::Statement s;
  if (s.Prepare(db.get(), kSelectWritten) != SQLITE_OK) return out;
  s.BindInt(1, out.firstId);
  s.BindInt(2, out.lastId);
  engine::HistoryRow row;
  while (s.Step() == SQLITE_ROW) {
    ReadRow(s, 1, &row);
    stored(s.ColumnInt(0), row);
  }
  return out;
}

std::vector<CorrectionEntry> ListCorrections(::sqlite3* db) {
  std::vector<CorrectionEntry> entries;
  sql::Statement s;
  if (db == nullptr ||
      s.Prepare(db,
                "SELECT stepId,oldOp,oldEntry,newOp,newEntry,time FROM corrections ORDER BY ID;") !=
          SQLITE_OK) {
    return entries;  // never corrected: no table
  }
  auto first = [](std::string_view t) { return t.empty() ? '?' : t[0]; };
  while (s.Step() == SQLITE_ROW) {
    entries.push_back(CorrectionEntry{s.ColumnInt(0), first(s.ColumnText(1)),
                                      std::string(s.ColumnText(2)), first(s.ColumnText(3)),
                                      std::string(s.ColumnText(4)), std::string(s.ColumnText(5))});
  }
  return entries;
}

std::vector<CorrectionEntry> ListCorrectionsInFile(const std::string& path,
                                                   CorrectionStatus* status) {
  sql::Connection db;
  *status = OpenForCommandLine(path, false, &db);
  if (*status == CorrectionStatus::kInUse) *status = CorrectionStatus::kUnavailable;
  if (*status != CorrectionStatus::kDone) return {};
  return ListCorrections(db.get());
}

CorrectionOutcome HistoryStore::Correct(const CorrectionRequest& request,
                                        const CorrectionProgress& progress) {
  if (!db_) return Outcome(CorrectionStatus::kUnavailable);
  // Between steps a transaction is open; the correction needs its own.
  const bool inTransaction = db_.InTransaction();
  if (inTransaction) commit_.Run();
  CorrectionOutcome out = CorrectStep(db_.get(), request, progress);
  if (inTransaction) Begin();
  if (out.status == CorrectionStatus::kDone && out.totalChanged) {
    correctedTotal_ = Carried{out.accScale, out.total};
  }
  return out;
}

bool HistoryStore::TakeCorrectedTotal(int* accScale, std::string* total) {
  if (!correctedTotal_) return false;
  *accScale = correctedTotal_->pos;
  *total = std::move(correctedTotal_->resu);
  correctedTotal_.reset();
  return true;
}

std::vector<CorrectionEntry> HistoryStore::Corrections() { return ListCorrections(db_.get()); }

}  // namespace zantor::store
