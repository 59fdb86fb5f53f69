#include "search/value_key_filter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>

#include "app/platform/numlock.h"
#include "input/clipboard.h"
#include "input/key_filter.h"
#include "input/paste.h"
#include "input/qt_keys.h"

namespace zantor::search {

using input::KeyAction;
using input::KeyMessage;
using input::Outcome;

ValueKeyFilter::ValueKeyFilter(QLineEdit* field, QObject* parent) : QObject(parent), field_(field) {
  field_->setAttribute(Qt::WA_InputMethodEnabled, false);
  field_->setAcceptDrops(false);
  field_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.\\-]*")), field_));
  field_->installEventFilter(this);
}

bool ValueKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (watched != field_) return false;
  KeyMessage message;
  int vk = 0;
  bool shift = false;
  bool ctrl = false;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      message = event->type() == QEvent::KeyPress ? KeyMessage::kKeyDown : KeyMessage::kKeyUp;
      vk = input::VirtualKeyFor(*key);
      shift = key->modifiers() & Qt::ShiftModifier;
      ctrl = key->modifiers() & Qt::ControlModifier;
      if (message == KeyMessage::kKeyUp && key->isAutoRepeat()) return false;
      break;
    }
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::RightButton) return false;
      message = KeyMessage::kRightButtonDown;
      break;
    case QEvent::ContextMenu:
      if (swallowContextMenu_) {
        swallowContextMenu_ = false;
        return true;
      }
      return false;
    default:
      return false;
  }

  const input::KeyDecision d =
      input::DecideValueKey(message, vk, shift, ctrl, field_->text().toStdString());
  switch (d.action) {
    case KeyAction::kPreparePaste: {
      const input::PasteResult r = input::PrepareValuePaste(input::ReadClipboard());
      if (r.newClipboard) input::WriteClipboard(*r.newClipboard);
      if (!r.goOn) {
        swallowContextMenu_ = message == KeyMessage::kRightButtonDown;
        return true;
      }
      break;
    }
    case KeyAction::kKeypadPoint:
      if (d.outcome != Outcome::kDrop) {
        field_->insert(QStringLiteral("."));
        return true;
      }
      break;
    case KeyAction::kToggleSign:
      field_->setText(QString::fromStdString(input::ToggleSign(field_->text().toStdString())));
      field_->setCursorPosition(static_cast<int>(field_->text().size()));
      break;
    case KeyAction::kNumLockGuard:
      platform::HoldNumLockOn();
      break;
    default:
      break;
  }
  return d.outcome == Outcome::kDrop;
}

}  // namespace zantor::search
