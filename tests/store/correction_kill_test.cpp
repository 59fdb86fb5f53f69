// A correction killed with SIGKILL leaves the history as it was before or as
// it is after, never a mix. A forked child corrects row 1 of a long run and
// acknowledges each recomputed row on a pipe; the parent kills it after a
// random number of rows, either while the child waits in the middle of its
// transaction or while it runs on freely (through its trail row and commit).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "store/correction.h"
#include "store/history_store.h"
#include "tests/store/store_test_util.h"

namespace zantor::store {
namespace {

using testing::Peek;
using testing::TempDir;
using Rows = std::vector<std::vector<std::string>>;

constexpr long kSteps = 3000;

void RecordRun(const std::string& path) {
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  engine::CalcState state;
  std::string total;
  for (long i = 0; i < kSteps; ++i) {
    state.pendingOp = i % 3 == 2 ? '-' : '+';
    const engine::StepResult r = engine::EvaluateStep(state, std::to_string((i * 7919) % 100000));
    store.AppendStep(r.row);
    total = r.row.re;
    if (i % 500 == 499) store.RecordTotal(state.accScale, r.row.re);
  }
  store.RecordTotal(state.accScale, total);
}

// Rows of the trail, or -1 while the file has no trail table.
long TrailRows(const std::string& path) {
  Peek peek(path);
  if (peek.Scalar("SELECT count(*) FROM sqlite_master WHERE name='corrections';") != "1") return -1;
  return std::stol(peek.Scalar("SELECT count(*) FROM corrections;"));
}

// Everything a correction may change.
struct Snapshot {
  Rows rows;
  std::string kept;
  long trail = 0;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const std::string& path) {
  Snapshot s;
  Peek peek(path);
  s.rows = peek.Rows("SELECT ID,oP,fdata,mdata,re FROM MyData ORDER BY ID;");
  s.kept = peek.Scalar("SELECT pos||' '||resu FROM liveTotal;");
  s.trail = TrailRows(path);
  return s;
}

void WriteByte(int fd, char c) {
  while (::write(fd, &c, 1) != 1) {
  }
}

// Kills the correcting child after `rows` acknowledged rows. With `hold`
// the child waits after each acknowledgement until it is let go, so the kill
// finds it exactly there; without, it runs on for `extraUs` more.
void CorrectAndKill(const std::string& path, long rows, bool hold, int extraUs) {
  int ack[2];
  int go[2];
  ASSERT_EQ(::pipe(ack), 0);
  ASSERT_EQ(::pipe(go), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(ack[0]);
    ::close(go[1]);
    CorrectStepInFile(path, {1, 0, "1000"}, {}, [&](long long) {
      WriteByte(ack[1], '.');
      char c;
      if (hold) (void)::read(go[0], &c, 1);
    });
    WriteByte(ack[1], 'E');
    ::_exit(0);
  }
  ::close(ack[1]);
  ::close(go[0]);
  for (long seen = 0; seen < rows;) {
    char c;
    if (::read(ack[0], &c, 1) != 1 || c == 'E') break;
    if (++seen < rows && hold) WriteByte(go[1], 'g');
  }
  if (!hold) ::usleep(static_cast<useconds_t>(extraUs));
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(ack[0]);
  ::close(go[1]);
}

TEST(CorrectionKill, EitherBeforeOrAfterNeverAMix) {
  TempDir dir;
  const std::string original = dir / "original.db";
  RecordRun(original);
  ASSERT_FALSE(testing::Exists(original + "-wal"));
  const Snapshot before = Take(original);
  ASSERT_EQ(static_cast<long>(before.rows.size()), kSteps);

  const std::string done = dir / "done.db";
  std::filesystem::copy_file(original, done);
  ASSERT_EQ(CorrectStepInFile(done, {1, 0, "1000"}).status, CorrectionStatus::kDone);
  const Snapshot after = Take(done);
  ASSERT_NE(after.rows.back(), before.rows.back());
  ASSERT_NE(after.kept, before.kept);
  ASSERT_EQ(after.trail, 1);

  const unsigned seed = std::random_device{}();
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  int sawBefore = 0;
  int sawAfter = 0;
  for (int round = 0; round < 24; ++round) {
    const bool hold = round % 2 == 0;
    // Running free, the child is killed near its end: in its last rows, its
    // trail row, its commit or after it.
    const long rows = std::uniform_int_distribution<long>(hold ? 0 : kSteps - 20, kSteps)(rng);
    const int extraUs = std::uniform_int_distribution<int>(0, 4000)(rng);
    SCOPED_TRACE("round " + std::to_string(round) + ", killed after " + std::to_string(rows) +
                 (hold ? " rows, held" : " rows, running " + std::to_string(extraUs) + " us") +
                 ", seed " + std::to_string(seed));
    const std::string path = dir / ("round" + std::to_string(round) + ".db");
    std::filesystem::copy_file(original, path);
    CorrectAndKill(path, rows, hold, extraUs);
    EXPECT_EQ(Peek(path).Scalar("PRAGMA integrity_check;"), "ok");
    const Snapshot now = Take(path);
    if (now == before) {
      ++sawBefore;
    } else {
      EXPECT_TRUE(now == after) << "a mix of before and after: " << now.trail
                                << " trail rows, total " << now.kept;
      ++sawAfter;
    }
    if (hold && rows > 0) {
      EXPECT_TRUE(now == before) << "killed inside the transaction";
    }
  }
  std::printf("%d rounds left the history as before, %d as after\n", sawBefore, sawAfter);
}

}  // namespace
}  // namespace zantor::store
