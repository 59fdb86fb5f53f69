// Runs found in crafted histories, and a run recomputed from a corrected row.
// The histories are made with the evaluation step itself, as the window makes
// them; the breaks between runs are the user's zeroings, clears and edits.
#include "engine/replay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zantor::engine {
namespace {

// Types steps into one set of registers and keeps the rows they make.
class History {
 public:
  History& Step(char op, const std::string& entry) {
    state_.pendingOp = op;
    const StepResult r = EvaluateStep(state_, entry);
    EXPECT_EQ(r.status, StepResult::Status::kDone) << op << entry;
    rows_.push_back(r.row);
    return *this;
  }
  History& Mode(char mode) {
    state_.entryMode = mode;
    return *this;
  }
  History& Zero() {
    ZeroResult(state_);
    return *this;
  }
  History& Clear() {
    const char mode = state_.entryMode;
    state_ = CalcState();
    state_.entryMode = mode;
    return *this;
  }
  // A keep start: the registers rebuilt from the last total as saved.
  History& KeepStart(int pos, const std::string& resu) {
    state_ = CalcState();
    RestoreAccumulator(state_, pos, resu);
    return *this;
  }
  int accScale() const { return state_.accScale; }
  std::vector<HistoryRow>& rows() { return rows_; }

 private:
  CalcState state_;
  std::vector<HistoryRow> rows_;
};

struct Cut {
  size_t first;
  size_t end;
  bool fromZero;
  bool operator==(const Cut&) const = default;
};

std::vector<Cut> Cuts(const std::vector<HistoryRow>& rows) {
  std::vector<Cut> cuts;
  for (const Run& r : FindRuns(rows)) cuts.push_back({r.first, r.end, r.fromZero});
  return cuts;
}

std::ostream& operator<<(std::ostream& os, const Cut& c) {
  return os << "[" << c.first << "," << c.end << (c.fromZero ? " zero)" : " ?)");
}

TEST(FindRuns, BreaksWhereTheTotalWasReset) {
  {
    SCOPED_TRACE("zeroing in the middle");
    History h;
    h.Step('+', "1234").Step('*', "300").Step('-', "5").Zero().Step('+', "7").Step('+', "8");
    EXPECT_EQ(Cuts(h.rows()), (std::vector<Cut>{{0, 3, true}, {3, 5, true}}));
  }
  {
    SCOPED_TRACE("clear, in normal mode");
    History h;
    h.Mode('z').Step('+', "12.5").Step('+', "3.75").Clear().Step('-', "1").Step('*', "2.5");
    EXPECT_EQ(Cuts(h.rows()), (std::vector<Cut>{{0, 2, true}, {2, 4, true}}));
  }
  {
    SCOPED_TRACE("a keep start continues the run");
    History h;
    h.Step('+', "1234").Step('+', "5");
    h.KeepStart(h.accScale(), h.rows().back().re).Step('*', "-150").Step('-', "99");
    EXPECT_EQ(Cuts(h.rows()), (std::vector<Cut>{{0, 4, true}}));
  }
  {
    SCOPED_TRACE("a keep start after a zeroing restores 0.00 at scale 0");
    History h;
    h.Step('+', "1234").Zero().KeepStart(0, "0.00").Step('+', "5").Step('+', "5");
    EXPECT_EQ(Cuts(h.rows()), (std::vector<Cut>{{0, 1, true}, {1, 3, true}}));
  }
}

TEST(FindRuns, ATotalThatDoesNotFollowStandsAlone) {
  History h;
  h.Step('+', "100").Step('+', "200").Step('+', "300").Step('+', "400").Step('+', "500");
  h.rows()[2].re = "6.01";  // written over by hand
  // Row 3 was computed from the true total of row 2, so it follows neither
  // from the edited total nor from zero; row 4 follows row 3.
  EXPECT_EQ(Cuts(h.rows()), (std::vector<Cut>{{0, 2, true}, {2, 3, false}, {3, 5, false}}));
}

TEST(FindRuns, AmbiguousRowAfterAZeroingStaysInTheRun) {
  History h;
  h.Step('+', "500").Zero().Step('*', "0").Step('+', "1");
  // 5 * 0 and 0 * 0 are both 0: nothing in the rows shows the zeroing.
  EXPECT_EQ(Cuts(h.rows()), (std::vector<Cut>{{0, 3, true}}));
}

TEST(ReplayStep, ReproducesRowsOfBothModes) {
  History h;
  const std::string forty(40, '9');
  h.Step('+', "1234")
      .Step('+', forty)  // fast: 41 characters once the point is in
      .Step('-', "-" + std::string(39, '7'))
      .Mode('z')
      .Step('*', "-0.00")
      .Step('+', "0012.50")
      .Step('+', forty)
      .Step('*', "1.5")
      .Mode('k')
      .Step('*', "-0")
      .Step('-', "7");
  CalcState s;
  for (const HistoryRow& row : h.rows()) {
    const StepResult r = ReplayStep(s, row.oP, row.mdata);
    ASSERT_EQ(r.status, StepResult::Status::kDone) << row.mdata;
    EXPECT_EQ(r.row.re, row.re);
    EXPECT_EQ(r.row.mdata, row.mdata);
    EXPECT_EQ(r.row.fdata, row.fdata);
  }
  EXPECT_EQ(Cuts(h.rows()).size(), 1u);
  // A normal-mode entry of 41 characters was never accepted: not replayed.
  CalcState t;
  EXPECT_EQ(ReplayStep(t, '+', "1" + std::string(40, '0')).status, StepResult::Status::kRefused);
}

// Corrects row `index` of `rows` and feeds the rest; the new totals.
std::vector<std::string> Correct(const std::vector<HistoryRow>& rows, size_t index, char op,
                                 const std::string& entry, RunCorrection::Next* last) {
  RunCorrection c;
  EXPECT_EQ(c.Begin(index > 0 ? &rows[index - 1] : nullptr, rows[index], op, entry),
            RunCorrection::Start::kStarted);
  std::vector<std::string> totals{c.corrected().re};
  *last = RunCorrection::Next::kRunEnded;
  for (size_t i = index + 1; i < rows.size(); ++i) {
    std::string total;
    *last = c.Feed(rows[i], &total);
    if (*last != RunCorrection::Next::kRecomputed) break;
    totals.push_back(total);
  }
  return totals;
}

TEST(RunCorrection, RecomputesToTheEndOfTheRunOnly) {
  History h;
  h.Step('+', "1234").Step('+', "5").Step('*', "200").Zero().Step('+', "100").Step('-', "1");
  RunCorrection::Next last;
  // 12.34 typed as 13.24 (normal mode: the point is typed).
  EXPECT_EQ(Correct(h.rows(), 0, '+', "13.24", &last),
            (std::vector<std::string>{"13.24", "13.29", "26.58"}));
  EXPECT_EQ(last, RunCorrection::Next::kRunEnded);
  // The middle row's operator: 12.34 - 0.05 = 12.29, times 2.
  EXPECT_EQ(Correct(h.rows(), 1, '-', "0.05", &last), (std::vector<std::string>{"12.29", "24.58"}));
  // The second run, from zero; its last row ends the history.
  EXPECT_EQ(Correct(h.rows(), 3, '+', "-3", &last), (std::vector<std::string>{"-3", "-3.01"}));
  EXPECT_EQ(last, RunCorrection::Next::kRecomputed);
}

TEST(RunCorrection, SettlesWhenATotalComesOutUnchanged) {
  History h;
  h.Mode('z').Step('+', "4").Step('*', "0").Step('+', "2").Step('+', "3");
  RunCorrection::Next last;
  // Whatever row 0 holds, row 1 multiplies it by zero.
  EXPECT_EQ(Correct(h.rows(), 0, '-', "9", &last), (std::vector<std::string>{"-9"}));
  EXPECT_EQ(last, RunCorrection::Next::kSettled);
}

TEST(RunCorrection, RefusesEntriesAndRowsWithoutABase) {
  History h;
  h.Step('+', "100").Step('+', "200");
  const struct {
    std::string entry;
    StepMessage message;
  } refused[] = {
      {"5-", StepMessage::kMinusPlacement},      {"1.2.3", StepMessage::kPointCount},
      {".5", StepMessage::kPointPlacement},      {std::string(41, '1'), StepMessage::kTooLong},
      {"1,324", StepMessage::kForeignCharacter}, {"", StepMessage::kNone},
  };
  for (const auto& r : refused) {
    RunCorrection c;
    EXPECT_EQ(c.Begin(&h.rows()[0], h.rows()[1], '+', r.entry), RunCorrection::Start::kRefused)
        << r.entry;
    EXPECT_EQ(c.message(), r.message) << r.entry;
  }
  h.rows()[1].re = "7";  // follows from nothing
  RunCorrection c;
  EXPECT_EQ(c.Begin(&h.rows()[0], h.rows()[1], '+', "2"), RunCorrection::Start::kNoBase);
}

}  // namespace
}  // namespace zantor::engine
