// The recorded run that holds a given step, read for keying it in again
// (复核). Runs are those of engine/replay.h; only the run's own rows are
// read, so a long history costs nothing beyond them.
#pragma once

#include <string>
#include <vector>

#include "engine/step.h"

struct sqlite3;

namespace zantor::store {

struct RecordedRun {
  std::vector<long long> ids;
  std::vector<engine::HistoryRow> rows;  // fdata is not read
  // The total before the first row as displayed; empty when the run starts
  // from zero (or from nothing known).
  std::string before;
};

enum class RunStatus {
  kFound,
  kUnknownId,    // no row has that ID (or the history has no rows)
  kUnavailable,  // the file cannot be opened
  kNotHistory,   // the file is not a history file
  kFailed,
};

// On an open connection (the window's, inside its open transaction).
RunStatus ReadRunHolding(::sqlite3* db, long long id, RecordedRun* run);
// The ID of the last row; 0 when there is none.
long long LastStepId(::sqlite3* db);
// The command line's: opens `path` read-only, never creating it.
RunStatus ReadRunHoldingInFile(const std::string& path, long long id, RecordedRun* run);

}  // namespace zantor::store
