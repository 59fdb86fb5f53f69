// Every control where its dialog units put it, and the tab order of the
// template, in the real dialogs.
#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include "app/platform/dialog_units.h"
#include "app/platform/template_dialog.h"
#include "app_test_support.h"

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
    EXPECT_EQ(t.GetDlgItemText(res::IDOK), QStringLiteral("保留上次数据"));
    EXPECT_EQ(t.GetDlgItemText(res::IDCANCEL), QStringLiteral("清除上次数据"));
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
    EXPECT_EQ(t.GetDlgItemText(res::IDOK), QStringLiteral("确定"));
    return res::IDOK;
  };
  d->OnAboutAuthor();
  EXPECT_TRUE(sawAbout);
}

// Captions must not be clipped by the sizes the dialog units give.
TEST_F(GeometryTest, CaptionsFitTheirControls) {
  auto d = Start(res::IDCANCEL);
  for (int id : {1002, 1003, 1004, 1005, 1007, 1010, 1012, 1013, 1015}) {
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
  const std::vector<int> expected = {1000, 1004, 1005, 1006, 1007, 1010, 1012, 1013, 1015};

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
  d->Item(1004)->setFocus();
  std::vector<int> visited = {1004};
  for (size_t i = 0; i + 1 < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget()->property("controlId").toInt());
  }
  EXPECT_EQ(visited, (std::vector<int>{1004, 1005, 1006, 1007, 1010, 1012, 1013, 1015, 1000}));
}

}  // namespace
}  // namespace zantor::apptest
