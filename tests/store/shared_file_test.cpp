// Another process using the history file at the same time as the keep start:
// a reader polling it (each close of the last connection checkpoints the log
// under an exclusive lock) or one holding it for a moment. The keep start
// waits for such a lock instead of failing with "database is locked". The
// other process is a forked child on its own SQLite connection, stopped by
// closing a pipe and bounded by a deadline of its own.
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/step.h"
#include "store/history_store.h"
#include "tests/store/store_test_util.h"

namespace zantor::store {
namespace {

using testing::Peek;
using testing::TempDir;

constexpr auto kChildDeadline = std::chrono::seconds(60);

// A second process on the file. The child reports on `ready` once it has
// done its first read, and stops when the parent closes `stop` (or at the
// deadline).
class OtherProcess {
 public:
  enum class Kind {
    kPollingReader,  // open, count the rows, close, over and over
    kHolder,         // takes the file for itself, keeps it `holdMs`, closes
    kOpen,           // opens, counts the rows, keeps it open until stopped
    kPendingWriter,  // another program's write into its table `ledger`,
                     // under BEGIN EXCLUSIVE, committed when stopped
  };

  OtherProcess(const std::string& path, Kind kind, int holdMs = 0) {
    int ready[2];
    int stop[2];
    if (::pipe(ready) != 0 || ::pipe(stop) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ < 0) std::abort();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(stop[1]);
      switch (kind) {
        case Kind::kPollingReader:
          ::_exit(Poll(path, ready[1], stop[0]));
        case Kind::kHolder:
          ::_exit(Hold(path, holdMs, ready[1]));
        case Kind::kOpen:
        case Kind::kPendingWriter:
          ::_exit(KeepOpen(path, kind == Kind::kPendingWriter, ready[1], stop[0]));
      }
    }
    ::close(ready[1]);
    ::close(stop[0]);
    stop_ = stop[1];
    char c = 0;
    ready_ = ::read(ready[0], &c, 1) == 1 && c == 'R';
    ::close(ready[0]);
  }
  ~OtherProcess() { Finish(); }
  OtherProcess(const OtherProcess&) = delete;
  OtherProcess& operator=(const OtherProcess&) = delete;

  bool ready() const { return ready_; }
  // Stops the child; its exit status (0: every read it made succeeded or was
  // only busy, 1: none of its reads succeeded, 2: an error).
  int Finish() {
    if (pid_ <= 0) return status_;
    ::close(stop_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 2;
    return status_;
  }

 private:
  static int CountRows(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM MyData;", -1, &s, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(s);
    sqlite3_finalize(s);
    return rc;
  }

  static int Poll(const std::string& path, int ready, int stop) {
    const auto deadline = std::chrono::steady_clock::now() + kChildDeadline;
    long reads = 0;
    bool told = false;
    while (std::chrono::steady_clock::now() < deadline) {
      sqlite3* db = nullptr;
      if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return 2;
      const int rc = CountRows(db);
      sqlite3_close(db);
      if (rc == SQLITE_ROW)
        ++reads;
      else if ((rc & 0xff) != SQLITE_BUSY)
        return 2;
      if (!told && reads > 0) told = ::write(ready, "R", 1) == 1;
      pollfd p{stop, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0) break;
    }
    return reads > 0 ? 0 : 1;
  }

  static int Hold(const std::string& path, int holdMs, int ready) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return 2;
    // In WAL mode this makes the first read take the file's exclusive lock,
    // as a reader closing it last does for its checkpoint.
    sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE;", nullptr, nullptr, nullptr);
    if (CountRows(db) != SQLITE_ROW) return 1;
    if (::write(ready, "R", 1) != 1) return 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    sqlite3_close(db);
    return 0;
  }

  static int KeepOpen(const std::string& path, bool write, int ready, int stop) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return 2;
    if (write ? sqlite3_exec(db, "BEGIN EXCLUSIVE;INSERT INTO ledger VALUES('pending');", nullptr,
                             nullptr, nullptr) != SQLITE_OK
              : CountRows(db) != SQLITE_ROW) {
      return 1;
    }
    if (::write(ready, "R", 1) != 1) return 2;
    pollfd p{stop, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(kChildDeadline.count() * 1000));
    const int rc = write ? sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) : SQLITE_OK;
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
  }

  pid_t pid_ = -1;
  int stop_ = -1;
  bool ready_ = false;
  int status_ = 2;
};

engine::HistoryRow Row(int n) {
  const std::string text = std::to_string(n) + ".00";
  return {'+', text, text, text};
}

// A history of `rows` steps whose saved total is "<rows>.00", closed.
void MakeHistory(const std::string& path, int rows) {
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  for (int i = 1; i <= rows; ++i) store.RecordStep(Row(i), 2);
  ASSERT_EQ(store.SaveLastTotal(2, std::to_string(rows) + ".00"), Notice::kNone);
  store.CloseHistoryDatabase();
}

// One keep start and one step, as the window or `zantor-tape --keep` does:
// the step's total is the restored one plus one.
void KeepStartAndStep(const std::string& path, int expectedTotal) {
  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  ASSERT_FALSE(saved.openFailed);
  ASSERT_EQ(saved.notice, Notice::kNone);
  ASSERT_TRUE(saved.found);
  ASSERT_EQ(saved.resu, std::to_string(expectedTotal) + ".00");
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  ASSERT_TRUE(store.isOpen());
  store.RecordStep(Row(expectedTotal + 1), 2);
  ASSERT_EQ(store.SaveLastTotal(2, std::to_string(expectedTotal + 1) + ".00"), Notice::kNone);
  store.CloseHistoryDatabase();
}

