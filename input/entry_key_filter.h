// The main dialog's entry field: the entry key table, the paste cleaning with
// its messages in the result field, and the hotkeys, wired to Qt events.
#pragma once

#include <QString>

#include "input/number_field_filter.h"

class QLineEdit;

namespace zantor::input {

class EntryCommands {
 public:
  virtual ~EntryCommands() = default;
  virtual char entryMode() const = 0;
  virtual char pendingOp() const = 0;
  virtual void EvaluateStep() = 0;
  virtual void OnCycleOperator() = 0;
  virtual void OnStore() = 0;
  virtual void OnRecall() = 0;
  virtual void ToggleEntryMode() = 0;
  virtual void OnFind() = 0;
  virtual void OnToggleTape() {}
  // A paste problem is reported in the result field.
  virtual void ShowPasteMessage(const QString& message) = 0;
  // Keeps the keypad sending digits; a no-op where the desktop has no NumLock.
  virtual void HoldNumLockOn() = 0;
  // Keys released beyond the original table (AddedEntryRelease).
  virtual void CheckRun() {}
  virtual void CopyCapitals() {}
  virtual void LeaveCheck() {}
};

class EntryKeyFilter : public NumberFieldFilter {
  Q_OBJECT
 public:
  EntryKeyFilter(QLineEdit* entry, EntryCommands* commands);

 protected:
  KeyDecision Decide(KeyMessage message, int vk, bool shift, bool ctrl) const override;
  PasteResult CleanPaste(const ClipboardView& clipboard) override;
  void Act(KeyAction action) override;

 private:
  EntryCommands* commands_;
};

}  // namespace zantor::input
