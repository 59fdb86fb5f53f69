#include "input/entry_key_filter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>

#include "input/clipboard.h"
#include "input/key_filter.h"
#include "input/paste.h"
#include "input/qt_keys.h"

namespace zantor::input {

EntryKeyFilter::EntryKeyFilter(QLineEdit* entry, EntryCommands* commands)
    : QObject(entry), entry_(entry), commands_(commands) {
  // The field only ever holds the characters of a number: input methods,
  // drops and anything typed past the table are kept out as well.
  entry_->setAttribute(Qt::WA_InputMethodEnabled, false);
  entry_->setAcceptDrops(false);
  entry_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.\\-]*")), entry_));
  entry_->installEventFilter(this);
}

bool EntryKeyFilter::PastePermitted() {
  const PasteResult r =
      PreparePaste(ReadClipboard(), commands_->pendingOp(), commands_->entryMode());
  if (r.newClipboard) WriteClipboard(*r.newClipboard);
  if (!r.message.empty()) commands_->ShowPasteMessage(QString::fromStdString(r.message));
  return r.goOn;
}

bool EntryKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (watched != entry_) return false;
  KeyMessage message;
  int vk = 0;
  bool shift = false;
  bool ctrl = false;
  const QKeyEvent* key = nullptr;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      key = static_cast<QKeyEvent*>(event);
      message = event->type() == QEvent::KeyPress ? KeyMessage::kKeyDown : KeyMessage::kKeyUp;
      vk = VirtualKeyFor(*key);
      shift = key->modifiers() & Qt::ShiftModifier;
      ctrl = key->modifiers() & Qt::ControlModifier;
      // A held hotkey acts once, on its real release.
      if (message == KeyMessage::kKeyUp && key->isAutoRepeat()) return true;
      break;
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

  const KeyDecision d = DecideEntryKey(message, vk, shift, ctrl, commands_->entryMode(),
                                       entry_->text().toStdString());
  switch (d.action) {
    case KeyAction::kEvaluate:
      commands_->EvaluateStep();
      break;
    case KeyAction::kPreparePaste:
      if (!PastePermitted()) {
        swallowContextMenu_ = message == KeyMessage::kRightButtonDown;
        return true;
      }
      break;
    case KeyAction::kKeypadPoint:
      // Whatever the layout puts on the keypad's decimal key, it types a point.
      if (d.outcome != Outcome::kDrop) {
        entry_->insert(QStringLiteral("."));
        return true;
      }
      break;
    case KeyAction::kCycleOperator:
      commands_->OnCycleOperator();
      break;
    case KeyAction::kStore:
      commands_->OnStore();
      break;
    case KeyAction::kRecall:
      commands_->OnRecall();
      break;
    case KeyAction::kToggleMode:
      commands_->ToggleEntryMode();
      break;
    case KeyAction::kFind:
      commands_->OnFind();
      break;
    case KeyAction::kToggleSign:
      entry_->setText(QString::fromStdString(ToggleSign(entry_->text().toStdString())));
      entry_->setCursorPosition(static_cast<int>(entry_->text().size()));
      break;
    case KeyAction::kNumLockGuard:
      commands_->HoldNumLockOn();
      break;
    case KeyAction::kNone:
      break;
  }
  return d.outcome == Outcome::kDrop;
}

}  // namespace zantor::input
