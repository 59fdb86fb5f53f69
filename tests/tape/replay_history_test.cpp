// Histories made by zantor-tape --db (the window's own step and recording
// path), tape after tape on one file: both entry modes, zeroings, keep starts,
// starts without keep, and runs killed with SIGKILL. Every untouched run must
// replay to its stored totals byte for byte, and the runs found in the file
// must break exactly where the user reset the total.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/replay.h"
#include "tests/store/store_test_util.h"

namespace zantor::engine {
namespace {

using zantor::testing::Peek;
using zantor::testing::TempDir;

class Random {
 public:
  explicit Random(unsigned seed) : gen_(seed) {}
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen_); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::string Digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + Below(10)));
    return s;
  }

 private:
  std::mt19937 gen_;
};

// An entry the step accepts: at most 40 characters once its leading zeros
// are gone, now and then exactly 40 (41 once fast mode puts its point in).
std::string RandomEntry(Random& rnd) {
  if (rnd.Chance(5)) {
    const char* zeros[] = {"0", "-0", "000", "0.00", "-0.0"};
    return zeros[rnd.Below(5)];
  }
  const bool minus = rnd.Chance(25);
  std::string body;
  if (rnd.Chance(6)) {
    body = std::to_string(1 + rnd.Below(9)) + rnd.Digits(39 - (minus ? 1 : 0));
  } else {
    body = std::to_string(1 + rnd.Below(9)) + rnd.Digits(rnd.Below(7));
    if (rnd.Chance(35)) body += "." + rnd.Digits(1 + rnd.Below(4));
  }
  std::string e = minus ? "-" : "";
  if (rnd.Chance(10)) e += std::string(static_cast<size_t>(1 + rnd.Below(3)), '0');
  return e + body;
}

struct Segment {
  std::vector<std::string> lines;
  bool keep = false;  // starts with --keep
  bool killed = false;
  long rows = 0;                  // entry lines (each makes one row)
  std::vector<long> zeroesAfter;  // rows of this segment before each "zero"
};

Segment RandomSegment(Random& rnd, bool first) {
  Segment s;
  s.keep = !first && rnd.Chance(70);
  s.killed = rnd.Chance(35);
  s.lines.push_back(rnd.Chance(50) ? "fast" : "normal");
  const int items = 3 + rnd.Below(30);
  for (int i = 0; i < items; ++i) {
    if (rnd.Chance(6)) {
      s.lines.push_back(rnd.Chance(50) ? "fast" : "normal");
    } else if (i > 0 && rnd.Chance(5)) {
      s.lines.push_back("zero");
      s.zeroesAfter.push_back(s.rows);
    }
    const char* ops[] = {"+ ", "- ", "* ", ""};
    const int op = rnd.Chance(15) ? 2 : rnd.Below(4) == 3 ? 3 : rnd.Below(2);
    s.lines.push_back(ops[op] + RandomEntry(rnd));
    ++s.rows;
  }
  return s;
}

pid_t Spawn(const std::string& db, bool keep, int in, int out) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(in, 0);
  ::dup2(out >= 0 ? out : null, 1);
  ::dup2(null, 2);
  std::vector<std::string> args = {ZANTOR_TAPE_PATH, "--db", db, "--commit-every", "1"};
  if (keep) args.emplace_back("--keep");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

long RowCount(const std::string& db) {
  const std::string n = Peek(db).Scalar("SELECT count(*) FROM MyData;");
  return n == "<none>" ? -1 : std::stol(n);
}

