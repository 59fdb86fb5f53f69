// Recorded history rows stepped through the evaluation step again: which rows
// follow from the total before them (runs), and a run recomputed from a
// corrected row on. The arithmetic is EvaluateStep's own; nothing here adds,
// subtracts or multiplies.
//
// A row follows when its total is exactly what the step gives for the
// previous row's total (rebuilt as a keep start rebuilds a saved total), the
// row's operator and its entry (the grouped entry with its commas removed, in
// normal mode). The first row of a run follows from zero, or from nothing we
// know of (a total that does not follow, say a row edited by another
// program): such a row can head a run but cannot itself be recomputed.
//
// A row that follows both from the previous total and from zero (after a
// zeroing, "* 0" gives 0 either way) is taken as continuing its run: the rows
// cannot tell the two apart.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/calc_state.h"
#include "engine/step.h"

namespace zantor::engine {

// The registers a keep start rebuilds from a displayed total: its digits,
// and as scale the digits behind its point.
CalcState StateAfterTotal(std::string_view total);

// The entry a row was evaluated with: the grouped entry without its commas.
std::string BareEntry(std::string_view mdata);

// One recorded step on `state`. The entry is read in normal mode; a fast-mode
// whole number of 40 characters was recorded with its point inserted (41
// characters), which normal mode refuses as too long, so that one is stepped
// in fast mode without its point, as it was typed. A zero total comes out
// with a '+' sign, as a keep start would rebuild it.
StepResult ReplayStep(CalcState& state, char op, std::string_view mdata);

// A stretch of rows [first, end) each of which follows from the one before.
struct Run {
  size_t first = 0;
  size_t end = 0;
  bool fromZero = false;  // its first row follows from zero (else from nothing known)
};

// The rows cut into runs, in order; every row is in exactly one run.
std::vector<Run> FindRuns(std::span<const HistoryRow> rows);

// Recomputing one corrected row and the rest of its run, fed one row at a
// time so that a million rows never need to be held at once.
class RunCorrection {
 public:
  enum class Start {
    kStarted,
    kRefused,  // the new entry is refused: message() says why
    kNoBase,   // the row follows neither from the row before it nor from zero
  };
  // `previous` is the row before the corrected one, or null when it is the
  // first row. `op` is '+', '-' or '*'. `entry` is read in normal mode and goes
  // through the entry checks of a typed entry.
  Start Begin(const HistoryRow* previous, const HistoryRow& original, char op,
              std::string_view entry);
  // The corrected row (for kStarted): new operator, entry and total.
  const HistoryRow& corrected() const { return corrected_; }
  StepMessage message() const { return message_; }

  enum class Next {
    kRecomputed,  // the row belongs to the run; *total is its new total
    kRunEnded,    // the row does not follow: it and every later row stay as they are
    kSettled,     // the row's total comes out unchanged, and so will every later one's
    kFailed,      // the step could not be made (memory): give up the correction
  };
  // The original row after the last one fed (after the corrected row at first).
  Next Feed(const HistoryRow& original, std::string* total);

  // The new total of the last row recomputed, and its scale.
  const std::string& total() const { return total_; }
  int accScale() const { return fresh_.accScale; }

 private:
  CalcState old_;    // after the original previous row, as a keep start rebuilds it
  CalcState fresh_;  // after the recomputed previous row
  HistoryRow corrected_;
  StepMessage message_ = StepMessage::kNone;
  std::string total_;
};

}  // namespace zantor::engine
