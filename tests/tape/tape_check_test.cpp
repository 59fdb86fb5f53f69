// zantor-tape --daxie AMOUNT and --db FILE --check ID: what they print and
// their exit statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/store/store_test_util.h"
#include "tests/support/tape_process.h"

namespace zantor::tape {
namespace {

using testsupport::TapeRun;
using zantor::testing::Peek;
using zantor::testing::TempDir;
using zantor::testing::WriteFile;

TapeRun Tape(const TempDir& dir, const std::vector<std::string>& args,
             const std::string& input = "") {
  return testsupport::RunTape(ZANTOR_TAPE_PATH, dir.path(), args, input);
}

TEST(TapeCapitals, PrintsTheCapitalsOrSaysWhyNot) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"--daxie", "1,234.56"}, 0, "壹仟贰佰叁拾肆元伍角陆分\n", ""},
      {{"--daxie", "-10"}, 0, "负壹拾元整\n", ""},
      {{"--daxie", "2.345"}, 0, "贰元叁角伍分\n", "zantor-tape: 2.345: 已四舍五入到分\n"},
      {{"--daxie", "10000000000000000"},
       1,
       "",
       "zantor-tape: 10000000000000000: 金额过大，无法写成大写\n"},
      {{"--daxie", "12元"}, 1, "", "zantor-tape: cannot read \"12元\" as an amount\n"},
      {{"--daxie"}, 2, "", ""},
      {{"--daxie", "1", "2"}, 2, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
    const TapeRun r = Tape(dir, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    if (c.status != 2) {
      EXPECT_EQ(r.err, c.err);
    }
  }
}

// Three runs: 1-2 from zero, 3-5 after a zeroing, 6 after another.
constexpr char kHistory[] = "100\n200\nzero\n+ 7\n* 300\n- 1\nzero\n+ 5\n";

TEST(TapeCheck, ComparesWithTheRunHoldingTheStep) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, kHistory).status, 0);
  struct Case {
    std::string id;
    std::string typed;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {"4", "7\n* 300\n- 1\n", 0, "复核无误：共 3 笔，合计 0.2\n"},
      {"3", "normal\n0.07\n*\n3\n-\n0.010\n", 0, "复核无误：共 3 笔，合计 0.2\n"},
      {"5", "7\n* 3\n- 1\n", 1, "2\t4\t记录 ×3.00\t输入 ×0.03\n复核完毕：共 3 笔，1 笔不符\n"},
      {"1", "100\n- 200\n", 1, "2\t2\t记录 ＋2.00\t输入 －2.00\n复核完毕：共 2 笔，1 笔不符\n"},
      {"2", "100\n", 1, "2\t2\t记录 ＋2.00\t输入 无\n复核完毕：共 2 笔，1 笔不符\n"},
      {"6", "5\n5\n", 1, "2\t-\t记录 无\t输入 ＋0.05\n复核完毕：共 1 笔，1 笔不符\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id + ": " + c.typed);
    const TapeRun r = Tape(dir, {"--db", db, "--check", c.id}, c.typed);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
  const TapeRun normal = Tape(dir, {"--normal", "--db", db, "--check", "6"}, "0.05\n");
  EXPECT_EQ(normal.out, "复核无误：共 1 笔，合计 0.05\n");
  EXPECT_EQ(Peek(db).Scalar("SELECT count(*) FROM MyData;"), "6") << "nothing recorded";
}

TEST(TapeCheck, RefusesWhatCannotBeChecked) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, kHistory).status, 0);
  WriteFile(dir / "garbage.db", std::string(2048, 'g'));
  const std::vector<std::vector<std::string>> cases = {
      {"--db", db, "--check", "7"},
      {"--db", db, "--check", "0"},
      {"--db", dir / "none.db", "--check", "1"},
      {"--db", dir / "garbage.db", "--check", "1"},
      {"--check", "1"},
      {"--db", db, "--check", "x"},
      {"--db", db, "--check", "1", "--keep"},
      {"--db", db, "--check", "1", "--corrections"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[1]);
    const TapeRun r = Tape(dir, args, "100\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "none.db"));
  const TapeRun refused = Tape(dir, {"--db", db, "--check", "1"}, "100\n5-\n200\n");
  EXPECT_EQ(refused.status, 1) << "a refused line is not an agreement";
  EXPECT_EQ(refused.out, "复核无误：共 2 笔，合计 3\n");
  EXPECT_EQ(refused.err, "zantor-tape: 负号位置不正确，请检查！\n");
}

// A run longer than the slices it is read in, checked from its middle.
TEST(TapeCheck, LongRunReadInSlices) {
  TempDir dir;
  const std::string db = dir / "h.db";
  std::string run;
  for (int i = 1; i <= 9000; ++i) run += (i % 7 == 0 ? "- " : "+ ") + std::to_string(i) + "\n";
  ASSERT_EQ(Tape(dir, {"--db", db}, "5\nzero\n" + run + "zero\n3\n").status, 0);
  const TapeRun r = Tape(dir, {"--db", db, "--check", "4600"}, run);
  EXPECT_EQ(r.status, 0) << r.out.substr(0, 300);
  EXPECT_EQ(r.out.substr(0, r.out.find("，")), "复核无误：共 9000 笔");
}

}  // namespace
}  // namespace zantor::tape
