// Another program meddles with the history file while the window runs: it
// writes garbage over it, puts another file in its place, cuts it to half its
// length, or holds its write lock.
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>

#include "app/messages.h"
#include "app_test_support.h"
#include "fault_support.h"
#include "platform/desktop.h"
#include "store/history_store.h"

namespace zantor::faults {
namespace {

using apptest::CalcDialogTest;
using apptest::CCalcDlg;
using apptest::PressEnter;
using apptest::TypeText;

class HistoryFileTest : public CalcDialogTest {
 protected:
  void SetUp() override {
    CalcDialogTest::SetUp();
    db_ = DbPath().toStdString();
  }

  // A history of 300 steps from an earlier run, closed normally, so its pages
  // are in the file itself and not in the -wal beside it. Saved total 12.39.
  void MakeOldHistory() {
    store::HistoryStore s(db_);
    ASSERT_EQ(s.OpenHistoryDatabase(), store::Notice::kNone);
    for (int i = 1; i <= 300; ++i) {
      engine::HistoryRow row;
      row.oP = '+';
      row.fdata = row.mdata = row.re = std::to_string(i);
      s.AppendStep(row);
    }
    ASSERT_EQ(s.SaveLastTotal(2, "12.39"), store::Notice::kNone);
    s.CloseHistoryDatabase();
    ASSERT_EQ(FileSize(db_ + "-wal"), -1);
  }

  std::unique_ptr<CCalcDlg> StartKeep() {
    auto d = Start(res::IDOK);
    d->SetSearchRunner([](QWidget*, store::HistoryStore&, const QString&) { return false; });
    return d;
  }
  static std::string Garbage(size_t n) {
    std::string g;
    for (size_t i = 0; i < n; ++i) g.push_back(static_cast<char>((i * 37 + 11) % 256));
    return g;
  }

  std::string db_;
};

// Garbage over the file, written in place or put in its place by a rename:
// the steps still show; the next save tells the user that the history is
// damaged and no longer recorded; the other program's file is left exactly as
// it wrote it, with nothing of ours beside it to be laid over it later.
TEST_F(HistoryFileTest, GarbageOverTheFileBetweenSteps) {
  for (const bool renamed : {false, true}) {
    SCOPED_TRACE(renamed ? "a new file renamed into place" : "written over in place");
    boxes_.clear();
    ::unlink(db_.c_str());
    MakeOldHistory();
    auto d = StartKeep();
    ASSERT_EQ(Result(*d), QStringLiteral("12.39"));
    Step(*d, QStringLiteral("1"));
    EXPECT_EQ(Result(*d), QStringLiteral("12.4"));

    const std::string garbage = Garbage(static_cast<size_t>(FileSize(db_)));
    if (renamed) {
      WriteBytes(db_ + ".new", garbage);
      ASSERT_EQ(::rename((db_ + ".new").c_str(), db_.c_str()), 0);
    } else {
      WriteBytes(db_, garbage);
    }
    Step(*d, QStringLiteral("5"));
    EXPECT_EQ(Result(*d), QStringLiteral("12.45"));
    EXPECT_TRUE(boxes_.empty());
    d->OnFind();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, app::kDamagedHistory);
    EXPECT_EQ(boxes_[0].flags, platform::MB_OK | platform::MB_ICONWARNING);
    Step(*d, QStringLiteral("5"));
    EXPECT_EQ(Result(*d), QStringLiteral("12.5")) << "calculation goes on";
    d->close();
    EXPECT_EQ(boxes_.size(), 1u) << "told once";
    EXPECT_EQ(ReadBytes(db_), garbage) << "the other program's file is untouched";
    EXPECT_EQ(FileSize(db_ + "-wal"), -1);
    EXPECT_EQ(FileSize(db_ + "-shm"), -1);

    // The next start finds it damaged too, and says so; clearing starts afresh.
    boxes_.clear();
    auto again = StartKeep();
    EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kDamagedHistory});
    EXPECT_EQ(Result(*again), QStringLiteral("0.00"));
    again->close();
    EXPECT_EQ(ReadBytes(db_), garbage);
    auto fresh = Start(res::IDCANCEL);
    Step(*fresh, QStringLiteral("7"));
    fresh->close();
    EXPECT_EQ(IntegrityCheck(db_), "ok");
    EXPECT_EQ(Query(db_, "SELECT mdata FROM MyData;"),
              (std::vector<std::vector<std::string>>{{"0.07"}}));
  }
}

// A loss of recording is told each time it happens: after a damaged file was
// reported and 清除数据 opened a sound one, that one being replaced later is
// told again.
TEST_F(HistoryFileTest, ASecondLossInOneRunIsToldToo) {
  WriteBytes(db_, Garbage(4096));
  auto d = StartKeep();
  auto damagedBoxes = [this] {
    const std::vector<QString> texts = BoxTexts();
    return std::count(texts.begin(), texts.end(), app::kDamagedHistory);
  };
  ASSERT_EQ(damagedBoxes(), 1);
  yesNo_ = res::IDYES;
  d->OnClearAll();
  ASSERT_TRUE(d->historyStore()->isOpen());
  Step(*d, QStringLiteral("1"));
  EXPECT_EQ(Query(db_, "SELECT mdata FROM MyData;"),
            (std::vector<std::vector<std::string>>{{"0.01"}}));

  WriteBytes(db_ + ".new", Garbage(static_cast<size_t>(FileSize(db_))));
  ASSERT_EQ(::rename((db_ + ".new").c_str(), db_.c_str()), 0);
  Step(*d, QStringLiteral("2"));
  d->OnFind();
  EXPECT_EQ(damagedBoxes(), 2);
  d->close();
  EXPECT_EQ(damagedBoxes(), 2) << "told once for this loss";
}