// Runs one tape on `db`. A killed one is fed through a pipe that stays open,
// so it never reaches its clean end, and killed once it has printed its last
// row: its standard output is a terminal, where each row is printed as soon
// as it is recorded (and committed, as the window commits each step).
void RunSegment(const std::string& db, const Segment& s, long rowsBefore) {
  std::string input;
  for (const auto& l : s.lines) input += l + "\n";
  int pipe[2];
  ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
  int master = -1;
  int slave = -1;
  if (s.killed) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
  }
  const pid_t pid = Spawn(db, s.keep, pipe[0], slave);
  ::close(pipe[0]);
  if (slave >= 0) ::close(slave);
  ASSERT_EQ(::write(pipe[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  if (!s.killed) ::close(pipe[1]);
  if (s.killed) {
    long printed = 0;
    char buffer[4096];
    while (printed < s.rows) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 30000) <= 0) break;
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t i = 0; i < n; ++i) printed += buffer[i] == '\n' ? 1 : 0;
    }
    EXPECT_EQ(printed, s.rows);
    ::kill(pid, SIGKILL);
    ::close(pipe[1]);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (master >= 0) ::close(master);
  if (s.killed) {
    EXPECT_TRUE(WIFSIGNALED(status)) << "the tape ended before the kill";
  } else {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  ASSERT_EQ(RowCount(db), rowsBefore + s.rows);
}

std::vector<HistoryRow> FileRows(const std::string& db) {
  std::vector<HistoryRow> rows;
  for (const auto& r : Peek(db).Rows("SELECT oP,fdata,mdata,re FROM MyData ORDER BY ID;")) {
    rows.push_back(HistoryRow{r[0][0], r[1], r[2], r[3]});
  }
  return rows;
}

TEST(ReplayHistory, UntouchedRunsReplayByteForByte) {
  for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Random rnd(seed);
    TempDir dir;
    const std::string db = dir / "QorvelDb.db";
    std::set<long> breaks = {0};  // first rows of the user's runs
    long rows = 0;
    int kills = 0;
    int keeps = 0;
    const int segments = 6 + rnd.Below(5);
    for (int i = 0; i < segments; ++i) {
      const Segment s = RandomSegment(rnd, i == 0);
      if (!s.keep) breaks.insert(rows);
      for (long z : s.zeroesAfter) breaks.insert(rows + z);
      RunSegment(db, s, rows);
      rows += s.rows;
      kills += s.killed ? 1 : 0;
      keeps += s.keep ? 1 : 0;
    }
    breaks.erase(rows);  // a zeroing after the last row starts no run
    const std::vector<HistoryRow> stored = FileRows(db);
    ASSERT_EQ(static_cast<long>(stored.size()), rows);

    // Each row from the total before it, as a keep start would rebuild it.
    for (size_t i = 1; i < stored.size(); ++i) {
      if (breaks.count(static_cast<long>(i)) != 0) continue;
      CalcState before = StateAfterTotal(stored[i - 1].re);
      const StepResult r = ReplayStep(before, stored[i].oP, stored[i].mdata);
      ASSERT_EQ(r.status, StepResult::Status::kDone) << "row " << i;
      EXPECT_EQ(r.row.re, stored[i].re) << "row " << i;
      EXPECT_EQ(r.row.mdata, stored[i].mdata) << "row " << i;
    }

    // The runs found: from zero, breaking exactly at the resets, except
    // where the first row after a reset also follows from the total before
    // it (nothing in the rows tells those apart).
    std::set<long> found;
    for (const engine::Run& run : FindRuns(stored)) {
      EXPECT_TRUE(run.fromZero) << "run at row " << run.first;
      found.insert(static_cast<long>(run.first));
      // Carried from zero through the run: every total again.
      CalcState s;
      for (size_t i = run.first; i < run.end; ++i) {
        const StepResult r = ReplayStep(s, stored[i].oP, stored[i].mdata);
        ASSERT_EQ(r.row.re, stored[i].re) << "row " << i;
      }
    }
    for (long b : breaks) {
      if (found.count(b) != 0) continue;
      CalcState before = StateAfterTotal(stored[static_cast<size_t>(b) - 1].re);
      const size_t i = static_cast<size_t>(b);
      EXPECT_EQ(ReplayStep(before, stored[i].oP, stored[i].mdata).row.re, stored[i].re)
          << "no run starts at the reset before row " << b;
    }
    for (long f : found) EXPECT_EQ(breaks.count(f), 1u) << "a run starts at row " << f;
    std::printf("seed %u: %ld rows, %zu resets, %zu runs, %d keep starts, %d kills\n", seed, rows,
                breaks.size(), found.size(), keeps, kills);
  }
}

}  // namespace
}  // namespace zantor::engine
