#include "input/paste.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text/gbk.h"

namespace zantor::input {
namespace {

ClipboardView Text(std::string gbk) {
  ClipboardView c;
  c.hasText = true;
  c.gbk = std::move(gbk);
  return c;
}

std::string Chinese(int characters) {
  std::string s;
  for (int i = 0; i < characters; ++i) s += "元";
  return s;
}

TEST(PreparePasteTest, ShortTextKeepsOnlyTheCharactersOfANumber) {
  const std::string gbk = platform::ToGbk("1,234.50 元");
  ASSERT_EQ(gbk, "1,234.50 \xD4\xAA");
  const PasteResult r = PreparePaste(Text(gbk), '+', 'k');
  EXPECT_TRUE(r.goOn);
  EXPECT_EQ(r.newClipboard, "1234.50");
  EXPECT_EQ(r.message, "");

  // Misplaced signs are left for the entry checks.
  EXPECT_EQ(PreparePaste(Text("-12-3"), '*', 'z').newClipboard, "-12-3");
  EXPECT_EQ(PreparePaste(Text("1..2 -"), '+', 'z').newClipboard, "1..2-");
  // Nothing of a number: the clipboard is emptied and the paste inserts nothing.
  const PasteResult letters = PreparePaste(Text("abc"), '+', 'k');
  EXPECT_TRUE(letters.goOn);
  EXPECT_EQ(letters.newClipboard, "");
  // No GBK trail byte is ever taken for a digit.
  EXPECT_EQ(PreparePaste(Text(platform::ToGbk("１２３ 四5")), '+', 'k').newClipboard, "5");
}

TEST(PreparePasteTest, LimitIsAHundredBytes) {
  const PasteResult at99 = PreparePaste(Text(std::string(98, 'x') + "7"), '+', 'k');
  EXPECT_TRUE(at99.goOn);
  EXPECT_EQ(at99.newClipboard, "7");
  EXPECT_EQ(at99.message, "");

  const PasteResult at100 = PreparePaste(Text(std::string(99, 'x') + "7"), '+', 'k');
  EXPECT_FALSE(at100.goOn);
  EXPECT_EQ(at100.newClipboard, "0");
  EXPECT_EQ(at100.message, "粘贴的内容太长");

  // 49 characters are 98 bytes and still fit; 50 are 100 bytes in GBK.
  EXPECT_TRUE(PreparePaste(Text(platform::ToGbk(Chinese(49))), '+', 'k').goOn);
  const std::string fifty = platform::ToGbk(Chinese(50));
  ASSERT_EQ(fifty.size(), 100u);
  EXPECT_FALSE(PreparePaste(Text(fifty), '+', 'k').goOn);

  // The text ends at its first NUL, as the clipboard's C text does.
  const PasteResult nul =
      PreparePaste(Text(std::string("12\0", 3) + std::string(200, 'y')), '+', 'k');
  EXPECT_TRUE(nul.goOn);
  EXPECT_EQ(nul.newClipboard, "12");
}

TEST(PreparePasteTest, TooLongTextBecomesTheNeutralOperand) {
  const std::string longText(150, '9');
  struct Case {
    char op;
    char mode;
    const char* replacement;
  };
  for (const Case c : {Case{'+', 'k', "0"}, Case{'+', 'z', "0"}, Case{'-', 'k', "0"},
                       Case{'-', 'z', "0"}, Case{'*', 'z', "1"}, Case{'*', 'k', "100"}}) {
    SCOPED_TRACE(std::string(1, c.op) + c.mode);
    const PasteResult r = PreparePaste(Text(longText), c.op, c.mode);
    EXPECT_FALSE(r.goOn);
    EXPECT_EQ(r.newClipboard, c.replacement);
    EXPECT_EQ(r.message, kPasteTooLong);
  }
}

TEST(PreparePasteTest, ClipboardTroubles) {
  ClipboardView busy = Text("123");
  busy.opened = false;
  const PasteResult r1 = PreparePaste(busy, '+', 'k');
  EXPECT_FALSE(r1.goOn);
  EXPECT_FALSE(r1.newClipboard.has_value());
  EXPECT_EQ(r1.message, "");

  // An empty clipboard, or one without text: the field pastes nothing itself.
  const PasteResult r2 = PreparePaste(ClipboardView{}, '*', 'k');
  EXPECT_TRUE(r2.goOn);
  EXPECT_FALSE(r2.newClipboard.has_value());
  EXPECT_EQ(r2.message, "");

  ClipboardView formatless = Text("123");
  formatless.hasFormats = false;
  const PasteResult r3 = PreparePaste(formatless, '+', 'k');
  EXPECT_FALSE(r3.goOn);
  EXPECT_FALSE(r3.newClipboard.has_value());
  EXPECT_EQ(r3.message, "没有粘贴内容");

  // An empty text is still text: it is "cleaned" to nothing and the paste goes on.
  const PasteResult r4 = PreparePaste(Text(""), '+', 'k');
  EXPECT_TRUE(r4.goOn);
  EXPECT_EQ(r4.newClipboard, "");
}

TEST(PrepareValuePasteTest, CleansShortTextAndZeroesLongTextSilently) {
  const PasteResult shortText = PrepareValuePaste(Text(platform::ToGbk("金额 -1,234.5")));
  EXPECT_TRUE(shortText.goOn);
  EXPECT_EQ(shortText.newClipboard, "-1234.5");

  const PasteResult at99 = PrepareValuePaste(Text(std::string(99, '5')));
  EXPECT_TRUE(at99.goOn);
  EXPECT_EQ(at99.newClipboard, std::string(99, '5'));

  const PasteResult longText = PrepareValuePaste(Text(platform::ToGbk(Chinese(50))));
  EXPECT_FALSE(longText.goOn);
  EXPECT_EQ(longText.newClipboard, "0");
  EXPECT_EQ(longText.message, "");

  ClipboardView formatless = Text("1");
  formatless.hasFormats = false;
  const PasteResult none = PrepareValuePaste(formatless);
  EXPECT_FALSE(none.goOn);
  EXPECT_FALSE(none.newClipboard.has_value());
  EXPECT_EQ(none.message, "");

  ClipboardView busy = Text("1");
  busy.opened = false;
  EXPECT_FALSE(PrepareValuePaste(busy).goOn);
  EXPECT_TRUE(PrepareValuePaste(ClipboardView{}).goOn);
}

}  // namespace
}  // namespace zantor::input
