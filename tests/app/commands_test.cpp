// The buttons, hotkeys and menu commands of the main dialog, and the hand-over
// to the search dialog.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "app/messages.h"
#include "app/platform/desktop.h"
#include "app/platform/template_dialog.h"
#include "app/search_loader.h"
#include "app_test_support.h"

namespace zantor::apptest {
namespace {

class CommandsTest : public StartedDialogTest {
 protected:
  void ShowActive() {
    d_->show();
    d_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d_.get()));
  }

  void Step(const QString& typed) {
    TypeText(entry_, typed);
    PressEnter(entry_);
  }

  void Click(int id) { QTest::mouseClick(d_->Item(id), Qt::LeftButton); }
  void Menu(int command) {
    QAction* action = d_->MenuCommand(command);
    ASSERT_NE(action, nullptr) << command;
    action->trigger();
  }
  // Entry has the focus and the caret after its last character.
  void ExpectRefocused() {
    EXPECT_EQ(d_->focusWidget(), entry_);
    EXPECT_EQ(entry_->cursorPosition(), entry_->text().size());
    EXPECT_FALSE(entry_->hasSelectedText());
  }
};

TEST_F(CommandsTest, OperatorCyclesByButtonAndSpace) {
  Click(1007);
  EXPECT_EQ(d_->GetDlgItemText(1007), QStringLiteral("－"));
  EXPECT_EQ(d_->state().pendingOp, '-');
  ExpectRefocused();
  Hotkey(entry_, Qt::Key_Space);
  EXPECT_EQ(d_->GetDlgItemText(1007), QStringLiteral("×"));
  EXPECT_EQ(d_->state().pendingOp, '*');
  Click(1007);
  EXPECT_EQ(d_->GetDlgItemText(1007), QStringLiteral("＋"));
  EXPECT_EQ(d_->state().pendingOp, '+');
  EXPECT_EQ(entry_->text(), QString()) << "Space types nothing";

  // Held down, Space cycles once, on its real release.
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
  QKeyEvent repeatDown(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  for (QKeyEvent* e : {&press, &repeatUp, &repeatDown, &repeatUp, &repeatDown, &release}) {
    QCoreApplication::sendEvent(entry_, e);
  }
  EXPECT_EQ(d_->state().pendingOp, '-');

  // The operator shown is the one the next step applies.
  Step(QStringLiteral("5"));
  EXPECT_EQ(Result(*d_), QStringLiteral("-0.05"));
  Hotkey(entry_, Qt::Key_Space);
  Step(QStringLiteral("300"));
  EXPECT_EQ(Result(*d_), QStringLiteral("-0.15"));
  EXPECT_EQ(ReadRows(DbPath(), "SELECT oP,re FROM MyData ORDER BY ID;"),
            (Rows{{"-", "-0.05"}, {"*", "-0.15"}}));
}

TEST_F(CommandsTest, ZTogglesTheModeAndBothRadioButtons) {
  auto* fast = d_->ItemAs<QRadioButton>(1002);
  auto* normal = d_->ItemAs<QRadioButton>(1003);
  TypeText(entry_, QStringLiteral("12"));
  Hotkey(entry_, Qt::Key_Z);
  EXPECT_EQ(d_->state().entryMode, 'z');
  EXPECT_FALSE(fast->isChecked());
  EXPECT_TRUE(normal->isChecked());
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  Hotkey(entry_, Qt::Key_Z);
  EXPECT_EQ(d_->state().entryMode, 'k');
  EXPECT_TRUE(fast->isChecked());
  EXPECT_FALSE(normal->isChecked());
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  ExpectRefocused();

  QTest::mouseClick(normal, Qt::LeftButton);
  EXPECT_EQ(d_->state().entryMode, 'z');
  EXPECT_FALSE(fast->isChecked());
  QTest::mouseClick(fast, Qt::LeftButton);
  EXPECT_EQ(d_->state().entryMode, 'k');
  EXPECT_FALSE(normal->isChecked());
}

TEST_F(CommandsTest, FastModeRemovesThePointForGood) {
  QTest::mouseClick(d_->Item(1003), Qt::LeftButton);
  TypeText(entry_, QStringLiteral("12"));
  Keypad(entry_, Qt::Key_Period);
  TypeText(entry_, QStringLiteral("5"));
  ASSERT_EQ(entry_->text(), QStringLiteral("12.5"));
  QTest::mouseClick(d_->Item(1002), Qt::LeftButton);
  EXPECT_EQ(entry_->text(), QStringLiteral("125"));
  ExpectRefocused();
  Hotkey(entry_, Qt::Key_Z);
  EXPECT_EQ(entry_->text(), QStringLiteral("125"));
  PressEnter(entry_);
  EXPECT_EQ(Result(*d_), QStringLiteral("125")) << "typed in normal mode, taken as typed";
}

TEST_F(CommandsTest, StoreAndRecallAcrossModes) {
  d_->OnNormalMode();
  TypeText(entry_, QStringLiteral("1234"));
  Keypad(entry_, Qt::Key_Period);
  Step(QStringLiteral("5"));
  ASSERT_EQ(Result(*d_), QStringLiteral("1,234.5"));
  Hotkey(entry_, Qt::Key_C);
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("1,234.5"));
  EXPECT_EQ(entry_->text(), QString()) << "C types nothing";

  TypeText(entry_, QStringLiteral("99"));
  Hotkey(entry_, Qt::Key_Q);
  EXPECT_EQ(entry_->text(), QStringLiteral("1234.5")) << "normal mode";
  ExpectRefocused();
  Hotkey(entry_, Qt::Key_Z);
  Click(1013);
  EXPECT_EQ(entry_->text(), QStringLiteral("1234.5")) << "fast mode keeps a point as it is";

  yesNo_ = res::IDYES;
  Menu(32783);
  d_->OnNormalMode();
  entry_->clear();
  Step(QStringLiteral("1234"));
  ASSERT_EQ(Result(*d_), QStringLiteral("1,234"));
  Click(1012);
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("1,234"));
  Hotkey(entry_, Qt::Key_Q);
  EXPECT_EQ(entry_->text(), QStringLiteral("1234"));
  d_->OnFastMode();
  Hotkey(entry_, Qt::Key_Q);
  EXPECT_EQ(entry_->text(), QStringLiteral("123400"));
  PressEnter(entry_);
  EXPECT_EQ(Result(*d_), QStringLiteral("2,468"));
}