// Cut to half its length: the steps still show, the next save says the
// history is damaged, and no step after that is written into it.
TEST_F(HistoryFileTest, FileCutToHalfBetweenSteps) {
  MakeOldHistory();
  auto d = StartKeep();
  Step(*d, QStringLiteral("1"));
  const long long before = FileSize(db_);
  ASSERT_EQ(::truncate(db_.c_str(), before / 2), 0);
  Step(*d, QStringLiteral("5"));
  EXPECT_EQ(Result(*d), QStringLiteral("12.45"));
  EXPECT_TRUE(boxes_.empty());
  d->OnFind();
  EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kDamagedHistory});
  Step(*d, QStringLiteral("5"));
  EXPECT_EQ(Result(*d), QStringLiteral("12.5"));
  EXPECT_FALSE(d->historyStore()->isOpen()) << "nothing more is written into it";
  d->close();
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(FileSize(db_ + "-wal"), -1);
  // What is left is damaged beyond what the program can mend; the user was
  // told, and choosing to clear at the next start gives a sound history.
  EXPECT_NE(IntegrityCheck(db_), "ok");
  auto fresh = Start(res::IDCANCEL);
  Step(*fresh, QStringLiteral("7"));
  fresh->close();
  EXPECT_EQ(IntegrityCheck(db_), "ok");
}

// Another program holds the write lock for a moment (50 ms, far inside the
// store's wait even on a loaded machine): the step waits for it and is
// recorded; nothing is reported.
TEST_F(HistoryFileTest, ShortForeignLockLosesNothing) {
  if (std::string(ZANTOR_SQLITE3_SHELL).empty()) GTEST_SKIP() << "no sqlite3 shell";
  auto d = Start(res::IDCANCEL);
  d->SetSearchRunner([](QWidget*, store::HistoryStore&, const QString&) { return false; });
  Step(*d, QStringLiteral("1234"));
  ForeignLock lock;
  ASSERT_TRUE(lock.Take(db_));
  // Timed from before the release is scheduled: a step that returns before
  // 50 ms did not wait for the lock.
  QElapsedTimer timer;
  timer.start();
  lock.ReleaseAfter(50);
  Step(*d, QStringLiteral("5"));
  const qint64 waited = timer.elapsed();
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  EXPECT_GE(waited, 50) << "the step waited for the lock";
  std::fprintf(stderr, "step under a 50 ms lock took %lld ms\n", static_cast<long long>(waited));
  d->OnFind();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(Query(db_, "SELECT mdata,re FROM MyData ORDER BY ID;"),
            (std::vector<std::vector<std::string>>{{"12.34", "12.34"}, {"0.05", "12.39"}}));
  d->close();
  EXPECT_EQ(IntegrityCheck(db_), "ok");
}

// A lock held far longer than the store waits: the step shows, its row is
// lost, and the next save says so; the steps after the lock are recorded and
// the file stays sound.
TEST_F(HistoryFileTest, LongForeignLockIsToldAtTheNextSave) {
  if (std::string(ZANTOR_SQLITE3_SHELL).empty()) GTEST_SKIP() << "no sqlite3 shell";
  auto d = Start(res::IDCANCEL);
  d->SetSearchRunner([](QWidget*, store::HistoryStore&, const QString&) { return false; });
  Step(*d, QStringLiteral("1234"));
  ForeignLock lock;
  ASSERT_TRUE(lock.Take(db_));
  QElapsedTimer timer;
  timer.start();
  Step(*d, QStringLiteral("5"));
  const qint64 waited = timer.elapsed();
  std::fprintf(stderr, "step under a held lock took %lld ms\n", static_cast<long long>(waited));
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  EXPECT_LT(waited, 10000) << "the window must not hang on the lock";
  EXPECT_TRUE(boxes_.empty());
  lock.Release();

  Step(*d, QStringLiteral("6"));
  EXPECT_EQ(Result(*d), QStringLiteral("12.45"));
  d->OnFind();
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("保存数据不成功")});
  EXPECT_EQ(Query(db_, "SELECT mdata,re FROM MyData ORDER BY ID;"),
            (std::vector<std::vector<std::string>>{{"12.34", "12.34"}, {"0.06", "12.45"}}));
  d->close();
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(IntegrityCheck(db_), "ok");
  auto again = Start(res::IDOK);
  EXPECT_EQ(Result(*again), QStringLiteral("12.45"));
}

