// The buttons, hotkeys and menu commands of the main dialog.
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
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTranslator>

#include "app/messages.h"
#include "app/search_loader.h"
#include "app_test_support.h"
#include "commands_fixture.h"
#include "platform/desktop.h"
#include "platform/launch.h"
#include "platform/template_dialog.h"

namespace zantor::apptest {
namespace {

TEST_F(CommandsTest, OperatorCyclesByButtonAndSpace) {
  Click(res::kOperatorButton);
  EXPECT_EQ(d_->GetDlgItemText(res::kOperatorButton), QStringLiteral("－"));
  EXPECT_EQ(d_->state().pendingOp, '-');
  ExpectRefocused();
  Hotkey(entry_, Qt::Key_Space);
  EXPECT_EQ(d_->GetDlgItemText(res::kOperatorButton), QStringLiteral("×"));
  EXPECT_EQ(d_->state().pendingOp, '*');
  Click(res::kOperatorButton);
  EXPECT_EQ(d_->GetDlgItemText(res::kOperatorButton), QStringLiteral("＋"));
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
  auto* fast = d_->ItemAs<QRadioButton>(res::kFastModeRadio);
  auto* normal = d_->ItemAs<QRadioButton>(res::kNormalModeRadio);
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
  QTest::mouseClick(d_->Item(res::kNormalModeRadio), Qt::LeftButton);
  TypeText(entry_, QStringLiteral("12"));
  Keypad(entry_, Qt::Key_Period);
  TypeText(entry_, QStringLiteral("5"));
  ASSERT_EQ(entry_->text(), QStringLiteral("12.5"));
  QTest::mouseClick(d_->Item(res::kFastModeRadio), Qt::LeftButton);
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
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("1,234.5"));
  EXPECT_EQ(entry_->text(), QString()) << "C types nothing";

  TypeText(entry_, QStringLiteral("99"));
  Hotkey(entry_, Qt::Key_Q);
  EXPECT_EQ(entry_->text(), QStringLiteral("1234.5")) << "normal mode";
  ExpectRefocused();
  Hotkey(entry_, Qt::Key_Z);
  Click(res::kMemoryRecallButton);
  EXPECT_EQ(entry_->text(), QStringLiteral("1234.5")) << "fast mode keeps a point as it is";

  yesNo_ = res::IDYES;
  Menu(res::kZeroResultCommand);
  d_->OnNormalMode();
  entry_->clear();
  Step(QStringLiteral("1234"));
  ASSERT_EQ(Result(*d_), QStringLiteral("1,234"));
  Click(res::kMemoryStoreButton);
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("1,234"));
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
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("0.00"));
  Hotkey(entry_, Qt::Key_Space);
  Step(QStringLiteral("5"));
  Hotkey(entry_, Qt::Key_C);
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("-0.05"));

  QGuiApplication::clipboard()->setText(QString(120, QLatin1Char('1')));
  QTest::keyClick(entry_, Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(Result(*d_), QStringLiteral("粘贴的内容太长"));
  Hotkey(entry_, Qt::Key_C);
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("-0.05"));
}

// Ctrl+C in the entry field stores the total; it does not copy the entry.
TEST_F(CommandsTest, CtrlCStoresInsteadOfCopying) {
  Step(QStringLiteral("5"));
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  TypeText(entry_, QStringLiteral("12"));
  entry_->selectAll();
  QTest::keyClick(entry_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("0.05"));
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
}

TEST_F(CommandsTest, EqualsRunsAStepAndRefocuses) {
  ShowActive();
  TypeText(entry_, QStringLiteral("5"));
  Click(res::kEqualsButton);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.05"));
  EXPECT_EQ(MyDataRows(), 1);
  EXPECT_TRUE(entry_->hasFocus());
  Click(res::kEqualsButton);
  EXPECT_EQ(MyDataRows(), 1) << "nothing typed";
  Click(res::kLastEntryButton);
  EXPECT_TRUE(entry_->hasFocus()) << "view-last only refocuses";
}