TEST_F(CommandsTest, RecallFromAnEmptyLabel) {
  TypeText(entry_, QStringLiteral("7"));
  Hotkey(entry_, Qt::Key_Q);
  EXPECT_EQ(entry_->text(), QStringLiteral("00"));
  d_->OnNormalMode();
  Hotkey(entry_, Qt::Key_Q);
  EXPECT_EQ(entry_->text(), QString());
}

TEST_F(CommandsTest, StoreTakesOnlyANumber) {
  Hotkey(entry_, Qt::Key_C);
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("0.00"));
  Hotkey(entry_, Qt::Key_Space);
  Step(QStringLiteral("5"));
  Hotkey(entry_, Qt::Key_C);
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("-0.05"));

  QGuiApplication::clipboard()->setText(QString(120, QLatin1Char('1')));
  QTest::keyClick(entry_, Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(Result(*d_), QStringLiteral("粘贴的内容太长"));
  Hotkey(entry_, Qt::Key_C);
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("-0.05"));
}

// Ctrl+C in the entry field stores the total; it does not copy the entry.
TEST_F(CommandsTest, CtrlCStoresInsteadOfCopying) {
  Step(QStringLiteral("5"));
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  TypeText(entry_, QStringLiteral("12"));
  entry_->selectAll();
  QTest::keyClick(entry_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("0.05"));
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
}

TEST_F(CommandsTest, EqualsRunsAStepAndRefocuses) {
  ShowActive();
  TypeText(entry_, QStringLiteral("5"));
  Click(1015);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.05"));
  EXPECT_EQ(MyDataRows(), 1);
  EXPECT_TRUE(entry_->hasFocus());
  Click(1015);
  EXPECT_EQ(MyDataRows(), 1) << "nothing typed";
  Click(1010);
  EXPECT_TRUE(entry_->hasFocus()) << "view-last only refocuses";
}

TEST_F(CommandsTest, ZeroResultAskedNoThenYes) {
  Step(QStringLiteral("1234"));
  Step(QStringLiteral("5"));
  Hotkey(entry_, Qt::Key_C);
  Hotkey(entry_, Qt::Key_Space);
  TypeText(entry_, QStringLiteral("77"));

  yesNo_ = res::IDNO;
  Menu(32783);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, app::kZeroResultQuestion);
  EXPECT_EQ(boxes_[0].flags, 0x44u);
  EXPECT_EQ(Result(*d_), QStringLiteral("12.39"));

  yesNo_ = res::IDYES;
  Menu(32783);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 2) << "the history stays";
  EXPECT_EQ(d_->GetDlgItemText(1007), QStringLiteral("－"));
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("12.39"));
  EXPECT_EQ(d_->GetDlgItemText(1017), QStringLiteral("0.05"));
  EXPECT_EQ(entry_->text(), QStringLiteral("77"));
  PressEnter(entry_);
  EXPECT_EQ(Result(*d_), QStringLiteral("-0.77")) << "counting starts from zero";
  EXPECT_EQ(MyDataRows(), 3);
}

