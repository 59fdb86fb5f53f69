// The search dialog's value field: digits, one keypad point, the keypad minus
// as a sign toggle, and a cleaned paste; nothing else gets in.
#pragma once

#include "input/number_field_filter.h"

class QLineEdit;

namespace zantor::search {

class ValueKeyFilter : public input::NumberFieldFilter {
  Q_OBJECT
 public:
  ValueKeyFilter(QLineEdit* field, QObject* parent);

 protected:
  input::KeyDecision Decide(input::KeyMessage message, int vk, bool shift,
                            bool ctrl) const override;
  input::PasteResult CleanPaste(const input::ClipboardView& clipboard) override;
  void Act(input::KeyAction action) override;
};

}  // namespace zantor::search
