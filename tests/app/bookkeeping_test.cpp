// The bookkeeper's checks in the main window: K keys the current run in
// again (复核), D puts the total in capitals (大写) on the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <utility>
#include <vector>

#include "app/tape_window.h"
#include "commands_fixture.h"
#include "platform/desktop.h"

namespace zantor::apptest {
namespace {

using app::StepMark;
using Mark = std::pair<long long, StepMark>;

class BookkeepingTest : public CommandsTest {
 protected:
  void SetUp() override {
    CommandsTest::SetUp();
    QObject::connect(d_.get(), &CCalcDlg::Marked,
                     [this](long long id, StepMark m) { marks_.emplace_back(id, m); });
    QObject::connect(d_.get(), &CCalcDlg::MarksCleared,
                     [this] { marks_.emplace_back(0, StepMark::kNone); });
  }
  std::vector<Mark> marks_;
};

TEST_F(BookkeepingTest, KeyingTheRunAgainComparesEachEnterAndRecordsNothing) {
  Step(QStringLiteral("100"));
  Step(QStringLiteral("200"));
  Hotkey(entry_, Qt::Key_Space);
  Step(QStringLiteral("50"));
  ASSERT_EQ(Result(*d_), QStringLiteral("2.5"));

  Hotkey(entry_, Qt::Key_K);
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("复核 1/3"));
  EXPECT_EQ(d_->pendingOp(), '+') << "the run is keyed in from its first operator";
  Step(QStringLiteral("100"));
  EXPECT_EQ(Result(*d_), QStringLiteral("1")) << "the checking total";
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("复核 2/3"));
  Step(QStringLiteral("201"));
  EXPECT_EQ(Result(*d_), QStringLiteral("第 2 笔不符：记录 ＋2.00，输入 ＋2.01"));
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("复核 3/3"));
  Hotkey(entry_, Qt::Key_Space);
  Step(QStringLiteral("50"));
  EXPECT_EQ(Result(*d_), QStringLiteral("复核完毕：共 3 笔，1 笔不符"));
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("Zantor"));
  EXPECT_EQ(marks_, (std::vector<Mark>{{0, StepMark::kNone},
                                       {1, StepMark::kAgrees},
                                       {2, StepMark::kDiffers},
                                       {3, StepMark::kAgrees}}));
  // On the tape too, even when it was not made before the check.
  EXPECT_EQ(d_->tape()->model()->MarkOf(2), StepMark::kDiffers);
  EXPECT_EQ(MyDataRows(), 3) << "nothing recorded while checking";
  EXPECT_TRUE(boxes_.empty());

  // The running total goes on where it was, with its own operator.
  EXPECT_EQ(d_->pendingOp(), '-');
  Step(QStringLiteral("1"));
  EXPECT_EQ(Result(*d_), QStringLiteral("2.49"));

  // Esc leaves at once, and the total is shown again.
  Hotkey(entry_, Qt::Key_K);
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("复核 1/4"));
  entry_->setText(QStringLiteral("5-"));
  PressEnter(entry_);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("负号位置不正确，请检查！")});
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("复核 1/4")) << "a refused entry checks nothing";
  Hotkey(entry_, Qt::Key_Escape);
  EXPECT_FALSE(d_->checking());
  EXPECT_EQ(d_->windowTitle(), QStringLiteral("Zantor"));
  EXPECT_EQ(Result(*d_), QStringLiteral("2.49"));
  EXPECT_EQ(d_->pendingOp(), '-');
}

TEST_F(BookkeepingTest, AfterAZeroingThereIsNoRunToCheckAndTheSavedTotalStays) {
  Step(QStringLiteral("100"));
  yesNo_ = res::IDYES;
  Menu(res::kZeroResultCommand);
  Hotkey(entry_, Qt::Key_K);
  EXPECT_FALSE(d_->checking());
  EXPECT_EQ(Result(*d_), QStringLiteral("没有可复核的记录"));
  d_->close();
  EXPECT_EQ(ReadRows(DbPath(), "SELECT resu FROM resul;"), (Rows{{"0.00"}}));
}

TEST_F(BookkeepingTest, CapitalsGoOnTheClipboardAndShowBesideTheTotal) {
  Step(QStringLiteral("123456"));
  Hotkey(entry_, Qt::Key_D);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("壹仟贰佰叁拾肆元伍角陆分"));
  const auto* tip = d_->findChild<QLabel*>(QStringLiteral("capitals"));
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->text(), QStringLiteral("壹仟贰佰叁拾肆元伍角陆分"));
  EXPECT_EQ(entry_->text(), QString()) << "D types nothing";

  Hotkey(entry_, Qt::Key_Space);
  Hotkey(entry_, Qt::Key_Space);
  Step(QStringLiteral("5"));  // x 0.05: 61.728
  Hotkey(entry_, Qt::Key_D);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("陆拾壹元柒角叁分"));
  EXPECT_EQ(tip->text(), QStringLiteral("陆拾壹元柒角叁分\n已四舍五入到分"));

  Hotkey(entry_, Qt::Key_Z);
  Step(QStringLiteral("1000000000000000"));  // 61.728 x 10^15
  Hotkey(entry_, Qt::Key_D);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("陆拾壹元柒角叁分"));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, QStringLiteral("金额过大，无法写成大写"));
  EXPECT_EQ(boxes_[0].flags, platform::MB_OK | platform::MB_ICONWARNING);
}

}  // namespace
}  // namespace zantor::apptest
