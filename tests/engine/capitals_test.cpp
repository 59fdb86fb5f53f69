// Amounts in capitals, grouped by the rule of the bill-and-voucher writing
// that each case is an example of.
#include "engine/capitals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zantor::engine {
namespace {

struct Case {
  const char* amount;
  const char* capitals;
};

void ExpectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const Capitals r = AmountInCapitals(c.amount);
    EXPECT_EQ(r.status, Capitals::Status::kDone) << c.amount;
    EXPECT_EQ(r.text, c.capitals) << c.amount;
    EXPECT_FALSE(r.rounded) << c.amount;
  }
}

TEST(CapitalsTest, DigitsPlacesAndUnits) {
  ExpectAll({
      {"1,234.56", "壹仟贰佰叁拾肆元伍角陆分"},
      {"98,765,432.19", "玖仟捌佰柒拾陆万伍仟肆佰叁拾贰元壹角玖分"},
      {"9999999999999999.99",
       "玖仟玖佰玖拾玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"},
      {"1000000000000", "壹万亿元整"},
      {"123456780000", "壹仟贰佰叁拾肆亿伍仟陆佰柒拾捌万元整"},
  });
}

// A leading ten keeps its 壹, as bills require.
TEST(CapitalsTest, TenIsWrittenWithItsOne) {
  ExpectAll({
      {"10", "壹拾元整"},
      {"16", "壹拾陆元整"},
      {"100,010", "壹拾万零壹拾元整"},
      {"110", "壹佰壹拾元整"},
  });
}

// 整 after 元 or 角; nothing after 分.
TEST(CapitalsTest, ZhengEndsAnAmountWithoutFen) {
  ExpectAll({
      {"1,000.00", "壹仟元整"},
      {"1000", "壹仟元整"},
      {"0.50", "伍角整"},
      {"3.2", "叁元贰角整"},
      {"0.05", "伍分"},
      {"0.55", "伍角伍分"},
      {"0", "零元整"},
      {"0.00", "零元整"},
  });
}

// One 零 for each run of zeros between written digits, whatever units it
// crosses; zeros at the end of the amount are not written.
TEST(CapitalsTest, ZeroRuns) {
  ExpectAll({
      {"10,005.10", "壹万零伍元壹角整"},
      {"1,000,000.00", "壹佰万元整"},
      {"100,000,001", "壹亿零壹元整"},
      {"10,010,000", "壹仟零壹万元整"},
      {"100,010,000", "壹亿零壹万元整"},
      {"1,000,010,000,000", "壹万亿零壹仟万元整"},
      {"1,000,100,000,000", "壹万零壹亿元整"},
      {"1,001", "壹仟零壹元整"},
      {"1,010", "壹仟零壹拾元整"},
      {"107,000.53", "壹拾万零柒仟元零伍角叁分"},
      {"1,680.32", "壹仟陆佰捌拾元零叁角贰分"},
      {"100.10", "壹佰元零壹角整"},
      {"1.05", "壹元零伍分"},
      {"16,409.02", "壹万陆仟肆佰零玖元零贰分"},
      {"325.04", "叁佰贰拾伍元零肆分"},
      {"0.05", "伍分"},
      {"007.5", "柒元伍角整"},
  });
}

TEST(CapitalsTest, NegativeBeginsWithFu) {
  ExpectAll({
      {"-1,234.56", "负壹仟贰佰叁拾肆元伍角陆分"},
      {"-0.05", "负伍分"},
      {"-0", "零元整"},
  });
}

TEST(CapitalsTest, RoundedHalfUpToFen) {
  struct Rounded {
    const char* amount;
    const char* capitals;
    bool rounded;
  };
  for (const Rounded& c : std::vector<Rounded>{
           {"1.005", "壹元零壹分", true},
           {"1.004999", "壹元整", true},
           {"0.995", "壹元整", true},
           {"9,999.995", "壹万元整", true},
           {"-0.004", "零元整", true},
           {"-2.345", "负贰元叁角伍分", true},
           {"12.3400", "壹拾贰元叁角肆分", false},
       }) {
    const Capitals r = AmountInCapitals(c.amount);
    EXPECT_EQ(r.text, c.capitals) << c.amount;
    EXPECT_EQ(r.rounded, c.rounded) << c.amount;
  }
}

TEST(CapitalsTest, RefusedAmounts) {
  for (const char* amount :
       {"10000000000000000", "9999999999999999.995", "-10,000,000,000,000,000"}) {
    EXPECT_EQ(AmountInCapitals(amount).status, Capitals::Status::kTooLarge) << amount;
  }
  for (const char* amount :
       {"", "-", ".5", "5.", "1..2", "1,", ",1", "1,,2", "1.2,3", "12a", "--1", "1.-2", "元"}) {
    EXPECT_EQ(AmountInCapitals(amount).status, Capitals::Status::kNotANumber) << amount;
  }
}

}  // namespace
}  // namespace zantor::engine
