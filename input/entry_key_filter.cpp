#include "input/entry_key_filter.h"

#include <QLineEdit>

namespace zantor::input {

EntryKeyFilter::EntryKeyFilter(QLineEdit* entry, EntryCommands* commands)
    : NumberFieldFilter(entry, entry), commands_(commands) {}

KeyDecision EntryKeyFilter::Decide(KeyMessage message, int vk, bool shift, bool ctrl) const {
  if (message == KeyMessage::kKeyUp) {
    if (const KeyAction added = AddedEntryRelease(vk); added != KeyAction::kNone) {
      return {Outcome::kDrop, added};
    }
  }
  return DecideEntryKey(message, vk, shift, ctrl, commands_->entryMode(),
                        field()->text().toStdString());
}

PasteResult EntryKeyFilter::CleanPaste(const ClipboardView& clipboard) {
  PasteResult r = PreparePaste(clipboard, commands_->pendingOp(), commands_->entryMode());
  if (!r.message.empty()) commands_->ShowPasteMessage(QString::fromStdString(r.message));
  return r;
}

void EntryKeyFilter::Act(KeyAction action) {
  switch (action) {
    case KeyAction::kEvaluate:
      commands_->EvaluateStep();
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
    case KeyAction::kToggleTape:
      commands_->OnToggleTape();
      break;
    case KeyAction::kNumLockGuard:
      commands_->HoldNumLockOn();
      break;
    case KeyAction::kCheckRun:
      commands_->CheckRun();
      break;
    case KeyAction::kCapitals:
      commands_->CopyCapitals();
      break;
    case KeyAction::kLeaveCheck:
      commands_->LeaveCheck();
      break;
    default:
      break;
  }
}

}  // namespace zantor::input
