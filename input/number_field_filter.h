// What the entry field and the search dialog's value field have in common:
// only the characters of a number get in, key and right-button events go
// through a decision table, and a paste goes through the clipboard cleaning.
#pragma once

#include <QObject>

#include "input/key_filter.h"
#include "input/paste.h"

class QLineEdit;

namespace zantor::input {

class NumberFieldFilter : public QObject {
  Q_OBJECT
 public:
  NumberFieldFilter(QLineEdit* field, QObject* parent);

 protected:
  virtual KeyDecision Decide(KeyMessage message, int vk, bool shift, bool ctrl) const = 0;
  // Cleans the clipboard for a paste; the answer says whether it may go on.
  virtual PasteResult CleanPaste() = 0;
  // Actions that belong to the field's dialog (step, hotkeys, NumLock).
  virtual void Act(KeyAction action) = 0;

  QLineEdit* field() const { return field_; }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* field_;
  // A refused right-button paste must not open the field's own menu either.
  bool swallowContextMenu_ = false;
};

}  // namespace zantor::input
