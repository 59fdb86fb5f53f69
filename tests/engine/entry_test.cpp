#include "engine/entry.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace zantor::engine {
namespace {

using testing::ChainText;
using testing::NumberText;
using testing::SetTotal;

TEST(ValidateEntry, FirstFailingCheckWins) {
  struct Case {
    const char* text;
    StepMessage expected;
  };
  const Case cases[] = {
      {"5", StepMessage::kNone},
      {"-5", StepMessage::kNone},
      {"0.5", StepMessage::kNone},
      {"-0.5", StepMessage::kNone},
      {"-0", StepMessage::kNone},
      {"007", StepMessage::kNone},
      {"-", StepMessage::kMinusPlacement},
      {"5-", StepMessage::kMinusPlacement},
      {"--5", StepMessage::kMinusPlacement},
      {"1-2", StepMessage::kMinusPlacement},
      {"5-..", StepMessage::kMinusPlacement},
      {"1.2.3", StepMessage::kPointCount},
      {"..", StepMessage::kPointCount},
      {".5", StepMessage::kPointPlacement},
      {"5.", StepMessage::kPointPlacement},
      {"-.5", StepMessage::kPointPlacement},
      {"-5.", StepMessage::kPointPlacement},
      {".", StepMessage::kPointPlacement},
      {"12a", StepMessage::kForeignCharacter},
      {" 5", StepMessage::kForeignCharacter},
      {"5 ", StepMessage::kForeignCharacter},
      {"+5", StepMessage::kForeignCharacter},
      {"1,234", StepMessage::kForeignCharacter},
      {"1e5", StepMessage::kForeignCharacter},
      {"５", StepMessage::kForeignCharacter},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidateEntry(c.text), c.expected) << '"' << c.text << '"';
  }
}

struct AddCase {
  char mode;
  const char* acc;  // signed digits
  int accScale;
  const char* entry;
  const char* shortened;  // entryText afterwards
  const char* operand;    // sign and chain, most significant first
  const char* accAfter;
  int workScale;
};

class ConvertForAddSubtractTest : public ::testing::TestWithParam<AddCase> {};

TEST_P(ConvertForAddSubtractTest, AlignsBothNumbersToOneScale) {
  const AddCase& c = GetParam();
  CalcState s;
  s.entryMode = c.mode;
  SetTotal(s, c.acc, c.accScale);
  std::string text = c.entry;
  int extension = -1;
  ASSERT_EQ(ConvertEntryForAddSubtract(text, s, &extension), Conversion::kConverted);
  EXPECT_EQ(text, c.shortened);
  EXPECT_EQ(NumberText(s.operand), c.operand);
  EXPECT_EQ(NumberText(s.accumulator), c.accAfter);
  EXPECT_EQ(s.workScale, c.workScale);
  EXPECT_EQ(s.accScale, c.accScale);
  // The extension is exactly what the accumulator grew by, so a failed
  // step can take it back.
  EXPECT_EQ(static_cast<size_t>(extension),
            std::string(c.accAfter).size() - std::string(c.acc).size());
  UndoExtension(s.accumulator, extension);
  EXPECT_EQ(NumberText(s.accumulator), c.acc);
}

INSTANTIATE_TEST_SUITE_P(FastMode, ConvertForAddSubtractTest,
                         ::testing::Values(
                             // Whole numbers are hundredths.
                             AddCase{'k', "+0", 0, "1234", "1234", "+1234", "+0", 2},
                             AddCase{'k', "+1234", 2, "5", "5", "+5", "+1234", 2},
                             AddCase{'k', "+7", 0, "5", "5", "+5", "+700", 2},
                             AddCase{'k', "+25", 1, "5", "5", "+5", "+250", 2},
                             AddCase{'k', "+1125", 3, "5", "5", "+50", "+1125", 3},
                             AddCase{'k', "+1", 6, "-12", "-12", "-120000", "+1", 6},
                             AddCase{'k', "+0", 1, "5", "5", "+5", "+0", 2},
                             AddCase{'k', "-7", 0, "00042", "42", "+42", "-700", 2},
                             // A point is taken at face value in fast mode too.
                             AddCase{'k', "+7", 0, "1.5", "1.5", "+15", "+70", 1},
                             AddCase{'k', "+1234", 2, "0.125", "0.125", "+125", "+12340", 3},
                             AddCase{'k', "+1234", 2, "3.5", "3.5", "+350", "+1234", 2}));

INSTANTIATE_TEST_SUITE_P(
    NormalMode, ConvertForAddSubtractTest,
    ::testing::Values(AddCase{'z', "+125", 1, "3.75", "3.75", "+375", "+1250", 2},
                      AddCase{'z', "+1625", 2, "5", "5", "+500", "+1625", 2},
                      AddCase{'z', "+0", 0, "3.5", "3.5", "+35", "+0", 1},
                      AddCase{'z', "+12345", 3, "1.5", "1.5", "+1500", "+12345", 3},
                      AddCase{'z', "+15", 1, "2.5", "2.5", "+25", "+15", 1},
                      AddCase{'z', "+3", 0, "0.05", "0.05", "+5", "+300", 2},
                      AddCase{'z', "+3", 0, "-0012.50", "-12.50", "-1250", "+300", 2},
                      AddCase{'z', "+3", 0, "100", "100", "+100", "+3", 0},
                      AddCase{'z', "+3", 0, "00.5", "0.5", "+5", "+30", 1}));

