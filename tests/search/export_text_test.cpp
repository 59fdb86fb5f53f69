#include "search/export_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "tests/search/table_rows_for_test.h"
#include "tests/support/two_steps.h"

namespace zantor::search {
namespace {

constexpr size_t kCommaHeaderSize = std::string_view("序号,操作,数据,每一步结果\n").size();
const store::Table kTwoRows = Rows({{"1", "+", "0.05", "0.05"}, {"2", "*", "3", "0.15"}});

// GBK bytes, written out so that the converter is not checked against itself.
const std::string kGbkHeader = testsupport::gbk::kNumber + "," + testsupport::gbk::kOperation +
                               "," + testsupport::gbk::kData + "," + testsupport::gbk::kEachResult;
const std::string& kGbkFinal = testsupport::gbk::kFinal;
const std::string kGbkNotFound =
    "\xC3\xBB\xD3\xD0\xB2\xE9\xD5\xD2\xB5\xBD\xA3\xA1";  // 没有查找到！

TEST(SeparatorForPathTest, LastCharacterChoosesTheLayout) {
  EXPECT_EQ(SeparatorForPath("/home/u/a.csv"), ',');
  EXPECT_EQ(SeparatorForPath("/home/u/a.txt"), ',');
  EXPECT_EQ(SeparatorForPath("/home/u/report.html"), 0);
  EXPECT_EQ(SeparatorForPath("/home/u/report.htm"), 0);
  EXPECT_EQ(SeparatorForPath("/home/u/ledger"), 0);
  // Only the last character counts, extension or not.
  EXPECT_EQ(SeparatorForPath("/home/u/report"), ',');
  EXPECT_EQ(SeparatorForPath("/home/u/a.TXT"), 0);
  EXPECT_EQ(SeparatorForPath(""), 0);
}

TEST(CommaExportTest, TwoRowsFileBytes) {
  const std::string text = BuildExportText(kTwoRows, "0.15", SeparatorForPath("x.csv"));
  EXPECT_EQ(BuildExportText(kTwoRows, "0.15", SeparatorForPath("x.txt")), text);
  EXPECT_EQ(ToFileBytes(text), testsupport::kTwoStepsCsvBytes);
}

TEST(CommaExportTest, NoRowsPutsNotFoundOnTheTotalLine) {
  const std::string text = BuildExportText(Rows({}), "0.00", ',');
  EXPECT_EQ(text, "序号,操作,数据,每一步结果\n,,最终结果:,\"0.00\",没有查找到！,\n");
  EXPECT_EQ(ToFileBytes(text),
            kGbkHeader + "\r\n,," + kGbkFinal + ",\"0.00\"," + kGbkNotFound + ",\r\n");
}

// A crafted history's cells stay in their cells and are never read as a
// formula; real rows (numbers, operators, negative numbers) keep their bytes.
TEST(CommaExportTest, CraftedCellsStayTextInTheirCells) {
  struct Case {
    const char* id;
    const char* op;
    const char* mdata;
    const char* re;
    const char* line;
  };
  const Case cases[] = {
      {"3", "-", "-5", "-1,234.50", "3,-,\"-5\",\"-1,234.50\""},
      {"4", "+", "+5", "7", "4,+,\"+5\",\"7\""},
      {"5", "*", "say \"hi\"", "1", "5,*,\"say \"\"hi\"\"\",\"1\""},
      {"6", "+", "=HYPERLINK(\"x\")", "@SUM(A1)", "6,+,\"'=HYPERLINK(\"\"x\"\")\",\"'@SUM(A1)\""},
      {"7", "+", "-1+cmd|' /C calc'!A0", "+A1", "7,+,\"'-1+cmd|' /C calc'!A0\",\"'+A1\""},
      {"8", "=1+1", "1", "1", "8,\"'=1+1\",\"1\",\"1\""},
      {"9,9", "a\"b", "1", "1", "\"9,9\",\"a\"\"b\",\"1\",\"1\""},
  };
  for (const Case& c : cases) {
    const std::string text = BuildExportText(Rows({{c.id, c.op, c.mdata, c.re}}), "1", ',');
    const size_t start = text.find('\n') + 1;
    EXPECT_EQ(text.substr(start, text.find('\n', start) - start), c.line) << c.mdata;
  }
  EXPECT_EQ(BuildExportText(Rows({}), "=\"1\"", ',').substr(kCommaHeaderSize),
            ",,最终结果:,\"'=\"\"1\"\"\",没有查找到！,\n");
}

TEST(HtmlExportTest, TwoRowsWithoutScriptOrColouring) {
  const std::string text = BuildExportText(kTwoRows, "0.15", SeparatorForPath("x.html"));
  EXPECT_EQ(ToFileBytes(text), testsupport::kTwoStepsHtmlBytes);
}

TEST(HtmlExportTest, NoRowsEndsWithNotFoundAfterTheTotal) {
  const std::string text = BuildExportText(Rows({}), "0.00", 0);
  const std::string tail =
      "<td >每步操作结果"
      "</td></tr><tr><td></td><td style='color:red'>最终结果:</td><td style='color:red'>0.00"
      "</td></tr><tr><td></td><td style='color:red'>没有查</td><td style='color:red'>找到！"
      "</td></tr></table></body></html>";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(text.find("script"), std::string::npos);
}

TEST(ToFileBytesTest, EveryLineFeedBecomesCrLf) {
  EXPECT_EQ(ToFileBytes(""), "");
  EXPECT_EQ(ToFileBytes("\n\na\n"), "\r\n\r\na\r\n");
  EXPECT_EQ(ToFileBytes("序号\n"), "\xD0\xF2\xBA\xC5\r\n");
}

}  // namespace
}  // namespace zantor::search
