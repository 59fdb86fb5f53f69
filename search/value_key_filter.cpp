#include "search/value_key_filter.h"

#include <QLineEdit>

#include "platform/numlock.h"

namespace zantor::search {

ValueKeyFilter::ValueKeyFilter(QLineEdit* field, QObject* parent)
    : NumberFieldFilter(field, parent) {}

input::KeyDecision ValueKeyFilter::Decide(input::KeyMessage message, int vk, bool shift,
                                          bool ctrl) const {
  return input::DecideValueKey(message, vk, shift, ctrl, field()->text().toStdString());
}

input::PasteResult ValueKeyFilter::CleanPaste(const input::ClipboardView& clipboard) {
  return input::PrepareValuePaste(clipboard);
}

void ValueKeyFilter::Act(input::KeyAction action) {
  if (action == input::KeyAction::kNumLockGuard) platform::HoldNumLockOn();
}

}  // namespace zantor::search
