// The opacity slider and the mouse wheel over the main dialog.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "app_test_support.h"
#include "platform/opacity.h"

namespace zantor::apptest {
namespace {

TEST(WheelStepTest, StepsByFiveAndWraps) {
  struct Case {
    int position, delta, expected;
  };
  const Case cases[] = {
      {200, 120, 205},
      {200, -120, 195},
      {250, 120, 255},
      {255, 120, 75},
      {75, -120, 255},
      {80, -120, 75},
      {75, 120, 80},
      {200, 240, 205},
      {200, -1, 195},
      {200, 0, 200},
      // Off the grid of fives, after a drag: the step would leave the range.
      {251, 120, 75},
      {254, 120, 75},
      {76, -120, 75},
      {79, -120, 75},
      {77, 120, 82},
      {253, -120, 248},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::WheelStep(c.position, c.delta), c.expected)
        << c.position << " by " << c.delta;
  }
  // The full cycle visits 37 positions and comes back.
  int p = 200;
  for (int i = 0; i < 37; ++i) p = platform::WheelStep(p, 120);
  EXPECT_EQ(p, 200);
}

class OpacityTest : public CalcDialogTest {
 protected:
  void SetUp() override {
    CalcDialogTest::SetUp();
    d_ = Start(res::IDCANCEL);
    slider_ = d_->ItemAs<QSlider>(res::kOpacitySlider);
    ASSERT_NE(slider_, nullptr);
  }

  static void Wheel(QWidget* over, int delta) {
    const QPointF at(2, 2);
    QWheelEvent e(at, over->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(over, &e);
  }

  void ExpectAlpha(int alpha) {
    EXPECT_EQ(slider_->value(), alpha);
    EXPECT_NEAR(d_->windowOpacity(), alpha / 255.0, 0.5 / 255.0);
  }

  std::unique_ptr<CCalcDlg> d_;
  QSlider* slider_ = nullptr;
};

TEST_F(OpacityTest, SliderStartsAtTwoHundred) {
  EXPECT_EQ(slider_->orientation(), Qt::Vertical);
  EXPECT_EQ(slider_->minimum(), 75);
  EXPECT_EQ(slider_->maximum(), 255);
  EXPECT_EQ(slider_->singleStep(), 5);
  EXPECT_EQ(slider_->pageStep(), 5);
  EXPECT_EQ(slider_->tickPosition(), QSlider::NoTicks);
  ExpectAlpha(200);
}

TEST_F(OpacityTest, WheelAnywhereStepsTheSlider) {
  Wheel(d_->Item(res::kFindButton), 120);
  ExpectAlpha(205);
  Wheel(d_.get(), -120);
  ExpectAlpha(200);
  Wheel(Entry(*d_), -120);
  ExpectAlpha(195);
  // Over the slider itself: one step of five too, not the slider's own scroll.
  Wheel(slider_, 120);
  ExpectAlpha(200);
  Wheel(d_->Item(res::kOpacitySlider), 0);
  Wheel(d_->client(), 0);
  ExpectAlpha(200);

  slider_->setValue(255);
  Wheel(d_->client(), 120);
  ExpectAlpha(75);
  Wheel(d_->client(), -120);
  ExpectAlpha(255);
}

// A touchpad sends a gesture as many small deltas: their sum steps once per
// notch's worth (120), whichever way it goes, and a fast wheel's two notches
// in one event are two steps.
TEST_F(OpacityTest, SmallDeltasAddUpToNotches) {
  for (int i = 0; i < 11; ++i) Wheel(d_->client(), 10);
  ExpectAlpha(200);
  Wheel(d_->client(), 10);
  ExpectAlpha(205);
  for (int i = 0; i < 48; ++i) Wheel(d_->Item(res::kFindButton), 5);
  ExpectAlpha(215);
  Wheel(d_->client(), 60);
  for (int i = 0; i < 10; ++i) Wheel(d_->client(), -15);
  ExpectAlpha(215);  // 60 up, 150 down: not yet a whole notch down
  Wheel(d_->client(), -30);
  ExpectAlpha(210);
  Wheel(d_->client(), 240);
  ExpectAlpha(220);
  Wheel(d_->client(), 119);
  Wheel(d_->client(), -119);
  ExpectAlpha(220);
}

TEST_F(OpacityTest, DraggedOffTheGridStaysInRange) {
  slider_->setValue(252);
  ExpectAlpha(252);
  Wheel(d_->client(), 120);
  ExpectAlpha(75);
}

// The slider's minimum is at the top: Up and Page Up move the thumb up, that
// is toward 75, Down and Page Down toward 255, and each applies at once.
TEST_F(OpacityTest, KeysOnTheSliderMoveTheThumbTheirWay) {
  const struct {
    Qt::Key key;
    int expected;
  } cases[] = {{Qt::Key_Up, 195},       {Qt::Key_Down, 205}, {Qt::Key_PageUp, 195},
               {Qt::Key_PageDown, 205}, {Qt::Key_Home, 75},  {Qt::Key_End, 255}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    slider_->setValue(200);
    QTest::keyClick(slider_, c.key);
    ExpectAlpha(c.expected);
  }
  // A click on the track pages toward the click.
  slider_->setValue(200);
  QTest::mouseClick(slider_, Qt::LeftButton, {},
                    QPoint(slider_->width() / 2, slider_->height() - 2));
  ExpectAlpha(205);
  QTest::mouseClick(slider_, Qt::LeftButton, {}, QPoint(slider_->width() / 2, 2));
  ExpectAlpha(200);
}

// A result field with more lines than it shows scrolls with the wheel; one
// that fits passes the wheel on to the slider.
TEST_F(OpacityTest, ScrollableResultFieldKeepsItsWheel) {
  d_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d_.get()));
  auto* result = d_->ItemAs<QPlainTextEdit>(res::kResultField);
  Wheel(result->viewport(), 120);
  ExpectAlpha(205);

  result->setPlainText(QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9\n10"));
  QCoreApplication::processEvents();
  ASSERT_GT(result->verticalScrollBar()->maximum(), 0);
  Wheel(result->viewport(), -120);
  ExpectAlpha(205);
}

}  // namespace
}  // namespace zantor::apptest
