// One evaluation step: the pending operator between the running total and the
// entry. Pure computation; the caller shows the texts, the message and stores
// the row.
#pragma once

#include <string>
#include <string_view>

#include "engine/calc_state.h"
#include "engine/messages.h"

namespace zantor::engine {

// One row of the history: the operator, the entry as a bare numeric literal,
// the entry as displayed, and the new total as displayed.
struct HistoryRow {
  char oP = '+';
  std::string fdata;
  std::string mdata;
  std::string re;
};

struct StepResult {
  enum class Status {
    kEmpty,    // nothing typed: nothing happens
    kRefused,  // `message` says why; registers and entry field unchanged
    kDone,
  };
  Status status = Status::kEmpty;
  StepMessage message = StepMessage::kNone;
  // For kDone: row.fdata is the bare entry, row.mdata the grouped entry shown
  // in the last-entry field, row.re the new total for the result field.
  HistoryRow row;
};

StepResult EvaluateStep(CalcState& state, std::string_view entryText);

// Rebuilds the accumulator from a saved total (its display text) and its
// scale. Only digits are taken; a text without digits gives zero.
void RestoreAccumulator(CalcState& state, int pos, std::string_view resu);

}  // namespace zantor::engine
