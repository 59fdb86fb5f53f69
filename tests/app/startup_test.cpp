// Start-up: keep, clear, the size question, unreadable files, the window.
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "app/messages.h"
#include "app_test_support.h"
#include "platform/desktop.h"
#include "platform/template_dialog.h"
#include "startup_fixture.h"

namespace zantor::apptest {
namespace {

constexpr qint64 kMiB = 1048576;

TEST_F(StartupTest, FirstRunKeepShowsZeroAndCreatesBothTables) {
  ASSERT_FALSE(QFile::exists(DbPath()));
  auto d = Start(res::IDOK);
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0].templateId, res::kStartModeTemplate);
  EXPECT_EQ(Result(*d), QStringLiteral("0.00"));
  EXPECT_TRUE(boxes_.empty()) << BoxTexts().front().toStdString();
  EXPECT_EQ(MyDataRows(), 0);
  EXPECT_EQ(CountRows(DbPath(), "resul"), 0);
}

TEST_F(StartupTest, KeepRestoresTheTotalAndTheNextStepContinuesFromIt) {
  MakeHistory();
  auto d = Start(res::IDOK);
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  EXPECT_TRUE(boxes_.empty());
  TypeText(Entry(*d), QStringLiteral("5"));
  PressEnter(Entry(*d));
  EXPECT_EQ(Result(*d), QStringLiteral("12.44"));
  EXPECT_EQ(MyDataRows(), 3);
}

// Files as an earlier run leaves them: the last resul row is the total, its
// pos the scale the next step continues with.
TEST_F(StartupTest, KeepRestoresEachKindOfSavedTotal) {
  struct Case {
    const char* resul;  // the rows of resul
    QString shown;
    QString afterFive;  // the total after a fast-mode 5, i.e. + 0.05
  };
  const Case cases[] = {
      {"(1,'1,234.5')", QStringLiteral("1,234.5"), QStringLiteral("1,234.55")},
      {"(2,'0.05')", QStringLiteral("0.05"), QStringLiteral("0.1")},
      {"(0,'-7')", QStringLiteral("-7"), QStringLiteral("-6.95")},
      {"(2,'-0.05')", QStringLiteral("-0.05"), QStringLiteral("0")},
      {"(0,'3'),(2,'12.39'),(1,'-1,000.5')", QStringLiteral("-1,000.5"),
       QStringLiteral("-1,000.45")},
      {"(2,'')", QString(), QStringLiteral("0.05")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resul);
    QFile::remove(DbPath());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().toStdString().c_str(), &db), SQLITE_OK);
    const std::string sql =
        "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),"
        "re TEXT);CREATE TABLE resul(pos INTEGER,resu TEXT);INSERT INTO resul VALUES" +
        std::string(c.resul) + ";";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    auto d = Start(res::IDOK);
    EXPECT_EQ(Result(*d), c.shown);
    TypeText(Entry(*d), QStringLiteral("5"));
    PressEnter(Entry(*d));
    EXPECT_EQ(Result(*d), c.afterFive);
    EXPECT_TRUE(boxes_.empty());
    d->close();
  }
}

