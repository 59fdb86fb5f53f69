// What the keyboard does in the entry field: steps on Enter, the keys that
// may type, the keypad point and sign, refused entries, and the hover field.
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include "app_test_support.h"
#include "platform/desktop.h"
#include "platform/numlock.h"

namespace zantor::apptest {
namespace {

class KeysTest : public StartedDialogTest {
 protected:
  // The dialog shown and active, so that focus moves are real.
  void ShowActive() {
    d_->show();
    d_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d_.get()));
    entry_->setFocus();
    ASSERT_TRUE(entry_->hasFocus());
  }

  void SetEntry(const QString& text) {
    entry_->setText(text);
    entry_->setCursorPosition(static_cast<int>(text.size()));
  }

  // Sends a key press or release with its own text, as a keyboard layout
  // would deliver it.
  void Send(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString& text,
            bool autoRepeat = false) {
    QKeyEvent e(type, key, modifiers, text, autoRepeat);
    QCoreApplication::sendEvent(entry_, &e);
  }
};

TEST_F(KeysTest, FastModeStepsShowTotalLastEntryAndRows) {
  Step(QStringLiteral("1234"));
  EXPECT_EQ(Result(*d_), QStringLiteral("12.34"));
  EXPECT_EQ(entry_->text(), QString());
  Step(QStringLiteral("5"));
  EXPECT_EQ(Result(*d_), QStringLiteral("12.39"));
  EXPECT_EQ(d_->GetDlgItemText(res::kLastEntryField), QStringLiteral("0.05"));
  EXPECT_EQ(d_->lastEntryText(), QStringLiteral("0.05"));
  EXPECT_EQ(ReadRows(DbPath(), "SELECT oP,fdata,mdata,re FROM MyData ORDER BY ID;"),
            (Rows{{"+", "12.34", "12.34", "12.34"}, {"+", "0.05", "0.05", "12.39"}}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(KeysTest, KeypadDigitsAndKeypadEnterMakeAStep) {
  Keypad(entry_, Qt::Key_1);
  Keypad(entry_, Qt::Key_2);
  Keypad(entry_, Qt::Key_0);
  EXPECT_EQ(entry_->text(), QStringLiteral("120"));
  Keypad(entry_, Qt::Key_Enter);
  EXPECT_EQ(Result(*d_), QStringLiteral("1.2"));
  EXPECT_EQ(MyDataRows(), 1);
}

TEST_F(KeysTest, EnterOnAnEmptyEntryDoesNothing) {
  PressEnter(entry_);
  Keypad(entry_, Qt::Key_Enter);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_EQ(d_->lastEntryText(), QString());
  EXPECT_EQ(MyDataRows(), 0);
  EXPECT_TRUE(boxes_.empty());
}

// Every refusal the keyboard alone can produce: the message is shown exactly,
// and the entry, the total, the last entry and the history stay as they were.
TEST_F(KeysTest, RefusedEntryShowsTheMessageAndChangesNothing) {
  Step(QStringLiteral("5"));
  ASSERT_EQ(Result(*d_), QStringLiteral("0.05"));
  d_->OnNormalMode();

  struct Case {
    const char* name;
    std::function<void()> type;
    QString entry;
    QString message;
  };
  const std::vector<Case> cases = {
      {"lone minus", [&] { Keypad(entry_, Qt::Key_Minus); }, QStringLiteral("-"),
       QStringLiteral("负号位置不正确，请检查！")},
      {"trailing point",
       [&] {
         TypeText(entry_, QStringLiteral("12"));
         Keypad(entry_, Qt::Key_Period);
       },
       QStringLiteral("12."), QStringLiteral("小数点位置不正确，请检查！")},
      {"41 digits", [&] { TypeText(entry_, QString(41, QLatin1Char('9'))); },
       QString(41, QLatin1Char('9')),
       QStringLiteral("数据超过40位无法计算，\n  如有需要请联系作者。")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    entry_->clear();
    boxes_.clear();
    c.type();
    ASSERT_EQ(entry_->text(), c.entry);
    PressEnter(entry_);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, c.message);
    EXPECT_EQ(boxes_[0].flags & 0xFu, platform::MB_OK);
    EXPECT_EQ(entry_->text(), c.entry);
    EXPECT_EQ(Result(*d_), QStringLiteral("0.05"));
    EXPECT_EQ(d_->GetDlgItemText(res::kLastEntryField), QStringLiteral("0.05"));
    EXPECT_EQ(MyDataRows(), 1);
  }
}

TEST_F(KeysTest, TopRowDigitsTypeButNotWithShift) {
  TypeText(entry_, QStringLiteral("1"));
  EXPECT_EQ(entry_->text(), QStringLiteral("1"));
  // What X11 reports for Shift+1 ...
  QTest::keyClick(entry_, Qt::Key_Exclam, Qt::ShiftModifier);
  // ... and a layout that keeps the digit under Shift.
  QTest::sendKeyEvent(QTest::Click, entry_, Qt::Key_1, QStringLiteral("1"), Qt::ShiftModifier);
  EXPECT_EQ(entry_->text(), QStringLiteral("1"));
}

TEST_F(KeysTest, KeysOutsideTheNumberTypeNothing) {
  ShowActive();
  d_->OnNormalMode();  // where a typed '.' would be a legal character
  SetEntry(QStringLiteral("12"));

  TypeText(entry_, QStringLiteral("abx"));
  QTest::keyClick(entry_, Qt::Key_Minus);  // top row
  QTest::keyClick(entry_, Qt::Key_Comma);
  QTest::keyClick(entry_, Qt::Key_Home);
  QTest::keyClick(entry_, Qt::Key_Up);
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  EXPECT_EQ(entry_->cursorPosition(), 2) << "Home and Up do not move the caret";

  QTest::keyClick(entry_, Qt::Key_Left);
  EXPECT_EQ(entry_->cursorPosition(), 1) << "Left does";
  QTest::keyClick(entry_, Qt::Key_Delete);
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  QTest::keyClick(entry_, Qt::Key_Backspace);
  EXPECT_EQ(entry_->text(), QStringLiteral("2"));

  QTest::keyClick(entry_, Qt::Key_Tab);
  EXPECT_TRUE(entry_->hasFocus()) << "Tab leaves the focus where it is";
  QTest::keyClick(entry_, Qt::Key_Escape);
  EXPECT_TRUE(d_->isVisible()) << "Esc does not close";
  EXPECT_TRUE(d_->historyStore()->isOpen());
  EXPECT_EQ(entry_->text(), QStringLiteral("2"));
}

// The field's own editing shortcuts never run: their letters are dropped on
// the way down, and the releases of Z and Q are the hotkeys whatever is held.
TEST_F(KeysTest, ControlShortcutsDoNotEdit) {
  QGuiApplication::clipboard()->setText(QStringLiteral("9"));
  TypeText(entry_, QStringLiteral("12"));
  TypeText(entry_, QStringLiteral("3"));
  QTest::keyClick(entry_, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(entry_->text(), QStringLiteral("123")) << "no undo";
  EXPECT_EQ(d_->state().entryMode, 'z') << "Ctrl+Z is Z";
  QTest::keyClick(entry_, Qt::Key_A, Qt::ControlModifier);
  EXPECT_FALSE(entry_->hasSelectedText());
  entry_->selectAll();
  QTest::keyClick(entry_, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(entry_->text(), QStringLiteral("123")) << "no cut";
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("9"));
  entry_->deselect();
  QGuiApplication::clipboard()->setText(QStringLiteral("777"));
  QTest::keyClick(entry_, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(entry_->text(), QStringLiteral("123")) << "no paste around the cleaning";
  QTest::keyClick(entry_, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(entry_->text(), QString()) << "Ctrl+Q recalls the empty memory";
}

TEST_F(KeysTest, KeypadPointOnlyInNormalModeAndOnlyOnce) {
  SetEntry(QStringLiteral("12"));
  Keypad(entry_, Qt::Key_Period);
  EXPECT_EQ(entry_->text(), QStringLiteral("12")) << "fast mode";

  d_->OnNormalMode();
  Keypad(entry_, Qt::Key_Period);
  EXPECT_EQ(entry_->text(), QStringLiteral("12."));
  Keypad(entry_, Qt::Key_Period);
  EXPECT_EQ(entry_->text(), QStringLiteral("12."));
  TypeText(entry_, QStringLiteral("5"));
  entry_->selectAll();
  Keypad(entry_, Qt::Key_Period);
  EXPECT_EQ(entry_->text(), QStringLiteral("12.5")) << "even over a selected point";
  // Some layouts put a comma on the keypad's decimal key; it still types a point.
  SetEntry(QStringLiteral("7"));
  Keypad(entry_, Qt::Key_Comma);
  EXPECT_EQ(entry_->text(), QStringLiteral("7."));
}

// The main keyboard's '.' and a layout's keypad comma are the keypad point:
// the same mode rule, once only.
TEST_F(KeysTest, EveryDecimalKeyFollowsTheKeypadPointsRules) {
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    char mode;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {Qt::Key_Period, Qt::NoModifier, 'z', "2", "2."},
      {Qt::Key_Period, Qt::NoModifier, 'z', "2.5", "2.5"},
      {Qt::Key_Period, Qt::NoModifier, 'k', "2", "2"},
      {Qt::Key_Period, Qt::KeypadModifier, 'z', "2", "2."},
      {Qt::Key_Comma, Qt::KeypadModifier, 'z', "2", "2."},
      {Qt::Key_Comma, Qt::KeypadModifier, 'k', "2", "2"},
      {Qt::Key_Comma, Qt::NoModifier, 'z', "2", "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.before) + " mode " + c.mode + " key " + std::to_string(c.key));
    if (c.mode == 'z') {
      d_->OnNormalMode();
    } else {
      d_->OnFastMode();
    }
    SetEntry(QString::fromLatin1(c.before));
    QTest::keyClick(entry_, static_cast<Qt::Key>(c.key), c.modifiers);
    EXPECT_EQ(entry_->text(), QString::fromLatin1(c.after));
  }
  // A laptop's 2.5 in normal mode is 2.5, not 25.
  SetEntry(QString());
  QTest::keyClicks(entry_, QStringLiteral("2.5"));
  PressEnter(entry_);
  EXPECT_EQ(d_->lastEntryText(), QStringLiteral("2.5"));
}

TEST_F(KeysTest, KeypadMinusReleaseTogglesTheSign) {
  Keypad(entry_, Qt::Key_Minus);
  EXPECT_EQ(entry_->text(), QStringLiteral("-"));
  Keypad(entry_, Qt::Key_Minus);
  EXPECT_EQ(entry_->text(), QString());

  SetEntry(QStringLiteral("12"));
  entry_->setCursorPosition(0);
  QTest::keyPress(entry_, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(entry_->text(), QStringLiteral("12")) << "the press alone types nothing";
  QTest::keyRelease(entry_, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(entry_->text(), QStringLiteral("-12"));
  EXPECT_EQ(entry_->cursorPosition(), 3);
  Keypad(entry_, Qt::Key_Minus);
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  EXPECT_EQ(entry_->cursorPosition(), 2);

  SetEntry(QStringLiteral("1-2"));
  Keypad(entry_, Qt::Key_Minus);
  EXPECT_EQ(entry_->text(), QStringLiteral("-1-2")) << "only the first character is looked at";
}

TEST_F(KeysTest, AutoRepeatedEnterRunsOneStepPerPress) {
  TypeText(entry_, QStringLiteral("5"));
  Send(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  for (int i = 0; i < 3; ++i) {
    Send(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
    Send(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
  }
  EXPECT_EQ(MyDataRows(), 1);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.05"));

  // A repeated press finds a new entry: it is a step of its own.
  TypeText(entry_, QStringLiteral("7"));
  Send(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
  Send(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  EXPECT_EQ(MyDataRows(), 2);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.12"));
  EXPECT_TRUE(d_->historyStore()->isOpen());
}

// The hidden last-entry field shows while the pointer rests on it or on the
// button beside it.
TEST_F(KeysTest, LastEntryFieldFollowsThePointer) {
  Step(QStringLiteral("5"));
  auto moveOver = [](QWidget* w) {
    QMouseEvent e(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  };
  QWidget* field = d_->Item(res::kLastEntryField);
  ASSERT_TRUE(field->isHidden());
  moveOver(d_->Item(res::kLastEntryButton));
  EXPECT_FALSE(field->isHidden());
  EXPECT_EQ(d_->GetDlgItemText(res::kLastEntryField), QStringLiteral("0.05"));
  moveOver(field);
  EXPECT_FALSE(field->isHidden());
  moveOver(entry_);
  EXPECT_TRUE(field->isHidden());
  moveOver(d_->Item(res::kLastEntryButton));
  moveOver(d_->client());
  EXPECT_TRUE(field->isHidden());

  // The same through the window system's pointer.
  ShowActive();
  QTest::mouseMove(d_->Item(res::kLastEntryButton), QPoint(5, 5));
  QCoreApplication::processEvents();
  EXPECT_TRUE(field->isVisible());
  QTest::mouseMove(d_->Item(res::kFindButton), QPoint(5, 5));
  QCoreApplication::processEvents();
  EXPECT_FALSE(field->isVisible());
}

// The guard runs once per real NumLock release: not on the press, not on the
// release halves of auto-repeat, and the field's text stays as it was.
TEST_F(KeysTest, NumLockGuardRunsOnceOnEachRealRelease) {
  int guarded = 0;
  platform::SetNumLockHook([&guarded] { ++guarded; });
  SetEntry(QStringLiteral("12"));

  Send(QEvent::KeyPress, Qt::Key_NumLock, Qt::NoModifier, QString());
  EXPECT_EQ(guarded, 0) << "on the press";
  for (int i = 0; i < 3; ++i) {
    Send(QEvent::KeyRelease, Qt::Key_NumLock, Qt::NoModifier, QString(), true);
    Send(QEvent::KeyPress, Qt::Key_NumLock, Qt::NoModifier, QString(), true);
  }
  EXPECT_EQ(guarded, 0) << "on auto-repeat";
  Send(QEvent::KeyRelease, Qt::Key_NumLock, Qt::NoModifier, QString());
  EXPECT_EQ(guarded, 1);
  QTest::keyClick(entry_, Qt::Key_NumLock);
  EXPECT_EQ(guarded, 2);
  QTest::keyClick(entry_, Qt::Key_5);
  EXPECT_EQ(guarded, 2) << "another key";
  EXPECT_EQ(entry_->text(), QStringLiteral("125"));
  platform::SetNumLockHook({});
}

}  // namespace
}  // namespace zantor::apptest
