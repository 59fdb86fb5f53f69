// Random tapes and random chains checked against the reference arithmetic of
// test_support.h, which works on plain digit strings.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/step.h"
#include "test_support.h"

namespace zantor::engine {
namespace {

using testing::ChainText;
using testing::EntryValue;
using testing::Num;
using testing::RefDecimal;
using testing::StripZeros;

class Random {
 public:
  explicit Random(unsigned seed) : gen_(seed) {}
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen_); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::string Digits(int n, bool leadingNonZero) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      s.push_back(static_cast<char>('0' + ((i == 0 && leadingNonZero) ? 1 + Below(9) : Below(10))));
    }
    return s;
  }

 private:
  std::mt19937 gen_;
};

std::string RandomEntry(Random& rnd) {
  if (rnd.Chance(6)) {
    const char* zeros[] = {"0", "-0", "000", "0.00", "-0.0", "00.000"};
    return zeros[rnd.Below(6)];
  }
  std::string e;
  if (rnd.Chance(25)) e.push_back('-');
  if (rnd.Chance(10)) e.append(static_cast<size_t>(1 + rnd.Below(4)), '0');
  // Mostly short amounts, now and then one at or past the length limit.
  const int whole = rnd.Chance(4) ? 30 + rnd.Below(14) : 1 + rnd.Below(9);
  e += rnd.Digits(whole, rnd.Chance(80));
  if (rnd.Chance(35)) e += "." + rnd.Digits(1 + rnd.Below(6), false);
  return e;
}

// The entry as it is recorded: leading zeros of the whole part gone (one
// digit stays), and in fast mode a whole number written as hundredths.
std::string ExpectedFdata(std::string e, char mode) {
  const size_t sign = e.starts_with('-') ? 1 : 0;
  size_t wholeEnd = e.find('.');
  if (wholeEnd == std::string::npos) wholeEnd = e.size();
  while (wholeEnd - sign > 1 && e[sign] == '0') {
    e.erase(sign, 1);
    --wholeEnd;
  }
  if (mode == 'k' && e.find('.') == std::string::npos) {
    std::string digits = e.substr(sign);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    digits.insert(digits.size() - 2, ".");
    e = e.substr(0, sign) + digits;
  }
  return e;
}

std::string Grouped(const std::string& e) {
  const size_t sign = e.starts_with('-') ? 1 : 0;
  const size_t point = std::min(e.find('.'), e.size());
  std::string out = e.substr(0, sign);
  for (size_t i = sign; i < point; ++i) {
    if (i != sign && (point - i) % 3 == 0) out.push_back(',');
    out.push_back(e[i]);
  }
  return out + e.substr(point);
}

size_t ShortenedLength(const std::string& e) {
  const size_t sign = e.starts_with('-') ? 1 : 0;
  const size_t wholeEnd = std::min(e.find('.'), e.size());
  size_t zeros = 0;
  while (sign + zeros + 1 < wholeEnd && e[sign + zeros] == '0') ++zeros;
  return e.size() - zeros;
}

TEST(RandomTapes, TotalsMatchExactDecimalArithmetic) {
  Random rnd(20240611);
  int steps = 0;
  int refusedTooLong = 0;
  for (int tape = 0; tape < 8000; ++tape) {
    CalcState s;
    RefDecimal total;
    char mode = rnd.Chance(50) ? 'k' : 'z';
    s.entryMode = mode;
    const int length = 5 + rnd.Below(25);
    for (int i = 0; i < length; ++i) {
      if (rnd.Chance(5)) {
        mode = mode == 'k' ? 'z' : 'k';
        s.entryMode = mode;
      }
      if (rnd.Chance(2)) {
        ZeroResult(s);
        total = RefDecimal{};
      }
      // Multiplication lengthens the total; keep it to a few hundred digits.
      const int pick = rnd.Below(100);
      const char op = (pick < 15 && total.digits.size() < 300) ? '*' : (pick < 60 ? '+' : '-');
      s.pendingOp = op;
      const std::string entry = RandomEntry(rnd);
      const std::string before = fuzz::Displayed(total);
      const StepResult r = EvaluateStep(s, entry);
      ++steps;
      SCOPED_TRACE("tape " + std::to_string(tape) + " step " + std::to_string(i) + ": " + before +
                   " " + op + " " + entry + " (" + mode + ")");
      if (ShortenedLength(entry) > 40) {
        ++refusedTooLong;
        ASSERT_EQ(r.status, StepResult::Status::kRefused);
        ASSERT_EQ(r.message, StepMessage::kTooLong);
        continue;
      }
      ASSERT_EQ(r.status, StepResult::Status::kDone);
      const RefDecimal value = EntryValue(entry, mode);
      total = op == '*' ? fuzz::Multiply(total, value)
                        : (op == '+' ? fuzz::Add(total, value) : fuzz::Subtract(total, value));
      ASSERT_EQ(r.row.re, fuzz::Displayed(total));
      const std::string fdata = ExpectedFdata(entry, mode);
      ASSERT_EQ(r.row.fdata, fdata);
      ASSERT_EQ(r.row.mdata, Grouped(fdata));
      ASSERT_EQ(ChainText(s.accumulator.digits()), total.digits);
      ASSERT_EQ(s.accScale, total.scale);
      ASSERT_EQ(ChainText(s.operand.digits()), "0");
    }
  }
  EXPECT_GT(steps, 100000);
  EXPECT_GT(refusedTooLong, 300);
}

// Chains as they reach the magnitude operations, leading zero nodes and all.
TEST(RandomChains, MagnitudeOperationsAgreeWithTheReference) {
  Random rnd(7);
  for (int i = 0; i < 20000; ++i) {
    std::string a = rnd.Digits(1 + rnd.Below(30), false);
    std::string b = rnd.Digits(1 + rnd.Below(30), false);
    const SignedNumber x = Num(a);
    const SignedNumber y = Num(b);
    SCOPED_TRACE(a + " , " + b);

    const Chain sum = AddMagnitudes(x.digits(), y.digits());
    ASSERT_EQ(StripZeros(ChainText(sum.get())), testing::AddMag(StripZeros(a), StripZeros(b)));
    ASSERT_EQ(ChainText(sum.get()).size(), std::max(a.size(), b.size()) + 1);

    const Chain product = MultiplyMagnitudes(x.digits(), y.digits());
    const std::string p = ChainText(product.get());
    ASSERT_EQ(StripZeros(p), testing::MulMag(StripZeros(a), StripZeros(b)));
    ASSERT_LE(p.size(), a.size() + b.size());
    if (b[0] != '0') {
      ASSERT_EQ(p.size(), a.size() + b.size());
    }

    // Subtraction wants the larger first, and at least as long: a leading
    // zero node on the smaller one is matched on the larger.
    const bool swap = testing::CmpMag(StripZeros(a), StripZeros(b)) < 0;
    std::string big = swap ? b : a;
    const std::string small = swap ? a : b;
    if (big.size() < small.size()) big.insert(0, small.size() - big.size(), '0');
    const Chain diff = SubtractMagnitudes(Num(big).digits(), Num(small).digits());
    const std::string d = ChainText(diff.get());
    ASSERT_EQ(d.size(), big.size() + 1);
    ASSERT_EQ(StripZeros(d), testing::SubMag(StripZeros(big), StripZeros(small)));
  }
}

}  // namespace
}  // namespace zantor::engine
