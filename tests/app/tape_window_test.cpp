// 纸带 beside the real main window: shown and hidden by T, docked under it,
// its lines following every step, zeroing and clearing at once, copied as
// text, read aloud in full.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "app/tape_window.h"
#include "tests/app/app_test_support.h"

namespace zantor::apptest {
namespace {

class TapeWindowTest : public StartedDialogTest {
 protected:
  app::TapeWindow* OpenTape() {
    // Shown and active, so that where the focus goes is seen.
    d_->show();
    d_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(d_.get()));
    Hotkey(entry_, Qt::Key_T);
    app::TapeWindow* tape = d_->tape();
    EXPECT_TRUE(tape->isVisible());
    // The lines come once the history is indexed.
    for (int i = 0; i < 500 && !tape->model()->ready(); ++i) QTest::qWait(10);
    EXPECT_TRUE(tape->model()->ready());
    return tape;
  }
  QString Line(app::TapeWindow* tape, int row) {
    return tape->model()->index(row).data(Qt::AccessibleTextRole).toString();
  }
};

TEST_F(TapeWindowTest, FollowsEveryStepAndHidesOnTAndEsc) {
  Step("1234");
  Step("5");
  app::TapeWindow* tape = OpenTape();
  EXPECT_EQ(tape->windowTitle(), QStringLiteral("纸带"));
  // Typing goes on in the entry field (activation is asynchronous).
  EXPECT_TRUE(QTest::qWaitFor([this] { return entry_->hasFocus(); }));
  EXPECT_EQ(tape->frameGeometry().right(), d_->frameGeometry().right());
  EXPECT_GT(tape->geometry().top(), d_->geometry().bottom());
  EXPECT_GE(tape->view()->viewport()->height(),
            12 * tape->view()->verticalHeader()->defaultSectionSize());
  ASSERT_EQ(tape->model()->rowCount(), 2);

  // Each step, a zeroing and a clear show at once, at the end, in sight.
  Step("700");
  ASSERT_EQ(tape->model()->rowCount(), 3);
  EXPECT_EQ(tape->view()->currentIndex().row(), 2);
  EXPECT_EQ(Line(tape, 2), QStringLiteral("3  ＋  7.00  19.39"));
  // A screen reader reads the line whole.
  QAccessibleInterface* lines = QAccessible::queryAccessibleInterface(tape->view());
  ASSERT_NE(lines, nullptr);
  ASSERT_NE(lines->tableInterface(), nullptr);
  QAccessibleInterface* third = lines->tableInterface()->cellAt(2, 0);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->text(QAccessible::Name), QStringLiteral("3  ＋  7.00  19.39"));
  yesNo_ = res::IDYES;
  d_->OnZeroResult();
  ASSERT_EQ(tape->model()->rowCount(), 4);
  EXPECT_EQ(Line(tape, 3), QStringLiteral("共 3 笔  合计 19.39"));
  Step("100");
  Step("2");
  ASSERT_EQ(tape->model()->rowCount(), 6);
  EXPECT_EQ(Line(tape, 5), QStringLiteral("2  ＋  0.02  1.02"));

  tape->SetMark(5, app::StepMark::kDiffers);
  tape->SetMark(1, app::StepMark::kAgrees);
  EXPECT_EQ(Line(tape, 5), QStringLiteral("2  ＋  0.02  1.02  ✗"));
  EXPECT_EQ(Line(tape, 0), QStringLiteral("1  ＋  12.34  12.34  ✓"));
  tape->ClearMarks();
  EXPECT_EQ(Line(tape, 0), QStringLiteral("1  ＋  12.34  12.34"));

