#include "platform/accessible_list.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace zantor::platform {
namespace {

class TemplateList : public QAccessibleWidget {
 public:
  explicit TemplateList(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {
    addControllingSignal(QStringLiteral("activated(int)"));
  }

  QComboBox* box() const { return static_cast<QComboBox*>(widget()); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) {
      const QString word = box()->currentData(Qt::AccessibleTextRole).toString();
      return word.isEmpty() ? box()->currentText() : word;
    }
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      const QString label = QAccessibleWidget::text(t);  // the linked label's text
      return label.isEmpty() ? text(QAccessible::Value) : label;
    }
    return QAccessibleWidget::text(t);
  }

  // The open list is the one child, as for any drop-down list.
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == box()->view() ? 0 : -1;
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = box()->view()->isVisible();
    s.collapsed = !s.expanded;
    return s;
  }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == showMenuAction() || action == pressAction()) {
      if (box()->view()->isVisible()) {
        box()->hidePopup();
      } else {
        box()->showPopup();
      }
      return;
    }
    QAccessibleWidget::doAction(action);
  }
};

QAccessibleInterface* ListFactory(const QString& className, QObject* object) {
  // Only the template's lists: they carry their control id.
  if (className != QLatin1String("QComboBox") || !object->property("controlId").isValid()) {
    return nullptr;
  }
  auto* box = qobject_cast<QComboBox*>(object);
  return box != nullptr && !box->isEditable() ? new TemplateList(box) : nullptr;
}

}  // namespace

void DescribeTemplateListsByName() {
  static const bool installed = [] {
    QAccessible::installFactory(ListFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace zantor::platform