// A saved scale the saved text cannot carry (below 0, or more places behind
// the point than the text has digits) comes from no run of ours: the file is
// damaged. It is reported, the total starts from 0.00 and the file stays as
// it is. A text without digits (an empty field, a message) carries any scale.
TEST_F(StartupTest, ASavedScaleTheTextCannotCarryIsADamagedFile) {
  struct Case {
    const char* table;
    const char* row;
    const char* timesOnePointFive;  // the total after "* 1.5"; empty: a damaged file
  };
  const Case cases[] = {
      {"resul", "(2147483647,'1')", ""},
      {"resul", "(1000000000,'1')", ""},
      {"resul", "(-1,'5')", ""},
      {"resul", "(4,'1.5')", ""},
      {"liveTotal", "(9,'12.39')", ""},
      {"resul", "(2,'0.05')", "0.075"},
      {"resul", "(4,'1,234')", "0.1851"},
      {"resul", "(0,'0.00')", "0"},
      {"resul", "(7,'粘贴的内容太长')", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " " + c.row);
    const bool damaged = c.timesOnePointFive[0] == '\0';
    boxes_.clear();
    QFile::remove(DbPath());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().toStdString().c_str(), &db), SQLITE_OK);
    const std::string sql =
        "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),"
        "re TEXT);CREATE TABLE resul(pos INTEGER,resu TEXT);"
        "CREATE TABLE liveTotal(pos INTEGER,resu TEXT);INSERT INTO " +
        std::string(c.table) + " VALUES" + c.row + ";";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    QFile before(DbPath());
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();

    auto d = Start(res::IDOK);
    if (damaged) {
      // Checked before any step: on such a total a step would ask for
      // billions of digits.
      ASSERT_EQ(BoxTexts(), std::vector<QString>{app::kDamagedHistory});
      EXPECT_EQ(Result(*d), QStringLiteral("0.00"));
    } else {
      EXPECT_TRUE(boxes_.empty());
    }
    d->ItemAs<QRadioButton>(res::kNormalModeRadio)->click();  // normal mode
    d->OnCycleOperator();
    d->OnCycleOperator();
    TypeText(Entry(*d), QStringLiteral("1"));
    Keypad(Entry(*d), Qt::Key_Period);
    TypeText(Entry(*d), QStringLiteral("5"));
    PressEnter(Entry(*d));
    EXPECT_EQ(Result(*d), damaged ? QStringLiteral("0") : QString::fromUtf8(c.timesOnePointFive));
    d->close();
    EXPECT_EQ(boxes_.size(), damaged ? 1u : 0u);
    if (damaged) {
      QFile after(DbPath());
      ASSERT_TRUE(after.open(QIODevice::ReadOnly));
      EXPECT_EQ(after.readAll(), bytes) << "the file is left alone";
      EXPECT_FALSE(QFile::exists(DbPath() + QStringLiteral("-wal")));
    } else {
      EXPECT_EQ(MyDataRows(), 1);
    }
  }
}

// Clearing never deletes a file that is not a history of ours: at start-up
// (found so now), and by 清除数据 after it was reported damaged, it is renamed
// beside itself with the date and time, whole, and the user is told where.
// A history of ours is deleted as before.
TEST_F(StartupTest, ClearingMovesAFileThatIsNotOursAside) {
  const QDir folder(dir_.path());
  auto asideFiles = [&folder] {
    return folder.entryList({QStringLiteral("QorvelDb-*")}, QDir::Files, QDir::Name);
  };
  auto readAll = [](const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  const QRegularExpression asideName(QStringLiteral("^QorvelDb-\\d{8}-\\d{6}(-\\d+)?\\.db$"));

  // Another program's database, cleared at start-up.
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().toStdString().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE users(name TEXT);INSERT INTO users VALUES('ann');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  const QByteArray foreign = readAll(DbPath());
  auto d = Start(res::IDCANCEL);
  QStringList aside = asideFiles();
  ASSERT_EQ(aside.size(), 1);
  EXPECT_TRUE(asideName.match(aside[0]).hasMatch()) << aside[0].toStdString();
  const QString firstAside = folder.filePath(aside[0]);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kMovedAside.arg(firstAside)});
  EXPECT_EQ(boxes_[0].flags, platform::MB_OK | platform::MB_ICONINFORMATION);
  EXPECT_EQ(readAll(firstAside), foreign);
  EXPECT_EQ(Result(*d), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0) << "a fresh history in its place";
  d->close();

  // Garbage reported at a keep start, then cleared with 清除数据.
  boxes_.clear();
  QByteArray garbage(5000, '\x5a');
  {
    QFile f(DbPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(garbage);
  }
  auto keep = Start(res::IDOK);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kDamagedHistory});
  yesNo_ = res::IDYES;
  keep->OnClearAll();
  aside = asideFiles();
  ASSERT_EQ(aside.size(), 2);
  aside.removeOne(QFileInfo(firstAside).fileName());
  const QString secondAside = folder.filePath(aside[0]);
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{app::kDamagedHistory, app::kClearAllQuestion,
                                              app::kMovedAside.arg(secondAside)}));
  EXPECT_EQ(readAll(secondAside), garbage);
  EXPECT_EQ(readAll(firstAside), foreign);
  TypeText(Entry(*keep), QStringLiteral("5"));
  PressEnter(Entry(*keep));
  EXPECT_EQ(MyDataRows(), 1) << "recording again";
  keep->close();

  // Our own history: deleted once confirmed, nothing moved aside.
  boxes_.clear();
  auto ours = Start(res::IDCANCEL);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kClearLastQuestion.arg(1)});
  EXPECT_EQ(asideFiles().size(), 2);
  EXPECT_EQ(MyDataRows(), 0);
}

TEST_F(StartupTest, ClearDeletesTheHistory) {
  MakeHistory();
  yesNo_ = res::IDYES;
  auto d = Start(res::IDCANCEL);
  EXPECT_EQ(Result(*d), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);
  EXPECT_EQ(CountRows(DbPath(), "resul"), 0);
  TypeText(Entry(*d), QStringLiteral("5"));
  PressEnter(Entry(*d));
  EXPECT_EQ(Result(*d), QStringLiteral("0.05"));
}

