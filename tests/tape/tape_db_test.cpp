// zantor-tape --db FILE [--keep] [--commit-every N]: the window's recording
// on the command line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "store/history_store.h"
#include "tape/store_recorder.h"
#include "tape/tape.h"
#include "tests/store/store_test_util.h"
#include "tests/support/tape_process.h"

namespace zantor::tape {
namespace {

using testsupport::Rows;
using zantor::testing::Peek;
using zantor::testing::ReadFile;
using zantor::testing::TempDir;
using zantor::testing::WriteFile;

using testsupport::TapeRun;

pid_t Spawn(const std::vector<std::string>& args, int in, int out, int err) {
  return testsupport::SpawnTape(ZANTOR_TAPE_PATH, args, in, out, err);
}

TapeRun Tape(const TempDir& dir, const std::vector<std::string>& args, const std::string& input) {
  return testsupport::RunTape(ZANTOR_TAPE_PATH, dir.path(), args, input);
}

// The rows printed on standard output (steps only, not "!" messages).
Rows PrintedRows(const std::string& out) { return testsupport::PrintedSteps(out); }

Rows StoredRows(const std::string& path) { return testsupport::StoredSteps(path); }

TEST(TapeDb, RecordsEachStepAsTheWindowDoes) {
  TempDir dir;
  const std::string db = dir / "h.db";
  const std::string input = "1234\n5\n- 50\nx 2\nbad line\nzero\n+ 7\n1.5.\n";
  const TapeRun plain = Tape(dir, {}, input);
  const TapeRun r = Tape(dir, {"--db", db}, input);
  EXPECT_EQ(r.status, 1) << "a line could not be read, as without --db";
  EXPECT_EQ(r.out, plain.out) << "standard output is unchanged by --db";
  EXPECT_EQ(r.err, plain.err);
  const Rows printed = PrintedRows(r.out);
  ASSERT_EQ(printed.size(), 5u);
  EXPECT_EQ(StoredRows(db), printed);
  Peek peek(db);
  EXPECT_EQ(peek.Rows("SELECT pos,resu FROM resul;"), (Rows{{"2", "0.07"}})) << "saved as at close";
  EXPECT_EQ(peek.Count("liveTotal"), 0);
  EXPECT_EQ(peek.Scalar("SELECT count(*) FROM MyData WHERE typeof(fdata)='real';"), "5");
}

TEST(TapeDb, KeepStartsFromTheSavedTotal) {
  TempDir dir;
  const std::string db = dir / "h.db";
  TapeRun r = Tape(dir, {"--db", db}, "1234\n");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Tape(dir, {"--db", db, "--keep"}, "5\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "+\t0.05\t0.05\t12.39\n");
  EXPECT_EQ(Peek(db).Rows("SELECT pos,resu FROM resul;"), (Rows{{"2", "12.39"}}))
      << "resul was recreated at the open, then saved at the end";
  // Normal mode on top of a scale-2 total, then keep again.
  r = Tape(dir, {"--db", db, "--keep", "--normal"}, "* 10\n");
  EXPECT_EQ(r.out, "*\t10\t10\t123.9\n");
  // Without --keep: a fresh total, the history appended.
  r = Tape(dir, {"--db", db}, "5\n");
  EXPECT_EQ(r.out, "+\t0.05\t0.05\t0.05\n");
  EXPECT_EQ(Peek(db).Count("MyData"), 4);
}

TEST(TapeDb, KeepAfterZeroAndAfterAPasteMessage) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, "5\nzero\n").status, 0);
  EXPECT_EQ(Peek(db).Rows("SELECT pos,resu FROM resul;"), (Rows{{"0", "0.00"}}));
  EXPECT_EQ(Tape(dir, {"--db", db, "--keep"}, "5\n").out, "+\t0.05\t0.05\t0.05\n");

  // A paste message saved by the window restores as +0 and is saved again as
  // it was when nothing is calculated.
  {
    store::HistoryStore store(db);
    store.OpenHistoryDatabase();
    store.SaveLastTotal(0, "粘贴的内容太长");
  }
  const TapeRun r = Tape(dir, {"--db", db, "--keep"}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Peek(db).Rows("SELECT pos,resu FROM resul;"), (Rows{{"0", "粘贴的内容太长"}}));
  EXPECT_EQ(Tape(dir, {"--db", db, "--keep"}, "5\n").out, "+\t0.05\t0.05\t0.05\n");
}

TEST(TapeDb, BatchedCommitsLoseNothingOnANormalEnd) {
  for (const char* every : {"1", "3", "10000"}) {
    SCOPED_TRACE(every);
    TempDir dir;
    const std::string db = dir / "h.db";
    std::string input;
    for (int i = 1; i <= 10; ++i) input += std::to_string(i * 111) + "\n";
    const TapeRun r = Tape(dir, {"--db", db, "--commit-every", every}, input);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(StoredRows(db), PrintedRows(r.out));
    EXPECT_EQ(Peek(db).Rows("SELECT pos,resu FROM resul;"), (Rows{{"2", "61.05"}}));
  }
}