TEST_F(CommandsTest, ClearAllAskedNoThenYes) {
  Step(QStringLiteral("1234"));
  Step(QStringLiteral("5"));
  Hotkey(entry_, Qt::Key_C);
  Hotkey(entry_, Qt::Key_Z);
  TypeText(entry_, QStringLiteral("8"));

  yesNo_ = res::IDNO;
  Menu(32784);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, app::kClearAllQuestion);
  EXPECT_EQ(boxes_[0].flags, 0x34u);
  EXPECT_EQ(Result(*d_), QStringLiteral("12.39"));
  EXPECT_EQ(MyDataRows(), 2);

  yesNo_ = res::IDYES;
  Menu(32784);
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);
  EXPECT_EQ(CountRows(DbPath(), "resul"), 0) << "the total just saved went with the file";
  EXPECT_EQ(d_->state().entryMode, 'z');
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("12.39"));
  EXPECT_EQ(entry_->text(), QStringLiteral("8"));
  ExpectRefocused();
  PressEnter(entry_);
  EXPECT_EQ(Result(*d_), QStringLiteral("8"));
  EXPECT_EQ(ReadRows(DbPath(), "SELECT oP,mdata,re FROM MyData;"), (Rows{{"+", "8", "8"}}));
}

TEST_F(CommandsTest, AboutBoxFromTheMenuAndTheSystemCommand) {
  Menu(32781);
  d_->OnSysCommand(res::kAboutCommand);
  d_->OnSysCommand(res::kAboutCommand | 0x3);  // the low four bits are not looked at
  d_->OnSysCommand(0xF060);                    // close: not the about box
  ASSERT_EQ(dialogs_.size(), 4u);              // the start-up choice, then three boxes
  for (size_t i = 1; i < dialogs_.size(); ++i) {
    EXPECT_EQ(dialogs_[i].templateId, res::kAboutBoxTemplate);
    EXPECT_EQ(dialogs_[i].caption, QStringLiteral("关于 QorvelV1"));
  }
  EXPECT_TRUE(d_->historyStore()->isOpen());

  // Run for real: "确定" closes it, over the main dialog.
  QWidget* parent = nullptr;
  int shown = 0;
  onOtherDialog_ = [&](QDialog& about) -> std::optional<int> {
    parent = about.parentWidget();
    QTimer::singleShot(0, &about, [&about, &shown] {
      auto& t = dynamic_cast<platform::TemplateDialog&>(about);
      shown = about.isVisible() ? 1 : 0;
      EXPECT_EQ(t.GetDlgItemText(-1), QString()) << "the icon comes first";
      QTest::mouseClick(t.Item(res::IDOK), Qt::LeftButton);
    });
    return std::nullopt;
  };
  Menu(32781);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(parent, d_.get());
}

// The right button on the dialog offers the about item the title bar's menu
// cannot carry.
TEST_F(CommandsTest, ContextMenuOffersTheAboutBox) {
  ShowActive();
  QString item;
  QTimer::singleShot(0, qApp, [&item] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    item = menu->actions().value(0)->text();
    menu->setActiveAction(menu->actions().value(0));
    QTest::keyClick(menu, Qt::Key_Return);
  });
  QWidget* over = d_->Item(1012);
  QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), over->mapToGlobal(QPoint(2, 2)));
  QCoreApplication::sendEvent(over, &e);
  EXPECT_EQ(item, QStringLiteral("关于 QorvelV1(&A)..."));
  ASSERT_EQ(dialogs_.size(), 2u);
  EXPECT_EQ(dialogs_[1].templateId, res::kAboutBoxTemplate);
}