TEST_F(StartupTest, EscOnTheChoiceDialogClears) {
  MakeHistory();
  yesNo_ = res::IDYES;
  PressInChoiceDialog(Qt::Key_Escape);
  auto d = Start();
  EXPECT_TRUE(choiceWasVisible_);
  EXPECT_EQ(Result(*d), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);
}

// Clearing a history that holds steps asks first, No being the default; No
// keeps it as the keep choice does. Nothing to lose, nothing to ask.
TEST_F(StartupTest, ClearAsksFirstWhenThereAreSteps) {
  MakeHistory();
  auto kept = Start(res::IDCANCEL);
  ASSERT_EQ(BoxTexts(), std::vector<QString>{app::kClearLastQuestion.arg(2)});
  EXPECT_EQ(boxes_[0].flags,
            platform::MB_YESNO | platform::MB_ICONWARNING | platform::MB_DEFBUTTON2);
  EXPECT_EQ(Result(*kept), QStringLiteral("12.39"));
  EXPECT_EQ(MyDataRows(), 2);
  kept->close();

  boxes_.clear();
  yesNo_ = res::IDYES;
  auto cleared = Start(res::IDCANCEL);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(Result(*cleared), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);
  cleared->close();

  boxes_.clear();
  auto empty = Start(res::IDCANCEL);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(StartupTest, EnterOnTheChoiceDialogKeeps) {
  MakeHistory();
  PressInChoiceDialog(Qt::Key_Return);
  auto d = Start();
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  EXPECT_EQ(MyDataRows(), 2);
}

TEST_F(StartupTest, ClosingTheChoiceDialogKeeps) {
  MakeHistory();
  CloseChoiceDialog();
  auto d = Start();
  EXPECT_TRUE(choiceWasVisible_);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  EXPECT_EQ(MyDataRows(), 2);
  TypeText(Entry(*d), QStringLiteral("1"));
  PressEnter(Entry(*d));
  EXPECT_EQ(Result(*d), QStringLiteral("12.4"));
  EXPECT_EQ(MyDataRows(), 3);
}

// Closing is keeping, so a large history still gets its question first.
TEST_F(StartupTest, ClosingTheChoiceDialogStillAsksAboutALargeHistory) {
  MakeHistory();
  ASSERT_TRUE(QFile::resize(DbPath(), 41 * kMiB));
  CloseChoiceDialog();
  yesNo_ = res::IDNO;
  auto d = Start();
  EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kTooMuchData});
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  EXPECT_EQ(MyDataRows(), 2);
}

TEST_F(StartupTest, LargeHistoryAsksFirstAndYesDeletesIt) {
  MakeHistory();
  ASSERT_TRUE(QFile::resize(DbPath(), 41 * kMiB));  // sparse: no real 41 MiB written

  yesNo_ = res::IDNO;
  {
    auto d = Start(res::IDOK);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, app::kTooMuchData);
    EXPECT_EQ(boxes_[0].flags, platform::MB_YESNO | platform::MB_ICONINFORMATION);
    EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
    EXPECT_EQ(MyDataRows(), 2);
    d->close();
  }

  boxes_.clear();
  yesNo_ = res::IDYES;
  auto d = Start(res::IDOK);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kTooMuchData});
  EXPECT_EQ(Result(*d), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);
  EXPECT_LT(QFileInfo(DbPath()).size(), kMiB);
}

TEST_F(StartupTest, FortyMiBAndOneByteIsNotAskedAbout) {
  MakeHistory();
  ASSERT_TRUE(QFile::resize(DbPath(), 40 * kMiB + 1));
  auto d = Start(res::IDOK);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
}

