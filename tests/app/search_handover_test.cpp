// The hand-over from the main dialog to the search dialog, and what the user is
// told when the search module cannot be run.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/search_loader.h"
#include "app_test_support.h"
#include "commands_fixture.h"
#include "platform/desktop.h"

namespace zantor::apptest {
namespace {

class SearchHandOverTest : public CommandsTest {
 protected:
  struct Call {
    QWidget* owner = nullptr;
    store::HistoryStore* store = nullptr;
    QString finalResultText;
    Rows resulInFile;
    int rowsInFile = 0;
  };

  void SetUp() override {
    CommandsTest::SetUp();
    d_->SetSearchRunner([this](QWidget* owner, store::HistoryStore& store, const QString& text) {
      calls_.push_back(
          {owner, &store, text, ReadRows(DbPath(), "SELECT pos,resu FROM resul;"), MyDataRows()});
      return runnerAnswer_;
    });
  }

  std::vector<Call> calls_;
  bool runnerAnswer_ = true;
};

// Find, export and F all commit first: the search sees every step and the
// total just saved, and is handed the result text.
TEST_F(SearchHandOverTest, EveryWayInCommitsFirst) {
  Step(QStringLiteral("1234"));
  Step(QStringLiteral("5"));
  Hotkey(entry_, Qt::Key_F);
  EXPECT_EQ(entry_->text(), QString()) << "F types nothing";
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].owner, d_.get());
  EXPECT_EQ(calls_[0].store, d_->historyStore());
  EXPECT_EQ(calls_[0].finalResultText, QStringLiteral("12.39"));
  EXPECT_EQ(calls_[0].resulInFile, (Rows{{"2", "12.39"}}));
  EXPECT_EQ(calls_[0].rowsInFile, 2);

  d_->historyStore()->BeginTransaction();  // what the search dialog does on closing
  Step(QStringLiteral("1"));
  Click(res::kFindButton);
  ASSERT_EQ(calls_.size(), 2u);
  EXPECT_EQ(calls_[1].finalResultText, QStringLiteral("12.4"));
  EXPECT_EQ(calls_[1].resulInFile, (Rows{{"2", "12.39"}, {"1", "12.4"}}));
  EXPECT_EQ(calls_[1].rowsInFile, 3);

  d_->historyStore()->BeginTransaction();
  Click(res::kExportButton);
  ASSERT_EQ(calls_.size(), 3u);
  EXPECT_EQ(calls_[2].resulInFile.size(), 3u);
  ExpectRefocused();
  EXPECT_TRUE(boxes_.empty());
}

// A correction of the last run made in the search (through the window's own
// connection) is the window's total when the search closes, already saved in
// the file, and the next step goes on from it and is recorded.
TEST_F(SearchHandOverTest, CorrectedLastRunGivesTheWindowItsTotal) {
  Step(QStringLiteral("1234"));
  Step(QStringLiteral("5"));
  store::CorrectionOutcome outcome;
  d_->SetSearchRunner([&outcome](QWidget*, store::HistoryStore& store, const QString&) {
    outcome = store.Correct({1, 0, "20"});
    store.BeginTransaction();  // what the search dialog does on closing
    return true;
  });
  Click(res::kFindButton);
  ASSERT_EQ(outcome.status, store::CorrectionStatus::kDone);
  EXPECT_TRUE(outcome.totalChanged);
  EXPECT_EQ(Result(*d_), QString::fromStdString(outcome.total));
  EXPECT_EQ(Result(*d_), QStringLiteral("20.05"));
  EXPECT_EQ(ReadRows(DbPath(), "SELECT re FROM MyData ORDER BY ID;"), (Rows{{"20"}, {"20.05"}}));
  EXPECT_EQ(ReadRows(DbPath(), "SELECT resu FROM resul ORDER BY rowid DESC LIMIT 1;"),
            (Rows{{"20.05"}}));

  Step(QStringLiteral("100"));
  EXPECT_EQ(Result(*d_), QStringLiteral("21.05"));
  EXPECT_EQ(MyDataRows(), 3);
  EXPECT_EQ(ReadRows(DbPath(), "SELECT re FROM MyData WHERE ID=3;"), (Rows{{"21.05"}}));

  // After a zeroing, a correction before it leaves the window's total alone.
  yesNo_ = res::IDYES;
  d_->OnZeroResult();
  Step(QStringLiteral("200"));
  d_->SetSearchRunner([&outcome](QWidget*, store::HistoryStore& store, const QString&) {
    outcome = store.Correct({2, '*', "1"});
    store.BeginTransaction();
    return true;
  });
  Click(res::kFindButton);
  ASSERT_EQ(outcome.status, store::CorrectionStatus::kDone);
  EXPECT_FALSE(outcome.totalChanged);
  EXPECT_EQ(Result(*d_), QStringLiteral("2"));
  EXPECT_EQ(ReadRows(DbPath(), "SELECT re FROM MyData ORDER BY ID;"),
            (Rows{{"20"}, {"20"}, {"21"}, {"2"}}));
  Step(QStringLiteral("100"));
  EXPECT_EQ(Result(*d_), QStringLiteral("3"));
}

