// The shutdown that carries the total over to the next start.
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app_test_support.h"
#include "startup_fixture.h"

namespace zantor::apptest {
namespace {

class ShutdownTest : public StartupTest {};

TEST_F(ShutdownTest, CloseSavesTheTotalWithItsScale) {
  {
    auto d = Start(res::IDCANCEL);
    ASSERT_TRUE(d->ItemAs<QRadioButton>(res::kNormalModeRadio) != nullptr);
    d->OnNormalMode();
    TypeText(Entry(*d), QStringLiteral("1234"));
    Keypad(Entry(*d), Qt::Key_Period);
    TypeText(Entry(*d), QStringLiteral("5"));
    PressEnter(Entry(*d));
    ASSERT_EQ(Result(*d), QStringLiteral("1,234.5"));
    d->close();
    EXPECT_FALSE(d->historyStore()->isOpen());
  }
  EXPECT_EQ(ReadRows(DbPath(), "SELECT pos,resu FROM resul;"), (Rows{{"1", "1,234.5"}}));

  auto next = Start(res::IDOK);
  EXPECT_EQ(Result(*next), QStringLiteral("1,234.5"));
  EXPECT_EQ(next->state().accScale, 1);
  TypeText(Entry(*next), QStringLiteral("5"));
  PressEnter(Entry(*next));
  EXPECT_EQ(Result(*next), QStringLiteral("1,234.55"));
}

TEST_F(ShutdownTest, CloseRightAfterAKeepStartSavesTheRestoredTotal) {
  MakeHistory();
  {
    auto d = Start(res::IDOK);
    d->close();
  }
  EXPECT_EQ(ReadRows(DbPath(), "SELECT pos,resu FROM resul;"), (Rows{{"2", "12.39"}}));
}

TEST_F(ShutdownTest, RejectSavesAndALaterCloseAddsNothing) {
  auto d = Start(res::IDCANCEL);
  d->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
  TypeText(Entry(*d), QStringLiteral("5"));
  PressEnter(Entry(*d));
  d->reject();
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(d->result(), res::IDCANCEL);
  EXPECT_FALSE(d->historyStore()->isOpen());
  d->close();
  EXPECT_EQ(ReadRows(DbPath(), "SELECT pos,resu FROM resul;"), (Rows{{"2", "0.05"}}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ShutdownTest, CloseOfAShownDialogSavesOnce) {
  auto d = Start(res::IDCANCEL);
  d->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
  EXPECT_TRUE(d->close());
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(ReadRows(DbPath(), "SELECT pos,resu FROM resul;"), (Rows{{"0", "0.00"}}));
}

// The close box of the running dialog: the modal loop ends, the total is
// saved once.
TEST_F(ShutdownTest, CloseBoxEndsTheModalLoopAndSaves) {
  auto d = Start(res::IDCANCEL);
  QTimer::singleShot(0, d.get(), [&d] {
    TypeText(Entry(*d), QStringLiteral("5"));
    PressEnter(Entry(*d));
    d->windowHandle()->close();
  });
  d->exec();
  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(d->historyStore()->isOpen());
  EXPECT_EQ(ReadRows(DbPath(), "SELECT pos,resu FROM resul;"), (Rows{{"2", "0.05"}}));
}

// As the program runs: the choice dialog really shown and answered, then the
// main dialog's own loop, which only the close box ends.
TEST_F(ShutdownTest, WholeRunAsTheProgramDoesIt) {
  MakeHistory();
  PressInChoiceDialog(Qt::Key_Return);
  auto d = Start();
  bool stepped = false;
  QTimer::singleShot(50, d.get(), [&] {
    TypeText(Entry(*d), QStringLiteral("1"));
    PressEnter(Entry(*d));
    stepped = true;
    d->windowHandle()->close();
  });
  d->exec();
  EXPECT_TRUE(stepped) << "the loop ended before the close box";
  EXPECT_EQ(ReadRows(DbPath(), "SELECT pos,resu FROM resul;"), (Rows{{"1", "12.4"}}));
  EXPECT_EQ(MyDataRows(), 3);
}

// Esc on the result field (after a click there) does not end the program
// without saving: it does not end it at all.
TEST_F(ShutdownTest, EscOnTheResultFieldKeepsTheDialogOpen) {
  auto d = Start(res::IDCANCEL);
  d->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
  QWidget* result = d->Item(res::kResultField);
  result->setFocus();
  QTest::keyClick(result, Qt::Key_Escape);
  QTest::keyClick(d->Item(res::kOpacitySlider), Qt::Key_Escape);
  EXPECT_TRUE(d->isVisible());
  EXPECT_TRUE(d->historyStore()->isOpen());
  EXPECT_EQ(CountRows(DbPath(), "resul"), 0);
}

// A paste message standing in the result field is saved as the total; the
// next keep start shows it and counts from zero.
TEST_F(ShutdownTest, PasteMessageSavedAsTotalRestoresAsZero) {
  {
    auto d = Start(res::IDCANCEL);
    QGuiApplication::clipboard()->setText(QString(100, QLatin1Char('7')));
    QTest::keyClick(Entry(*d), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(Result(*d), QStringLiteral("粘贴的内容太长"));
    d->close();
  }
  auto next = Start(res::IDOK);
  EXPECT_EQ(Result(*next), QStringLiteral("粘贴的内容太长"));
  TypeText(Entry(*next), QStringLiteral("5"));
  PressEnter(Entry(*next));
  EXPECT_EQ(Result(*next), QStringLiteral("0.05"));
}

}  // namespace
}  // namespace zantor::apptest