// Locked while the window starts with the keep choice and through the first
// step: the saved total is still read (readers are not blocked) and the
// window comes up at once; the step shows but is lost, and the next save says
// so; once the lock is gone the steps are recorded again.
TEST_F(HistoryFileTest, LockedAtStartUp) {
  if (std::string(ZANTOR_SQLITE3_SHELL).empty()) GTEST_SKIP() << "no sqlite3 shell";
  MakeOldHistory();
  ForeignLock lock;
  ASSERT_TRUE(lock.Take(db_));
  QElapsedTimer timer;
  timer.start();
  auto d = StartKeep();
  std::fprintf(stderr, "start under a held lock took %lld ms\n",
               static_cast<long long>(timer.elapsed()));
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  EXPECT_TRUE(boxes_.empty());
  Step(*d, QStringLiteral("1"));
  EXPECT_EQ(Result(*d), QStringLiteral("12.4"));
  lock.Release();

  Step(*d, QStringLiteral("2"));
  EXPECT_EQ(Result(*d), QStringLiteral("12.42"));
  d->OnFind();
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("保存数据不成功")});
  d->close();
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(IntegrityCheck(db_), "ok");
  EXPECT_EQ(Query(db_, "SELECT count(*),max(mdata) FROM MyData WHERE ID>300;"),
            (std::vector<std::vector<std::string>>{{"1", "0.02"}}));
  auto again = StartKeep();
  EXPECT_EQ(Result(*again), QStringLiteral("12.42"));
}

// Every way of clearing (Esc at the start, Yes to the size question,
// 全部清除) finds the file held by its own program: it is neither deleted nor
// moved from under it; a box says so, nothing is recorded, and the program
// calculates on.
TEST_F(HistoryFileTest, ClearingLeavesAFileAnotherProgramHolds) {
  if (std::string(ZANTOR_SQLITE3_SHELL).empty()) GTEST_SKIP() << "no sqlite3 shell";
  enum Way { kEsc, kSizeQuestion, kClearAll };
  for (const Way way : {kEsc, kSizeQuestion, kClearAll}) {
    SCOPED_TRACE(way);
    boxes_.clear();
    ::unlink(db_.c_str());
    {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(db_.c_str(), &db), SQLITE_OK);
      ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE ledger(a);INSERT INTO ledger VALUES(1);", nullptr,
                             nullptr, nullptr),
                SQLITE_OK);
      sqlite3_close(db);
    }
    if (way == kSizeQuestion) {
      ASSERT_EQ(::truncate(db_.c_str(), 41LL << 20), 0);
    }
    std::unique_ptr<CCalcDlg> d;
    if (way == kClearAll) d = StartKeep();
    const std::string before = ReadBytes(db_);
    ForeignLock lock;
    ASSERT_TRUE(lock.Take(db_));
    yesNo_ = res::IDYES;
    std::vector<QString> expected;
    switch (way) {
      case kEsc:
        d = Start(res::IDCANCEL);
        expected = {app::kHistoryBusy};
        break;
      case kSizeQuestion:
        d = StartKeep();
        expected = {app::kTooMuchData, app::kHistoryBusy};
        break;
      case kClearAll:
        d->OnClearAll();
        expected = {app::kDamagedHistory, app::kClearAllQuestion, app::kHistoryBusy};
        break;
    }
    EXPECT_EQ(BoxTexts(), expected);
    EXPECT_FALSE(d->historyStore()->isOpen());
    Step(*d, QStringLiteral("5"));
    EXPECT_EQ(Result(*d), QStringLiteral("0.05"));
    d->close();
    EXPECT_EQ(BoxTexts(), expected) << "told once";
    lock.Release();
    EXPECT_TRUE(ReadBytes(db_) == before);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(db_))
                    .dir()
                    .entryList({QStringLiteral("QorvelDb-*")})
                    .isEmpty())
        << "nothing moved aside";
  }
}

// Another program has the history to itself (as a correction did before it
// let readers in) while the window starts with the keep choice, a little
// longer than the start waits: the window says that nothing is recorded and
// keeps to it once the lock has gone; the history stays as it was.
TEST_F(HistoryFileTest, AKeepStartThatCannotReadTheTotalWritesNothing) {
  if (std::string(ZANTOR_SQLITE3_SHELL).empty()) GTEST_SKIP() << "no sqlite3 shell";
  MakeOldHistory();
  {
    ForeignLock lock;
    ASSERT_TRUE(lock.Take(db_, true));
    lock.ReleaseAfter(1500);
    auto d = StartKeep();
    EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kHistoryUnavailable});
    EXPECT_EQ(Result(*d), QString());
    EXPECT_FALSE(d->historyStore()->isOpen());
    Step(*d, QStringLiteral("5"));
    d->close();
    EXPECT_EQ(boxes_.size(), 1u);
  }  // the lock is gone
  EXPECT_EQ(Query(db_, "SELECT count(*) FROM MyData;"),
            (std::vector<std::vector<std::string>>{{"300"}}));
  EXPECT_EQ(Query(db_, "SELECT pos,resu FROM resul;"),
            (std::vector<std::vector<std::string>>{{"2", "12.39"}}));
}

}  // namespace
}  // namespace zantor::faults