TEST_F(CommandsTest, ZeroResultAskedNoThenYes) {
  Step(QStringLiteral("1234"));
  Step(QStringLiteral("5"));
  Hotkey(entry_, Qt::Key_C);
  Hotkey(entry_, Qt::Key_Space);
  TypeText(entry_, QStringLiteral("77"));

  yesNo_ = res::IDNO;
  Menu(res::kZeroResultCommand);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, app::kZeroResultQuestion);
  EXPECT_EQ(boxes_[0].flags, 0x44u);
  EXPECT_EQ(Result(*d_), QStringLiteral("12.39"));

  yesNo_ = res::IDYES;
  Menu(res::kZeroResultCommand);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 2) << "the history stays";
  EXPECT_EQ(d_->GetDlgItemText(res::kOperatorButton), QStringLiteral("－"));
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("12.39"));
  EXPECT_EQ(d_->GetDlgItemText(res::kLastEntryField), QStringLiteral("0.05"));
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
  Menu(res::kClearAllCommand);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, app::kClearAllQuestion);
  EXPECT_EQ(boxes_[0].flags, 0x34u);
  EXPECT_EQ(Result(*d_), QStringLiteral("12.39"));
  EXPECT_EQ(MyDataRows(), 2);

  yesNo_ = res::IDYES;
  Menu(res::kClearAllCommand);
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);
  EXPECT_EQ(CountRows(DbPath(), "resul"), 0) << "the total just saved went with the file";
  EXPECT_EQ(d_->state().entryMode, 'z');
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("12.39"));
  EXPECT_EQ(entry_->text(), QStringLiteral("8"));
  ExpectRefocused();
  PressEnter(entry_);
  EXPECT_EQ(Result(*d_), QStringLiteral("8"));
  EXPECT_EQ(ReadRows(DbPath(), "SELECT oP,mdata,re FROM MyData;"), (Rows{{"+", "8", "8"}}));
}

TEST_F(CommandsTest, AboutBoxFromTheMenuAndTheSystemCommand) {
  Menu(res::kAboutAuthorCommand);
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
      EXPECT_EQ(t.GetDlgItemText(res::kUnnamedControl), QString()) << "the icon comes first";
      QTest::mouseClick(t.Item(res::IDOK), Qt::LeftButton);
    });
    return std::nullopt;
  };
  Menu(res::kAboutAuthorCommand);
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
  QWidget* over = d_->Item(res::kMemoryStoreButton);
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
  enterOn(res::kOpacitySlider);
  enterOn(res::kResultField);
  d_->Item(res::kMemoryStoreButton)->setFocus();
  enterOn(res::kOpacitySlider);
  enterOn(res::kFastModeRadio);
  EXPECT_EQ(searches, 0);
  EXPECT_TRUE(d_->isVisible());
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QString());
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_EQ(MyDataRows(), 0);

  // A push button that has the focus is pressed by Enter.
  d_->Item(res::kMemoryStoreButton)->setFocus();
  QTest::keyClick(d_->Item(res::kMemoryStoreButton), Qt::Key_Return);
  EXPECT_EQ(d_->GetDlgItemText(res::kMemoryField), QStringLiteral("0.00"));
  d_->Item(res::kFindButton)->setFocus();
  QTest::keyClick(d_->Item(res::kFindButton), Qt::Key_Enter, Qt::KeypadModifier);
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
  QTest::mouseMove(d_->Item(res::kFindButton), QPoint(3, 3));
  const qint64 arrived = tip.now();
  QTest::mouseMove(d_->Item(res::kOperatorButton), QPoint(3, 3));
  EXPECT_FALSE(QToolTip::isVisible()) << "not at once";
  ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
  EXPECT_EQ(QToolTip::text(), QStringLiteral("点击我或用空格切换运算符"));
  EXPECT_GE(tip.shownAt - arrived, 100);
  ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000))
      << "the tip is still up after 5 s";
  ASSERT_GE(tip.hiddenAt, 0);
  EXPECT_GE(tip.hiddenAt - tip.shownAt, 1000) << "gone too soon";
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
  EXPECT_EQ(clear->actions()[0], d_->MenuCommand(res::kZeroResultCommand));
  EXPECT_EQ(clear->actions()[0]->text(), QStringLiteral("结果清零"));
  EXPECT_EQ(clear->actions()[1], d_->MenuCommand(res::kClearAllCommand));
  EXPECT_EQ(clear->actions()[1]->text(), QStringLiteral("全部清除"));
}

// Help and calculator with nothing on PATH to open them: a box says so for
// each (the end-to-end test starts them through programs found there).
TEST_F(CommandsTest, HelpAndCalculatorSaySoWhenNothingCanOpenThem) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", empty.path().toUtf8());
  Menu(res::kHelpCommand);
  Menu(res::kCalculatorCommand);
  qputenv("PATH", path);
  EXPECT_EQ(BoxTexts(),
            (std::vector<QString>{app::kHelpCannotOpen.arg(d_->helpPath()),
                                  app::kCalculatorMissing.arg(platform::CalculatorCandidates().join(
                                      QStringLiteral(", ")))}));
  for (const ShownBox& b : boxes_) EXPECT_EQ(b.flags, platform::MB_OK | platform::MB_ICONWARNING);
}

// The toolkit's own texts are Chinese whatever the locale.
TEST(ToolkitTranslations, StandardButtonsAndFileDialogSpeakChinese) {
  QTranslator* t = platform::LoadToolkitTranslations();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("Save As"));
  QCoreApplication::removeTranslator(t);
  delete t;
}

}  // namespace
}  // namespace zantor::apptest
