#include "engine/step.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/format.h"
#include "test_support.h"

namespace zantor::engine {
namespace {

using testing::ChainText;
using testing::Num;
using testing::NumberText;
using testing::SetTotal;

const char* ShortName(StepMessage m) {
  switch (m) {
    case StepMessage::kNone:
      return "none";
    case StepMessage::kMinusPlacement:
      return "minus";
    case StepMessage::kPointCount:
      return "points";
    case StepMessage::kPointPlacement:
      return "point";
    case StepMessage::kTooLong:
      return "long";
    case StepMessage::kForeignCharacter:
      return "foreign";
    case StepMessage::kOutOfMemory:
      return "memory";
  }
  return "?";
}

// Replays a tape of space-separated items: F / N switch to fast / normal
// mode, Z is the zero-result command, anything else is an operator followed
// by the entry text. Each step reports "fdata mdata re", "!why" or "-".
std::vector<std::string> Replay(CalcState& s, const std::string& tape) {
  std::vector<std::string> out;
  std::istringstream items(tape);
  std::string item;
  while (items >> item) {
    if (item == "F" || item == "N") {
      s.entryMode = item == "F" ? 'k' : 'z';
      continue;
    }
    if (item == "Z") {
      ZeroResult(s);
      continue;
    }
    s.pendingOp = item[0];
    const StepResult r = EvaluateStep(s, item.substr(1));
    switch (r.status) {
      case StepResult::Status::kEmpty:
        out.push_back("-");
        break;
      case StepResult::Status::kRefused:
        out.push_back(std::string("!") + ShortName(r.message));
        break;
      case StepResult::Status::kDone:
        EXPECT_EQ(r.row.oP, item[0]);
        out.push_back(r.row.fdata + " " + r.row.mdata + " " + r.row.re);
        break;
    }
  }
  return out;
}

// Between steps the total is canonical and its scale is as short as it can be.
void ExpectRegistersSettled(const CalcState& s) {
  const std::string digits = ChainText(s.accumulator.digits());
  ASSERT_FALSE(digits.empty());
  EXPECT_TRUE(digits == "0" || digits[0] != '0') << digits;
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
  if (s.accScale > 0) {
    EXPECT_NE(digits.back(), '0') << digits;
  }
  if (digits == "0") {
    EXPECT_EQ(s.accScale, 0);
  }
  EXPECT_EQ(ChainText(s.operand.digits()), "0");
}

struct TapeCase {
  const char* tape;
  std::vector<std::string> steps;
};

class CommandSequenceTest : public ::testing::TestWithParam<TapeCase> {};

TEST_P(CommandSequenceTest, DisplayedTexts) {
  CalcState s;
  EXPECT_EQ(Replay(s, GetParam().tape), GetParam().steps);
  ExpectRegistersSettled(s);
}

INSTANTIATE_TEST_SUITE_P(
    FastMode, CommandSequenceTest,
    ::testing::Values(TapeCase{"F +1234 +5", {"12.34 12.34 12.34", "0.05 0.05 12.39"}},
                      TapeCase{"F +-5", {"-0.05 -0.05 -0.05"}},
                      TapeCase{"F +0 +-0", {"0.00 0.00 0", "-0.00 -0.00 0"}},
                      TapeCase{"F +12 +007", {"0.12 0.12 0.12", "0.07 0.07 0.19"}},
                      TapeCase{"F +-12", {"-0.12 -0.12 -0.12"}},
                      TapeCase{
                          "F +-123456 +123456789",
                          {"-1234.56 -1,234.56 -1,234.56", "1234567.89 1,234,567.89 1,233,333.33"}},
                      TapeCase{"F +1239 *3", {"12.39 12.39 12.39", "0.03 0.03 0.3717"}},
                      TapeCase{"F +1239 *1.5", {"12.39 12.39 12.39", "1.5 1.5 18.585"}},
                      TapeCase{"F +100 *250", {"1.00 1.00 1", "2.50 2.50 2.5"}},
                      TapeCase{"F +25 +75 -1", {"0.25 0.25 0.25", "0.75 0.75 1", "0.01 0.01 0.99"}},
                      // The total's scale comes from a normal-mode step.
                      TapeCase{"N +7 F +5", {"7 7 7", "0.05 0.05 7.05"}},
                      TapeCase{"N +2.5 F +5", {"2.5 2.5 2.5", "0.05 0.05 2.55"}},
                      TapeCase{"N +1.125 F +5", {"1.125 1.125 1.125", "0.05 0.05 1.175"}},
                      TapeCase{"N +1.125 F -1125", {"1.125 1.125 1.125", "11.25 11.25 -10.125"}}));

INSTANTIATE_TEST_SUITE_P(
    NormalMode, CommandSequenceTest,
    ::testing::Values(
        TapeCase{"N +1234567.5 +-123456 +123",
                 {"1234567.5 1,234,567.5 1,234,567.5", "-123456 -123,456 1,111,111.5",
                  "123 123 1,111,234.5"}},
        TapeCase{"N +007 *000012", {"7 7 7", "12 12 84"}},
        TapeCase{"N +12.5 +3.75 -16.25", {"12.5 12.5 12.5", "3.75 3.75 16.25", "16.25 16.25 0"}},
        TapeCase{"N +0.25 +0.75", {"0.25 0.25 0.25", "0.75 0.75 1"}},
        TapeCase{"N +16.25 +5", {"16.25 16.25 16.25", "5 5 21.25"}},
        TapeCase{"N +10 *1.5", {"10 10 10", "1.5 1.5 15"}},
        TapeCase{"N +0.5 *0.2", {"0.5 0.5 0.5", "0.2 0.2 0.1"}}, TapeCase{"N *5", {"5 5 0"}},
        TapeCase{"N +1.5 *2.25", {"1.5 1.5 1.5", "2.25 2.25 3.375"}},
        TapeCase{"N +1234567", {"1234567 1,234,567 1,234,567"}},
        TapeCase{"N +-123456", {"-123456 -123,456 -123,456"}},
        TapeCase{"N +1234567.89", {"1234567.89 1,234,567.89 1,234,567.89"}},
        TapeCase{"N +-1000 -0.001", {"-1000 -1,000 -1,000", "0.001 0.001 -1,000.001"}},
        TapeCase{"N +-0012.50 *-2", {"-12.50 -12.50 -12.5", "-2 -2 25"}},
        TapeCase{"N +999999.99 +0.01", {"999999.99 999,999.99 999,999.99", "0.01 0.01 1,000,000"}},
        TapeCase{"N +1 -1.001", {"1 1 1", "1.001 1.001 -0.001"}}));

INSTANTIATE_TEST_SUITE_P(ZeroTotals, CommandSequenceTest,
                         ::testing::Values(
                             // A zero total never shows a minus sign, whatever sign it carries.
                             TapeCase{"N +-5 +5 *5 +3", {"-5 -5 -5", "5 5 0", "5 5 0", "3 3 3"}},
                             TapeCase{"N +-3 *0 -2", {"-3 -3 -3", "0 0 0", "2 2 -2"}},
                             TapeCase{"N +-3 *0 +2", {"-3 -3 -3", "0 0 0", "2 2 2"}},
                             TapeCase{"N +-3 *0 --2", {"-3 -3 -3", "0 0 0", "-2 -2 2"}},
                             TapeCase{"N +-3 *5 -0 +-0 *-0",
                                      {"-3 -3 -3", "5 5 -15", "0 0 -15", "-0 -0 -15", "-0 -0 0"}},
                             TapeCase{"N +-2.5 Z +3", {"-2.5 -2.5 -2.5", "3 3 3"}},
                             TapeCase{"F +-250 Z +3", {"-2.50 -2.50 -2.5", "0.03 0.03 0.03"}}));

INSTANTIATE_TEST_SUITE_P(
    Refusals, CommandSequenceTest,
    ::testing::Values(
        TapeCase{"N +5 +5- +1.2.3 +.5 +5. +a +5",
                 {"5 5 5", "!minus", "!points", "!point", "!point", "!foreign", "5 5 10"}},
        TapeCase{"N +5 + *", {"5 5 5", "-", "-"}},
        TapeCase{"N +5 +12345678901234567890123456789012345678901 +1", {"5 5 5", "!long", "1 1 6"}},
        TapeCase{"N +5 *-1234567890123456789012345678901234567890 +1",
                 {"5 5 5", "!long", "1 1 6"}}));

TEST(EvaluateStep, TotalBeyondFortyDigitsIsKeptWhole) {
  const std::string nines(40, '9');
  CalcState s;
  s.entryMode = 'z';
  ASSERT_EQ(EvaluateStep(s, nines).status, StepResult::Status::kDone);
  s.pendingOp = '*';
  const StepResult r = EvaluateStep(s, nines);
  ASSERT_EQ(r.status, StepResult::Status::kDone);
  // (10^40 - 1)^2 = 10^80 - 2*10^40 + 1
  const std::string product = std::string(39, '9') + "8" + std::string(39, '0') + "1";
  EXPECT_EQ(ChainText(s.accumulator.digits()), product);
  std::string shown = r.row.re;
  std::erase(shown, ',');
  EXPECT_EQ(shown, product);
  EXPECT_EQ(r.row.re.size(), 80u + 26u);

  // Brought back into the entry field, the total is too long to enter.
  s.pendingOp = '+';
  EXPECT_EQ(EvaluateStep(s, shown).message, StepMessage::kTooLong);
  EXPECT_EQ(ChainText(s.accumulator.digits()), product);
}

TEST(FormatTotal, PointPaddingAndGroups) {
  struct Case {
    const char* digits;
    int scale;
    const char* shown;
  };
  const Case cases[] = {
      {"+5", 2, "0.05"},
      {"+3717", 4, "0.3717"},
      {"+1625", 2, "16.25"},
      {"-123456", 0, "-123,456"},
      {"+123456789", 2, "1,234,567.89"},
      {"-0", 0, "0"},
      {"+0", 0, "0"},
      {"-5", 3, "-0.005"},
      {"+123", 3, "0.123"},
      {"+1234", 3, "1.234"},
      {"-100000", 0, "-100,000"},
      {"+999999", 2, "9,999.99"},
      {"+1000", 0, "1,000"},
      {"+100", 0, "100"},
      {"-12345678", 1, "-1,234,567.8"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatTotal(Num(c.digits), c.scale), c.shown) << c.digits << '@' << c.scale;
  }
}

TEST(EvaluateStep, EmptyEntryChangesNothing) {
  CalcState s;
  SetTotal(s, "-1234", 2);
  s.workScale = 7;
  const StepResult r = EvaluateStep(s, "");
  EXPECT_EQ(r.status, StepResult::Status::kEmpty);
  EXPECT_EQ(NumberText(s.accumulator), "-1234");
  EXPECT_EQ(s.accScale, 2);
  EXPECT_EQ(s.workScale, 7);
}

TEST(EvaluateStep, ForeignCharactersAreRefusedWhole) {
  for (const char* entry : {"12a", "1 2", " 5", "+5", "5+", "1,234", "1e3", "0x10", "\t7", "é"}) {
    for (char op : {'+', '-', '*'}) {
      CalcState s;
      SetTotal(s, "-1234", 2);
      s.pendingOp = op;
      s.workScale = 7;
      const StepResult r = EvaluateStep(s, entry);
      EXPECT_EQ(r.status, StepResult::Status::kRefused) << entry;
      EXPECT_EQ(r.message, StepMessage::kForeignCharacter) << entry;
      EXPECT_EQ(NumberText(s.accumulator), "-1234");
      EXPECT_EQ(s.accScale, 2);
      EXPECT_EQ(s.workScale, 7);
      EXPECT_EQ(NumberText(s.operand), "+0");
      EXPECT_EQ(s.pendingOp, op);
      EXPECT_EQ(s.entryMode, 'k');
    }
  }
}

struct OomCase {
  char mode;
  const char* acc;
  int accScale;
  char op;
  const char* entry;
};

class OutOfMemoryTest : public ::testing::TestWithParam<OomCase> {
 protected:
  void TearDown() override { SetNodeBudgetForTesting(-1); }

