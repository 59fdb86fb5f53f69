// A step whose texts cannot be built (the heap refuses a string part-way)
// is refused as out of memory, with every register as it was; with the heap
// back, the same entry gives the same total as if nothing had been tried.
#include <gtest/gtest.h>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "failing_new.h"
#include "test_support.h"

namespace zantor::engine {
namespace {

using testing::ChainText;
using testing::NumberText;
using testing::SetTotal;
using zantor::testing::AnAllocationFailed;
using zantor::testing::FailingAllocations;

struct Case {
  char mode;
  const char* acc;
  int accScale;
  char op;
  const char* entry;
};

void Prepare(CalcState& s, const Case& c) {
  s.entryMode = c.mode;
  s.pendingOp = c.op;
  SetTotal(s, c.acc, c.accScale);
  s.workScale = 11;
}

TEST(AllocationFailure, EveryFailedAllocationRefusesTheStepCleanly) {
  // Long enough that every text is built on the heap.
  const Case cases[] = {
      {'k', "+7", 0, '+', "12345678901234567890"},                             // total extended
      {'z', "+162512345678901234567", 2, '+', "5"},                            // entry extended
      {'z', "-3", 0, '-', "0.00512345678901234567"},                           // sign flips
      {'z', "+123456789123456789", 3, '*', "-98.7612345678901234"},            // product
      {'k', "+0", 0, '+', "1234567890123456789012345678901234567890"},         // from zero
      {'z', "+5512345678901234567890", 1, '+', "0.000000000000000000000000"},  // zero entry
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.acc) + " " + c.op + " " + c.entry);
    CalcState reference;
    Prepare(reference, c);
    const StepResult expected = EvaluateStep(reference, c.entry);
    ASSERT_EQ(expected.status, StepResult::Status::kDone);

    int failures = 0;
    for (long long n = 0;; ++n) {
      ASSERT_LT(n, 10000) << "the step never completed";
      CalcState s;
      Prepare(s, c);
      StepResult r;
      bool escaped = false;
      bool failed = false;
      {
        FailingAllocations heap(n);
        try {
          r = EvaluateStep(s, c.entry);
        } catch (const std::bad_alloc&) {
          escaped = true;
        }
        failed = AnAllocationFailed();
      }
      ASSERT_FALSE(escaped) << "std::bad_alloc escaped the step at allocation " << n;
      if (!failed) {
        ASSERT_EQ(r.status, StepResult::Status::kDone);
        EXPECT_EQ(r.row.re, expected.row.re);
        EXPECT_EQ(r.row.mdata, expected.row.mdata);
        break;
      }
      ++failures;
      SCOPED_TRACE(n);
      ASSERT_EQ(r.status, StepResult::Status::kRefused);
      ASSERT_EQ(r.message, StepMessage::kOutOfMemory);
      EXPECT_EQ(NumberText(s.accumulator), c.acc);
      EXPECT_EQ(s.accScale, c.accScale);
      EXPECT_EQ(ChainText(s.operand.digits()), "0");
      EXPECT_EQ(s.workScale, 11);
      const StepResult again = EvaluateStep(s, c.entry);
      ASSERT_EQ(again.status, StepResult::Status::kDone);
      EXPECT_EQ(again.row.re, expected.row.re);
      EXPECT_EQ(NumberText(s.accumulator), NumberText(reference.accumulator));
      EXPECT_EQ(s.accScale, reference.accScale);
    }
    EXPECT_GT(failures, 0) << "no allocation was ever made to fail";
  }
}

}  // namespace
}  // namespace zantor::engine
