#include "platform/text/gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace zantor::platform {
namespace {

TEST(GbkTest, ChineseTextHasItsTwoByteForm) {
  EXPECT_EQ(ToGbk("序号"), "\xD0\xF2\xBA\xC5");
  EXPECT_EQ(ToGbk("1,234.50 元"), "1,234.50 \xD4\xAA");
  EXPECT_EQ(ToGbk("abc 123"), "abc 123");
  EXPECT_EQ(ToGbk(""), "");
  EXPECT_EQ(FromGbk("\xD0\xF2\xBA\xC5"), "序号");
}

TEST(GbkTest, WhatGbkCannotHoldBecomesOneQuestionMarkEach) {
  EXPECT_EQ(ToGbk("a\xF0\x9F\x98\x80"
                  "b"),
            "a?b");  // an emoji
  EXPECT_EQ(ToGbk("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"), "??");
  EXPECT_EQ(ToGbk("x\xFFy"), "x?y");  // not UTF-8
  EXPECT_EQ(ToGbk("x\xE5"), "x?");    // cut off at the end
  EXPECT_EQ(FromGbk("a\xFF"
                    "b"),
            "a?b");
  EXPECT_EQ(FromGbk("a\xD0"), "a?");
}

TEST(GbkTest, LongTextsRoundTrip) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "第" + std::to_string(i) + "行：最终结果\n";
  const std::string gbk = ToGbk(text);
  EXPECT_LT(gbk.size(), text.size());
  EXPECT_EQ(FromGbk(gbk), text);
}

}  // namespace
}  // namespace zantor::platform
