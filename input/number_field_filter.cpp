#include "input/number_field_filter.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpressionValidator>

#include "input/clipboard.h"
#include "input/qt_keys.h"

namespace zantor::input {

NumberFieldFilter::NumberFieldFilter(QLineEdit* field, QObject* parent)
    : QObject(parent), field_(field) {
  // Input methods, drops and anything typed past the table are kept out too.
  field_->setAttribute(Qt::WA_InputMethodEnabled, false);
  field_->setAcceptDrops(false);
  field_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.\\-]*")), field_));
  field_->installEventFilter(this);
}

bool NumberFieldFilter::eventFilter(QObject* watched, QEvent* event) {
  if (watched != field_) return false;
  KeyMessage message;
  int vk = 0;
  bool shift = false;
  bool ctrl = false;
  bool repeatedRelease = false;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_F6) {
        // The field keeps Tab to itself: F6 and Shift+F6 are the way out.
        if (event->type() == QEvent::KeyPress &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
          LeaveField(!(key->modifiers() & Qt::ShiftModifier));
        }
        return true;
      }
      message = event->type() == QEvent::KeyPress ? KeyMessage::kKeyDown : KeyMessage::kKeyUp;
      vk = VirtualKeyFor(*key);
      shift = key->modifiers() & Qt::ShiftModifier;
      ctrl = key->modifiers() & Qt::ControlModifier;
      // Auto-repeat comes as press/release pairs: a held key acts once, on its
      // real release.
      repeatedRelease = message == KeyMessage::kKeyUp && key->isAutoRepeat();
      break;
    }
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::RightButton) return false;
      message = KeyMessage::kRightButtonDown;
      break;
    case QEvent::MouseButtonRelease:
      // The middle button pastes the primary selection where there is one.
      if (static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton ||
          !QGuiApplication::clipboard()->supportsSelection() || field_->isReadOnly()) {
        return false;
      }
      field_->deselect();
      PasteFrom(QClipboard::Selection);
      return true;
    case QEvent::ContextMenu:
      if (swallowContextMenu_) {
        swallowContextMenu_ = false;
      } else {
        ShowContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
      }
      return true;
    default:
      return false;
  }

  const KeyDecision d = Decide(message, vk, shift, ctrl);
  if (repeatedRelease) return d.outcome == Outcome::kDrop;
  switch (d.action) {
    case KeyAction::kPreparePaste:
      if (!CleanClipboard(QClipboard::Clipboard)) {
        swallowContextMenu_ = message == KeyMessage::kRightButtonDown;
        return true;
      }
      break;
    case KeyAction::kKeypadPoint:
      // Whatever the layout puts on the keypad's decimal key, it types a point.
      if (d.outcome != Outcome::kDrop) {
        field_->insert(QStringLiteral("."));
        return true;
      }
      break;
    case KeyAction::kToggleSign:
      field_->setText(QString::fromStdString(ToggleSign(field_->text().toStdString())));
      field_->setCursorPosition(static_cast<int>(field_->text().size()));
      break;
    case KeyAction::kNone:
      break;
    default:
      Act(d.action);
      break;
  }
  return d.outcome == Outcome::kDrop;
}

void NumberFieldFilter::LeaveField(bool forward) {
  // The window moves the focus as Tab would there, in its own tab order.
  QKeyEvent tab(QEvent::KeyPress, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                forward ? Qt::NoModifier : Qt::ShiftModifier);
  QCoreApplication::sendEvent(field_->window(), &tab);
}

bool NumberFieldFilter::CleanClipboard(QClipboard::Mode mode) {
  const PasteResult r = CleanPaste(ReadClipboard(mode));
  if (r.newClipboard) WriteClipboard(*r.newClipboard, mode);
  return r.goOn;
}

void NumberFieldFilter::PasteFrom(QClipboard::Mode mode) {
  if (!CleanClipboard(mode)) return;
  if (mode == QClipboard::Clipboard) {
    field_->paste();
  } else {
    field_->insert(QGuiApplication::clipboard()->text(mode));
  }
}

// The field's own menu, except that its Paste cleans first: the clipboard may
// have changed since the right button cleaned it, and the Menu key opens the
// menu without any click.
void NumberFieldFilter::ShowContextMenu(const QPoint& globalPos) {
  QMenu* menu = field_->createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // The toolkit names none of the menu's actions: Paste is known by its text,
  // translated as the toolkit translates it, shortcut after a tab.
  const QString pasteText = QCoreApplication::translate("QLineEdit", "&Paste");
  for (QAction* action : menu->actions()) {
    if (action->text().section(QLatin1Char('\t'), 0, 0) != pasteText) continue;
    disconnect(action, &QAction::triggered, nullptr, nullptr);
    connect(action, &QAction::triggered, this, [this] { PasteFrom(QClipboard::Clipboard); });
  }
  menu->popup(globalPos);
}

}  // namespace zantor::input
