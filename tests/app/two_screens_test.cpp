// With two screens the window goes to the top right corner of the primary
// one, wherever that screen lies on the desktop.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "app_test_support.h"

namespace zantor::apptest {
namespace {

class TwoScreensTest : public CalcDialogTest {};

TEST_F(TwoScreensTest, WindowGoesToThePrimaryScreensCorner) {
  ASSERT_EQ(QGuiApplication::screens().size(), 2);
  ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(1024, 40, 1280, 800));
  auto d = Start(res::IDCANCEL);
  const QRect frame = d->frameGeometry();
  EXPECT_EQ(frame.top(), 41) << "one below the primary screen's top";
  // 355 pixels left of its right edge (1024 + 1280), or flush with that edge
  // when the dialog font makes the window wider.
  EXPECT_EQ(frame.left(), 2304 - std::max(355, frame.width()));
}

}  // namespace
}  // namespace zantor::apptest
