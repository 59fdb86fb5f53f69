// Wires the entry field's key table to Qt events: drop consumes the event,
// default and pass let the field (and the dialog) have it; actions run the
// dialog's commands through EntryCommands.
#pragma once

#include <QObject>
#include <QString>

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
  // A paste problem is reported in the result field.
  virtual void ShowPasteMessage(const QString& message) = 0;
  // Keeps the keypad sending digits; a no-op where the desktop has no NumLock.
  virtual void HoldNumLockOn() = 0;
};

class EntryKeyFilter : public QObject {
  Q_OBJECT
 public:
  EntryKeyFilter(QLineEdit* entry, EntryCommands* commands);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool PastePermitted();

  QLineEdit* entry_;
  EntryCommands* commands_;
  bool swallowContextMenu_ = false;
};

}  // namespace zantor::input
