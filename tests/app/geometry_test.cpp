// Every control where its dialog units put it, and the tab order of the
// template, in the real dialogs.
#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include "app_test_support.h"
#include "platform/dialog_units.h"
#include "platform/template_dialog.h"

namespace zantor::apptest {
namespace {

using platform::BaseUnits;
using platform::MapDialogRect;

TEST(DialogUnitsTest, MapsByTheBaseUnitsWithRounding) {
  EXPECT_EQ(MapDialogRect(BaseUnits{8, 16}, 30, 0, 135, 14), QRect(60, 0, 270, 28));
  EXPECT_EQ(MapDialogRect(BaseUnits{8, 16}, 165, 0, 6, 80), QRect(330, 0, 12, 160));
  // 52.5 -> 53, 48.75 -> 49, 195, 40.625 -> 41
  EXPECT_EQ(MapDialogRect(BaseUnits{6, 13}, 35, 30, 130, 25), QRect(53, 49, 195, 41));
  EXPECT_EQ(platform::MulDiv(5, 1, 2), 3);
  EXPECT_EQ(platform::MulDiv(-5, 1, 2), -3);
  EXPECT_EQ(platform::MulDiv(7, 1, 4), 2);
}

// The controls are the client area's children in template order; each sits
// where its dialog units say.
void ExpectLaidOutAsTemplate(const platform::TemplateDialog& d) {
  const res::DialogTemplate& t = d.dialogTemplate();
  SCOPED_TRACE("template " + std::to_string(t.id));
  const BaseUnits u = d.baseUnits();
  ASSERT_GT(u.x, 0);
  ASSERT_GT(u.y, 0);
  EXPECT_EQ(d.client()->size(), MapDialogRect(u, 0, 0, t.width, t.height).size());
  const QList<QWidget*> children = d.client()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(children.size(), static_cast<qsizetype>(t.controls.size()));
  for (size_t i = 0; i < t.controls.size(); ++i) {
    const res::ControlTemplate& c = t.controls[i];
    const QWidget* w = children[static_cast<qsizetype>(i)];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(c.id));
    EXPECT_EQ(w->property("controlId").toInt(), c.id);
    EXPECT_EQ(w->geometry(), MapDialogRect(u, c.x, c.y, c.width, c.height));
  }
}

class GeometryTest : public CalcDialogTest {};

TEST_F(GeometryTest, MainDialogControls) {
  auto d = Start(res::IDCANCEL);
  ExpectLaidOutAsTemplate(*d);
  const QRect menu = d->client()->geometry();
  EXPECT_EQ(d->size(), QSize(menu.width(), menu.bottom() + 1)) << "menu bar above the client";
}

TEST_F(GeometryTest, ChoiceDialogAndAboutBox) {
  bool sawChoice = false;
  onChoice_ = [&](QDialog& dialog) -> std::optional<int> {
    sawChoice = true;
    auto& t = dynamic_cast<platform::TemplateDialog&>(dialog);
    ExpectLaidOutAsTemplate(t);
    EXPECT_TRUE(t.ItemAs<QPushButton>(res::IDOK)->isDefault());
    EXPECT_FALSE(t.ItemAs<QPushButton>(res::IDCANCEL)->isDefault());
    EXPECT_FALSE(t.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(t.windowType(), Qt::Dialog) << "no taskbar button of its own";
    return res::IDCANCEL;
  };
  auto d = Start();
  EXPECT_TRUE(sawChoice);

  bool sawAbout = false;
  onOtherDialog_ = [&](QDialog& dialog) -> std::optional<int> {
    sawAbout = true;
    auto& t = dynamic_cast<platform::TemplateDialog&>(dialog);
    ExpectLaidOutAsTemplate(t);
    EXPECT_TRUE(t.ItemAs<QPushButton>(res::IDOK)->isDefault());
    return res::IDOK;
  };
  d->OnAboutAuthor();
  EXPECT_TRUE(sawAbout);
}

// The numbers themselves, for the offscreen platform's fonts on this system:
// the checks above would pass with base units or a rounding that were wrong
// in the same way on both sides.
TEST_F(GeometryTest, OffscreenFontsGiveTheseUnitsAndRectangles) {
  std::optional<BaseUnits> choiceUnits;
  QRect keep, clear;
  onChoice_ = [&](QDialog& dialog) -> std::optional<int> {
    auto& t = dynamic_cast<platform::TemplateDialog&>(dialog);
    choiceUnits = t.baseUnits();
    keep = t.Item(res::IDOK)->geometry();
    clear = t.Item(res::IDCANCEL)->geometry();
    return res::IDCANCEL;
  };
  auto d = Start();
  ASSERT_TRUE(choiceUnits.has_value());
  // The choice's font: 7 by 15 pixels. 保留上次数据 at 5,3 55x14 units:
  // 8.75, 5.625, 96.25, 26.25; 清除上次数据 at 70,3 50x14: 122.5 and 87.5.
  EXPECT_EQ(choiceUnits->x, 7);
  EXPECT_EQ(choiceUnits->y, 15);
  EXPECT_EQ(keep, QRect(9, 6, 96, 26));
  EXPECT_EQ(clear, QRect(123, 6, 88, 26));

  // The main window's font: 9 by 19. The client is 171x80 units; the entry
  // 30,0 135x14; the result 35,30 130x25; the trackbar 165,0 6x80; "=" at
  // 145,15 15x10.
  EXPECT_EQ(d->baseUnits().x, 9);
  EXPECT_EQ(d->baseUnits().y, 19);
  EXPECT_EQ(d->client()->size(), QSize(385, 190));
  EXPECT_EQ(d->Item(res::kEntryField)->geometry(), QRect(68, 0, 304, 33));
  EXPECT_EQ(d->Item(res::kResultField)->geometry(), QRect(79, 71, 293, 59));
  EXPECT_EQ(d->Item(res::kOpacitySlider)->geometry(), QRect(371, 0, 14, 190));
  EXPECT_EQ(d->Item(res::kEqualsButton)->geometry(), QRect(326, 36, 34, 24));
}

// Captions must not be clipped by the sizes the dialog units give.
TEST_F(GeometryTest, CaptionsFitTheirControls) {
  auto d = Start(res::IDCANCEL);
  for (int id : {res::kFastModeRadio, res::kNormalModeRadio, res::kFindButton, res::kExportButton,
                 res::kOperatorButton, res::kLastEntryButton, res::kMemoryStoreButton,
                 res::kMemoryRecallButton, res::kEqualsButton}) {
    QWidget* w = d->Item(id);
    const QString text = d->GetDlgItemText(id);
    int needed = w->fontMetrics().horizontalAdvance(text);
    if (qobject_cast<QRadioButton*>(w) != nullptr) {
      needed += w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                w->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w);
    }
    EXPECT_LE(needed, w->width()) << id << " " << text.toStdString();
  }
}

TEST_F(GeometryTest, TabOrderFollowsTheTemplate) {
  auto d = Start(res::IDCANCEL);
  const std::vector<int> expected = {
      res::kEntryField,        res::kFindButton,         res::kExportButton,
      res::kOpacitySlider,     res::kOperatorButton,     res::kLastEntryButton,
      res::kMemoryStoreButton, res::kMemoryRecallButton, res::kEqualsButton};

  std::vector<int> chain;
  QWidget* w = Entry(*d);
  do {
    const QVariant id = w->property("controlId");
    if (id.isValid() && w->parentWidget() == d->client() && (w->focusPolicy() & Qt::TabFocus)) {
      chain.push_back(id.toInt());
    }
    w = w->nextInFocusChain();
  } while (w != Entry(*d) && chain.size() < 50);
  EXPECT_EQ(chain, expected);

  // And with real Tab presses, from the first button round to the entry field.
  d->show();
  d->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
  d->Item(res::kFindButton)->setFocus();
  std::vector<int> visited = {res::kFindButton};
  for (size_t i = 0; i + 1 < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget()->property("controlId").toInt());
  }
  EXPECT_EQ(visited,
            (std::vector<int>{res::kFindButton, res::kExportButton, res::kOpacitySlider,
                              res::kOperatorButton, res::kLastEntryButton, res::kMemoryStoreButton,
                              res::kMemoryRecallButton, res::kEqualsButton, res::kEntryField}));
}

}  // namespace
}  // namespace zantor::apptest
