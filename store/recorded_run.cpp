#include "store/recorded_run.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/replay.h"
#include "store/history_file_check.h"
#include "store/history_store.h"
#include "store/sqlite_handle.h"

namespace zantor::store {
namespace {

constexpr char kSelectBackward[] =
    "SELECT ID,oP,mdata,re FROM MyData WHERE ID<=? ORDER BY ID DESC LIMIT ?;";
constexpr char kSelectForward[] =
    "SELECT ID,oP,mdata,re FROM MyData WHERE ID>? ORDER BY ID LIMIT ?;";
constexpr long long kSlice = 4096;

struct IdRow {
  long long id = 0;
  engine::HistoryRow row;
};

// Reads up to kSlice rows of `sql` from `after`; false on a failure.
bool ReadSlice(::sqlite3* db, const char* sql, long long after, std::vector<IdRow>* rows) {
  rows->clear();
  sql::Statement s;
  if (s.Prepare(db, sql) != SQLITE_OK) return false;
  s.BindInt(1, after);
  s.BindInt(2, kSlice);
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    IdRow& r = rows->emplace_back();
    r.id = s.ColumnInt(0);
    const std::string_view op = s.ColumnText(1);
    r.row.oP = op.empty() ? '?' : op[0];
    r.row.mdata.assign(s.ColumnText(2));
    r.row.re.assign(s.ColumnText(3));
  }
  return rc == SQLITE_DONE;
}

// Whether `row` is the step that `state` (the registers after the row
// before) leads to; `state` becomes the registers after it.
bool Follows(engine::CalcState& state, const engine::HistoryRow& row) {
  const engine::StepResult r = engine::ReplayStep(state, row.oP, row.mdata);
  return r.status == engine::StepResult::Status::kDone && r.row.re == row.re;
}

}  // namespace

RunStatus ReadRunHolding(::sqlite3* db, long long id, RecordedRun* run) {
  *run = RecordedRun();
  if (db == nullptr) return RunStatus::kUnavailable;
  std::vector<IdRow> slice;
  // Backwards from the row itself, while each row follows from the one before.
  std::vector<IdRow> earlier;              // newest first
  std::optional<std::string> totalBefore;  // of the row before the run, when there is one
  bool started = false;
  long long from = id;
  for (bool more = true; more;) {
    if (!ReadSlice(db, kSelectBackward, from, &slice)) return RunStatus::kFailed;
    if (!started) {
      if (slice.empty() || slice.front().id != id) return RunStatus::kUnknownId;
      started = true;
    }
    more = static_cast<long long>(slice.size()) == kSlice;
    for (IdRow& r : slice) {
      if (!earlier.empty() && r.id == earlier.back().id)
        continue;  // the slice's first: read before
      if (!earlier.empty()) {
        engine::CalcState state = engine::StateAfterTotal(r.row.re);
        if (!Follows(state, earlier.back().row)) {
          // The run starts at earlier.back(): from zero, or from nothing known.
          totalBefore = std::move(r.row.re);
          more = false;
          break;
        }
      }
      earlier.push_back(std::move(r));
    }
    from = earlier.back().id;
  }
  std::reverse(earlier.begin(), earlier.end());
  // Typed again from zero when the first row follows from zero; from the
  // total before it otherwise, which is as near as anything known.
  if (engine::CalcState zero; totalBefore && !Follows(zero, earlier.front().row)) {
    run->before = std::move(*totalBefore);
  }

  // Forwards after the row, while each follows from the one before.
  engine::CalcState state = engine::StateAfterTotal(earlier.back().row.re);
  std::vector<IdRow> rows = std::move(earlier);
  for (bool more = true; more;) {
    if (!ReadSlice(db, kSelectForward, rows.back().id, &slice)) return RunStatus::kFailed;
    more = static_cast<long long>(slice.size()) == kSlice;
    for (IdRow& r : slice) {
      if (!Follows(state, r.row)) {
        more = false;
        break;
      }
      rows.push_back(std::move(r));
    }
  }
  run->ids.reserve(rows.size());
  run->rows.reserve(rows.size());
  for (IdRow& r : rows) {
    run->ids.push_back(r.id);
    run->rows.push_back(std::move(r.row));
  }
  return RunStatus::kFound;
}

long long LastStepId(::sqlite3* db) {
  sql::Statement s;
  if (db == nullptr || s.Prepare(db, "SELECT max(ID) FROM MyData;") != SQLITE_OK) return 0;
  return s.Step() == SQLITE_ROW ? s.ColumnInt(0) : 0;
}

RunStatus ReadRunHoldingInFile(const std::string& path, long long id, RecordedRun* run) {
  sql::Connection db;
  if (db.Open(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX) != SQLITE_OK) {
    return RunStatus::kUnavailable;
  }
  sqlite3_busy_timeout(db.get(), 200);
  int rc = SQLITE_OK;
  std::optional<detail::CurrentTotal> total;
  switch (detail::ExamineHistoryFile(db.get(), &rc, &total)) {
    case detail::FileKind::kOurs:
      return ReadRunHolding(db.get(), id, run);
    case detail::FileKind::kEmpty:
    case detail::FileKind::kForeign:
      return RunStatus::kNotHistory;
    case detail::FileKind::kUnreadable:
      break;
  }
  return RunStatus::kUnavailable;
}

// Read outside the transaction kept open between steps, so that the rows read
// leave no snapshot held for as long as the check lasts.
RunStatus HistoryStore::RunHolding(long long id, RecordedRun* run) {
  const bool inTransaction = db_.InTransaction();
  if (inTransaction) commit_.Run();
  const RunStatus status = ReadRunHolding(db_.get(), id, run);
  if (inTransaction) begin_.Run();
  return status;
}

long long HistoryStore::LastStepId() {
  const bool inTransaction = db_.InTransaction();
  if (inTransaction) commit_.Run();
  const long long id = store::LastStepId(db_.get());
  if (inTransaction) begin_.Run();
  return id;
}

}  // namespace zantor::store
