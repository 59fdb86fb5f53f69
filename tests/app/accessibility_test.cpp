// What a screen reader is told of the dialogs, and the way out of the fields
// that keep Tab to themselves.
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app_test_support.h"
#include "platform/template_dialog.h"

namespace zantor::apptest {
namespace {

QString Name(QWidget* w) {
  return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

TEST(AccessibleTemplatesTest, EveryControlThatTakesTheFocusHasAName) {
  for (int id : {res::kAboutBoxTemplate, res::kMainTemplate, res::kFindTemplate,
                 res::kStartModeTemplate, res::kCorrectTemplate}) {
    platform::TemplateDialog d(id);
    int focusable = 0;
    for (QWidget* w : d.client()->findChildren<QWidget*>()) {
      if (!w->property("controlId").isValid() || w->focusPolicy() == Qt::NoFocus) continue;
      ++focusable;
      EXPECT_FALSE(Name(w).isEmpty())
          << "template " << id << " control " << w->property("controlId").toInt() << " "
          << w->metaObject()->className();
    }
    EXPECT_GT(focusable, 0) << "template " << id;
  }
}

TEST(AccessibleTemplatesTest, ListsAreNamedAndReadTheirEntriesAsWords) {
  struct Case {
    int templateId, listId;
    const char* name;
    std::vector<std::pair<const char*, const char*>> entries;  // shown, read
  };
  const Case cases[] = {
      {res::kFindTemplate,
       res::kFilterList,
       "筛选条件",
       {{"*", "乘"},
        {"+", "加"},
        {"-", "减"},
        {"<", "小于"},
        {"=", "等于"},
        {">", "大于"},
        {"全", "全部"}}},
      // Named by its linked label.
      {res::kCorrectTemplate,
       res::kCorrectOperatorList,
       "运算符",
       {{"＋", "加"}, {"－", "减"}, {"×", "乘"}}},
  };
  for (const Case& c : cases) {
    platform::TemplateDialog d(c.templateId);
    auto* list = d.ItemAs<QComboBox>(c.listId);
    ASSERT_EQ(list->count(), static_cast<int>(c.entries.size()));
    EXPECT_EQ(Name(list), QString::fromUtf8(c.name));
    for (int i = 0; i < list->count(); ++i) {
      SCOPED_TRACE(c.entries[static_cast<size_t>(i)].first);
      EXPECT_EQ(list->itemText(i), QString::fromUtf8(c.entries[static_cast<size_t>(i)].first));
      list->setCurrentIndex(i);
      EXPECT_EQ(QAccessible::queryAccessibleInterface(list)->text(QAccessible::Value),
                QString::fromUtf8(c.entries[static_cast<size_t>(i)].second));
    }
  }
  platform::TemplateDialog correct(res::kCorrectTemplate);
  EXPECT_EQ(Name(correct.Item(res::kCorrectEntryField)), QStringLiteral("数据"));
}

class AccessibleMainTest : public StartedDialogTest {};

TEST_F(AccessibleMainTest, NamesFollowOperatorMemoryAndTotal) {
  QWidget* op = d_->Item(res::kOperatorButton);
  EXPECT_EQ(Name(op), QStringLiteral("运算符：加"));
  const char* const words[] = {"减", "乘", "加"};
  for (const char* word : words) {
    d_->OnCycleOperator();
    EXPECT_EQ(Name(op), QStringLiteral("运算符：") + QString::fromUtf8(word));
  }
  Step(QStringLiteral("1229"));
  EXPECT_EQ(entry_->accessibleDescription(), QStringLiteral("结果 12.29，按 F6 切换到其他控件"));
  d_->OnStore();
  EXPECT_EQ(Name(d_->Item(res::kMemoryField)), QStringLiteral("记忆 12.29"));
}

TEST_F(AccessibleMainTest, F6LeavesTheEntryFieldWhereTabStays) {
  d_->show();
  d_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d_.get()));
  entry_->setFocus();
  QTest::keyClick(entry_, Qt::Key_Tab);
  EXPECT_TRUE(entry_->hasFocus());
  QTest::keyClick(entry_, Qt::Key_F6);
  EXPECT_EQ(QApplication::focusWidget(), d_->Item(res::kFindButton));
  entry_->setFocus();
  QTest::keyClick(entry_, Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), d_->Item(res::kEqualsButton));
  // Elsewhere Tab goes on in the tab order.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(entry_->hasFocus());
}

}  // namespace
}  // namespace zantor::apptest
