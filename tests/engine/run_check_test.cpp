// Keying a recorded run in again: the comparison of each typed step with the
// recorded one, and the typed total.
#include "engine/run_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zantor::engine {
namespace {

TEST(RunCheckTest, NumbersCompareByValue) {
  for (const auto& [a, b] : std::vector<std::pair<const char*, const char*>>{{"12.5", "12.50"},
                                                                             {"1,234", "1234.0"},
                                                                             {"0", "-0.00"},
                                                                             {"007", "7"},
                                                                             {"0.05", "00.050"}}) {
    EXPECT_TRUE(SameNumber(a, b)) << a << " " << b;
  }
  for (const auto& [a, b] : std::vector<std::pair<const char*, const char*>>{
           {"12.5", "1.25"}, {"-5", "5"}, {"10", "1"}, {"0.1", "0.01"}, {"100", "1.00"}}) {
    EXPECT_FALSE(SameNumber(a, b)) << a << " " << b;
  }
}

// The recorded run: fast mode 1234, 5, "* 300", "- 99" from zero.
std::vector<HistoryRow> Recorded() {
  CalcState s;
  std::vector<HistoryRow> rows;
  for (const auto& [op, entry] : std::vector<std::pair<char, const char*>>{
           {'+', "1234"}, {'+', "5"}, {'*', "300"}, {'-', "99"}}) {
    s.pendingOp = op;
    rows.push_back(EvaluateStep(s, entry).row);
  }
  return rows;
}

TEST(RunCheckTest, EachEnterComparesOneStep) {
  RunCheck check(Recorded(), "");
  using V = RunCheck::Outcome::Verdict;
  EXPECT_EQ(check.total(), "0");
  EXPECT_EQ(check.Enter('+', 'k', "").verdict, V::kEmpty);
  EXPECT_EQ(check.Enter('+', 'z', "12.340").verdict, V::kAgrees) << "normal mode, as a number";
  EXPECT_EQ(check.total(), "12.34");
  const RunCheck::Outcome refused = check.Enter('+', 'k', "5-");
  EXPECT_EQ(refused.verdict, V::kRefused);
  EXPECT_EQ(refused.message, StepMessage::kMinusPlacement);
  EXPECT_EQ(check.checked(), 1u) << "a refused entry checks nothing";
  const RunCheck::Outcome wrong = check.Enter('+', 'k', "6");
  EXPECT_EQ(wrong.verdict, V::kDiffers);
  EXPECT_EQ(wrong.step, 2u);
  EXPECT_EQ(DifferenceText(wrong.step, wrong.recorded, wrong.typed),
            "第 2 笔不符：记录 ＋0.05，输入 ＋0.06");
  EXPECT_EQ(check.total(), "12.4") << "the typed total goes on with what was typed";
  const RunCheck::Outcome op = check.Enter('-', 'k', "300");
  EXPECT_EQ(op.verdict, V::kDiffers) << "same entry, other operator";
  EXPECT_EQ(op.recorded, "×3.00");
  EXPECT_EQ(op.typed, "－3.00");
  EXPECT_FALSE(check.finished());
  EXPECT_EQ(check.Enter('-', 'k', "99").verdict, V::kAgrees);
  EXPECT_TRUE(check.finished());
  EXPECT_EQ(check.Enter('-', 'k', "99").verdict, V::kEmpty) << "nothing after the last step";
  EXPECT_EQ(check.differing(), 2u);
  EXPECT_EQ(SummaryText(check.size(), check.differing(), check.total()),
            "复核完毕：共 4 笔，2 笔不符");
  EXPECT_EQ(SummaryText(4, 0, "37.02"), "复核无误：共 4 笔，合计 37.02");
}

TEST(RunCheckTest, TypedTotalStartsFromTheTotalBefore) {
  std::vector<HistoryRow> rows = Recorded();
  rows.erase(rows.begin());
  RunCheck check(rows, "12.34");
  EXPECT_EQ(check.total(), "12.34");
  check.Enter('+', 'k', "5");
  EXPECT_EQ(check.total(), "12.39");
}

}  // namespace
}  // namespace zantor::engine
