// Clipboards the user did not expect to paste: a megabyte of text, and
// contents without any text at all.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include "app_test_support.h"

namespace zantor::faults {
namespace {

using apptest::StartedDialogTest;

class ClipboardFaultTest : public StartedDialogTest {};

// A megabyte takes the too-long path like any text of 100 bytes or more:
// nothing is inserted, the message stands in the result field, and the
// clipboard holds the neutral operand. Digits alone are no exception.
TEST_F(ClipboardFaultTest, AMegabyteIsTooLong) {
  for (const QChar c : {QChar(u'x'), QChar(u'7'), QChar(0x5143)}) {
    SCOPED_TRACE(QString(c).toStdString());
    entry_->setText(QStringLiteral("5"));
    QGuiApplication::clipboard()->setText(QString(1 << 20, c));
    QElapsedTimer timer;
    timer.start();
    CtrlV();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(entry_->text(), QStringLiteral("5"));
    EXPECT_EQ(Result(*d_), QStringLiteral("粘贴的内容太长"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("0"));

    QGuiApplication::clipboard()->setText(QString(1 << 20, c));
    QTest::mousePress(entry_, Qt::RightButton);
    EXPECT_FALSE(ContextMenuOpens()) << "the press and its menu are dropped";
    QTest::mouseRelease(entry_, Qt::RightButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("0"));
  }
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(MyDataRows(), 0);
  // The message is not a number: a step afterwards replaces it.
  apptest::PressEnter(entry_);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.05"));
}

// A clipboard holding only a picture: no message, nothing pasted, and the
// picture stays on the clipboard (there was no text to clean).
TEST_F(ClipboardFaultTest, NoTextOnTheClipboard) {
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  auto* data = new QMimeData;
  data->setImageData(picture);
  QGuiApplication::clipboard()->setMimeData(data);
  ASSERT_FALSE(QGuiApplication::clipboard()->mimeData()->hasText());

  entry_->setText(QStringLiteral("12"));
  CtrlV();
  EXPECT_EQ(entry_->text(), QStringLiteral("12"));
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasImage());
  QTest::mousePress(entry_, Qt::RightButton);
  EXPECT_TRUE(ContextMenuOpens()) << "the field's own menu, which has nothing to paste";
  QTest::mouseRelease(entry_, Qt::RightButton);
  EXPECT_EQ(Result(*d_), QStringLiteral("0.00"));
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace zantor::faults