// A search that could not be opened leaves the history recording as before.
TEST_F(SearchHandOverTest, FailedSearchGoesOnRecording) {
  runnerAnswer_ = false;
  Step(QStringLiteral("5"));
  Click(res::kFindButton);
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_TRUE(d_->historyStore()->inTransaction());
  Step(QStringLiteral("5"));
  EXPECT_EQ(MyDataRows(), 2);
  d_->close();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(ReadRows(DbPath(), "SELECT resu FROM resul;"), (Rows{{"0.05"}, {"0.1"}}));
}

// A search module that cannot be run (missing, missing a library it needs,
// not a library, without its entry point) is told with the reason, from 查 找,
// 导 出 and F alike; the steps go on being recorded.
TEST_F(CommandsTest, ASearchThatCannotOpenIsToldWhy) {
  const QString modules = QStringLiteral(ZANTOR_TEST_MODULES);
  const QString notALibrary = dir_.filePath(QStringLiteral("garbage/zantor-search"));
  ASSERT_TRUE(QDir().mkpath(QFileInfo(notALibrary).path()));
  {
    QFile f(notALibrary + QStringLiteral(".so"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a library\n");
  }
  struct Case {
    QStringList candidates;  // empty: the program's own places
    QString why;             // empty: only its start is known
  };
  const Case cases[] = {
      {{}, app::kSearchModuleMissing},
      {{modules + QStringLiteral("/needs_absent/zantor-search")},
       app::kSearchLibraryMissing.arg(QStringLiteral("libzantor_test_absent.so"))},
      {{modules + QStringLiteral("/no_entry/zantor-search")}, app::kSearchModuleMismatch},
      {{dir_.filePath(QStringLiteral("none/zantor-search")), notALibrary}, {}},
  };
  int steps = 0;
  for (const Case& c : cases) {
    for (const int way : {res::kFindButton, res::kExportButton, int{Qt::Key_F}}) {
      SCOPED_TRACE(c.candidates.join(QLatin1Char(' ')).toStdString() + " " + std::to_string(way));
      if (!c.candidates.isEmpty()) {
        d_->SetSearchRunner([c](QWidget* owner, store::HistoryStore& s, const QString& text) {
          return app::RunSearchModuleFrom(c.candidates, owner, s, text);
        });
      }
      boxes_.clear();
      Step(QStringLiteral("5"));
      ++steps;
      if (way == Qt::Key_F) {
        Hotkey(entry_, Qt::Key_F);
      } else {
        Click(way);
      }
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0].flags, platform::MB_OK | platform::MB_ICONWARNING);
      if (!c.why.isEmpty()) {
        EXPECT_EQ(boxes_[0].text, app::kSearchUnavailable.arg(c.why));
      } else {
        // The loader's own words follow, naming the file.
        EXPECT_TRUE(boxes_[0].text.startsWith(
            app::kSearchUnavailable.arg(app::kSearchModuleUnloadable.arg(QString()))))
            << boxes_[0].text.toStdString();
        EXPECT_TRUE(boxes_[0].text.contains(notALibrary)) << boxes_[0].text.toStdString();
      }
      EXPECT_TRUE(d_->historyStore()->inTransaction());
      ExpectRefocused();
    }
  }
  Step(QStringLiteral("5"));
  EXPECT_EQ(MyDataRows(), steps + 1) << "every step recorded";
}

}  // namespace
}  // namespace zantor::apptest
