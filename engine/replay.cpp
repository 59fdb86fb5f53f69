#include "engine/replay.h"

#include "engine/entry.h"

namespace zantor::engine {
namespace {

// A keep start never rebuilds a negative zero; a step can leave one (-5 + 5).
// Its sign shows nowhere, but stepping on from the same registers as a keep
// start keeps the two paths the same by construction.
void PlainZero(CalcState& state) {
  if (state.accumulator.IsZero()) state.accumulator.set_sign('+');
}

bool IsDone(const StepResult& r) { return r.status == StepResult::Status::kDone; }

// Whether `row` follows from `before` (consumed).
bool FollowsFrom(CalcState before, const HistoryRow& row) {
  const StepResult r = ReplayStep(before, row.oP, row.mdata);
  return IsDone(r) && r.row.re == row.re;
}

}  // namespace

CalcState StateAfterTotal(std::string_view total) {
  CalcState state;
  const size_t point = total.find('.');
  const int pos = point == std::string_view::npos ? 0 : static_cast<int>(total.size() - point - 1);
  RestoreAccumulator(state, pos, total);
  return state;
}

std::string BareEntry(std::string_view mdata) {
  std::string entry;
  entry.reserve(mdata.size());
  for (char c : mdata) {
    if (c != ',') entry.push_back(c);
  }
  return entry;
}

StepResult ReplayStep(CalcState& state, char op, std::string_view mdata) {
  std::string entry = BareEntry(mdata);
  state.pendingOp = op;
  state.entryMode = 'z';
  StepResult r = EvaluateStep(state, entry);
  if (r.status == StepResult::Status::kRefused && r.message == StepMessage::kTooLong &&
      entry.size() > kMaxEntryLength && entry.size() >= 3 && entry[entry.size() - 3] == '.') {
    entry.erase(entry.size() - 3, 1);
    state.entryMode = 'k';
    r = EvaluateStep(state, entry);
    state.entryMode = 'z';
  }
  if (IsDone(r)) PlainZero(state);
  return r;
}

std::vector<Run> FindRuns(std::span<const HistoryRow> rows) {
  std::vector<Run> runs;
  CalcState state;  // after the previous row, when it is in a run
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) {
      const StepResult r = ReplayStep(state, rows[i].oP, rows[i].mdata);
      if (IsDone(r) && r.row.re == rows[i].re) {
        runs.back().end = i + 1;
        continue;
      }
    }
    state = CalcState();
    const StepResult r = ReplayStep(state, rows[i].oP, rows[i].mdata);
    const bool fromZero = IsDone(r) && r.row.re == rows[i].re;
    if (!fromZero) state = StateAfterTotal(rows[i].re);
    runs.push_back(Run{i, i + 1, fromZero});
  }
  return runs;
}

RunCorrection::Start RunCorrection::Begin(const HistoryRow* previous, const HistoryRow& original,
                                          char op, std::string_view entry) {
  message_ = StepMessage::kNone;
  if (previous != nullptr && FollowsFrom(StateAfterTotal(previous->re), original)) {
    fresh_ = StateAfterTotal(previous->re);
  } else if (FollowsFrom(CalcState(), original)) {
    fresh_ = CalcState();
  } else {
    return Start::kNoBase;
  }
  fresh_.pendingOp = op;
  fresh_.entryMode = 'z';
  const StepResult r = EvaluateStep(fresh_, entry);
  if (!IsDone(r)) {
    // An empty entry is refused with no message of its own.
    message_ = r.message;
    return Start::kRefused;
  }
  PlainZero(fresh_);
  old_ = StateAfterTotal(original.re);
  corrected_ = r.row;
  total_ = r.row.re;
  return Start::kStarted;
}

RunCorrection::Next RunCorrection::Feed(const HistoryRow& original, std::string* total) {
  const StepResult before = ReplayStep(old_, original.oP, original.mdata);
  if (!IsDone(before) || before.row.re != original.re) return Next::kRunEnded;
  const StepResult after = ReplayStep(fresh_, original.oP, original.mdata);
  if (!IsDone(after)) return Next::kFailed;
  total_ = after.row.re;
  *total = total_;
  // Equal totals are equal registers (a total is always shown at its
  // shortest scale), so every later row comes out as it was.
  return after.row.re == original.re ? Next::kSettled : Next::kRecomputed;
}

}  // namespace zantor::engine
