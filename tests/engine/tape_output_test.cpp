// zantor-tape as a user runs it: a tape file on standard input, rows on
// standard output, unreadable lines on standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tape_process.h"

namespace {

struct TapeRun {
  std::vector<std::string> lines;
  std::string err;
  int status = -1;
};

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  EXPECT_TRUE(f.good()) << "cannot read " << path;
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// The tape on standard input from a file, output and errors into files.
TapeRun RunTape(const std::string& tape, const std::vector<std::string>& args = {}) {
  const std::string base = ::testing::TempDir() + "zantor_tape_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string in = base + ".in";
  const std::string out = base + ".out";
  const std::string err = base + ".err";
  std::ofstream(in, std::ios::binary) << tape;
  const int inFd = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
  const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  TapeRun run;
  if (inFd < 0 || outFd < 0 || errFd < 0) {
    ADD_FAILURE() << "cannot make the files for " << base;
    return run;
  }
  const pid_t pid = zantor::testsupport::SpawnTape(ZANTOR_TAPE_BINARY, args, inFd, outFd, errFd);
  ::close(inFd);
  ::close(outFd);
  ::close(errFd);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::istringstream lines(ReadAll(out));
  for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
  run.err = ReadAll(err);
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

TEST(ZantorTape, RowsMessagesAndUnreadableLines) {
  const std::string tape =
      "# a comment line\n"
      "1234\n"
      "+ 5\n"
      "*\n"
      "3\n"
      "normal\n"
      "- 1.5\n"
      "5-\n"
      "x 2\n"
      "zero\n"
      "+ 12345678901234567890123456789012345678901\n"
      "abc\n"
      "\xC3\x97 2\n"
      "   \n"
      "\t- 0.5  \n"
      "+ 1\r\n"
      "fast\n"
      "1.2.3\n"
      "7";
  const TapeRun run = RunTape(tape);
  const std::vector<std::string> expected = {
      "+\t12.34\t12.34\t12.34",
      "+\t0.05\t0.05\t12.39",
      "*\t0.03\t0.03\t0.3717",
      "-\t1.5\t1.5\t-1.1283",
      "!\t负号位置不正确，请检查！",
      "*\t2\t2\t-2.2566",
      "!\t数据超过40位无法计算，\\n  如有需要请联系作者。",
      "*\t2\t2\t0",
      "-\t0.5\t0.5\t-0.5",
      "+\t1\t1\t0.5",
      "!\t小数点太多，请检查！",
      "+\t0.07\t0.07\t0.57",
  };
  EXPECT_EQ(run.lines, expected);
  EXPECT_EQ(run.err, "zantor-tape: line 12: cannot read \"abc\"\n");
  EXPECT_EQ(run.status, 1);
}

TEST(ZantorTape, NormalModeFromTheCommandLine) {
  const TapeRun run = RunTape("1234\n* -0.5\n- 007\n", {"--normal"});
  const std::vector<std::string> expected = {
      "+\t1234\t1,234\t1,234",
      "*\t-0.5\t-0.5\t-617",
      "-\t7\t7\t-624",
  };
  EXPECT_EQ(run.lines, expected);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

// Totals as the window shows them, grouped, read as the paste reads them.
TEST(ZantorTape, GroupingCommasAreDropped) {
  const TapeRun run = RunTape("1,234.50\n- 1,000\n+ ,\n", {"--normal"});
  const std::vector<std::string> expected = {
      "+\t1234.50\t1,234.50\t1,234.5",
      "-\t1000\t1,000\t234.5",
  };
  EXPECT_EQ(run.lines, expected);
  EXPECT_EQ(run.err, "zantor-tape: line 3: cannot read \"+ ,\"\n");
  EXPECT_EQ(run.status, 1);
}

TEST(ZantorTape, UnknownOptionPrintsUsage) {
  const TapeRun run = RunTape("1\n", {"--fast"});
  EXPECT_TRUE(run.lines.empty());
  EXPECT_EQ(run.err.rfind("usage: zantor-tape", 0), 0u) << run.err;
  EXPECT_EQ(run.status, 2);
}

}  // namespace
