// What the entry field and the search dialog's value field have in common:
// only the characters of a number get in, key and right-button events go
// through a decision table, and a paste goes through the clipboard cleaning.
#pragma once

#include <QClipboard>
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
  // The field's cleaning rules for what a paste would insert; the answer says
  // whether the paste may go on.
  virtual PasteResult CleanPaste(const ClipboardView& clipboard) = 0;
  // Actions that belong to the field's dialog (step, hotkeys, NumLock).
  virtual void Act(KeyAction action) = 0;

  QLineEdit* field() const { return field_; }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Every way of pasting into the field (Ctrl+V, the right button and the
  // menus it or the Menu key open, the middle button) goes through here:
  // cleans the clipboard `mode` names and says whether the paste may go on.
  bool CleanClipboard(QClipboard::Mode mode);
  // F6: the focus goes to the next control (the previous one with Shift).
  void LeaveField(bool forward);
  // A paste that needs no key: cleaned, then inserted at the caret.
  void PasteFrom(QClipboard::Mode mode);
  void ShowContextMenu(const QPoint& globalPos);

  QLineEdit* field_;
  // A refused right-button paste must not open the field's own menu either.
  bool swallowContextMenu_ = false;
};

}  // namespace zantor::input
