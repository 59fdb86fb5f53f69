// zantor-tape --db FILE --keep --commit-every 1, fed steps through a pipe and
// killed with SIGKILL once it has printed a random number of lines, round
// after round on one file. The seed is fixed, so a failure repeats;
// ZANTOR_KILL_SEED picks another.
// Its standard output is a terminal, so every step is printed as soon as it
// is recorded. After each kill: every printed step's row is in the file, at
// most the one step in flight besides; the file passes SQLite's integrity
// check; and the next round, started with --keep, goes on from the last total
// that reached the file, so that all rounds together give exactly the rows of
// one uninterrupted run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fault_support.h"
#include "tests/support/tape_process.h"

namespace zantor::faults {
namespace {

using testsupport::Rows;

// One tape line per step: additions, subtractions and the odd
// multiplication by 1.00 (fast mode reads 100 as 1.00).
std::string Line(long i) {
  if (i % 11 == 5) return "* 100";
  return std::string(i % 3 == 2 ? "- " : "+ ") + std::to_string((i * 7919) % 100000);
}

Rows Printed(const std::string& out) { return testsupport::PrintedSteps(out, true); }

Rows FileRows(const std::string& db) { return testsupport::StoredSteps(db); }

// A kill while the tape makes its tables can leave a hot journal that only a
// connection allowed to write may roll back. The next start does that before
// it reads anything, so the checks below look at the file as it will find it.
void RollBackAsTheNextStartWould(const std::string& db) {
  sqlite3* c = nullptr;
  if (sqlite3_open_v2(db.c_str(), &c, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_exec(c, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
  }
  sqlite3_close(c);
}

struct Round {
  std::string out;  // what the tape printed before it died
  bool killed = false;
};

// Runs the tape on `db` with `args`, its input the lines from `first` on (the
// pipe stays open, so it never ends by itself), and kills it as soon as it
// has printed `lines` whole lines (0: at once, maybe before it opened the file).
Round RunAndKill(const std::vector<std::string>& args, long first, long lines) {
  Round r;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return r;
  }
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  ::tcgetattr(slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave, TCSANOW, &raw);
  int in[2];
  if (::pipe2(in, O_CLOEXEC) != 0) std::abort();
  const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);

  const pid_t pid = testsupport::SpawnTape(ZANTOR_TAPE_PATH, args, in[0], slave, devnull);
  ::close(in[0]);
  ::close(slave);
  ::close(devnull);
  // More steps than any round gets through: fed while the pipe takes them,
  // so that the tape is always busy when it is killed.
  std::string input;
  for (long i = first; i < first + 100000; ++i) input += Line(i) + "\n";
  if (::fcntl(in[1], F_SETFL, O_NONBLOCK) != 0) std::abort();
  size_t sent = 0;

  // A stuck tape fails the round instead of hanging the test.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char buffer[4096];
  long printed = 0;
  while (printed < lines) {
    if (sent < input.size()) {
      const ssize_t w = ::write(in[1], input.data() + sent, input.size() - sent);
      if (w > 0) sent += static_cast<size_t>(w);
    }
    if (std::chrono::steady_clock::now() > giveUp) {
      ADD_FAILURE() << "the tape printed " << printed << " of " << lines << " lines in 60 s";
      break;
    }
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 5) > 0) {
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;  // the tape is gone
      r.out.append(buffer, static_cast<size_t>(n));
      printed += std::count(buffer, buffer + n, '\n');
    }
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  // What it printed before it died.
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  for (;;) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    r.out.append(buffer, static_cast<size_t>(n));
  }
  ::close(master);
  ::close(in[1]);
  return r;
}

// The same lines through the tape without a file, uninterrupted.
Rows Uninterrupted(long count) {
  char path[] = "/tmp/zantor-kill-input-XXXXXX";
  const int fd = ::mkstemp(path);
  std::string input;
  for (long i = 0; i < count; ++i) input += Line(i) + "\n";
  if (::write(fd, input.data(), input.size()) != static_cast<ssize_t>(input.size())) std::abort();
  ::lseek(fd, 0, SEEK_SET);
  int out[2];
  if (::pipe(out) != 0) std::abort();
  const pid_t pid = testsupport::SpawnTape(ZANTOR_TAPE_PATH, {}, fd, out[1], STDERR_FILENO);
  ::close(out[1]);
  ::close(fd);
  ::unlink(path);
  std::string text;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(n));
  ::close(out[0]);
  ::waitpid(pid, nullptr, 0);
  return Printed(text);
}

TEST(KillTape, KilledAtRandomMomentsRoundAfterRound) {
  char dir[] = "/tmp/zantor-kill-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string db = std::string(dir) + "/QorvelDb.db";
  const char* seedText = std::getenv("ZANTOR_KILL_SEED");
  const unsigned seed =
      seedText != nullptr ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 15u;
  std::printf("seed %u (ZANTOR_KILL_SEED)\n", seed);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<long> linesBeforeKill(0, 60);

  constexpr int kRounds = 24;
  size_t inFile = 0;  // rows the file held before the round
  int roundsWithAStepInFlight = 0;
  for (int round = 0; round < kRounds; ++round) {
    const long lines = round == 0 ? 0 : linesBeforeKill(rng);  // the first dies at once
    SCOPED_TRACE("round " + std::to_string(round) + ", killed after " + std::to_string(lines) +
                 " lines, seed " + std::to_string(seed));
    const Round r =
        RunAndKill({"--db", db, "--keep", "--commit-every", "1"}, static_cast<long>(inFile), lines);
    ASSERT_TRUE(r.killed) << "the tape ended before the kill";
    const Rows printed = Printed(r.out);
    ASSERT_GE(printed.size(), static_cast<size_t>(lines));
    if (FileSize(db) >= 0) RollBackAsTheNextStartWould(db);
    // Killed before the tape made its tables (the file may exist, empty).
    if (FileSize(db) < 0 ||
        Query(db, "SELECT count(*) FROM sqlite_master WHERE name='MyData';") == Rows{{"0"}}) {
      EXPECT_TRUE(printed.empty());
      EXPECT_EQ(inFile, 0u);
      continue;
    }
    EXPECT_EQ(IntegrityCheck(db), "ok");
    const Rows stored = FileRows(db);
    ASSERT_GE(stored.size(), inFile + printed.size()) << "a printed step is missing";
    ASSERT_LE(stored.size(), inFile + printed.size() + 1) << "more than the step in flight";
    EXPECT_EQ(Rows(stored.begin() + static_cast<long>(inFile),
                   stored.begin() + static_cast<long>(inFile + printed.size())),
              printed);
    if (stored.size() > inFile + printed.size()) ++roundsWithAStepInFlight;
    // The total the next --keep start will use is the last one in the file.
    if (!stored.empty()) {
      EXPECT_EQ(Query(db, "SELECT resu FROM liveTotal;"), Rows{{stored.back()[3]}});
    }
    inFile = stored.size();
  }
  std::printf("%d rounds, %d killed with a step recorded but not yet printed; %zu steps in all\n",
              kRounds, roundsWithAStepInFlight, inFile);

  // Each round went on from the total the one before left: together they
  // are one uninterrupted run.
  EXPECT_EQ(FileRows(db), Uninterrupted(static_cast<long>(inFile)));
  for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((db + suffix).c_str());
  ::rmdir(dir);
}

}  // namespace
}  // namespace zantor::faults
