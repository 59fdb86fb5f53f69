// Pasting into the entry field: the clipboard is cleaned (or replaced) before
// the field's own paste can insert anything.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <functional>

#include "app_test_support.h"

namespace zantor::apptest {
namespace {

const QString kTooLong = QStringLiteral("粘贴的内容太长");

class PasteTest : public StartedDialogTest {
 protected:
  static void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }
  static QString Clipboard() { return QGuiApplication::clipboard()->text(); }

  // Opens the field's menu (by the Menu key, or after a right press) and
  // chooses its Paste; `beforeChoosing` runs while the menu is open.
  void MenuPaste(QContextMenuEvent::Reason reason,
                 const std::function<void()>& beforeChoosing = {}) {
    QContextMenuEvent e(reason, QPoint(2, 2), entry_->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(entry_, &e);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr) << "no menu opened";
    QAction* paste = nullptr;
    for (QAction* a : menu->actions()) {
      if (a->text().startsWith(QStringLiteral("&Paste"))) paste = a;
    }
    if (beforeChoosing) beforeChoosing();
    ASSERT_NE(paste, nullptr);
    paste->setEnabled(true);  // as it would be, seeing the clipboard now
    paste->trigger();
    menu->close();
  }
};

TEST_F(PasteTest, CtrlVInsertsTheCleanedText) {
  SetClipboard(QStringLiteral("1,234.50 元"));
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("1234.50"));
  EXPECT_EQ(Clipboard(), QStringLiteral("1234.50"));
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  PressEnter(entry_);
  EXPECT_EQ(Result(*d_), QStringLiteral("1,234.5"));

  // Misplaced signs arrive as they are, and the step refuses them.
  SetClipboard(QStringLiteral("-12-3"));
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("-12-3"));
  PressEnter(entry_);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("负号位置不正确，请检查！")});
  entry_->clear();
  SetClipboard(QStringLiteral("1.2.3"));
  CtrlV();
  PressEnter(entry_);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text, QStringLiteral("小数点太多，请检查！"));
  EXPECT_EQ(MyDataRows(), 1);
}

TEST_F(PasteTest, PasteGoesInAtTheCaret) {
  entry_->setText(QStringLiteral("19"));
  entry_->setCursorPosition(1);
  SetClipboard(QStringLiteral("a2b3"));
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("1239"));
}

TEST_F(PasteTest, TextWithoutANumberPastesNothing) {
  entry_->setText(QStringLiteral("5"));
  SetClipboard(QStringLiteral("abc 元"));
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("5"));
  EXPECT_EQ(Clipboard(), QString());
  QGuiApplication::clipboard()->clear();
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("5"));
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00")) << "no message for an empty clipboard";
}

// The limit counts the bytes of the GBK text: 99 are cleaned, 100 replaced,
// and a Chinese character counts two.
TEST_F(PasteTest, HundredBytesAreTooLong) {
  SetClipboard(QString(98, QLatin1Char('x')) + QStringLiteral("7"));
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("7"));

  entry_->clear();
  SetClipboard(QString(40, QChar(0x5143)) + QStringLiteral("12"));  // 82 bytes in GBK
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));

  entry_->clear();
  SetClipboard(QString(50, QChar(0x5143)));
  CtrlV();
  EXPECT_EQ(Result(*d_), kTooLong);
  EXPECT_EQ(Clipboard(), QStringLiteral("0"));

  SetClipboard(QString(99, QLatin1Char('x')) + QStringLiteral("7"));
  CtrlV();
  EXPECT_EQ(entry_->text(), QString());
  EXPECT_EQ(Clipboard(), QStringLiteral("0"));
}

// What replaces a text that is too long is the pending operation's neutral
// operand in the current mode; the next paste inserts it.
TEST_F(PasteTest, TooLongLeavesTheNeutralOperand) {
  const QString longText(100, QLatin1Char('9'));
  struct Case {
    int spaces;  // operator presses from '+'
    char mode;
    QString replacement;
  };
  for (const Case& c : {Case{0, 'k', QStringLiteral("0")}, Case{1, 'z', QStringLiteral("0")},
                        Case{2, 'z', QStringLiteral("1")}, Case{2, 'k', QStringLiteral("100")}}) {
    SCOPED_TRACE(c.replacement.toStdString() + " for " + c.mode);
    while (d_->state().pendingOp != "+-*"[c.spaces]) Hotkey(entry_, Qt::Key_Space);
    if (d_->state().entryMode != c.mode) Hotkey(entry_, Qt::Key_Z);
    entry_->setText(QStringLiteral("5"));
    SetClipboard(longText);
    CtrlV();
    EXPECT_EQ(Result(*d_), kTooLong);
    EXPECT_EQ(entry_->text(), QStringLiteral("5"));
    EXPECT_EQ(Clipboard(), c.replacement);
    entry_->clear();
    CtrlV();
    EXPECT_EQ(entry_->text(), c.replacement);
  }
  EXPECT_EQ(MyDataRows(), 0);
}

TEST_F(PasteTest, VAloneTypesNothingAndLeavesTheClipboard) {
  SetClipboard(QStringLiteral("1,5 元"));
  QTest::keyClick(entry_, Qt::Key_V);
  EXPECT_EQ(entry_->text(), QString());
  EXPECT_EQ(Clipboard(), QStringLiteral("1,5 元"));
}

// A right press cleans the clipboard before the field's menu can paste; with
// a text that is too long the press, and the menu it would open, are dropped.
TEST_F(PasteTest, RightButtonCleansOrIsDropped) {
  SetClipboard(QStringLiteral("合计 -3.5"));
  QTest::mouseClick(entry_, Qt::RightButton);
  EXPECT_EQ(Clipboard(), QStringLiteral("-3.5"));
  EXPECT_TRUE(ContextMenuOpens());
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));

  SetClipboard(QString(100, QLatin1Char('x')));
  QTest::mousePress(entry_, Qt::RightButton);
  EXPECT_EQ(Result(*d_), kTooLong);
  EXPECT_EQ(Clipboard(), QStringLiteral("0"));
  EXPECT_FALSE(ContextMenuOpens());
  QTest::mouseRelease(entry_, Qt::RightButton);
  EXPECT_TRUE(ContextMenuOpens()) << "only the menu of that press is dropped";
}

// The menu's Paste goes through the same cleaning and length rule as Ctrl+V,
// whether the Menu key opened it (no right press cleaned anything before) or
// the clipboard changed while the menu was open.
TEST_F(PasteTest, MenuPasteIsCleanedLikeCtrlV) {
  SetClipboard(QStringLiteral("合计 -3.5"));
  MenuPaste(QContextMenuEvent::Keyboard);
  EXPECT_EQ(entry_->text(), QStringLiteral("-3.5"));
  EXPECT_EQ(Clipboard(), QStringLiteral("-3.5"));

  entry_->clear();
  SetClipboard(QString(150, QLatin1Char('1')));
  MenuPaste(QContextMenuEvent::Keyboard);
  EXPECT_EQ(entry_->text(), QString()) << "150 digits are too long, even all digits";
  EXPECT_EQ(Result(*d_), kTooLong);
  EXPECT_EQ(Clipboard(), QStringLiteral("0"));

  SetClipboard(QStringLiteral("7"));
  QTest::mousePress(entry_, Qt::RightButton);
  MenuPaste(QContextMenuEvent::Mouse, [] { SetClipboard(QStringLiteral("共 12 元")); });
  QTest::mouseRelease(entry_, Qt::RightButton);
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  EXPECT_EQ(Clipboard(), QStringLiteral("12"));
}

}  // namespace
}  // namespace zantor::apptest
