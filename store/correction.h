// Correcting a past step: the row gets its new operator and entry, the rest
// of its run is recomputed by the evaluation step (engine/replay.h), a trail
// row goes into `corrections`, and when the run ends the history and the
// current total continues it, that total follows. All of it is one
// transaction: a kill at any moment leaves the history as it was before or
// as it is after, never a mix.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/step.h"

struct sqlite3;

namespace zantor::store {

struct CorrectionRequest {
  long long id = 0;   // the row's ID
  char op = 0;        // '+', '-', '*', or 0 to keep the row's operator
  std::string entry;  // typed as in normal mode
};

enum class CorrectionStatus {
  kDone,
  kUnknownId,     // no row has that ID
  kEntryRefused,  // the entry checks refuse the entry (message says why)
  kNoBase,        // the row's total follows neither from the one before nor from zero
  kInUse,         // another program (a running window) has the history open
  kUnavailable,   // the file cannot be opened (or does not exist)
  kNotHistory,    // the file is not a history file
  kFailed,        // SQLite or memory failed; nothing was changed
};

struct CorrectionOutcome {
  CorrectionStatus status = CorrectionStatus::kFailed;
  engine::StepMessage message = engine::StepMessage::kNone;  // for kEntryRefused
  // The rows written: the corrected one and the following rows of its run
  // whose totals changed, IDs firstId..lastId.
  long long firstId = 0;
  long long lastId = 0;
  // The run's new last total, when the current total (the one a keep start or
  // the window after a kill would take) continued the run and has become it.
  bool totalChanged = false;
  int accScale = 0;
  std::string total;
};

// One row of `corrections`.
struct CorrectionEntry {
  long long stepId = 0;
  char oldOp = '+';
  std::string oldEntry;  // grouped, as the row showed it
  char newOp = '+';
  std::string newEntry;
  std::string time;  // local time, "YYYY-MM-DD HH:MM:SS"
};

// Called for each recomputed row while the transaction is still open, with
// the row's ID; for progress (and for tests that kill in the middle).
using CorrectionProgress = std::function<void(long long id)>;
// Called for each written row after the commit, in ID order.
using StoredRowSink = std::function<void(long long id, const engine::HistoryRow& row)>;

// On an open connection that holds no transaction (the window's, while the
// search dialog is open). BEGIN IMMEDIATE .. COMMIT; on any refusal or failure
// a ROLLBACK, and nothing has changed.
CorrectionOutcome CorrectStep(::sqlite3* db, const CorrectionRequest& request,
                              const CorrectionProgress& progress = {});

// The command line's correction: opens `path` (never creates it), refuses it
// when another connection has it open, corrects, then hands `stored` the
// written rows as they are in the file.
CorrectionOutcome CorrectStepInFile(const std::string& path, const CorrectionRequest& request,
                                    const StoredRowSink& stored = {},
                                    const CorrectionProgress& progress = {});

// The trail, oldest first; empty when nothing was ever corrected.
std::vector<CorrectionEntry> ListCorrections(::sqlite3* db);
// For the command line; `status` receives kDone, kUnavailable or kNotHistory.
std::vector<CorrectionEntry> ListCorrectionsInFile(const std::string& path,
                                                   CorrectionStatus* status);

namespace sql {
class Connection;
}
namespace detail {
// Opens `path` for the command line, never creating it, and refuses what the
// window would call damaged (kNotHistory); kDone when *db is ready. With
// `exclusive`, a file another connection has open gives kInUse.
CorrectionStatus OpenForCommandLine(const std::string& path, bool exclusive, sql::Connection* db,
                                    long long* version = nullptr);
}  // namespace detail

}  // namespace zantor::store