  QTest::keyClick(tape->view(), Qt::Key_Home);
  EXPECT_EQ(tape->view()->currentIndex().row(), 0);
  QTest::keyClick(tape->view(), Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(tape->view()->selectionModel()->selectedRows().size(), 6);
  tape->view()->selectAll();
  QTest::keyClick(tape->view(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("1\t＋\t12.34\t12.34\t\n"
                                                              "2\t＋\t0.05\t12.39\t\n"
                                                              "3\t＋\t7.00\t19.39\t\n"
                                                              "共 3 笔  合计 19.39\n"
                                                              "1\t＋\t1.00\t1\t\n"
                                                              "2\t＋\t0.02\t1.02\t\n"));

  QTest::keyClick(tape->view(), Qt::Key_Escape);
  EXPECT_FALSE(tape->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([this] { return entry_->hasFocus(); }));
  Hotkey(entry_, Qt::Key_T);
  EXPECT_TRUE(tape->isVisible());
  tape->view()->setFocus();
  QTest::keyClick(tape->view(), Qt::Key_T);
  EXPECT_FALSE(tape->isVisible());
  Hotkey(entry_, Qt::Key_T);
  Hotkey(entry_, Qt::Key_T);
  EXPECT_FALSE(tape->isVisible());

  d_->OnClearAll();
  EXPECT_TRUE(QTest::qWaitFor([tape] { return tape->model()->rowCount() == 0; }));
  Step("1");
  EXPECT_TRUE(QTest::qWaitFor([tape] { return tape->model()->rowCount() == 1; }));
}

TEST_F(TapeWindowTest, TheRunsOfASelectionAreTheOnesExported) {
  Step("100");
  Step("200");
  yesNo_ = res::IDYES;
  d_->OnZeroResult();
  Step("300");
  Step("400");
  d_->OnZeroResult();
  Step("500");
  app::TapeWindow* tape = OpenTape();
  ASSERT_EQ(tape->model()->rowCount(), 7);
  // Nothing selected: the current run (the last, still open).
  tape->view()->clearSelection();
  EXPECT_EQ(tape->SelectedRuns(), (std::vector<std::pair<int, int>>{{6, 6}}));
  // A selection across the first rule line: both runs, with their rule lines.
  tape->view()->selectionModel()->select(
      QItemSelection(tape->model()->index(1), tape->model()->index(3)),
      QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(tape->SelectedRuns(), (std::vector<std::pair<int, int>>{{0, 2}, {3, 5}}));
}

TEST_F(TapeWindowTest, KOnALineChecksItsRunAndTheMenuCopiesALinesTotalInCapitals) {
  Step("123456");
  Step("100");
  Step("5");
  yesNo_ = res::IDYES;
  d_->OnZeroResult();
  Step("7");
  app::TapeWindow* tape = OpenTape();
  ASSERT_EQ(tape->model()->rowCount(), 5);
  tape->view()->setFocus();
  tape->view()->setCurrentIndex(tape->model()->index(1));
  QTest::keyClick(tape->view(), Qt::Key_K);
  EXPECT_TRUE(d_->checking());
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("复核 1/3")) << "the run of the line, not the last";
  EXPECT_TRUE(QTest::qWaitFor([this] { return entry_->hasFocus(); }));
  Step("123456");
  Step("101");
  Step("5");
  EXPECT_EQ(Result(*d_), QStringLiteral("复核完毕：共 3 笔，1 笔不符"));
  EXPECT_EQ(Line(tape, 0), QStringLiteral("1  ＋  1,234.56  1,234.56  ✓"));
  EXPECT_EQ(Line(tape, 1), QStringLiteral("2  ＋  1.00  1,235.56  ✗"));
  EXPECT_EQ(Line(tape, 2), QStringLiteral("3  ＋  0.05  1,235.61  ✓"));
  EXPECT_EQ(Line(tape, 4), QStringLiteral("1  ＋  0.07  0.07")) << "another run";

  // The menu of the ✗ line: its total in capitals.
  tape->view()->setCurrentIndex(tape->model()->index(1));
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions()) {
      if (a->text() == QStringLiteral("复制大写金额")) a->trigger();
    }
    menu->close();
  });
  emit tape->view()->customContextMenuRequested(QPoint(5, 5));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("壹仟贰佰叁拾伍元伍角陆分"));

  // The marks stay while the run goes on, and go with its end.
  Step("1");
  EXPECT_EQ(Line(tape, 1), QStringLiteral("2  ＋  1.00  1,235.56  ✗"));
  d_->OnZeroResult();
  EXPECT_EQ(Line(tape, 1), QStringLiteral("2  ＋  1.00  1,235.56"));
}

}  // namespace
}  // namespace zantor::apptest