// The dialog has no default button: Enter on a control other than the entry
// field presses no button, neither the first one nor one that had the focus
// before, and so opens no search either.
TEST_F(CommandsTest, EnterElsewhereRunsNoCommand) {
  int searches = 0;
  d_->SetSearchRunner([&searches](QWidget*, store::HistoryStore&, const QString&) {
    ++searches;
    return false;
  });
  ShowActive();
  for (QPushButton* button : d_->client()->findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
  }
  TypeText(entry_, QStringLiteral("5"));
  const auto enterOn = [this](int id) {
    d_->Item(id)->setFocus();
    QTest::keyClick(d_->Item(id), Qt::Key_Return);
    QTest::keyClick(d_->Item(id), Qt::Key_Enter, Qt::KeypadModifier);
  };
  enterOn(1006);
  enterOn(1001);
  d_->Item(1012)->setFocus();
  enterOn(1006);
  enterOn(1002);
  EXPECT_EQ(searches, 0);
  EXPECT_TRUE(d_->isVisible());
  EXPECT_EQ(d_->GetDlgItemText(-1), QString());
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);

  // A push button that has the focus is pressed by Enter.
  d_->Item(1012)->setFocus();
  QTest::keyClick(d_->Item(1012), Qt::Key_Return);
  EXPECT_EQ(d_->GetDlgItemText(-1), QStringLiteral("0.00"));
  d_->Item(1004)->setFocus();
  QTest::keyClick(d_->Item(1004), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(searches, 1);
}

// When the operator button's tip label shows and hides, timed as the events
// arrive rather than when a test happens to look.
class TipTimes : public QObject {
 public:
  TipTimes() {
    clock_.start();
    qApp->installEventFilter(this);
  }
  ~TipTimes() override { qApp->removeEventFilter(this); }
  qint64 shownAt = -1;
  qint64 hiddenAt = -1;
  qint64 now() const { return clock_.elapsed(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched->inherits("QTipLabel")) {
      if (event->type() == QEvent::Show && shownAt < 0) shownAt = clock_.elapsed();
      if (event->type() == QEvent::Hide && shownAt >= 0 && hiddenAt < 0) {
        hiddenAt = clock_.elapsed();
      }
    }
    return false;
  }

 private:
  QElapsedTimer clock_;
};

// The operator button explains itself a moment after the pointer arrives and
// takes the tip away again by itself one and a half seconds later. Timers
// only ever fire late, so the lower bounds hold on a loaded machine; the
// waits end as soon as what they wait for happens.
TEST_F(CommandsTest, OperatorButtonShowsItsTip) {
  ShowActive();
  TipTimes tip;
  QTest::mouseMove(d_->Item(1004), QPoint(3, 3));
  const qint64 arrived = tip.now();
  QTest::mouseMove(d_->Item(1007), QPoint(3, 3));
  EXPECT_FALSE(QToolTip::isVisible()) << "not at once";
  ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
  EXPECT_EQ(QToolTip::text(), QStringLiteral("点击我或用空格切换运算符"));
  EXPECT_GE(tip.shownAt - arrived, 100);
  ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000))
      << "the tip is still up after 5 s";
  ASSERT_GE(tip.hiddenAt, 0);
  EXPECT_GE(tip.hiddenAt - tip.shownAt, 1000) << "gone too soon";
}

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
  Click(1004);
  ASSERT_EQ(calls_.size(), 2u);
  EXPECT_EQ(calls_[1].finalResultText, QStringLiteral("12.4"));
  EXPECT_EQ(calls_[1].resulInFile, (Rows{{"2", "12.39"}, {"1", "12.4"}}));
  EXPECT_EQ(calls_[1].rowsInFile, 3);

  d_->historyStore()->BeginTransaction();
  Click(1005);
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
  Click(1004);
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
  Click(1004);
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
  Click(1004);
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
    for (const int way : {1004, 1005, int{Qt::Key_F}}) {
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

TEST_F(CommandsTest, MenuBarCarriesTheCommands) {
  auto* bar = d_->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  QStringList titles;
  for (QAction* a : bar->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{QStringLiteral("使用说明"), QStringLiteral("系统计算器"),
                                 QStringLiteral("关于作者"), QStringLiteral("清除数据")}));
  QMenu* clear = bar->actions().back()->menu();
  ASSERT_NE(clear, nullptr);
  ASSERT_EQ(clear->actions().size(), 2);
  EXPECT_EQ(clear->actions()[0], d_->MenuCommand(32783));
  EXPECT_EQ(clear->actions()[0]->text(), QStringLiteral("结果清零"));
  EXPECT_EQ(clear->actions()[1], d_->MenuCommand(32784));
  EXPECT_EQ(clear->actions()[1]->text(), QStringLiteral("全部清除"));
}

}  // namespace
}  // namespace zantor::apptest
