#include "platform/template_dialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTextOption>
#include <algorithm>

#include "platform/accessible_list.h"
#include "platform/desktop.h"
#include "res/app_icon.h"

namespace zantor::platform {
namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

TemplateDialog::TemplateDialog(int templateId, QWidget* parent,
                               const CustomControlFactory& makeCustom)
    : QDialog(parent), template_(&res::Template(templateId)) {
  const res::DialogTemplate& t = *template_;
  setWindowTitle(Q(t.caption));
  setFont(DialogFont(Q(t.fontFace), t.pointSize));
  units_ = BaseUnitsFor(font());
  // Some taskbars leave dialog-type windows out; a window that asks for a
  // taskbar button is an ordinary top-level window instead.
  Qt::WindowFlags flags =
      (t.appWindow ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (t.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (t.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
  setWindowFlags(flags);
  setWindowIcon(res::AppIcon());

  BuildMenu();
  client_ = new QWidget(this);
  const QRect area = MapDialogRect(units_, 0, 0, t.width, t.height);
  const int top = menuBar_ != nullptr ? menuBar_->sizeHint().height() : 0;
  if (menuBar_ != nullptr) menuBar_->setGeometry(0, 0, area.width(), top);
  client_->setGeometry(0, top, area.width(), area.height());
  setFixedSize(area.width(), area.height() + top);
  BuildControls(makeCustom);
}

void TemplateDialog::BuildMenu() {
  const auto items = res::Menu(template_->menuId);
  if (items.empty()) return;
  menuBar_ = new QMenuBar(this);
  menuBar_->setNativeMenuBar(false);
  std::vector<QMenu*> dropDowns(items.size(), nullptr);
  for (size_t i = 0; i < items.size(); ++i) {
    const res::MenuItem& item = items[i];
    QAction* action = nullptr;
    if (item.commandId == 0) {
      dropDowns[i] = menuBar_->addMenu(Q(item.text));
      continue;
    }
    if (item.parentIndex < 0) {
      action = menuBar_->addAction(Q(item.text));
    } else {
      action = dropDowns[static_cast<size_t>(item.parentIndex)]->addAction(Q(item.text));
    }
    const int id = item.commandId;
    commands_.emplace_back(id, action);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
}

void TemplateDialog::BuildControls(const CustomControlFactory& makeCustom) {
  DescribeTemplateListsByName();
  QWidget* previousTabStop = nullptr;
  QLabel* labelFor = nullptr;
  for (const res::ControlTemplate& c : template_->controls) {
    QWidget* w = nullptr;
    const QString text = Q(c.text);
    switch (c.cls) {
      case res::ControlClass::kEdit:
        if (c.style & res::kMultiLine) {
          auto* e = new QPlainTextEdit(client_);
          e->setReadOnly(c.style & res::kReadOnly);
          e->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
          QTextOption option = e->document()->defaultTextOption();
          option.setAlignment((c.style & res::kRightAlign) ? Qt::AlignRight : Qt::AlignLeft);
          option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
          e->document()->setDefaultTextOption(option);
          e->setVerticalScrollBarPolicy((c.style & res::kVerticalScroll) ? Qt::ScrollBarAlwaysOn
                                                                         : Qt::ScrollBarAlwaysOff);
          e->setPlainText(text);
          w = e;
        } else {
          auto* e = new QLineEdit(text, client_);
          e->setReadOnly(c.style & res::kReadOnly);
          if (c.style & res::kRightAlign) e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
          w = e;
        }
        break;
      case res::ControlClass::kRadio:
        w = new QRadioButton(text, client_);
        break;
      case res::ControlClass::kPushButton:
      case res::ControlClass::kDefPushButton: {
        auto* b = new QPushButton(text, client_);
        // Only the template names a default button. The toolkit would also
        // make the first button one when the dialog shows, and keep the last
        // focused one as the default after the focus has moved on, so that
        // Enter on a slider or a read-only field would press it.
        b->setAutoDefault(false);
        b->setDefault(c.cls == res::ControlClass::kDefPushButton);
        const int id = c.id;
        connect(b, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        w = b;
        break;
      }
      case res::ControlClass::kStatic: {
        auto* l = new QLabel(text, client_);
        l->setTextFormat(Qt::PlainText);
        w = l;
        break;
      }
      case res::ControlClass::kIcon: {
        auto* l = new QLabel(client_);
        const QRect r = MapDialogRect(units_, c.x, c.y, c.width, c.height);
        l->setPixmap(res::AppIcon().pixmap(std::min(r.width(), r.height())));
        w = l;
        break;
      }
      case res::ControlClass::kTrackbar: {
        auto* s = new QSlider((c.style & res::kVertical) ? Qt::Vertical : Qt::Horizontal, client_);
        s->setTickPosition(QSlider::NoTicks);
        // A vertical trackbar has its minimum at the top, and its Up and
        // Page Up keys move the thumb up, toward the minimum.
        s->setInvertedAppearance(c.style & res::kVertical);
        s->setInvertedControls(c.style & res::kVertical);
        w = s;
        break;
      }
      case res::ControlClass::kComboBox: {
        auto* box = new QComboBox(client_);
        // Before anything can ask how the list is described (see accessible_list.h).
        box->setProperty("controlId", c.id);
        const QStringList words = Q(c.accessible.items).split(QLatin1Char('\n'));
        std::vector<std::pair<QString, QString>> entries;
        for (const QString& entry : text.split(QLatin1Char('\n'))) {
          const auto i = static_cast<qsizetype>(entries.size());
          entries.emplace_back(entry, i < words.size() ? words[i] : QString());
        }
        if (c.style & res::kSorted) {
          std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return a.first.toUtf8() < b.first.toUtf8();
          });
        }
        for (const auto& [entry, word] : entries) {
          box->addItem(entry);
          if (!word.isEmpty()) box->setItemData(box->count() - 1, word, Qt::AccessibleTextRole);
        }
        w = box;
        break;
      }
      case res::ControlClass::kBrowser:
        w = makeCustom ? makeCustom(c, client_) : new QWidget(client_);
        break;
    }
    QRect r = MapDialogRect(units_, c.x, c.y, c.width, c.height);
    // A drop-down list's template height is its open list; the closed box
    // keeps the toolkit's own height.
    if (c.cls == res::ControlClass::kComboBox) r.setHeight(w->sizeHint().height());
    w->setGeometry(r);
    w->setProperty("controlId", c.id);
    if (!c.accessible.name.empty()) w->setAccessibleName(Q(c.accessible.name));
    if (!c.accessible.description.empty()) {
      w->setAccessibleDescription(Q(c.accessible.description));
    }
    if (labelFor != nullptr) labelFor->setBuddy(w);
    // A list's open entries are read under the list's own name.
    if (auto* box = qobject_cast<QComboBox*>(w)) {
      box->view()->setAccessibleName(labelFor != nullptr ? labelFor->text() : Q(c.accessible.name));
    }
    labelFor = c.style & res::kNamesNext ? qobject_cast<QLabel*>(w) : nullptr;
    if (c.style & res::kHidden) w->hide();
    if (c.style & res::kTabStop) {
      w->setFocusPolicy(Qt::StrongFocus);
      if (previousTabStop != nullptr) setTabOrder(previousTabStop, w);
      previousTabStop = w;
    } else if (c.cls == res::ControlClass::kStatic || c.cls == res::ControlClass::kIcon) {
      w->setFocusPolicy(Qt::NoFocus);
    } else {
      w->setFocusPolicy(Qt::ClickFocus);
    }
    items_.emplace_back(c.id, w);
  }
}

QWidget* TemplateDialog::Item(int id) const {
  for (const auto& [itemId, w] : items_) {
    if (itemId == id) return w;
  }
  return nullptr;
}

TemplateDialog::AccessibleTexts TemplateDialog::AccessibleText(int id) const {
  for (const res::ControlTemplate& c : template_->controls) {
    if (c.id == id) return {Q(c.accessible.name), Q(c.accessible.description)};
  }
  return {};
}

void TemplateDialog::SetDlgItemText(int id, const QString& text) {
  QWidget* w = Item(id);
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(text);
  } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
    p->setPlainText(text);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(text);
  }
}

QString TemplateDialog::GetDlgItemText(int id) const {
  QWidget* w = Item(id);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  return {};
}

void TemplateDialog::BindText(int id, QString* member) { bound_.emplace_back(id, member); }

void TemplateDialog::UpdateData(bool saveAndValidate) {
  for (const auto& [id, member] : bound_) {
    if (saveAndValidate) {
      *member = GetDlgItemText(id);
    } else if (GetDlgItemText(id) != *member) {
      SetDlgItemText(id, *member);
    }
  }
}

QAction* TemplateDialog::MenuCommand(int commandId) const {
  for (const auto& [id, action] : commands_) {
    if (id == commandId) return action;
  }
  return nullptr;
}

void TemplateDialog::OnCommand(int id) {
  if (id == res::IDOK) accept();
  if (id == res::IDCANCEL) reject();
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
  // Enter presses the push button that has the focus; anywhere else it
  // presses the template's default button, if it names one.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers other = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && other == Qt::NoModifier) {
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    if (focused != nullptr && focused->isEnabled() && client_->isAncestorOf(focused)) {
      focused->click();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
  if (closeAnswer_ && isVisible()) {
    done(*closeAnswer_);
    event->accept();
    return;
  }
  QDialog::closeEvent(event);
}

void TemplateDialog::accept() { done(res::IDOK); }
void TemplateDialog::reject() { done(res::IDCANCEL); }

int TemplateDialog::DoModal() { return RunModal(*this); }

}  // namespace zantor::platform