// A large file of zeros is not a history at all: after the size question the
// user is told once, the total starts at zero, and the file is left alone.
TEST_F(StartupTest, LargeGarbageFileIsReportedAndLeftAlone) {
  {
    QFile f(DbPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(41 * kMiB));
  }
  yesNo_ = res::IDNO;
  auto d = Start(res::IDOK);
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{app::kTooMuchData, app::kDamagedHistory}));
  EXPECT_EQ(Result(*d), QStringLiteral("0.00"));
  TypeText(Entry(*d), QStringLiteral("5"));
  PressEnter(Entry(*d));
  EXPECT_EQ(Result(*d), QStringLiteral("0.05"));
  d->close();
  EXPECT_EQ(boxes_.size(), 2u) << boxes_.back().text.toStdString();
  EXPECT_EQ(QFileInfo(DbPath()).size(), 41 * kMiB);

  // Answering Yes to the size question puts a fresh history in its place;
  // the file itself is moved aside, not deleted.
  boxes_.clear();
  yesNo_ = res::IDYES;
  auto fresh = Start(res::IDOK);
  const QFileInfoList aside =
      QDir(dir_.path()).entryInfoList({QStringLiteral("QorvelDb-*.db")}, QDir::Files);
  ASSERT_EQ(aside.size(), 1);
  EXPECT_EQ(BoxTexts(),
            (std::vector<QString>{app::kTooMuchData, app::kMovedAside.arg(aside[0].filePath())}));
  EXPECT_EQ(aside[0].size(), 41 * kMiB);
  EXPECT_EQ(Result(*fresh), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);
}

// Neither beside the program nor in the data folder can a history be opened.
TEST_F(StartupTest, UnopenableHistoryLeavesTheResultEmptyAndStillCalculates) {
  const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
  const QString dataHome = dir_.filePath(QStringLiteral("data"));
  qputenv("XDG_DATA_HOME", dataHome.toLocal8Bit());
  ASSERT_TRUE(QDir().mkpath(DbPath()));
  ASSERT_TRUE(QDir().mkpath(dataHome + QStringLiteral("/zantor/QorvelDb.db")));

  auto d = Start(res::IDOK);
  EXPECT_EQ(Result(*d), QString());
  EXPECT_EQ(BoxTexts(), std::vector<QString>{app::kHistoryUnavailable});
  TypeText(Entry(*d), QStringLiteral("5"));
  PressEnter(Entry(*d));
  EXPECT_EQ(Result(*d), QStringLiteral("0.05"));
  d->close();
  EXPECT_EQ(boxes_.size(), 1u) << "no further box, not even on closing";
  qputenv("XDG_DATA_HOME", oldDataHome);
}

TEST_F(StartupTest, WindowAfterStartUp) {
  auto d = Start(res::IDOK);
  const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
  ASSERT_GT(screenWidth, 355);
  // The frame as it is once the window exists: its margins come with it.
  const QRect frame = d->frameGeometry();
  EXPECT_EQ(d->pos(), frame.topLeft());
  EXPECT_EQ(frame.topLeft(), QPoint(screenWidth - std::max(355, frame.width()), 1));
  EXPECT_LE(frame.right(), screenWidth - 1) << "the whole window is on the screen";
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Zantor"));
  // A window of its own, which every taskbar shows, not a dialog some leave
  // out; with its caption, system menu, close and minimise boxes, fixed size.
  EXPECT_EQ(d->windowType(), Qt::Window);
  const Qt::WindowFlags wanted = Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                 Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
  EXPECT_EQ(d->windowFlags() & wanted, wanted);
  EXPECT_FALSE(d->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(d->minimumSize(), d->maximumSize());
  EXPECT_TRUE(d->ItemAs<QRadioButton>(res::kFastModeRadio)->isChecked());
  EXPECT_FALSE(d->ItemAs<QRadioButton>(res::kNormalModeRadio)->isChecked());
  EXPECT_EQ(d->state().entryMode, 'k');
  EXPECT_EQ(d->state().pendingOp, '+');
  EXPECT_EQ(d->GetDlgItemText(res::kOperatorButton), QStringLiteral("＋"));
  EXPECT_EQ(d->Item(res::kOperatorButton)->toolTip(), QStringLiteral("点击我或用空格切换运算符"));
  EXPECT_EQ(d->GetDlgItemText(res::kMemoryField), QString());
  EXPECT_TRUE(d->Item(res::kLastEntryField)->isHidden());
  EXPECT_TRUE(d->ItemAs<QPlainTextEdit>(res::kResultField)->isReadOnly());
  EXPECT_EQ(d->focusWidget(), Entry(*d));

  d->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
  const QRect shown = d->frameGeometry();
  EXPECT_EQ(shown.topLeft(), QPoint(screenWidth - std::max(355, shown.width()), 1));
  EXPECT_TRUE(d->historyStore()->inTransaction());
}

TEST_F(StartupTest, ChoiceDialogIsShownBeforeTheMainWindow) {
  bool mainVisible = true;
  auto d = std::make_unique<CCalcDlg>();
  onChoice_ = [&](QDialog&) -> std::optional<int> {
    mainVisible = d->isVisible();
    return res::IDOK;
  };
  d->OnInitDialog(dir_.path());
  EXPECT_FALSE(mainVisible);
}

}  // namespace
}  // namespace zantor::apptest
