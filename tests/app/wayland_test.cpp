// The main dialog on Wayland itself, where a client can neither place its
// window nor make it see-through and there is no X server for NumLock: it
// must still work and say nothing about what it cannot do.
#include <QGuiApplication>
#include <QLineEdit>
#include <QSlider>
#include <QStringList>
#include <QTest>
#include <QWheelEvent>

#include "app_test_support.h"
#include "platform/numlock.h"

namespace zantor::apptest {
namespace {

QStringList& Said() {
  static QStringList said;
  return said;
}

void Collect(QtMsgType, const QMessageLogContext&, const QString& message) { Said() << message; }

class WaylandTest : public CalcDialogTest {
 protected:
  void SetUp() override {
    CalcDialogTest::SetUp();
    Said().clear();
    previous_ = qInstallMessageHandler(Collect);
  }
  void TearDown() override {
    qInstallMessageHandler(previous_);
    CalcDialogTest::TearDown();
  }

  QtMessageHandler previous_ = nullptr;
};

TEST_F(WaylandTest, RunsQuietlyWithoutPlacementOpacityOrNumLock) {
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
  auto d = Start(res::IDCANCEL);
  d->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));

  auto* slider = d->ItemAs<QSlider>(res::kOpacitySlider);
  const QPointF at(2, 2);
  QWheelEvent wheel(at, d->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(d->Item(res::kResultField), &wheel);
  EXPECT_EQ(slider->value(), 205) << "the wheel still steps the slider";
  slider->setValue(100);
  EXPECT_EQ(slider->value(), 100);

  d->HoldNumLockOn();
  EXPECT_FALSE(platform::NumLockIsOn());

  TypeText(Entry(*d), QStringLiteral("1234"));
  PressEnter(Entry(*d));
  EXPECT_EQ(Result(*d), QStringLiteral("12.34"));
  QTest::qWait(100);  // let the compositor answer what was asked of it
  d->close();
  EXPECT_TRUE(Said().isEmpty()) << Said().join(QStringLiteral("\n")).toStdString();
}

}  // namespace
}  // namespace zantor::apptest
