// Keying a recorded run in again (复核): each step typed is compared, as
// numbers, with the recorded step in its place, and the typed steps make a
// total of their own. Nothing here touches the running total or the history.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/calc_state.h"
#include "engine/messages.h"
#include "engine/step.h"

namespace zantor::engine {

// Whether two number texts (commas allowed) have the same value: 12.50 and
// 12.5, -0 and 0 agree.
bool SameNumber(std::string_view a, std::string_view b);

// A step as the check names it: the operator as its button shows it, then
// the grouped entry ("＋1,234.5", "－-3").
std::string StepText(char op, std::string_view mdata);

// "第 k 笔不符：记录 A，输入 B"
std::string DifferenceText(size_t k, std::string_view recorded, std::string_view typed);
// "复核完毕：共 N 笔，M 笔不符", or with none differing "复核无误：共 N 笔，合计 X".
std::string SummaryText(size_t steps, size_t differing, std::string_view total);

class RunCheck {
 public:
  // `steps`: the run's rows in order; the typed total starts from `before`
  // (the total before the run as displayed, or "" for zero).
  RunCheck(std::vector<HistoryRow> steps, std::string_view before);

  struct Outcome {
    enum class Verdict { kEmpty, kRefused, kAgrees, kDiffers };
    Verdict verdict = Verdict::kEmpty;
    StepMessage message = StepMessage::kNone;  // for kRefused
    size_t step = 0;                           // 1-based, for kAgrees and kDiffers
    std::string recorded;                      // StepText of the recorded step
    std::string typed;                         // StepText of the typed one
  };
  // One Enter: `op` and `entryText` typed in `entryMode`, as for a step.
  // Only while !finished().
  Outcome Enter(char op, char entryMode, std::string_view entryText);

  size_t size() const { return steps_.size(); }
  size_t checked() const { return next_; }
  size_t differing() const { return differing_; }
  bool finished() const { return next_ >= steps_.size(); }
  // The typed steps' total, as the result field shows a total.
  const std::string& total() const { return total_; }

 private:
  std::vector<HistoryRow> steps_;
  CalcState state_;
  std::string total_;
  size_t next_ = 0;
  size_t differing_ = 0;
};

}  // namespace zantor::engine
