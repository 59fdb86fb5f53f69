// zantor-tape --daxie AMOUNT and --db FILE --check ID: what they print and
// their exit statuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/store/store_test_util.h"
#include "tests/support/tape_process.h"

namespace zantor::tape {
namespace {

using testsupport::TapeRun;
using zantor::testing::TempDir;

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

}  // namespace
}  // namespace zantor::tape
