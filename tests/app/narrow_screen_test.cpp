// On a screen narrower than the dialog's distance from the right edge the
// window goes to the left edge instead of off the screen.
#include <QGuiApplication>
#include <QScreen>

#include "app_test_support.h"

namespace zantor::apptest {
namespace {

class NarrowScreenTest : public CalcDialogTest {};

TEST_F(NarrowScreenTest, WindowStaysOnTheScreen) {
  ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().width(), ZANTOR_TEST_SCREEN_WIDTH);
  auto d = Start(res::IDCANCEL);
  EXPECT_EQ(d->pos(), QPoint(0, 1));
}

}  // namespace
}  // namespace zantor::apptest