  static void Prepare(CalcState& s, const OomCase& c) {
    s.entryMode = c.mode;
    s.pendingOp = c.op;
    SetTotal(s, c.acc, c.accScale);
    s.workScale = 11;
  }
};

// Every allocation a step makes can fail: the step then either finishes
// exactly as it would have, or is refused with the registers untouched.
TEST_P(OutOfMemoryTest, EveryBudgetCompletesOrRefusesCleanly) {
  const OomCase& c = GetParam();
  CalcState reference;
  Prepare(reference, c);
  const StepResult expected = EvaluateStep(reference, c.entry);
  ASSERT_EQ(expected.status, StepResult::Status::kDone);

  int completedAt = -1;
  for (int budget = 0; budget < 100000 && completedAt < 0; ++budget) {
    CalcState s;
    Prepare(s, c);
    SetNodeBudgetForTesting(budget);
    const StepResult r = EvaluateStep(s, c.entry);
    SetNodeBudgetForTesting(-1);
    if (r.status == StepResult::Status::kDone) {
      completedAt = budget;
    } else {
      ASSERT_EQ(r.status, StepResult::Status::kRefused) << "budget " << budget;
      ASSERT_EQ(r.message, StepMessage::kOutOfMemory) << "budget " << budget;
      ASSERT_EQ(NumberText(s.accumulator), c.acc) << "budget " << budget;
      ASSERT_EQ(s.accScale, c.accScale);
      ASSERT_EQ(ChainText(s.operand.digits()), "0") << "budget " << budget;
      ASSERT_EQ(s.workScale, 11);
    }
    // Refused or not, the registers carry on as if nothing had been tried.
    if (r.status != StepResult::Status::kDone) {
      const StepResult again = EvaluateStep(s, c.entry);
      ASSERT_EQ(again.status, StepResult::Status::kDone);
      EXPECT_EQ(again.row.re, expected.row.re) << "budget " << budget;
      continue;
    }
    EXPECT_EQ(r.row.fdata, expected.row.fdata);
    EXPECT_EQ(r.row.mdata, expected.row.mdata);
    EXPECT_EQ(r.row.re, expected.row.re);
    EXPECT_EQ(NumberText(s.accumulator), NumberText(reference.accumulator));
    EXPECT_EQ(s.accScale, reference.accScale);
  }
  ASSERT_GT(completedAt, 0);
  // A larger budget never fails.
  for (int budget = completedAt; budget < completedAt + 4; ++budget) {
    CalcState s;
    Prepare(s, c);
    SetNodeBudgetForTesting(budget);
    const StepResult r = EvaluateStep(s, c.entry);
    SetNodeBudgetForTesting(-1);
    ASSERT_EQ(r.status, StepResult::Status::kDone) << "budget " << budget;
    EXPECT_EQ(r.row.re, expected.row.re);
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, OutOfMemoryTest,
                         ::testing::Values(OomCase{'k', "+7", 0, '+', "5"},     // total extended
                                           OomCase{'z', "+1625", 2, '+', "5"},  // entry extended
                                           OomCase{'z', "+100000", 0, '-', "99999"},  // borrows
                                           OomCase{'z', "-3", 0, '-', "0.005"},  // total extended
                                           OomCase{'z', "+123456789", 3, '*', "-98.76"},  // product
                                           OomCase{'z', "+120034", 1, '*', "10.01"},  // inner zeros
                                           OomCase{'k', "+0", 0, '+', "1234"},        // from zero
                                           OomCase{'z', "+55", 1, '+', "0.00"},       // zero entry
                                           OomCase{'k', "-55", 1, '*', "-0"},         // zero entry
                                           OomCase{'z', "-5", 0, '+', "5"}));         // zero total

TEST(RestoreAccumulator, RebuildsTheDigitsOfTheSavedText) {
  struct Case {
    int pos;
    const char* resu;
    const char* number;
    int accScale;
  };
  const Case cases[] = {
      {1, "1,234.5", "+12345", 1},
      {2, "0.05", "+5", 2},
      {0, "-7", "-7", 0},
      {0, "0.00", "+0", 0},
      {0, "", "+0", 0},
      {0, "-", "-0", 0},
      {2, "-0.05", "-5", 2},
      {0, "1,000,000", "+1000000", 0},
      {3, "-12.345", "-12345", 3},
      {0, "粘贴的内容不是数字", "+0", 0},
      {-4, "12", "+12", 0},
  };
  for (const Case& c : cases) {
    CalcState s;
    SetTotal(s, "+999", 5);
    RestoreAccumulator(s, c.pos, c.resu);
    EXPECT_EQ(NumberText(s.accumulator), c.number) << c.resu;
    EXPECT_EQ(s.accScale, c.accScale) << c.resu;
  }
}

TEST(RestoreAccumulator, RunContinuesFromTheRestoredTotal) {
  CalcState s;
  RestoreAccumulator(s, 1, "-1,234.5");
  EXPECT_EQ(Replay(s, "N +1234.5 +0.25 F +5"),
            (std::vector<std::string>{"1234.5 1,234.5 0", "0.25 0.25 0.25", "0.05 0.05 0.3"}));
}

// All or nothing: with no memory at all the old total and its scale stay;
// from the first budget that is enough, every larger one restores in full.
TEST(RestoreAccumulator, OutOfMemoryKeepsTheOldTotal) {
  int restoredFrom = -1;
  for (int budget = 0; budget < 32; ++budget) {
    SCOPED_TRACE("budget " + std::to_string(budget));
    CalcState s;
    SetTotal(s, "+42", 1);
    SetNodeBudgetForTesting(budget);
    RestoreAccumulator(s, 2, "123.45");
    SetNodeBudgetForTesting(-1);
    const std::string n = NumberText(s.accumulator);
    if (budget == 0 || (restoredFrom < 0 && n == "+42")) {
      EXPECT_EQ(n, "+42");
      EXPECT_EQ(s.accScale, 1);
      continue;
    }
    if (restoredFrom < 0) restoredFrom = budget;
    EXPECT_EQ(n, "+12345");
    EXPECT_EQ(s.accScale, 2);
  }
  EXPECT_GT(restoredFrom, 0) << "no budget was enough";
}

// The registers are process-wide in the window program and are destroyed
// after thread-local storage at exit; releasing a long total then must not
// touch memory that has gone back to the heap. Freed memory is scribbled
// over so that such a touch follows a wild link and crashes.
TEST(NodePoolDeathTest, StaticRegistersOutliveTheRest) {
  EXPECT_EXIT(
      {
        mallopt(M_PERTURB, 0xA5);
        static CalcState registers;
        RestoreAccumulator(registers, 0, std::string(300000, '7'));
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zantor::engine
