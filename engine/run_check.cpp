#include "engine/run_check.h"

#include <utility>

#include "engine/format.h"
#include "engine/replay.h"

namespace zantor::engine {
namespace {

// The value's sign and digits without leading integer or trailing fraction
// zeros, the point kept where it was: "-012.50" -> ('-', "12.5").
std::string Canonical(std::string_view text) {
  std::string digits;
  bool negative = false;
  size_t i = 0;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    i = 1;
  }
  for (; i < text.size(); ++i) {
    if (text[i] != ',') digits.push_back(text[i]);
  }
  if (digits.find('.') != std::string::npos) {
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
  }
  const size_t first = digits.find_first_not_of('0');
  digits.erase(0, first == std::string::npos ? digits.size() : first);
  if (digits.empty() || digits[0] == '.') digits.insert(0, 1, '0');
  if (negative && digits != "0") digits.insert(0, 1, '-');
  return digits;
}

}  // namespace

bool SameNumber(std::string_view a, std::string_view b) { return Canonical(a) == Canonical(b); }

std::string StepText(char op, std::string_view mdata) {
  std::string t = op == '-' ? "－" : op == '*' ? "×" : "＋";
  t.append(mdata);
  return t;
}

std::string DifferenceText(size_t k, std::string_view recorded, std::string_view typed) {
  std::string t = "第 " + std::to_string(k) + " 笔不符：记录 ";
  t.append(recorded);
  t.append("，输入 ");
  t.append(typed);
  return t;
}

std::string SummaryText(size_t steps, size_t differing, std::string_view total) {
  if (differing == 0) {
    return "复核无误：共 " + std::to_string(steps) + " 笔，合计 " + std::string(total);
  }
  return "复核完毕：共 " + std::to_string(steps) + " 笔，" + std::to_string(differing) + " 笔不符";
}

RunCheck::RunCheck(std::vector<HistoryRow> steps, std::string_view before)
    : steps_(std::move(steps)) {
  if (!before.empty()) state_ = StateAfterTotal(before);
  total_ = FormatTotal(state_.accumulator, state_.accScale);
}

RunCheck::Outcome RunCheck::Enter(char op, char entryMode, std::string_view entryText) {
  Outcome out;
  if (finished()) return out;
  state_.pendingOp = op;
  state_.entryMode = entryMode;
  const StepResult r = EvaluateStep(state_, entryText);
  if (r.status == StepResult::Status::kEmpty) return out;
  if (r.status == StepResult::Status::kRefused) {
    out.verdict = Outcome::Verdict::kRefused;
    out.message = r.message;
    return out;
  }
  total_ = r.row.re;
  const HistoryRow& recorded = steps_[next_++];
  out.step = next_;
  out.recorded = StepText(recorded.oP, recorded.mdata);
  out.typed = StepText(op, r.row.mdata);
  const bool same = op == recorded.oP && SameNumber(r.row.fdata, recorded.mdata);
  out.verdict = same ? Outcome::Verdict::kAgrees : Outcome::Verdict::kDiffers;
  if (!same) ++differing_;
  return out;
}

}  // namespace zantor::engine