TEST(SharedFileTest, KeepStartWaitsForAProcessHoldingTheFileForAMoment) {
  TempDir dir;
  const std::string path = dir / kDbFileName;
  MakeHistory(path, 3);
  {
    OtherProcess holder(path, OtherProcess::Kind::kHolder, 300);
    ASSERT_TRUE(holder.ready());
    // Held: a plain connection without a wait is refused at once, so the
    // lock is really there when the keep start begins.
    {
      Peek refused(path);
      ASSERT_TRUE(refused.ok());
      EXPECT_EQ(refused.CountIfReadable("MyData"), -1);
    }
    KeepStartAndStep(path, 3);
    EXPECT_EQ(holder.Finish(), 0);
  }
  Peek after(path);
  EXPECT_EQ(after.Count("MyData"), 4);
}

TEST(SharedFileTest, KeepStartsNeverFailWhileAReaderPollsTheFile) {
  TempDir dir;
  const std::string path = dir / kDbFileName;
  MakeHistory(path, 1);
  constexpr int kStarts = 60;
  {
    OtherProcess reader(path, OtherProcess::Kind::kPollingReader);
    ASSERT_TRUE(reader.ready());
    for (int i = 1; i <= kStarts; ++i) {
      SCOPED_TRACE("keep start " + std::to_string(i));
      KeepStartAndStep(path, i);
      if (::testing::Test::HasFatalFailure()) break;
    }
    EXPECT_EQ(reader.Finish(), 0);
  }
  Peek after(path);
  EXPECT_EQ(after.Count("MyData"), 1 + kStarts);
}

// Clearing (Esc or 清除上次数据 at the start, 全部清除, Yes to the size
// question) while another program holds the file: another program's
// database with a write pending in its rollback journal, and a history of
// ours another Zantor has open. Neither is deleted nor moved from under its
// owner: both stay byte for byte, the store says so, and records nothing.
TEST(SharedFileTest, ClearingLeavesAFileAnotherProgramHolds) {
  for (const bool foreign : {true, false}) {
    SCOPED_TRACE(foreign ? "another program's file" : "a history of ours");
    TempDir dir;
    const std::string path = dir / kDbFileName;
    if (foreign) {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
      ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE ledger(a);INSERT INTO ledger VALUES('kept');",
                             nullptr, nullptr, nullptr),
                SQLITE_OK);
      sqlite3_close(db);
    } else {
      MakeHistory(path, 3);
    }
    {
      OtherProcess owner(path,
                         foreign ? OtherProcess::Kind::kPendingWriter : OtherProcess::Kind::kOpen);
      ASSERT_TRUE(owner.ready());
      const std::string before = testing::ReadFile(path);
      const std::string journal = testing::ReadFile(path + "-journal");
      ASSERT_EQ(testing::Exists(path + "-journal"), foreign);

      HistoryStore store(path);
      EXPECT_EQ(store.DeleteHistoryFile(), "");
      EXPECT_TRUE(store.clearFoundBusy());
      EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kHistoryUnavailable);
      EXPECT_FALSE(store.isOpen());
      store.RecordStep(Row(1), 2);
      EXPECT_EQ(store.SaveLastTotal(2, "1.00"), Notice::kNone) << "told once";
      EXPECT_TRUE(testing::ReadFile(path) == before);
      EXPECT_TRUE(testing::ReadFile(path + "-journal") == journal);
      EXPECT_EQ(owner.Finish(), 0) << "its write still lands";
    }
    Peek after(path);
    if (foreign) {
      EXPECT_EQ(after.Rows("SELECT a FROM ledger;"),
                (std::vector<std::vector<std::string>>{{"kept"}, {"pending"}}));
    } else {
      EXPECT_EQ(after.Count("MyData"), 3);
    }
  }
}

// A keep start that cannot read the saved total (another program holds the
// file for itself a little longer than the start waits) does not open the
// history for writing once the lock has gone: it may have been a correction
// that changed the total this start never saw. The file stays as it was.
TEST(SharedFileTest, AKeepStartThatCannotReadTheTotalWritesNothing) {
  TempDir dir;
  const std::string path = dir / kDbFileName;
  MakeHistory(path, 3);
  const auto before = Peek(path).Rows("SELECT * FROM resul;");
  {
    OtherProcess holder(path, OtherProcess::Kind::kHolder, 1500);
    ASSERT_TRUE(holder.ready());
    HistoryStore store(path);
    const SavedTotal saved = store.RestoreLastTotal();
    EXPECT_TRUE(saved.openFailed);
    EXPECT_EQ(saved.notice, Notice::kHistoryUnavailable);
    EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone) << "told once";
    EXPECT_FALSE(store.isOpen());
    store.RecordStep(Row(1), 2);
    store.SaveLastTotal(2, "1.00");
    EXPECT_EQ(holder.Finish(), 0);
  }
  Peek after(path);
  EXPECT_EQ(after.Rows("SELECT * FROM resul;"), before);
  EXPECT_EQ(after.Count("MyData"), 3);
  EXPECT_EQ(after.Count("liveTotal"), 0);
}

}  // namespace
}  // namespace zantor::store
