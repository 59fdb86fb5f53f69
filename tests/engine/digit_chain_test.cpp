#include "engine/digit_chain.h"

#include <gtest/gtest.h>

#include "engine/calc_state.h"
#include "test_support.h"

namespace zantor::engine {
namespace {

using testing::ChainLength;
using testing::ChainText;
using testing::Num;
using testing::NumberText;

struct MagnitudeCase {
  const char* a;
  const char* b;
  const char* raw;  // the untrimmed result, most significant node first
};

class AddMagnitudesTest : public ::testing::TestWithParam<MagnitudeCase> {};

TEST_P(AddMagnitudesTest, CarriesIntoOneExtraNode) {
  const MagnitudeCase& c = GetParam();
  const SignedNumber a = Num(c.a);
  const SignedNumber b = Num(c.b);
  const Chain r = AddMagnitudes(a.digits(), b.digits());
  ASSERT_TRUE(r);
  EXPECT_EQ(ChainText(r.get()), c.raw);
  EXPECT_EQ(ChainLength(r.get()), std::max(ChainLength(a.digits()), ChainLength(b.digits())) + 1);
  EXPECT_EQ(NumberText(a), std::string("+") + c.a);
  EXPECT_EQ(NumberText(b), std::string("+") + c.b);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, AddMagnitudesTest,
    ::testing::Values(MagnitudeCase{"1234", "5", "01239"}, MagnitudeCase{"5", "1234", "01239"},
                      MagnitudeCase{"999", "1", "1000"}, MagnitudeCase{"1", "99999", "100000"},
                      MagnitudeCase{"0", "0", "00"}, MagnitudeCase{"99999", "99999", "199998"},
                      MagnitudeCase{"505", "505", "1010"}));

class SubtractMagnitudesTest : public ::testing::TestWithParam<MagnitudeCase> {};

TEST_P(SubtractMagnitudesTest, BorrowsAreConsumed) {
  const MagnitudeCase& c = GetParam();
  const SignedNumber a = Num(c.a);
  const SignedNumber b = Num(c.b);
  const Chain r = SubtractMagnitudes(a.digits(), b.digits());
  ASSERT_TRUE(r);
  // No '/' may survive: a >= b leaves the final borrow node at '0'.
  EXPECT_EQ(ChainText(r.get()), c.raw);
  EXPECT_EQ(ChainLength(r.get()), ChainLength(a.digits()) + 1);
  EXPECT_EQ(NumberText(a), std::string("+") + c.a);
  EXPECT_EQ(NumberText(b), std::string("+") + c.b);
}

INSTANTIATE_TEST_SUITE_P(Examples, SubtractMagnitudesTest,
                         ::testing::Values(MagnitudeCase{"100", "99", "0001"},
                                           MagnitudeCase{"5", "5", "00"},
                                           MagnitudeCase{"1000", "1", "00999"},
                                           MagnitudeCase{"10000000", "9999999", "000000001"},
                                           MagnitudeCase{"1234", "1234", "00000"},
                                           MagnitudeCase{"9000", "8999", "00001"},
                                           MagnitudeCase{"5432", "0", "05432"},
                                           MagnitudeCase{"1010", "909", "00101"}));

class MultiplyMagnitudesTest : public ::testing::TestWithParam<MagnitudeCase> {};

TEST_P(MultiplyMagnitudesTest, LongMultiplication) {
  const MagnitudeCase& c = GetParam();
  const SignedNumber a = Num(c.a);
  const SignedNumber b = Num(c.b);
  const Chain r = MultiplyMagnitudes(a.digits(), b.digits());
  ASSERT_TRUE(r);
  EXPECT_EQ(ChainText(r.get()), c.raw);
  EXPECT_LE(ChainLength(r.get()), ChainLength(a.digits()) + ChainLength(b.digits()));
  EXPECT_EQ(NumberText(a), std::string("+") + c.a);
  EXPECT_EQ(NumberText(b), std::string("+") + c.b);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, MultiplyMagnitudesTest,
    ::testing::Values(MagnitudeCase{"12", "34", "0408"}, MagnitudeCase{"25", "4", "100"},
                      MagnitudeCase{"7", "0", "00"}, MagnitudeCase{"123", "101", "012423"},
                      MagnitudeCase{"999", "999", "998001"},
                      MagnitudeCase{"99999", "99999", "9999800001"},
                      // Inner zeros of the multiplier still move the row on.
                      MagnitudeCase{"9999", "10001", "099999999"},
                      MagnitudeCase{"8", "1000", "08000"},
                      // A leading '0' node in the multiplier (0.05 for '*').
                      MagnitudeCase{"7", "05", "035"}, MagnitudeCase{"12", "05", "060"},
                      MagnitudeCase{"0", "987", "0000"}));

TEST(CompareMagnitudes, LengthDecidesThenTheTopDifferingDigit) {
  struct Case {
    const char* x;
    const char* y;
    int k;
  };
  const Case cases[] = {
      {"12", "12", 1},  {"12", "13", 2}, {"13", "12", 1}, {"100", "99", 1},
      {"99", "100", 2}, {"19", "21", 2}, {"91", "19", 1}, {"005", "12", 1},
      {"0", "0", 1},    {"0", "1", 2},   {"-7", "7", 1},  {"1999", "2000", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareMagnitudes(Num(c.x), Num(c.y)), c.k) << c.x << " vs " << c.y;
  }
}

struct SignedCase {
  const char* x;
  char op;
  const char* y;
  const char* result;  // sign and trimmed digits
};

class SignedOperationTest : public ::testing::TestWithParam<SignedCase> {};

TEST_P(SignedOperationTest, SignTable) {
  const SignedCase& c = GetParam();
  const SignedNumber x = Num(c.x);
  const SignedNumber y = Num(c.y);
  const int k = CompareMagnitudes(x, y);
  SignedNumber r = c.op == '*'   ? SignedMultiply(x, y)
                   : c.op == '-' ? SignedSubtract(x, y, k)
                                 : SignedAdd(x, y, k);
  ASSERT_FALSE(r.empty());
  TrimLeadingZeros(r);
  EXPECT_EQ(NumberText(r), c.result);
  EXPECT_EQ(NumberText(x), c.x);
  EXPECT_EQ(NumberText(y), c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Add, SignedOperationTest,
    ::testing::Values(SignedCase{"+8", '+', "+3", "+11"}, SignedCase{"-8", '+', "-3", "-11"},
                      SignedCase{"+8", '+', "-3", "+5"}, SignedCase{"+3", '+', "-8", "-5"},
                      SignedCase{"-8", '+', "+3", "-5"}, SignedCase{"-3", '+', "+8", "+5"},
                      // Equal magnitudes, different signs: the zero keeps x's sign.
                      SignedCase{"-5", '+', "+5", "-0"}, SignedCase{"+5", '+', "-5", "+0"}));
INSTANTIATE_TEST_SUITE_P(
    Subtract, SignedOperationTest,
    ::testing::Values(SignedCase{"+8", '-', "-3", "+11"}, SignedCase{"-8", '-', "+3", "-11"},
                      SignedCase{"+8", '-', "+3", "+5"}, SignedCase{"+3", '-', "+8", "-5"},
                      SignedCase{"-8", '-', "-3", "-5"}, SignedCase{"-3", '-', "-8", "+5"},
                      SignedCase{"+5", '-', "+5", "+0"}, SignedCase{"-5", '-', "-5", "-0"},
                      SignedCase{"+100", '-', "+99", "+1"}, SignedCase{"+99", '-', "+100", "-1"}));
INSTANTIATE_TEST_SUITE_P(
    Multiply, SignedOperationTest,
    ::testing::Values(SignedCase{"+2", '*', "+3", "+6"}, SignedCase{"-2", '*', "-3", "+6"},
                      SignedCase{"+2", '*', "-3", "-6"}, SignedCase{"-2", '*', "+3", "-6"},
                      SignedCase{"-3", '*', "+0", "-0"}, SignedCase{"+12", '*', "+34", "+408"}));

TEST(TrimLeadingZeros, LeavesCanonicalChains) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {{"+0408", "+408"}, {"+000", "+0"},     {"-00", "-0"},        {"+0", "+0"},
                        {"+1", "+1"},      {"-1000", "-1000"}, {"+0001000", "+1000"}};
  for (const Case& c : cases) {
    SignedNumber n = Num(c.in);
    TrimLeadingZeros(n);
    EXPECT_EQ(NumberText(n), c.out) << c.in;
  }
}

TEST(ReleaseChains, RegistersBecomeZerosOfTheirSigns) {
  CalcState s;
  s.accumulator = Num("-123456");
  s.operand = Num("+789");
  ReleaseChains(s);
  EXPECT_EQ(NumberText(s.accumulator), "-0");
  EXPECT_EQ(NumberText(s.operand), "+0");

  s.accumulator = Num("+42");
  s.accScale = 3;
  s.workScale = 3;
  ZeroResult(s);
  EXPECT_EQ(NumberText(s.accumulator), "+0");
  EXPECT_EQ(s.accScale, 0);
  EXPECT_EQ(s.workScale, 0);
}

}  // namespace
}  // namespace zantor::engine