// A zero entry is never aligned and takes the total's scale.
INSTANTIATE_TEST_SUITE_P(ZeroEntries, ConvertForAddSubtractTest,
                         ::testing::Values(AddCase{'z', "+1625", 2, "0.00", "0.00", "+0", "+1625",
                                                   2},
                                           AddCase{'z', "+7", 0, "0.000", "0.000", "+0", "+7", 0},
                                           AddCase{'k', "+7", 0, "0", "0", "+0", "+7", 0},
                                           AddCase{'k', "+15", 1, "000", "0", "+0", "+15", 1},
                                           AddCase{'z', "+7", 0, "-0", "-0", "-0", "+7", 0},
                                           AddCase{'z', "+7", 0, "-000.0", "-0.0", "-0", "+7", 0}));

struct MultiplyCase {
  char mode;
  int accScale;
  const char* entry;
  const char* shortened;
  const char* operand;
  int workScale;
};

class ConvertForMultiplyTest : public ::testing::TestWithParam<MultiplyCase> {};

TEST_P(ConvertForMultiplyTest, ScaleOfTheProduct) {
  const MultiplyCase& c = GetParam();
  CalcState s;
  s.entryMode = c.mode;
  SetTotal(s, "+1239", c.accScale);
  std::string text = c.entry;
  ASSERT_EQ(ConvertEntryForMultiply(text, s), Conversion::kConverted);
  EXPECT_EQ(text, c.shortened);
  EXPECT_EQ(NumberText(s.operand), c.operand);
  EXPECT_EQ(s.workScale, c.workScale);
  EXPECT_EQ(NumberText(s.accumulator), "+1239");  // never extended for '*'
}

INSTANTIATE_TEST_SUITE_P(Examples, ConvertForMultiplyTest,
                         ::testing::Values(MultiplyCase{'k', 2, "3", "3", "+3", 4},
                                           MultiplyCase{'k', 2, "1.5", "1.5", "+15", 3},
                                           MultiplyCase{'z', 1, "2.25", "2.25", "+225", 3},
                                           MultiplyCase{'z', 2, "3", "3", "+3", 2},
                                           // Only leading '0's are skipped, the point is not.
                                           MultiplyCase{'z', 0, "0.05", "0.05", "+05", 2},
                                           MultiplyCase{'z', 0, "0.00", "0.00", "+00", 2},
                                           MultiplyCase{'k', 2, "-0007", "-7", "-7", 4},
                                           MultiplyCase{'z', 3, "0", "0", "+0", 3},
                                           MultiplyCase{'k', 3, "-0", "-0", "-0", 3}));

TEST(Conversion, LengthIsMeasuredAfterLeadingZerosGo) {
  const std::string d39(39, '7');
  const std::string d40(40, '7');
  struct Case {
    std::string entry;
    bool fits;
  };
  const Case cases[] = {
      {d40, true},
      {d40 + "7", false},
      {"-" + d39, true},
      {"-" + d40, false},
      {d40.substr(0, 20) + "." + d40.substr(20), false},
      {d39.substr(0, 19) + "." + d39.substr(19), true},
      {"-" + d39.substr(0, 19) + "." + d39.substr(20), true},
      {std::string(10, '0') + "1" + std::string(34, '2'), true},
      {"-" + std::string(30, '0') + d40, false},
      {"-" + std::string(30, '0') + d39, true},
      {std::string(60, '0'), true},
      {std::string(50, '0') + "." + std::string(39, '0'), false},
  };
  for (const Case& c : cases) {
    for (char op : {'+', '*'}) {
      CalcState s;
      SetTotal(s, "+987", 1);
      s.workScale = 5;
      std::string text = c.entry;
      int extension = 0;
      const Conversion r = op == '*' ? ConvertEntryForMultiply(text, s)
                                     : ConvertEntryForAddSubtract(text, s, &extension);
      if (c.fits) {
        EXPECT_EQ(r, Conversion::kConverted) << op << ' ' << c.entry;
        EXPECT_FALSE(text.empty());
        continue;
      }
      EXPECT_EQ(r, Conversion::kTooLong) << op << ' ' << c.entry;
      EXPECT_TRUE(text.empty());
      EXPECT_EQ(NumberText(s.operand), "+0");
      EXPECT_EQ(NumberText(s.accumulator), "+987");
      EXPECT_EQ(s.accScale, 1);
      EXPECT_EQ(s.workScale, 5);
    }
  }
}

TEST(Conversion, FortyDigitEntryIsConvertedWhole) {
  const std::string digits = "1234567890123456789012345678901234567890";
  CalcState s;
  s.entryMode = 'z';
  std::string text = "-" + digits.substr(1);
  int extension = 0;
  ASSERT_EQ(ConvertEntryForAddSubtract(text, s, &extension), Conversion::kConverted);
  EXPECT_EQ(ChainText(s.operand.digits()), digits.substr(1));
  EXPECT_EQ(s.operand.sign(), '-');
}

}  // namespace
}  // namespace zantor::engine
