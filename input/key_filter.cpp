#include "input/key_filter.h"

namespace zantor::input {
namespace {

constexpr KeyDecision kDropped{Outcome::kDrop, KeyAction::kNone};
constexpr KeyDecision kDefaulted{Outcome::kDefault, KeyAction::kNone};

bool IsDigitKey(int code) { return code >= vk::kDigit0 && code <= vk::kDigit9; }
bool IsNumpadDigit(int code) { return code >= vk::kNumpad0 && code <= vk::kNumpad9; }

// Key-downs both fields treat alike; false leaves the key to the field's own
// rules. Codes outside 8..110 are refused before anything else is looked at,
// so the top-row '-' (189) never types.
bool CommonKeyDown(int code, bool shift, bool ctrl, KeyDecision* d) {
  if (code < vk::kBack || code > vk::kDecimal) {
    *d = kDropped;
  } else if (code == vk::kBack || code == vk::kLeft || code == vk::kRight || IsNumpadDigit(code)) {
    *d = kDefaulted;
  } else if (IsDigitKey(code)) {
    // The shifted symbols of the digit keys must never arrive.
    *d = shift ? kDropped : KeyDecision{Outcome::kPass, KeyAction::kNone};
  } else if (code == vk::kV) {
    *d = ctrl ? KeyDecision{Outcome::kDefault, KeyAction::kPreparePaste} : kDropped;
  } else {
    return false;
  }
  return true;
}

KeyDecision KeypadPoint(bool allowed, std::string_view text) {
  if (allowed && text.find('.') == std::string_view::npos) {
    return {Outcome::kDefault, KeyAction::kKeypadPoint};
  }
  return kDropped;
}

KeyAction EntryHotkey(int code) {
  switch (code) {
    case vk::kSpace:
      return KeyAction::kCycleOperator;
    case vk::kC:
      return KeyAction::kStore;
    case vk::kQ:
      return KeyAction::kRecall;
    case vk::kZ:
      return KeyAction::kToggleMode;
    case vk::kF:
      return KeyAction::kFind;
    case vk::kT:
      return KeyAction::kToggleTape;
    case vk::kSubtract:
      return KeyAction::kToggleSign;
    case vk::kNumLock:
      return KeyAction::kNumLockGuard;
    default:
      return KeyAction::kNone;
  }
}

}  // namespace

KeyDecision DecideEntryKey(KeyMessage m, int code, bool shift, bool ctrl, char entryMode,
                           std::string_view entryText) {
  switch (m) {
    case KeyMessage::kKeyDown: {
      KeyDecision d = kDropped;
      if (CommonKeyDown(code, shift, ctrl, &d)) return d;
      // Enter is consumed after the step so it never presses the default button.
      if (code == vk::kReturn) return {Outcome::kDrop, KeyAction::kEvaluate};
      // Fast mode reads whole numbers as hundredths; a typed point would be ambiguous.
      if (code == vk::kDecimal) return KeypadPoint(entryMode == 'z', entryText);
      return kDropped;
    }
    case KeyMessage::kKeyUp:
      // Hotkeys act on release and test no modifier, so Ctrl+C stores.
      return {Outcome::kDrop, EntryHotkey(code)};
    case KeyMessage::kRightButtonDown:
      return {Outcome::kDefault, KeyAction::kPreparePaste};
    case KeyMessage::kOther:
      break;
  }
  return kDefaulted;
}

KeyAction AddedEntryRelease(int code) {
  switch (code) {
    case vk::kK:
      return KeyAction::kCheckRun;
    case vk::kD:
      return KeyAction::kCapitals;
    case vk::kEscape:
      return KeyAction::kLeaveCheck;
    default:
      return KeyAction::kNone;
  }
}

KeyDecision DecideValueKey(KeyMessage m, int code, bool shift, bool ctrl,
                           std::string_view valueText) {
  switch (m) {
    case KeyMessage::kKeyDown: {
      KeyDecision d = kDropped;
      if (CommonKeyDown(code, shift, ctrl, &d)) return d;
      if (code == vk::kDecimal) return KeypadPoint(true, valueText);
      // Enter and Esc included: neither closes the dialog from the value field.
      return kDropped;
    }
    case KeyMessage::kKeyUp:
      if (code == vk::kSubtract) return {Outcome::kDefault, KeyAction::kToggleSign};
      if (code == vk::kNumLock) return {Outcome::kDrop, KeyAction::kNumLockGuard};
      return kDefaulted;
    case KeyMessage::kRightButtonDown:
      return {Outcome::kDefault, KeyAction::kPreparePaste};
    case KeyMessage::kOther:
      break;
  }
  return kDefaulted;
}

std::string ToggleSign(std::string_view text) {
  if (!text.empty() && text.front() == '-') return std::string(text.substr(1));
  std::string out;
  out.reserve(text.size() + 1);
  out.push_back('-');
  out.append(text);
  return out;
}

}  // namespace zantor::input