TEST(TapeDb, UsageErrors) {
  TempDir dir;
  EXPECT_EQ(Tape(dir, {"--keep"}, "1\n").status, 2) << "--keep needs --db";
  EXPECT_EQ(Tape(dir, {"--db"}, "1\n").status, 2);
  EXPECT_EQ(Tape(dir, {"--db", dir / "h.db", "--commit-every", "0"}, "1\n").status, 2);
  EXPECT_EQ(Tape(dir, {"--db", dir / "h.db", "--commit-every", "x"}, "1\n").status, 2);
  EXPECT_EQ(Tape(dir, {"--bogus"}, "1\n").status, 2);
  EXPECT_EQ(Tape(dir, {"--normal"}, "7\n").out, "+\t7\t7\t7\n") << "the old options still work";
}

TEST(TapeDb, DamagedFileIsLeftUntouchedAndTheTapeStillCalculates) {
  TempDir dir;
  const std::string db = dir / "h.db";
  WriteFile(db, "this is not a database at all, but a letter to my bank manager\n");
  const std::string before = ReadFile(db);
  const TapeRun r = Tape(dir, {"--db", db, "--keep"}, "5\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "+\t0.05\t0.05\t0.05\n");
  EXPECT_NE(r.err.find("not a Zantor history file"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "told once: " << r.err;
  EXPECT_EQ(ReadFile(db), before);
  EXPECT_FALSE(zantor::testing::Exists(db + "-wal"));
}

TEST(TapeDb, UnavailableFileIsReported) {
  TempDir dir;
  WriteFile(dir / "plain", "x");
  const TapeRun r = Tape(dir, {"--db", dir / "plain/h.db"}, "5\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "+\t0.05\t0.05\t0.05\n");
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
}

// Kills zantor-tape with SIGKILL once `atLeast` rows are in the file; the
// rows must be a prefix of the tape's steps, and the keep path must restore the
// total of the last row in the file.
void KillMidTape(const char* every, long atLeast) {
  TempDir dir;
  const std::string db = dir / "h.db";
  std::string input;
  for (long i = 0; i < 400000; ++i) {
    input += (i % 5 == 4 ? "- " : "") + std::to_string((i * 7919) % 100000) + "\n";
  }
  const TapeRun plain = Tape(dir, {}, input);
  const Rows all = PrintedRows(plain.out);

  WriteFile(dir / "in.txt", input);
  const int in = ::open((dir / "in.txt").c_str(), O_RDONLY);
  const int null = ::open("/dev/null", O_WRONLY);
  const pid_t pid = Spawn({"--db", db, "--commit-every", every}, in, null, null);
  ::close(in);
  ::close(null);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    const long n = zantor::testing::Exists(db) ? Peek(db).CountIfReadable("MyData") : -1;
    if (n >= atLeast) break;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the tape did not get going";
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "finished before the kill; make the tape longer";

  const Rows stored = StoredRows(db);
  ASSERT_GE(static_cast<long>(stored.size()), atLeast);
  ASSERT_LT(stored.size(), all.size());
  EXPECT_EQ(stored, Rows(all.begin(), all.begin() + static_cast<long>(stored.size())));
  if (std::string(every) != "1") {
    EXPECT_EQ(stored.size() % std::stoul(every), 0u) << "whole batches only";
  }
  store::HistoryStore store(db);
  const store::SavedTotal saved = store.RestoreLastTotal();
  ASSERT_TRUE(saved.found);
  EXPECT_EQ(saved.resu, stored.back()[3]) << "the total of the last recorded step";
  engine::CalcState state;
  engine::RestoreAccumulator(state, saved.pos, saved.resu);
  const size_t point = saved.resu.find('.');
  EXPECT_EQ(saved.pos,
            point == std::string::npos ? 0 : static_cast<int>(saved.resu.size() - point - 1));
}

TEST(TapeDb, KilledDurableTapeKeepsEveryStepAndItsTotal) { KillMidTape("1", 2000); }

TEST(TapeDb, KilledBatchedTapeKeepsWholeBatchesAndTheirTotal) { KillMidTape("500", 5000); }

// The recorder in process, without the executable.
TEST(StoreRecorder, RunTapeIntoAStore) {
  TempDir dir;
  const std::string db = dir / "h.db";
  store::HistoryStore store(db);
  ASSERT_EQ(store.OpenHistoryDatabase(), store::Notice::kNone);
  StoreRecorder recorder(store, 2);
  std::FILE* in = std::fopen((dir / "in.txt").c_str(), "w+");
  std::fputs("100\n200\n300\nzero\n7\n", in);
  std::rewind(in);
  std::FILE* out = std::fopen("/dev/null", "w");
  engine::CalcState state;
  std::string resultText = "0.00";
  Options options;
  EXPECT_EQ(RunTape(in, out, stderr, options, state, resultText, &recorder), 0);
  std::fclose(in);
  std::fclose(out);
  EXPECT_EQ(recorder.finishNotice(), store::Notice::kNone);
  EXPECT_FALSE(store.isOpen()) << "Finish closes, as the window's close does";
  EXPECT_EQ(Peek(db).Count("MyData"), 4);
  EXPECT_EQ(Peek(db).Rows("SELECT pos,resu FROM resul;"), (Rows{{"2", "0.07"}}));
}

}  // namespace
}  // namespace zantor::tape
